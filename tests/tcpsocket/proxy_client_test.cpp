// The socket client through an HTTP proxy, over the fake sockets (and the
// fake security layer for TLS through the tunnel): the test plays the proxy.
#include <gtest/gtest.h>

#include <algorithm>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_sockets.h"
#include "fake_tls.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

using Events = std::vector<std::string>;

const std::string kConnectRequest = "CONNECT example.org:443 HTTP/1.1\r\nHost: example.org:443\r\n\r\n";
const std::string kTunnelOpen = "HTTP/1.1 200 Connection established\r\n\r\n";

std::string code(std::int32_t value) { return "error " + std::to_string(value); }

class ProxyClientTest : public ::testing::Test {
 public:
  ProxyClientTest() { remake(); }

  void remake() {
    client = std::make_unique<TcpClient>(sockets, [](const std::string&) {}, &tls);
    client->OnConnect = [this](TcpClient&) { events.push_back("connect"); };
    client->OnDisconnect = [this](TcpClient&) { events.push_back("disconnect"); };
    client->OnError = [this](TcpClient&, std::int32_t error) { events.push_back(code(error)); };
    client->OnRead = [this](TcpClient&, const char* bytes, std::int32_t, std::int32_t count) {
      events.push_back("read " + std::string(bytes, static_cast<std::size_t>(count)));
    };
    client->setHost("192.0.2.7", "example.org");
    client->setPort(443);
    client->setProxy(ParseProxySetting("10.0.0.1:3128"));
    events.clear();
  }

  void connect() {
    client->Connect();
    sockets.deliver(SocketEvent::Connect);
  }

  void serve(std::string_view bytes) {
    sockets.incoming.append(bytes);
    sockets.deliver(SocketEvent::Read);
  }

  bool socketOpen() const { return client->socket() != kNoSocket; }

  fakes::FakeSockets sockets;
  fakes::FakeTlsSystem tls;
  Events events;
  std::unique_ptr<TcpClient> client;
};

TEST_F(ProxyClientTest, ConnectsToTheProxyAndAsksForTheTargetByName) {
  connect();
  EXPECT_EQ(sockets.connectedAddress, *sockets.parseAddress("10.0.0.1"));
  EXPECT_EQ(sockets.connectedPort, 3128);
  EXPECT_EQ(sockets.sent, kConnectRequest);
  EXPECT_TRUE(client->Tunnelling());
  EXPECT_TRUE(events.empty());
}

