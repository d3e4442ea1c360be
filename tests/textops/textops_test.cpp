#include "textops/textops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace tcp {
namespace {

using namespace std::string_literals;

TEST(FindText, FindsTheFirstWholeOccurrenceOrMinusOne) {
  struct Case {
    std::string text, marker;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"abc", "d", -1},
      {"abcabc", "c", 3},
      {"abc", "abcd", -1},
      {"abc", "abc", 1},
      {"", "a", -1},
      {"a\0b\0c"s, "\0c"s, 4},
      {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "aaaaaaaaaaaaaaaaaaaab", 10},
      {"xxabcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz", 3},
      {"abcdefghijklmnopqrstuvwxyabcdefghijklmnopqrstuvwxyz", "abcdefghijklmnopqrstuvwxyz", 26},
      {"abcdefghijklmnopqrstuvwxy", "abcdefghijklmnopqrstuvwxyz", -1},
      {"HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody", "\r\n\r\n", 22},
  };
  for (const Case& c : cases) EXPECT_EQ(FindText(c.text, c.marker), c.expected) << c.text << " / " << c.marker;
}

TEST(FindText, EmptyMarkerIsFoundAtTheFirstZeroByteElseAtTheLastByte) {
  EXPECT_EQ(FindText("abc", ""), 3);
  EXPECT_EQ(FindText("", ""), 0);
  EXPECT_EQ(FindText("ab\0cd"s, ""), 3);
  EXPECT_EQ(FindText("\0"s, ""), 1);
}

TEST(FindText, LongMarkersAgreeWithTheDirectSearch) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += static_cast<char>('a' + (i * i + i / 7) % 3);
  for (std::size_t length : {17u, 20u, 40u, 100u}) {
    for (std::size_t start = 0; start + length <= text.size(); start += 97) {
      const std::string marker = text.substr(start, length) ;
      EXPECT_EQ(FindText(text, marker), static_cast<std::int32_t>(text.find(marker) + 1));
      EXPECT_EQ(FindText(text, marker + "!"), -1);
    }
  }
}

TEST(TextFrom, ClampsPositionsBelowOneAndPastTheEnd) {
  EXPECT_EQ(TextFrom("abcdef", -1 + 4), "cdef");
  EXPECT_EQ(TextFrom("abc", 0), "abc");
  EXPECT_EQ(TextFrom("abc", -7), "abc");
  EXPECT_EQ(TextFrom("abc", 3), "c");
  EXPECT_EQ(TextFrom("abc", 4), "");
  EXPECT_EQ(TextFrom("abc", 400), "");
  EXPECT_EQ(TextFrom("", 1), "");
}

TEST(CutToken, CutsAtTheFirstSeparatorByteAndDropsOnlyThatByte) {
  struct Case {
    std::string text, token, rest;
  };
  const Case cases[] = {
      {"a\r\nb", "a", "\nb"},
      {"abc", "abc", ""},
      {"\r\nx", "", "\nx"},
      {"1a\nrest\r\n", "1a", "rest\r\n"},
      {"", "", ""},
      {"a\0b\rc"s, "a\0b"s, "c"},
  };
  for (const Case& c : cases) {
    std::string_view text = c.text;
    EXPECT_EQ(CutToken(text, "\r\n"), c.token);
    EXPECT_EQ(text, c.rest);
  }
}

TEST(NumberText, WritesFifteenSignificantDigitsInFixedPoint) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1234, "1234"},
      {-7, "-7"},
      {12.5, "12.5"},
      {0.01, "0.01"},
      {100.0 / 3, "33.3333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {0.000123, "0.000123"},
      {1e20, "100000000000000000000"},
      {123456789012345678.0, "123456789012346000"},
      {999999999999999.0, "999999999999999"},
      {9999999999999999.0, "10000000000000000"},
      {5120, "5120"},
      {-1, "-1"},
      {120, "120"},
      {4294967296.0, "4294967296"},
      {0.5, "0.5"},
      {1.0 / 1024, "0.0009765625"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberText(c.value), c.expected) << c.value;
}

TEST(NumberText, RoundsTiesToEvenOnTheFifteenthDigit) {
  // 2^53 + 2 = 9007199254740994 has 16 digits: the last one, 4, rounds down;
  // 2^53 - 1 = 9007199254740991 rounds down too; 0.5 ulp cases are exact in binary.
  EXPECT_EQ(NumberText(9007199254740994.0), "9007199254740990");
  EXPECT_EQ(NumberText(100000000000000.5), "100000000000000");
  EXPECT_EQ(NumberText(100000000000001.5), "100000000000002");
}

TEST(NumberValues, ReadTheNumberAtTheStartWithThirtyTwoBitWrap) {
  struct Case {
    const char* text;
    std::int32_t decimal, hex;
  };
  const Case cases[] = {
      {"1000", 1000, 0x1000},
      {"-12x", -12, 0},
      {"+7", 7, 0},
      {" 5", 0, 0},
      {"", 0, 0},
      {"1a", 1, 26},
      {"$FF", 0, 255},
      {"g", 0, 0},
      {"FFFFFFFF", 0, -1},
      {"80000000", 80000000, static_cast<std::int32_t>(0x80000000u)},
      {"4294967297", 1, static_cast<std::int32_t>(0x94967297u)},
      {"2147483648", static_cast<std::int32_t>(0x80000000u), 0x47483648},
      {"-2147483648", static_cast<std::int32_t>(0x80000000u), 0},
      {"1FFFFFFFF", 1, -1},
      {"$", 0, 0},
      {"$$1", 0, 0},
      {"a;ext=1", 0, 10},
      {"--1", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecimalValue(c.text), c.decimal) << c.text;
    EXPECT_EQ(HexValue(c.text), c.hex) << c.text;
  }
}

TEST(Base64, EncodesTheRfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xFF\0\xFE", 3), "/wD+"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(Base64(bytes), text) << bytes;
}

}  // namespace
}  // namespace tcp
