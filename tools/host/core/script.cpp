#include "script.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace tcphost {

namespace {

// Argument patterns: 't' a text, 'n' a number, 'x' either; '?' makes the rest
// optional, '+' repeats the last kind.
struct Word {
  std::string_view name;
  Action action;
  std::string_view pattern;
  // Texts from this argument on are bytes for the network or a file, kept as
  // written rather than encoded for the library.
  std::size_t firstRawText = SIZE_MAX;
};

constexpr std::array kWords = {
    // The exports that take something. SetParentWindow is left out: tcphost
    // gives the plug-in its window itself.
    Word{"SetFile", Action::CallText, "t"},
    Word{"SetPath", Action::CallText, "t"},
    Word{"SetData", Action::CallValue, "n"},
    Word{"Draw", Action::CallDraw, "nnnn"},
    // tcphost's own words.
    Word{"wait", Action::Wait, "n?n"},
    Word{"expect", Action::Expect, "t"},
    Word{"expect-data", Action::ExpectData, "n"},
    Word{"expect-file", Action::ExpectFile, "tt", 1},
    Word{"sleep", Action::Sleep, "n"},
    Word{"serve", Action::Serve, "t+", 0},
    Word{"print", Action::Print, "x"},
};

// Exports without arguments, those after ordinal 36 included (a library
// without them reports it when the script calls one).
constexpr std::array<std::string_view, 40> kCalls = {
    "GetType", "GetShortInfo", "GetInfo",  "Copyright",     "Settings",    "GetFile",    "GetData",
    "sethost", "setip",        "setport",  "kconect",       "disconect",   "sendc",      "recev",
    "status",  "getheader",    "gethtml0", "gethtml",       "getotvetlen", "parseotvet", "parserez",
    "makechunkeds", "makeheader", "getheadername", "savebin", "savebinall", "strip",    "utfenk",
    "utfdek",  "oem2ansi",     "ansi2oem", "settls",        "lasterror",   "settimeout", "addca",
    "setevents", "nextevent",  "getstatus", "getvalue",     "getsize"};

const Word* FindWord(std::string_view name) {
  for (const Word& word : kWords)
    if (word.name == name) return &word;
  return nullptr;
}

bool IsCall(std::string_view name) { return std::find(kCalls.begin(), kCalls.end(), name) != kCalls.end(); }

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void SkipBlanks(std::string_view& rest) {
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
}

// Appends the written characters of a text, through the encoder when there is one.
bool AppendLiteral(std::string& text, std::string& literal, const TextEncoder& encoder) {
  if (literal.empty()) return true;
  const std::optional<std::string> bytes = encoder ? encoder(literal) : std::optional<std::string>(literal);
  literal.clear();
  if (!bytes) return false;
  text += *bytes;
  return true;
}

constexpr char kNotEncodable[] = "the text is not UTF-8, or holds a character the ANSI code page lacks";

// Reads a quoted text from the front of rest (which starts at the quote).
// Returns an empty string on success, else what is wrong.
std::string ReadText(std::string_view& rest, std::string& text, const TextEncoder& encoder) {
  rest.remove_prefix(1);
  std::string literal;
  while (!rest.empty() && rest.front() != '"') {
    const char c = rest.front();
    rest.remove_prefix(1);
    if (c != '\\') {
      literal += c;
      continue;
    }
    if (!AppendLiteral(text, literal, encoder)) return kNotEncodable;
    if (rest.empty()) break;
    const char escape = rest.front();
    rest.remove_prefix(1);
    switch (escape) {
      case 'r': text += '\r'; break;
      case 'n': text += '\n'; break;
      case 't': text += '\t'; break;
      case '0': text += '\0'; break;
      case '\\': text += '\\'; break;
      case '"': text += '"'; break;
      case 'x': {
        const int high = rest.size() >= 2 ? HexDigit(rest[0]) : -1;
        const int low = rest.size() >= 2 ? HexDigit(rest[1]) : -1;
        if (high < 0 || low < 0) return "\\x needs two hexadecimal digits";
        text += static_cast<char>(high * 16 + low);
        rest.remove_prefix(2);
        break;
      }
      default:
        return std::string("unknown escape \\") + escape;
    }
  }
  if (rest.empty()) return "the text has no closing quote";
  if (!AppendLiteral(text, literal, encoder)) return kNotEncodable;
  rest.remove_prefix(1);
  return {};
}

// Reads one argument; returns an empty string on success, else what is wrong.
std::string ReadArgument(std::string_view& rest, Argument& argument, const TextEncoder& encoder) {
  if (rest.front() == '"') {
    argument.kind = Argument::Kind::Text;
    return ReadText(rest, argument.text, encoder);
  }
  std::size_t length = 0;
  while (length < rest.size() && rest[length] != ' ' && rest[length] != '\t') ++length;
  const std::string_view word = rest.substr(0, length);
  rest.remove_prefix(length);
  const bool numeric = (word[0] >= '0' && word[0] <= '9') || word[0] == '-';
  if (numeric) {
    argument.kind = Argument::Kind::Number;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), argument.number);
    if (error != std::errc() || end != word.data() + word.size())
      return "not a 32-bit number: " + std::string(word);
    return {};
  }
  if (!std::all_of(word.begin(), word.end(), IsNameChar))
    return "a text must be written in double quotes: " + std::string(word);
  argument.kind = Argument::Kind::Name;
  argument.text = word;
  return {};
}

