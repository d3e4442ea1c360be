#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "scripted_server.h"

namespace tcptest {

// What a console program printed and how it ended.
struct ProgramRun {
  DWORD status = 0xFFFFFFFF;
  std::string out;
  std::string err;
  bool finished = false;
};

// Runs a command line in the test folder with standard output and standard
// error going to files of their own; a program still running after the
// time is killed (finished stays false).
ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs = 60000);

// tcphost, the C example and the example scripts sit in support/ beside the
// test programs, with a tcp.dll of their own.
inline const std::string kTcphost = "support\\tcphost.exe";

std::string LoopbackUrl(std::uint16_t port, const std::string& path = "/");
std::string ReadFile(const std::string& path);
// A server step list: read one request, send the response, close.
std::vector<tcphost::ServerStep> Answer(const std::string& response);
// The status and both outputs, for failure messages.
std::string Describe(const ProgramRun& run);

}  // namespace tcptest
