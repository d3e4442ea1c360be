// Queued mode over the fake sockets: a response's progress, its completion
// (code 7) on a connection kept alive, and every way it can end badly, each
// told once and with its reason.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "connection_fixture.h"

namespace tcp {
namespace {

using Events = std::vector<std::pair<std::int32_t, std::string>>;

const std::string kDisconnected = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";

class Conversation : public ConnectionTest {
 protected:
  Conversation() {
    session.conversation.queued = true;
    createClient();
  }
  // Connected and asked, with only what follows left to see.
  void ask(const std::string& request = "GET / HTTP/1.1\r\n\r\n") {
    if (!client->Connected()) connectNow();
    send(request);
    host.seen.clear();
  }
  void serve(const std::string& bytes, SocketEvent event = SocketEvent::Read) {
    sockets.incoming += bytes;
    sockets.deliver(event);
  }
};

TEST_F(Conversation, EachResponseOnAKeptConnectionEndsWithCode7) {
  SetTimeout(session, 5000);
  ask();
  serve("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
  serve("01234");
  EXPECT_FALSE(sockets.timers.empty()) << "the rest is awaited";
  serve("56789");
  EXPECT_EQ(host.seen, (Events{{4, "0"}, {4, "50"}, {4, "100"}, {7, "200"}}));
  EXPECT_TRUE(sockets.timers.empty()) << "nothing is awaited once the response is complete";

  ask("GET /next HTTP/1.1\r\n\r\n");
  serve("HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n");
  serve("0\r\n\r\n");
  EXPECT_EQ(host.seen, (Events{{4, ""}, {4, ""}, {7, "404"}}));
  EXPECT_EQ(sockets.sent, "GET / HTTP/1.1\r\n\r\nGET /next HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(client->Connected());
  EXPECT_EQ(session.response.Framing.bodyBytes(), 3u);
}

// What the peer sends, then its close: the events after the request, and
// lasterror's reason at the end.
TEST_F(Conversation, EveryEndOfAResponseIsToldOnce) {
  struct Case {
    const char* name;
    std::string bytes;
    Events events;
    std::int32_t failure;
  };
  const Case cases[] = {
      {"the close ends the body", "HTTP/1.0 200 OK\r\n\r\nabc", {{4, ""}, {7, "200"}, {2, kDisconnected}}, 0},
      {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort",
       {{4, "50"}, {3, "TCP_E_RESPONSE_TRUNCATED"}, {2, kDisconnected}}, kResponseTruncated},
      {"no byte at all", "", {{3, "TCP_E_RESPONSE_TRUNCATED"}, {2, kDisconnected}}, kResponseTruncated},
      {"differing lengths", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
       {{4, ""}, {3, "TCP_E_BAD_CONTENT_LENGTH"}, {2, kDisconnected}}, kBadContentLength},
      {"a chunk size that is none", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
       {{4, ""}, {3, "TCP_E_BAD_CHUNK_SIZE"}, {2, kDisconnected}}, kBadChunkSize},
      {"complete before the close", "HTTP/1.1 204 No Content\r\n\r\n", {{4, ""}, {7, "204"}, {2, kDisconnected}}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ask();
    serve(c.bytes, SocketEvent::Close);
    EXPECT_EQ(host.seen, c.events);
    EXPECT_FALSE(client->Connected());
    EXPECT_EQ(session.lastFailure, c.failure);
  }
}

TEST_F(Conversation, AFailureAlreadyToldIsNotFollowedByATruncation) {
  SetTimeout(session, 5000);
  ask();
  serve("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n");
  sockets.fireTimer();
  EXPECT_EQ(host.seen, (Events{{4, "0"}, {3, "WSAETIMEDOUT"}, {2, kDisconnected}}));
  EXPECT_EQ(session.response.Framing.stage(), ResponseFraming::Stage::Cut);
}

TEST_F(Conversation, ClosesTheHostAsksForOrThatCutNothingSayNothingOfTheResponse) {
  ask();
  serve("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf");
  Disconnect(session);
  connectNow();
  sockets.deliver(SocketEvent::Close);
  EXPECT_EQ(host.seen, (Events{{4, "40"}, {2, kDisconnected}, {1, "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff"}, {2, kDisconnected}}));
  EXPECT_EQ(session.lastFailure, 0);
}

TEST_F(ConnectionTest, WithoutQueuedEventsTheFramingChangesNoEvent) {
  createClient();
  connectNow();
  send("GET / HTTP/1.1\r\n\r\n");
  host.seen.clear();
  sockets.incoming = "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab";
  sockets.deliver(SocketEvent::Read);
  EXPECT_TRUE(client->Connected()) << "framing that cannot be trusted closes nothing";
  sockets.deliver(SocketEvent::Close);
  EXPECT_EQ(host.seen, (Events{{4, "5900"}, {2, kDisconnected}})) << "the first length counts, header included";
  EXPECT_EQ(session.response.Framing.stage(), ResponseFraming::Stage::Invalid) << "getsize still tells";
}

TEST_F(ConnectionTest, SethostRecordsWhyALookupFailedAndStartsAfresh) {
  createClient();
  sockets.lookupError = 11004;
  SetHostByName(session, "a..b");
  EXPECT_EQ(session.lastFailure, 11004);
  SetHostByName(session, "localhost");
  EXPECT_EQ(session.lastFailure, 0);
  EXPECT_EQ(host.seen, (Events{{6, "no ip"}, {5, "127.0.0.1"}}));
}

}  // namespace
}  // namespace tcp
