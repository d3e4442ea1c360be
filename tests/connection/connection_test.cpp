#include "connection/connection.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_sockets.h"
#include "fake_window_system.h"

namespace tcp {
namespace {

using namespace std::string_literals;

// A host that reads both slots at every button-up it is posted.
class ReadingHost : public testing::FakeWindowSystem {
 public:
  explicit ReadingHost(LibraryState& state) : state_(state) {}
  void postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    FakeWindowSystem::postMessage(window, message, wParam, lParam);
    if (message != kLeftButtonUp) return;
    seen.emplace_back(state_.exchange.ExchangeValue, state_.exchange.ExchangeText);
    if (onClick) onClick();
  }
  std::vector<std::pair<std::int32_t, std::string>> seen;
  std::function<void()> onClick;

 private:
  LibraryState& state_;
};

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() : host(state) {
    state.platform.sockets = &sockets;
    state.platform.windows = &host;
    sockets.hosts = {{"localhost", "127.0.0.1"}, {"10.0.0.7", "10.0.0.7"}};
  }
  void createClient() {
    client = CreateConnectionClient(state);
    state.client = client.get();
  }
  void connectNow() {
    kconect(state);
    sockets.deliver(SocketEvent::Connect);
  }
  void send(const std::string& request) {
    state.exchange.setFile(request.c_str());
    sendc(state);
  }
  void arrive(const std::string& piece) { HandleDataRead(state, piece.data(), static_cast<std::int32_t>(piece.size())); }
  std::string run(void (*command)(LibraryState&)) {
    command(state);
    return state.exchange.ExchangeText;
  }

  LibraryState state;
  fakes::FakeSockets sockets;
  ReadingHost host;
  std::unique_ptr<TcpClient> client;
};

TEST_F(ConnectionTest, StatusShowsHostPortStateAndBuffer) {
  createClient();
  EXPECT_EQ(run(status), "host 127.0.0.1 Port 1234 ofline bufer 0");
  state.exchange.ExchangeValue = 65616;
  setport(state);
  EXPECT_EQ(run(status), "host 127.0.0.1 Port 80 ofline bufer 0");
  state.exchange.ExchangeValue = 50000;
  setport(state);
  state.exchange.setFile("192.168.0.1");
  setip(state);
  EXPECT_EQ(run(status), "host 192.168.0.1 Port 50000 ofline bufer 0");
  state.exchange.setFile("127.0.0.1");
  setip(state);
  connectNow();
  arrive("abc");
  EXPECT_EQ(run(status), "host 127.0.0.1 Port 50123 online bufer 3");
  disconect(state);
  EXPECT_EQ(run(status), "host 127.0.0.1 Port 50000 ofline bufer 3") << "status never changes the port";
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
    state.exchange.setFile(name);
    sethost(state);
    EXPECT_EQ(host.seen, (std::vector<std::pair<std::int32_t, std::string>>{expected})) << name;
  }
  EXPECT_EQ(client->host(), "10.0.0.7") << "a failed lookup keeps the host";
  EXPECT_EQ(sockets.startups, 1 + 3) << "the client's start, then one per lookup";
  EXPECT_EQ(sockets.cleanups, 3) << "each lookup stops the socket layer it started";
}

