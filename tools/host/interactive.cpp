// The interactive mode: a thread reads standard input line by line and wakes
// the host's thread, which keeps pumping messages (so events print as they
// arrive) until a line is there.
#include <windows.h>

#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

#include "console_text.h"
#include "script_runner.h"

namespace tcphost {

namespace {

constexpr int kHourMs = 3600 * 1000;

std::string_view Trimmed(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

class LineReader {
 public:
  LineReader() : owner_(GetCurrentThreadId()), thread_([this] { read(); }) { thread_.detach(); }

  // Takes the next line; false at end of input.
  bool next(HostWindow& host, std::string& line) {
    while (!host.pumpUntil([this] { return available(); }, kHourMs)) {
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.empty()) return false;
    line = std::move(lines_.front());
    lines_.pop_front();
    return true;
  }

 private:
  bool available() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !lines_.empty() || ended_;
  }

  void read() {
    std::string line;
    bool more = true;
    while (more) {
      more = static_cast<bool>(std::getline(std::cin, line));
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (more) lines_.push_back(line);
        else ended_ = true;
      }
      PostThreadMessageA(owner_, WM_NULL, 0, 0);
    }
  }

  DWORD owner_;
  std::mutex mutex_;
  std::deque<std::string> lines_;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace

void RunInteractive(Session& session, std::map<std::string, std::int32_t> names, std::string_view help) {
  // Typed text comes as UTF-8, like a script's.
  SetConsoleCP(CP_UTF8);
  ScriptRunner runner(session, std::move(names), true);
  static LineReader reader;  // reading never ends before the process does
  std::string line;
  for (int number = 1;; ++number) {
    writeOut("tcp> ");
    if (!reader.next(session.host(), line)) break;
    const std::string_view word = Trimmed(line);
    if (word == "quit") return;
    if (word == "help") {
      writeOut(help);
      continue;
    }
    const ParsedLine parsed = ParseLine(line, number, utf8ToAnsi);
    std::string problem;
    if (const auto* error = std::get_if<ScriptError>(&parsed)) problem = error->message;
    if (const auto* statement = std::get_if<Statement>(&parsed)) problem = runner.run(*statement);
    if (!problem.empty()) printError("line " + std::to_string(number) + ": " + problem);
  }
  writeOut("\n");
}

}  // namespace tcphost
