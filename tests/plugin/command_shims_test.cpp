// The commands as the host calls them: which slots and which parts of the
// response each one reads, and that each leaves its result only where it says.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "fake_code_pages.h"
#include "fake_files.h"
#include "fake_sockets.h"
#include "fake_tls.h"
#include "fake_window_system.h"
#include "plugin/plugin_session.h"
#include "textops/textops.h"
#include "response_fixtures.h"

extern "C" {
void SetFile(const char* text);
void SetData(std::int32_t value);
void recev();
void getheader();
void gethtml0();
void parserez();
void parseotvet();
void makeheader();
void makechunkeds();
void getheadername();
void savebin();
void savebinall();
void strip();
void utfenk();
void utfdek();
void oem2ansi();
void ansi2oem();
void sethost();
void setip();
void setport();
void kconect();
void disconect();
void sendc();
void status();
void settls();
void lasterror();
void settimeout();
void addca();
void setevents();
void nextevent();
void getstatus();
void getvalue();
void getsize();
void setproxy();
void setcert();
}

namespace tcp {
namespace {

using namespace std::string_literals;
using Command = void (*)();

class CommandShims : public ::testing::Test {
 protected:
  CommandShims() : session(PluginSession()) {
    session = Session{};
    session.platform.codePages = &codePages;
    session.platform.files = &files;
    session.platform.sockets = &sockets;
    session.platform.windows = &windows;
  }
  ~CommandShims() override { session = Session{}; }

  std::string run(Command command, const std::string& text) {
    SetFile(text.c_str());
    command();
    return session.exchange.ExchangeText.text();
  }

