// The TLS channel on the real Schannel, over a plain blocking socket, against
// the TLS test server that CTest starts (tests/tls/start-server.sh): its ports
// and the test CA are in the working directory.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "tcpsocket/tls_channel.h"
#include "tls_test_server.h"
#include "win32/win32_tls.h"

namespace {

using tcp::TlsChannel;
using tcp::TlsCode;
using State = TlsChannel::State;

constexpr TlsCode kUntrustedRoot = 0x800B0109;
constexpr TlsCode kChaining = 0x800B010A;
constexpr TlsCode kNameMismatch = 0x800B010F;
constexpr TlsCode kExpired = 0x800B0101;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

struct Fetched {
  State state = State::Idle;
  TlsCode error = 0;
  bool closedByAlert = false;  // the peer's close_notify arrived before its FIN
  std::string response;
  std::string info;
  long long milliseconds = 0;
};

bool sendAll(SOCKET socket, std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const int sent = ::send(socket, bytes.data() + at, int(bytes.size() - at), 0);
    if (sent <= 0) return false;
    at += std::size_t(sent);
  }
  bytes.clear();
  return true;
}

// Connects to the listener, handshakes, sends the request for path once open,
// and reads until the channel is closed or failed (or 60 s have passed).
Fetched fetch(tcp::TlsSystem& tls, const std::string& listener, const std::string& serverName, bool verify,
              const std::string& path) {
  Fetched result;
  const auto started = std::chrono::steady_clock::now();
  const auto ports = tcptest::TlsServerPorts();
  if (!ports.count(listener)) {
    ADD_FAILURE() << "the TLS test server gave no port for " << listener;
    return result;
  }
  SOCKET socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  DWORD timeout = 5000;
  setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(ports.at(listener));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ADD_FAILURE() << "connecting to " << listener << " failed: " << WSAGetLastError();
    closesocket(socket);
    return result;
  }
  TlsChannel channel(tls, serverName, verify);
  tcp::LayerOutput out;
  channel.start(out);
  bool requested = false;
  std::string buffer(65536, '\0');
  while (std::chrono::steady_clock::now() - started < std::chrono::seconds(60)) {
    if (channel.state() == State::Open && !requested) {
      channel.send("GET " + path + " HTTP/1.1\r\nHost: " + serverName + "\r\n\r\n", out);
      requested = true;
    }
    if (!sendAll(socket, out.toSend)) break;
    result.response += out.delivered;
    out.delivered.clear();
    if (channel.state() != State::Handshaking && channel.state() != State::Open &&
        channel.state() != State::Renegotiating)
      break;
    const int count = ::recv(socket, buffer.data(), int(buffer.size()), 0);
    if (count > 0) {
      channel.receive(std::string_view(buffer.data(), std::size_t(count)), out);
      result.closedByAlert = channel.state() == State::Closed;
    } else if (count == 0) {
      channel.endOfStream(out);
    } else {
      break;
    }
  }
  result.response += out.delivered;
  result.state = channel.state();
  result.error = channel.error();
  result.info = channel.connectionInfo();
  closesocket(socket);
  result.milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
  return result;
}

std::string bodyOf(const std::string& response) {
  const std::size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : response.substr(end + 4);
}

class TlsLayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  static void TearDownTestSuite() { WSACleanup(); }

  // An engine that trusts the test CA.
  static std::unique_ptr<tcp::TlsSystem> trustingTestCa() {
    auto tls = tcp::win32::makeSchannelTls();
    const std::string ca = readFile("tls-test-ca.pem");
    EXPECT_FALSE(ca.empty()) << "no tls-test-ca.pem beside the test";
    EXPECT_EQ(tcp::TlsErrorName(tls->addTrustedRoot(ca)), tcp::TlsErrorName(0)) << "adding the PEM test CA";
    return tls;
  }
};

