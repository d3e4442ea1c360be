// tcphost fetch as a user runs it: a separate process fetching from scripted
// loopback servers, and its command line.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "console_process.h"
#include "scripted_server.h"

using tcphost::ScriptedServer;
using namespace tcptest;


TEST(TcphostFetch, PrintsTheHeadersAndBodyTheServerSent) {
  const std::string head = "HTTP/1.1 200 OK\r\nServer: test\r\nX-Empty:\r\nContent-Length: 33";
  const std::string body = "line one\r\nline two\nno newline end";
  ScriptedServer server(Answer(head + "\r\n\r\n" + body));
  const ProgramRun run = RunProgram(kTcphost + " fetch " + LoopbackUrl(server.port(), "/a/b?c=d"));
  server.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, head + "\r\n\r\n" + body);
  EXPECT_NE(run.err.find("100%  33 B of 33 B"), std::string::npos) << run.err;
  EXPECT_EQ(server.received(), "GET /a/b?c=d HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n\r\n");
}

TEST(TcphostFetch, ReachesAnIPv6AddressInBrackets) {
  ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nv6"), 1, 15000, tcphost::Loopback::Ipv6);
  const std::string port = std::to_string(server.port());
  const ProgramRun run = RunProgram(kTcphost + " fetch -s http://[::1]:" + port + "/six");
  server.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nv6");
  EXPECT_EQ(server.received(), "GET /six HTTP/1.1\r\nHost: [::1]:" + port + "\r\n\r\n");
}

TEST(TcphostFetch, SavesTheBodyAndEveryByteExactly) {
  std::string binary;
  for (unsigned i = 0; i < 300000; ++i) binary += static_cast<char>((i * 7919u) >> 3);
  const std::string response = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string("10000\r\n") +
                               binary.substr(0, 0x10000) + "\r\n" + "393e0\r\n" + binary.substr(0x10000) +
                               "\r\n0\r\n\r\n";
  ScriptedServer server(Answer(response));
  const ProgramRun run =
      RunProgram(kTcphost + " fetch " + LoopbackUrl(server.port()) + " -o console_body.bin --all console_all.bin");
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
  EXPECT_TRUE(ReadFile("console_body.bin") == binary);
  EXPECT_TRUE(ReadFile("console_all.bin") == response);
  DeleteFileA("console_body.bin");
  DeleteFileA("console_all.bin");
}

TEST(TcphostFetch, BinaryBodiesGoToStandardOutputWhole) {
  const std::string body("\x00\x01\xFF\r\n\x00zero", 10);
  ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n" + body));
  const ProgramRun run = RunProgram(kTcphost + " fetch " + LoopbackUrl(server.port()));
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n" + body);
}

TEST(TcphostFetch, DecodesUtf8BodiesAndPicksHeaders) {
  const std::string privet = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет" in UTF-8
  ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nX-A: 1\r\n"
                               "Content-Length: 12\r\n\r\n" + privet));
  const ProgramRun run = RunProgram(kTcphost + " fetch " + LoopbackUrl(server.port()) + " --header content-type -v");
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + privet);
  for (const char* event : {"event 5 (resolved): 127.0.0.1", "event 1 (connected): \xD0\x9A\xD0\xBB\xD0\xB8",
                            "event 7 (complete): 200"})
    EXPECT_NE(run.err.find(event), std::string::npos) << event << "\n" << run.err;
}

TEST(TcphostFetch, EachFailureGivesOneLineAndStatusOne) {
  // The silent server's port is bound only when its case comes, so that it
  // still listens however slowly the cases before it ran.
  std::unique_ptr<ScriptedServer> silent;
  const auto silentPort = [&silent] {
    silent = std::make_unique<ScriptedServer>(std::vector<tcphost::ServerStep>{
        tcphost::readUntil("\r\n\r\n"), tcphost::pause(6000), tcphost::closeGracefully()});
    return std::to_string(silent->port());
  };
  const struct {
    std::function<std::string()> arguments;
    std::function<std::string()> message;
  } cases[] = {
      {[] { return LoopbackUrl(ScriptedServer::closedPort()); }, [] { return "tcphost: cannot connect to 127.0.0.1:"; }},
      {[] { return "http://a..b/"; }, [] { return "tcphost: cannot resolve host a..b: WSA"; }},
      {[] { return "ftp://127.0.0.1/"; },
       [] { return "tcphost: not an http:// or https:// URL: ftp://127.0.0.1/\n"; }},
      {[] { return "http://127.0.0.1:99999/"; },
       [] { return "tcphost: the port must be a number from 1 to 65535: http://127.0.0.1:99999/\n"; }},
      {[&] { return "http://127.0.0.1:" + silentPort() + "/ --timeout 1"; },
       [&] { return "tcphost: no data from 127.0.0.1:" + std::to_string(silent->port()) + " for 1 s\n"; }},
  };
  for (const auto& c : cases) {
    const std::string arguments = c.arguments();
    const ProgramRun run = RunProgram(kTcphost + " fetch " + arguments);
    const std::string message = c.message();
    EXPECT_TRUE(run.finished) << arguments;
    EXPECT_EQ(run.status, 1u) << arguments << "\n" << Describe(run);
    EXPECT_EQ(run.err.substr(0, message.size()), message) << arguments;
    EXPECT_EQ(run.out, "") << arguments;
  }
}

