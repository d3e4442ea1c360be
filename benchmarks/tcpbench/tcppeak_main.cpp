// tcppeak DLL...: the most private memory two commands of each given tcp.dll
// hold beyond what the process held when the command began: savebin of a
// 200 MiB body received in 1 MiB chunks, and utfenk of 50 MB of 0xC6 (no
// byte below 0x40). Each library is loaded, measured and unloaded in turn,
// so two builds can be compared in one run.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "memory_probe.h"
#include "scripted_server.h"
#include "session.h"

namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kChunks = 200;
constexpr std::size_t kTextSize = 50'000'000;
constexpr int kTimeoutMs = 300000;
const char* const kSavedFile = "tcppeak-body.bin";

bool seen(const tcphost::HostWindow& host, std::int32_t code) {
  for (const tcphost::Notification& notification : host.notifications())
    if (notification.code == code) return true;
  return false;
}

// Receives the chunked body from a server of its own, then saves it.
bool measureSavebin(tcphost::Session& session, const char* dll) {
  using namespace tcphost;
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"),
                         streamRepeated("100000\r\n" + std::string(kMiB, 'b') + "\r\n", kChunks),
                         sendBytes("0\r\n\r\n"), closeGracefully()},
                        1, kTimeoutMs);
  PluginLibrary& plugin = session.plugin();
  HostWindow& host = session.host();
  plugin.setData(server.port());
  plugin.command("setport");
  plugin.command("kconect");
  if (!host.waitForCode(1, kTimeoutMs)) return false;
  plugin.setFile("GET /large HTTP/1.1\r\n\r\n");
  plugin.command("sendc");
  if (!host.pumpUntil([&] { return seen(host, 2) || seen(host, 3); }, kTimeoutMs) || seen(host, 3)) return false;
  plugin.setFile(kSavedFile);
  tcpbench::MemoryProbe probe;
  plugin.command("savebin");
  probe.stop();
  std::printf("%s: savebin of a 200 MiB chunked body: peak +%.1f MiB, %d bytes written\n", dll,
              static_cast<double>(probe.peakAboveBaseline()) / kMiB, plugin.getData());
  DeleteFileA(kSavedFile);
  return plugin.getData() == static_cast<std::int32_t>(kChunks * kMiB);
}

bool measureUtfenk(tcphost::Session& session, const char* dll) {
  tcphost::PluginLibrary& plugin = session.plugin();
  plugin.setFile(std::string(kTextSize, '\xC6'));
  tcpbench::MemoryProbe probe;
  plugin.command("utfenk");
  probe.stop();
  const std::size_t size = std::string_view(plugin.getFilePointer()).size();
  std::printf("%s: utfenk of 50 MB of 0xC6: peak +%.1f MiB, %zu bytes of UTF-8\n", dll,
              static_cast<double>(probe.peakAboveBaseline()) / kMiB, size);
  plugin.setFile("");
  return size >= kTextSize;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tcppeak DLL...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    tcphost::Session session(argv[i], false);
    if (!session.problem().empty()) {
      std::printf("%s\n", session.problem().c_str());
      status = 1;
      continue;
    }
    if (!measureSavebin(session, argv[i])) status = 1;
    if (!measureUtfenk(session, argv[i])) status = 1;
    std::fflush(stdout);
  }
  return status;
}
