#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "http/chunked_decoder.h"
#include "http/header_lines.h"
#include "http/message_parts.h"
#include "response_fixtures.h"

namespace tcp {
namespace {

using namespace std::string_literals;

struct Split {
  std::string headerText;
  std::string decodedBody;

  explicit Split(std::string_view raw) { SplitResponse(raw, headerText, decodedBody); }
};

TEST(SplitResponse, SplitsEveryFixtureIntoHeaderLinesAndPayload) {
  for (const fixtures::Response& fixture : fixtures::responses()) {
    SCOPED_TRACE(fixture.name);
    const Split split(fixture.raw);
    EXPECT_EQ(split.decodedBody, fixture.payload);
    EXPECT_EQ(SplitLines(split.headerText), fixture.headerLines);
    const std::size_t end = fixture.raw.find("\r\n\r\n");
    EXPECT_EQ(split.headerText, end == std::string::npos ? "" : fixture.raw.substr(0, end + 1));
  }
}

TEST(SplitResponse, EveryCutOfAResponseDecodesToAPrefixOfTheWhole) {
  for (const fixtures::Response& fixture : fixtures::responses()) {
    SCOPED_TRACE(fixture.name);
    for (std::size_t cut = 0; cut <= fixture.raw.size(); ++cut) {
      const Split split(std::string_view(fixture.raw).substr(0, cut));
      const std::string& decoded = split.decodedBody;
      ASSERT_LE(decoded.size(), std::min(cut, fixture.payload.size())) << "cut at " << cut;
      EXPECT_EQ(decoded, fixture.payload.substr(0, decoded.size())) << "cut at " << cut;
    }
  }
}

TEST(DecodeChunked, StopsAndTakesWhatHasArrived) {
  struct Case {
    const char* name;
    std::string body, decoded;
  };
  const Case cases[] = {
      {"last data byte ends the received data", "5\r\n12345", "12345"},
      {"chunk arrived in part", "a\r\n12345", "12345"},
      {"size line without its LF yet", "5\r\n12345\r\n3", "12345"},
      {"largest positive size", "7FFFFFFF\r\nabc", "abc"},
      {"negative size", "FFFFFFF0\r\nabc", ""},
      {"size 80000000", "80000000\r\nabc", ""},
      {"size line without a digit", "\r\nabc\r\n", ""},
      {"size line with blanks first", " 3\r\nabc\r\n0\r\n\r\n", ""},
      {"bytes after the data are skipped whatever they hold", "3\r\nabcXY2\r\nde\r\n0\r\n\r\n", "abcde"},
      {"first chunk of size 0", "0\r\n\r\n", ""},
      {"size 100000003 is not read modulo 2^32", "100000003\r\nabcdef", ""},
  };
  for (const Case& c : cases) {
    std::string decoded;
    DecodeChunked(c.body, decoded);
    EXPECT_EQ(decoded, c.decoded) << c.name;
  }
}

// Each step either ends the decoding or moves forward within the body, so a
// body of n bytes takes at most n + 1 steps whatever its sizes say.
TEST(NextChunk, MovesForwardAtEveryStepOnEveryCut) {
  const std::string bodies[] = {
      "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n12345\r\n0\r\n\r\n",
      "1\n\n\n1\nx\r\n1\r\n",
      "7FFFFFFF\r\nabc",
      "100000002\r\nab\r\n100000001\r\nc\r\n0\r\n",
      "2;a=b\r\n\0\0\r\n2\r\n\r\n\r\n0\r\n"s,
  };
  for (const std::string& whole : bodies) {
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
      const std::string_view body = std::string_view(whole).substr(0, cut);
      ChunkedDecoder decoder;
      std::size_t steps = 0;
      for (std::size_t before = 0; !decoder.finished; before = decoder.position) {
        NextChunk(body, decoder);
        ASSERT_TRUE(decoder.finished || decoder.position > before) << whole << " cut at " << cut;
        ASSERT_LE(decoder.position, body.size());
        ASSERT_LE(++steps, body.size() + 1);
      }
      EXPECT_EQ(NextChunk(body, decoder), "");
    }
  }
}

TEST(DeclaresChunked, ReadsTheLastCodingOfTransferEncodingLines) {
  struct Case {
    const char* headerBlock;
    bool chunked;
  };
  const Case cases[] = {
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked", true},
      {"HTTP/1.1 200 OK\r\nTRANSFER-ENCODING:chunked\r\nA: b", true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip,\tchunked ", true},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip", false},
      {"HTTP/1.1 200 OK\r\nX-Transfer-Encoding: chunked", false},
      {"HTTP/1.1 200 OK\r\nContent-Type: chunked", false},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip", false},
      {"HTTP/1.1 200 OK", false},
  };
  for (const Case& c : cases) EXPECT_EQ(DeclaresChunked(c.headerBlock), c.chunked) << c.headerBlock;
}

TEST(SplitResponse, RunsTwiceAlikeOnTheSameStorage) {
  const std::string& raw = fixtures::responses().front().raw;
  Split split(raw);
  const Split first = split;
  SplitResponse(raw, split.headerText, split.decodedBody);
  EXPECT_EQ(split.headerText, first.headerText);
  EXPECT_EQ(split.decodedBody, "abcdefghijklmnopqrstuvwxyz12345");
}

}  // namespace
}  // namespace tcp
