#include "fetch_command.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "console_text.h"
#include "fetch_link.h"
#include "progress.h"
#include "request.h"
#include "url.h"

namespace tcphost {

namespace {

constexpr std::size_t kBarColumns = 64;
constexpr int kMostRedirects = 10;

// How one exchange ended, and for a failure the line that says why.
enum class Ending { Complete, Truncated, Failed };
struct Outcome {
  Ending ending;
  std::string problem;
};

// tcphost fetch: each URL's exchange through the plug-in, with the progress
// bar redrawn between events, redirects followed with -L, and one connection
// kept for the URLs of one server when the library has queued events.
class Fetcher {
 public:
  Fetcher(Session& session, const FetchOptions& options) : link_(session, options), options_(options) {
    link_.sayLine = [this](const std::string& line) {
      clearBar();
      printError(line);
    };
  }

  int run();

 private:
  int fetch(Request request);
  Ending exchange(const Request& request);
  Outcome awaitEnd();
  int finish(const Request& request, Ending ending);
  int status();
  std::string location();
  int fail(const std::string& line, int exitStatus) {
    link_.sayLine("tcphost: " + line);
    return exitStatus;
  }
  void drawBar(bool final);
  void clearBar();
  Progress progress();
  void printResults();
  void printBody(const std::string& header);

