#include "fetch_command.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "console_text.h"
#include "progress.h"
#include "url.h"

namespace tcphost {

namespace {

constexpr int kRedrawMs = 100;
constexpr std::size_t kBarColumns = 64;

// One fetch: the plug-in's events drive it, the progress bar is redrawn
// between them, and a stall longer than the timeout ends it.
class Fetcher {
 public:
  Fetcher(Session& session, const FetchOptions& options, Url url)
      : session_(session), plugin_(session.plugin()), options_(options), url_(std::move(url)) {}

  int run();

 private:
  bool fail(const std::string& line) {
    clearBar();
    printError("tcphost: " + line);
    return false;
  }
  std::string where() const { return url_.host + ":" + std::to_string(url_.port); }
  std::string reason();
  bool startTls();
  bool resolve();
  bool connect();
  bool transfer();
  std::optional<Notification> awaitEvent(const std::vector<std::int32_t>& codes);
  std::string slotAfter(const char* command, const std::string& text = {});
  void drawBar(bool final);
  void clearBar();
  void printResults();
  void printBody(const std::string& header);

  Session& session_;
  PluginLibrary& plugin_;
  const FetchOptions& options_;
  Url url_;
  std::size_t seen_ = 0;  // notifications already acted on
  bool barShown_ = false;
};

std::string Fetcher::slotAfter(const char* command, const std::string& text) {
  plugin_.setFile(text);
  plugin_.command(command);
  return plugin_.getFile();
}

// The reason of the last failure, when the library can say it (lasterror).
std::string Fetcher::reason() {
  if (!plugin_.has("lasterror")) return {};
  const std::string name = slotAfter("lasterror");
  return name.empty() ? std::string() : ": " + name;
}

// Pumps messages until an event with one of the codes arrives; nothing when
// no event at all came for the timeout. Earlier events are printed with -v.
std::optional<Notification> Fetcher::awaitEvent(const std::vector<std::int32_t>& codes) {
  const auto& events = session_.host().notifications();
  ULONGLONG lastActivity = GetTickCount64();
  const ULONGLONG limit = static_cast<ULONGLONG>(options_.timeoutSeconds) * 1000;
  for (;;) {
    session_.host().pumpUntil([&] { return events.size() > seen_; }, kRedrawMs);
    for (; seen_ < events.size(); ++seen_) {
      lastActivity = GetTickCount64();
      const Notification& event = events[seen_];
      if (options_.verbose) {
        clearBar();
        printError(eventLine(event.code, event.text));
      }
      for (const std::int32_t code : codes)
        if (event.code == code) return events[seen_++];
    }
    if (GetTickCount64() - lastActivity >= limit) return std::nullopt;
    drawBar(false);
  }
}

bool Fetcher::startTls() {
  if (!url_.https) return true;
  if (!plugin_.has("settls")) return fail("https is not supported by this tcp.dll");
  if (!options_.cacert.empty()) slotAfter("addca", options_.cacert);
  plugin_.setData(options_.insecure ? 2 : 1);
  slotAfter("settls", url_.host);
  return true;
}

bool Fetcher::resolve() {
  plugin_.setFile(url_.host);
  plugin_.command("sethost");
  const auto event = awaitEvent({TCP_EVENT_RESOLVED, TCP_EVENT_NOT_RESOLVED});
  if (!event) return fail("no answer from the resolver for " + url_.host + " within " +
                          std::to_string(options_.timeoutSeconds) + " s");
  if (event->code == TCP_EVENT_NOT_RESOLVED) return fail("cannot resolve host " + url_.host);
  return true;
}

bool Fetcher::connect() {
  plugin_.setData(url_.port);
  plugin_.command("setport");
  plugin_.command("kconect");
  const auto event = awaitEvent({TCP_EVENT_CONNECTED, TCP_EVENT_ERROR});
  if (!event) return fail("cannot connect to " + where() + ": no answer within " +
                          std::to_string(options_.timeoutSeconds) + " s");
  if (event->code == TCP_EVENT_ERROR) return fail("cannot connect to " + where() + reason());
  return true;
}

bool Fetcher::transfer() {
  const std::string request = GetRequest(url_);
  if (options_.verbose) printError(ansiToUtf8(request));
  plugin_.setFile(request);
  plugin_.command("sendc");
  const auto event = awaitEvent({TCP_EVENT_DISCONNECTED, TCP_EVENT_ERROR});
  if (!event) {
    plugin_.command("disconect");
    return fail("no data from " + where() + " for " + std::to_string(options_.timeoutSeconds) + " s");
  }
  if (event->code == TCP_EVENT_ERROR) return fail("the connection to " + where() + " failed" + reason());
  drawBar(true);
  if (BufferedBytes(slotAfter("status")).value_or(0) == 0)
    return fail(where() + " closed the connection without a response");
  return true;
}

void Fetcher::drawBar(bool final) {
  if (!final && !errorIsTerminal()) return;
  const std::uint64_t buffered = BufferedBytes(slotAfter("status")).value_or(0);
  const std::string header = slotAfter("getheader");
  Progress progress;
  if (!header.empty()) {
    progress.bodyReceived = buffered - std::min<std::uint64_t>(buffered, header.size() + 4);
    progress.declared = std::strtoull(slotAfter("getotvetlen").c_str(), nullptr, 10);
  }
  // On a terminal the bar is redrawn in place; elsewhere only its last state is written.
  std::string line = ProgressLine(progress);
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
  const std::string header = slotAfter("getheader");
  plugin_.command("makechunkeds");
  if (options_.header.empty()) {
    writeOut(ansiToUtf8(header) + "\r\n\r\n");
  } else {
    writeOut(ansiToUtf8(header.substr(0, header.find("\r\n"))) + "\r\n");
    writeOut(ansiToUtf8(slotAfter("getheadername", options_.header)) + "\r\n\r\n");
  }
  if (!options_.all.empty()) slotAfter("savebinall", options_.all);
  if (!options_.output.empty()) slotAfter("savebin", options_.output);
  if (options_.output.empty() && options_.all.empty()) printBody(header);
}

// A UTF-8 body goes through utfdek into the ANSI code page, then to the
// console; any other body goes out byte for byte, through a savebin file so
// that zero bytes survive.
void Fetcher::printBody(const std::string& header) {
  if (options_.utf8 || DeclaresUtf8(header)) {
    plugin_.command("makechunkeds");
    plugin_.command("utfdek");
    writeOut(ansiToUtf8(plugin_.getFile()));
    return;
  }
  char folder[MAX_PATH];
  char path[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "tcp", 0, path);
  slotAfter("savebin", path);
  std::ifstream file(path, std::ios::binary);
  writeOut(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
  file.close();
  DeleteFileA(path);
}

int Fetcher::run() {
  if (!startTls() || !resolve() || !connect() || !transfer()) return 1;
  printResults();
  return 0;
}

}  // namespace

int Fetch(Session& session, const FetchOptions& options) {
  std::string problem;
  std::optional<Url> url = ParseUrl(options.url, problem);
  if (!url) {
    printError("tcphost: " + problem + ": " + options.url);
    return 1;
  }
  return Fetcher(session, options, std::move(*url)).run();
}

}  // namespace tcphost
