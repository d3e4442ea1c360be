#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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

// Turns the characters of a script's texts (UTF-8) into the bytes the
// library takes (the ANSI code page); nothing for bytes that are not UTF-8 or
// characters the code page lacks. Escapes are bytes already and bypass it, and
// so do the texts that are bytes for the network or a file: serve's
// responses and expect-file's content.
using TextEncoder = std::function<std::optional<std::string>(std::string_view utf8)>;

// The language, one statement a line:
//   NAME ARGUMENT...   where NAME is an export of tcp.dll or one of tcphost's
//                      own words (wait, expect, expect-data, expect-file,
//                      sleep, serve, print)
//   # comment
// A text is written in double quotes with C escapes (\r \n \t \\ \" \xHH);
// a number is decimal, or a name bound to a number.
// Without an encoder, texts keep their bytes as written.
using ParsedLine = std::variant<std::monostate, Statement, ScriptError>;
ParsedLine ParseLine(std::string_view line, int lineNumber, const TextEncoder& encoder = {});

// Parses a whole script, a UTF-8 byte-order mark at its start skipped; stops
// at the first error.
std::variant<std::vector<Statement>, ScriptError> ParseScript(std::string_view script,
                                                              const TextEncoder& encoder = {});

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
  Print,        // print TEXT, or the last result: print TEXT / print VALUE unquoted
};
Action ActionOf(const Statement& statement);

// The text with its bytes below 32, above 126, quotes and backslashes
// written as escapes, in double quotes: how results and errors show texts.
std::string Quoted(std::string_view bytes);

}  // namespace tcphost
