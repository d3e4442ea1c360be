// Where a response ends, by the HTTP/1.1 message length rules, on a table of
// raw responses each run whole, cut at every position, fed byte by byte, and
// closed at every position.
#include "guard_page.h"
#include "http/response_framing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/chunked_decoder.h"
#include "http/message_parts.h"

namespace tcp {
namespace {

using namespace std::string_literals;
using Stage = ResponseFraming::Stage;
using Problem = ResponseFraming::Problem;

constexpr std::size_t kAtTheClose = std::string::npos;

struct FramingCase {
  const char* name;
  std::string raw;
  bool head;
  int status;
  std::uint64_t body;  // body bytes once every byte is in
  // Where the response ends: its last byte's offset + 1; kAtTheClose for a
  // body that only the close ends. Bytes past it belong to nothing.
  std::size_t end;
  Problem problem = Problem::None;  // once every byte is in
};

const std::string kChunkedHeader = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";

const std::vector<FramingCase>& cases() {
  static const std::vector<FramingCase> all = {
      {"content-length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false, 200, 5, 43},
      {"content-length 0", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false, 200, 0, 38},
      {"bytes past the length", "HTTP/1.1 404 Not Found\r\ncontent-length:  2 \r\n\r\nnoHTTP/1.1 200", false, 404, 2, 49},
      {"equal lengths in a list and twice", "HTTP/1.1 200 OK\r\nContent-Length: 3, 3\r\nContent-Length: 3\r\n\r\nabc",
       false, 200, 3, 63},
      {"chunked with extensions and trailers",
       kChunkedHeader + "4;ext=1\r\nWiki\r\n5\r\npedia\r\n0;last\r\nExpires: never\r\nX: y\r\n\r\n", false, 200, 9,
       kChunkedHeader.size() + 57},
      {"chunked binary with zero bytes", kChunkedHeader + "3\r\n\0\r\n\r\n0\r\n\r\n"s, false, 200, 3,
       kChunkedHeader.size() + 13},
      {"chunked with LF-only lines", kChunkedHeader + "2\nab\r\n0\n\n", false, 200, 2, kChunkedHeader.size() + 9},
      {"length and chunked together: chunked wins",
       "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false, 200, 1, 79},
      {"100 Continue, then 200", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false, 200,
       2, 65},
      {"two interim responses, then chunked",
       "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a>\r\n\r\n" + kChunkedHeader + "0\r\n\r\n",
       false, 200, 0, 65 + kChunkedHeader.size() + 5},
      {"101 ends with its header block", "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\n\r\n\x81\x05hello", false,
       101, 0, 48},
      {"HEAD with a length", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n", true, 200, 0, 41},
      {"204 with a length", "HTTP/1.1 204 No Content\r\nContent-Length: 5\r\n\r\n", false, 204, 0, 46},
      {"304 with a length", "HTTP/1.1 304 Not Modified\r\nContent-Length: 5\r\n\r\n", false, 304, 0, 48},
      {"ended by the close", "HTTP/1.0 200 OK\r\nServer: old\r\n\r\nall of it", false, 200, 9, kAtTheClose},
      {"a coding other than chunked: ended by the close",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\nContent-Length: 2\r\n\r\nzipped", false, 200, 6, kAtTheClose},
      {"not HTTP: all body, ended by the close", "SSH-2.0-server\r\n\r\n", false, 0, 18, kAtTheClose},
      {"differing lengths", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello!", false, 200, 0,
       kAtTheClose, Problem::BadLength},
      {"differing lengths in a list", "HTTP/1.1 200 OK\r\nContent-Length: 5, 6\r\n\r\nhello", false, 200, 0,
       kAtTheClose, Problem::BadLength},
      {"a length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\nhello", false, 200, 0,
       kAtTheClose, Problem::BadLength},
      {"a negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, 200, 0, kAtTheClose,
       Problem::BadLength},
      {"an empty length", "HTTP/1.1 200 OK\r\nContent-Length:\r\n\r\n", false, 200, 0, kAtTheClose,
       Problem::BadLength},
      {"a length past a petabyte", "HTTP/1.1 200 OK\r\nContent-Length: 1000000000000001\r\n\r\n", false, 200, 0,
       kAtTheClose, Problem::BadLength},
      {"a chunk size without a digit", kChunkedHeader + "2\r\nab\r\nzz\r\n", false, 200, 2, kAtTheClose,
       Problem::BadChunk},
      {"a status line without a code", "HTTP/1.1 OK\r\n\r\n", false, 0, 0, kAtTheClose, Problem::BadStatusLine},
  };
  return all;
}

struct Seen {
  Stage stage;
  int status;
  std::uint64_t body;
  bool operator==(const Seen&) const = default;
};

Seen seen(const ResponseFraming& framing) { return {framing.stage(), framing.status(), framing.bodyBytes()}; }

// The bytes end right before a guard page: no reading past the cut.
ResponseFraming fedAtOnce(const FramingCase& c, std::size_t cut) {
  fakes::GuardPage guard(c.raw.size());
  ResponseFraming framing;
  framing.start(c.head);
  framing.advance(guard.place(std::string_view(c.raw).substr(0, cut)));
  return framing;
}

TEST(ResponseFraming, EndsEachResponseWhereItsFramingSays) {
  for (const FramingCase& c : cases()) {
    SCOPED_TRACE(c.name);
    const ResponseFraming framing = fedAtOnce(c, c.raw.size());
    const Stage expected =
        c.problem != Problem::None ? Stage::Invalid : c.end == kAtTheClose ? Stage::Body : Stage::Complete;
    EXPECT_EQ(framing.stage(), expected);
    EXPECT_EQ(framing.problem(), c.problem);
    EXPECT_EQ(framing.status(), c.status);
    EXPECT_EQ(framing.bodyBytes(), c.body);
  }
}

// Not complete one byte early, complete from its last byte on; any cut, fed
// at once, stands where the same bytes fed one at a time stand.
TEST(ResponseFraming, EveryCutAgreesWithTheBytesFedOneAtATime) {
  for (const FramingCase& c : cases()) {
    SCOPED_TRACE(c.name);
    ResponseFraming stepped;
    stepped.start(c.head);
    for (std::size_t cut = 0; cut <= c.raw.size(); ++cut) {
      stepped.advance(std::string_view(c.raw).substr(0, cut));
      const ResponseFraming atOnce = fedAtOnce(c, cut);
      ASSERT_EQ(seen(stepped), seen(atOnce)) << "cut at " << cut;
      ASSERT_LE(atOnce.bodyBytes(), cut);
      if (c.end != kAtTheClose) ASSERT_EQ(atOnce.stage() == Stage::Complete, cut >= c.end) << "cut at " << cut;
    }
  }
}

// A close before the end cuts the response short; after it, or when the
// close is the end, the response is complete.
TEST(ResponseFraming, ACloseAtEveryPositionCompletesOrCuts) {
  for (const FramingCase& c : cases()) {
    SCOPED_TRACE(c.name);
    for (std::size_t cut = 0; cut <= c.raw.size(); ++cut) {
      ResponseFraming framing = fedAtOnce(c, cut);
      const Stage before = framing.stage();
      framing.close();
      if (before == Stage::Invalid || before == Stage::Complete) {
        ASSERT_EQ(framing.stage(), before) << "cut at " << cut;
      } else {
        const bool bodyUntilClose = before == Stage::Body && c.end == kAtTheClose && c.problem == Problem::None;
        ASSERT_EQ(framing.stage(), bodyUntilClose ? Stage::Complete : Stage::Cut) << "cut at " << cut;
      }
    }
  }
}

// Without a request, a close before any byte cuts nothing short.
TEST(ResponseFraming, NothingAwaitedIsNothingCut) {
  ResponseFraming idle;
  idle.close();
  EXPECT_EQ(idle.stage(), Stage::Header);
  ResponseFraming asked;
  asked.start(false);
  asked.close();
  EXPECT_EQ(asked.stage(), Stage::Cut);
}

TEST(ResponseFraming, KeepsTheFinalHeaderBlock) {
  const std::string raw = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nA: b\r\n\r\n";
  ResponseFraming framing;
  framing.start(false);
  framing.advance(raw);
  EXPECT_EQ(raw.substr(framing.headerStart(), framing.headerLength()), "HTTP/1.1 201 Created\r\nA: b\r\n");
}

// "Complete" means makechunkeds decodes the whole body: the bytes up to the
// end decode to everything the framing counted, and bytes after it add
// nothing.
TEST(ResponseFraming, ACompleteChunkedBodyIsWhatMakechunkedsDecodes) {
  for (const FramingCase& c : cases()) {
    if (c.raw.rfind(kChunkedHeader, 0) != 0 || c.end == kAtTheClose) continue;
    SCOPED_TRACE(c.name);
    std::string upToEnd, whole;
    PayloadOf(std::string_view(c.raw).substr(0, c.end), upToEnd);
    PayloadOf(c.raw + "5\r\nextra\r\n", whole);
    EXPECT_EQ(upToEnd.size(), c.body);
    EXPECT_EQ(whole, upToEnd);
  }
}

}  // namespace
}  // namespace tcp
