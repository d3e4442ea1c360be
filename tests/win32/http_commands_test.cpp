// The HTTP commands on responses that arrived through a real connection.
#include <string>

#include "exchange_fixture.h"

using tcphost::closeGracefully;
using tcphost::readUntil;
using tcphost::ScriptedServer;
using tcphost::sendBytes;

namespace tcptest {
namespace {

using namespace std::string_literals;

class HttpCommandsTest : public ExchangeTest {
 protected:
  // Sends a request and waits until the server has sent response and closed.
  void receive(const std::string& response) {
    ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response), closeGracefully()});
    connectTo(server.port());
    ASSERT_TRUE(waitFor(1));
    command("sendc", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(waitFor(2));
  }
};

const std::string kChunked =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r\n"
    "X-\xC8\xEC\xFF: \xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n\r\n"  // X-Имя: значение
    "1a\r\nabcdefghijklmnopqrstuvwxyz\r\n5\r\n12345\r\n0\r\n\r\n";

TEST_F(HttpCommandsTest, ChunkedBodyDecodesAndHeaderLinesAreFoundInAnyCase) {
  receive(kChunked);
  plugin.command("makechunkeds");
  EXPECT_EQ(plugin.getFile(), "abcdefghijklmnopqrstuvwxyz12345");
  command("getheadername", "content-TYPE");
  EXPECT_EQ(plugin.getFile(), "Content-Type: text/plain");
  command("getheadername", "x-\xE8\xcc\xdf");  // x-иМЯ
  EXPECT_EQ(plugin.getFile(), "X-\xC8\xEC\xFF: \xE7\xED\xE0\xF7\xE5\xED\xE8\xE5");
  plugin.setFile("ghijk");
  plugin.setFile("345");
  plugin.command("parserez");
  EXPECT_EQ(plugin.getFile(), "lmnopqrstuvwxyz12");
}

TEST_F(HttpCommandsTest, SavebinWritesThePayloadAndSavebinallEveryByte) {
  const std::string chunkedBinary =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\n\x89PNG\r\n6\r\n\0\r\n\0\xFF\n\r\n0\r\n\r\n"s;
  receive(chunkedBinary);
  command("savebin", "chunked.bin");
  EXPECT_TRUE(readFile("chunked.bin") == "\x89PNG\0\r\n\0\xFF\n"s);
  command("savebinall", "chunked-all.bin");
  EXPECT_TRUE(readFile("chunked-all.bin") == chunkedBinary);

  const std::string plain = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n\0\x01\r\n\r\n"s;
  host.clear();
  receive(plain);
  command("savebin", "plain.bin");
  EXPECT_TRUE(readFile("plain.bin") == "\0\x01\r\n\r\n"s);
}

TEST_F(HttpCommandsTest, AFileThatCannotBeWrittenIsReportedNowhereAndBreaksNothing) {
  receive(kChunked);
  HANDLE locked = CreateFileA("locked.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  plugin.setData(77);
  const std::size_t clicks = host.clicks().size();
  for (const char* path : {"locked.bin", "no\\such\\folder\\x.bin", "bad|name?.bin", ""}) {
    command("savebin", path);
    command("savebinall", path);
    EXPECT_EQ(plugin.getFile(), path);
    EXPECT_EQ(plugin.getData(), 77);
  }
  CloseHandle(locked);
  host.pumpFor(50);
  EXPECT_EQ(host.clicks().size(), clicks);
  EXPECT_EQ(readFile("locked.bin"), "");
  plugin.command("makechunkeds");
  EXPECT_EQ(plugin.getFile(), "abcdefghijklmnopqrstuvwxyz12345");
}

}  // namespace
}  // namespace tcptest
