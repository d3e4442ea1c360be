#include <gtest/gtest.h>

#include <string>

#include "http/message_parts.h"

namespace tcp {
namespace {

using namespace std::string_literals;

// The header block of received, or "unchanged" when there is none.
std::string headerBlock(const std::string& received) {
  std::string text = "unchanged";
  HeaderBlockText(received, text);
  return text;
}

TEST(HeaderBlockText, GivesTheHeaderBlockEndedByAZeroByte) {
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
  for (const Case& c : cases) EXPECT_EQ(headerBlock(c.received), c.result) << c.received;
}

TEST(MessageBody, ComesWithAndWithoutItsFirstLine) {
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
    EXPECT_EQ(MessageBody(c.received), c.html0) << c.received;
    EXPECT_EQ(BodyAfterFirstLine(c.received), c.html) << c.received;
  }
}

}  // namespace
}  // namespace tcp
