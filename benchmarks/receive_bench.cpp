// The plug-in's own work on receiving, without the socket: 256 MiB of a
// response fed through ReceivedResponse as reads deliver it (room prepared,
// bytes copied in, arrival completed), plain with a Content-Length and
// chunked in 16 KiB and 64 B chunks, in arrivals of 64 KiB and 4 MiB. Beside
// each, the framing tracker alone over the same arrivals and a plain growing
// string as a raw read loop keeps; the counters give the tracker's time as a
// share of the whole receive, and the whole receive as a multiple of the raw
// loop's. Processor time, so that a machine shared with other work does not
// move the figures much.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "http/received_response.h"
#include "http/response_framing.h"

namespace {

using namespace tcp;

constexpr std::int64_t kMiB = 1 << 20;
constexpr std::int64_t kBodySize = 256 * kMiB;

// kind 0: Content-Length; otherwise chunked in chunks of kind bytes.
std::string response(std::int64_t kind) {
  std::string body(static_cast<std::size_t>(kBodySize), 'x');
  for (std::size_t i = 0; i < body.size(); i += 4093) body[i] = static_cast<char>(i);
  if (kind == 0)
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  std::string coded = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const auto chunk = static_cast<std::size_t>(kind);
  coded.reserve(body.size() + body.size() / chunk * 8 + 64);
  char sizeLine[24];
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::size_t length = std::min(chunk, body.size() - at);
    coded.append(sizeLine, static_cast<std::size_t>(std::snprintf(sizeLine, sizeof sizeLine, "%zx\r\n", length)));
    coded.append(body, at, length);
    coded += "\r\n";
  }
  return coded + "0\r\n\r\n";
}

double processorSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

template <typename Arrive>
double timeArrivals(const std::string& wire, std::size_t arrival, Arrive arrive) {
  const double start = processorSeconds();
  for (std::size_t at = 0; at < wire.size(); at += arrival) arrive(at, std::min(arrival, wire.size() - at));
  return processorSeconds() - start;
}

double throughResponse(const std::string& wire, std::size_t arrival) {
  const double start = processorSeconds();
  {
    ReceivedResponse received;
    received.startNew("GET / HTTP/1.1\r\n\r\n");
    timeArrivals(wire, arrival, [&](std::size_t at, std::size_t count) {
      std::memcpy(received.prepareArrival(count), wire.data() + at, count);
      received.completeArrival(count);
    });
    if (received.Framing.stage() != ResponseFraming::Stage::Complete) std::abort();
  }
  return processorSeconds() - start;
}

double framingAlone(const std::string& wire, std::size_t arrival) {
  ResponseFraming framing;
  framing.start(false);
  const double seconds = timeArrivals(wire, arrival, [&](std::size_t at, std::size_t count) {
    framing.advance(std::string_view(wire.data(), at + count));
  });
  if (framing.stage() != ResponseFraming::Stage::Complete) std::abort();
  return seconds;
}

double rawLoop(const std::string& wire, std::size_t arrival) {
  const double start = processorSeconds();
  {
    std::string received;
    timeArrivals(wire, arrival, [&](std::size_t at, std::size_t count) { received.append(wire, at, count); });
    benchmark::DoNotOptimize(received.data());
  }
  return processorSeconds() - start;
}

// Args: the kind of response (see response) and the arrival size; unnamed,
// as the table of the text commands reads the first as a size.
void Receive(benchmark::State& state) {
  const std::string wire = response(state.range(0));
  const auto arrival = static_cast<std::size_t>(state.range(1));
  double whole = 0;
  double framing = 0;
  double raw = 0;
  for (auto _ : state) {
    const double seconds = throughResponse(wire, arrival);
    state.SetIterationTime(seconds);
    whole += seconds;
    framing += framingAlone(wire, arrival);
    raw += rawLoop(wire, arrival);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wire.size()));
  state.counters["bytes"] = static_cast<double>(wire.size());
  state.counters["framing_pct"] = 100 * framing / whole;
  state.counters["x_raw"] = whole / raw;
}

BENCHMARK(Receive)
    ->ArgsProduct({{0, 16 * 1024, 64}, {64 * 1024, 4 * kMiB}})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
