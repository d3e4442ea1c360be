#include <gtest/gtest.h>

#include <random>
#include <string>

#include "textops/textops.h"

namespace tcp {
namespace {

using namespace std::string_literals;

struct MarkerCase {
  std::string source, start, end, result;
};

TEST(TextBetween, TakesTheTextBetweenTheFirstStartAndTheNextEnd) {
  const MarkerCase cases[] = {
      {"<a>one</a><a>two</a>", "<a>", "</a>", "one"},
      {"</a>x<a>one</a>", "<a>", "</a>", "one"},
      {"<a></a>", "<a>", "</a>", ""},
      {"<a>never closed", "<a>", "</a>", ""},
      {"", "<a>", "</a>", ""},
      // Start marker absent: nothing, not text from some position onwards.
      {"xyz</a>", "<a>", "</a>", ""},
      {"ab</a>", "q", "</a>", ""},
      // Empty markers are found where the primitives place them.
      {"abc</a>def", "", "</a>", ""},
      {"<a>value", "<a>", "", "valu"},
      {"<a>va\0lue"s, "<a>", "", "va"},
      {"key=\xCF\xF0\xE8;", "key=", ";", "\xCF\xF0\xE8"},
      {"a\0<a>x\0y</a>"s, "<a>", "</a>", "x\0y"s},
  };
  for (const MarkerCase& c : cases)
    EXPECT_EQ(TextBetween(c.source, c.start, c.end), c.result) << c.source << " | " << c.start << " | " << c.end;
}

std::string stripped(const std::string& marker, std::string text) {
  StripMarker(text, marker);
  return text;
}

// Removal of the first occurrence, searching from the start each time.
std::string strippedSlowly(const std::string& marker, std::string text) {
  if (marker.empty()) return text;
  for (std::size_t at; (at = text.find(marker)) != std::string::npos;) text.erase(at, marker.size());
  return text;
}

TEST(StripMarker, RemovesTheMarkerUntilNoneIsLeft) {
  struct Case {
    std::string marker, text, result;
  };
  const Case cases[] = {
      {"ab", "aabb", ""},
      {"ab", "xaabbyab", "xy"},
      {"", "text", "text"},
      {"<br>", "a<br>b<br><br>c", "abc"},
      {"aa", "aaa", "a"},
      {"abc", "ab", "ab"},
      {"x", "a\0x\0"s, "a\0\0"s},
      // A start that may hold the marker, in a word read while the writes lag
      // fewer than eight bytes.
      {"<br>", "x<br>yyyyyyy<b<br>r>yyyyyyyyyyyy", "x" + std::string(19, 'y')},
  };
  for (const Case& c : cases) EXPECT_EQ(stripped(c.marker, c.text), c.result) << c.marker << " in " << c.text;
}

TEST(StripMarker, AgreesWithRepeatedRemovalOfTheFirstOccurrence) {
  std::mt19937 random(20261209);
  const auto randomText = [&](std::size_t maxLength, unsigned letters) {
    std::string text(random() % (maxLength + 1), 'a');
    for (char& c : text) c = static_cast<char>('a' + random() % letters);
    return text;
  };
  for (int round = 0; round < 40000; ++round) {
    const unsigned letters = 2 + round % 2;
    const std::string marker = randomText(5, letters);
    const std::string text = randomText(30, letters);
    ASSERT_EQ(stripped(marker, text), strippedSlowly(marker, text)) << marker << " in " << text;
  }
}

}  // namespace
}  // namespace tcp
