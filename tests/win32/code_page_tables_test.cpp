// The tables that the conversions take on a single-byte code page, built from
// the system's own conversions, against the UTF-16 path on the same code page:
// 1251 and 1252 (ANSI code pages) and 866 (an OEM one, single-byte too).
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "textconv/text_conversions.h"
#include "textconv/utf8_codec.h"
#include "../textconv/code_page_samples.h"
#include "win32/win32_platform.h"

namespace tcp {
namespace {

// The same code page with its tables hidden, so the conversions take the
// UTF-16 path.
class WithoutTables : public CodePages {
 public:
  explicit WithoutTables(CodePages& codePages) : codePages_(codePages) {}
  std::u16string ansiToUtf16(std::string_view ansi) override { return codePages_.ansiToUtf16(ansi); }
  std::string utf16ToAnsi(std::u16string_view units) override { return codePages_.utf16ToAnsi(units); }
  std::string oemToAnsi(std::string_view oem) override { return codePages_.oemToAnsi(oem); }
  std::string ansiToOem(std::string_view ansi) override { return codePages_.ansiToOem(ansi); }
  std::string lowerAnsi(std::string_view ansi) override { return codePages_.lowerAnsi(ansi); }
  bool isLeadByte(unsigned char byte) override { return codePages_.isLeadByte(byte); }
  std::shared_ptr<const SingleByteCodePage> singleByteCodePage() override { return nullptr; }

 private:
  CodePages& codePages_;
};

// ASCII runs, letters of several scripts, characters no single-byte code page
// has, encoded surrogates and four-byte sequences.
std::string randomUtf8(std::mt19937& random, std::size_t size) {
  const char16_t units[] = {0x41F, 0x20AC, 0xE9, 0x153, 0x2500, 0x0, 0x4E2D, 0xFFFD, 0xD83D, 0xDE00, 0x2116, 0x451};
  std::string text;
  while (text.size() < size) {
    const unsigned pick = random() % 40;
    if (pick < 20) text += std::string(random() % 20, static_cast<char>('a' + pick));
    else if (pick < 38) text += EncodeUtf8(std::u16string(1, units[pick % std::size(units)]));
    else text += "\xF0\x9F\x98\x80";
  }
  return text;
}

TEST(CodePageTables, ConvertAsTheUnitsDoOnTheSystemsCodePages) {
  std::mt19937 random(20261210);
  const std::string everyByte = EveryByte();
  const std::string everyUnit = EveryUnitAsUtf8();
  for (unsigned page : {1251u, 1252u, 866u}) {
    SCOPED_TRACE(page);
    const std::unique_ptr<CodePages> tables = win32::codePagesOf(page);
    ASSERT_NE(tables->singleByteCodePage(), nullptr);
    WithoutTables units(*tables);
    std::vector<std::string> ansiTexts = {everyByte}, utf8Texts = {everyUnit, Utf8FromAnsi(everyByte, units)};
    for (int byte = 0; byte < 256; ++byte) ansiTexts.push_back(std::string(1, static_cast<char>(byte)));
    for (int round = 0; round < 20; ++round) {
      std::string ansi;
      for (std::size_t n = random() % 20000; n > 0; --n) ansi += static_cast<char>(random());
      ansiTexts.push_back(ansi);
      utf8Texts.push_back(randomUtf8(random, random() % 20000));
    }
    for (const std::string& ansi : ansiTexts) {
      const std::string expected = Utf8FromAnsi(ansi, units);
      ASSERT_EQ(Utf8FromAnsi(ansi, *tables), expected);
      std::string slot = ansi;  // with room for the result: converted where it lies
      slot.reserve(3 * ansi.size());
      ConvertToUtf8(slot, *tables);
      ASSERT_EQ(slot, expected);
    }
    for (const std::string& utf8 : utf8Texts) ASSERT_EQ(AnsiFromUtf8(utf8, *tables), AnsiFromUtf8(utf8, units));
  }
}

// The thread's code pages take the tables of the code page its locale names
// now, and a double-byte one has none.
TEST(CodePageTables, FollowTheThreadsLocale) {
  CodePages& thread = *win32::platform().codePages;
  const LCID before = GetThreadLocale();
  struct Case {
    LANGID language;
    bool tables;
    std::string euro;  // the euro sign's ANSI byte, when the test knows it
  };
  const Case cases[] = {
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), true, "\x80"},
      {MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), true, "\x88"},
      {MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    ASSERT_TRUE(SetThreadLocale(MAKELCID(c.language, SORT_DEFAULT)));
    EXPECT_EQ(thread.singleByteCodePage() != nullptr, c.tables);
    if (c.euro.empty()) continue;
    EXPECT_EQ(AnsiFromUtf8("\xE2\x82\xAC", thread), c.euro);
    EXPECT_EQ(Utf8FromAnsi(c.euro, thread), "\xE2\x82\xAC");
  }
  SetThreadLocale(before);
}

}  // namespace
}  // namespace tcp
