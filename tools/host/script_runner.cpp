#include "script_runner.h"

#include <fstream>
#include <iterator>

#include "console_text.h"

namespace tcphost {

namespace {

constexpr std::int32_t kDefaultWaitSeconds = 10;
constexpr int kServerTimeoutMs = 10000;

bool IsTextGetter(const std::string& name) {
  return name == "GetFile" || name == "GetInfo" || name == "GetShortInfo" || name == "Copyright";
}

bool IsValueGetter(const std::string& name) { return name == "GetData" || name == "GetType"; }

std::string Shown(std::string_view ansi) { return ansiToUtf8(Quoted(ansi)); }

std::string ReadFile(const std::string& path, bool& found) {
  std::ifstream file(path, std::ios::binary);
  found = static_cast<bool>(file);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

ScriptRunner::ScriptRunner(Session& session, std::map<std::string, std::int32_t> names, bool echo)
    : session_(session), names_(std::move(names)), echo_(echo) {}

void ScriptRunner::readSlots() {
  lastText_ = session_.plugin().getFile();
  lastValue_ = session_.plugin().getData();
}

std::string ScriptRunner::number(const Argument& argument, std::int32_t& value) const {
  if (argument.kind == Argument::Kind::Number) {
    value = argument.number;
    return {};
  }
  const auto bound = names_.find(argument.text);
  if (bound == names_.end())
    return argument.text + " is not set (serve sets PORT; tcphost run --set NAME=N sets others)";
  value = bound->second;
  return {};
}

std::string ScriptRunner::run(const Statement& statement) {
  PluginLibrary& plugin = session_.plugin();
  const auto& arguments = statement.arguments;
  if (ActionOf(statement) == Action::Print) return print(arguments[0]);
  std::int32_t values[4] = {};
  for (std::size_t i = 0; i < arguments.size() && i < 4; ++i)
    if (arguments[i].kind != Argument::Kind::Text) {
      const std::string problem = number(arguments[i], values[i]);
      if (!problem.empty()) return problem;
    }
  switch (ActionOf(statement)) {
    case Action::Call:
      return call(statement);
    case Action::CallText:
      plugin.entryAs<tcp_set_text_fn>(statement.name.c_str())(arguments[0].text.c_str());
      readSlots();
      return {};
    case Action::CallValue:
      plugin.setData(values[0]);
      readSlots();
      return {};
    case Action::CallDraw:
      plugin.draw(values[0], values[1], values[2], values[3]);
      return {};
    case Action::Wait:
      return wait(values[0], arguments.size() > 1 ? values[1] : kDefaultWaitSeconds);
    case Action::Expect:
      if (lastText_ == arguments[0].text) return {};
      return "expected " + Shown(arguments[0].text) + ", got " + Shown(lastText_);
    case Action::ExpectData:
      if (lastValue_ == values[0]) return {};
      return "expected the value " + std::to_string(values[0]) + ", got " + std::to_string(lastValue_);
    case Action::ExpectFile: {
      bool found = false;
      const std::string content = ReadFile(arguments[0].text, found);
      if (!found) return "no file " + arguments[0].text;
      if (content == arguments[1].text) return {};
      return arguments[0].text + " holds " + Shown(content) + ", expected " + Shown(arguments[1].text);
    }
    case Action::Sleep:
      session_.host().pumpFor(values[0]);
      return {};
    case Action::Serve:
      return serve(statement);
    case Action::Print:
      return {};
  }
  return {};
}

// A text prints as it is; the names TEXT and VALUE print the last result.
std::string ScriptRunner::print(const Argument& argument) {
  if (argument.kind == Argument::Kind::Text) {
    printLine(ansiToUtf8(argument.text));
  } else if (argument.text == "TEXT") {
    printLine(ansiToUtf8(lastText_));
  } else if (argument.text == "VALUE") {
    printLine(std::to_string(lastValue_));
  } else {
    return "print takes a text, TEXT or VALUE";
  }
  return {};
}

std::string ScriptRunner::call(const Statement& statement) {
  PluginLibrary& plugin = session_.plugin();
  const char* name = statement.name.c_str();
  if (!plugin.has(name)) return "this tcp.dll has no " + statement.name;
  if (IsTextGetter(statement.name)) {
    lastText_ = plugin.entryAs<tcp_get_text_fn>(name)();
    printLine(ansiToUtf8(lastText_));
    return {};
  }
  if (IsValueGetter(statement.name)) {
    lastValue_ = plugin.entryAs<tcp_get_value_fn>(name)();
    printLine(std::to_string(lastValue_));
    return {};
  }
  const std::int32_t mode = plugin.getData();
  plugin.command(name);
  // The host reads events as the library now sends them.
  if (statement.name == "setevents" && (mode == 0 || mode == 1)) session_.host().readQueuedEvents(mode == 1);
  readSlots();
  if (echo_) printLine("  text " + Shown(lastText_) + "  value " + std::to_string(lastValue_));
  return {};
}

// Any event restarts the count: SECONDS is how long the wait bears silence.
std::string ScriptRunner::wait(std::int32_t code, std::int32_t seconds) {
  const auto& seen = session_.host().notifications();
  std::size_t match = waited_;
  const auto arrived = [&] {
    for (; match < seen.size(); ++match)
      if (seen[match].code == code) return true;
    return false;
  };
  for (std::size_t heard = seen.size(); !session_.host().pumpUntil(arrived, seconds * 1000); heard = seen.size())
    if (seen.size() == heard)
      return "no event " + std::to_string(code) + " within " + std::to_string(seconds) + " s of silence";
  lastText_ = seen[match].text;
  lastValue_ = seen[match].code;
  waited_ = match + 1;
  return {};
}

std::string ScriptRunner::serve(const Statement& statement) {
  std::vector<ServerStep> steps;
  for (const Argument& response : statement.arguments) {
    steps.push_back(readUntil("\r\n\r\n"));
    steps.push_back(sendBytes(response.text));
  }
  steps.push_back(closeGracefully());
  server_.reset();
  server_ = std::make_unique<ScriptedServer>(std::move(steps), 1, kServerTimeoutMs);
  names_["PORT"] = server_->port();
  return {};
}

bool RunScript(Session& session, const std::string& scriptName, const std::string& script,
               std::map<std::string, std::int32_t> names) {
  const auto parsed = ParseScript(script, utf8ToAnsi);
  if (const auto* error = std::get_if<ScriptError>(&parsed)) {
    printError("tcphost: " + scriptName + ":" + std::to_string(error->line) + ": " + error->message);
    return false;
  }
  ScriptRunner runner(session, std::move(names), false);
  for (const Statement& statement : std::get<std::vector<Statement>>(parsed)) {
    const std::string problem = runner.run(statement);
    if (problem.empty()) continue;
    printError("tcphost: " + scriptName + ":" + std::to_string(statement.line) + ": " + problem);
    return false;
  }
  return true;
}

}  // namespace tcphost
