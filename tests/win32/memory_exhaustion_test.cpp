// A peer that declares a huge length and streams until the host's memory runs
// out. The program runs with a bounded address space (a limit around the Wine
// process, or the 32-bit user space), so the receive buffer must fail to
// grow: the host stays alive, gets code 3, and after disconect a new exchange
// works.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "address_headroom.h"
#include "child_process.h"
#include "exchange_fixture.h"
#include "process_counters.h"

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
// How long one step of the streaming server may take. Its send is bounded
// by this too: under Wine a blocking send to a peer that has closed is not
// always woken by the reset, and the server then waits out its timeout.
constexpr int kServerStepTimeoutMs = 30000;
// Room left for a command: a few of its blocks, far less than one copy of
// its text (300 MB for the queue, 200 MiB for the body, 238 MB for a
// conversion in one block) and more than its own bounded needs.
constexpr std::size_t kQueueRoom = std::size_t{160} << 20;
constexpr std::size_t kSaveRoom = std::size_t{120} << 20;
constexpr std::size_t kConversionRoom = std::size_t{170} << 20;
// Storage the process may keep after a large text is given back: the heap's
// own, far below the 100 MB text.
constexpr std::size_t kGivenBackSlack = std::size_t{16} << 20;

// Whether the file holds `blocks` blocks of kBlock bytes of `fill` and
// nothing else; read a block at a time, so a large file is never held whole.
bool fileIsBlocksOf(const char* path, char fill, std::size_t blocks) {
  std::ifstream file(path, std::ios::binary);
  const std::string expected(kBlock, fill);
  std::string block(kBlock, '\0');
  std::size_t count = 0;
  while (file.read(block.data(), static_cast<std::streamsize>(block.size())) && block == expected) ++count;
  return count == blocks && file.eof() && file.gcount() == 0;
}

TEST_F(ExchangeTest, AStreamPastTheAddressSpaceGivesCodeThreeAndTheHostGoesOn) {
  EndOnUnhandledException();
  {
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 100000000000\r\n\r\n"),
                           streamRepeated(std::string(kBlock, 'x'), kStreamedBlocks), closeGracefully()},
                          1, kServerStepTimeoutMs);
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", "GET /endless HTTP/1.1\r\n\r\n");
    ULONGLONG reported = GetTickCount64();
    ASSERT_TRUE(host.pumpUntil(
        [&] {
          if (GetTickCount64() - reported >= 2000) {
            reported = GetTickCount64();
            plugin.command("status");
            const std::vector<std::int32_t> codes = this->codes();
            std::printf("exhaustion: %s, %zu events, the last %d\n", plugin.getFile().c_str(), codes.size(),
                        codes.empty() ? 0 : codes.back());
            std::fflush(stdout);
          }
          return seen(3) || seen(2);
        },
        kStreamTimeoutMs));
    EXPECT_TRUE(seen(3)) << "the receive could not be stored: code 3, not the whole stream";
    plugin.command("lasterror");
    EXPECT_EQ(plugin.getFile(), "E_OUTOFMEMORY");
    EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(0x8007000E));
    plugin.command("status");
    EXPECT_EQ(plugin.getFile().rfind("host 127.0.0.1 Port ", 0), 0u) << plugin.getFile();
    plugin.command("disconect");
    host.pumpFor(100);
    std::printf("exhaustion: disconnected, waiting for the server's end\n");
    std::fflush(stdout);
  }
  std::printf("exhaustion: the server ended\n");
  std::fflush(stdout);

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

// What a server takes of a large request and the one after it, checked
// byte by byte as it arrives and kept nowhere: head, then `fill` bytes of
// 'x', then tail. The host's thread may ask while the server's thread takes.
class ArrivalCheck {
 public:
  ArrivalCheck(std::string head, std::size_t fill, std::string tail)
      : head_(std::move(head)), fill_(fill), tail_(std::move(tail)) {}

