#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "script.h"

using tcphost::Argument;
using tcphost::ParseLine;
using tcphost::ParseScript;
using tcphost::ScriptError;
using tcphost::Statement;

namespace {

Statement Parsed(const std::string& line) {
  auto parsed = ParseLine(line, 1);
  if (auto* error = std::get_if<ScriptError>(&parsed)) ADD_FAILURE() << line << ": " << error->message;
  return std::holds_alternative<Statement>(parsed) ? std::get<Statement>(parsed) : Statement{};
}

std::string ErrorOf(const std::string& line) {
  auto parsed = ParseLine(line, 7);
  const auto* error = std::get_if<ScriptError>(&parsed);
  if (!error) return "(no error)";
  EXPECT_EQ(error->line, 7);
  return error->message;
}

}  // namespace

TEST(ScriptParser, TextsTakeCEscapes) {
  const struct {
    const char* line;
    std::string text;
  } cases[] = {
      {R"(SetFile "GET / HTTP/1.1\r\nHost: a\r\n\r\n")", "GET / HTTP/1.1\r\nHost: a\r\n\r\n"},
      {R"(SetFile "tab\there")", "tab\there"},
      {R"(SetFile "quote \" and backslash \\")", "quote \" and backslash \\"},
      {R"(SetFile "\xCF\xf0\x00!")", std::string("\xCF\xF0\0!", 4)},
      {R"(SetFile "zero \0 byte")", std::string("zero \0 byte", 11)},
      {R"(SetFile "")", ""},
      {R"(SetFile "# not a comment")", "# not a comment"},
      {"SetFile \"\xD0\x9F\xD1\x80\"", "\xD0\x9F\xD1\x80"},
      {"  SetFile \"x\"   # trailing comment\r", "x"},
  };
  for (const auto& c : cases) {
    const Statement statement = Parsed(c.line);
    ASSERT_EQ(statement.arguments.size(), 1u) << c.line;
    EXPECT_EQ(statement.arguments[0].kind, Argument::Kind::Text) << c.line;
    EXPECT_EQ(statement.arguments[0].text, c.text) << c.line;
  }
}

TEST(ScriptParser, NumbersNamesAndOptionalArguments) {
  Statement wait = Parsed("wait 2 30");
  EXPECT_EQ(wait.name, "wait");
  ASSERT_EQ(wait.arguments.size(), 2u);
  EXPECT_EQ(wait.arguments[1].number, 30);
  EXPECT_EQ(Parsed("wait 4").arguments.size(), 1u);
  EXPECT_EQ(Parsed("SetData -2147483648").arguments[0].number, INT32_MIN);
  const Statement port = Parsed("SetData PORT");
  EXPECT_EQ(port.arguments[0].kind, Argument::Kind::Name);
  EXPECT_EQ(port.arguments[0].text, "PORT");
  EXPECT_EQ(Parsed("serve \"a\" \"b\" \"c\"").arguments.size(), 3u);
  EXPECT_EQ(Parsed("Draw 0 10 300 40").arguments.size(), 4u);
  EXPECT_TRUE(Parsed("kconect").arguments.empty());
  EXPECT_EQ(tcphost::ActionOf(Parsed("expect-data 5")), tcphost::Action::ExpectData);
  EXPECT_EQ(tcphost::ActionOf(Parsed("getheadername")), tcphost::Action::Call);
}

TEST(ScriptParser, MistakesAreNamed) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"kconnect", "unknown command kconnect"},
      {"SetParentWindow", "unknown command SetParentWindow"},
      {"setfile \"x\"", "unknown command setfile"},
      {"SetFile \"open", "the text has no closing quote"},
      {"SetFile \"ends in backslash\\", "the text has no closing quote"},
      {R"(SetFile "\q")", "unknown escape \\q"},
      {R"(SetFile "\x4")", "\\x needs two hexadecimal digits"},
      {R"(SetFile "\xg0")", "\\x needs two hexadecimal digits"},
      {"SetFile hello", "SetFile: argument 1 must be a text in double quotes"},
      {"SetFile hello.world", "a text must be written in double quotes: hello.world"},
      {"SetFile \"a\"\"b\"", "arguments must be separated by blanks"},
      {"SetFile", "SetFile takes 1 argument(s)"},
      {"SetData \"80\"", "SetData: argument 1 must be a number"},
      {"SetData 99999999999", "not a 32-bit number: 99999999999"},
      {"SetData 12ab", "not a 32-bit number: 12ab"},
      {"kconect 1", "kconect: too many arguments"},
      {"wait", "wait takes 1 argument(s)"},
      {"wait 1 2 3", "wait: too many arguments"},
      {"serve \"a\" 5", "serve: argument 2 must be a text in double quotes"},
      {"\"SetFile\"", "a line must start with a command name"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(c.line), c.message) << c.line;
}

