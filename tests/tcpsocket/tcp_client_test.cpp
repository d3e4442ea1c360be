#include "tcpsocket/tcp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_sockets.h"

namespace tcp {
namespace {

using Events = std::vector<std::string>;

class TcpClientTest : public ::testing::Test {
 public:
  TcpClientTest() { client = makeClient(true); }

  std::unique_ptr<TcpClient> makeClient(bool withErrorHandler) {
    auto made = std::make_unique<TcpClient>(sockets, [this](const std::string& text) { messages.push_back(text); });
    made->OnConnect = [this](TcpClient&) { events.push_back("connect"); };
    made->OnDisconnect = [this](TcpClient&) { events.push_back("disconnect"); };
    if (withErrorHandler)
      made->OnError = [this](TcpClient&, std::int32_t code) { events.push_back("error " + std::to_string(code)); };
    made->OnRead = [this](TcpClient&, const char* buffer, std::int32_t highest, std::int32_t count) {
      EXPECT_EQ(highest, 1048575);
      events.push_back("read " + std::to_string(count));
      if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
    };
    made->setHost("127.0.0.1");
    made->setPort(8080);
    return made;
  }

  void connectNow() {
    client->Connect();
    sockets.deliver(SocketEvent::Connect);
    events.clear();
  }

  std::string state() const {
    if (client->Connected()) return "Connected";
    return client->Connecting() ? "Connecting" : "Closed";
  }

  fakes::FakeSockets sockets;
  Events events;
  std::vector<std::string> messages;
  std::string received;
  std::unique_ptr<TcpClient> client;
};

TEST_F(TcpClientTest, FollowsTheStateTableWithItsEvents) {
  struct Case {
    const char* name;
    std::function<void(TcpClientTest&)> start;
    std::function<void(TcpClientTest&)> act;
    Events events;
    const char* state;
    bool socketOpen;
  };
  const auto closed = [](TcpClientTest&) {};
  const auto connecting = [](TcpClientTest& t) { t.client->Connect(); };
  const auto connected = [](TcpClientTest& t) { t.connectNow(); };
  const Case cases[] = {
      {"Closed: Connect", closed, [](TcpClientTest& t) { t.client->Connect(); }, {}, "Connecting", true},
      {"Closed: Disconnect", closed, [](TcpClientTest& t) { t.client->Disconnect(); }, {}, "Closed", false},
      {"Connecting: connect event", connecting, [](TcpClientTest& t) { t.sockets.deliver(SocketEvent::Connect); },
       {"connect"}, "Connected", true},
      {"Connecting: connect event with 10061", connecting,
       [](TcpClientTest& t) { t.sockets.deliver(SocketEvent::Connect, 10061); }, {"error 10061"}, "Closed", false},
      {"Connecting: event with would-block", connecting,
       [](TcpClientTest& t) { t.sockets.deliver(SocketEvent::Connect, 10035); }, {}, "Closed", false},
      {"Connecting: Disconnect", connecting, [](TcpClientTest& t) { t.client->Disconnect(); }, {}, "Closed", false},
      {"Connecting: Connect", connecting, [](TcpClientTest& t) { t.client->Connect(); }, {}, "Connecting", true},
      {"Connected: close event", connected, [](TcpClientTest& t) { t.sockets.deliver(SocketEvent::Close); },
       {"disconnect"}, "Closed", false},
      {"Connected: close event with 10054", connected,
       [](TcpClientTest& t) { t.sockets.deliver(SocketEvent::Close, 10054); }, {"error 10054", "disconnect"}, "Closed",
       false},
      {"Connected: Abort", connected, [](TcpClientTest& t) { t.client->Abort(); }, {}, "Closed", false},
      {"Connecting: Abort", connecting, [](TcpClientTest& t) { t.client->Abort(); }, {}, "Closed", false},
      {"Connected: Disconnect", connected, [](TcpClientTest& t) { t.client->Disconnect(); }, {"disconnect"}, "Closed",
       false},
      {"Connected: Connect", connected, [](TcpClientTest& t) { t.client->Connect(); }, {"disconnect"}, "Connecting",
       true},
      {"Connected: close event, then Disconnect", connected,
       [](TcpClientTest& t) {
         t.sockets.deliver(SocketEvent::Close);
         t.client->Disconnect();
       },
       {"disconnect"}, "Closed", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client = makeClient(true);
    c.start(*this);
    events.clear();
    c.act(*this);
    EXPECT_EQ(events, c.events);
    EXPECT_EQ(state(), c.state);
    EXPECT_EQ(client->socket() != kNoSocket, c.socketOpen);
  }
}

TEST_F(TcpClientTest, ConnectSelectsEventsForItsWindowAndConnectsToHostAndPort) {
  client->setHost("10.1.2.3");
  client->Connect();
  const Events expected = {"startup", "socket", "create window", "select 20480", "connect"};
  EXPECT_EQ(sockets.calls, expected);
  EXPECT_EQ(sockets.connectedAddress, 0x0302010Au);
  EXPECT_EQ(sockets.connectedPort, 8080);
  client->Connect();
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "create window"), 1) << "the window is reused";
}

TEST_F(TcpClientTest, AHostThatIsNoAddressFailsBeforeAnySocketExists) {
  for (const char* host : {"localhost", "", "1.2.3", "300.1.1.1"}) {
    client->setHost(host);
    events.clear();
    sockets.calls.clear();
    client->Connect();
    EXPECT_EQ(events, Events{"error 10022"}) << host;
    EXPECT_TRUE(sockets.calls.empty()) << host;
    EXPECT_EQ(state(), "Closed");
  }
  client->setHost("255.255.255.255");
  client->Connect();
  EXPECT_EQ(state(), "Connecting");
  EXPECT_EQ(sockets.connectedAddress, 0xFFFFFFFFu);
}

TEST_F(TcpClientTest, FailedCallsAreReportedOnceAndWouldBlockNever) {
  sockets.connectError = 10061;
  client->Connect();
  EXPECT_EQ(events, Events{"error 10061"});
  EXPECT_EQ(state(), "Closed");
  sockets.connectError = 0;
  sockets.openError = 10024;
  events.clear();
  client->Connect();
  EXPECT_EQ(events, Events{"error 10024"});
  EXPECT_EQ(client->socket(), kNoSocket);
}

TEST_F(TcpClientTest, ASocketWhoseEventsCannotReachTheWindowFailsTheConnect) {
  sockets.selectError = 10022;
  client->Connect();
  EXPECT_EQ(events, Events{"error 10022"});
  EXPECT_EQ(state(), "Closed");
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{100});
  EXPECT_EQ(std::count(sockets.calls.begin(), sockets.calls.end(), "connect"), 0);
}

