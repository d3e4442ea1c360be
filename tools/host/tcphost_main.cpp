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
#include "fetch_command.h"
#include "script_runner.h"
#include "session.h"

using namespace tcphost;

namespace {

constexpr char kUsage[] =
    "usage: tcphost [--dll PATH] [--child] fetch URL [options]\n"
    "       tcphost [--dll PATH] [--child] run [--set NAME=N]... SCRIPT\n"
    "       tcphost [--dll PATH] [--child]            (reads calls from standard input)\n"
    "\n"
    "  --dll PATH     load this tcp.dll (default: the one beside tcphost.exe)\n"
    "  --child        give the plug-in a child window instead of a top-level one\n"
    "  -h, --help     print this text\n"
    "\n"
    "fetch URL: GET an http:// (or, when the library offers TLS, https://) URL\n"
    "  through the plug-in; progress and events on standard error, the status\n"
    "  line, headers and body on standard output.\n"
    "  -o FILE        save the body with savebin (decoded when chunked)\n"
    "  --all FILE     save every received byte with savebinall\n"
    "  --header NAME  print only the header lines named NAME (getheadername)\n"
    "  --timeout S    give up after S seconds without an event (default 30)\n"
    "  --utf8         decode the body with utfdek even when not declared UTF-8\n"
    "  --cacert FILE  trust this certificate for https (addca)\n"
    "  --insecure     https without checking the certificate (settls 2)\n"
    "  -v             print every event and the request\n"
    "\n"
    "run SCRIPT: one call a line, named as the exports are; texts in double\n"
    "  quotes with C escapes (\\r \\n \\t \\\\ \\\" \\xHH), numbers in decimal:\n"
    "    SetFile \"GET / HTTP/1.1\\r\\nHost: a\\r\\n\\r\\n\"    SetData 80    kconect\n"
    "  and tcphost's own words:\n"
    "    wait CODE [SECONDS]      pump messages until an event with CODE (default 10 s)\n"
    "    expect TEXT              the last result's text must be TEXT\n"
    "    expect-data N            the last result's value must be N\n"
    "    expect-file PATH TEXT    the file must hold exactly TEXT\n"
    "    sleep MS                 pump messages for MS milliseconds\n"
    "    serve RESPONSE...        start a server on 127.0.0.1 that answers each\n"
    "                             request with the next RESPONSE, then closes;\n"
    "                             its port is the name PORT (SetData PORT)\n"
    "    print TEXT               print TEXT\n"
    "    # comment\n"
    "  A failing line ends the script with exit status 1.\n";

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

std::optional<FetchOptions> fetchOptions(int argc, char** argv, int i, std::string& problem) {
  FetchOptions options;
  for (; i < argc; ++i) {
    const std::string flag = argv[i];
    std::string value;
    bool ok = true;
    if (flag == "-o") ok = takeValue(argc, argv, i, options.output);
    else if (flag == "--all") ok = takeValue(argc, argv, i, options.all);
    else if (flag == "--header") ok = takeValue(argc, argv, i, options.header);
    else if (flag == "--cacert") ok = takeValue(argc, argv, i, options.cacert);
    else if (flag == "--timeout") {
      ok = takeValue(argc, argv, i, value) && (options.timeoutSeconds = std::atoi(value.c_str())) > 0;
    } else if (flag == "--utf8") options.utf8 = true;
    else if (flag == "--insecure") options.insecure = true;
    else if (flag == "-v") options.verbose = true;
    else if (flag.size() > 1 && flag[0] == '-') {
      problem = "unknown option " + flag;
      return std::nullopt;
    } else if (options.url.empty()) options.url = flag;
    else {
      problem = "fetch takes one URL";
      return std::nullopt;
    }
    if (!ok) {
      problem = flag + " needs a value" + (flag == "--timeout" ? " above 0" : "");
      return std::nullopt;
    }
  }
  if (options.url.empty()) problem = "fetch needs a URL";
  return options.url.empty() ? std::nullopt : std::optional<FetchOptions>(options);
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
  int i = 1;
  for (; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "-h" || flag == "--help") {
      writeOut(kUsage);
      return 0;
    }
    if (flag == "--dll") {
      if (!takeValue(argc, argv, i, dll)) return usageError("--dll needs a PATH");
    } else if (flag == "--child") {
      child = true;
    } else {
      break;
    }
  }
  const std::string command = i < argc ? argv[i++] : "";
  if (!command.empty() && command != "fetch" && command != "run") return usageError("unknown command " + command);
  std::string problem;
  const std::optional<FetchOptions> options =
      command == "fetch" ? fetchOptions(argc, argv, i, problem) : std::optional<FetchOptions>();
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
    RunInteractive(session, {});
    return 0;
  }
  const std::string script(std::istreambuf_iterator<char>(std::cin), {});
  return RunScript(session, "stdin", script, {}) ? 0 : 1;
}
