// tcpbench: how fast tcp.dll, driven as a host drives it, receives one large
// HTTP response from a loopback server (or sends one large request to it),
// beside a raw window-message socket loop doing the same in the same process.
// The two alternate, each run is timed inside the program, and its last line
// sums the medians up.
#include <winsock2.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <exception>
#include <functional>
#include <string_view>
#include <vector>

#include "bench_options.h"
#include "http_response.h"
#include "plugin_receiver.h"
#include "plugin_sender.h"
#include "raw_receiver.h"
#include "raw_sender.h"
#include "release_version.h"
#include "scripted_server.h"

namespace tcpbench {

namespace {

constexpr double kMB = 1e6;
constexpr std::size_t kMiB = 1024 * 1024;
// Bounds each of the server's waits (for the next run's connection, and each
// read or send): a failed run ends the program after this at the most.
constexpr int kServerTimeoutMs = 30000;

struct Series {
  std::vector<double> speeds;  // MB/s
  std::vector<double> peaks;   // MB
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string programFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// Prints one run and adds it to its series; false when the bytes were wrong.
bool record(const char* name, int run, const RunResult& result, std::size_t bodySize, Series& series) {
  if (!result.failure.empty()) {
    std::printf("run %d %-8s FAILED: %s\n", run, name, result.failure.c_str());
    return false;
  }
  const double speed = static_cast<double>(bodySize) / result.seconds / kMB;
  const double peak = static_cast<double>(result.peakAboveBaseline) / kMB;
  series.speeds.push_back(speed);
  series.peaks.push_back(peak);
  std::printf("run %d %-8s %7.3f s %8.1f MB/s  peak +%6.1f MB (%.2f x body)  %zu %s  bytes match\n", run, name,
              result.seconds, speed, peak, static_cast<double>(result.peakAboveBaseline) / bodySize, result.steps,
              result.stepName);
  std::fflush(stdout);
  return true;
}

constexpr char kUnits[] =
    "speed: body bytes per second from request to close, MB = 10^6 bytes; peak: highest private memory "
    "(PrivateUsage, or PagefileUsage where that is 0 as under Wine) during the run minus its value just before\n";

using Runner = std::function<RunResult()>;

// Runs the two alternately and prints the medians; `measure` names the last line.
int compare(const Options& options, const char* measure, const Runner& throughPlugin, const Runner& raw) {
  const std::size_t bodySize = options.sizeMiB * kMiB;
  Series pluginSeries;
  Series rawSeries;
  bool allMatched = true;
  for (int run = 1; run <= options.runs; ++run) {
    allMatched &= record("plug-in", run, throughPlugin(), bodySize, pluginSeries);
    allMatched &= record("raw", run, raw(), bodySize, rawSeries);
  }
  if (!allMatched) {
    std::fputs("tcpbench: a run failed, no figures\n", stderr);
    return 1;
  }
  const double pluginSpeed = median(pluginSeries.speeds);
  const double rawSpeed = median(rawSeries.speeds);
  const double highestPeak = *std::max_element(pluginSeries.peaks.begin(), pluginSeries.peaks.end());
  std::printf("median plug-in %.1f MB/s, peak +%.1f MB; median raw %.1f MB/s, peak +%.1f MB\n", pluginSpeed,
              median(pluginSeries.peaks), rawSpeed, median(rawSeries.peaks));
  std::printf("highest plug-in peak +%.1f MB = %.2f x body; highest raw peak +%.1f MB\n", highestPeak,
              highestPeak * kMB / bodySize, *std::max_element(rawSeries.peaks.begin(), rawSeries.peaks.end()));
  std::printf("%s: plug-in %.0f MB/s, raw %.0f MB/s, ratio %.2f, peak plug-in %.0f MB for %zu MiB\n", measure,
              pluginSpeed, rawSpeed, pluginSpeed / rawSpeed, highestPeak, options.sizeMiB);
  return 0;
}

int receiving(const Options& options, const std::string& dll) {
  const std::string request = benchRequest();
  const std::string response = benchResponse(options.sizeMiB * kMiB, options.chunked);
  const tcphost::ScriptedServer server(
      {tcphost::readUntil("\r\n\r\n"), tcphost::sendBytes(response), tcphost::closeGracefully()}, 2 * options.runs,
      kServerTimeoutMs);
  if (server.port() == 0) {
    std::fputs("tcpbench: the loopback server could not listen\n", stderr);
    return 1;
  }
  std::printf("tcpbench: %zu MiB body, %s, %zu bytes on the wire, %d runs of each receiver alternating%s\n",
              options.sizeMiB, options.chunked ? "chunked in 16 KiB chunks" : "plain with Content-Length",
              response.size(), options.runs, options.events ? "; the plug-in with queued events, ended by code 7" : "");
  std::fputs(kUnits, stdout);
  return compare(
      options, "receive",
      [&] { return receiveThroughPlugin(dll, server.port(), request, response, options.events); },
      [&] { return receiveRaw(server.port(), request, response); });
}

// What the server read of one request against what was sent, on the
// server's thread as the bytes come; judged once the run is over.
class UploadCheck {
 public:
  explicit UploadCheck(const std::string& expected) : expected_(expected) {}

