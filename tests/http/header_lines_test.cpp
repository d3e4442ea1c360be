#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fake_code_pages.h"
#include "guard_page.h"
#include "http/header_lines.h"

namespace tcp {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

TEST(SplitLines, CutsAtEveryCarriageReturn) {
  const std::pair<std::string, Lines> cases[] = {
      {"", {}},
      {"a\r\nb\r", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},
      {"a\nb\rc", {"a\nb", "c"}},
      {"a\r\rb\r", {"a", "", "b"}},
      {"\r\n", {""}},
      {"\n\r\n", {"\n"}},
  };
  fakes::GuardPage guard(16);
  for (const auto& [text, lines] : cases) {
    EXPECT_EQ(SplitLines(text), lines) << text;
    EXPECT_EQ(SplitLines(guard.place(text)), lines) << text << " before a guard page";
  }
}

TEST(SplitLines, TakesNoMoreThanTheCapWhateverTheBlockHolds) {
  const std::string bareCarriageReturns(4 * kMostHeaderLines, '\r');
  const Lines lines = SplitLines(bareCarriageReturns);
  EXPECT_EQ(lines.size(), kMostHeaderLines);
  std::string block;
  for (std::size_t i = 0; i <= kMostHeaderLines; ++i) block += "X-" + std::to_string(i) + ": v\r\n";
  const Lines capped = SplitLines(block);
  ASSERT_EQ(capped.size(), kMostHeaderLines);
  EXPECT_EQ(capped.back(), "X-" + std::to_string(kMostHeaderLines - 1) + ": v");
  EXPECT_EQ(SplitLines(block + "tail").size(), kMostHeaderLines) << "no tail entry past the cap";
}

TEST(MaskMatch, MatchesWholeTextsWithWildcardsInAnyCase) {
  struct Case {
    std::string text, mask;
    bool matches;
  };
  const Case cases[] = {
      {"Content-Type: text/html", "content-type*", true},
      {"content-type: x", "CONTENT-TYPE*", true},
      {"Content-Type", "content-type", true},
      {"Content-Type", "content-typ", false},
      {"Content-Type: x", "c?ntent-*: ?", true},
      {"Content-Type: x", "*type*", true},
      {"Content-Type: x", "*: x", true},
      {"Content-Type: x", "*: y", false},
      {"ab", "a*b*", true},
      {"a*b", "a\\*b", false},
      {"aaaaab", "*a*a*b", true},
      {"aaaaa", "*a*a*b", false},
      {"", "*", false},
      {"x", "", false},
      {"short", "shorter*", false},
      {"\xCF\xF0\xE8\xE2\xE5\xF2: 1", "\xEF\xD0\xc8\xe2\xc5\xf2*", true},  // Привет in mixed case, code page 1251
      {"Name\0tail"s, "name", true},
      {"Name: v", "name\0*"s, false},
  };
  fakes::FakeCodePages codePages;
  for (const Case& c : cases) EXPECT_EQ(MaskMatch(c.text, c.mask, codePages), c.matches) << c.text << " ~ " << c.mask;
}

TEST(HeaderLinesNamed, TakesTheLinesThatBeginWithTheName) {
  fakes::FakeCodePages codePages;
  const Lines lines{"HTTP/1.1 200 OK", "Set-Cookie: a=1", "Content-Type: text/html", "",
                               "set-cookie: b=2", "X-Set-Cookie: c"};
  const std::pair<std::string, std::string> cases[] = {
      {"Set-Cookie", "Set-Cookie: a=1set-cookie: b=2"},
      {"SET-COOKIE:", "Set-Cookie: a=1set-cookie: b=2"},
      {"content", "Content-Type: text/html"},
      {"Missing", ""},
      {"HTTP/1.1 2", "HTTP/1.1 200 OK"},
      {"", "HTTP/1.1 200 OKSet-Cookie: a=1Content-Type: text/htmlset-cookie: b=2X-Set-Cookie: c"},
      {"?-Set", "X-Set-Cookie: c"},
      {"Content-Type: text/html-and-more", ""},
      {"Content-Type: text/html\0junk"s, "Content-Type: text/html"},
      {"Content\0junk"s, ""},
  };
  for (const auto& [name, found] : cases) EXPECT_EQ(HeaderLinesNamed(lines, name, codePages), found) << name;
  EXPECT_EQ(HeaderLinesNamed({}, "", codePages), "");
}

// Lines lowered only as far as the name reaches take what the whole-line
// match takes: random lines and names of Latin and Cyrillic letters in both
// cases, zero bytes and wildcards among them.
TEST(HeaderLinesNamed, AgreesWithTheMaskMatchOfEachLine) {
  std::mt19937 random(20261211);
  const std::string alphabet = "aAbB\xA8\xB8\xCF\xEF\0*?"s;
  const auto randomText = [&](std::size_t maxLength, std::size_t letters) {
    std::string text(random() % (maxLength + 1), 'a');
    for (char& c : text) c = alphabet[random() % letters];
    return text;
  };
  fakes::FakeCodePages codePages;
  for (int round = 0; round < 3000; ++round) {
    Lines lines(random() % 6);
    for (std::string& line : lines) line = randomText(8, 9);
    const std::string name = randomText(4, round % 2 == 0 ? 8 : alphabet.size());
    std::string expected;
    for (const std::string& line : lines)
      if (MaskMatch(line, name + "*", codePages)) expected += line;
    ASSERT_EQ(HeaderLinesNamed(lines, name, codePages), expected) << name;
  }
}

}  // namespace
}  // namespace tcp
