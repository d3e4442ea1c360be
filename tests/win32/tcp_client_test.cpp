// The socket client on the real Windows Sockets and its hidden window, linked
// into the test program, against loopback servers the tests run.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "scripted_server.h"
#include "tcpsocket/tcp_client.h"
#include "win32/win32_platform.h"

using tcphost::closeGracefully;
using tcphost::pause;
using tcphost::readBytes;
using tcphost::ScriptedServer;
using tcphost::sendBytes;

namespace {

constexpr int kTimeoutMs = 10000;

BOOL CALLBACK keepSocketWindow(HWND window, LPARAM found) {
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "TCPSocket") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The hidden window of this thread's client.
HWND socketWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &keepSocketWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

class Win32TcpClientTest : public ::testing::Test {
 protected:
  Win32TcpClientTest()
      : client(std::make_unique<tcp::TcpClient>(*tcp::win32::platform().sockets,
                                                [this](const std::string& text) { messages.push_back(text); })) {
    client->OnConnect = [this](tcp::TcpClient&) { events.push_back("connect"); };
    client->OnDisconnect = [this](tcp::TcpClient&) { events.push_back("disconnect"); };
    client->OnError = [this](tcp::TcpClient&, std::int32_t code) { events.push_back("error " + std::to_string(code)); };
    client->OnRead = [this](tcp::TcpClient&, const char* buffer, std::int32_t, std::int32_t count) {
      largestRead = std::max(largestRead, count);
      if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
    };
    client->setHost("127.0.0.1");
  }

  void connectTo(std::uint16_t port) {
    client->setPort(port);
    client->Connect();
  }

