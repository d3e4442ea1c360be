#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tcpsocket/ipv6_literal.h"

namespace tcp {
namespace {

Ipv6Address bytes(std::initializer_list<int> values) {
  Ipv6Address address{};
  std::size_t at = 0;
  for (const int value : values) address[at++] = static_cast<std::uint8_t>(value);
  return address;
}

TEST(Ipv6Literal, ReadsEveryFormTheAddressingArchitectureAllows) {
  const Ipv6Address loopback = bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  const struct {
    const char* text;
    std::optional<Ipv6Address> address;
  } cases[] = {
      {"::1", loopback},
      {"[::1]", loopback},
      {"0:0:0:0:0:0:0:1", loopback},
      {"::", Ipv6Address{}},
      {"2001:DB8::8:800:200C:417A", bytes({0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 8, 8, 0, 0x20, 0x0c, 0x41, 0x7a})},
      {"fe80::", bytes({0xfe, 0x80})},
      {"1:2:3:4:5:6:7::", bytes({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 0})},
      {"::ffff:192.0.2.1", bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1})},
      {"1:2:3:4:5:6:10.0.0.1", bytes({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 10, 0, 0, 1})},
      {"", std::nullopt},
      {"127.0.0.1", std::nullopt},
      {"localhost", std::nullopt},
      {":::", std::nullopt},
      {"1::2::3", std::nullopt},
      {":1", std::nullopt},
      {"1:", std::nullopt},
      {"1:2:3:4:5:6:7:8:9", std::nullopt},
      {"1:2:3:4:5:6:7:8::", std::nullopt},
      {"1:2:3:4:5:6:7", std::nullopt},
      {"12345::", std::nullopt},
      {"g::1", std::nullopt},
      {"::1%eth0", std::nullopt},
      {"[::1", std::nullopt},
      {"::256.0.0.1", std::nullopt},
      {"::1.2.3", std::nullopt},
      {"::01.2.3.4", std::nullopt},
      {"1.2.3.4::", std::nullopt},
      {"::1.2.3.4:5", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseIpv6(c.text), c.address);
  }
  EXPECT_EQ(ParseIpv6(std::string("::1\0", 4)), std::nullopt) << "a zero byte ends no address";
}

}  // namespace
// RFC 5952 section 4, and every text written reads back as the address.
TEST(Ipv6Literal, WritesTheRecommendedForm) {
  const std::vector<std::pair<const char*, const char*>> rows = {
      {"::1", "::1"},
      {"0:0:0:0:0:0:0:0", "::"},
      {"2001:DB8:0:0:0:0:2:1", "2001:db8::2:1"},
      {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},
      {"2001:0:0:1:0:0:0:1", "2001:0:0:1::1"},
      {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},
      {"fe80::0001", "fe80::1"},
      {"1:0:0:0:0:0:0:0", "1::"},
      {"::ffff:127.0.0.1", "::ffff:7f00:1"},
      {"abcd:ef01:2345:6789:abcd:ef01:2345:6789", "abcd:ef01:2345:6789:abcd:ef01:2345:6789"},
  };
  for (const auto& [written, expected] : rows) {
    SCOPED_TRACE(written);
    const std::optional<Ipv6Address> address = ParseIpv6(written);
    ASSERT_TRUE(address);
    const std::string text = FormatIpv6(*address);
    EXPECT_EQ(text, expected);
    EXPECT_EQ(ParseIpv6(text), address);
  }
}

}  // namespace tcp
