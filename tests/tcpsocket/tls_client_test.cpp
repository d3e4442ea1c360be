// The socket client with TLS on, over the fake sockets and the fake security
// layer: the test plays the server, its records written into the socket's
// incoming bytes and announced by read events.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_sockets.h"
#include "fake_tls.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

using fakes::fakeRecord;
using fakes::FakeRecord;
using fakes::parseFakeRecords;
using Events = std::vector<std::string>;

constexpr TlsCode kUntrustedRoot = 0x800B0109;
constexpr TlsCode kIncompleteMessage = 0x80090318;

const std::string kHandshake = fakeRecord('H', "server hello") + fakeRecord('H', "server finished");
const FakeRecord kClientHello{'H', "hello localhost"};
const FakeRecord kClientFinished{'H', "finished"};

std::string data(std::string_view text) { return fakeRecord('D', text); }
std::string code(TlsCode tls) { return std::to_string(static_cast<std::int32_t>(tls)); }

class TlsClientTest : public ::testing::Test {
 public:
  TlsClientTest() { remake(TlsSetting::Mode::Verified); }

  void remake(TlsSetting::Mode mode, std::string serverName = {}) {
    client = std::make_unique<TcpClient>(sockets, [](const std::string&) {}, &tls);
    client->OnConnect = [this](TcpClient&) { events.push_back("connect"); };
    client->OnDisconnect = [this](TcpClient&) { events.push_back("disconnect"); };
    client->OnError = [this](TcpClient&, std::int32_t error) { events.push_back("error " + std::to_string(error)); };
    client->OnRead = [this](TcpClient&, const char* bytes, std::int32_t, std::int32_t count) {
      events.push_back("read " + std::string(bytes, static_cast<std::size_t>(count)));
    };
    client->setHost("127.0.0.1", "localhost");
    client->setTls({mode, std::move(serverName)});
    events.clear();
  }

  void connect() {
    client->Connect();
    sockets.deliver(SocketEvent::Connect);
  }

  // The server's bytes, one read event per piece.
  void serve(std::string_view bytes) {
    sockets.incoming.append(bytes);
    sockets.deliver(SocketEvent::Read);
  }

  void open() {
    connect();
    serve(kHandshake);
    events.clear();
  }

  std::vector<FakeRecord> sent() const { return parseFakeRecords(sockets.sent); }
  bool socketOpen() const { return client->socket() != kNoSocket; }

  fakes::FakeSockets sockets;
  fakes::FakeTlsSystem tls;
  Events events;
  std::unique_ptr<TcpClient> client;
};

TEST_F(TlsClientTest, OnConnectComesOnlyOnceTheHandshakeAndTheCheckAreDone) {
  connect();
  EXPECT_TRUE(events.empty());
  EXPECT_FALSE(client->Connected());
  EXPECT_EQ(sent(), std::vector<FakeRecord>{kClientHello});
  serve(kHandshake + data("hi"));
  EXPECT_EQ(events, (Events{"connect", "read hi"}));
  EXPECT_EQ(sent(), (std::vector<FakeRecord>{kClientHello, kClientFinished}));
  EXPECT_EQ(tls.verifyCalls, 1);
  EXPECT_TRUE(client->Connected());
}

// The server's stream cut once at every position: whatever the cut, the same
// events, each read bringing what was decrypted from that arrival.
TEST_F(TlsClientTest, RecordsCutAtEveryPositionGiveTheSamePlaintext) {
  const std::string stream = kHandshake + data("abc") + data("defg");
  for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
    SCOPED_TRACE(cut);
    remake(TlsSetting::Mode::Verified);
    connect();
    serve(stream.substr(0, cut));
    serve(stream.substr(cut));
    std::string plaintext;
    int connects = 0;
    for (const std::string& event : events) {
      if (event == "connect") ++connects;
      if (event.rfind("read ", 0) == 0) plaintext += event.substr(5);
      EXPECT_NE(event.substr(0, 5), "error");
      EXPECT_NE(event, "read ");  // an arrival that completed no record raises no read
    }
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(events.front(), "connect");
    EXPECT_EQ(plaintext, "abcdefg");
  }
}