  Session& session;
  fakes::FakeCodePages codePages;
  fakes::FakeFileSystem files;
  fakes::FakeSockets sockets;
  fakes::FakeWindowSystem windows;
};

TEST_F(CommandShims, MarkersComeFromTheLastTwoTextsAndEachCommandReadsItsOwnSource) {
  session.response.ReceiveBuffer = "raw <a>received</a>";
  session.response.DecodedBody = "<a>decoded</a>";
  SetFile("<a>");
  EXPECT_EQ(run(parseotvet, "</a>"), "received");
  SetFile("<a>");
  EXPECT_EQ(run(parserez, "</a>"), "decoded");
  EXPECT_EQ(session.exchange.FileHistory[1], "<a>") << "commands never shift the history";
}

TEST_F(CommandShims, StripRemovesTheTextBeforeTheLastFromTheTextSlot) {
  SetFile("ab");
  SetFile("unused");
  session.exchange.ExchangeText = "xaabby\0ab"s;  // as a command that copied received bytes leaves it
  strip();
  EXPECT_EQ(session.exchange.ExchangeText.text(), "xy\0"s);
}

TEST_F(CommandShims, SavebinWritesTheMessageBodyAndSavebinallEveryByte) {
  for (const fixtures::Response& fixture : fixtures::responses()) {
    SCOPED_TRACE(fixture.name);
    files.files = {{"body.bin", "older contents"}, {"all.bin", "older contents"}};
    session.response.ReceiveBuffer = fixture.raw;
    run(savebin, "body.bin");
    run(savebinall, "all.bin");
    EXPECT_EQ(files.files["body.bin"], fixture.payload);
    EXPECT_EQ(files.files["all.bin"], fixture.raw);
  }
}

TEST_F(CommandShims, AnUnwritablePathChangesNothingAndReportsNothing) {
  files.unwritable.insert("locked.bin");
  session.exchange.ExchangeValue = 9;
  session.response.ReceiveBuffer = fixtures::responses().front().raw;
  EXPECT_EQ(run(savebin, "locked.bin"), "locked.bin");
  EXPECT_EQ(run(savebinall, "locked.bin"), "locked.bin");
  EXPECT_EQ(files.writes, 2);
  EXPECT_TRUE(files.files.empty());
  EXPECT_EQ(session.exchange.ExchangeValue, 9);
}

TEST_F(CommandShims, HeaderLinesAreKeptOnlyWhileTheFormLives) {
  session.response.ReceiveBuffer = fixtures::responses().front().raw;
  makechunkeds();
  EXPECT_EQ(session.exchange.ExchangeText.text(), "abcdefghijklmnopqrstuvwxyz12345");
  EXPECT_EQ(session.response.HeaderText, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nContent-Type: text/plain\r");
  EXPECT_TRUE(session.response.HeaderLines.empty());
  EXPECT_EQ(run(getheadername, "content-type"), "");

  session.headerLinesKept = true;
  makechunkeds();
  EXPECT_EQ(run(getheadername, "content-type"), "Content-Type: text/plain");
  session.response.HeaderText.clear();
  makeheader();
  EXPECT_TRUE(session.response.HeaderLines.empty()) << "makeheader replaces the list whole";
}

TEST_F(CommandShims, TextCommandsTouchOnlyTheTextSlot) {
  struct Case {
    Command command;
    std::string input, output;
  };
  session.response.ReceiveBuffer = "H: v\r\n\r\nbody";
  const Case cases[] = {
      {utfenk, "\xCF", "\xD0\x9F"},
      {utfdek, "\xD0\x9F", "\xCF"},
      {utfdek, "\xD0\x9F\xD0", ""},  // a failed decoding reports nothing
      {oem2ansi, "\x8F", "\xCF"},
      {ansi2oem, "\xCF", "\x8F"},
      {utfenk, "", ""},
      {gethtml0, "x", "body"},
      {getheader, "x", "H: v\0"s},
      {recev, "x", "H: v\r\n\r\nbody"},
  };
  for (const Case& c : cases) {
    session.exchange.ExchangeValue = 77;
    SetFile("older");
    EXPECT_EQ(run(c.command, c.input), c.output) << c.input;
    EXPECT_EQ(session.exchange.ExchangeValue, 77);
    EXPECT_EQ(session.exchange.FileHistory[0], c.input);
    EXPECT_EQ(session.exchange.FileHistory[1], "older");
    EXPECT_TRUE(windows.posted.empty());
  }
}

TEST_F(CommandShims, ConnectionCommandsWithoutAFormLeaveTheSlotsAlone) {
  session.exchange.ExchangeValue = 42;
  sockets.hosts = {{"localhost", "127.0.0.1"}};
  for (Command command : {sethost, setip, setport, kconect, disconect, sendc, status, settls, settimeout, setproxy}) {
    EXPECT_EQ(run(command, "request"), "request");
    EXPECT_EQ(session.exchange.ExchangeValue, 42);
  }
  EXPECT_TRUE(windows.posted.empty());
  EXPECT_TRUE(sockets.calls.empty());
  EXPECT_EQ(sockets.startups, 0);
}

TEST_F(CommandShims, LasterrorGivesTheLastFailuresNameAndCode) {
  const std::pair<std::int32_t, const char*> cases[] = {{0, ""},
                                                        {10061, "WSAECONNREFUSED"},
                                                        {static_cast<std::int32_t>(0x800B010F), "CERT_E_CN_NO_MATCH"},
                                                        {407, "TCP_E_PROXY_407"},
                                                        {static_cast<std::int32_t>(0xA0100012), "TCP_E_PROXY_CLOSED"}};
  for (const auto& [code, name] : cases) {
    session.lastFailure = code;
    EXPECT_EQ(run(lasterror, "before"), name);
    EXPECT_EQ(session.exchange.ExchangeValue, code);
  }
}

// addca answers in the value alone: the text still names the file.
TEST_F(CommandShims, AddcaLeavesTheTextAndPutsItsVerdictInTheValue) {
  fakes::FakeTlsSystem tls;
  session.platform.tls = &tls;
  files.files["ca.pem"] = "certificate";
  EXPECT_EQ(run(addca, "ca.pem"), "ca.pem");
  EXPECT_EQ(session.exchange.ExchangeValue, 0);
  EXPECT_EQ(run(addca, "gone.pem"), "gone.pem");
  EXPECT_EQ(session.exchange.ExchangeValue, static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(tls.trustedRoots, std::vector<std::string>{"certificate"});
  EXPECT_TRUE(windows.posted.empty());
}

// setcert reads its password from the text before the path, which stays.
TEST_F(CommandShims, SetcertTakesThePasswordFromTheTextBeforeThePath) {
  fakes::FakeTlsSystem tls;
  session.platform.tls = &tls;
  files.files["me.p12"] = "pkcs12:secret";
  SetFile("wrong");
  EXPECT_EQ(run(setcert, "me.p12"), "me.p12");
  EXPECT_EQ(session.exchange.ExchangeValue, static_cast<std::int32_t>(0x80070056));
  EXPECT_EQ(tls.clientCertificate, "") << "nothing taken";
  SetFile("secret");
  EXPECT_EQ(run(setcert, "me.p12"), "me.p12");
  EXPECT_EQ(session.exchange.ExchangeValue, 0);
  EXPECT_EQ(tls.clientCertificate, "pkcs12:secret");
  EXPECT_EQ(run(setcert, "gone.p12"), "gone.p12");
  EXPECT_EQ(session.exchange.ExchangeValue, static_cast<std::int32_t>(0x80070002));
  EXPECT_EQ(tls.clientCertificate, "pkcs12:secret") << "a file that cannot be read changes nothing";
  EXPECT_EQ(run(setcert, ""), "");
  EXPECT_EQ(session.exchange.ExchangeValue, 0);
  EXPECT_EQ(tls.clientCertificate, "") << "an empty path forgets it";
}

TEST_F(CommandShims, GetvalueJoinsTheValuesOfTheFieldsOfThatNameOnly) {
  session.response.startNew("GET / HTTP/1.1\r\n\r\n");
  session.response.append(
      "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Type-Options: nosniff\r\n"
      "Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2, c\r\nCache-Control: no-cache\r\ncache-control:\t max-age=0 \r\n"
      "X-Folded: first\r\n  second\r\nEmpty:\r\n\r\nbody");
  struct Case {
    const char* name;
    std::string value;
    std::int32_t count;
  };
  const Case cases[] = {
      {"content-type", "text/plain", 1},   {"Content-Type-Options", "nosniff", 1},
      {"set-cookie", "a=1; Path=/\nb=2, c", 2}, {"Cache-Control", "no-cache, max-age=0", 2},
      {"X-Folded", "first second", 1},     {"Empty", "", 1},
      {"Content", "", 0},                  {"Content-Type*", "", 0},
      {"", "", 0},                         {"HTTP/1.1 200 OK", "", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run(getvalue, c.name), c.value) << c.name;
    EXPECT_EQ(session.exchange.ExchangeValue, c.count) << c.name;
  }
}

// The status and the size follow the final response as it arrives, past an
// interim one, with no makechunkeds first.
TEST_F(CommandShims, GetstatusAndGetsizeFollowTheFinalResponse) {
  struct Step {
    std::string arrival;
    std::int32_t status;
    std::string reason;
    std::string size;
    std::int32_t state;
  };
  const Step steps[] = {
      {"", 0, "", "0", 0},
      {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Fo", 0, "", "0", 0},
      {"und\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc", 404, "Not Found", "3", 1},
      {"de\r\n0\r\n\r\n", 404, "Not Found", "5", 2},
  };
  session.response.startNew("POST / HTTP/1.1\r\n\r\n");
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arrival);
    session.response.append(step.arrival);
    EXPECT_EQ(run(getstatus, "x"), step.reason);
    EXPECT_EQ(session.exchange.ExchangeValue, step.status);
    EXPECT_EQ(run(getsize, "x"), step.size);
    EXPECT_EQ(session.exchange.ExchangeValue, step.state);
  }
  session.response.startNew("GET / HTTP/1.1\r\n\r\n");
  session.response.append("HTTP/1.1 200\r\nContent-Length: 9\r\n\r\nshort");
  session.response.Framing.close();
  EXPECT_EQ(run(getstatus, "x"), "");
  EXPECT_EQ(session.exchange.ExchangeValue, 200);
  EXPECT_EQ(run(getsize, "x"), "5");
  EXPECT_EQ(session.exchange.ExchangeValue, 3);
}

TEST_F(CommandShims, SeteventsSwitchesFromLoadOnAndZeroEmptiesTheQueue) {
  for (const std::int32_t ignored : {2, -1}) {
    SetData(ignored);
    setevents();
    EXPECT_FALSE(session.conversation.queued) << ignored;
  }
  SetData(1);
  setevents();
  ASSERT_TRUE(session.conversation.queued);
  session.conversation.events.push(1, "up", false);
  session.conversation.events.push(4, "50", true);
  SetData(1);
  setevents();
  nextevent();
  EXPECT_EQ(session.exchange.ExchangeValue, 1) << "asking again changes nothing";
  EXPECT_EQ(session.exchange.ExchangeText.text(), "up");
  SetData(0);
  setevents();
  EXPECT_FALSE(session.conversation.queued);
  nextevent();
  EXPECT_EQ(session.exchange.ExchangeValue, 0);
  EXPECT_EQ(session.exchange.ExchangeText.text(), "");
}

TEST_F(CommandShims, QueuedSavesSayHowTheyWent) {
  session.response.ReceiveBuffer = fixtures::responses().front().raw;
  files.unwritable.insert("missing\\out.bin");
  session.exchange.ExchangeValue = 9;
  run(savebin, "missing\\out.bin");
  EXPECT_EQ(session.exchange.ExchangeValue, 9) << "without queued events nothing is said";
  session.conversation.queued = true;
  run(savebin, "body.bin");
  EXPECT_EQ(session.exchange.ExchangeValue, 31);
  run(savebinall, "all.bin");
  EXPECT_EQ(session.exchange.ExchangeValue, static_cast<std::int32_t>(session.response.ReceiveBuffer.size()));
  EXPECT_EQ(run(savebin, "missing\\out.bin"), "missing\\out.bin");
  EXPECT_EQ(session.exchange.ExchangeValue, -1);
  EXPECT_EQ(run(lasterror, ""), "ERROR_PATH_NOT_FOUND");
  EXPECT_EQ(session.exchange.ExchangeValue, static_cast<std::int32_t>(0x80070003));
}

// After a large text, short texts and short results have storage of about
// their own size, in the slot and in every kept text.
TEST_F(CommandShims, ShortTextsAndResultsGiveBackTheStorageOfALargeOne) {
  const std::string large(1 << 20, 'x');
  SetFile(large.c_str());
  for (int i = 0; i < 6; ++i) SetFile("y");
  EXPECT_LE(session.exchange.ExchangeText.text().capacity(), kSpareStorageLimit);
  for (std::size_t i = 0; i < TextHistory::kLength; ++i)
    EXPECT_LE(session.exchange.FileHistory.entry(i)->capacity(), kSpareStorageLimit) << "entry " << i;
  for (Command command : {gethtml0, recev, makechunkeds, parseotvet, getsize}) {
    SetFile(large.c_str());
    session.exchange.ExchangeText.edit().reserve(4 << 20);
    command();
    EXPECT_LE(session.exchange.ExchangeText.text().capacity(), kSpareStorageLimit);
  }
}

// Platform services that run out of memory on every call.
struct ExhaustedCodePages : fakes::FakeCodePages {
  std::u16string ansiToUtf16(std::string_view) override { throw std::bad_alloc(); }
  std::string utf16ToAnsi(std::u16string_view) override { throw std::bad_alloc(); }
  std::string oemToAnsi(std::string_view) override { throw std::bad_alloc(); }
  std::string ansiToOem(std::string_view) override { throw std::bad_alloc(); }
  std::string lowerAnsi(std::string_view) override { throw std::bad_alloc(); }
  std::shared_ptr<const SingleByteCodePage> singleByteCodePage() override { throw std::bad_alloc(); }
};
struct ExhaustedFiles : fakes::FakeFileSystem {
  WriteResult writeFile(const std::string&, const Pieces&) override { throw std::bad_alloc(); }
};

TEST_F(CommandShims, ACommandThatCannotAllocateLeavesTheEmptyTextAndNothingEscapes) {
  ExhaustedCodePages exhaustedCodePages;
  ExhaustedFiles exhaustedFiles;
  session.platform.codePages = &exhaustedCodePages;
  session.platform.files = &exhaustedFiles;
  session.headerLinesKept = true;
  session.response.ReceiveBuffer = fixtures::responses().front().raw;
  makechunkeds();
  for (Command command : {utfenk, utfdek, oem2ansi, ansi2oem, getheadername, savebin, savebinall}) {
    session.exchange.ExchangeValue = 5;
    EXPECT_NO_THROW(run(command, "Content-Type"));
    EXPECT_EQ(session.exchange.ExchangeText.text(), "");
    EXPECT_EQ(session.exchange.ExchangeValue, 5);
  }
}

}  // namespace
}  // namespace tcp