  void take(std::string_view bytes) {
    std::size_t arrived = arrived_;
    std::size_t matching = matching_;
    for (const char byte : bytes) {
      if (matching == arrived && arrived < total() && byte == expected(arrived)) ++matching;
      ++arrived;
    }
    matching_ = matching;
    arrived_ = arrived;
  }
  std::size_t requestSize() const { return head_.size() + fill_; }
  std::size_t total() const { return requestSize() + tail_.size(); }
  std::size_t arrived() const { return arrived_; }
  // Whether every byte so far is the one due at its place. The count of
  // matching bytes is stored first and read last, so it is never seen
  // behind the count of arrived bytes while they agree.
  bool inOrder() const {
    const std::size_t arrived = arrived_;
    return matching_ >= arrived;
  }

 private:
  char expected(std::size_t at) const {
    if (at < head_.size()) return head_[at];
    if (at < requestSize()) return 'x';
    return tail_[at - requestSize()];
  }

  std::string head_;
  std::size_t fill_;
  std::string tail_;
  std::atomic<std::size_t> arrived_{0};
  std::atomic<std::size_t> matching_{0};
};

// A large request to a reader that waits before it reads: what the socket
// does not take waits in the queue. With little room left a copy for the
// queue cannot be made; the request arrives whole and the next right behind
// it, or the connection ends with code 3 and nothing after the cut; never a
// cut request glued to the next. (In the 32-bit machine the room is what the
// request itself leaves.)
TEST_F(ExchangeTest, ALargeRequestToASlowReaderArrivesWholeOrEndsItsConnection) {
  EndOnUnhandledException();
  constexpr std::size_t kBody = 300'000'000;
  ArrivalCheck arrival("POST /large HTTP/1.1\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n", kBody,
                       "GET /-tail-of-next-request- HTTP/1.1\r\n\r\n");
  ScriptedServer server({tcphost::pause(1000),
                         tcphost::passBytes(arrival.total(), [&](std::string_view bytes) { arrival.take(bytes); }),
                         closeGracefully()},
                        1, kStreamTimeoutMs);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  {
    std::string request = "POST /large HTTP/1.1\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n";
    request.append(kBody, 'x');
    plugin.setFile(request);
  }
  ASSERT_EQ(plugin.getFilePointer()[0], 'P') << "no room even to set the request";
  {
    const AddressBallast ballast(kQueueRoom);
    std::printf("large request: %s for the send\n", ballast.room().c_str());
    plugin.command("sendc");
    command("sendc", "GET /-tail-of-next-request- HTTP/1.1\r\n\r\n");
    // A byte out of its place ends the wait: the rest of a cut request never comes.
    ASSERT_TRUE(host.pumpUntil([&] { return seen(2) || seen(3) || !arrival.inOrder(); }, kStreamTimeoutMs));
  }
  plugin.command("status");
  const std::string status = plugin.getFile();
  plugin.command("disconect");
  server.join();
  EXPECT_TRUE(arrival.inOrder()) << arrival.arrived() << " bytes: a byte out of its place";
  if (!seen(3)) {
    EXPECT_EQ(arrival.arrived(), arrival.total()) << "not the two requests whole and in order";
  } else {
    plugin.command("lasterror");
    EXPECT_EQ(plugin.getFile(), "E_OUTOFMEMORY");
    EXPECT_NE(status.find(" ofline "), std::string::npos) << status;
    EXPECT_LE(arrival.arrived(), arrival.requestSize()) << "a cut request, nothing after it";
  }
  std::printf("large request: %zu of %zu bytes arrived, %s\n", arrival.arrived(), arrival.total(),
              seen(3) ? "code 3" : "no code 3");
}