TEST_F(TlsLayerTest, APageWithTheTestCaTrustedEndsWithTheServersCloseNotify) {
  auto tls = trustingTestCa();
  const Fetched got = fetch(*tls, "good", "localhost", true, "/page");
  std::cout << "negotiated under this system: " << got.info << "\n";
  EXPECT_EQ(got.state, State::Closed) << tcp::TlsErrorName(got.error);
  EXPECT_TRUE(got.closedByAlert);
  EXPECT_EQ(got.response.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << got.response;
  EXPECT_EQ(bodyOf(got.response), tcptest::kTlsPage);
  EXPECT_NE(got.info.find("TLS 1."), std::string::npos) << got.info;
}

TEST_F(TlsLayerTest, SixteenMebibytesArriveByteExact) {
  auto tls = trustingTestCa();
  const Fetched got = fetch(*tls, "good", "localhost", true, "/big");
  std::cout << "16 MiB over TLS in " << got.milliseconds << " ms\n";
  EXPECT_EQ(got.state, State::Closed) << tcp::TlsErrorName(got.error);
  const std::string body = bodyOf(got.response);
  ASSERT_EQ(body.size(), tcptest::kTlsBigSize);
  EXPECT_TRUE(body == tcptest::TlsBigBody()) << "the body differs from the served bytes";
}

TEST_F(TlsLayerTest, TheTestCaAsDerIsTrustedToo) {
  const std::string pem = readFile("tls-test-ca.pem");
  DWORD size = 0;
  ASSERT_TRUE(CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr));
  std::string der(size, '\0');
  ASSERT_TRUE(CryptStringToBinaryA(pem.data(), DWORD(pem.size()), CRYPT_STRING_BASE64HEADER,
                                   reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr));
  auto tls = tcp::win32::makeSchannelTls();
  ASSERT_EQ(tls->addTrustedRoot(der), 0u);
  const Fetched got = fetch(*tls, "good", "localhost", true, "/page");
  EXPECT_EQ(got.state, State::Closed) << tcp::TlsErrorName(got.error);
  EXPECT_EQ(bodyOf(got.response), tcptest::kTlsPage);
}

TEST_F(TlsLayerTest, CertificatesThatAreNotCertificatesAreRefusedWithAReason) {
  auto tls = tcp::win32::makeSchannelTls();
  for (const std::string& bytes : {std::string("-----BEGIN CERTIFICATE-----\n@@@@\n-----END CERTIFICATE-----\n"),
                                  std::string("\x30\x03\x02\x01\x01", 5), std::string()}) {
    const TlsCode code = tls->addTrustedRoot(bytes);
    std::cout << "refused certificate bytes: " << tcp::TlsErrorName(code) << "\n";
    EXPECT_NE(code, 0u);
  }
}

struct Refusal {
  const char* name;
  const char* listener;
  const char* serverName;
  bool trustTestCa;
  TlsCode expected;  // or kChaining in place of kUntrustedRoot; 0: any reason
};

TEST_F(TlsLayerTest, RejectedPeersFailWithTheirReasonAndNoData) {
  const Refusal refusals[] = {
      {"a CA nobody added", "good", "localhost", false, kUntrustedRoot},
      {"a name the certificate does not hold", "good", "other.localhost", true, kNameMismatch},
      {"an expired certificate", "expired", "localhost", true, kExpired},
      {"a self-signed certificate, checked", "selfsigned", "localhost", true, kUntrustedRoot},
      {"a TLS-1.3-only server", "tls13", "localhost", true, 0},
      {"a plain HTTP server", "plain", "localhost", true, 0},
  };
  for (const Refusal& refusal : refusals) {
    auto tls = refusal.trustTestCa ? trustingTestCa() : tcp::win32::makeSchannelTls();
    const Fetched got = fetch(*tls, refusal.listener, refusal.serverName, true, "/page");
    std::cout << refusal.name << ": " << tcp::TlsErrorName(got.error) << " after " << got.milliseconds << " ms\n";
    EXPECT_EQ(got.state, State::Failed) << refusal.name;
    EXPECT_EQ(got.response, "") << refusal.name;
    EXPECT_LT(got.milliseconds, 5000) << refusal.name;
    if (refusal.expected == kUntrustedRoot) {
      EXPECT_TRUE(got.error == kUntrustedRoot || got.error == kChaining) << refusal.name << ": " << tcp::TlsErrorName(got.error);
    } else if (refusal.expected != 0) {
      EXPECT_EQ(tcp::TlsErrorName(got.error), tcp::TlsErrorName(refusal.expected)) << refusal.name;
    } else {
      EXPECT_NE(got.error, 0u) << refusal.name;
    }
  }
}

TEST_F(TlsLayerTest, WithoutVerificationTheSelfSignedServerIsAccepted) {
  auto tls = tcp::win32::makeSchannelTls();
  const Fetched got = fetch(*tls, "selfsigned", "localhost", false, "/page");
  EXPECT_EQ(got.state, State::Closed) << tcp::TlsErrorName(got.error);
  EXPECT_EQ(bodyOf(got.response), tcptest::kTlsPage);
}

}  // namespace
