#pragma once

#include <windows.h>

#include <string>

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

}  // namespace tcptest
