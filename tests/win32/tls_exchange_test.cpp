// https through the real DLL as a host drives it, against the TLS test server
// (tests/tls/tls_server.py): its ports and the test CA are in the working
// directory. Every failure must end in code 3 with its reason in lasterror,
// never in code 1.
#include <winsock2.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "exchange_fixture.h"
#include "tls_test_server.h"

namespace tcptest {
namespace {

constexpr std::int32_t kUntrustedRoot = static_cast<std::int32_t>(0x800B0109);
constexpr std::int32_t kChaining = static_cast<std::int32_t>(0x800B010A);
constexpr std::int32_t kNameMismatch = static_cast<std::int32_t>(0x800B010F);
constexpr std::int32_t kExpired = static_cast<std::int32_t>(0x800B0101);

// A loopback port on which nothing listens: bound, then let go.
std::uint16_t refusedPort() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  closesocket(probe);
  WSACleanup();
  return ntohs(address.sin_port);
}

struct Request {
  std::string listener;
  std::int32_t mode = 1;
  std::string serverName;  // settls text
  bool trustCa = true;
  std::int32_t timeoutMs = 0;
  std::string path = "/page";
};

Request on(const char* listener) {
  Request request;
  request.listener = listener;
  return request;
}

struct Outcome {
  std::vector<std::int32_t> codes;  // without 4 and 5 (sethost), repeats as one
  std::string reason;               // lasterror's text and value
  std::int32_t code = 0;
  long long milliseconds = 0;       // from kconect to code 1 or 3
};

class TlsExchangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    ports = TlsServerPorts();
    ASSERT_FALSE(ports.empty()) << "no tls-server.ports: the TLS test server is not running";
  }

  bool seen(std::int32_t code) const {
    const auto& all = host.notifications();
    return std::any_of(all.begin(), all.end(), [code](const tcphost::Notification& n) { return n.code == code; });
  }

  // Connects as a host script would, sends the request once code 1 came, and
  // waits for the connection's end (code 2 or 3).
  Outcome run(const Request& request) {
    Outcome outcome;
    if (request.trustCa) {
      command("addca", kTlsCaFile);
      EXPECT_EQ(plugin.getData(), 0) << "addca";
      EXPECT_EQ(plugin.getFile(), kTlsCaFile) << "addca leaves the text";
    }
    plugin.setData(request.mode);
    command("settls", request.serverName);
    plugin.setData(request.timeoutMs);
    plugin.command("settimeout");
    command("sethost", "localhost");
    EXPECT_TRUE(waitFor(5));
    host.clear();
    const auto started = std::chrono::steady_clock::now();
    connectTo(ports.at(request.listener));
    host.pumpUntil([&] { return seen(1) || seen(3); }, 30000);
    outcome.milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
    if (seen(1)) {
      command("sendc", "GET " + request.path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
      host.pumpUntil([&] { return seen(2) || seen(3); }, 60000);
    } else {
      host.pumpFor(300);  // nothing may follow code 3
    }
    // The host reads the slots when it handles a click: clicks of events that
    // came in one burst all show the last one's code, so repeats are one.
    for (const std::int32_t code : codes())
      if (code != 4 && code != 5 && (outcome.codes.empty() || outcome.codes.back() != code))
        outcome.codes.push_back(code);
    plugin.command("lasterror");
    outcome.reason = plugin.getFile();
    outcome.code = plugin.getData();
    return outcome;
  }

  std::string savedBody() {
    command("savebin", "tls-body.bin");
    return readFile("tls-body.bin");
  }

  std::map<std::string, std::uint16_t> ports;
};

