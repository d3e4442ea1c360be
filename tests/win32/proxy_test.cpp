// Connections through an HTTP proxy with the real DLL: scripted proxies that
// open, refuse or break the tunnel, and Debian's tinyproxy started by the test
// command (tests/proxy/start-proxy.sh) with plain HTTP and TLS through it.
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "exchange_fixture.h"
#include "tls_test_server.h"

using tcphost::closeGracefully;
using tcphost::pause;
using tcphost::readUntil;
using tcphost::ScriptedServer;
using tcphost::sendBytes;
using tcphost::ServerStep;
using tcphost::streamRepeated;

namespace tcptest {
namespace {

const std::string kPage = "<html>through the tunnel</html>";
const std::string kGet = "GET /page HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

std::string pageResponse() {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kPage.size()) + "\r\n\r\n" + kPage;
}

class ProxyExchange : public QueuedExchangeTest {
 protected:
  void TearDown() override {
    command("setproxy", "");
    QueuedExchangeTest::TearDown();
  }
  // Connects to target:port through the proxy on proxyHost:proxyPort.
  void connectThrough(std::uint16_t proxyPort, const std::string& credentials, const std::string& target,
                      std::uint16_t port, const std::string& proxyHost = "127.0.0.1") {
    command("setproxy", credentials + proxyHost + ":" + std::to_string(proxyPort));
    ASSERT_EQ(plugin.getData(), 0) << "setproxy took the setting";
    command("setip", target);
    connectTo(port);
  }
  // Waits for the response's end: code 7, or a failure's code 3.
  bool waitForEnd() {
    return host.pumpUntil(
        [&] {
          for (const tcphost::Notification& n : host.notifications())
            if (n.code == 7 || n.code == 3) return true;
          return false;
        },
        kEventTimeoutMs * 6);
  }
};

TEST_F(ProxyExchange, SetproxyTakesWhatNamesAProxyAndNothingElse) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"127.0.0.1:3128", 0}, {"[::1]:3128", 0}, {"u:p@proxy.lan:8080", 0}, {"", 0},
      {"127.0.0.1", static_cast<std::int32_t>(0x80070057)}, {"host:0", static_cast<std::int32_t>(0x80070057)},
      {"::1:3128", static_cast<std::int32_t>(0x80070057)}, {"host:99999", static_cast<std::int32_t>(0x80070057)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    command("setproxy", c.text);
    EXPECT_EQ(plugin.getData(), c.value);
    EXPECT_EQ(plugin.getFile(), c.text) << "the text stays";
  }
}

// A scripted proxy: what the plug-in asked is checked, the tunnel carries the
// target's bytes, and none of the proxy's own answer reaches the response.
TEST_F(ProxyExchange, ATunnelCarriesTheExchangeAndThePluginAsksForTheTarget) {
  ScriptedServer proxy({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 Connection established\r\nVia: test\r\n\r\n"),
                        readUntil("\r\n\r\n"), sendBytes(pageResponse()), pause(2000)});
  connectThrough(proxy.port(), "user:secret@", "127.0.0.1", 8080);
  ASSERT_TRUE(waitFor(1));
  command("sendc", kGet);
  ASSERT_TRUE(waitFor(7));
  EXPECT_EQ(textAfter("gethtml0"), kPage);
  EXPECT_EQ(textAfter("getstatus"), "OK");
  plugin.command("disconect");
  proxy.join();
  const std::string asked = proxy.received();
  EXPECT_EQ(asked.substr(0, asked.find("\r\n")), "CONNECT 127.0.0.1:8080 HTTP/1.1");
  EXPECT_NE(asked.find("\r\nHost: 127.0.0.1:8080\r\n"), std::string::npos);
  EXPECT_NE(asked.find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos);
  EXPECT_EQ(asked.substr(asked.find("\r\n\r\n") + 4), kGet);
}

