#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "script.h"
#include "scripted_server.h"
#include "session.h"

namespace tcphost {

// Runs script statements against the session's plug-in, as a host script
// would: exports called by name, results read from the slots right after
// each call, events waited for by their clicks.
class ScriptRunner {
 public:
  // `names` binds names to numbers (tcphost run --set NAME=N); `echo` prints
  // both slots after every call (the interactive mode).
  ScriptRunner(Session& session, std::map<std::string, std::int32_t> names, bool echo);

  // Runs one statement; returns an empty string, or what went wrong.
  std::string run(const Statement& statement);

 private:
  std::string call(const Statement& statement);
  std::string wait(std::int32_t code, std::int32_t seconds);
  std::string print(const Argument& argument);
  std::string serve(const Statement& statement);
  std::string number(const Argument& argument, std::int32_t& value) const;
  void readSlots();

  Session& session_;
  std::map<std::string, std::int32_t> names_;
  bool echo_;
  std::string lastText_;
  std::int32_t lastValue_ = 0;
  std::size_t waited_ = 0;  // notifications before this one were looked at by a wait
  std::unique_ptr<ScriptedServer> server_;
};

// Runs a whole script (UTF-8, its texts handed to the library in the ANSI
// code page); prints "tcphost: SCRIPT:LINE: problem" and returns false at the
// first statement that fails.
bool RunScript(Session& session, const std::string& scriptName, const std::string& script,
               std::map<std::string, std::int32_t> names);

// The interactive mode: one statement a line from standard input, events
// printed as they arrive while the prompt waits; `help` shows the language,
// `quit` or the end of input ends it.
void RunInteractive(Session& session, std::map<std::string, std::int32_t> names, std::string_view help);

}  // namespace tcphost