TEST(ScriptParser, ScriptsSkipBlanksAndCommentsAndStopAtTheFirstErrorWithItsLine) {
  const auto good = ParseScript("# a comment\n\n  \nSetData 80\r\nsetport\n");
  ASSERT_TRUE(std::holds_alternative<std::vector<Statement>>(good));
  const auto& statements = std::get<std::vector<Statement>>(good);
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[0].line, 4);
  EXPECT_EQ(statements[1].line, 5);

  const auto bad = ParseScript("SetData 80\n# fine\nSetFile \"unclosed\nkconnect\n");
  ASSERT_TRUE(std::holds_alternative<ScriptError>(bad));
  EXPECT_EQ(std::get<ScriptError>(bad).line, 3);
}

TEST(ScriptParser, QuotedShowsTextsAsTheyAreWritten) {
  EXPECT_EQ(tcphost::Quoted(std::string("a\r\n\t\"\\\x01\0\x7f\xCF", 10)), R"("a\r\n\t\"\\\x01\x00\x7f)" "\xCF\"");
  const std::string original = std::string("x\r\n\"\\\x05y", 7);
  const Statement back = Parsed("SetFile " + tcphost::Quoted(original));
  EXPECT_EQ(back.arguments[0].text, original);
}

// A stand-in for the code page: two Cyrillic letters, and nothing else that
// is not ASCII.
std::optional<std::string> ToyAnsi(std::string_view utf8) {
  std::string ansi;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (static_cast<unsigned char>(utf8[i]) < 0x80) {
      ansi += utf8[i];
    } else if (utf8.substr(i, 2) == "\xD0\x9F") {
      ansi += '\xCF';
      ++i;
    } else if (utf8.substr(i, 2) == "\xD1\x80") {
      ansi += '\xF0';
      ++i;
    } else {
      return std::nullopt;
    }
  }
  return ansi;
}

// Written characters reach the library in its code page; escapes, a
// server's responses and a file's expected content stay the bytes written.
TEST(ScriptParser, TextsAreEncodedForTheLibraryButEscapesAndNetworkBytesAreNot) {
  const auto parsed = ParseScript(
      "\xEF\xBB\xBFSetFile \"\xD0\x9F\xD1\x80 \\xD0\\x9F\"\n"
      "serve \"\xD0\x9F\" \"\xD1\x80\"\n"
      "expect-file \"\xD0\x9F.txt\" \"\xD0\x9F\"\n"
      "print TEXT\n",
      ToyAnsi);
  ASSERT_TRUE(std::holds_alternative<std::vector<Statement>>(parsed));
  const auto& statements = std::get<std::vector<Statement>>(parsed);
  ASSERT_EQ(statements.size(), 4u);
  EXPECT_EQ(statements[0].arguments[0].text, "\xCF\xF0 \xD0\x9F");
  EXPECT_EQ(statements[1].arguments[0].text, "\xD0\x9F");
  EXPECT_EQ(statements[1].arguments[1].text, "\xD1\x80");
  EXPECT_EQ(statements[2].arguments[0].text, "\xCF.txt");
  EXPECT_EQ(statements[2].arguments[1].text, "\xD0\x9F");
  EXPECT_EQ(statements[3].arguments[0].kind, Argument::Kind::Name);

  const auto lacking = ParseScript("SetData 1\nSetFile \"\xE2\x82\xAC\"\n", ToyAnsi);
  ASSERT_TRUE(std::holds_alternative<ScriptError>(lacking));
  EXPECT_EQ(std::get<ScriptError>(lacking).line, 2);
  EXPECT_EQ(std::get<ScriptError>(lacking).message,
            "the text is not UTF-8, or holds a character the ANSI code page lacks");
}