  // Dispatches this thread's messages (the socket window's among them) until
  // the event has been raised or the time is up.
  bool waitFor(const std::string& event) {
    const DWORD start = GetTickCount();
    const auto seen = [&] { return std::find(events.begin(), events.end(), event) != events.end(); };
    while (!seen()) {
      if (GetTickCount() - start > kTimeoutMs) return false;
      MSG message;
      while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
      if (!seen()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return true;
  }

  std::vector<std::string> events;
  std::vector<std::string> messages;
  std::string received;
  std::int32_t largestRead = 0;
  std::unique_ptr<tcp::TcpClient> client;
};

TEST_F(Win32TcpClientTest, ARefusedConnectionReports10061AndStaysClosed) {
  connectTo(ScriptedServer::closedPort());
  ASSERT_TRUE(waitFor("error 10061"));
  EXPECT_EQ(events, std::vector<std::string>{"error 10061"});
  EXPECT_FALSE(client->Connected());
  EXPECT_FALSE(client->Connecting());
  EXPECT_EQ(client->socket(), tcp::kNoSocket);
  EXPECT_TRUE(messages.empty());
}

TEST_F(Win32TcpClientTest, TheSocketWindowClassRunsTheDefaultProcedure) {
  connectTo(ScriptedServer::closedPort());
  ASSERT_TRUE(waitFor("error 10061"));
  WNDCLASSA socketClass = {};
  ASSERT_TRUE(GetClassInfoA(tcp::win32::thisModule(), "TCPSocket", &socketClass));
  EXPECT_EQ(socketClass.lpfnWndProc, &DefWindowProcA);
}

// Answering 0 to everything would refuse the end of the session.
TEST_F(Win32TcpClientTest, TheSocketWindowLeavesOtherMessagesToTheDefaultProcedure) {
  connectTo(ScriptedServer::closedPort());
  ASSERT_TRUE(waitFor("error 10061"));
  const HWND window = socketWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), 0);
}

// Each message is one event: events not asked for, alone or together, are
// ignored, and a code of 10000 or less is no error.
TEST_F(Win32TcpClientTest, TheSocketWindowDecodesEventAndError) {
  ScriptedServer server({pause(5000)});
  connectTo(server.port());
  ASSERT_TRUE(waitFor("connect"));
  const HWND window = socketWindow();
  ASSERT_NE(window, nullptr);
  struct Case {
    WORD event;
    WORD error;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {FD_OOB, WSAECONNRESET, {}},
      {FD_READ | FD_WRITE, WSAECONNRESET, {}},
      {FD_WRITE, 10000, {}},
      {FD_WRITE, WSAECONNRESET, {"error 10054"}},
      {FD_CLOSE, 0, {"disconnect"}},
  };
  for (const Case& c : cases) {
    events.clear();
    SendMessageA(window, WM_USER + 1, client->socket(), WSAMAKESELECTREPLY(c.event, c.error));
    EXPECT_EQ(events, c.events) << c.event << " " << c.error;
  }
}

TEST_F(Win32TcpClientTest, TextThatIsNoAddressFailsBeforeAnySocketExists) {
  for (const std::string& host : {std::string("localhost"), std::string("127.0.0.1\0junk", 14)}) {
    events.clear();
    client->setHost(host);
    client->Connect();
    EXPECT_EQ(events, std::vector<std::string>{"error 10022"});
    EXPECT_EQ(client->socket(), tcp::kNoSocket);
  }
  tcp::SocketSystem& sockets = *tcp::win32::platform().sockets;
  ASSERT_EQ(sockets.startup(), 0);
  EXPECT_EQ(sockets.lookUpHost("127.0.0.1").value, "127.0.0.1");
  const tcp::SocketResult<std::string> cut = sockets.lookUpHost(std::string("127.0.0.1\0junk", 14));
  EXPECT_EQ(cut.value, "");
  EXPECT_EQ(cut.error, WSAHOST_NOT_FOUND);
  const tcp::SocketResult<std::string> rejected = sockets.lookUpHost("a..b");
  EXPECT_EQ(rejected.value, "");
  EXPECT_NE(rejected.error, 0) << "a failed lookup says why";
  sockets.cleanup();
}

// The system may give the new socket the handle of the one just closed, so
// the handle alone cannot tell a stale message from a current one.
TEST_F(Win32TcpClientTest, MessagesQueuedForTheOldSocketLeaveTheNextConnectionAlone) {
  ScriptedServer old({sendBytes("old"), closeGracefully()});
  ScriptedServer server({sendBytes("new"), closeGracefully()});
  connectTo(old.port());
  ASSERT_TRUE(waitFor("connect"));
  Sleep(300);  // the old connection's read and close events wait in the queue
  connectTo(server.port());
  events.clear();
  received.clear();
  ASSERT_TRUE(waitFor("connect"));
  ASSERT_TRUE(waitFor("disconnect"));
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));
  EXPECT_EQ(received, "new") << "the old connection's bytes went with it";
}

TEST_F(Win32TcpClientTest, TwoMebibytesArriveWholeAndInOrderAtMostOneMebibyteARead) {
  std::string response(2 << 20, '\0');
  for (std::size_t i = 0; i < response.size(); ++i) response[i] = static_cast<char>(i % 251);
  ScriptedServer server({sendBytes(response), closeGracefully()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor("disconnect"));
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));
  EXPECT_EQ(received.size(), response.size());
  EXPECT_TRUE(received == response);
  EXPECT_LE(largestRead, 1 << 20);
  EXPECT_EQ(client->socket(), tcp::kNoSocket);
}

TEST_F(Win32TcpClientTest, TenMebibytesSentInOneCallReachTheServerWhole) {
  std::string request(10 << 20, '\0');
  for (std::size_t i = 0; i < request.size(); ++i) request[i] = static_cast<char>('a' + i % 26);
  ScriptedServer server({readBytes(request.size()), sendBytes("done"), closeGracefully()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor("connect"));
  EXPECT_NE(client->port(), server.port()) << "while connected, the local port";
  client->SendText(request);
  ASSERT_TRUE(waitFor("disconnect"));
  server.join();
  EXPECT_EQ(server.received().size(), request.size());
  EXPECT_TRUE(server.received() == request);
  EXPECT_EQ(received, "done");
  EXPECT_EQ(events, (std::vector<std::string>{"connect", "disconnect"}));
  EXPECT_EQ(client->port(), server.port()) << "reading the local port kept the port to connect to";
}

}  // namespace
