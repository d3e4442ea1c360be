// The certificate check's fetches over the fake sockets: what an http
// address becomes, and what a stranger's server may answer.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_sockets.h"
#include "tcpsocket/url_fetch.h"

namespace tcp {
namespace {

constexpr WindowHandle kWindow = 7;

TEST(HttpAddressTest, AddressesAreSplitOrRefused) {
  struct Row {
    const char* address;
    std::optional<HttpAddress> expected;
  };
  const std::vector<Row> rows = {
      {"http://ca.test/issuer.cer", HttpAddress{"ca.test", 80, "/issuer.cer", "ca.test"}},
      {"HTTP://CA.test:8080/a/b.crl?x=1#frag", HttpAddress{"CA.test", 8080, "/a/b.crl?x=1", "CA.test:8080"}},
      {"http://127.0.0.1:1", HttpAddress{"127.0.0.1", 1, "/", "127.0.0.1:1"}},
      {"http://[::1]:65535/ca", HttpAddress{"::1", 65535, "/ca", "[::1]:65535"}},
      {"http://ca.test?q", HttpAddress{"ca.test", 80, "/?q", "ca.test"}},
      {"https://ca.test/", std::nullopt},
      {"ldap://ca.test/cn=x", std::nullopt},
      {"http://", std::nullopt},
      {"http:///path", std::nullopt},
      {"http://user@ca.test/", std::nullopt},
      {"http://ca.test:0/", std::nullopt},
      {"http://ca.test:65536/", std::nullopt},
      {"http://ca.test:8x/", std::nullopt},
      {"http://ca.test:/", std::nullopt},
      {"http://[::1/", std::nullopt},
      {"http://[::1]x/", std::nullopt},
      {"http://[zz]/", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.address);
    const std::optional<HttpAddress> parsed = ParseHttpAddress(row.address);
    ASSERT_EQ(parsed.has_value(), row.expected.has_value());
    if (!parsed) continue;
    EXPECT_EQ(parsed->host, row.expected->host);
    EXPECT_EQ(parsed->port, row.expected->port);
    EXPECT_EQ(parsed->target, row.expected->target);
    EXPECT_EQ(parsed->hostField, row.expected->hostField);
  }
}

class UrlFetchTest : public ::testing::Test {
 protected:
  // Starts a fetch of address that connects at once; its socket is current.
  UrlFetch& started(const std::string& address = "http://127.0.0.1:8080/ca.cer") {
    fetch = std::make_unique<UrlFetch>(sockets, kWindow, address, 5000);
    EXPECT_EQ(fetch->start(), "");
    return *fetch;
  }
  void event(SocketEvent what, int error = 0) { fetch->onSocketEvent(what, error); }
  // The server's whole answer, then its close.
  std::string answered(const std::string& answer) {
    started();
    event(SocketEvent::Connect);
    sockets.incoming = answer;
    event(SocketEvent::Read);
    if (!fetch->done()) event(SocketEvent::Close);
    EXPECT_TRUE(fetch->done());
    return fetch->takeBody();
  }

  fakes::FakeSockets sockets;
  std::unique_ptr<UrlFetch> fetch;
};

TEST_F(UrlFetchTest, AGetGoesOutOnceConnectedAndTheSocketClosesAtTheEnd) {
  started();
  EXPECT_EQ(sockets.connectedPort, 8080);
  EXPECT_EQ(sockets.connectedAddress, 0x0100007Fu);
  EXPECT_EQ(sockets.timers.count(sockets.current), 1u);
  EXPECT_TRUE(sockets.sent.empty());
  event(SocketEvent::Connect);
  EXPECT_EQ(sockets.sent, "GET /ca.cer HTTP/1.0\r\nHost: 127.0.0.1:8080\r\nConnection: close\r\nAccept: */*\r\n\r\n");
  sockets.incoming = "HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabc";
  event(SocketEvent::Read);
  ASSERT_TRUE(fetch->done());
  EXPECT_EQ(fetch->takeBody(), "abc");
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{sockets.current});
  EXPECT_TRUE(sockets.timers.empty());
}

TEST_F(UrlFetchTest, OnlyTheBodyOfAWhole200AnswerCounts) {
  struct Row {
    const char* name;
    std::string answer;
    std::string body;
  };
  const std::vector<Row> rows = {
      {"length", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody", "body"},
      {"bytes beyond the length", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nbody", "bo"},
      {"to the close", "HTTP/1.0 200 OK\r\n\r\nuntil close", "until close"},
      {"zero bytes", "HTTP/1.0 200 OK\r\n\r\n" + std::string("a\0b", 3), std::string("a\0b", 3)},
      {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n", "abcde"},
      {"not found", "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope", ""},
      {"redirect", "HTTP/1.1 301 Moved\r\nLocation: http://x/\r\n\r\n", ""},
      {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort", ""},
      {"no header end", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n", ""},
      {"no status line", "hello\r\n\r\nbody", ""},
      {"two lengths", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 5\r\n\r\nbody", ""},
      {"a length past the bound", "HTTP/1.1 200 OK\r\nContent-Length: 99999999999\r\n\r\nbody", ""},
      {"a length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: 4x\r\n\r\nbody", ""},
      {"a header block past the bound", "HTTP/1.1 200 OK\r\nX: " + std::string(70000, 'x'), ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(answered(row.answer), row.body);
  }
}

TEST_F(UrlFetchTest, ABodyPastTheBoundEndsTheFetch) {
  started();
  event(SocketEvent::Connect);
  sockets.incoming = "HTTP/1.0 200 OK\r\n\r\n";
  sockets.incoming.append(UrlFetch::kMostBytes + 1, 'x');
  event(SocketEvent::Read);
  event(SocketEvent::Close);
  ASSERT_TRUE(fetch->done());
  EXPECT_EQ(fetch->takeBody(), "");
  EXPECT_EQ(sockets.closed.size(), 1u);
}

TEST_F(UrlFetchTest, FailuresOnTheWayEndItWithoutBytes) {
  struct Row {
    const char* name;
    SocketEvent event;
    int error;
  };
  const std::vector<Row> rows = {
      {"refused", SocketEvent::Connect, 10061},
      {"the timer", SocketEvent::Timeout, 0},
      {"closed before answering", SocketEvent::Close, 0},
      {"a read error", SocketEvent::Read, 10054},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    started();
    event(row.event, row.error);
    ASSERT_TRUE(fetch->done());
    EXPECT_EQ(fetch->takeBody(), "");
  }
  sockets.openError = 10024;
  started();
  EXPECT_TRUE(fetch->done());
}

TEST_F(UrlFetchTest, ANameIsLookedUpByTheOwnerFirst) {
  fetch = std::make_unique<UrlFetch>(sockets, kWindow, "http://ca.test/x.crl", 5000);
  EXPECT_EQ(fetch->start(), "ca.test");
  EXPECT_EQ(sockets.current, kNoSocket);
  fetch->lookedUp({"10.1.2.3", 0});
  EXPECT_EQ(sockets.connectedAddress, 0x0302010Au);
  EXPECT_EQ(sockets.connectedPort, 80);

  fetch = std::make_unique<UrlFetch>(sockets, kWindow, "http://missing.test/x.crl", 5000);
  EXPECT_EQ(fetch->start(), "missing.test");
  fetch->lookedUp({{}, kHostNotFound});
  EXPECT_TRUE(fetch->done());

  fetch = std::make_unique<UrlFetch>(sockets, kWindow, "ldap://ca.test/", 5000);
  EXPECT_EQ(fetch->start(), "");
  EXPECT_TRUE(fetch->done());
}

}  // namespace
}  // namespace tcp