TEST_F(ConnectionTest, ReadsTheDeclaredLengthWhereverThePiecesAreCut) {
  struct Case {
    const char* name;
    std::string response;
    double length;
  };
  const Case cases[] = {
      {"one blank", "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nbody", 1000},
      {"no blank", "HTTP/1.1 200 OK\r\nContent-Length:1234\r\n\r\n", 1234},
      {"two blanks and a tab", "HTTP/1.1 200 OK\r\nContent-Length:  \t1234\r\n\r\n", 1234},
      {"other letter case", "HTTP/1.1 200 OK\r\ncontent-LENGTH: 77\r\n\r\n", 77},
      {"not inside another name", "HTTP/1.1 200 OK\r\nX-Content-Length: 5\r\nContent-Length: 7\r\n\r\n", 7},
      {"first of two", "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nContent-Length: 9\r\n\r\n", 8},
      {"no wrap above 2 GiB", "HTTP/1.1 200 OK\r\nContent-Length: 3000000000\r\n\r\n", 3000000000.0},
      {"sign", "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", 0},
      {"no header", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\nContent-Length: 5\r\n", 0},
      {"not a header line", "HTTP/1.1 200 OK Content-Length: 5\r\n\r\n", 0},
  };
  createClient();
  for (const Case& c : cases) {
    for (std::size_t cut = 0; cut <= c.response.size(); ++cut) {
      send("GET / HTTP/1.1\r\n\r\n");
      arrive(c.response.substr(0, cut));
      arrive(c.response.substr(cut));
      EXPECT_EQ(state.response.ResponseLength, c.length) << c.name << ", cut at " << cut;
      EXPECT_FALSE(state.response.LengthPending) << c.name << ", cut at " << cut;
    }
    send("GET / HTTP/1.1\r\n\r\n");
    for (char byte : c.response) arrive(std::string(1, byte));
    EXPECT_EQ(state.response.ResponseLength, c.length) << c.name << ", byte by byte";
  }
}

TEST_F(ConnectionTest, KeepsTheLengthPendingUntilItsLineOrTheBlockEnds) {
  createClient();
  send("GET / HTTP/1.1\r\n\r\n");
  arrive("HTTP/1.1 200 OK\r\nContent-Length: 12");
  EXPECT_TRUE(state.response.LengthPending);
  arrive("34\r\n");
  EXPECT_EQ(state.response.ResponseLength, 1234);
  arrive("Content-Length: 5\r\n");
  EXPECT_EQ(state.response.ResponseLength, 1234) << "later pieces leave the length alone";
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
  EXPECT_EQ(state.response.ReceiveBuffer.size(), 1200u);
}

TEST_F(ConnectionTest, WithoutADeclaredLengthTheTextSlotIsLeftAlone) {
  createClient();
  arrive("before any request\r\nContent-Length: 5\r\n\r\n");
  EXPECT_EQ(state.response.ResponseLength, 0) << "data before sendc is never searched";
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
  state.response.HeaderText = "h";
  state.response.DecodedBody = "d";
  state.response.HeaderLines = std::vector<std::string>{"kept"};
  send("second");
  EXPECT_EQ(sockets.sent, "firstsecond");
  EXPECT_EQ(state.response.ReceiveBuffer, "");
  EXPECT_EQ(state.response.ResponseLength, 0);
  EXPECT_TRUE(state.response.LengthPending);
  EXPECT_EQ(state.response.HeaderText, "");
  EXPECT_EQ(state.response.DecodedBody, "");
  EXPECT_EQ(*state.response.HeaderLines, std::vector<std::string>{"kept"});
  EXPECT_EQ(state.exchange.ExchangeText, "second");
}

TEST_F(ConnectionTest, RecevCopiesTheWholeBuffer) {
  createClient();
  arrive("a\0b\0c"s);
  EXPECT_EQ(run(recev), "a\0b\0c"s);
}

TEST_F(ConnectionTest, EventsBecomeCodesAndClicks) {
  createClient();
  connectNow();
  kconect(state);
  sockets.deliver(SocketEvent::Connect);
  sockets.incoming = "tail";
  sockets.deliver(SocketEvent::Close);
  disconect(state);
  send("no connection");
  const std::string connected = "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
  const std::string disconnected = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";
  const std::vector<std::pair<std::int32_t, std::string>> expected = {
      {1, connected}, {2, disconnected}, {1, connected}, {4, connected},
      {2, disconnected}, {3, "\xce\xf8\xe8\xe1\xea\xe0"}};
  EXPECT_EQ(host.seen, expected);
  EXPECT_EQ(state.response.ReceiveBuffer, "") << "sendc emptied what the close event brought";
}

TEST_F(ConnectionTest, BytesStillReadableAtTheCloseLandBeforeTheDisconnectIsReported) {
  createClient();
  connectNow();
  send("GET / HTTP/1.1\r\n\r\n");
  std::vector<std::pair<std::int32_t, std::size_t>> buffered;
  host.onClick = [&] { buffered.emplace_back(state.exchange.ExchangeValue, state.response.ReceiveBuffer.size()); };
  sockets.incoming = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody";
  sockets.deliver(SocketEvent::Close);
  const std::vector<std::pair<std::int32_t, std::size_t>> expected = {{4, 42}, {2, 42}};
  EXPECT_EQ(buffered, expected);
  EXPECT_EQ(run(recev), "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nbody");
}

TEST_F(ConnectionTest, CommandsWithoutAClientLeaveTheSlotsAlone) {
  state.exchange.setFile("request");
  state.exchange.ExchangeValue = 42;
  for (auto command : {setip, setport, kconect, disconect, sendc, status}) command(state);
  EXPECT_EQ(state.exchange.ExchangeText, "request");
  EXPECT_EQ(state.exchange.ExchangeValue, 42);
  EXPECT_TRUE(host.posted.empty());
  EXPECT_TRUE(sockets.calls.empty());
  state.exchange.setFile("localhost");
  sethost(state);
  EXPECT_EQ(host.seen, (std::vector<std::pair<std::int32_t, std::string>>{{5, "127.0.0.1"}}));
}

}  // namespace
}  // namespace tcp
