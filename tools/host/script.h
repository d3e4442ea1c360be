#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tcphost {

// One argument of a script line: a number, a name bound to a number (by
// `tcphost run --set NAME=N` or by `serve`, which binds PORT), or a text.
struct Argument {
  enum class Kind { Number, Name, Text };
  Kind kind;
  std::int32_t number = 0;
  std::string text;  // Name: the name; Text: the bytes, escapes resolved
};

// One call of a script: a line that is neither blank nor a comment.
struct Statement {
  int line;
  std::string name;
  std::vector<Argument> arguments;
};

struct ScriptError {
  int line;
  std::string message;
};

// The language, one statement a line:
//   NAME ARGUMENT...   where NAME is an export of tcp.dll or one of tcphost's
//                      own words (wait, expect, expect-data, expect-file,
//                      sleep, serve, print)
//   # comment
// A text is written in double quotes with C escapes (\r \n \t \\ \" \xHH);
// a number is decimal, or a name bound to a number.
using ParsedLine = std::variant<std::monostate, Statement, ScriptError>;
ParsedLine ParseLine(std::string_view line, int lineNumber);

// Parses a whole script; stops at the first error.
std::variant<std::vector<Statement>, ScriptError> ParseScript(std::string_view script);

// What a statement does, as far as the console needs to know.
enum class Action {
  Call,         // an export without arguments: a command, or a getter
  CallText,     // an export taking a text: SetFile, SetPath
  CallValue,    // SetData
  CallDraw,     // Draw X Y W H
  Wait,         // wait CODE [SECONDS]
  Expect,       // expect TEXT
  ExpectData,   // expect-data N
  ExpectFile,   // expect-file PATH TEXT
  Sleep,        // sleep MS
  Serve,        // serve RESPONSE...
  Print,        // print TEXT
};
Action ActionOf(const Statement& statement);

// The text with its bytes below 32, above 126, quotes and backslashes
// written as escapes, in double quotes: how results and errors show texts.
std::string Quoted(std::string_view bytes);

}  // namespace tcphost
