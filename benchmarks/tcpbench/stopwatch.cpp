#include "stopwatch.h"

#include <windows.h>

namespace tcpbench {

namespace {

std::int64_t counter() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

}  // namespace

Stopwatch::Stopwatch() : start_(counter()) {}

double Stopwatch::seconds() const {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter() - start_) / static_cast<double>(frequency.QuadPart);
}

}  // namespace tcpbench
