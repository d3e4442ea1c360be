// The certificate matrix (tests/tls/make-matrix.sh) through the real DLL as a
// host drives it: each certificate accepted or refused as a careful client
// must, with lasterror's reason. The TLS test server serves one listener per
// case; its root is trusted with addca.
#include <algorithm>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "exchange_fixture.h"
#include "tls_test_server.h"

namespace tcptest {
namespace {

constexpr char kMatrixRoot[] = "tls-matrix-root.pem";
// The matrix's HTTP listener answers for the slow issuer after this long.
constexpr ULONGLONG kSlowIssuerMs = 3000;

// When a thread timer's ticks were dispatched by the host's loop.
std::vector<ULONGLONG>& Ticks() {
  static std::vector<ULONGLONG> ticks;
  return ticks;
}
void CALLBACK NoteTick(HWND, UINT, UINT_PTR, DWORD) { Ticks().push_back(GetTickCount64()); }

struct Case {
  const char* listener;    // matrix-<listener>
  const char* serverName;  // settls text
  std::int32_t mode;
  std::vector<std::string> reasons;  // lasterror's name: none when accepted, else any of these
  const char* path = "/page";
  std::string body = kTlsPage;
};

struct Outcome {
  std::vector<std::int32_t> codes;
  std::string reason;
  std::string body;
};

class TlsMatrixTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    ports = TlsServerPorts();
    ASSERT_TRUE(ports.count("matrix-good")) << "no matrix in tls-server.ports: the TLS test server is not running";
    command("addca", kMatrixRoot);
    ASSERT_EQ(plugin.getData(), 0) << "addca " << kMatrixRoot;
  }

  bool seen(std::int32_t code) const {
    const auto& all = host.notifications();
    return std::any_of(all.begin(), all.end(), [code](const tcphost::Notification& n) { return n.code == code; });
  }

  Outcome run(const Case& c) {
    Outcome outcome;
    plugin.setData(c.mode);
    command("settls", c.serverName);
    command("sethost", "localhost");
    EXPECT_TRUE(waitFor(5));
    host.clear();
    connectTo(ports.at(std::string("matrix-") + c.listener));
    host.pumpUntil([&] { return seen(1) || seen(3); }, 60000);
    if (seen(1)) {
      command("sendc", std::string("GET ") + c.path + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
      host.pumpUntil([&] { return seen(2) || seen(3); }, 60000);
      command("savebin", "tls-matrix-body.bin");
      outcome.body = readFile("tls-matrix-body.bin");
    } else {
      host.pumpFor(300);  // nothing may follow code 3
    }
    for (const std::int32_t code : codes())
      if (code != 4 && code != 5 && (outcome.codes.empty() || outcome.codes.back() != code))
        outcome.codes.push_back(code);
    plugin.command("lasterror");
    outcome.reason = plugin.getFile();
    return outcome;
  }

  void expectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.listener) + " as " + c.serverName + ", settls " + std::to_string(c.mode));
      const Outcome outcome = run(c);
      std::cout << "matrix: " << c.listener << " as \"" << c.serverName << "\", settls " << c.mode << ": "
                << (outcome.codes == std::vector<std::int32_t>{1, 2} ? "accepted" : "refused") << " "
                << outcome.reason << "\n";
      if (c.reasons.empty()) {
        EXPECT_EQ(outcome.codes, (std::vector<std::int32_t>{1, 2}));
        EXPECT_EQ(outcome.reason, "");
        EXPECT_EQ(outcome.body, c.body);
      } else {
        EXPECT_EQ(outcome.codes, std::vector<std::int32_t>{3});
        EXPECT_NE(std::find(c.reasons.begin(), c.reasons.end(), outcome.reason), c.reasons.end()) << outcome.reason;
      }
    }
  }

  std::map<std::string, std::uint16_t> ports;
};

TEST_F(TlsMatrixTest, CertificatesACarefulClientRefuses) {
  const std::vector<std::string> untrusted = {"CERT_E_UNTRUSTEDROOT", "CERT_E_CHAINING"};
  expectAll({
      {"expired", "", 1, {"CERT_E_EXPIRED"}},
      {"not_yet_valid", "", 1, {"CERT_E_EXPIRED"}},
      {"good", "wrong.test", 1, {"CERT_E_CN_NO_MATCH"}},
      {"self_signed", "", 1, untrusted},
      {"untrusted_root", "", 1, untrusted},
      {"sha1", "", 1, {"TCP_E_WEAK_SIGNATURE"}},
      {"rsa1024", "", 1, {"TCP_E_WEAK_KEY"}},
      // Wine has no P-224: its TLS library fails the handshake, its chain
      // engine cannot verify a signature made with such a key.
      {"ecdsa_p224", "", 1, {"TCP_E_WEAK_KEY", "SEC_E_INTERNAL_ERROR"}},
      {"p224_issuer", "", 1, {"TCP_E_WEAK_KEY", "TRUST_E_CERT_SIGNATURE"}},
      {"client_auth_only", "", 1, {"TCP_E_NOT_FOR_SERVERS"}},
      {"issuer_not_ca", "", 1, {"TCP_E_ISSUER_NOT_CA"}},
      {"revoked", "", 3, {"CRYPT_E_REVOKED"}},
      {"wildcard", "a.b.matrix.test", 1, {"CERT_E_CN_NO_MATCH"}},
      {"wildcard", "matrix.test", 1, {"CERT_E_CN_NO_MATCH"}},
      {"ipv4", "localhost", 1, {"CERT_E_CN_NO_MATCH"}},
      {"good", "127.0.0.1", 1, {"CERT_E_CN_NO_MATCH"}},
      {"ipv6", "127.0.0.1", 1, {"CERT_E_CN_NO_MATCH"}},
      {"ipv6", "::2", 1, {"CERT_E_CN_NO_MATCH"}},
  });
}

