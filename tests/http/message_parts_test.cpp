#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

std::string chunked(const std::vector<std::size_t>& sizes) {
  std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  char fill = 'a';
  for (std::size_t size : sizes) {
    char line[32];
    std::snprintf(line, sizeof line, "%zx\r\n", size);
    response += line + std::string(size, fill++) + "\r\n";
  }
  return response + "0\r\n\r\n";
}

// Small chunks are gathered into blocks of the limit, the rest of large ones
// passes in place.
TEST(PayloadBlocks, GatherSmallChunksAndPassLargeOnesInPlace) {
  constexpr std::size_t kBlock = PayloadBlocks::kPayloadBlock;
  struct Case {
    const char* name;
    std::string response;
    std::vector<std::size_t> blocks;
    std::size_t inPlace;  // how many blocks view the response itself
  };
  const Case cases[] = {
      {"64-byte chunks", chunked(std::vector<std::size_t>(2 * kBlock / 64 + 3, 64)), {kBlock, kBlock, 192}, 0},
      {"chunks past the limit", chunked({kBlock - 1, 2, kBlock - 1}), {kBlock, kBlock}, 0},
      {"large chunks after small ones", chunked({10, kBlock, 5, 3 * kBlock}), {kBlock, kBlock, 2 * kBlock + 15}, 1},
      {"a large chunk alone", chunked({kBlock + 7}), {kBlock + 7}, 1},
      {"not chunked, short", "HTTP/1.1 200 OK\r\n\r\nbody", {4}, 0},
      {"not chunked, long", "HTTP/1.1 200 OK\r\n\r\n" + std::string(kBlock, 'b'), {kBlock}, 1},
      {"no chunks", chunked({}), {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PayloadBlocks blocks(c.response);
    std::string joined;
    std::vector<std::size_t> sizes;
    std::size_t inPlace = 0;
    for (std::string_view block; !(block = blocks.next()).empty();) {
      joined += block;
      sizes.push_back(block.size());
      inPlace += block.data() >= c.response.data() && block.data() < c.response.data() + c.response.size();
    }
    std::string decoded;
    EXPECT_EQ(joined, PayloadOf(c.response, decoded));
    EXPECT_EQ(sizes, c.blocks);
    EXPECT_EQ(inPlace, c.inPlace);
  }
}

}  // namespace
}  // namespace tcp