TEST(TcphostConsole, HelpAndMistakesInTheCommandLine) {
  for (const char* flag : {" --help", " -h"}) {
    const ProgramRun run = RunProgram(kTcphost + flag);
    EXPECT_EQ(run.status, 0u);
    EXPECT_EQ(run.out.substr(0, 14), "usage: tcphost");
  }
  const ProgramRun unknown = RunProgram(kTcphost + " fetch http://127.0.0.1/ --bogus");
  EXPECT_EQ(unknown.status, 2u);
  EXPECT_EQ(unknown.err, "tcphost: unknown option --bogus (tcphost --help shows the usage)\n");
  const ProgramRun missing = RunProgram(kTcphost + " --dll no_such.dll fetch http://127.0.0.1/");
  EXPECT_EQ(missing.status, 1u);
  EXPECT_EQ(missing.err.substr(0, 33), "tcphost: cannot load no_such.dll ");
}


namespace {

using tcphost::closeGracefully;
using tcphost::readUntil;
using tcphost::sendBytes;
using tcphost::ServerStep;

std::string lengthResponse(const std::string& head, const std::string& body) {
  return head + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// Answers each request on one connection with the next response, then waits
// for the client to close.
std::vector<ServerStep> keptAnswers(const std::vector<std::string>& responses) {
  std::vector<ServerStep> steps;
  for (const std::string& response : responses) {
    steps.push_back(readUntil("\r\n\r\n"));
    steps.push_back(sendBytes(response));
  }
  steps.push_back(closeGracefully());
  return steps;
}

}  // namespace

TEST(TcphostFetch, UrlsOfOneServerShareOneConnection) {
  ScriptedServer server(keptAnswers({lengthResponse("HTTP/1.1 200 OK", "one"),
                                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\ntwo\r\n0\r\n\r\n"}));
  const ProgramRun run = RunProgram(kTcphost + " fetch -s " + LoopbackUrl(server.port(), "/1") + " " +
                                    LoopbackUrl(server.port(), "/2"));
  server.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\none"
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\ntwo");
  EXPECT_EQ(server.accepted(), 1);
  EXPECT_EQ(run.err, "") << "-s: no progress bar";
}

TEST(TcphostFetch, FollowsARelativeAndAnAbsoluteRedirect) {
  ScriptedServer final(keptAnswers({lengthResponse("HTTP/1.1 200 OK", "arrived")}));
  const std::string absolute = LoopbackUrl(final.port(), "/final");
  ScriptedServer first(keptAnswers({lengthResponse("HTTP/1.1 302 Found\r\nLocation: ../next?x=1", "moved"),
                                    lengthResponse("HTTP/1.1 301 Moved\r\nLocation: " + absolute, "")}));
  const ProgramRun run = RunProgram(kTcphost + " fetch -L -s " + LoopbackUrl(first.port(), "/a/b"));
  first.join();
  final.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\narrived");
  const std::string port = std::to_string(first.port());
  EXPECT_EQ(first.received(), "GET /a/b HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\nGET /next?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + port + "\r\n\r\n");
  EXPECT_EQ(first.accepted(), 1) << "the relative redirect stays on the connection";
  EXPECT_EQ(final.received().substr(0, 22), "GET /final HTTP/1.1\r\nH");
}

TEST(TcphostFetch, MethodsBodiesAndHeadersGoOutAsGiven) {
  ScriptedServer posted(keptAnswers({lengthResponse("HTTP/1.1 201 Created", "made")}));
  const ProgramRun post = RunProgram(kTcphost + " fetch -s -X POST -d a=1&b=2 -H \"X-Trace: 7\" " +
                                     LoopbackUrl(posted.port(), "/form"));
  posted.join();
  EXPECT_EQ(post.status, 0u) << Describe(post);
  EXPECT_EQ(posted.received(), "POST /form HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(posted.port()) +
                                   "\r\nX-Trace: 7\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                   "Content-Length: 7\r\n\r\na=1&b=2");

  ScriptedServer headed(keptAnswers({"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"}));
  const ProgramRun head = RunProgram(kTcphost + " fetch -s -I " + LoopbackUrl(headed.port()));
  headed.join();
  EXPECT_EQ(head.status, 0u) << Describe(head);
  EXPECT_EQ(head.out, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
  EXPECT_EQ(headed.received().substr(0, 15), "HEAD / HTTP/1.1");
}

TEST(TcphostFetch, FailAndTruncationExitAsCurlDoes) {
  ScriptedServer missing(keptAnswers({lengthResponse("HTTP/1.1 404 Not Found", "no such page")}));
  const ProgramRun failed = RunProgram(kTcphost + " fetch -s --fail " + LoopbackUrl(missing.port(), "/gone"));
  missing.join();
  EXPECT_EQ(failed.status, 22u) << Describe(failed);
  EXPECT_EQ(failed.out, "");
  EXPECT_EQ(failed.err, "tcphost: the server answered 404 for /gone\n");

  ScriptedServer cut({readUntil("\r\n\r\n"), sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf"),
                      closeGracefully()});
  const ProgramRun truncated = RunProgram(kTcphost + " fetch -s " + LoopbackUrl(cut.port()));
  cut.join();
  EXPECT_EQ(truncated.status, 18u) << Describe(truncated);
  EXPECT_EQ(truncated.out, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nhalf") << "what arrived is shown";
  EXPECT_EQ(truncated.err, "tcphost: the connection closed before the response was complete\n");
}

TEST(TcphostFetch, AnOlderLibraryStillFetchesWithOneConnectionEach) {
  // Without setevents tcphost reads events from the slots and asks the server to close.
  ScriptedServer server(Answer(lengthResponse("HTTP/1.1 200 OK", "legacy")));
  const ProgramRun run = RunProgram(kTcphost + " --dll support\\no_queued_events.dll fetch -s " + LoopbackUrl(server.port()));
  server.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nlegacy");
  EXPECT_NE(server.received().find("Connection: close\r\n"), std::string::npos) << server.received();
}
