// A peer that declares a huge length and streams until the host's memory runs
// out. The program runs with a bounded address space (a limit around the Wine
// process, or the 32-bit user space), so the receive buffer must fail to
// grow: the host stays alive, gets code 3, and after disconect a new exchange
// works.
#include <algorithm>
#include <cstdio>
#include <string>

#include "child_process.h"
#include "exchange_fixture.h"

using tcphost::closeGracefully;
using tcphost::readBytes;
using tcphost::readUntil;
using tcphost::ScriptedServer;
using tcphost::sendBytes;
using tcphost::streamRepeated;

namespace tcptest {
namespace {

constexpr std::size_t kBlock = 1 << 20;
// More than any limit these tests run under; the stream ends there at the latest.
constexpr std::size_t kStreamedBlocks = 3 << 10;
constexpr int kStreamTimeoutMs = 300000;

TEST_F(ExchangeTest, AStreamPastTheAddressSpaceGivesCodeThreeAndTheHostGoesOn) {
  EndOnUnhandledException();
  {
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 100000000000\r\n\r\n"),
                           streamRepeated(std::string(kBlock, 'x'), kStreamedBlocks), closeGracefully()},
                          1, kStreamTimeoutMs);
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", "GET /endless HTTP/1.1\r\n\r\n");
    ULONGLONG reported = GetTickCount64();
    ASSERT_TRUE(host.pumpUntil(
        [&] {
          if (GetTickCount64() - reported >= 2000) {
            reported = GetTickCount64();
            plugin.command("status");
            std::printf("exhaustion: %s\n", plugin.getFile().c_str());
            std::fflush(stdout);
          }
          const std::vector<std::int32_t> seen = codes();
          return std::find(seen.begin(), seen.end(), 3) != seen.end() ||
                 std::find(seen.begin(), seen.end(), 2) != seen.end();
        },
        kStreamTimeoutMs));
    const std::vector<std::int32_t> seen = codes();
    EXPECT_NE(std::find(seen.begin(), seen.end(), 3), seen.end())
        << "the receive could not be stored: code 3, not the whole stream";
    plugin.command("lasterror");
    EXPECT_EQ(plugin.getFile(), "E_OUTOFMEMORY");
    EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(0x8007000E));
    plugin.command("status");
    EXPECT_EQ(plugin.getFile().rfind("host 127.0.0.1 Port ", 0), 0u) << plugin.getFile();
    plugin.command("disconect");
    host.pumpFor(100);
  }

  const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nafter";
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()});
  host.clear();
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET / HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(waitFor(2));
  plugin.command("recev");
  EXPECT_EQ(plugin.getFile(), response);
}

// A large request to a reader that waits before it reads: what the socket
// does not take waits in the queue, in the history's storage. It arrives
// whole and the next request right behind it, or the connection ends with
// code 3 and nothing after the cut; never a cut request glued to the next.
TEST_F(ExchangeTest, ALargeRequestToASlowReaderArrivesWholeOrEndsItsConnection) {
  EndOnUnhandledException();
  constexpr std::size_t kBody = 100'000'000;
  const std::string tail = "GET /-tail-of-next-request- HTTP/1.1\r\n\r\n";
  const std::string request =
      "POST /large HTTP/1.1\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n" + std::string(kBody, 'x');
  ScriptedServer server({tcphost::pause(1000), readBytes(request.size() + tail.size()), closeGracefully()}, 1,
                        kStreamTimeoutMs);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", request);
  command("sendc", tail);
  ASSERT_TRUE(host.pumpUntil(
      [&] {
        const std::vector<std::int32_t> seen = codes();
        return std::find(seen.begin(), seen.end(), 2) != seen.end() ||
               std::find(seen.begin(), seen.end(), 3) != seen.end();
      },
      kStreamTimeoutMs));
  plugin.command("disconect");
  server.join();
  const std::string& received = server.received();
  const std::vector<std::int32_t> seen = codes();
  if (std::find(seen.begin(), seen.end(), 3) == seen.end()) {
    // Only the tail when the large text could not even be set.
    EXPECT_TRUE(received == request + tail || received == tail)
        << received.size() << " bytes: not the two requests whole and in order";
  } else {
    plugin.command("lasterror");
    EXPECT_EQ(plugin.getFile(), "E_OUTOFMEMORY");
    EXPECT_LE(received.size(), request.size());
    EXPECT_EQ(received, request.substr(0, received.size())) << "a cut request, nothing after it";
  }
  std::printf("large request: %zu of %zu bytes arrived\n", received.size(), request.size() + tail.size());
}

}  // namespace
}  // namespace tcptest