TEST_F(TlsMatrixTest, CertificatesACarefulClientAccepts) {
  expectAll({
      {"good", "", 1, {}},
      {"good", "", 3, {}},
      {"many_names", "", 1, {}},
      {"many_names", "host999.matrix.test", 1, {}},
      {"wildcard", "www.matrix.test", 1, {}},
      {"ipv4", "127.0.0.1", 1, {}},
      // The connection goes to 127.0.0.1; the name checked is the address.
      {"ipv6", "::1", 1, {}},
      {"ipv6", "0:0:0:0:0:0:0:1", 1, {}},
      {"no_common_name", "", 1, {}},
      {"sha384", "", 1, {}},
      {"sha512", "", 1, {}},
      {"rsa4096", "", 1, {}},
      {"rsa8192", "", 1, {}},
      {"ecdsa_p256", "", 1, {}},
      {"ecdsa_p384", "", 1, {}},
      {"revoked", "", 1, {}},
      {"revocation_offline", "", 3, {}},
  });
}

// RFC 6066 section 3: a literal address is never sent as the server name.
TEST_F(TlsMatrixTest, TheServerNameIsIndicatedForNamesButNotForAddresses) {
  expectAll({
      {"good", "", 1, {}, "/sni", "localhost"},
      {"ipv4", "127.0.0.1", 1, {}, "/sni", "none"},
  });
}

TEST_F(TlsMatrixTest, AnIncompleteChainIsCompletedFromTheIssuersAddress) {
  expectAll({{"incomplete", "", 1, {}}});
}

// The issuer comes from an authority that answers after three seconds: the
// host's loop runs on meanwhile (a timer of its own never waits long), and
// the connection opens once the issuer is in.
TEST_F(TlsMatrixTest, AnIssuerFetchedSlowlyLeavesTheHostsLoopRunning) {
  Ticks().clear();
  const ULONGLONG started = GetTickCount64();
  const UINT_PTR timer = SetTimer(nullptr, 0, 100, &NoteTick);
  ASSERT_NE(timer, 0u);
  expectAll({{"slow_issuer", "", 1, {}}});
  KillTimer(nullptr, timer);
  const ULONGLONG elapsed = GetTickCount64() - started;
  ULONGLONG longestWait = 0;
  ULONGLONG previous = started;
  for (const ULONGLONG tick : Ticks()) {
    longestWait = std::max(longestWait, tick - previous);
    previous = tick;
  }
  std::cout << "slow issuer: accepted after " << elapsed << " ms; the host's loop waited at most " << longestWait
            << " ms for its timer\n";
  EXPECT_GE(elapsed, kSlowIssuerMs) << "the issuer came before the authority answered";
  EXPECT_LT(longestWait, kSlowIssuerMs - 500) << "the host's loop stood still while the issuer was fetched";
}

// settimeout bounds the whole connect, the check's fetches included: the
// connection's timer ends it (or the fetch's own, as long, and the chain
// stays incomplete).
TEST_F(TlsMatrixTest, TheTimeoutBoundsTheChecksFetches) {
  plugin.setData(1000);
  plugin.command("settimeout");
  expectAll({{"slow_issuer", "", 1, {"WSAETIMEDOUT", "CERT_E_CHAINING"}}});
}

// Unloading while the check waits for its issuer: the fetch goes with the
// library, its late answer reaches nothing, and a second load connects.
TEST(TlsCheckLifetime, UnloadingWhileTheCheckFetchesLeavesNothingBehind) {
  const std::map<std::string, std::uint16_t> ports = TlsServerPorts();
  ASSERT_TRUE(ports.count("matrix-slow_issuer")) << "the TLS test server is not running";
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    std::optional<tcphost::PluginLibrary> plugin{std::in_place, "tcp.dll"};
    std::optional<tcphost::HostWindow> host{std::in_place, *plugin, "host", sharedFrame()};
    ASSERT_TRUE(plugin->loaded());
    plugin->setParentWindow(host->handle());
    plugin->setFile(kMatrixRoot);
    plugin->command("addca");
    plugin->setData(1);
    plugin->setFile("");
    plugin->command("settls");
    plugin->setFile("localhost");
    plugin->command("sethost");
    plugin->setData(ports.at("matrix-slow_issuer"));
    plugin->command("setport");
    plugin->command("kconect");
    if (round == 1) {
      EXPECT_TRUE(host->waitForCode(1, 30000)) << "a second load connects";
      continue;
    }
    // Long enough for the handshake, well before the authority answers.
    host->pumpFor(1000);
    EXPECT_FALSE(host->waitForCode(1, 0));
    const HMODULE module = plugin->module();
    host.reset();
    plugin.reset();
    const ULONGLONG until = GetTickCount64() + kSlowIssuerMs + 1000;
    while (GetTickCount64() < until) {
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      Sleep(10);
    }
    WNDCLASSA found = {};
    EXPECT_FALSE(GetClassInfoA(module, "TCPSocket", &found));
  }
}

}  // namespace
}  // namespace tcptest