  FetchLink link_;
  PluginLibrary& plugin() { return link_.plugin(); }
  const FetchOptions& options_;
  bool barShown_ = false;
};

int Fetcher::run() {
  for (const std::string& text : options_.urls) {
    std::string problem;
    std::optional<Url> url = ParseUrl(text, problem);
    if (!url) return fail(problem + ": " + text, kFetchFailed);
    Request request;
    request.method = MethodOf(options_);
    request.url = std::move(*url);
    request.headers = options_.headers;
    request.body = options_.data;
    request.closeAfter = !link_.queued();
    const int exitStatus = fetch(std::move(request));
    if (exitStatus != kFetchDone) {
      link_.close();
      return exitStatus;
    }
  }
  link_.close();
  return kFetchDone;
}

// One URL, and with -L the redirects it leads to.
int Fetcher::fetch(Request request) {
  for (int redirects = 0;; ++redirects) {
    const Ending ending = exchange(request);
    if (ending != Ending::Complete || !options_.follow || !IsRedirect(status())) return finish(request, ending);
    const std::string target = location();
    if (target.empty()) return finish(request, ending);
    if (redirects == kMostRedirects) return fail("more than 10 redirects", kFetchTooManyRedirects);
    std::string problem;
    std::optional<Url> next = ResolveReference(request.url, target, problem);
    if (!next) return fail("cannot follow the redirect to " + target + ": " + problem, kFetchFailed);
    request = Redirected(request, status(), std::move(*next));
  }
}

// A kept connection that the server closed meanwhile brings no byte back:
// the request is sent once more on a new one.
Ending Fetcher::exchange(const Request& request) {
  for (int attempt = 0;; ++attempt) {
    bool reused = false;
    if (!link_.reach(request.url, reused)) return Ending::Failed;
    const std::string text = RequestText(request);
    if (options_.verbose) link_.sayLine(ansiToUtf8(text));
    plugin().setFile(text);
    plugin().command("sendc");
    const Outcome outcome = awaitEnd();
    const bool nothingCame = link_.queued() && link_.slotAfter("getsize") == "0" && plugin().getData() == 0;
    if (outcome.ending != Ending::Complete && reused && nothingCame && attempt == 0) {
      link_.close();
      continue;
    }
    if (!outcome.problem.empty()) link_.sayLine(outcome.problem);
    return outcome.ending;
  }
}

// With queued events a response ends at code 7; without, at the close.
Outcome Fetcher::awaitEnd() {
  const std::string where = link_.where();
  const std::int32_t end = link_.queued() ? TCP_EVENT_COMPLETE : TCP_EVENT_DISCONNECTED;
  const auto event = link_.await({end, TCP_EVENT_ERROR}, [this] { drawBar(false); });
  if (!event)
    return {Ending::Failed,
            "tcphost: no data from " + where + " for " + std::to_string(options_.timeoutSeconds) + " s"};
  if (event->code == TCP_EVENT_ERROR) {
    const std::string reason = link_.reason();
    if (reason == ": TCP_E_RESPONSE_TRUNCATED") return {Ending::Truncated, {}};
    return {Ending::Failed, "tcphost: the connection to " + where + " failed" + reason};
  }
  if (!link_.queued() && BufferedBytes(link_.slotAfter("status")).value_or(0) == 0)
    return {Ending::Failed, "tcphost: " + where + " closed the connection without a response"};
  return {Ending::Complete, {}};
}

int Fetcher::finish(const Request& request, Ending ending) {
  if (ending == Ending::Failed) return kFetchFailed;
  drawBar(true);
  const int code = status();
  if (options_.fail && code >= 400)
    return fail("the server answered " + std::to_string(code) + " for " + request.url.path, kFetchHttpError);
  printResults();
  if (ending == Ending::Truncated)
    return fail("the connection closed before the response was complete", kFetchTruncated);
  return kFetchDone;
}

// The final status: getstatus with queued events, else the first status line.
int Fetcher::status() {
  if (link_.queued()) {
    link_.slotAfter("getstatus");
    return plugin().getData();
  }
  return StatusCodeOf(link_.slotAfter("getheader"));
}

std::string Fetcher::location() {
  if (link_.queued()) return link_.slotAfter("getvalue", "Location");
  plugin().command("makechunkeds");
  const std::string line = link_.slotAfter("getheadername", "Location:");
  const std::string value = line.substr(std::min(line.find(':') + 1, line.size()));
  const std::size_t first = value.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

Progress Fetcher::progress() {
  Progress progress;
  if (link_.queued()) {
    progress.bodyReceived = std::strtoull(link_.slotAfter("getsize").c_str(), nullptr, 10);
    const std::string declared = link_.slotAfter("getvalue", "Content-Length");
    if (plugin().getData() == 1) progress.declared = std::strtoull(declared.c_str(), nullptr, 10);
    return progress;
  }
  const std::uint64_t buffered = BufferedBytes(link_.slotAfter("status")).value_or(0);
  const std::string header = link_.slotAfter("getheader");
  if (!header.empty()) {
    progress.bodyReceived = buffered - std::min<std::uint64_t>(buffered, header.size() + 4);
    progress.declared = std::strtoull(link_.slotAfter("getotvetlen").c_str(), nullptr, 10);
  }
  return progress;
}

void Fetcher::drawBar(bool final) {
  if (options_.silent || (!final && !errorIsTerminal())) return;
  // On a terminal the bar is redrawn in place; elsewhere only its last state is written.
  std::string line = ProgressLine(progress());
  if (errorIsTerminal()) {
    // Blanks, not terminal escapes, wipe a longer earlier line: Wine's console drops escapes.
    line.resize(std::max(line.size(), kBarColumns), ' ');
    writeError("\r" + line + (final ? "\n" : ""));
  } else {
    writeError(line + "\n");
  }
  barShown_ = !final;
}

void Fetcher::clearBar() {
  if (barShown_) writeError("\r" + std::string(kBarColumns, ' ') + "\r");
  barShown_ = false;
}

void Fetcher::printResults() {
  const std::string header = link_.slotAfter("getheader");
  plugin().command("makechunkeds");
  if (options_.header.empty()) {
    writeOut(ansiToUtf8(header) + "\r\n\r\n");
  } else {
    writeOut(ansiToUtf8(header.substr(0, header.find("\r\n"))) + "\r\n");
    writeOut(ansiToUtf8(link_.slotAfter("getheadername", options_.header)) + "\r\n\r\n");
  }
  if (!options_.all.empty()) link_.slotAfter("savebinall", options_.all);
  if (!options_.output.empty()) link_.slotAfter("savebin", options_.output);
  if (options_.output.empty() && options_.all.empty() && !options_.head) printBody(header);
}

// A UTF-8 body goes through utfdek into the ANSI code page, then to the
// console; any other body goes out byte for byte, through a savebin file so
// that zero bytes survive.
void Fetcher::printBody(const std::string& header) {
  if (options_.utf8 || DeclaresUtf8(header)) {
    plugin().command("makechunkeds");
    plugin().command("utfdek");
    writeOut(ansiToUtf8(plugin().getFile()));
    return;
  }
  char folder[MAX_PATH];
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "tcp", 0, path);
  link_.slotAfter("savebin", path);
  std::ifstream file(path, std::ios::binary);
  writeOut(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  file.close();
  DeleteFileA(path);
}

}  // namespace

int Fetch(Session& session, const FetchOptions& options) { return Fetcher(session, options).run(); }

}  // namespace tcphost