// Checks the arguments against the pattern; returns what is wrong, if anything.
std::string CheckArguments(const Statement& statement, std::string_view pattern) {
  std::size_t index = 0;
  bool optional = false;
  char last = 0;
  for (const char kind : pattern) {
    if (kind == '?') {
      optional = true;
      continue;
    }
    if (kind == '+') break;
    if (index == statement.arguments.size()) {
      if (optional) return {};
      return statement.name + " takes " + std::to_string(std::min(pattern.find_first_of("?+"), pattern.size())) +
             " argument(s)";
    }
    last = kind;
    const bool isText = statement.arguments[index].kind == Argument::Kind::Text;
    if (kind != 'x' && isText != (kind == 't'))
      return statement.name + ": argument " + std::to_string(index + 1) + " must be " +
             (kind == 't' ? "a text in double quotes" : "a number");
    ++index;
  }
  const bool repeats = !pattern.empty() && pattern.back() == '+';
  for (; repeats && index < statement.arguments.size(); ++index)
    if ((statement.arguments[index].kind == Argument::Kind::Text) != (last == 't'))
      return statement.name + ": argument " + std::to_string(index + 1) + " must be a text in double quotes";
  if (index < statement.arguments.size()) return statement.name + ": too many arguments";
  return {};
}

}  // namespace

ParsedLine ParseLine(std::string_view line, int lineNumber, const TextEncoder& encoder) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = line;
  SkipBlanks(rest);
  if (rest.empty() || rest.front() == '#') return std::monostate{};
  Statement statement{lineNumber, {}, {}};
  while (!rest.empty() && IsNameChar(rest.front())) {
    statement.name += rest.front();
    rest.remove_prefix(1);
  }
  if (statement.name.empty() || (!rest.empty() && rest.front() != ' ' && rest.front() != '\t'))
    return ScriptError{lineNumber, "a line must start with a command name"};
  const Word* word = FindWord(statement.name);
  if (!word && !IsCall(statement.name)) return ScriptError{lineNumber, "unknown command " + statement.name};
  for (SkipBlanks(rest); !rest.empty() && rest.front() != '#'; SkipBlanks(rest)) {
    Argument argument{};
    const bool raw = word && statement.arguments.size() >= word->firstRawText;
    const std::string problem = ReadArgument(rest, argument, raw ? TextEncoder() : encoder);
    if (!problem.empty()) return ScriptError{lineNumber, problem};
    if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
      return ScriptError{lineNumber, "arguments must be separated by blanks"};
    statement.arguments.push_back(std::move(argument));
  }
  const std::string problem = CheckArguments(statement, word ? word->pattern : "");
  if (!problem.empty()) return ScriptError{lineNumber, problem};
  return statement;
}

std::variant<std::vector<Statement>, ScriptError> ParseScript(std::string_view script,
                                                              const TextEncoder& encoder) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (script.substr(0, kByteOrderMark.size()) == kByteOrderMark) script.remove_prefix(kByteOrderMark.size());
  std::vector<Statement> statements;
  int lineNumber = 0;
  while (!script.empty()) {
    const std::size_t end = std::min(script.find('\n'), script.size());
    ParsedLine parsed = ParseLine(script.substr(0, end), ++lineNumber, encoder);
    script.remove_prefix(std::min(end + 1, script.size()));
    if (auto* error = std::get_if<ScriptError>(&parsed)) return *error;
    if (auto* statement = std::get_if<Statement>(&parsed)) statements.push_back(std::move(*statement));
  }
  return statements;
}

Action ActionOf(const Statement& statement) {
  const Word* word = FindWord(statement.name);
  return word ? word->action : Action::Call;
}

std::string Quoted(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') text += "\\r";
    else if (c == '\n') text += "\\n";
    else if (c == '\t') text += "\\t";
    else if (c == '"' || c == '\\') (text += '\\') += c;
    else if (byte < 32 || byte == 127) ((text += "\\x") += kDigits[byte >> 4]) += kDigits[byte & 15];
    else text += c;
  }
  return text + "\"";
}

}  // namespace tcphost
