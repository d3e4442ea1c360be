// A name with several addresses: the client races them (RFC 8305), over the
// fake sockets with the test playing the network and the timers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "fake_sockets.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

using Events = std::vector<std::string>;
constexpr SocketHandle kStagger = TcpClient::kStaggerTimer;
constexpr SocketHandle kWholeRace = TcpClient::kRaceTimer;
constexpr int kRefused = 10061;
constexpr int kUnreachable = 10065;

class ClientRaceTest : public ::testing::Test {
 protected:
  ClientRaceTest() {
    client = std::make_unique<TcpClient>(sockets, [](const std::string&) {});
    client->OnConnect = [this](TcpClient&) { events.push_back("connect"); };
    client->OnDisconnect = [this](TcpClient&) { events.push_back("disconnect"); };
    client->OnError = [this](TcpClient&, std::int32_t code) { events.push_back("error " + std::to_string(code)); };
    client->allowIpv6(true);
    client->setPort(8080);
    client->setHost("::1", "dual.test");
    client->setHostAddresses({"::1", "127.0.0.1", "127.0.0.2"});
  }

  // The sockets opened so far, in order.
  std::vector<SocketHandle> opened() const {
    std::vector<SocketHandle> handles;
    SocketHandle handle = 100;
    for (const std::string& call : sockets.calls)
      if (call == "socket" || call == "socket6") handles.push_back(handle++);
    return handles;
  }

  fakes::FakeSockets sockets;
  std::unique_ptr<TcpClient> client;
  Events events;
};

TEST_F(ClientRaceTest, TheNextAttemptStartsAfterTheStaggerAndTheFirstToConnectWins) {
  client->Connect();
  EXPECT_EQ(opened().size(), 1u);
  EXPECT_EQ(sockets.calls.back(), "connect6");
  EXPECT_EQ(sockets.timers.at(kStagger), 250u);
  EXPECT_TRUE(client->Connecting());
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  ASSERT_EQ(opened().size(), 2u);
  EXPECT_EQ(sockets.connectedAddress, 0x0100007Fu);
  sockets.deliverFor(opened()[1], SocketEvent::Connect);
  EXPECT_EQ(events, Events{"connect"});
  EXPECT_EQ(client->socket(), opened()[1]);
  EXPECT_TRUE(client->Connected());
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{opened()[0]});
  EXPECT_TRUE(sockets.timers.empty());
  // The loser's late connect reaches no one.
  sockets.deliverFor(opened()[0], SocketEvent::Connect);
  EXPECT_EQ(events, Events{"connect"});
}

TEST_F(ClientRaceTest, AFailedAttemptGivesWayAtOnce) {
  client->Connect();
  sockets.deliverFor(opened()[0], SocketEvent::Connect, kRefused);
  ASSERT_EQ(opened().size(), 2u);
  EXPECT_TRUE(events.empty());
  sockets.deliverFor(opened()[1], SocketEvent::Connect);
  EXPECT_EQ(events, Events{"connect"});
  EXPECT_EQ(client->socket(), opened()[1]);
}

TEST_F(ClientRaceTest, OnlyWhenEveryAttemptFailedComesOneErrorWithTheLastReason) {
  sockets.connectError = kUnreachable;
  client->Connect();
  EXPECT_EQ(opened().size(), 3u) << "an attempt that fails at once starts the next at once";
  EXPECT_EQ(events, Events{"error " + std::to_string(kUnreachable)});
  EXPECT_FALSE(client->Connecting());
  EXPECT_EQ(sockets.closed.size(), 3u);
  EXPECT_TRUE(sockets.timers.empty());

  events.clear();
  sockets.connectError = kWouldBlock;
  client->Connect();
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  const std::vector<SocketHandle> handles = opened();
  sockets.deliverFor(handles[3], SocketEvent::Connect, kRefused);
  sockets.deliverFor(handles[5], SocketEvent::Close, kUnreachable);
  EXPECT_TRUE(events.empty());
  sockets.deliverFor(handles[4], SocketEvent::Connect, kRefused);
  EXPECT_EQ(events, Events{"error " + std::to_string(kRefused)});
}

TEST_F(ClientRaceTest, TheTimeoutBoundsTheWholeRace) {
  client->setTimeout(3000);
  client->Connect();
  EXPECT_EQ(sockets.timers.at(kWholeRace), 3000u);
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  sockets.deliverFor(kWholeRace, SocketEvent::Timeout);
  EXPECT_EQ(events, Events{"error 10060"});
  EXPECT_EQ(sockets.closed.size(), 2u);
  EXPECT_TRUE(sockets.timers.empty());
}

// Once won, the winner's own timer bounds what follows, as for one address.
TEST_F(ClientRaceTest, TheWinnerIsTheConnectionFromThenOn) {
  client->setTimeout(3000);
  client->Connect();
  sockets.deliverFor(opened()[0], SocketEvent::Connect);
  EXPECT_EQ(events, Events{"connect"});
  EXPECT_FALSE(sockets.timers.count(kWholeRace));
  sockets.incoming = "hello";
  client->SendText("request");
  EXPECT_EQ(sockets.sent, "request");
  EXPECT_EQ(sockets.timers.at(opened()[0]), 3000u);
  client->Disconnect();
  EXPECT_EQ(events, (Events{"connect", "disconnect"}));
}

TEST_F(ClientRaceTest, DisconnectWhileRacingEndsEveryAttemptWithoutAnEvent) {
  client->Connect();
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  client->SendText("too early");
  EXPECT_EQ(events, Events{"error 10057"});
  events.clear();
  client->Disconnect();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(sockets.closed.size(), 2u);
  EXPECT_TRUE(sockets.timers.empty());
  EXPECT_FALSE(client->Connecting());
  sockets.deliverFor(opened()[1], SocketEvent::Connect);
  EXPECT_TRUE(events.empty());
}

// Without IPv6 allowed (events not queued) only the IPv4 addresses race; a
// host set afresh forgets the name's addresses.
TEST_F(ClientRaceTest, OnlyAllowedAddressesRaceAndANewHostForgetsThem) {
  client->allowIpv6(false);
  client->setHost("127.0.0.1", "dual.test");
  client->setHostAddresses({"127.0.0.1", "::1", "127.0.0.2"});
  client->Connect();
  sockets.deliverFor(kStagger, SocketEvent::Timeout);
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "connect"), 2);
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "connect6"), 0);
  client->Disconnect();
  client->setHost("127.0.0.1");
  sockets.calls.clear();
  client->Connect();
  EXPECT_FALSE(sockets.timers.count(kStagger));
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "connect"), 1);
}

}  // namespace
}  // namespace tcp