// A handler that connects again from inside an event keeps its new socket,
// even when the system gave it the old one's handle: the rest of the event
// concerned the old socket, and so does a read event queued for it before.
TEST_F(TcpClientTest, HandlersMayConnectAgainFromInsideAnEvent) {
  struct Case {
    const char* name;
    bool connectFirst;
    SocketEvent event;
    int error;
    Events events;
  };
  const Case cases[] = {
      {"refused connect, OnError", false, SocketEvent::Connect, 10061, {"error 10061"}},
      {"close, OnDisconnect", true, SocketEvent::Close, 0, {"disconnect"}},
      {"reset, OnError", true, SocketEvent::Close, 10054, {"error 10054", "disconnect"}},
  };
  for (const Case& c : cases) {
    for (bool reuse : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (reuse ? ", handle reused" : ""));
      sockets.reuseHandles = reuse;
      sockets.incoming.clear();
      client = makeClient(true);
      TcpClient& self = *client;
      int reconnects = 0;
      const auto again = [&self, &reconnects] {
        if (reconnects++ == 0) self.Connect();
      };
      client->OnError = [this, again](TcpClient&, std::int32_t code) {
        events.push_back("error " + std::to_string(code));
        again();
      };
      client->OnDisconnect = [this, again](TcpClient&) {
        events.push_back("disconnect");
        again();
      };
      client->Connect();
      if (c.connectFirst) sockets.deliver(SocketEvent::Connect);
      events.clear();
      const SocketHandle old = client->socket();
      sockets.closed.clear();
      sockets.post(SocketEvent::Read);
      sockets.deliver(c.event, c.error);
      EXPECT_EQ(events, c.events);
      EXPECT_EQ(state(), "Connecting");
      EXPECT_EQ(client->socket(), sockets.current);
      EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{old});
      sockets.incoming = "stale";
      sockets.pump();
      EXPECT_EQ(events, c.events);
      sockets.deliver(SocketEvent::Connect);
      EXPECT_EQ(state(), "Connected");
    }
  }
}

// The failure is reported once the old socket is gone: the handle is closed
// once, and the new socket stays.
TEST_F(TcpClientTest, AHandlerOfAFailedCloseMayConnectAgain) {
  connectNow();
  sockets.closeError = 10038;
  bool reconnected = false;
  client->OnError = [this, &reconnected](TcpClient& self, std::int32_t code) {
    events.push_back("error " + std::to_string(code));
    if (!std::exchange(reconnected, true)) self.Connect();
  };
  client->Disconnect();
  EXPECT_EQ(events, (Events{"error 10038", "disconnect"}));
  EXPECT_EQ(sockets.closed, std::vector<SocketHandle>{100});
  EXPECT_EQ(state(), "Connecting");
  EXPECT_EQ(client->socket(), sockets.current);
}