TEST_F(ProxyExchange, AProxyThatRefusesOrBreaksTheTunnelGivesCode3AndItsReason) {
  const std::string padding = "X-Padding: " + std::string(1000, 'p') + "\r\n";
  const struct {
    const char* name;
    std::vector<ServerStep> answer;
    const char* reason;
    std::int32_t value;
  } cases[] = {
      {"407", {sendBytes("HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n"), pause(2000)},
       "TCP_E_PROXY_407", 407},
      {"closed mid-header", {sendBytes("HTTP/1.1 200 OK\r\nVia: x"), closeGracefully()}, "TCP_E_PROXY_CLOSED",
       static_cast<std::int32_t>(0xA0100012)},
      {"a 40 MiB header block",
       {sendBytes("HTTP/1.1 200 OK\r\n"), streamRepeated(padding, 40 * 1024 * 1024 / padding.size())},
       "TCP_E_PROXY_HEADER_TOO_LARGE", static_cast<std::int32_t>(0xA0100011)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.clear();
    std::vector<ServerStep> steps = {readUntil("\r\n\r\n")};
    steps.insert(steps.end(), c.answer.begin(), c.answer.end());
    ScriptedServer proxy(std::move(steps));
    connectThrough(proxy.port(), "", "127.0.0.1", 8080);
    ASSERT_TRUE(waitFor(3));
    EXPECT_EQ(codes(), std::vector<std::int32_t>{3}) << "no code 1, nothing read";
    EXPECT_EQ(textAfter("lasterror"), c.reason);
    EXPECT_EQ(plugin.getData(), c.value);
    EXPECT_EQ(textAfter("getsize"), "0") << "the proxy's answer is no response";
    proxy.join();
  }
}

// tinyproxy asks Basic authentication and refuses names beginning with
// "denied" (tests/proxy/start-proxy.sh).
class RealProxy : public ProxyExchange {
 protected:
  static std::uint16_t proxyPort() {
    std::ifstream file("proxy.port");
    unsigned port = 0;
    file >> port;
    return static_cast<std::uint16_t>(port);
  }
  static constexpr char kCredentials[] = "proxyuser:proxypass@";
};

TEST_F(RealProxy, PlainHttpThroughTheTunnelArrivesExact) {
  ASSERT_NE(proxyPort(), 0) << "the proxy fixture wrote its port";
  std::string body(3 * 1024 * 1024 + 17, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  ScriptedServer target({readUntil("\r\n\r\n"),
                         sendBytes("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body),
                         pause(3000)});
  // The proxy named by a name, which kconect looks up in the background.
  connectThrough(proxyPort(), kCredentials, "127.0.0.1", target.port(), "localhost");
  ASSERT_TRUE(waitFor(1)) << textAfter("lasterror");
  command("sendc", kGet);
  ASSERT_TRUE(waitForEnd());
  ASSERT_EQ(codes().back(), 7);
  command("savebin", "proxied.bin");
  EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(body.size()));
  EXPECT_TRUE(readFile("proxied.bin") == body);
  DeleteFileA("proxied.bin");
  plugin.command("disconect");
  target.join();
  EXPECT_EQ(target.received(), kGet) << "the target sees only the host's request";
}

TEST_F(RealProxy, TlsThroughTheTunnelIsCheckedAgainstTheTargetsName) {
  const std::uint16_t tlsPort = TlsServerPorts()["good"];
  ASSERT_NE(tlsPort, 0);
  command("addca", kTlsCaFile);
  ASSERT_EQ(plugin.getData(), 0);
  plugin.setData(1);
  command("settls", "");
  command("setproxy", std::string(kCredentials) + "127.0.0.1:" + std::to_string(proxyPort()));
  command("sethost", "localhost");
  ASSERT_TRUE(waitFor(5));
  connectTo(tlsPort);
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET /big HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_TRUE(waitForEnd());
  const std::vector<std::int32_t> seen = codes();
  ASSERT_NE(std::find(seen.begin(), seen.end(), 7), seen.end()) << textAfter("lasterror");
  EXPECT_EQ(std::find(seen.begin(), seen.end(), 3), seen.end());
  command("savebin", "proxied-tls.bin");
  EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(kTlsBigSize));
  EXPECT_TRUE(readFile("proxied-tls.bin") == TlsBigBody());
  DeleteFileA("proxied-tls.bin");
  plugin.setData(0);
  command("settls", "");
}

TEST_F(RealProxy, RefusalsNameTheProxysStatus) {
  const struct {
    const char* name;
    std::string credentials;
    std::string target;
    const char* reason;
    std::int32_t value;
  } cases[] = {
      {"no credentials", "", "127.0.0.1", "TCP_E_PROXY_407", 407},
      // tinyproxy answers credentials it refuses with 401, not 407.
      {"wrong password", "proxyuser:wrong@", "127.0.0.1", "TCP_E_PROXY_401", 401},
      {"a refused target", kCredentials, "denied.example", "TCP_E_PROXY_403", 403},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.clear();
    connectThrough(proxyPort(), c.credentials, c.target, 9);
    ASSERT_TRUE(waitFor(3));
    EXPECT_EQ(codes(), std::vector<std::int32_t>{3});
    EXPECT_EQ(textAfter("lasterror"), c.reason);
    EXPECT_EQ(plugin.getData(), c.value);
  }
}

}  // namespace
}  // namespace tcptest
