// tcphost: a small host for tcp.dll. It loads the library the way a host
// application does, shows what the plug-in says about itself, runs a text
// round trip through the plug-in's UTF-8 commands, and fetches a page from a
// server on this machine, printing every event as its click arrives.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "console_text.h"
#include "host_window.h"
#include "plugin_library.h"
#include "scripted_server.h"

using tcphost::ansiToUtf8;
using tcphost::hexBytes;
using tcphost::PluginLibrary;
using tcphost::printLine;

namespace {

void showDiscovery(const PluginLibrary& plugin) {
  using TypeGetter = int(__cdecl*)();
  printLine("GetType: " + std::to_string(plugin.entryAs<TypeGetter>("GetType")()));
  printLine("GetShortInfo: " + ansiToUtf8(plugin.text("GetShortInfo")));
  printLine("GetInfo:");
  printLine(ansiToUtf8(plugin.text("GetInfo")));
  printLine("Copyright: " + ansiToUtf8(plugin.text("Copyright")));
}

void showRoundTrip(const PluginLibrary& plugin) {
  const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2, \x88 100";  // "Привет, € 100" in code page 1251
  plugin.setFile(ansi);
  printLine("ANSI text:       " + ansiToUtf8(ansi) + "  [" + hexBytes(ansi) + "]");
  plugin.command("utfenk");
  const std::string utf8 = plugin.getFile();
  printLine("utfenk gives:    [" + hexBytes(utf8) + "]");
  plugin.command("utfdek");
  const std::string back = plugin.getFile();
  printLine("utfdek gives:    " + ansiToUtf8(back) + "  [" + hexBytes(back) + "]");
  printLine(back == ansi ? "round trip: same bytes" : "round trip: BYTES DIFFER");
}

std::string pageResponse() {
  // "Привет" in UTF-8, as a server would send it.
  const std::string body = "<html><body><h1>\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82</h1>"
                           "<p>served to tcp.dll</p></body></html>";
  return "HTTP/1.1 200 OK\r\nServer: tcphost\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

bool step(tcphost::HostWindow& host, std::int32_t code, const char* what) {
  if (host.waitForCode(code, 10000)) return true;
  printLine(std::string("tcphost: no event ") + std::to_string(code) + " (" + what + ")");
  return false;
}

bool fetchPage(const PluginLibrary& plugin) {
  using namespace tcphost;
  const std::string response = pageResponse();
  const std::size_t third = response.size() / 3;
  ScriptedServer server({readUntil("\r\n\r\n"), sendBytes(response.substr(0, third)), pause(150),
                         sendBytes(response.substr(third, third)), pause(150), sendBytes(response.substr(2 * third)),
                         pause(150), closeGracefully()});
  HostWindow host(plugin, "tcphost");
  host.onNotification = [](const Notification& event) {
    printLine("  event " + std::to_string(event.code) + ": " + ansiToUtf8(event.text));
  };
  plugin.setParentWindow(host.handle());
  plugin.draw(10, 20, 300, 40);
  printLine("Fetching http://localhost:" + std::to_string(server.port()) + "/ through the plug-in:");
  plugin.setFile("localhost");
  plugin.command("sethost");
  if (!step(host, 5, "sethost")) return false;
  plugin.setData(server.port());
  plugin.command("setport");
  plugin.command("kconect");
  if (!step(host, 1, "kconect")) return false;
  plugin.setFile("GET / HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  plugin.command("sendc");
  if (!step(host, 2, "response")) return false;
  plugin.command("getheader");
  printLine("getheader:\n" + plugin.getFile());
  plugin.command("getotvetlen");
  printLine("getotvetlen: " + plugin.getFile());
  plugin.command("makechunkeds");
  plugin.setFile("content-type");
  plugin.command("getheadername");
  printLine("getheadername content-type: " + plugin.getFile());
  plugin.command("gethtml0");
  plugin.command("utfdek");
  printLine("gethtml0 + utfdek: " + ansiToUtf8(plugin.getFile()));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  const std::string path = argc > 1 ? argv[1] : "tcp.dll";
  PluginLibrary plugin(path);
  if (!plugin.loaded()) {
    std::fprintf(stderr, "tcphost: cannot load %s (error %lu)\n", path.c_str(), GetLastError());
    return 1;
  }
  showDiscovery(plugin);
  showRoundTrip(plugin);
  return fetchPage(plugin) ? 0 : 1;
}
