// Peers that misbehave, through the real DLL: whatever a server sends or does,
// the host gets the events it is promised, the received bytes stay intact, the
// commands still answer, and the host lives on.
#include <float.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "child_process.h"
#include "exchange_fixture.h"
#include "process_counters.h"

using tcphost::closeGracefully;
using tcphost::dripBytes;
using tcphost::pause;
using tcphost::readBytes;
using tcphost::readUntil;
using tcphost::resetConnection;
using tcphost::ScriptedServer;
using tcphost::sendBytes;

namespace tcptest {
namespace {

constexpr DWORD kChildTimeoutMs = 120000;
constexpr std::size_t kMiB = 1 << 20;
const std::string kRequest = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

std::string patterned(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
  return bytes;
}

std::string withLength(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

class HostilePeerTest : public ExchangeTest {
 protected:
  // Connects, sends the request and waits until the connection has ended.
  void exchange(const ScriptedServer& server) {
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", kRequest);
    ASSERT_TRUE(waitFor(2)) << "codes so far: " << ::testing::PrintToString(codes());
  }

  std::string result(const char* name) {
    plugin.command(name);
    return plugin.getFile();
  }

  std::string result(const char* name, const std::string& text) {
    command(name, text);
    return plugin.getFile();
  }

  // The events of one exchange as the host reads them: connected, then data
  // arrivals, and the close last; an error may come right before the close (a
  // reset is an error that closes). Clicks are posted, so a later event may
  // have replaced an earlier one by the time the host reads the slots.
  void expectConnectedArrivalsClosed() {
    const std::vector<std::int32_t> seen = codes();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), 1) << ::testing::PrintToString(seen);
    EXPECT_EQ(seen.back(), 2) << ::testing::PrintToString(seen);
    const auto firstClose = std::find(seen.begin() + 1, seen.end(), 2);
    const auto firstError = std::find(seen.begin() + 1, seen.end(), 3);
    EXPECT_TRUE(std::all_of(seen.begin() + 1, std::min(firstClose, firstError), [](std::int32_t code) { return code == 4; }))
        << ::testing::PrintToString(seen);
    EXPECT_TRUE(std::all_of(firstClose, seen.end(), [](std::int32_t code) { return code == 2; }))
        << ::testing::PrintToString(seen);
    EXPECT_LE(std::count(seen.begin(), seen.end(), 3), 1) << ::testing::PrintToString(seen);
  }

  // The library goes on: a new exchange on it gets its whole response.
  void expectANewExchangeWorks() {
    const std::string response = withLength("fresh");
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()});
    host.clear();
    exchange(server);
    EXPECT_EQ(result("recev"), response) << "a new exchange after the hostile one";
    EXPECT_EQ(result("makechunkeds"), "fresh");
  }
};

TEST_F(HostilePeerTest, AResetInTheMiddleOfABodyKeepsWhatArrived) {
  const std::string partial = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'x');
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(partial), pause(200), resetConnection()});
  exchange(server);
  expectConnectedArrivalsClosed();
  EXPECT_EQ(result("recev"), partial);
  EXPECT_EQ(result("getotvetlen"), "1000");
  EXPECT_EQ(result("gethtml0"), std::string(500, 'x'));
  EXPECT_EQ(result("status"), "host 127.0.0.1 Port " + std::to_string(server.port()) + " ofline bufer " +
                                  std::to_string(partial.size()));
  expectANewExchangeWorks();
}

TEST_F(HostilePeerTest, ACloseInTheMiddleOfAChunkKeepsTheDataDecodedSoFar) {
  const std::string partial = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n10\r\nabcde";
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(partial), closeGracefully()});
  exchange(server);
  expectConnectedArrivalsClosed();
  EXPECT_EQ(result("makechunkeds"), "helloabcde");
  command("savebin", "cut-chunk.bin");
  EXPECT_EQ(readFile("cut-chunk.bin"), "helloabcde");
  EXPECT_EQ(result("recev"), partial);
  expectANewExchangeWorks();
}