TEST_F(TcpClientTest, WithoutAnErrorHandlerTheMessageBoxNamesErrorAndSocket) {
  client = makeClient(false);
  client->Connect();
  sockets.deliver(SocketEvent::Connect, 10061);
  // "Socket error НЕТ СВЯЗИ on socket 100"
  EXPECT_EQ(messages, std::vector<std::string>{"Socket error \xcd\xc5\xd2 \xd1\xc2\xdf\xc7\xc8 on socket 100"});
}

TEST(ErrorName, NamesListedCodesAndCallsTheRestUnknown) {
  EXPECT_EQ(ErrorName(10061), "\xcd\xc5\xd2 \xd1\xc2\xdf\xc7\xc8");
  EXPECT_EQ(ErrorName(10013), "\xe4\xee\xf1\xf2\xf3\xef \xe7\xe0\xef\xf0\xe5\xf9\xe5\xed");
  EXPECT_EQ(ErrorName(10035), "WSAEWOULDBLOCK");
  EXPECT_EQ(ErrorName(10004), "WSAEINTR");
  EXPECT_EQ(ErrorName(11004), "WSANO_DATA");
  for (int code : {10010, 0, 12000, -1, 10072, 11005}) EXPECT_EQ(ErrorName(code), "WSAEUNKNOWN") << code;
}

TEST_F(TcpClientTest, TakesReadableBytesAtMostOneMebibyteAReadEvent) {
  connectNow();
  sockets.incoming.assign(2000000, 'x');
  sockets.deliver(SocketEvent::Read);
  sockets.deliver(SocketEvent::Read);
  sockets.deliver(SocketEvent::Read);
  EXPECT_EQ(sockets.receiveCounts, (std::vector<int>{1048576, 951424}));
  EXPECT_EQ(events, (Events{"read 1048576", "read 951424"}));
  EXPECT_EQ(received.size(), 2000000u);
}

// Into the owner's room one read event takes what is readable, up to its
// limit, in as many receive calls as that takes, and raises one OnRead; a
// refused room leaves it the client's buffer and its size.
TEST_F(TcpClientTest, IntoTheOwnersRoomOneReadEventIsOneArrivalUpToItsLimit) {
  constexpr int kLimit = static_cast<int>(TcpClient::kEventReadLimit);
  struct Case {
    const char* name;
    std::size_t incoming;
    std::size_t receiveLimit;
    bool roomGiven;
    std::vector<int> receiveCounts;
    std::vector<int> arrivals;
  };
  const Case cases[] = {
      {"all at once", 3000000, SIZE_MAX, true, {3000000}, {3000000}},
      {"beyond the limit", kLimit + 5, SIZE_MAX, true, {kLimit, 5}, {kLimit, 5}},
      {"short receives", 2500000, 1000000, true, {2500000, 1500000, 500000}, {2500000}},
      {"room refused", 3000000, SIZE_MAX, false, {1048576, 1048576, 902848}, {1048576, 1048576, 902848}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    client.reset();
    sockets = fakes::FakeSockets();
    client = makeClient(true);
    std::string storage;
    std::vector<int> arrivals;
    client->ReadInto = [&](TcpClient&, std::int32_t count) -> char* {
      if (!c.roomGiven) return nullptr;
      storage.resize(received.size() + static_cast<std::size_t>(count));
      return storage.data() + received.size();
    };
    client->OnRead = [&](TcpClient&, const char* buffer, std::int32_t highest, std::int32_t count) {
      EXPECT_GE(highest + 1, count);
      arrivals.push_back(count);
      received.append(buffer, static_cast<std::size_t>(count));
    };
    connectNow();
    received.clear();
    std::string sent(c.incoming, '\0');
    for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i % 251);
    sockets.incoming = sent;
    sockets.receiveLimit = c.receiveLimit;
    for (std::size_t event = 0; event < c.arrivals.size() + 1; ++event) sockets.deliver(SocketEvent::Read);
    EXPECT_EQ(sockets.receiveCounts, c.receiveCounts);
    EXPECT_EQ(arrivals, c.arrivals);
    EXPECT_TRUE(received == sent) << received.size() << " bytes in";
  }
}

TEST_F(TcpClientTest, AFailedReadIsReportedTwiceAndStillRaisesOnRead) {
  connectNow();
  sockets.incoming = "abc";
  sockets.receiveError = 10054;
  sockets.deliver(SocketEvent::Read);
  EXPECT_EQ(events, (Events{"error 10054", "error 10054", "read -1"}));
}

