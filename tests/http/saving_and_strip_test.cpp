#include <gtest/gtest.h>

#include <random>
#include <string>

#include "fake_files.h"
#include "http/http_commands.h"
#include "response_fixtures.h"

namespace tcp {
namespace {

using namespace std::string_literals;

TEST(Savebin, WritesTheMessageBodyAndSavebinallEveryByte) {
  for (const fixtures::Response& fixture : fixtures::responses()) {
    SCOPED_TRACE(fixture.name);
    testing::FakeFileSystem files;
    files.files = {{"body.bin", "older contents"}, {"all.bin", "older contents"}};
    ExchangeArea area;
    ResponseState response;
    response.ReceiveBuffer = fixture.raw;
    area.ExchangeText = "body.bin";
    savebin(area, response, files);
    area.ExchangeText = "all.bin";
    savebinall(area, response, files);
    EXPECT_EQ(files.writes, 2);
    EXPECT_EQ(files.files["body.bin"], fixture.payload);
    EXPECT_EQ(files.files["all.bin"], fixture.raw);
  }
}

TEST(Savebin, AnUnwritablePathChangesNothingAndReportsNothing) {
  testing::FakeFileSystem files;
  files.unwritable.insert("locked.bin");
  ExchangeArea area;
  area.setFile("locked.bin");
  area.ExchangeValue = 9;
  ResponseState response;
  response.ReceiveBuffer = fixtures::responses().front().raw;
  savebin(area, response, files);
  savebinall(area, response, files);
  EXPECT_EQ(files.writes, 2);
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(area.ExchangeText, "locked.bin");
  EXPECT_EQ(area.ExchangeValue, 9);
}

std::string stripped(const std::string& marker, const std::string& text) {
  ExchangeArea area;
  area.setFile(marker.c_str());
  area.setFile("text");
  area.ExchangeText = text;  // as a command that copied received bytes leaves it
  strip(area);
  return area.ExchangeText;
}

// Removal of the first occurrence, searching from the start each time.
std::string strippedSlowly(const std::string& marker, std::string text) {
  if (marker.empty()) return text;
  for (std::size_t at; (at = text.find(marker)) != std::string::npos;) text.erase(at, marker.size());
  return text;
}

TEST(Strip, RemovesTheMarkerUntilNoneIsLeft) {
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
  };
  for (const Case& c : cases) EXPECT_EQ(stripped(c.marker, c.text), c.result) << c.marker << " in " << c.text;
}

TEST(Strip, AgreesWithRepeatedRemovalOfTheFirstOccurrence) {
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