TEST_F(HostilePeerTest, AOneBytePerMillisecondDripArrivesWholeWithSaneProgress) {
  const std::string response = withLength(patterned(5000 - 41));
  ASSERT_EQ(response.size(), 5000u);
  ScriptedServer server({readUntil("\r\n\r\n"), dripBytes(response, 1), pause(100), closeGracefully()}, 1, 60000);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", kRequest);
  ASSERT_TRUE(host.waitForCode(2, 60000));
  expectConnectedArrivalsClosed();
  command("savebinall", "drip.bin");
  EXPECT_TRUE(readFile("drip.bin") == response);
  double previous = -1;
  for (const tcphost::Notification& notification : host.notifications()) {
    if (notification.code != 4 || notification.text == kRequest) continue;
    const double percent = std::strtod(notification.text.c_str(), nullptr);
    EXPECT_GE(percent, previous) << "progress never goes back: " << notification.text;
    EXPECT_LE(percent, 100.0 * 5000 / (5000 - 41) + 1e-9) << notification.text;
    previous = percent;
  }
  EXPECT_GT(previous, 100.0) << "the last arrival reports the whole response";
  expectANewExchangeWorks();
}

TEST_F(HostilePeerTest, ASilentServerIsDisconnectedByTheHost) {
  ScriptedServer server({readUntil("\r\n\r\n"), readBytes(1)});
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", kRequest);
  host.pumpFor(300);
  EXPECT_EQ(codes(), std::vector<std::int32_t>{1}) << "nothing arrives, nothing is reported";
  const std::string status = result("status");
  EXPECT_EQ(status.rfind("host 127.0.0.1 Port ", 0), 0u) << status;
  EXPECT_EQ(status.substr(status.size() - 15), " online bufer 0") << status;
  plugin.command("disconect");
  ASSERT_TRUE(waitFor(2));
  const ULONGLONG start = GetTickCount64();
  server.join();
  EXPECT_LT(GetTickCount64() - start, 5000u) << "the server sees the connection end";
  EXPECT_EQ(codes(), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(result("recev", "before"), "");
  expectANewExchangeWorks();
}

TEST_F(HostilePeerTest, ASixtyFourMebibyteBurstArrivesWholeAndItsStorageIsReleasedBySendc) {
  const std::string body = patterned(64 * kMiB);
  const std::string response = withLength(body);
  {
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()}, 1, 60000);
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", kRequest);
    ASSERT_TRUE(host.waitForCode(2, 60000));
  }
  expectConnectedArrivalsClosed();
  EXPECT_EQ(result("getotvetlen"), std::to_string(body.size()));
  command("savebinall", "burst-all.bin");
  EXPECT_TRUE(readFile("burst-all.bin") == response);
  command("savebin", "burst.bin");
  EXPECT_TRUE(readFile("burst.bin") == body);
  DeleteFileA("burst-all.bin");
  DeleteFileA("burst.bin");
  plugin.command("makechunkeds");

  // The receive buffer and the decoded body hold 64 MiB each; a new request
  // must give that back instead of keeping it for the library's lifetime.
  const std::size_t before = privateMemory().now;
  command("sendc", kRequest);
  ASSERT_TRUE(waitFor(3)) << "sending without a connection";
  const std::size_t after = privateMemory().now;
  EXPECT_GE(before, after + 100 * kMiB) << "private bytes before sendc " << before << ", after " << after;
  expectANewExchangeWorks();
}

TEST_F(HostilePeerTest, AZeroByteResponseGivesEmptyResultsAndLeavesTheHeaderUnchanged) {
  ScriptedServer server({readUntil("\r\n\r\n"), closeGracefully()});
  exchange(server);
  EXPECT_EQ(codes(), (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(result("recev", "before"), "");
  EXPECT_EQ(result("getheader", "before"), "before");
  EXPECT_EQ(result("gethtml0", "before"), "");
  EXPECT_EQ(result("gethtml", "before"), "");
  EXPECT_EQ(result("getotvetlen", "before"), "0");
  EXPECT_EQ(result("makechunkeds", "before"), "");
  EXPECT_EQ(result("status"),
            "host 127.0.0.1 Port " + std::to_string(server.port()) + " ofline bufer 0");
  expectANewExchangeWorks();
}

// A chunk size of 80000000 hexadecimal or more, however many digits, ends the
// decoding: the data before it stays, and no framing after it lands in the
// body or in the file savebin writes.
TEST_F(HostilePeerTest, AHugeChunkSizeEndsTheDecodingAndNoFramingLandsInTheBody) {
  for (const char* size : {"FFFFFFFFF", "100000005", "10000000000000005", "80000000", "7fffffff00000003"}) {
    SCOPED_TRACE(size);
    const std::string response = std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") +
                                 "5\r\nhello\r\n" + size + "\r\nframing\r\n3\r\nabc\r\n0\r\n\r\n";
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()});
    host.clear();
    exchange(server);
    EXPECT_EQ(result("makechunkeds"), "hello");
    command("savebin", "huge-chunk.bin");
    EXPECT_EQ(readFile("huge-chunk.bin"), "hello");
    plugin.setFile("hel");
    plugin.setFile("o");
    EXPECT_EQ(result("parserez"), "l");
    EXPECT_EQ(result("recev"), response);
  }
  expectANewExchangeWorks();
}

