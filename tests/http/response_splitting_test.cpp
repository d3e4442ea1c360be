#include <gtest/gtest.h>

#include <string>

#include "http/http_commands.h"

namespace tcp {
namespace {

using namespace std::string_literals;

// A command run on a received response, with ExchangeText set beforehand.
std::string run(void (*command)(ExchangeArea&, const ResponseState&), const std::string& received,
                const std::string& before = "unchanged") {
  ExchangeArea area;
  area.ExchangeText = before;
  ResponseState response;
  response.ReceiveBuffer = received;
  command(area, response);
  return area.ExchangeText;
}

TEST(Getheader, GivesTheHeaderBlockEndedByAZeroByte) {
  struct Case {
    std::string received, result;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody", "HTTP/1.1 200 OK\r\nA: b\0"s},
      {"\r\n\r\nbody", "\0"s},
      {"H\r\n\r\nx\r\n\r\ny", "H\0"s},
      {"", "unchanged"},
      {"HTTP/1.1 200 OK\r\nA: b\r\n", "unchanged"},
      {"HTTP/1.1 200 OK\n\nbody", "unchanged"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(getheader, c.received), c.result) << c.received;
}

TEST(Gethtml, GiveTheBodyWithAndWithoutItsFirstLine) {
  struct Case {
    std::string received, html0, html;
  };
  const Case cases[] = {
      {"H: v\r\n\r\nline1\nline2\r\n\r\nmore", "line1\nline2\r\n\r\nmore", "line2\r\n\r\nmore"},
      {"H: v\r\n\r\n", "", ""},
      {"H: v\r\n\r\nno line feed", "no line feed", ""},
      {"\r\n\r\nabc\ndef", "abc\ndef", "def"},
      {"H: v\r\n\r\nA\0B\nC\0"s, "A\0B\nC\0"s, "C\0"s},
      // Without a separator there is no body: nothing from the third byte on.
      {"HTTP/1.1 200 OK\r\nStill: arriving\n", "", ""},
      {"", "", ""},
      {"HTTP/1.1 200 OK\n\nbody\nx", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(gethtml0, c.received), c.html0) << c.received;
    EXPECT_EQ(run(gethtml, c.received), c.html) << c.received;
  }
}

TEST(Getotvetlen, WritesTheDeclaredLengthAsDecimalText) {
  const std::pair<double, const char*> cases[] = {{0, "0"}, {5120, "5120"}, {-1, "-1"}, {3000000000.0, "3000000000"}};
  for (const auto& [length, text] : cases) {
    ExchangeArea area;
    ResponseState response;
    response.ResponseLength = length;
    getotvetlen(area, response);
    EXPECT_EQ(area.ExchangeText, text);
  }
}

struct MarkerCase {
  std::string source, start, end, result;
};

// The markers come from the last two SetFile calls: start first, then end.
std::string between(void (*command)(ExchangeArea&, const ResponseState&), const MarkerCase& c, bool decoded) {
  ExchangeArea area;
  area.setFile(c.start.c_str());
  area.setFile(c.end.c_str());
  ResponseState response;
  (decoded ? response.DecodedBody : response.ReceiveBuffer) = c.source;
  command(area, response);
  EXPECT_EQ(area.FileHistory[0], c.end);
  return area.ExchangeText;
}

TEST(ParseMarkers, TakeTheTextBetweenTheFirstStartAndTheNextEnd) {
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
  for (const MarkerCase& c : cases) {
    EXPECT_EQ(between(parseotvet, c, false), c.result) << c.source << " | " << c.start << " | " << c.end;
    EXPECT_EQ(between(parserez, c, true), c.result) << c.source << " | " << c.start << " | " << c.end;
  }
}

TEST(ParseMarkers, ReadOnlyTheirOwnSource) {
  const MarkerCase c{"<a>one</a>", "<a>", "</a>", ""};
  EXPECT_EQ(between(parserez, c, false), "");
  EXPECT_EQ(between(parseotvet, c, true), "");
}

}  // namespace
}  // namespace tcp
