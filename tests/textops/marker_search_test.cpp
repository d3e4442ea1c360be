#include "guard_page.h"
#include "textops/marker_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "textops/textops.h"

namespace tcp {
namespace {

using namespace std::string_literals;

// Random texts on few letters (a zero byte among them), so that markers and
// near misses of them are frequent; markers are often cut from the text.
TEST(FindIndex, AgreesWithTheDirectSearchOnRandomTexts) {
  std::mt19937 random(20261210);
  const auto randomText = [&](std::size_t maxLength) {
    std::string text(random() % (maxLength + 1), 'a');
    for (char& c : text) c = "ab\0c"[random() % (2 + random() % 3)];
    return text;
  };
  fakes::GuardPage textGuard(200);
  fakes::GuardPage markerGuard(24);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = randomText(200);
    std::string marker = randomText(24);
    if (round % 2 == 0 && !text.empty()) {
      const std::size_t at = random() % text.size();
      marker = text.substr(at, 1 + random() % 24);
    }
    if (marker.empty()) continue;
    ASSERT_EQ(FindIndex(text, marker), text.find(marker)) << text << " / " << marker;
    ASSERT_EQ(FindIndex(textGuard.place(text), markerGuard.place(marker)), text.find(marker))
        << text << " / " << marker << " before guard pages";
  }
}

// Texts where every candidate start costs the whole marker: the search goes
// linear, and finds what the direct search finds.
TEST(MarkerSearch, GoesLinearWhereTheSkipIsDefeatedAndFindsTheSame) {
  struct Case {
    std::string text, marker;
    bool linear;
  };
  const std::string run(20000, 'a');
  const Case cases[] = {
      {run, std::string(100, 'a') + "b" + std::string(100, 'a'), true},
      {run + "b" + run, std::string(100, 'a') + "b" + std::string(100, 'a'), true},
      {run + "b" + run, std::string(200, 'a') + "b" + std::string(10, 'a'), true},
      {run, "aaaaaaab", false},  // the last byte never matches
      {std::string(20000, 'x') + "<marker of some length>", "<marker of some length>", false},
      {std::string(3000, 'a') + "b" + std::string(3000, 'a'), "aaaaaaaa" "b" "aaaaaaa", true},
      // Markers of up to eight bytes never go linear.
      {[] { std::string t; for (int i = 0; i < 4000; ++i) t += "aaaaaaab"; return t; }(), "aaaaaaaa", false},
  };
  for (const Case& c : cases) {
    MarkerSearch search(c.marker);
    EXPECT_EQ(search.next(c.text, 0), c.text.find(c.marker)) << c.marker.size();
    EXPECT_EQ(search.linear(), c.linear) << c.marker.size();
  }
}

std::string stripped(const std::string& marker, std::string text) {
  StripMarker(text, marker);
  return text;
}

std::string strippedSlowly(const std::string& marker, std::string text) {
  for (std::size_t at; (at = text.find(marker)) != std::string::npos;) text.erase(at, marker.size());
  return text;
}

// Long texts that push the strip pass's search over to the linear one part
// way through, with removals before and after.
TEST(StripMarker, AgreesWithRepeatedRemovalWhereTheSearchGoesLinear) {
  const std::string marker = std::string(60, 'a') + "b";
  const std::string cases[] = {
      "x" + marker + std::string(9000, 'a') + "bb" + marker,
      std::string(3000, 'a') + std::string(60, 'b') + "y" + marker + "y",
      std::string(12000, 'a') + "b" + std::string(70, 'a') + "bab",
  };
  for (const std::string& text : cases) EXPECT_EQ(stripped(marker, text), strippedSlowly(marker, text));
}

}  // namespace
}  // namespace tcp