  void take(std::string_view piece) {
    const std::size_t at = read_;
    if (at + piece.size() > expected_.size() || piece != std::string_view(expected_).substr(at, piece.size()))
      differs_ = true;
    read_ = at + piece.size();
  }

  // Marks a run that otherwise went well as failed when the bytes differed,
  // and starts afresh for the next.
  RunResult judge(RunResult result) {
    if (result.failure.empty() && (differs_ || read_ != expected_.size()))
      result.failure = "the server read " + std::to_string(read_.load()) + " bytes, not the request as sent";
    read_ = 0;
    differs_ = false;
    return result;
  }

 private:
  const std::string& expected_;
  std::atomic<std::size_t> read_{0};
  std::atomic<bool> differs_{false};
};

// The server checks every byte of each request as it comes, then answers.
int sending(const Options& options, const std::string& dll) {
  const std::string request = benchUpload(options.sizeMiB * kMiB);
  const std::string reply = benchUploadReply();
  UploadCheck check(request);
  const tcphost::ScriptedServer server(
      {tcphost::passBytes(request.size(), [&](std::string_view piece) { check.take(piece); }),
       tcphost::sendBytes(reply), tcphost::closeGracefully()},
      2 * options.runs, kServerTimeoutMs);
  if (server.port() == 0) {
    std::fputs("tcpbench: the loopback server could not listen\n", stderr);
    return 1;
  }
  std::printf("tcpbench: %zu MiB body sent with Content-Length, %zu bytes on the wire, %d runs of each sender "
              "alternating; the server checks every byte\n",
              options.sizeMiB, request.size(), options.runs);
  std::fputs(kUnits, stdout);
  return compare(
      options, "send", [&] { return check.judge(sendThroughPlugin(dll, server.port(), request, reply)); },
      [&] { return check.judge(sendRaw(server.port(), request, reply)); });
}

int benchmark(const Options& options) {
  const std::string dll = options.dllPath.empty() ? programFolder() + "tcp.dll" : options.dllPath;
  return options.send ? sending(options, dll) : receiving(options, dll);
}

}  // namespace

}  // namespace tcpbench

int main(int argc, char** argv) {
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("tcpbench %s\n", TCP_RELEASE_VERSION);
    return 0;
  }
  const std::optional<tcpbench::Options> options = tcpbench::parseOptions(argc, argv);
  if (!options) return 2;
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    std::fputs("tcpbench: WSAStartup failed\n", stderr);
    return 1;
  }
  int status = 1;
  try {
    status = tcpbench::benchmark(*options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tcpbench: %s\n", error.what());
  }
  WSACleanup();
  return status;
}
