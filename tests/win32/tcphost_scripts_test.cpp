// tcphost run with every example script and failing scripts, tcphost
// --version, and the C hosts.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "console_process.h"
#include "release_version.h"
#include "scripted_server.h"

using tcphost::ScriptedServer;
using namespace tcptest;

TEST(TcphostRun, EveryExampleScriptPasses) {
  // get_with_header runs twice: with a top-level host window and with a child one.
  const struct {
    const char* window;
    const char* example;
  } runs[] = {{"", "get_with_header"}, {"--child ", "get_with_header"}, {"", "markers"},
              {"", "chunked_download"}, {"", "text_conversions"}, {"", "keep_alive"}};
  for (const auto& r : runs) {
    const std::string arguments = std::string(r.window) + "run support\\" + r.example + ".tcp";
    const ProgramRun run = RunProgram(kTcphost + " " + arguments);
    EXPECT_TRUE(run.finished) << arguments;
    EXPECT_EQ(run.status, 0u) << arguments << "\n" << Describe(run);
  }
  DeleteFileA("chunked_download.bin");
  DeleteFileA("chunked_download.all");
}

TEST(TcphostRun, AFailingLineEndsTheScriptAndIsNamed) {
  const struct {
    const char* script;
    const char* message;
  } cases[] = {
      {"SetFile \"abc\"\nutfenk\nexpect \"abd\"\nprint \"not reached\"\n",
       "tcphost: console_script.tcp:3: expected \"abd\", got \"abc\"\n"},
      {"SetData 7\nexpect-data 8\n", "tcphost: console_script.tcp:2: expected the value 8, got 7\n"},
      {"# nothing\nkconnect\n", "tcphost: console_script.tcp:2: unknown command kconnect\n"},
      {"SetData PORT\n", "tcphost: console_script.tcp:1: PORT is not set"},
      {"SetFile \"127.0.0.1\"\nsetip\nkconect\nwait 5 1\n", "tcphost: console_script.tcp:4: no event 5 within 1 s of silence\n"},
  };
  for (const auto& c : cases) {
    std::ofstream("console_script.tcp", std::ios::binary) << c.script;
    const ProgramRun run = RunProgram(kTcphost + " run console_script.tcp");
    EXPECT_EQ(run.status, 1u) << c.script;
    EXPECT_EQ(run.out, "") << c.script;
    const std::string message = c.message;
    EXPECT_NE(run.err.find(message), std::string::npos) << c.script << "\n" << run.err;
  }
  std::ofstream("console_script.tcp", std::ios::binary) << "SetData PORT\nGetData\n";
  const ProgramRun bound = RunProgram(kTcphost + " run --set PORT=4321 console_script.tcp");
  EXPECT_EQ(bound.status, 0u) << Describe(bound);
  EXPECT_EQ(bound.out, "4321\n");
  DeleteFileA("console_script.tcp");
}

TEST(TcphostVersion, PrintsItsReleaseAndTheDllsVersionResource) {
  const std::string release = TCP_RELEASE_VERSION;
  const std::string library = ": release " + release + ", FileVersion 1.0.0.0, ProductVersion 1.0.0.0\n";
  const struct {
    const char* arguments;
    DWORD status;
    std::string out;
    const char* err;
  } cases[] = {
      {"--dll support\\tcp.dll --version", 0, "tcphost " + release + "\nsupport\\tcp.dll" + library, ""},
      {"--version", 0, "support\\tcp.dll" + library, ""},
      {"--dll support\\no_queued_events.dll --version", 1, "tcphost " + release + "\n",
       "tcphost: no version resource in support\\no_queued_events.dll\n"},
      {"--dll support\\absent.dll --version", 1, "tcphost " + release + "\n",
       "tcphost: no version resource in support\\absent.dll\n"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = RunProgram(kTcphost + " " + c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments << "\n" << Describe(run);
    // Without --dll the path is the full one of the DLL beside tcphost.exe.
    EXPECT_TRUE(run.out.ends_with(c.out)) << c.arguments << "\n" << run.out;
    EXPECT_NE(run.err.find(c.err), std::string::npos) << c.arguments << "\n" << run.err;
  }
}

TEST(MinimalHost, FetchesAPage) {
  const std::string body = "<p>from the minimal host</p>";
  ScriptedServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 28\r\n\r\n" + body));
  const ProgramRun run =
      RunProgram("support\\minimal_host.exe localhost " + std::to_string(server.port()) + " /index.html");
  server.join();
  EXPECT_EQ(run.status, 0u) << Describe(run);
  EXPECT_EQ(run.out, body);
  EXPECT_EQ(server.received().substr(0, 26), "GET /index.html HTTP/1.1\r\n");
}

TEST(QueuedHost, FetchesPagesOnOneConnection) {
  ScriptedServer server({tcphost::readUntil("\r\n\r\n"),
                         tcphost::sendBytes("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfirst"),
                         tcphost::readUntil("\r\n\r\n"),
                         tcphost::sendBytes("HTTP/1.1 404 Not Found\r\nTransfer-Encoding: chunked\r\n\r\n"
                                            "6\r\nsecond\r\n0\r\n\r\n"),
                         tcphost::closeGracefully()});
  const ProgramRun run =
      RunProgram("support\\queued_host.exe 127.0.0.1 " + std::to_string(server.port()) + " /one /two");
  server.join();
  EXPECT_EQ(run.status, 22u) << Describe(run);
  EXPECT_EQ(run.out, "firstsecond");
  EXPECT_NE(run.err.find("queued_host: 404 Not Found"), std::string::npos) << run.err;
  EXPECT_EQ(server.accepted(), 1);
}
