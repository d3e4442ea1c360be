#pragma once

#include <atomic>
#include <cstddef>
#include <thread>

namespace tcpbench {

// The process's private memory (commit charge) over one run: the value just
// before the run, and the highest value seen while it lasts. A thread samples
// every couple of milliseconds, so that a buffer grown and copied inside one
// message handler is seen with both its old and its new block. Sampling on
// each event instead would miss that moment and would cost the timed loop
// a system call per read.
class MemoryProbe {
 public:
  MemoryProbe();
  ~MemoryProbe();
  MemoryProbe(const MemoryProbe&) = delete;
  MemoryProbe& operator=(const MemoryProbe&) = delete;

  // Takes a last sample and stops; the peak stays readable.
  void stop();
  std::size_t baseline() const { return baseline_; }
  std::size_t peakAboveBaseline() const;

 private:
  void sample();

  std::size_t baseline_;
  std::atomic<std::size_t> peak_;
  std::atomic<bool> stopping_{false};
  std::thread sampler_;
};

}  // namespace tcpbench
