#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace tcptest {

// A test that may bring its host down runs in a process of its own: it is
// named DISABLED_..., so only this call runs it, and the parent test checks
// how that process ended. A crash or a hang then fails one test instead of
// ending the whole run.
inline DWORD RunTestInChildProcess(const std::string& fullTestName, DWORD timeoutMs) {
  char program[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string commandLine = std::string("\"") + program + "\" --gtest_also_run_disabled_tests --gtest_filter=" +
                            fullTestName;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child))
    return GetLastError();
  DWORD exitCode = STILL_ACTIVE;
  if (WaitForSingleObject(child.hProcess, timeoutMs) == WAIT_TIMEOUT) {
    TerminateProcess(child.hProcess, STILL_ACTIVE);
    WaitForSingleObject(child.hProcess, INFINITE);
  } else {
    GetExitCodeProcess(child.hProcess, &exitCode);
  }
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  return exitCode;
}

// How a child process ended, for a failure message.
inline std::string DescribeExit(DWORD exitCode) {
  if (exitCode == STILL_ACTIVE) return "the child did not finish in time and was stopped";
  char text[96];
  std::snprintf(text, sizeof text, "the child ended with code 0x%08lX%s", static_cast<unsigned long>(exitCode),
                exitCode >= 0xC0000000 ? " (an unhandled exception: the host died)" : "");
  return text;
}

inline LONG WINAPI EndWithExceptionCode(EXCEPTION_POINTERS* exception) {
  std::fprintf(stderr, "unhandled exception 0x%08lX\n",
               static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

// In the child: an unhandled exception ends the process with its code, at
// once, instead of waiting in a debugger's dialog.
inline void EndOnUnhandledException() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(EndWithExceptionCode);
}

}  // namespace tcptest
