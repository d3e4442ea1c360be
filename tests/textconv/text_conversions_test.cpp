#include "textconv/text_conversions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fake_code_pages.h"
#include "code_page_samples.h"
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

// Units of every encoded length, ASCII runs long and short between them, so
// that runs taken eight bytes at a time meet multi-byte sequences at every
// offset; each text is decoded whole and cut at every byte.
TEST(Utf8Codec, DecodesWhatItEncodedWholeAndCutAtEveryByte) {
  std::mt19937 random(20261212);
  const char16_t kinds[] = {u'a', u'\0', 0x7F, 0x80, 0x41F, 0x7FF, 0x800, 0x20AC, 0xD83D, 0xFFFF};
  for (int round = 0; round < 2000; ++round) {
    std::u16string units;
    std::vector<std::size_t> ends;  // where each unit's bytes end
    std::string bytes;
    for (std::size_t n = random() % 40; n > 0; --n) {
      const char16_t unit = random() % 3 == 0 ? kinds[random() % std::size(kinds)] : u'x';
      units += unit;
      bytes += EncodeUtf8(std::u16string(1, unit));
      ends.push_back(bytes.size());
    }
    ASSERT_EQ(EncodeUtf8(units), bytes);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
      const std::size_t whole = std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin();
      const bool atBoundary = cut == 0 || (whole > 0 && ends[whole - 1] == cut);
      const std::optional<std::u16string> expected =
          atBoundary ? std::optional<std::u16string>(units.substr(0, whole)) : std::nullopt;
      ASSERT_EQ(DecodeUtf8(std::string_view(bytes).substr(0, cut)), expected) << round << " cut at " << cut;
    }
  }
}

class TextConversions : public ::testing::Test {
 protected:
  std::string run(std::string (*convert)(std::string_view, CodePages&), const std::string& input) {
    return convert(input, codePages);
  }
  fakes::FakeCodePages codePages;
};

TEST_F(TextConversions, ConvertWholeTexts) {
  const std::string privet = "\xCF\xF0\xE8\xE2\xE5\xF2";  // "Привет" in code page 1251
  const std::string privetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  EXPECT_EQ(run(Utf8FromAnsi, privet), privetUtf8);
  EXPECT_EQ(run(AnsiFromUtf8, privetUtf8), privet);
  EXPECT_EQ(run(Utf8FromAnsi, "\x88"), "\xE2\x82\xAC");
  EXPECT_EQ(run(Utf8FromAnsi, "ASCII"), "ASCII");
  EXPECT_EQ(run(AnsiFromUtf8, "ASCII"), "ASCII");
  EXPECT_EQ(run(AnsiFromUtf8, "\xC0\x80"), "\0"s);
  EXPECT_EQ(run(AnsiFromUtf8, "text\xD0"), "");
  EXPECT_EQ(run(AnsiFromUtf8, "\xD0\x41"), "");
  EXPECT_EQ(run(AnsiFromOem, "\x8F"), "\xCF");
  EXPECT_EQ(run(OemFromAnsi, "\xCF"), "\x8F");
}

TEST_F(TextConversions, ConvertTextsHoldingZeroBytesWhole) {
  EXPECT_EQ(run(AnsiFromOem, "\x8F\0\x8F"s), "\xCF\0\xCF"s);
  EXPECT_EQ(run(OemFromAnsi, "\xCF\0\xCF"s), "\x8F\0\x8F"s);
  EXPECT_EQ(run(Utf8FromAnsi, "\xCF\0\xCF"s), "\xD0\x9F\0\xD0\x9F"s);
  EXPECT_EQ(run(AnsiFromUtf8, "\xD0\x9F\0\xD0\x9F"s), "\xCF\0\xCF"s);
  for (auto convert : {Utf8FromAnsi, AnsiFromUtf8, AnsiFromOem, OemFromAnsi}) EXPECT_EQ(run(convert, ""), "");
}

TEST_F(TextConversions, AnEmojiNoLongerEmptiesTheWholeText) {
  EXPECT_EQ(run(AnsiFromUtf8, "\xD0\x9F\xD1\x80 \xF0\x9F\x98\x80!"), "\xCF\xF0 ?!");
  EXPECT_EQ(codePages.lastUnitsToAnsi, u"\U0001F600!") << "the units' path from the emoji on";
}

TEST_F(TextConversions, ALargeTextConvertsInBlocksAsItWouldInOnePiece) {
  // Cyrillic with few small bytes, so that blocks end wherever they can.
  std::string ansi;
  for (int i = 0; ansi.size() < 300000; ++i) ansi += i % 97 == 0 ? "\xCF\xF0\xE8 1\n" : "\xE2\xE5\xF2";
  const std::string utf8 = EncodeUtf8(codePages.ansiToUtf16(ansi));
  EXPECT_EQ(run(Utf8FromAnsi, ansi), utf8);
  EXPECT_EQ(run(AnsiFromUtf8, utf8), ansi);
  const std::string emoji = utf8 + "\xF0\x9F\x98\x80!" + utf8;
  EXPECT_EQ(run(AnsiFromUtf8, emoji), ansi + "?!" + ansi);
  EXPECT_EQ(run(AnsiFromUtf8, utf8 + "\xD0"), "") << "a bad sequence in the last block empties the whole text";
  EXPECT_EQ(run(AnsiFromUtf8, "\xD0" + utf8), "") << "and in the first";
}

