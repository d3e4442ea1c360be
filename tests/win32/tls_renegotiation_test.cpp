// A server that asks for a new handshake once the request has arrived
// (OpenSSL's s_server, tests/tls/renegotiating_server.py). Wine's security
// layer has no answer to give: the connection must end with code 3 and the
// reason that says so, not stall with the host's text held.
#include <fstream>
#include <string>

#include "exchange_fixture.h"

namespace tcptest {
namespace {

std::uint16_t renegotiatingPort() {
  std::ifstream file("renegotiate.port");
  unsigned port = 0;
  file >> port;
  return static_cast<std::uint16_t>(port);
}

class TlsRenegotiation : public QueuedExchangeTest {
 protected:
  void TearDown() override {
    QueuedExchangeTest::TearDown();
    plugin.setData(0);
    command("settls", "");
  }
};

TEST_F(TlsRenegotiation, ARequestForANewHandshakeIsAnsweredOrEndsTheConnection) {
  const std::uint16_t port = renegotiatingPort();
  ASSERT_NE(port, 0) << "the renegotiating server's fixture wrote its port";
  plugin.setData(2);
  command("settls", "localhost");
  command("setip", "127.0.0.1");
  connectTo(port);
  ASSERT_TRUE(waitFor(1)) << textAfter("lasterror");
  command("sendc", "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_TRUE(waitFor(3)) << "no silent stall";
  EXPECT_EQ(textAfter("lasterror"), "TCP_E_RENEGOTIATION_UNSUPPORTED");
  EXPECT_NE(textAfter("status").find(" ofline "), std::string::npos) << "the connection is closed";
}

}  // namespace
}  // namespace tcptest
