// Queued events through the real DLL: responses on one kept connection, each
// ended by exactly one code 7, the ways a response ends, and clicks the
// plug-in never posted.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "exchange_fixture.h"

using tcphost::closeGracefully;
using tcphost::pause;
using tcphost::readUntil;
using tcphost::ScriptedServer;
using tcphost::sendBytes;
using tcphost::ServerStep;

namespace tcptest {
namespace {

constexpr int kResponses = 100;
constexpr std::size_t kLargestBody = 1 << 20;

// Bytes of every value, zeros included, different for each seed.
std::string binaryBody(std::size_t size, unsigned seed) {
  std::string body(size, '\0');
  unsigned state = seed * 2654435761u + 1;
  for (char& byte : body) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return body;
}

// Chunks of varying sizes, some with an extension, and a trailer.
std::string chunked(const std::string& body, unsigned seed) {
  std::string framed = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  char size[32];
  for (std::size_t at = 0, n = 0; at < body.size(); ++n) {
    const std::size_t piece = std::min(body.size() - at, std::size_t{1} + (seed * 7919 + n * 104729) % 65536);
    std::snprintf(size, sizeof size, n % 3 == 0 ? "%zx;n=%zu\r\n" : "%zX\r\n", piece, n);
    framed.append(size).append(body, at, piece).append("\r\n");
    at += piece;
  }
  return framed + "0\r\nX-Trailer: done\r\n\r\n";
}

std::string withLength(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class QueuedExchange : public QueuedExchangeTest {
 protected:
  // A click the plug-in never posted, as a mouse click on the window makes.
  void foreignClick() {
    PostMessageA(host.handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 4));
    PostMessageA(host.handle(), WM_LBUTTONUP, 0, MAKELPARAM(3, 4));
  }
  int count(std::int32_t code, std::size_t from = 0) const {
    const auto& seen = host.notifications();
    return static_cast<int>(std::count_if(seen.begin() + static_cast<std::ptrdiff_t>(from), seen.end(),
                                          [&](const tcphost::Notification& n) { return n.code == code; }));
  }
  // The codes since from, with each run of code 4 as one.
  std::vector<std::int32_t> codesSince(std::size_t from) const {
    std::vector<std::int32_t> codes;
    for (std::size_t i = from; i < host.notifications().size(); ++i) {
      const std::int32_t code = host.notifications()[i].code;
      if (code != 4 || codes.empty() || codes.back() != 4) codes.push_back(code);
    }
    return codes;
  }
};

TEST_F(QueuedExchange, HundredResponsesOnOneKeptConnectionEachEndWithOneCode7) {
  std::vector<std::string> bodies;
  std::vector<ServerStep> steps;
  for (int i = 0; i < kResponses; ++i) {
    bodies.push_back(binaryBody(kLargestBody * static_cast<std::size_t>(i) / (kResponses - 1), unsigned(i)));
    steps.push_back(readUntil("\r\n\r\n"));
    steps.push_back(sendBytes(i % 2 == 0 ? withLength(bodies.back()) : chunked(bodies.back(), unsigned(i))));
  }
  steps.push_back(closeGracefully());
  ScriptedServer server(std::move(steps), 1, 120000);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  for (int i = 0; i < kResponses; ++i) {
    SCOPED_TRACE("response " + std::to_string(i));
    if (i % 10 == 5) foreignClick();
    const std::size_t before = host.notifications().size();
    command("sendc", "GET /" + std::to_string(i) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(waitFor(7));
    const std::vector<std::int32_t> codes = codesSince(before);
    // The server closes right after the last response: its code 2 may be in already.
    EXPECT_EQ(std::vector<std::int32_t>(codes.begin(), codes.begin() + std::min<std::size_t>(2, codes.size())),
              (std::vector<std::int32_t>{4, 7}));
    if (i + 1 < kResponses) {
      EXPECT_EQ(codes.size(), 2u);
    }
    const auto complete = std::find_if(host.notifications().begin() + static_cast<std::ptrdiff_t>(before),
                                       host.notifications().end(), [](const auto& n) { return n.code == 7; });
    EXPECT_EQ(complete->text, "200");
    EXPECT_EQ(textAfter("getsize"), std::to_string(bodies[i].size()));
    EXPECT_EQ(plugin.getData(), 2);
    command("savebin", "keptbody.bin");
    EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(bodies[i].size()));
    ASSERT_EQ(readFile("keptbody.bin"), bodies[i]);
  }
  ASSERT_TRUE(host.pumpUntil([&] { return count(2) == 1; }, kEventTimeoutMs));
  server.join();
  EXPECT_EQ(count(7), kResponses) << "never a second code 7";
  EXPECT_EQ(server.accepted(), 1);
  EXPECT_EQ(host.emptyClicks(), kResponses / 10) << "each click the plug-in did not post read nothing";
  DeleteFileA("keptbody.bin");
}

TEST_F(QueuedExchange, EachWayAResponseEndsIsToldInOrder) {
  struct Case {
    const char* name;
    std::string request;
    std::vector<ServerStep> answer;
    std::vector<std::int32_t> codes;
    std::int32_t status;
    std::string reason;
    std::string size;
    std::int32_t state;
    std::string failure;
  };
  const std::string head = "HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  const std::string get = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
  const Case cases[] = {
      {"HEAD with a length", head, {sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n")}, {4, 7}, 200, "OK", "0", 2, ""},
      {"204 with a length", get, {sendBytes("HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\n")}, {4, 7}, 204, "No Content", "0", 2, ""},
      {"304", get, {sendBytes("HTTP/1.1 304 Not Modified\r\nContent-Length: 4\r\n\r\n")}, {4, 7}, 304, "Not Modified", "0", 2, ""},
      {"100 Continue, then 201",
       get,
       {sendBytes("HTTP/1.1 100 Continue\r\n\r\n"), pause(100), sendBytes("HTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok")},
       {4, 7}, 201, "Created", "2", 2, ""},
      {"ended by the close", get, {sendBytes("HTTP/1.0 200 OK\r\n\r\nabc"), closeGracefully()}, {4, 7, 2}, 200, "OK", "3", 2, ""},
      {"cut short by the close",
       get,
       {sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc"), closeGracefully()},
       {4, 3, 2}, 200, "OK", "3", 3, "TCP_E_RESPONSE_TRUNCATED"},
      {"differing lengths",
       get,
       {sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd"), pause(3000)},
       {4, 3, 2}, 200, "OK", "0", 3, "TCP_E_BAD_CONTENT_LENGTH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<ServerStep> steps = {readUntil("\r\n\r\n")};
    steps.insert(steps.end(), c.answer.begin(), c.answer.end());
    steps.push_back(pause(2000));
    ScriptedServer server(std::move(steps));
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    const std::size_t before = host.notifications().size();
    command("sendc", c.request);
    ASSERT_TRUE(waitFor(c.codes.back()));
    EXPECT_EQ(codesSince(before), c.codes);
    EXPECT_EQ(textAfter("getstatus"), c.reason);
    EXPECT_EQ(plugin.getData(), c.status);
    EXPECT_EQ(textAfter("getsize"), c.size);
    EXPECT_EQ(plugin.getData(), c.state);
    EXPECT_EQ(textAfter("lasterror"), c.failure);
    plugin.command("disconect");
  }
}

// The lookup runs in the background: sethost comes back before its code 5,
// and a kconect given at once waits for the address, then connects to it.
TEST_F(QueuedExchange, SethostReturnsAtOnceAndAKconectRightAfterItConnects) {
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(withLength("kept")), pause(2000)});
  command("sethost", "localhost");
  plugin.command("nextevent");
  EXPECT_EQ(plugin.getData(), 0) << "no answer yet when sethost returns";
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  EXPECT_EQ(codes(), (std::vector<std::int32_t>{5, 1}));
  // The first of localhost's addresses: ::1 where the hosts file has it too
  // (the race then moves on to the server's 127.0.0.1).
  const std::string first = host.notifications().front().text;
  EXPECT_TRUE(first == "127.0.0.1" || first == "::1") << first;
  command("sendc", "GET / HTTP/1.1\r\nHost: localhost\r\n\r\n");
  ASSERT_TRUE(waitFor(7));
  plugin.command("disconect");
  server.join();
}

TEST_F(QueuedExchange, AServerOnTheIPv6LoopbackIsReachedBySetipAndBySethost) {
  for (const char* command : {"setip", "sethost"}) {
    SCOPED_TRACE(command);
    const std::size_t from = host.notifications().size();
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(withLength("over six")), pause(2000)}, 1, 15000,
                          tcphost::Loopback::Ipv6);
    this->command(command, command == std::string("setip") ? "[::1]" : "::1");
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1)) << textAfter("lasterror");
    this->command("sendc", "GET / HTTP/1.1\r\nHost: [::1]\r\n\r\n");
    ASSERT_TRUE(waitFor(7));
    EXPECT_EQ(textAfter("gethtml0"), "over six");
    const std::string shown = command == std::string("setip") ? "[::1]" : "::1";
    EXPECT_EQ(textAfter("status").substr(0, 5 + shown.size() + 6), "host " + shown + " Port ");
    EXPECT_EQ(count(5, from), command == std::string("setip") ? 0 : 1) << "an address is answered at once";
    plugin.command("disconect");
    server.join();
  }
}

// A name whose IPv6 address comes first, where nothing listens, and whose
// IPv4 address has the server: the race moves on to it at once, and code 1
// comes once. Only a machine whose hosts file gives a name both addresses
// can show it; the emulated one's does, and names it in TCP_TEST_DUAL_NAME
// (elsewhere the lookup of such a name would go out to the network).
TEST_F(QueuedExchange, ANameWhoseIpv6AddressRefusesIsReachedOverIpv4) {
  const char* name = std::getenv("TCP_TEST_DUAL_NAME");
  if (!name) GTEST_SKIP() << "no name with ::1 and 127.0.0.1 in this machine's hosts file (TCP_TEST_DUAL_NAME)";
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(withLength("by IPv4")), pause(2000)});
  command("sethost", name);
  ASSERT_TRUE(host.pumpUntil([&] { return seen(5) || seen(6); }, kEventTimeoutMs));
  ASSERT_EQ(host.notifications().back().code, 5);
  ASSERT_EQ(host.notifications().back().text, "::1") << "the IPv6 address comes first";
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1)) << textAfter("lasterror");
  command("sendc", "GET / HTTP/1.1\r\nHost: dual.test\r\n\r\n");
  ASSERT_TRUE(waitFor(7));
  EXPECT_EQ(textAfter("gethtml0"), "by IPv4");
  EXPECT_EQ(count(1), 1);
  EXPECT_EQ(count(3), 0);
  plugin.command("disconect");
  server.join();
}

TEST_F(QueuedExchange, AForeignClickReadsNothingAndAFailedLookupSaysWhy) {
  foreignClick();
  host.pumpFor(100);
  EXPECT_EQ(host.emptyClicks(), 1);
  EXPECT_TRUE(host.notifications().empty());
  plugin.command("lasterror");
  EXPECT_EQ(plugin.getData(), 0);
  command("sethost", "a..b");
  ASSERT_TRUE(waitFor(6));
  EXPECT_EQ(host.notifications().back().text, "no ip");
  EXPECT_FALSE(textAfter("lasterror").empty());
  EXPECT_GT(plugin.getData(), 11000) << "a Windows Sockets resolver code";
  command("sethost", "127.0.0.1");
  ASSERT_TRUE(waitFor(5));
  EXPECT_EQ(textAfter("lasterror"), "") << "sethost starts with no failure on record";
}

}  // namespace
}  // namespace tcptest
