// Throughput of the HTTP commands on large responses, beside a plain memcpy
// of the same size: bytes per second that stay flat from 1 to 128 MiB show
// the commands are linear in their input.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "fake_code_pages.h"
#include "http/header_lines.h"
#include "http/message_parts.h"
#include "textops/textops.h"

namespace {

using namespace tcp;

constexpr std::int64_t kMiB = 1 << 20;

std::string chunkedResponse(std::int64_t size) {
  std::string raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::string chunk = "40;ext=1\r\n" + std::string(64, 'x') + "\r\n";
  while (static_cast<std::int64_t>(raw.size()) < size) raw += chunk;
  return raw + "0\r\n\r\n";
}

std::string manyHeaderLines(std::int64_t size) {
  std::string block = "HTTP/1.1 200 OK\r\n";
  for (int i = 0; static_cast<std::int64_t>(block.size()) < size; ++i)
    block += "X-Header-" + std::to_string(i % 1000) + ": some value of a header line\r\n";
  return block;
}

void setBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void Memcpy(benchmark::State& state) {
  const std::string source(static_cast<std::size_t>(state.range(0)), 'x');
  std::string target(source.size(), '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
  }
  setBytes(state, source.size());
}

void Makechunkeds(benchmark::State& state) {
  const std::string received = chunkedResponse(state.range(0));
  std::string headerText, decodedBody;
  // The first call grows the decoded body; the loop then measures the
  // decoding rather than the first touch of fresh memory, which costs far more
  // than the decoding on some virtual machines.
  SplitResponse(received, headerText, decodedBody);
  for (auto _ : state) SplitResponse(received, headerText, decodedBody);
  setBytes(state, received.size());
}

// The start marker stands near the end, after many near misses.
void Parseotvet(benchmark::State& state) {
  const std::string nearMiss = "<start-of-the-value-we-wan!>";
  std::string received;
  while (static_cast<std::int64_t>(received.size()) < state.range(0)) received += nearMiss;
  received += "<start-of-the-value-we-want>42</end>";
  for (auto _ : state) benchmark::DoNotOptimize(TextBetween(received, "<start-of-the-value-we-want>", "</end>"));
  setBytes(state, received.size());
}

void Getheadername(benchmark::State& state) {
  fakes::FakeCodePages codePages;
  const std::string headerText = manyHeaderLines(state.range(0));
  const std::vector<std::string> lines = SplitLines(headerText);
  for (auto _ : state) benchmark::DoNotOptimize(HeaderLinesNamed(lines, "x-header-99:", codePages));
  setBytes(state, headerText.size());
}

// Every removal brings a new occurrence together: "a" * n + "b" * n.
void Strip(benchmark::State& state) {
  const std::size_t half = static_cast<std::size_t>(state.range(0)) / 2;
  const std::string text = std::string(half, 'a') + std::string(half, 'b');
  std::string stripped;
  for (auto _ : state) {
    stripped = text;
    StripMarker(stripped, "ab");
  }
  setBytes(state, text.size());
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  benchmark->Arg(kMiB)->Arg(16 * kMiB)->Arg(128 * kMiB)->Unit(benchmark::kMillisecond);
}

BENCHMARK(Memcpy)->Apply(Sizes);
BENCHMARK(Makechunkeds)->Apply(Sizes);
BENCHMARK(Parseotvet)->Apply(Sizes);
BENCHMARK(Getheadername)->Apply(Sizes);
BENCHMARK(Strip)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
