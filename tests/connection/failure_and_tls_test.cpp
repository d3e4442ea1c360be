// The connection layer's TLS setting, its record of the last failure, the
// timeout setting and trusted certificate files, over the fakes.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection/connection.h"
#include "fake_files.h"
#include "fake_sockets.h"
#include "fake_tls.h"
#include "fake_window_system.h"

namespace tcp {
namespace {

using fakes::fakeRecord;

constexpr std::int32_t kUntrustedRoot = static_cast<std::int32_t>(0x800B0109);

class FailureAndTlsTest : public ::testing::Test {
 public:
  FailureAndTlsTest() {
    session.platform.sockets = &sockets;
    session.platform.windows = &windows;
    session.platform.files = &files;
    session.platform.tls = &tls;
    auto form = std::make_unique<ClientOwner>();
    form->owned = CreateConnectionClient(session);
    session.form = std::move(form);
  }
  struct ClientOwner : SessionForm {
    std::unique_ptr<TcpClient> owned;
    TcpClient* client() override { return owned.get(); }
  };
  void connect() {
    Connect(session);
    sockets.deliver(SocketEvent::Connect);
  }
  void serve(const std::string& bytes) {
    sockets.incoming += bytes;
    sockets.deliver(SocketEvent::Read);
  }

  fakes::FakeSockets sockets;
  fakes::FakeWindowSystem windows;
  fakes::FakeFileSystem files;
  fakes::FakeTlsSystem tls;
  Session session;
};

TEST(FailureName, NamesSocketSymbolsAndTlsReasons) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {0, ""},
      {10061, "WSAECONNREFUSED"},
      {10060, "WSAETIMEDOUT"},
      {10054, "WSAECONNRESET"},
      {10053, "WSAECONNABORTED"},
      {10013, "WSAEACCES"},
      {11001, "WSAHOST_NOT_FOUND"},
      {12345, "WSAEUNKNOWN"},
      {kUntrustedRoot, "CERT_E_UNTRUSTEDROOT"},
      {static_cast<std::int32_t>(0x800B010F), "CERT_E_CN_NO_MATCH"},
      {kOutOfMemory, "E_OUTOFMEMORY"},
      {static_cast<std::int32_t>(0x80091234), "0x80091234"},
      {407, "TCP_E_PROXY_407"},
      {kProxyClosed, "TCP_E_PROXY_CLOSED"},
      {kProxyHeaderTooLarge, "TCP_E_PROXY_HEADER_TOO_LARGE"},
  };
  for (const auto& [code, name] : cases) EXPECT_EQ(FailureName(code), name) << code;
}

