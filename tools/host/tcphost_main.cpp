// tcphost: a console that behaves exactly like a host of tcp.dll. It loads
// the library, gives it a window of its own, pumps messages and prints every
// event as its click arrives; `fetch` runs the typical exchange for a URL,
// `run` plays a script of export calls, and without a command it reads such
// calls interactively.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console_text.h"
#include "dll_version.h"
#include "fetch_command.h"
#include "release_version.h"
#include "script_runner.h"
#include "session.h"

using namespace tcphost;

namespace {

constexpr char kCommandLine[] =
    "usage: tcphost [--dll PATH] [--child] fetch URL... [options]\n"
    "       tcphost [--dll PATH] [--child] run [--set NAME=N]... SCRIPT\n"
    "       tcphost [--dll PATH] [--child]            (reads calls from standard input)\n"
    "       tcphost [--dll PATH] --version\n"
    "\n"
    "  --dll PATH     load this tcp.dll (default: the one beside tcphost.exe)\n"
    "  --child        give the plug-in a child window instead of a top-level one\n"
    "  -h, --help     print this text\n"
    "  --version      print tcphost's release and the version resource of the tcp.dll\n"
    "\n"
    "fetch URL...: GET http:// (or, when the library offers TLS, https://) URLs\n"
    "  through the plug-in; progress and events on standard error, the status\n"
    "  line, headers and body of each on standard output. URLs of one server\n"
    "  share one connection when the library has queued events (setevents).\n"
    "  -L             follow redirects (301, 302, 303, 307, 308; at most 10)\n"
    "  -I             HEAD: the headers only\n"
    "  -X METHOD      the request's method\n"
    "  -d TEXT        send TEXT as the body (POST unless -X says otherwise)\n"
    "  -H \"N: v\"      add a header field (repeatable)\n"
    "  --fail         exit 22 without output when the status is 400 or more\n"
    "  -s             no progress bar\n"
    "  -o FILE        save the body with savebin (decoded when chunked)\n"
    "  --all FILE     save every received byte with savebinall\n"
    "  --header NAME  print only the header lines named NAME (getheadername)\n"
    "  --timeout S    give up after S seconds without an event (default 30)\n"
    "  --utf8         decode the body with utfdek even when not declared UTF-8\n"
    "  --cacert FILE  trust this certificate for https (addca)\n"
    "  --cert FILE    offer this PKCS#12 client certificate for https (setcert)\n"
    "  --pass TEXT    the password of --cert's file\n"
    "  --insecure     https without checking the certificate (settls 2)\n"
    "  -x, --proxy HOST:PORT  through this HTTP proxy (setproxy; [user:password@]host:port);\n"
    "                 else https_proxy, http_proxy, all_proxy and no_proxy as curl reads them\n"
    "  -v             print every event and the request\n"
    "  exit status: 0 done, 1 failed (connection, name, timeout, URL), 2 usage,\n"
    "  18 the body was cut short, 22 --fail and status >= 400, 47 too many\n"
    "  redirects\n"
    "\n";

// The script language, also the prompt's help.
constexpr char kScriptHelp[] =
    "run SCRIPT: one call a line, named as the exports are; texts in double\n"
    "  quotes with C escapes (\\r \\n \\t \\\\ \\\" \\xHH), numbers in decimal:\n"
    "    SetFile \"GET / HTTP/1.1\\r\\nHost: a\\r\\n\\r\\n\"    SetData 80    kconect\n"
    "  and tcphost's own words:\n"
    "    wait CODE [SECONDS]      pump messages until an event with CODE; fails after\n"
    "                             SECONDS without any event (default 10)\n"
    "    expect TEXT              the last result's text must be TEXT\n"
    "    expect-data N            the last result's value must be N\n"
    "    expect-file PATH TEXT    the file must hold exactly TEXT\n"
    "    sleep MS                 pump messages for MS milliseconds\n"
    "    serve RESPONSE...        start a server on 127.0.0.1 that answers each\n"
    "                             request with the next RESPONSE, then closes;\n"
    "                             its port is the name PORT (SetData PORT)\n"
    "    print TEXT               print TEXT; print TEXT and print VALUE (no quotes)\n"
    "                             print the last result's text and value\n"
    "    # comment\n"
    "  A failing line ends the script with exit status 1. Scripts are UTF-8; their\n"
    "  texts reach the library in the ANSI code page (escapes as written).\n"
    "  At the prompt, help prints this and quit (or the end of input) ends it.\n";

int usageError(const std::string& problem) {
  printError("tcphost: " + problem + " (tcphost --help shows the usage)");
  return 2;
}

// Reads NAME's value from argv[i + 1]; false when it is missing.
bool takeValue(int argc, char** argv, int& i, std::string& value) {
  if (i + 1 >= argc) return false;
  value = argv[++i];
  return true;
}

// tcphost's release, then what the DLL's version resource says; status 1
// when the DLL has none to read.
int printVersions(const std::string& dll) {
  writeOut("tcphost " TCP_RELEASE_VERSION "\n");
  const std::optional<DllVersion> version = ReadDllVersion(dll);
  if (!version) {
    printError("tcphost: no version resource in " + dll);
    return 1;
  }
  writeOut(DescribeDllVersion(dll, *version) + "\n");
  return 0;
}

int runCommand(Session& session, int argc, char** argv, int i) {
  std::map<std::string, std::int32_t> names;
  for (; i < argc && std::string(argv[i]) == "--set"; i += 2) {
    const std::string binding = i + 1 < argc ? argv[i + 1] : "";
    const std::size_t equals = binding.find('=');
    if (equals == std::string::npos || equals == 0) return usageError("--set needs NAME=N");
    names[binding.substr(0, equals)] = std::atoi(binding.c_str() + equals + 1);
  }
  if (i + 1 != argc) return usageError("run needs one SCRIPT");
  const std::string path = argv[i];
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    printError("tcphost: cannot read " + path);
    return 1;
  }
  const std::string script(std::istreambuf_iterator<char>(file), {});
  return RunScript(session, path, script, std::move(names)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::string dll = Session::besideProgram();
  bool child = false;
  bool version = false;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "-h" || flag == "--help") {
      writeOut(std::string(kCommandLine) + kScriptHelp);
      return 0;
    }
    if (flag == "--dll") {
      if (!takeValue(argc, argv, i, dll)) return usageError("--dll needs a PATH");
    } else if (flag == "--child") {
      child = true;
    } else if (flag == "--version") {
      version = true;
    } else {
      break;
    }
  }
  if (version) return printVersions(dll);
  const std::string command = i < argc ? argv[i++] : "";
  if (!command.empty() && command != "fetch" && command != "run") return usageError("unknown command " + command);
  std::string problem;
  const std::optional<FetchOptions> options =
      command == "fetch" ? ParseFetchOptions(std::vector<std::string>(argv + i, argv + argc), problem)
                         : std::optional<FetchOptions>();
  if (!problem.empty()) return usageError(problem);

  Session session(dll, child);
  if (!session.problem().empty()) {
    printError("tcphost: " + session.problem());
    return 1;
  }
  if (options) return Fetch(session, *options);
  session.host().onNotification = [](const Notification& event) { printError(eventLine(event.code, event.text)); };
  if (command == "run") return runCommand(session, argc, argv, i);
  if (_isatty(_fileno(stdin))) {
    RunInteractive(session, {}, kScriptHelp);
    return 0;
  }
  const std::string script(std::istreambuf_iterator<char>(std::cin), {});
  return RunScript(session, "stdin", script, {}) ? 0 : 1;
}