// Tens of mebibytes of bare CRs make a header block that no real server
// sends; splitting it must cost at most a few times its own size.
TEST_F(HostilePeerTest, DISABLED_AFortyMebibyteBlockOfBareCrsCostsAFewTimesItsSize) {
  EndOnUnhandledException();
  const std::size_t block = 40 * kMiB;
  std::string response = "HTTP/1.1 200 OK\r\nX-A: 1\r\n" + std::string(block, '\r') + "\r\n\r\nbody";
  {
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()}, 1, 60000);
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", kRequest);
    ASSERT_TRUE(host.waitForCode(2, 60000));
  }
  response = std::string();
  const PrivateMemory before = privateMemory();
  EXPECT_EQ(result("makechunkeds"), "body");
  const PrivateMemory after = privateMemory();
  const std::size_t bound = 4 * block;
  EXPECT_LE(after.now, before.now + bound) << "kept after makechunkeds: " << (after.now - before.now) / kMiB
                                           << " MiB for a " << block / kMiB << " MiB block";
  EXPECT_LE(after.peak, std::max(before.peak, before.now + bound))
      << "peak during makechunkeds: " << (after.peak - before.now) / kMiB << " MiB above the start, for a "
      << block / kMiB << " MiB block";
  EXPECT_EQ(result("getheadername", "x-a"), "X-A: 1");
  EXPECT_EQ(result("gethtml0"), "body");
  expectANewExchangeWorks();
}

TEST(HostilePeerInAChild, AFortyMebibyteBlockOfBareCrsCostsAFewTimesItsSize) {
  const DWORD exitCode =
      RunTestInChildProcess("HostilePeerTest.DISABLED_AFortyMebibyteBlockOfBareCrsCostsAFewTimesItsSize", kChildTimeoutMs);
  EXPECT_EQ(exitCode, 0u) << DescribeExit(exitCode);
}

// Some hosts run with floating-point exceptions unmasked. A length beyond any
// real response is no usable length: getotvetlen gives "0" and the progress
// leaves the text slot as it is, as for a response that declares none.
TEST_F(HostilePeerTest, DISABLED_AFourHundredDigitLengthInAHostWithFloatingPointTraps) {
  EndOnUnhandledException();
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 1" + std::string(399, '0') + "\r\n\r\nabc";
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), pause(100), closeGracefully()});
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  _clearfp();
  const unsigned int saved = _controlfp(0, 0);
  _controlfp(saved & ~static_cast<unsigned int>(_EM_OVERFLOW | _EM_INVALID | _EM_ZERODIVIDE), _MCW_EM);
  command("sendc", kRequest);
  const bool closed = waitFor(2);
  const std::string length = result("getotvetlen");
  _clearfp();
  _controlfp(saved, _MCW_EM);
  ASSERT_TRUE(closed);
  expectConnectedArrivalsClosed();
  EXPECT_EQ(length, "0");
  for (const tcphost::Notification& notification : host.notifications()) {
    if (notification.code != 4) continue;
    EXPECT_EQ(notification.text, kRequest) << "the progress text stays unchanged";
  }
  EXPECT_EQ(result("recev"), response);
  expectANewExchangeWorks();
}

TEST(HostilePeerInAChild, AFourHundredDigitLengthInAHostWithFloatingPointTraps) {
  const DWORD exitCode = RunTestInChildProcess(
      "HostilePeerTest.DISABLED_AFourHundredDigitLengthInAHostWithFloatingPointTraps", kChildTimeoutMs);
  EXPECT_EQ(exitCode, 0u) << DescribeExit(exitCode);
}

}  // namespace
}  // namespace tcptest