TEST_F(TlsClientTest, Scenarios) {
  struct Case {
    const char* name;
    TlsSetting::Mode mode;
    TlsCode verdict;
    std::vector<std::string> arrivals;  // after the ClientHello, one read event each
    bool fin;
    Events events;
    bool open;
    int verified = 1;  // certificate checks
  };
  const std::string plainAnswer = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
  const Case cases[] = {
      {"several records per read", TlsSetting::Mode::Verified, 0, {kHandshake + data("a") + data("b") + data("c")},
       false, {"connect", "read abc"}, true},
      {"close_notify after data", TlsSetting::Mode::Verified, 0,
       {kHandshake + data("tail") + fakeRecord('A', "close_notify") + data("ignored")}, false,
       {"connect", "read tail", "disconnect"}, false},
      {"FIN after data", TlsSetting::Mode::Verified, 0, {kHandshake, data("tail")}, true,
       {"connect", "read tail", "disconnect"}, false},
      {"rejected certificate", TlsSetting::Mode::Verified, kUntrustedRoot, {kHandshake + data("x")}, false,
       {"error " + code(kUntrustedRoot)}, false},
      {"unchecked certificate", TlsSetting::Mode::Unverified, kUntrustedRoot, {kHandshake}, false, {"connect"}, true,
       0},
      {"FIN during the handshake", TlsSetting::Mode::Verified, 0, {fakeRecord('H', "server hello")}, true,
       {"error " + code(kIncompleteMessage)}, false, 0},
      {"plain peer and FIN", TlsSetting::Mode::Verified, 0, {plainAnswer}, true,
       {"error " + code(kIncompleteMessage)}, false, 0},
      {"broken record once open", TlsSetting::Mode::Verified, 0, {kHandshake, fakeRecord('X', "junk")}, false,
       {"connect", "error " + code(0x80090330), "disconnect"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    remake(c.mode);
    tls.peerVerdict = c.verdict;
    tls.verifyCalls = 0;
    connect();
    for (const std::string& arrival : c.arrivals) serve(arrival);
    if (c.fin) sockets.deliver(SocketEvent::Close);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(socketOpen(), c.open);
    EXPECT_EQ(tls.verifyCalls, c.verified);
    sockets.incoming.clear();
  }
}

// A post-handshake handshake: the client answers it, holds what it is asked
// to send until it is done, and raises no second OnConnect.
// One read can open the connection, bring data and end it: a handler that
// connects again or disconnects from inside any of those events leaves the
// rest of them to the old connection, which the new one never sees.
TEST_F(TlsClientTest, HandlersMayReconnectOrDisconnectFromInsideEachEventOfOneRead) {
  struct Case {
    const char* in;  // the event whose handler acts, once
    bool reconnect;  // Connect, else Disconnect
    Events events;
    bool connecting;  // a new connect is under way afterwards
  };
  const Case cases[] = {
      {"connect", false, {"connect", "disconnect"}, false},
      {"connect", true, {"connect", "disconnect"}, true},
      {"read hello", false, {"connect", "read hello", "disconnect"}, false},
      {"read hello", true, {"connect", "read hello", "disconnect"}, true},
      {"disconnect", false, {"connect", "read hello", "disconnect"}, false},
      {"disconnect", true, {"connect", "read hello", "disconnect"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.in) + (c.reconnect ? ", Connect" : ", Disconnect"));
    remake(TlsSetting::Mode::Verified);
    bool acted = false;
    const auto note = [this, &c, &acted](TcpClient& self, const std::string& event) {
      events.push_back(event);
      if (event != c.in || std::exchange(acted, true)) return;
      if (c.reconnect)
        self.Connect();
      else
        self.Disconnect();
    };
    client->OnConnect = [note](TcpClient& self) { note(self, "connect"); };
    client->OnDisconnect = [note](TcpClient& self) { note(self, "disconnect"); };
    client->OnRead = [note](TcpClient& self, const char* bytes, std::int32_t, std::int32_t count) {
      note(self, "read " + std::string(bytes, static_cast<std::size_t>(count)));
    };
    connect();
    const SocketHandle old = client->socket();
    sockets.closed.clear();
    serve(kHandshake + data("hello") + fakeRecord('A', "close_notify"));
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{old});
    EXPECT_EQ(client->Connecting(), c.connecting);
    EXPECT_EQ(socketOpen(), c.connecting);
  }
}

TEST_F(TlsClientTest, RenegotiationIsAnsweredAndHoldsSendsUntilDone) {
  open();
  sockets.sent.clear();
  serve(data("one") + fakeRecord('R', "renegotiate"));
  client->SendText("request");
  EXPECT_EQ(sent(), std::vector<FakeRecord>{kClientHello});
  serve(kHandshake + data("two"));
  EXPECT_EQ(events, (Events{"read one", "read two"}));
  EXPECT_EQ(sent(), (std::vector<FakeRecord>{kClientHello, kClientFinished, {'D', "request"}}));
}

TEST_F(TlsClientTest, TextSentBeforeTheConnectionIsUpGoesOutEncryptedOnceItIs) {
  client->Connect();
  client->SendText("GET / HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(sockets.sent.empty());
  sockets.deliver(SocketEvent::Connect);
  serve(kHandshake);
  EXPECT_EQ(sent(), (std::vector<FakeRecord>{kClientHello, kClientFinished, {'D', "GET / HTTP/1.1\r\n\r\n"}}));
  EXPECT_EQ(sockets.sent.find("GET"), std::string::npos);
}

TEST_F(TlsClientTest, DisconnectSendsCloseNotifyThenCloses) {
  open();
  sockets.sent.clear();
  client->Disconnect();
  EXPECT_EQ(sent(), (std::vector<FakeRecord>{{'A', "close_notify"}}));
  EXPECT_EQ(events, Events{"disconnect"});
  EXPECT_FALSE(socketOpen());
}

TEST_F(TlsClientTest, TheServerNameIsTheSettingsElseTheHostNameElseTheHost) {
  remake(TlsSetting::Mode::Verified, "example.test");
  connect();
  remake(TlsSetting::Mode::Verified);
  connect();
  client->setHost("10.0.0.7");
  connect();
  EXPECT_EQ(tls.serverNames, (std::vector<std::string>{"example.test", "localhost", "10.0.0.7"}));
}

TEST_F(TlsClientTest, TheSettingAppliesFromTheNextConnect) {
  open();
  client->setTls({TlsSetting::Mode::Off, ""});
  serve(data("still tls"));
  client->Connect();
  sockets.deliver(SocketEvent::Connect);
  sockets.sent.clear();
  client->SendText("plain");
  EXPECT_EQ(events, (Events{"read still tls", "disconnect", "connect"}));
  EXPECT_EQ(sockets.sent, "plain");
}

TEST_F(TlsClientTest, AnEngineThatCannotOpenASessionFailsTheConnect) {
  tls.openError = 0x80090305;
  connect();
  EXPECT_EQ(events, Events{"error " + code(0x80090305)});
  EXPECT_FALSE(socketOpen());
}

// The timer rows of the client's state table, with TLS on and off.
TEST_F(TlsClientTest, TheTimerRunsWhileConnectingAndAfterEachSendOrArrival) {
  struct Case {
    const char* name;
    TlsSetting::Mode mode;
    std::function<void(TlsClientTest&)> act;
    bool timerRuns;  // before the tick
    Events events;   // after the tick
  };
  const auto connecting = [](TlsClientTest& t) { t.client->Connect(); };
  const auto securing = [](TlsClientTest& t) { t.connect(); };
  const auto idle = [](TlsClientTest& t) { t.open(); };
  const auto afterSend = [](TlsClientTest& t) {
    t.open();
    t.client->SendText("request");
  };
  const auto afterArrival = [](TlsClientTest& t) {
    t.open();
    t.serve(data("unasked"));
    t.events.clear();
  };
  const auto sentBeforeUp = [](TlsClientTest& t) {
    t.client->Connect();
    t.client->SendText("request");
    t.sockets.deliver(SocketEvent::Connect);
    t.serve(kHandshake);
    t.events.clear();
  };
  const auto plainIdle = [](TlsClientTest& t) {
    t.connect();
    t.events.clear();
  };
  const auto plainAfterSend = [plainIdle](TlsClientTest& t) {
    plainIdle(t);
    t.client->SendText("request");
  };
  const Case cases[] = {
      {"connecting", TlsSetting::Mode::Verified, connecting, true, {"error 10060"}},
      {"handshaking", TlsSetting::Mode::Verified, securing, true, {"error 10060"}},
      {"up and idle", TlsSetting::Mode::Verified, idle, false, {}},
      {"after a send", TlsSetting::Mode::Verified, afterSend, true, {"error 10060", "disconnect"}},
      {"after an arrival", TlsSetting::Mode::Verified, afterArrival, true, {"error 10060", "disconnect"}},
      {"up, with text sent before", TlsSetting::Mode::Verified, sentBeforeUp, true, {"error 10060", "disconnect"}},
      {"plain, up and idle", TlsSetting::Mode::Off, plainIdle, false, {}},
      {"plain, after a send", TlsSetting::Mode::Off, plainAfterSend, true, {"error 10060", "disconnect"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    remake(c.mode);
    client->setTimeout(500);
    c.act(*this);
    EXPECT_EQ(sockets.timers.count(client->socket()) == 1, c.timerRuns);
    events.clear();
    sockets.deliver(SocketEvent::Timeout);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(socketOpen(), c.events.empty());
    EXPECT_TRUE(sockets.timers.empty());
    if (socketOpen()) client->Disconnect();
  }
}

TEST_F(TlsClientTest, WithoutATimeoutNoTimerEverRuns) {
  remake(TlsSetting::Mode::Off);
  connect();
  client->SendText("request");
  serve("answer");
  EXPECT_TRUE(sockets.timers.empty());
}

TEST_F(TlsClientTest, ATimerThatCannotStartFailsTheConnect) {
  client->setTimeout(500);
  sockets.timerError = 10055;
  client->Connect();
  EXPECT_EQ(events, Events{"error 10055"});
  EXPECT_FALSE(socketOpen());
}

// The certificate check asks for an issuer: the client fetches it on a
// socket of its own, beside the connection, and the connection opens once
// the check has it. What the server sent meanwhile waits for that.
class CheckFetchTest : public TlsClientTest {
 protected:
  void handshakeAskingFor(std::string address) {
    tls.peerWants = {std::move(address)};
    connect();
    connection = client->socket();
    serve(kHandshake + data("early"));
    fetchSocket = sockets.current;
  }

  SocketHandle connection = kNoSocket;
  SocketHandle fetchSocket = kNoSocket;
};

TEST_F(CheckFetchTest, TheConnectionOpensOnceTheFetchedIssuerCame) {
  handshakeAskingFor("http://127.0.0.1:8080/issuer.cer");
  ASSERT_NE(fetchSocket, connection);
  EXPECT_TRUE(client->Securing());
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(sockets.connectedPort, 8080);
  sockets.sent.clear();
  sockets.deliverFor(fetchSocket, SocketEvent::Connect);
  EXPECT_EQ(sockets.sent.rfind("GET /issuer.cer HTTP/1.0\r\n", 0), 0u) << sockets.sent;
  sockets.incoming = "HTTP/1.0 200 OK\r\nContent-Length: 6\r\n\r\nissuer";
  sockets.deliverFor(fetchSocket, SocketEvent::Read);
  EXPECT_EQ(events, (Events{"connect", "read early"}));
  EXPECT_EQ(tls.fetchedSeen.at("http://127.0.0.1:8080/issuer.cer"), "issuer");
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{fetchSocket});
  EXPECT_EQ(client->socket(), connection);
  EXPECT_TRUE(client->Connected());
}

TEST_F(CheckFetchTest, AFailedFetchLeavesTheVerdictToTheCheck) {
  tls.peerVerdict = kUntrustedRoot;
  handshakeAskingFor("http://127.0.0.1:8080/issuer.cer");
  sockets.deliverFor(fetchSocket, SocketEvent::Connect, 10061);
  EXPECT_EQ(events, Events{"error " + code(kUntrustedRoot)});
  EXPECT_EQ(tls.fetchedSeen.at("http://127.0.0.1:8080/issuer.cer"), "");
  EXPECT_FALSE(socketOpen());
  EXPECT_EQ(sockets.closed, (std::vector<SocketHandle>{fetchSocket, connection}));
}

// The connection's timer bounds the whole check; the fetch's own timer only
// its steps.
TEST_F(CheckFetchTest, TheConnectTimeoutEndsTheFetchesWithTheConnection) {
  client->setTimeout(3000);
  handshakeAskingFor("http://127.0.0.1:8080/issuer.cer");
  EXPECT_EQ(sockets.timers.at(fetchSocket), 3000u);
  sockets.deliverFor(connection, SocketEvent::Timeout);
  EXPECT_EQ(events, Events{"error 10060"});
  EXPECT_TRUE(sockets.timers.empty());
  EXPECT_EQ(sockets.closed, (std::vector<SocketHandle>{fetchSocket, connection}));
  sockets.deliverFor(fetchSocket, SocketEvent::Read);
  EXPECT_EQ(events.size(), 1u);
}

// A name is looked up without waiting; an answer that comes after the
// connection ended reaches no one.
TEST_F(CheckFetchTest, ALookupAnswerAfterTheDisconnectReachesNoOne) {
  sockets.hosts["ca.test"] = "10.0.0.9";
  handshakeAskingFor("http://ca.test/issuer.cer");
  ASSERT_EQ(sockets.lookups.size(), 1u);
  EXPECT_EQ(sockets.lookups.front().name, "ca.test");
  client->Disconnect();
  const std::size_t callsBefore = sockets.calls.size();
  EXPECT_TRUE(sockets.finishLookup());
  EXPECT_EQ(sockets.calls.size(), callsBefore);
  EXPECT_TRUE(events.empty());
}

TEST_F(CheckFetchTest, ALookedUpNameIsFetchedFromItsAddress) {
  sockets.hosts["ca.test"] = "10.0.0.9";
  handshakeAskingFor("http://ca.test/issuer.cer");
  EXPECT_TRUE(sockets.finishLookup());
  EXPECT_EQ(sockets.connectedAddress, 0x0900000Au);
  EXPECT_EQ(sockets.connectedPort, 80);
  sockets.deliverFor(sockets.current, SocketEvent::Connect);
  sockets.incoming = "HTTP/1.0 200 OK\r\n\r\nissuer";
  sockets.deliverFor(sockets.current, SocketEvent::Close);
  EXPECT_EQ(events, (Events{"connect", "read early"}));
}

}  // namespace
}  // namespace tcp
