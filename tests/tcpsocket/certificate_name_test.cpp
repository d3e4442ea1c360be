#include <gtest/gtest.h>

#include <string>

#include "tcpsocket/certificate_name.h"

namespace tcp {
namespace {

using namespace std::string_literals;

CertificateNames dns(std::vector<std::string> names) { return {std::move(names), {}, {}}; }
CertificateNames addresses(std::vector<std::string> entries) { return {{}, std::move(entries), {}}; }

const std::string kLoopback4 = "\x7f\x00\x00\x01"s;
const std::string kLoopback6 = std::string(15, '\0') + "\x01";

TEST(CertificateName, FollowsTheRulesForEachKindOfName) {
  const struct {
    const char* why;
    std::string serverName;
    CertificateNames names;
    bool matches;
  } cases[] = {
      {"the same DNS name", "example.com", dns({"example.com"}), true},
      {"DNS names ignore case", "WWW.Example.COM", dns({"www.example.com"}), true},
      {"another DNS name", "example.org", dns({"example.com"}), false},
      {"a name that only ends like the entry", "badexample.com", dns({"example.com"}), false},
      {"a name that only begins like the entry", "example.com.evil", dns({"example.com"}), false},
      {"any entry of many", "c.test", dns({"a.test", "b.test", "c.test"}), true},
      {"a trailing dot on the server name", "example.com.", dns({"example.com"}), true},
      {"a trailing dot on the entry", "example.com", dns({"example.com."}), true},
      {"a zero byte inside the entry", "example.com", dns({"example.com\0.evil.test"s}), false},
      {"a zero byte inside the server name", "example.com\0.evil.test"s, dns({"example.com"}), false},
      {"case is ASCII only", "\xc9xample.com", dns({"\xe9xample.com"}), false},
      {"an empty server name", "", dns({""}), false},
      {"an empty label in the server name", "a..example.com", dns({"a..example.com"}), false},
      {"an empty last label under the trailing dot", "example.com..", dns({"example.com.."}), false},
      {"a wildcard for one label", "www.example.com", dns({"*.example.com"}), true},
      {"a wildcard ignores case", "WWW.EXAMPLE.com", dns({"*.Example.Com"}), true},
      {"a wildcard is not two labels deep", "a.b.example.com", dns({"*.example.com"}), false},
      {"a wildcard is not the bare domain", "example.com", dns({"*.example.com"}), false},
      {"a wildcard directly above a single label", "example.com", dns({"*.com"}), false},
      {"a wildcard above a single label with a dot", "example.com.", dns({"*.com."}), false},
      {"a wildcard only as the whole leftmost label", "www.example.com", dns({"w*.example.com"}), false},
      {"a wildcard not in an inner label", "www.example.com", dns({"www.*.com"}), false},
      {"a wildcard alone", "example", dns({"*"}), false},
      {"a server name with a star matches nothing", "*.example.com", dns({"*.example.com"}), false},
      {"a wildcard never in an IPv4 literal", "127.0.0.1", dns({"*.0.0.1"}), false},
      {"an IPv4 literal against its address entry", "127.0.0.1", addresses({kLoopback4}), true},
      {"an IPv4 literal against another address", "127.0.0.2", addresses({kLoopback4}), false},
      {"an IPv4 literal against a DNS entry of its text", "127.0.0.1", dns({"127.0.0.1"}), false},
      {"an IPv4 literal against its common name", "127.0.0.1", {{}, {}, {"127.0.0.1"}}, false},
      {"an IPv4 literal against the IPv6 form of it", "127.0.0.1", addresses({std::string(10, '\0') + "\xff\xff\x7f\0\0\1"s}), false},
      {"an IPv6 literal against its address entry", "::1", addresses({kLoopback6}), true},
      {"an IPv6 literal in brackets", "[::1]", addresses({kLoopback6}), true},
      {"an IPv6 literal written out in full", "0:0:0:0:0:0:0:1", addresses({kLoopback6}), true},
      {"an IPv6 literal against another address", "::2", addresses({kLoopback6}), false},
      {"an IPv6 literal against a 4-byte entry", "::1", addresses({"\0\0\0\1"s}), false},
      {"an address entry does not name a DNS name", "localhost", addresses({kLoopback4}), false},
      {"an IPv4 form inet_addr would take is a DNS name", "127.1", dns({"127.1"}), true},
      {"the common name when there is no DNS entry", "example.com", {{}, {}, {"example.com"}}, true},
      {"the common name with an address entry only", "example.com", {{}, {kLoopback4}, {"example.com"}}, true},
      {"the common name ignores case", "Example.com", {{}, {}, {"EXAMPLE.COM"}}, true},
      {"the common name never beside a DNS entry", "example.com", {{"other.test"}, {}, {"example.com"}}, false},
      {"another common name", "example.org", {{}, {}, {"example.com"}}, false},
      {"no names at all", "example.com", {}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(CertificateMatchesName(c.serverName, c.names), c.matches) << c.why;
}

TEST(CertificateName, IpLiteralsAreTheDottedQuadAndIpv6Only) {
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"127.0.0.1", kLoopback4},
      {"255.255.255.255", "\xff\xff\xff\xff"},
      {"::1", kLoopback6},
      {"[::1]", kLoopback6},
      {"localhost", ""},
      {"127.1", ""},
      {"127.0.0.01", ""},
      {"256.0.0.1", ""},
      {"1.2.3.4.5", ""},
      {"1.2.3.", ""},
      {"0x7f.0.0.1", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(IpLiteralBytes(c.name), c.bytes) << c.name;
}

}  // namespace
}  // namespace tcp