// What the proxy answers, in the pieces it arrives in, and how the client
// takes it: none of the proxy's own bytes is ever read as the target's.
TEST_F(ProxyClientTest, AnswersOfTheProxy) {
  struct Case {
    const char* name;
    std::vector<std::string> arrivals;
    bool fin;
    Events events;
    bool open;
  };
  const std::string huge(ProxyTunnel::kMostHeaderBytes + 1, 'x');
  const Case cases[] = {
      {"200", {kTunnelOpen}, false, {"connect"}, true},
      {"200 cut at every line", {"HTTP/1.1 200 OK\r", "\nVia: p\r\n", "\r\n"}, false, {"connect"}, true},
      {"200 with the target's first bytes", {kTunnelOpen + "hello"}, false, {"connect", "read hello"}, true},
      {"200 then a close", {kTunnelOpen}, true, {"connect", "disconnect"}, false},
      {"407", {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n"}, false, {code(407)}, false},
      {"403 with a body", {"HTTP/1.1 403 Forbidden\r\n\r\n<html>no</html>"}, false, {code(403)}, false},
      {"closed mid-header", {"HTTP/1.1 200 OK\r\n"}, true, {code(kProxyClosed)}, false},
      {"closed before answering", {}, true, {code(kProxyClosed)}, false},
      {"no status line", {"SSH-2.0-OpenSSH\r\n\r\n"}, false, {code(kProxyBadResponse)}, false},
      {"a header block without end", {huge}, false, {code(kProxyHeaderTooLarge)}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client->setTls({TlsSetting::Mode::Off, {}});
    events.clear();
    connect();
    for (const std::string& arrival : c.arrivals) serve(arrival);
    if (c.fin) sockets.deliver(SocketEvent::Close);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(client->Connected(), c.open);
    EXPECT_EQ(socketOpen(), c.open);
    client->Disconnect();
  }
}

TEST_F(ProxyClientTest, TextSentBeforeTheTunnelIsOpenWaitsForIt) {
  client->Connect();
  client->SendText("GET / HTTP/1.1\r\n\r\n");
  sockets.deliver(SocketEvent::Connect);
  EXPECT_EQ(sockets.sent, kConnectRequest);
  serve(kTunnelOpen);
  EXPECT_EQ(sockets.sent, kConnectRequest + "GET / HTTP/1.1\r\n\r\n");
  EXPECT_EQ(events, Events{"connect"});
}

// Text the host gave first goes first: an OnConnect handler's own text used
// to overtake what had waited for the tunnel.
TEST_F(ProxyClientTest, TextThatWaitedForTheTunnelGoesBeforeWhatOnConnectSends) {
  client->OnConnect = [this](TcpClient& c) {
    events.push_back("connect");
    c.SendText("second");
  };
  client->Connect();
  client->SendText("first ");
  sockets.deliver(SocketEvent::Connect);
  serve(kTunnelOpen);
  EXPECT_EQ(sockets.sent, kConnectRequest + "first second");
  EXPECT_EQ(events, Events{"connect"});
}

TEST_F(ProxyClientTest, CredentialsGoAsBasicAuthorization) {
  client->setProxy(ParseProxySetting("user:pass@10.0.0.1:3128"));
  connect();
  EXPECT_NE(sockets.sent.find("\r\nProxy-Authorization: Basic dXNlcjpwYXNz\r\n"), std::string::npos);
}

TEST_F(ProxyClientTest, TheTargetIsTheNameAskedForElseTheHost) {
  struct Case {
    const char* name;
    std::function<void(TcpClient&)> set;
    const char* target;
  };
  const Case cases[] = {
      {"a resolved name", [](TcpClient& c) { c.setHost("192.0.2.7", "example.org"); }, "example.org:443"},
      {"a name that did not resolve here", [](TcpClient& c) { c.setUnresolvedName("intranet"); }, "intranet:443"},
      {"an address", [](TcpClient& c) { c.setHost("192.0.2.9"); }, "192.0.2.9:443"},
      {"an IPv6 address", [](TcpClient& c) { c.setHost("2001:db8::1"); }, "[2001:db8::1]:443"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.set(*client);
    sockets.sent.clear();
    connect();
    EXPECT_EQ(sockets.sent.substr(0, sockets.sent.find(" HTTP/1.1")), std::string("CONNECT ") + c.target);
    client->Disconnect();
  }
}

// The certificate is checked against the target's name, never the proxy's;
// the handshake starts only once the tunnel is open.
TEST_F(ProxyClientTest, TlsRunsThroughTheTunnel) {
  client->setTls({TlsSetting::Mode::Verified, {}});
  client->setUnresolvedName("intranet");
  connect();
  EXPECT_EQ(sockets.sent.find("hello"), std::string::npos);
  serve(kTunnelOpen);
  EXPECT_EQ(tls.serverNames, std::vector<std::string>{"intranet"});
  serve(fakes::fakeRecord('H', "server hello") + fakes::fakeRecord('H', "server finished"));
  EXPECT_EQ(events, Events{"connect"});
}

TEST_F(ProxyClientTest, TheTimeoutBoundsTheTunnel) {
  client->setTimeout(1000);
  connect();
  serve("HTTP/1.1 200 OK\r\n");
  sockets.fireTimer();
  EXPECT_EQ(events, Events{code(kTimedOut)});
  EXPECT_FALSE(socketOpen());
}

TEST_F(ProxyClientTest, AProxyNamedByNameIsLookedUpAtConnect) {
  sockets.hosts["proxy.lan"] = "10.0.0.2";
  client->setProxy(ParseProxySetting("proxy.lan:8080"));
  connect();
  EXPECT_EQ(sockets.connectedAddress, *sockets.parseAddress("10.0.0.2"));
  client->Disconnect();
  events.clear();
  client->setProxy(ParseProxySetting("unknown.lan:8080"));
  client->Connect();
  EXPECT_EQ(events, Events{code(kHostNotFound)});
  EXPECT_FALSE(socketOpen());
}

// With lookups in the background Connect returns before the proxy's name is
// looked up; the connect goes on with the answer, its addresses raced.
TEST_F(ProxyClientTest, AProxyNameLookedUpInTheBackgroundConnectsOnceAnswered) {
  client->lookUpInBackground(true);
  client->allowIpv6(true);
  sockets.hostsAll["proxy.lan"] = {"::1", "10.0.0.2"};
  client->setProxy(ParseProxySetting("proxy.lan:8080"));
  client->Connect();
  EXPECT_TRUE(client->LookingUpProxy());
  EXPECT_TRUE(client->Connecting());
  EXPECT_FALSE(socketOpen());
  client->SendText("GET / HTTP/1.1\r\n\r\n");
  EXPECT_TRUE(events.empty()) << "text sent meanwhile waits for the tunnel";
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "lookup proxy.lan"), 0);
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(sockets.calls.back(), "connect6");
  EXPECT_EQ(sockets.connectedPort, 8080);
  sockets.deliver(SocketEvent::Connect, 10061);
  EXPECT_EQ(sockets.connectedAddress, *sockets.parseAddress("10.0.0.2"));
  EXPECT_EQ(sockets.connectedPort, 8080);
  sockets.deliver(SocketEvent::Connect);
  EXPECT_TRUE(client->Tunnelling());
  EXPECT_EQ(sockets.sent.rfind("CONNECT example.org:443 HTTP/1.1\r\n", 0), 0u) << sockets.sent;
  sockets.sent.clear();
  serve("HTTP/1.1 200 Connection established\r\n\r\n");
  EXPECT_EQ(events, Events{"connect"});
  EXPECT_EQ(sockets.sent, "GET / HTTP/1.1\r\n\r\n");
}

TEST_F(ProxyClientTest, ABackgroundLookupThatFailsOrIsLeftEndsTheConnect) {
  client->lookUpInBackground(true);
  client->setProxy(ParseProxySetting("unknown.lan:8080"));
  client->Connect();
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(events, Events{code(kHostNotFound)});
  EXPECT_FALSE(client->Connecting());

  events.clear();
  client->setTimeout(1000);
  client->Connect();
  EXPECT_EQ(sockets.lookups.front().timeoutMs, 1000u);
  ASSERT_TRUE(sockets.timeOutLookup());
  EXPECT_EQ(events, Events{code(10060)});

  events.clear();
  sockets.hosts["unknown.lan"] = "10.0.0.3";
  client->Connect();
  client->Disconnect();
  EXPECT_FALSE(client->Connecting());
  const std::size_t calls = sockets.calls.size();
  ASSERT_TRUE(sockets.finishLookup());
  EXPECT_EQ(sockets.calls.size(), calls) << "a left lookup's answer connects nothing";
  EXPECT_TRUE(events.empty());

  client->Connect();
  client.reset();
  EXPECT_TRUE(sockets.finishLookup()) << "an answer after the client is gone reaches no one";
}

TEST_F(ProxyClientTest, TheSettingAppliesFromTheNextConnect) {
  client->Connect();
  client->setProxy(std::nullopt);
  sockets.deliver(SocketEvent::Connect);
  EXPECT_EQ(sockets.sent, kConnectRequest);
  client->Disconnect();
  sockets.sent.clear();
  connect();
  EXPECT_EQ(sockets.sent, "");
  EXPECT_TRUE(client->Connected());
}

}  // namespace
}  // namespace tcp