TEST_F(TcpClientTest, BytesStillReadableAtTheCloseEventArriveBeforeTheDisconnect) {
  connectNow();
  sockets.incoming = "the last bytes";
  sockets.deliver(SocketEvent::Close);
  EXPECT_EQ(events, (Events{"read 14", "disconnect"}));
  EXPECT_EQ(received, "the last bytes");
}

TEST_F(TcpClientTest, MessagesOfAnEarlierSocketChangeNothing) {
  connectNow();
  const SocketHandle old = client->socket();
  client->Connect();
  sockets.deliver(SocketEvent::Connect);
  events.clear();
  sockets.incoming = "data";
  for (SocketEvent event : {SocketEvent::Close, SocketEvent::Read, SocketEvent::Connect})
    sockets.deliverFor(old, event, 10054);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(state(), "Connected");
  const SocketHandle last = client->socket();
  client->Disconnect();
  events.clear();
  sockets.deliverFor(last, SocketEvent::Close);
  sockets.deliverFor(kNoSocket, SocketEvent::Close);
  EXPECT_TRUE(events.empty());
}

TEST_F(TcpClientTest, MessagesQueuedBeforeAReconnectLeaveANewSocketWithTheSameHandleAlone) {
  sockets.reuseHandles = true;
  connectNow();
  const SocketHandle old = client->socket();
  sockets.incoming = "old";
  sockets.post(SocketEvent::Read);
  sockets.post(SocketEvent::Close, 10054);
  client->Connect();
  ASSERT_EQ(client->socket(), old);
  sockets.incoming.clear();
  events.clear();
  sockets.pump();
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(state(), "Connecting");
  sockets.deliver(SocketEvent::Connect);
  EXPECT_EQ(events, Events{"connect"});
}

TEST_F(TcpClientTest, PortReadsTheLocalPortWhileConnectedWithoutKeepingIt) {
  EXPECT_EQ(client->port(), 8080);
  connectNow();
  EXPECT_EQ(client->port(), 50123);
  client->Disconnect();
  EXPECT_EQ(client->port(), 8080);
  client->Connect();
  EXPECT_EQ(sockets.connectedPort, 8080);
}

TEST_F(TcpClientTest, DestructionWhileConnectedClosesWithoutEvents) {
  connectNow();
  sockets.closeError = 10038;
  client.reset();
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(sockets.closed.size(), 1u);
  EXPECT_EQ(sockets.calls.back(), "cleanup");
  EXPECT_EQ(sockets.sink, nullptr);
}

TEST_F(TcpClientTest, StartAndStopFailuresShowTheirMessages) {
  sockets.startupResult = 10091;
  sockets.cleanupResult = -1;
  auto other = makeClient(true);
  other.reset();
  EXPECT_EQ(messages, (std::vector<std::string>{"WSAStartup error.", "WSACleanup error"}));
}

TEST_F(TcpClientTest, SendsEveryByteInOrderAFewAtATime) {
  connectNow();
  sockets.sendLimit = 3;
  client->SendText("hello, world");
  EXPECT_EQ(sockets.sent, "hello, world");
  EXPECT_EQ(sockets.sendCalls, 4);
  EXPECT_TRUE(events.empty());
}

TEST_F(TcpClientTest, AfterWouldBlockTheRestWaitsForTheWriteEvent) {
  connectNow();
  sockets.sendLimit = 4;
  sockets.sendBlocksAfter = 2;
  client->SendText("0123456789");
  EXPECT_EQ(sockets.sent, "01234567");
  client->SendText("abc");
  EXPECT_EQ(sockets.sent, "01234567") << "a later text queues behind the rest";
  sockets.sendBlocksAfter = -1;
  sockets.deliver(SocketEvent::Write);
  EXPECT_EQ(sockets.sent, "0123456789abc");
  EXPECT_TRUE(events.empty());
}

TEST_F(TcpClientTest, ClosingDropsWhatWaitsToBeSent) {
  connectNow();
  sockets.sendBlocksAfter = 0;
  client->SendText("never sent");
  sockets.deliver(SocketEvent::Close);
  client->Connect();
  sockets.deliver(SocketEvent::Connect);
  sockets.sendBlocksAfter = -1;
  sockets.deliver(SocketEvent::Write);
  client->SendText("fresh");
  EXPECT_EQ(sockets.sent, "fresh");
}

TEST_F(TcpClientTest, AFailedSendIsReported) {
  client->SendText("no connection");
  EXPECT_EQ(events, Events{"error 10038"});
  connectNow();
  sockets.sendError = 10054;
  client->SendText("reset");
  EXPECT_EQ(events, Events{"error 10054"});
  sockets.sendError = 0;
  client->SendText("ok");
  EXPECT_EQ(sockets.sent, "ok") << "nothing of the failed text was kept";
}

}  // namespace
}  // namespace tcp
