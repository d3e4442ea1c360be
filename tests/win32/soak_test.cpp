// A thousand whole exchanges on one loaded library: the process must hold no
// more kernel handles or window-system objects at the end than after the
// first few.
#include <cstdio>
#include <string>

#include "exchange_fixture.h"
#include "process_counters.h"

using tcphost::readBytes;
using tcphost::readUntil;
using tcphost::ScriptedServer;
using tcphost::sendBytes;

namespace tcptest {
namespace {

constexpr int kWarmUpCycles = 5;
constexpr int kCycles = 1000;
constexpr DWORD kAllowedGrowth = 8;

class SoakTest : public ExchangeTest {
 protected:
  // kconect, sendc, the whole response, disconect.
  void cycle(const std::string& response) {
    plugin.command("kconect");
    ASSERT_TRUE(waitFor(1));
    command("sendc", "GET / HTTP/1.1\r\n\r\n");
    const std::string whole = " bufer " + std::to_string(response.size());
    ASSERT_TRUE(host.pumpUntil(
        [&] {
          plugin.command("status");
          const std::string status = plugin.getFile();
          return status.size() >= whole.size() && status.compare(status.size() - whole.size(), whole.size(), whole) == 0;
        },
        kEventTimeoutMs));
    plugin.command("recev");
    ASSERT_EQ(plugin.getFile(), response);
    plugin.command("disconect");
    ASSERT_TRUE(waitFor(2));
    host.clear();
  }
};

TEST_F(SoakTest, AThousandExchangesLeaveNoHandleOrWindowObjectBehind) {
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), readBytes(1)}, kWarmUpCycles + kCycles);
  plugin.setData(server.port());
  plugin.command("setport");
  for (int i = 0; i < kWarmUpCycles; ++i) ASSERT_NO_FATAL_FAILURE(cycle(response));

  const ObjectCounts start = objectCounts();
  const ULONGLONG started = GetTickCount64();
  for (int i = 0; i < kCycles; ++i) ASSERT_NO_FATAL_FAILURE(cycle(response)) << "cycle " << i;
  const double seconds = static_cast<double>(GetTickCount64() - started) / 1000;
  const ObjectCounts end = objectCounts();
  server.join();

  std::printf("soak: %d cycles in %.1f s, %.0f cycles/s\n", kCycles, seconds, kCycles / seconds);
  std::printf("soak: handles %lu -> %lu, USER objects %lu -> %lu, GDI objects %lu -> %lu\n", start.handles,
              end.handles, start.userObjects, end.userObjects, start.gdiObjects, end.gdiObjects);
  EXPECT_EQ(server.accepted(), kWarmUpCycles + kCycles);
  EXPECT_LE(end.handles, start.handles + kAllowedGrowth);
  EXPECT_LE(end.userObjects, start.userObjects + kAllowedGrowth);
  EXPECT_LE(end.gdiObjects, start.gdiObjects + kAllowedGrowth);
}

}  // namespace
}  // namespace tcptest
