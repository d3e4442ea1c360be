#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "connection_fixture.h"

namespace tcp {
namespace {

using namespace std::string_literals;

TEST_F(ConnectionTest, StatusShowsHostPortStateAndBuffer) {
  createClient();
  EXPECT_EQ(status(), "host 127.0.0.1 Port 1234 ofline bufer 0");
  SetPort(session, 65616);
  EXPECT_EQ(status(), "host 127.0.0.1 Port 80 ofline bufer 0");
  SetPort(session, 50000);
  SetHostAddress(session, "192.168.0.1");
  EXPECT_EQ(status(), "host 192.168.0.1 Port 50000 ofline bufer 0");
  SetHostAddress(session, "127.0.0.1");
  connectNow();
  arrive("abc");
  EXPECT_EQ(status(), "host 127.0.0.1 Port 50123 online bufer 3");
  Disconnect(session);
  EXPECT_EQ(status(), "host 127.0.0.1 Port 50000 ofline bufer 3") << "status never changes the port";
}

TEST_F(ConnectionTest, SethostReportsTheAddressOrNoIp) {
  createClient();
  const std::pair<const char*, std::pair<std::int32_t, std::string>> cases[] = {
      {"localhost", {5, "127.0.0.1"}},
      {"10.0.0.7", {5, "10.0.0.7"}},
      {"a..b", {6, "no ip"}},
  };
  for (const auto& [name, expected] : cases) {
    host.seen.clear();
    SetHostByName(session, name);
    EXPECT_EQ(host.seen, (std::vector<std::pair<std::int32_t, std::string>>{expected})) << name;
  }
  EXPECT_EQ(client->host(), "10.0.0.7") << "a failed lookup keeps the host";
  EXPECT_EQ(sockets.startups, 1 + 3) << "the client's start, then one per lookup";
  EXPECT_EQ(sockets.cleanups, 3) << "each lookup stops the socket layer it started";
}

TEST_F(ConnectionTest, ReportsEveryArrivalWithTheProgressOfTheDeclaredLength) {
  createClient();
  connectNow();
  send("GET /page HTTP/1.1\r\n\r\n");
  host.seen.clear();
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n" + std::string(157, 'h') + "\r\n\r\n";
  ASSERT_EQ(header.size(), 200u);
  arrive(header);
  arrive(std::string(500, 'x'));
  arrive(std::string(500, 'y'));
  const std::vector<std::pair<std::int32_t, std::string>> expected = {{4, "20"}, {4, "70"}, {4, "120"}};
  EXPECT_EQ(host.seen, expected);
  EXPECT_EQ(session.response.ReceiveBuffer.size(), 1200u);
}

TEST_F(ConnectionTest, WithoutADeclaredLengthTheTextSlotIsLeftAlone) {
  createClient();
  arrive("before any request\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(session.response.ResponseLength, 0) << "data before sendc is never searched";
  connectNow();
  send("GET / HTTP/1.0\r\n\r\n");
  host.seen.clear();
  arrive("HTTP/1.0 200 OK\r\n\r\nbody");
  arrive("more");
  const std::vector<std::pair<std::int32_t, std::string>> expected = {{4, "GET / HTTP/1.0\r\n\r\n"},
                                                                      {4, "GET / HTTP/1.0\r\n\r\n"}};
  EXPECT_EQ(host.seen, expected);
}

TEST_F(ConnectionTest, SendcEmptiesTheResponseAndSendsTheText) {
  createClient();
  connectNow();
  send("first");
  arrive("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
  session.response.HeaderText = "h";
  session.response.DecodedBody = "d";
  session.response.HeaderLines = std::vector<std::string>{"kept"};
  send("second");
  EXPECT_EQ(sockets.sent, "firstsecond");
  EXPECT_EQ(session.response.ReceiveBuffer.view(), "");
  EXPECT_EQ(session.response.ResponseLength, 0);
  EXPECT_TRUE(session.response.LengthPending);
  EXPECT_EQ(session.response.HeaderText, "");
  EXPECT_EQ(session.response.DecodedBody, "");
  EXPECT_EQ(session.response.HeaderLines, std::vector<std::string>{"kept"});
}

// sendc shares the history's storage only while the slot still holds the
// text SetFile gave; a result or an edit of the same size is sent as it is.
TEST_F(ConnectionTest, SendcSendsTheSlotAsItIsAndSharesOnlyTheTextSetFileGave) {
  struct Row {
    const char* name;
    std::function<void(TextSlot&)> change;
    std::string sent;
    bool shared;
  } rows[] = {
      {"untouched", [](TextSlot&) {}, "GET /a HTTP/1.1\r\n\r\n", true},
      {"a command's result", [](TextSlot& slot) { slot = "GET /b HTTP/1.1\r\n\r\n"; }, "GET /b HTTP/1.1\r\n\r\n",
       false},
      {"edited where it lies", [](TextSlot& slot) { slot.edit()[5] = 'c'; }, "GET /c HTTP/1.1\r\n\r\n", false},
      {"the same text again", [](TextSlot& slot) { slot = "GET /a HTTP/1.1\r\n\r\n"; }, "GET /a HTTP/1.1\r\n\r\n",
       true},
  };
  createClient();
  connectNow();
  sockets.sendLimit = 4;
  for (const Row& row : rows) {
    sockets.sent.clear();
    sockets.sendBlocksAfter = 1;
    session.exchange.takeText("GET /a HTTP/1.1\r\n\r\n");
    row.change(session.exchange.ExchangeText);
    SendRequest(session, session.exchange.ExchangeText.text());
    EXPECT_EQ(session.exchange.FileHistory.entry(0).use_count() > 1, row.shared) << row.name;
    sockets.sendBlocksAfter = -1;
    sockets.deliver(SocketEvent::Write);
    EXPECT_EQ(sockets.sent, row.sent) << row.name;
  }
}

TEST_F(ConnectionTest, EventsBecomeCodesAndClicks) {
  createClient();
  connectNow();
  Connect(session);
  sockets.deliver(SocketEvent::Connect);
  sockets.incoming = "tail";
  sockets.deliver(SocketEvent::Close);
  Disconnect(session);
  send("no connection");
  const std::string connected = "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
  const std::string disconnected = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
  const std::vector<std::pair<std::int32_t, std::string>> expected = {
      {1, connected}, {2, disconnected}, {1, connected}, {4, connected},
      {2, disconnected}, {3, "\xce\xf8\xe8\xe1\xea\xe0"}};
  EXPECT_EQ(host.seen, expected);
  EXPECT_EQ(session.response.ReceiveBuffer.view(), "") << "sendc emptied what the close event brought";
}

TEST_F(ConnectionTest, ReadsLandStraightInTheReceiveBufferOnce) {
  createClient();
  connectNow();
  send("GET / HTTP/1.1\r\n\r\n");
  const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
  sockets.incoming = header;
  sockets.deliver(SocketEvent::Read);
  const char* const storage = session.response.ReceiveBuffer.data();
  EXPECT_GE(session.response.ReceiveBuffer.capacity(), header.size() + 100000) << "room for the declared length";
  for (char part : std::string("abcd")) {
    const std::size_t before = session.response.ReceiveBuffer.size();
    sockets.incoming = std::string(25000, part);
    sockets.deliver(SocketEvent::Read);
    EXPECT_EQ(sockets.lastReceiveTarget, session.response.ReceiveBuffer.data() + before);
  }
  EXPECT_EQ(session.response.ReceiveBuffer.data(), storage) << "never moved to a larger block";
  EXPECT_EQ(session.response.ReceiveBuffer.view(), header + std::string(25000, 'a') + std::string(25000, 'b') +
                                                std::string(25000, 'c') + std::string(25000, 'd'));
  EXPECT_EQ(session.response.preparedRoom(), nullptr);
}

// A chunked response has no length to reserve for: past the heap's bound it
// moves once into a reservation and grows there, every read landing in
// place, until the memory for its pages runs out: code 3, the connection
// ends, and the pieces stored before stay whole.
TEST_F(ConnectionTest, AChunkedResponseGrowsInPlaceUntilMemoryRunsOut) {
  addressSpace.memory = 6 << 20;
  createClient();
  connectNow();
  send("GET / HTTP/1.1\r\n\r\n");
  const std::string header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  sockets.incoming = header;
  sockets.deliver(SocketEvent::Read);
  const std::string piece = "80000\r\n" + std::string(0x80000, 'c') + "\r\n";
  const char* storage = session.response.ReceiveBuffer.data();
  int moves = 0;
  for (int arrival = 0; arrival < 64 && host.seen.back().first == 4; ++arrival) {
    const std::size_t before = session.response.ReceiveBuffer.size();
    sockets.incoming = piece;
    sockets.deliver(SocketEvent::Read);
    if (host.seen.back().first != 4) break;
    EXPECT_EQ(sockets.lastReceiveTarget, session.response.ReceiveBuffer.data() + before) << "arrival " << arrival;
    moves += session.response.ReceiveBuffer.data() != storage;
    storage = session.response.ReceiveBuffer.data();
  }
  EXPECT_LE(moves, 2) << "the heap's blocks, then one reservation";
  EXPECT_EQ(host.seen.back().first, 3);
  EXPECT_EQ(session.lastFailure, kOutOfMemory);
  EXPECT_NE(status().find(" ofline "), std::string::npos) << status();
  const std::size_t stored = session.response.ReceiveBuffer.size();
  EXPECT_EQ((stored - header.size()) % piece.size(), 0u);
  EXPECT_GT(stored, addressSpace.memory - piece.size() - (1 << 20)) << "the memory was used before it ran out";
  EXPECT_EQ(addressSpace.reservations(), 1u);
}

TEST_F(ConnectionTest, BytesStillReadableAtTheCloseLandBeforeTheDisconnectIsReported) {
  createClient();
  connectNow();
  send("GET / HTTP/1.1\r\n\r\n");
  std::vector<std::pair<std::int32_t, std::size_t>> buffered;
  host.onClick = [&] {
    buffered.emplace_back(session.exchange.ExchangeValue, session.response.ReceiveBuffer.size());
  };
  sockets.incoming = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody";
  sockets.deliver(SocketEvent::Close);
  const std::vector<std::pair<std::int32_t, std::size_t>> expected = {{4, 42}, {2, 42}};
  EXPECT_EQ(buffered, expected);
  EXPECT_EQ(session.response.ReceiveBuffer.view(), "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody");
}

TEST_F(ConnectionTest, CommandsWithoutAClientDoNothing) {
  SetHostAddress(session, "10.0.0.1");
  SetPort(session, 80);
  Connect(session);
  Disconnect(session);
  SendRequest(session, "request");
  EXPECT_EQ(StatusText(session), std::nullopt);
  EXPECT_TRUE(host.posted.empty());
  EXPECT_TRUE(sockets.calls.empty());
  EXPECT_FALSE(session.response.LengthPending) << "no request went out, so no response was opened";
  SetHostByName(session, "localhost");
  EXPECT_TRUE(host.posted.empty()) << "a resolved address would be dropped: nothing is looked up";
  EXPECT_EQ(sockets.startups, 0);
}

}  // namespace
}  // namespace tcp
