#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "guard_page.h"
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
    fakes::GuardPage guard(fixture.raw.size());
    for (std::size_t cut = 0; cut <= fixture.raw.size(); ++cut) {
      const Split split(guard.place(std::string_view(fixture.raw).substr(0, cut)));
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
      {"an extension longer than the bytes looked at near the digits",
       "3;name=a-value-longer-than-sixteen-bytes\r\nabc\r\n0\r\n\r\n", "abc"},
      {"a size line ended by LF alone, then by $ and lower-case digits", "3\nabc\r\n$a\n0123456789\r\n", "abc0123456789"},
      {"more digits than the bytes looked at, leading zeros", "000000000000000000000003\r\nabc", "abc"},
  };
  for (const Case& c : cases) {
    std::string decoded;
    DecodeChunked(c.body, decoded);
    EXPECT_EQ(decoded, c.decoded) << c.name;
  }
}

const std::string kSteppedBodies[] = {
    "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n12345\r\n0\r\n\r\n",
    "1\n\n\n1\nx\r\n1\r\n",
    "7FFFFFFF\r\nabc",
    "100000002\r\nab\r\n100000001\r\nc\r\n0\r\n",
    "2;a=b\r\n\0\0\r\n2\r\n\r\n\r\n0\r\n"s,
    "3\r\nabc\r\n0;x=y\r\nTrailer-A: 1\r\nTrailer-B: 2\n\r\nafter",
};

// Each call hands out data or moves the decoding forward, and a body of n
// bytes takes at most n + 1 calls whatever its sizes say.
TEST(NextChunkData, MovesForwardAtEveryCallOnEveryCut) {
  for (const std::string& whole : kSteppedBodies) {
    fakes::GuardPage guard(whole.size());
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
      const std::string_view body = guard.place(std::string_view(whole).substr(0, cut));
      ChunkedDecoder decoder;
      std::size_t calls = 0;
      while (!NextChunkData(body, decoder).empty()) {
        ASSERT_LE(decoder.position, body.size());
        ASSERT_LE(++calls, body.size() + 1) << whole << " cut at " << cut;
      }
      EXPECT_EQ(NextChunkData(body, decoder), "") << "a decoder that stopped stays stopped";
    }
  }
}

// A body that grows arrival by arrival decodes, with one decoder, to exactly
// what the whole body decodes to, and ends in the same place.
TEST(NextChunkData, FedArrivalByArrivalDecodesAsTheWholeBody) {
  for (const std::string& whole : kSteppedBodies) {
    std::string expected;
    DecodeChunked(whole, expected);
    ChunkedDecoder atOnce;
    while (!NextChunkData(whole, atOnce).empty()) {
    }
    for (std::size_t piece = 1; piece <= 3; ++piece) {
      ChunkedDecoder decoder;
      std::string decoded;
      for (std::size_t end = 0; end < whole.size() + piece; end += piece) {
        const std::string_view body = std::string_view(whole).substr(0, std::min(end, whole.size()));
        for (std::string_view data; !(data = NextChunkData(body, decoder)).empty();) decoded.append(data);
      }
      EXPECT_EQ(decoded, expected) << whole << " in pieces of " << piece;
      EXPECT_EQ(decoder.stage, atOnce.stage) << whole;
      EXPECT_EQ(decoder.position, atOnce.position) << whole;
    }
  }
}

TEST(NextChunkData, EndsAfterTheTrailerOrAtAnInvalidSize) {
  using Stage = ChunkedDecoder::Stage;
  struct Case {
    std::string body;
    Stage stage;
    std::size_t end;  // where the decoding stands once it has stopped
  };
  const Case cases[] = {
      {"0\r\n\r\n", Stage::Complete, 5},
      {"0\n\n", Stage::Complete, 3},
      {"2\r\nab\r\n0\r\nX: y\r\n\r\nHTTP/1.1", Stage::Complete, 18},
      {"0\r\nX: y\r\n", Stage::Trailer, 9},
      {"0\r\n", Stage::Trailer, 3},
      {"0;name=value\r\n\r\n", Stage::Complete, 16},
      {"zz\r\n", Stage::Invalid, 4},
      {"\r\n", Stage::Invalid, 2},
      {"80000000\r\n", Stage::Invalid, 10},
      {"3\r\nab", Stage::Data, 5},
      {"3\r\nabc\r", Stage::AfterData, 7},
      {"3\r\nabc\r\n1", Stage::SizeLine, 8},
  };
  for (const Case& c : cases) {
    ChunkedDecoder decoder;
    while (!NextChunkData(c.body, decoder).empty()) {
    }
    EXPECT_EQ(decoder.stage, c.stage) << c.body;
    EXPECT_EQ(decoder.position, c.end) << c.body;
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
