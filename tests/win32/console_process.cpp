#include "console_process.h"

#include <fstream>
#include <iterator>

namespace tcptest {

namespace {

HANDLE InheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

ProgramRun RunProgram(const std::string& commandLine, DWORD timeoutMs) {
  static int runs = 0;
  const std::string stem = "console_run_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++runs);
  const std::string outPath = stem + ".out", errPath = stem + ".err";
  HANDLE out = InheritableFile(outPath);
  HANDLE err = InheritableFile(errPath);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE in = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                          nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process = {};
  std::string line = commandLine;
  ProgramRun run;
  if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    run.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!run.finished) TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &run.status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(in);
  CloseHandle(out);
  CloseHandle(err);
  run.out = Slurp(outPath);
  run.err = Slurp(errPath);
  DeleteFileA(outPath.c_str());
  DeleteFileA(errPath.c_str());
  return run;
}

std::string LoopbackUrl(std::uint16_t port, const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(port) + path;
}

std::string ReadFile(const std::string& path) { return Slurp(path); }

std::vector<tcphost::ServerStep> Answer(const std::string& response) {
  return {tcphost::readUntil("\r\n\r\n"), tcphost::sendBytes(response), tcphost::closeGracefully()};
}

std::string Describe(const ProgramRun& run) {
  return "status " + std::to_string(run.status) + "\nstdout:\n" + run.out + "\nstderr:\n" + run.err;
}

}  // namespace tcptest