TEST_F(TlsExchangeTest, ThePageArrivesOverTlsWithTheTestCaTrusted) {
  const Outcome outcome = run(on("good"));
  EXPECT_EQ(outcome.codes, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(savedBody(), kTlsPage);
  EXPECT_EQ(outcome.reason, "");
  EXPECT_EQ(outcome.code, 0);
}

TEST_F(TlsExchangeTest, ASixteenMebibyteBodyArrivesByteExact) {
  Request request = on("good");
  request.path = "/big";
  const Outcome outcome = run(request);
  EXPECT_EQ(outcome.codes, (std::vector<std::int32_t>{1, 2}));
  const std::string body = savedBody();
  EXPECT_EQ(body.size(), kTlsBigSize);
  EXPECT_TRUE(body == TlsBigBody()) << "the body differs from what the server sent";
}

// Each refusal: code 3 alone (no code 1, no code 2) and its reason.
TEST_F(TlsExchangeTest, RefusedCertificatesGiveCodeThreeWithTheirReason) {
  struct Case {
    const char* name;
    Request request;
    std::vector<std::int32_t> reasons;  // any of these
    std::vector<std::string> names;
  };
  Request untrusted = on("good");
  untrusted.trustCa = false;
  Request wrongName = on("good");
  wrongName.serverName = "wrong.test";
  const Case cases[] = {
      {"without addca", untrusted, {kUntrustedRoot, kChaining}, {"CERT_E_UNTRUSTEDROOT", "CERT_E_CHAINING"}},
      {"a wrong server name", wrongName, {kNameMismatch}, {"CERT_E_CN_NO_MATCH"}},
      {"an expired certificate", on("expired"), {kExpired}, {"CERT_E_EXPIRED"}},
      {"a self-signed certificate", on("selfsigned"), {kUntrustedRoot, kChaining},
       {"CERT_E_UNTRUSTEDROOT", "CERT_E_CHAINING"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = run(c.request);
    EXPECT_EQ(outcome.codes, std::vector<std::int32_t>{3});
    EXPECT_NE(std::find(c.reasons.begin(), c.reasons.end(), outcome.code), c.reasons.end()) << outcome.code;
    EXPECT_NE(std::find(c.names.begin(), c.names.end(), outcome.reason), c.names.end()) << outcome.reason;
  }
}

TEST_F(TlsExchangeTest, SettlsTwoAcceptsTheSelfSignedCertificate) {
  Request request = on("selfsigned");
  request.mode = 2;
  request.trustCa = false;
  const Outcome outcome = run(request);
  EXPECT_EQ(outcome.codes, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(savedBody(), kTlsPage);
}

// Wine's Schannel speaks TLS 1.2 at most; a peer that answers the
// ClientHello in plain HTTP ends with its FIN.
TEST_F(TlsExchangeTest, PeersThatCannotSpeakOurTlsGiveCodeThreeInBoundedTime) {
  for (const char* listener : {"tls13", "plain"}) {
    SCOPED_TRACE(listener);
    const Outcome outcome = run(on(listener));
    EXPECT_EQ(outcome.codes, std::vector<std::int32_t>{3});
    EXPECT_LT(outcome.code, 0) << "a TLS reason";
    EXPECT_NE(outcome.reason, "");
    EXPECT_LT(outcome.milliseconds, 10000);
    std::cout << listener << ": code 3 after " << outcome.milliseconds << " ms, " << outcome.reason << "\n";
  }
}

TEST_F(TlsExchangeTest, ASilentServerTimesOutInAboutTheSetTime) {
  Request request = on("silent");
  request.timeoutMs = 500;
  const Outcome outcome = run(request);
  EXPECT_EQ(outcome.codes, std::vector<std::int32_t>{3});
  EXPECT_EQ(outcome.reason, "WSAETIMEDOUT");
  EXPECT_EQ(outcome.code, 10060);
  EXPECT_GE(outcome.milliseconds, 450);
  EXPECT_LT(outcome.milliseconds, 3000);
  std::cout << "silent, timeout 500 ms: code 3 after " << outcome.milliseconds << " ms\n";
}

TEST_F(TlsExchangeTest, LasterrorNamesARefusedConnect) {
  plugin.command("lasterror");
  EXPECT_EQ(plugin.getFile(), "");
  EXPECT_EQ(plugin.getData(), 0);
  command("setip", "127.0.0.1");
  connectTo(refusedPort());
  ASSERT_TRUE(waitFor(3));
  plugin.command("lasterror");
  EXPECT_EQ(plugin.getFile(), "WSAECONNREFUSED");
  EXPECT_EQ(plugin.getData(), 10061);
  connectTo(ports.at("good"));
  plugin.command("lasterror");
  EXPECT_EQ(plugin.getData(), 0) << "kconect forgets the last failure";
  plugin.command("disconect");
}

TEST_F(TlsExchangeTest, AddcaReportsAFileItCannotUse) {
  std::ofstream("too-large.pem", std::ios::binary) << std::string((1 << 20) + 1, 'x');
  const std::pair<const char*, std::int32_t> cases[] = {
      {"no-such-file.pem", static_cast<std::int32_t>(0x80070002)},  // ERROR_FILE_NOT_FOUND
      {"too-large.pem", static_cast<std::int32_t>(0x800700DF)},      // ERROR_FILE_TOO_LARGE
  };
  for (const auto& [path, code] : cases) {
    command("addca", path);
    EXPECT_EQ(plugin.getData(), code) << path;
    EXPECT_EQ(plugin.getFile(), path);
  }
}

// The client certificate's file from the TLS test server, and its password.
constexpr char kClientFile[] = "tls-client.p12";
const std::string kClientPassword = "client secret";

TEST_F(TlsExchangeTest, AServerThatAsksForAClientCertificateGetsTheOneSetcertGave) {
  Request whoami = on("clientauth");
  whoami.path = "/whoami";
  const Outcome without = run(whoami);
  EXPECT_EQ(without.codes, std::vector<std::int32_t>{3}) << "refused without a certificate";
  EXPECT_NE(without.reason, "");

  plugin.setFile("wrong password");
  command("setcert", kClientFile);
  EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(0x80070056)) << "ERROR_INVALID_PASSWORD";
  EXPECT_EQ(plugin.getFile(), kClientFile);

  plugin.setFile(kClientPassword);
  command("setcert", kClientFile);
  EXPECT_EQ(plugin.getData(), 0);
  EXPECT_EQ(plugin.getFile(), kClientFile);
  const Outcome with = run(whoami);
  EXPECT_EQ(with.codes, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(savedBody(), "tcp.dll test client") << "the name the server saw";
  const Outcome elsewhere = run(on("good"));
  EXPECT_EQ(elsewhere.codes, (std::vector<std::int32_t>{1, 2})) << "a server that does not ask";

  command("setcert", "");
  EXPECT_EQ(plugin.getData(), 0);
  EXPECT_EQ(run(whoami).codes, std::vector<std::int32_t>{3}) << "forgotten";
}

TEST_F(TlsExchangeTest, SetcertReportsAFileItCannotUse) {
  std::ofstream("too-large.p12", std::ios::binary) << std::string((1 << 20) + 1, 'x');
  const std::pair<const char*, std::int32_t> cases[] = {
      {"no-such-file.p12", static_cast<std::int32_t>(0x80070002)},  // ERROR_FILE_NOT_FOUND
      {"too-large.p12", static_cast<std::int32_t>(0x800700DF)},      // ERROR_FILE_TOO_LARGE
      {kTlsCaFile, static_cast<std::int32_t>(0x80092002)},            // CRYPT_E_BAD_ENCODE: not PKCS#12
  };
  for (const auto& [path, code] : cases) {
    command("setcert", path);
    EXPECT_EQ(plugin.getData(), code) << path;
    EXPECT_EQ(plugin.getFile(), path);
  }
}

}  // namespace
}  // namespace tcptest
