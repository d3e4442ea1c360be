#include "bench_options.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tcpbench {

namespace {

constexpr char kUsage[] = "usage: tcpbench [--size MiB] [--runs R] [--chunked] [--events] [--send] [--dll PATH]\n"
    "       tcpbench --version\n";

std::optional<long> positiveNumber(const char* text, long limit) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > limit) return std::nullopt;
  return value;
}

}  // namespace

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (name == "--chunked" || name == "--events" || name == "--send") {
      (name == "--chunked" ? options.chunked : name == "--events" ? options.events : options.send) = true;
      continue;
    }
    if (!value || (name != "--size" && name != "--runs" && name != "--dll")) {
      std::fputs(kUsage, stderr);
      return std::nullopt;
    }
    ++i;
    if (name == "--dll") {
      options.dllPath = value;
      continue;
    }
    const std::optional<long> number = positiveNumber(value, name == "--size" ? 4096 : 1000);
    if (!number) {
      std::fprintf(stderr, "tcpbench: %s needs a positive whole number, not \"%s\"\n", argv[i - 1], value);
      return std::nullopt;
    }
    if (name == "--size") options.sizeMiB = static_cast<std::size_t>(*number);
    else options.runs = static_cast<int>(*number);
  }
  if (options.send && (options.chunked || options.events)) {
    std::fputs("tcpbench: --chunked and --events are ways of receiving, not of --send\n", stderr);
    return std::nullopt;
  }
  return options;
}

}  // namespace tcpbench
