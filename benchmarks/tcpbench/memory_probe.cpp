#include "memory_probe.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>

namespace tcpbench {

namespace {

constexpr DWORD kSamplePeriodMs = 2;

// Windows gives the commit charge as both PrivateUsage and PagefileUsage;
// Wine leaves PrivateUsage at zero and gives the resident private pages as
// PagefileUsage.
std::size_t privateUsage() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    return 0;
  return std::max<std::size_t>(counters.PrivateUsage, counters.PagefileUsage);
}

}  // namespace

MemoryProbe::MemoryProbe() : baseline_(privateUsage()), peak_(baseline_) {
  sampler_ = std::thread([this] {
    while (!stopping_) {
      sample();
      Sleep(kSamplePeriodMs);
    }
  });
}

MemoryProbe::~MemoryProbe() { stop(); }

void MemoryProbe::sample() {
  const std::size_t now = privateUsage();
  std::size_t seen = peak_;
  while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
  }
}

void MemoryProbe::stop() {
  if (!sampler_.joinable()) return;
  stopping_ = true;
  sampler_.join();
  sample();
}

std::size_t MemoryProbe::peakAboveBaseline() const {
  const std::size_t peak = peak_;
  return peak > baseline_ ? peak - baseline_ : 0;
}

}  // namespace tcpbench
