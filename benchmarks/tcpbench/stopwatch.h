#pragma once

#include <cstdint>

namespace tcpbench {

// Seconds since construction, by the performance counter.
class Stopwatch {
 public:
  Stopwatch();
  double seconds() const;

 private:
  std::int64_t start_;
};

}  // namespace tcpbench