// The failure of each kind is kept until the next kconect, which forgets it.
TEST_F(FailureAndTlsTest, TheLastFailureIsKeptUntilTheNextKconect) {
  struct Case {
    const char* name;
    std::function<void(FailureAndTlsTest&)> fail;
    std::int32_t code;
  };
  const Case cases[] = {
      {"refused", [](FailureAndTlsTest& t) {
         Connect(t.session);
         t.sockets.deliver(SocketEvent::Connect, 10061);
       }, 10061},
      {"certificate", [](FailureAndTlsTest& t) {
         SetTls(t.session, 1, "");
         t.tls.peerVerdict = 0x800B0109;
         t.connect();
         t.serve(fakeRecord('H', "server hello") + fakeRecord('H', "server finished"));
       }, kUntrustedRoot},
      {"timeout", [](FailureAndTlsTest& t) {
         SetTimeout(t.session, 300);
         Connect(t.session);
         t.sockets.fireTimer();
       }, 10060},
      {"arrival that cannot be stored", [](FailureAndTlsTest& t) {
         t.connect();
         HandleSocketError(t.session, kOutOfMemory);
       }, kOutOfMemory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.fail(*this);
    EXPECT_EQ(session.lastFailure, c.code);
    EXPECT_EQ(session.exchange.ExchangeValue, 3);
    Connect(session);
    EXPECT_EQ(session.lastFailure, 0);
    Disconnect(session);
    SetTls(session, 0, "");
    SetTimeout(session, 0);
    tls.peerVerdict = 0;
  }
}

// Plaintext, not ciphertext, lands in the receive buffer, reported as code 4.
TEST_F(FailureAndTlsTest, WithTlsTheReceiveBufferHoldsThePlaintext) {
  SetTls(session, 1, "device.test");
  connect();
  SendRequest(session, "GET / HTTP/1.1\r\n\r\n");
  serve(fakeRecord('H', "server hello") + fakeRecord('H', "server finished"));
  EXPECT_EQ(session.exchange.ExchangeValue, 1);
  serve(fakeRecord('D', "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n") + fakeRecord('D', "ok"));
  EXPECT_EQ(session.exchange.ExchangeValue, 4);
  EXPECT_EQ(session.response.ReceiveBuffer.view(), "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  EXPECT_EQ(tls.serverNames, std::vector<std::string>{"device.test"});
  EXPECT_EQ(fakes::parseFakeRecords(sockets.sent).back().payload, "GET / HTTP/1.1\r\n\r\n");
}

TEST_F(FailureAndTlsTest, SettlsIgnoresModesOtherThanZeroToThree) {
  for (std::int32_t mode : {4, -1}) SetTls(session, mode, "");
  connect();
  EXPECT_TRUE(tls.serverNames.empty());
  sockets.hosts = {{"localhost", "127.0.0.1"}};
  SetHostByName(session, "localhost");
  SetTls(session, 2, "");
  connect();
  EXPECT_EQ(tls.serverNames, std::vector<std::string>{"localhost"}) << "the name sethost was given";
}

// Mode 2 checks nothing, 1 the chain and the name, 3 revocation as well.
TEST_F(FailureAndTlsTest, OnlySettlsThreeAsksForRevocation) {
  for (std::int32_t mode : {1, 2, 3}) {
    SetTls(session, mode, "");
    connect();
    serve(fakeRecord('H', "server hello") + fakeRecord('H', "server finished"));
    EXPECT_EQ(session.exchange.ExchangeValue, 1) << mode;
    Disconnect(session);
  }
  EXPECT_EQ(tls.revocationAsked, (std::vector<bool>{false, true}));
}

// A proxy resolves what the host asked for: a name that did not resolve here
// still names the tunnel's target, and the proxy's refusal is the failure.
TEST_F(FailureAndTlsTest, AProxyIsAskedForTheNameEvenWhenItDidNotResolveHere) {
  EXPECT_FALSE(SetProxy(session, "no port"));
  EXPECT_TRUE(SetProxy(session, "10.0.0.1:3128"));
  SetHostByName(session, "intranet");
  SetPort(session, 443);
  connect();
  EXPECT_EQ(sockets.sent.substr(0, sockets.sent.find("\r\n")), "CONNECT intranet:443 HTTP/1.1");
  serve("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n");
  EXPECT_EQ(session.lastFailure, 407);
  EXPECT_FALSE(session.client()->Connected());
  EXPECT_TRUE(SetProxy(session, ""));
  sockets.sent.clear();
  connect();
  EXPECT_TRUE(session.client()->Connected()) << "direct again";
  EXPECT_EQ(sockets.sent, "");
}

TEST_F(FailureAndTlsTest, AddcaHandsTheFileToTheEngineOrSaysWhyNot) {
  files.files = {{"ca.pem", "-----BEGIN CERTIFICATE-----\n..."},
                 {"empty.der", ""},
                 {"huge.pem", std::string(kMaxCertificateFile + 1, 'x')}};
  const std::pair<const char*, std::int32_t> cases[] = {
      {"ca.pem", 0},
      {"missing.pem", static_cast<std::int32_t>(0x80070002)},
      {"huge.pem", static_cast<std::int32_t>(0x800700DF)},
      {"empty.der", static_cast<std::int32_t>(0x8009310B)},  // the engine's own verdict
  };
  for (const auto& [path, code] : cases) EXPECT_EQ(TrustCertificateFile(session, path), code) << path;
  EXPECT_EQ(tls.trustedRoots, std::vector<std::string>{"-----BEGIN CERTIFICATE-----\n..."});
}

}  // namespace
}  // namespace tcp