// savebin of a 200 MiB body in 1 MiB chunks, with far less room than the
// body, over the file of an earlier download: the body is decoded into the
// file chunk by chunk, so the file ends whole and nothing is left beside it.
// Queued events give savebin's value: the bytes written.
TEST_F(QueuedExchangeTest, SavebinOfALargeChunkedBodyWithLittleRoomWritesItWhole) {
  EndOnUnhandledException();
  constexpr std::size_t kChunks = 200;
  const char* path = "large-chunked.bin";
  {
    std::ofstream old(path, std::ios::binary);
    old << "old content of an earlier download\r\n";
  }
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
                         streamRepeated("100000\r\n" + std::string(kBlock, 'b') + "\r\n", kChunks),
                         sendBytes("0\r\n\r\n"), closeGracefully()},
                        1, kStreamTimeoutMs);
  connectTo(server.port());
  ASSERT_TRUE(waitFor(1));
  command("sendc", "GET /large HTTP/1.1\r\n\r\n");
  ASSERT_TRUE(host.pumpUntil([&] { return seen(2) || seen(3); }, kStreamTimeoutMs));
  ASSERT_FALSE(seen(3)) << "the response itself did not fit";
  plugin.setData(77);
  {
    const AddressBallast ballast(kSaveRoom);
    std::printf("savebin: %s\n", ballast.room().c_str());
    command("savebin", path);
  }
  std::printf("savebin of a 200 MiB chunked body: value %d\n", plugin.getData());
  EXPECT_EQ(plugin.getData(), static_cast<std::int32_t>(kChunks * kBlock));
  EXPECT_TRUE(fileIsBlocksOf(path, 'b', kChunks)) << "the earlier file's content stayed, or a part of the body";
  EXPECT_EQ(GetFileAttributesA((std::string(path) + ".part").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a save left beside the file";
  DeleteFileA(path);
}

// Short texts after a large one: the slot and every kept text give the large
// storage back, so the process's private memory drops back.
TEST_F(ExchangeTest, ShortTextsAfterALargeOneGiveItsStorageBack) {
  constexpr std::size_t kLarge = 100'000'000;
  const std::size_t before = privateMemory().now;
  plugin.setFile(std::string(kLarge, 'L'));
  const std::size_t held = privateMemory().now;
  for (int i = 0; i < 6; ++i) plugin.setFile("s");
  const std::size_t after = privateMemory().now;
  std::printf("storage: %zu MiB before, %zu MiB with the large text, %zu MiB after six short ones\n", before >> 20,
              held >> 20, after >> 20);
  EXPECT_GE(held, before + kLarge) << "the measure does not see the large text";
  EXPECT_LT(after, before + kGivenBackSlack);
}

// utfenk of 50 MB without a byte below 0x40, with room for the result and a
// few blocks but not for the text converted as one block: the full result.
// The 32-bit user space holds that much room anyway.
TEST_F(ExchangeTest, UtfenkOfALargeTextWithoutSmallBytesGivesTheWholeResultInLittleRoom) {
  if (sizeof(void*) < 8) GTEST_SKIP() << "no room can be set in a 32-bit process";
  EndOnUnhandledException();
  constexpr std::size_t kSize = 50'000'000;
  wchar_t wide = 0;
  char utf8[4] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC6", 1, &wide, 1), 1);
  const int width = WideCharToMultiByte(CP_UTF8, 0, &wide, 1, utf8, sizeof utf8, nullptr, nullptr);
  ASSERT_GT(width, 0);
  plugin.setFile(std::string(kSize, '\xC6'));
  {
    const AddressBallast ballast(kConversionRoom);
    std::printf("utfenk: %s\n", ballast.room().c_str());
    plugin.command("utfenk");
  }
  const std::string_view result(plugin.getFilePointer());
  std::printf("utfenk of 50 MB of 0xC6: %zu bytes of UTF-8\n", result.size());
  ASSERT_EQ(result.size(), kSize * static_cast<std::size_t>(width));
  std::size_t wrong = 0;
  for (std::size_t at = 0; at < result.size(); at += static_cast<std::size_t>(width))
    wrong += result.compare(at, static_cast<std::size_t>(width), utf8, static_cast<std::size_t>(width)) != 0;
  EXPECT_EQ(wrong, 0u);
}

}  // namespace
}  // namespace tcptest