std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// Texts with no byte below 0x40 are cut into bounded blocks all the same,
// never inside a character: a two-byte one of code page 932 (whose trail
// bytes may look like leads) or a sequence as the lenient decoder reads it.
TEST_F(TextConversions, BlocksStayBoundedWhateverTheTextHolds) {
  std::string pairs = "\xC6";
  while (pairs.size() < 100000) pairs += "\x81\x81\x82\xA0\xC6";
  struct Case {
    const char* name;
    std::string (*convert)(std::string_view, CodePages&);
    std::string text;
    bool doubleByte;
  };
  const Case cases[] = {
      {"one ANSI byte repeated", Utf8FromAnsi, std::string(100000, '\xC6'), false},
      {"932 pairs after one single byte", Utf8FromAnsi, pairs, true},
      {"932 pairs alone", Utf8FromAnsi, pairs.substr(1), true},
      {"continuation bytes opening two bytes", AnsiFromUtf8, std::string(100000, '\x80'), false},
      {"continuation bytes opening three", AnsiFromUtf8, std::string(99999, '\xA0'), false},
      {"two-byte sequences", AnsiFromUtf8, repeated("\xD0\x9F", 50000), false},
  };
  codePages.tables = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    codePages.doubleByte = c.doubleByte;
    std::string whole;
    if (c.convert == Utf8FromAnsi) {
      whole = EncodeUtf8(codePages.ansiToUtf16(c.text));
    } else if (const std::optional<std::u16string> units = DecodeUtf8(c.text)) {
      whole = codePages.utf16ToAnsi(*units);
    }
    ASSERT_FALSE(whole.empty());
    codePages.longestInput = 0;
    EXPECT_EQ(run(c.convert, c.text), whole);
    EXPECT_LE(codePages.longestInput, (8u << 10) + 3);
  }
}

// Random UTF-8 as the lenient decoder reads it: ASCII runs, characters of the
// code page and beyond it, encoded surrogates alone and in pairs, four-byte
// sequences, and now and then a sequence cut short.
std::string randomUtf8(std::mt19937& random, std::size_t size) {
  const std::string pieces[] = {"\xD0\x9F", "\xE2\x82\xAC", "\xC3\xA9", "\xC5\x93", "\xE2\x94\x80",
                                "\xC0\x80", "\x90\x80", "\xA0\x80\x80", "\xEF\xBF\xBF", "\xED\xA0\xBD",
                                "\xED\xB8\x80", "\xF0\x9F\x98\x80", "\xF8\x88\x80"};
  std::string text;
  while (text.size() < size) {
    const unsigned pick = random() % 64;
    if (pick < 40) text += std::string(random() % 20, static_cast<char>('a' + pick % 26));
    else text += pieces[pick % std::size(pieces)];
  }
  return text;
}

// The tables against the units' path of the same code page, on every byte,
// every unit, and random texts past the block size.
TEST(SingleByteTables, ConvertAsTheUnitsDo) {
  std::mt19937 random(20261210);
  const std::string everyByte = EveryByte();
  const std::string everyUnit = EveryUnitAsUtf8();
  for (unsigned page : {1251u, 1252u, 866u}) {
    SCOPED_TRACE(page);
    fakes::FakeCodePages tables, units;
    tables.ansiPage = units.ansiPage = page;
    units.tables = false;
    ASSERT_NE(tables.singleByteCodePage(), nullptr);
    std::vector<std::string> ansiTexts = {everyByte};
    std::vector<std::string> utf8Texts = {everyUnit, Utf8FromAnsi(everyByte, units)};
    for (int byte = 0; byte < 256; ++byte) ansiTexts.push_back(std::string(1, static_cast<char>(byte)));
    for (int round = 0; round < 20; ++round) {
      std::string ansi;
      for (std::size_t n = random() % 20000; n > 0; --n) ansi += static_cast<char>(random() % 3 ? 'a' + random() % 26 : random());
      ansiTexts.push_back(ansi);
      const std::string utf8 = randomUtf8(random, random() % 20000);
      utf8Texts.push_back(utf8);
      utf8Texts.push_back(utf8.substr(0, utf8.size() - std::min<std::size_t>(utf8.size(), random() % 3)));
    }
    for (const std::string& ansi : ansiTexts) {
      const std::string expected = Utf8FromAnsi(ansi, units);
      ASSERT_EQ(Utf8FromAnsi(ansi, tables), expected);
      std::string slot = ansi;  // with room for the result: converted where it lies
      slot.reserve(3 * ansi.size());
      ConvertToUtf8(slot, tables);
      ASSERT_EQ(slot, expected);
    }
    for (const std::string& utf8 : utf8Texts) ASSERT_EQ(AnsiFromUtf8(utf8, tables), AnsiFromUtf8(utf8, units));
  }
}

// Blocks of the units' path that hold a surrogate meet blocks by table; the
// pair cut between two blocks stays two replacements, as it was.
TEST(SingleByteTables, TakeTheUnitsPathOnlyForBlocksWithSurrogates) {
  fakes::FakeCodePages codePages;
  const std::string highThenLow = std::string((8 << 10) - 3, 'a') + "\xED\xA0\xBD\xED\xB8\x80" + "\xD0\x9F";
  EXPECT_EQ(AnsiFromUtf8(highThenLow, codePages), std::string((8 << 10) - 3, 'a') + "??\xCF");
  EXPECT_EQ(codePages.lastUnitsToAnsi, std::u16string(1, char16_t(0xDE00)) + u"\u041F");
  const std::string pairInOneBlock = "\xD0\x9F\xED\xA0\xBD\xED\xB8\x80" + std::string(9000, 'b');
  EXPECT_EQ(AnsiFromUtf8(pairInOneBlock, codePages), "\xCF?" + std::string(9000, 'b'));
}

}  // namespace
}  // namespace tcp
