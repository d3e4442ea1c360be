#include "textconv/text_conversions.h"

#include <gtest/gtest.h>

#include <string>

#include "fake_code_pages.h"
#include "textconv/utf8_codec.h"

namespace tcp {
namespace {

using namespace std::string_literals;

TEST(DecodeUtf8, AcceptsExactlyTheLenientForms) {
  struct Case {
    std::string bytes;
    std::optional<std::u16string> units;
  };
  const Case cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"\xD0\x9F\xD1\x80", u"\u041F\u0440"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xC0\x80", u"\0"s},                                  // overlong zero
      {"\xE0\x80\xAF", u"/"},                                // overlong three-byte form
      {"\xED\xA0\x80", std::u16string(1, char16_t(0xD800))},  // encoded surrogate
      {"\x90\x80", u"\u0400"},                               // continuation byte in lead position, bit 5 clear
      {"\xA0\x80\x80", std::u16string(1, char16_t(0x0000))},  // continuation byte in lead position, bit 5 set
      {"\xF0\x9F\x98\x80", u"\U0001F600"},                   // well-formed four bytes: a surrogate pair
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xF0\x80\x80\x80\x80", u"\0\0"s},                  // overlong four bytes: three, then a lead
      {"\xF4\x90\x80\x80", std::nullopt},                    // beyond U+10FFFF: three bytes, then a lone 0x80
      {"\xF8\x88\x80\x41", u"\u8200A"},                      // 0xF8 leads three bytes
      {"ab\xD0", std::nullopt},
      {"\xD0\x41", std::nullopt},
      {"\xE2\x82", std::nullopt},
      {"\xE2\x41\x82", std::nullopt},
      {"\xE2\x82\x41", std::nullopt},
      {"\xF0\x9F\x98", u"\u07D8"},                           // cut four-byte sequence reads as three
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeUtf8(c.bytes), c.units) << c.bytes;
}

TEST(EncodeUtf8, WritesEachUnitByItself) {
  EXPECT_EQ(EncodeUtf8(u"A\u041F\u20AC"), "A\xD0\x9F\xE2\x82\xAC");
  EXPECT_EQ(EncodeUtf8(u"\0"s), "\0"s);
  EXPECT_EQ(EncodeUtf8(u"\U0001F600"), "\xED\xA0\xBD\xED\xB8\x80");
}

class TextConversionCommands : public ::testing::Test {
 protected:
  std::string run(void (*command)(ExchangeArea&, CodePages&), const std::string& input) {
    area.setFile(input.c_str());
    command(area, codePages);
    return area.ExchangeText;
  }
  testing::FakeCodePages codePages;
  ExchangeArea area;
};

TEST_F(TextConversionCommands, ConvertTheTextSlot) {
  const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in code page 1251
  const std::string privetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  EXPECT_EQ(run(utfenk, privet), privetUtf8);
  EXPECT_EQ(run(utfdek, privetUtf8), privet);
  EXPECT_EQ(run(utfenk, "\x88"), "\xE2\x82\xAC");
  EXPECT_EQ(run(utfenk, "ASCII"), "ASCII");
  EXPECT_EQ(run(utfdek, "ASCII"), "ASCII");
  EXPECT_EQ(run(utfdek, "\xC0\x80"), "\0"s);
  EXPECT_EQ(run(utfdek, "text\xD0"), "");
  EXPECT_EQ(run(utfdek, "\xD0\x41"), "");
  EXPECT_EQ(run(oem2ansi, "\x8F"), "\xCF");
  EXPECT_EQ(run(ansi2oem, "\xCF"), "\x8F");
}

TEST_F(TextConversionCommands, ConvertTextsHoldingZeroBytesWhole) {
  area.ExchangeText = "\x8F\0\x8F"s;
  oem2ansi(area, codePages);
  EXPECT_EQ(area.ExchangeText, "\xCF\0\xCF"s);
  ansi2oem(area, codePages);
  EXPECT_EQ(area.ExchangeText, "\x8F\0\x8F"s);
  area.ExchangeText = "\xCF\0\xCF"s;
  utfenk(area, codePages);
  EXPECT_EQ(area.ExchangeText, "\xD0\x9F\0\xD0\x9F"s);
  utfdek(area, codePages);
  EXPECT_EQ(area.ExchangeText, "\xCF\0\xCF"s);
}

TEST_F(TextConversionCommands, AnEmojiNoLongerEmptiesTheWholeText) {
  EXPECT_EQ(run(utfdek, "\xD0\x9F\xD1\x80 \xF0\x9F\x98\x80!"), "\xCF\xF0 ?!");
  EXPECT_EQ(codePages.lastUnitsToAnsi, u"\u041F\u0440 \U0001F600!");
}

TEST_F(TextConversionCommands, TouchOnlyTheTextSlot) {
  using Command = void (*)(ExchangeArea&, CodePages&);
  struct Case {
    Command command;
    const char* input;
    const char* output;
  };
  const Case cases[] = {
      {utfenk, "", ""},
      {utfdek, "", ""},
      {oem2ansi, "", ""},
      {ansi2oem, "", ""},
      {utfenk, "\xCF", "\xD0\x9F"},
      {utfdek, "\xD0\x9F", "\xCF"},
      {oem2ansi, "\x8F", "\xCF"},
      {ansi2oem, "\xCF", "\x8F"},
      {utfdek, "\xD0\x9F\xD0", ""},  // a failed decoding reports nothing
  };
  for (const Case& c : cases) {
    area.ExchangeValue = 77;
    area.setFile("older");
    area.setFile(c.input);
    c.command(area, codePages);
    EXPECT_EQ(area.ExchangeText, c.output) << c.input;
    EXPECT_EQ(area.ExchangeValue, 77);
    EXPECT_EQ(area.FileHistory[0], c.input);
    EXPECT_EQ(area.FileHistory[1], "older");
  }
}

}  // namespace
}  // namespace tcp
