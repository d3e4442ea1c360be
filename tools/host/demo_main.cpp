// tcphost: a small host for tcp.dll. It loads the library the way a host
// application does, shows what the plug-in says about itself and runs a text
// round trip through the plug-in's UTF-8 commands.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "console_text.h"
#include "plugin_library.h"

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
  return 0;
}
