// Whole exchanges through the DLL against loopback servers the tests run.
#include <algorithm>
#include <string>
#include <vector>

#include "exchange_fixture.h"

using tcphost::closeGracefully;
using tcphost::pause;
using tcphost::readBytes;
using tcphost::readUntil;
using tcphost::resetConnection;
using tcphost::ScriptedServer;
using tcphost::sendBytes;

namespace tcptest {
namespace {

const std::string kConnected = "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
const std::string kDisconnected = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
const std::string kError = "\xce\xf8\xe8\xe1\xea\xe0";

TEST_F(ExchangeTest, TypicalExchangeReportsEachStepWithAClick) {
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  // The pauses let the host handle each click before the next event replaces
  // the slots it reads.
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(header + "01234"), pause(200), sendBytes("56789"),
                         pause(200), closeGracefully()});
  command("sethost", "127.0.0.1");
  ASSERT_TRUE(waitFor(5));
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  ASSERT_TRUE(waitFor(2));
  server.join();

  const auto& seen = host.notifications();
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen.front().code, 5);
  EXPECT_EQ(seen.front().text, "127.0.0.1");
  EXPECT_EQ(seen[1].code, 1);
  EXPECT_EQ(seen[1].text, kConnected);
  EXPECT_EQ(seen[seen.size() - 2].code, 4);
  EXPECT_EQ(seen[seen.size() - 2].text, std::to_string(100 * (header.size() + 10) / 10));
  EXPECT_EQ(seen.back().code, 2);
  EXPECT_EQ(seen.back().text, kDisconnected);
  for (std::size_t i = 0; i < host.clicks().size(); ++i) {
    const tcphost::Click& click = host.clicks()[i];
    EXPECT_EQ(click.message, i % 2 == 0 ? WM_LBUTTONDOWN : WM_LBUTTONUP);
    EXPECT_EQ(click.wParam, i % 2 == 0 ? MK_LBUTTON : 0u);
    EXPECT_EQ(click.lParam, MAKELPARAM(10, 20));
  }
  EXPECT_EQ(server.received(), "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  plugin.command("recev");
  EXPECT_EQ(plugin.getFile(), header + "0123456789");
  plugin.command("getotvetlen");
  EXPECT_EQ(plugin.getFile(), "10");
  plugin.command("gethtml0");
  EXPECT_EQ(plugin.getFile(), "0123456789");
}

TEST_F(ExchangeTest, RefusedConnectionGivesAnErrorAndNoConnect) {
  connectTo(ScriptedServer::closedPort());
  ASSERT_TRUE(waitFor(3));
  EXPECT_EQ(host.notifications().back().text, kError);
  host.pumpFor(200);
  EXPECT_EQ(codes(), std::vector<std::int32_t>{3});
  plugin.command("status");
  EXPECT_NE(plugin.getFile().find(" ofline "), std::string::npos);
}

TEST_F(ExchangeTest, ConnectingAgainWhileConnectedClosesFirst) {
  ScriptedServer server({pause(400), closeGracefully()}, 2);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  plugin.command("kconect");
  ASSERT_TRUE(waitFor(1));
  EXPECT_EQ(codes(), (std::vector<std::int32_t>{1, 2, 1}));
  plugin.command("disconect");
  host.pumpFor(100);
  EXPECT_EQ(codes(), (std::vector<std::int32_t>{1, 2, 1, 2}));
  plugin.command("disconect");
  host.pumpFor(100);
  EXPECT_EQ(codes().size(), 4u) << "disconect without a connection reports nothing";
}

TEST_F(ExchangeTest, TwoMebibytesArriveWholeAndInOrder) {
  std::string body(2 << 20, '\0');
  for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET /big HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(waitFor(2));
  plugin.command("status");
  EXPECT_EQ(plugin.getFile(), "host 127.0.0.1 Port " + std::to_string(server.port()) + " ofline bufer " +
                                  std::to_string(response.size()));
  command("savebinall", "everything.bin");
  EXPECT_TRUE(readFile("everything.bin") == response);
  command("savebin", "body.bin");
  EXPECT_TRUE(readFile("body.bin") == body);
  plugin.command("recev");
  EXPECT_EQ(plugin.getFile(), response.substr(0, response.find('\0'))) << "the host sees up to the first zero byte";
}

TEST_F(ExchangeTest, ATenMebibyteRequestReachesTheServerWhole) {
  std::string request = "POST /upload HTTP/1.1\r\nContent-Length: 10485760\r\n\r\n";
  for (std::size_t i = 0; i < (10u << 20); ++i) request += static_cast<char>('a' + i % 26);
  ScriptedServer server({readBytes(request.size()), sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok"),
                         closeGracefully()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", request);
  ASSERT_TRUE(waitFor(2));
  server.join();
  EXPECT_EQ(server.received().size(), request.size());
  EXPECT_TRUE(server.received() == request);
  const std::vector<std::int32_t> seen = codes();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 3), 0) << ::testing::PrintToString(seen);
}

TEST_F(ExchangeTest, AResetAfterDataStillDeliversTheData) {
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\n\r\npartial"), pause(100),
                         resetConnection()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(waitFor(2));
  plugin.command("gethtml0");
  EXPECT_EQ(plugin.getFile(), "partial");
}

TEST_F(ExchangeTest, SethostResolvesLocalhostAndRejectsNamesWithoutAQuery) {
  command("sethost", "localhost");
  ASSERT_TRUE(waitFor(5));
  EXPECT_EQ(host.notifications().back().text, "127.0.0.1");
  command("sethost", std::string(64, 'x') + ".example");
  ASSERT_TRUE(waitFor(6));
  EXPECT_EQ(host.notifications().back().text, "no ip");
  plugin.command("status");
  EXPECT_EQ(plugin.getFile(), "host 127.0.0.1 Port 1234 ofline bufer 0");
}

TEST_F(ExchangeTest, SendingWithoutAConnectionIsReported) {
  command("sendc", "GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(waitFor(3));
  EXPECT_EQ(host.notifications().back().text, kError);
}

TEST_F(ExchangeTest, AHostThatIsNoAddressFailsTheConnect) {
  command("setip", "not.an.address");
  plugin.command("kconect");
  ASSERT_TRUE(waitFor(3));
  host.pumpFor(100);
  EXPECT_EQ(codes(), std::vector<std::int32_t>{3});
}

}  // namespace
}  // namespace tcptest
