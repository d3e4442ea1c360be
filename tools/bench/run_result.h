#pragma once

#include <cstddef>
#include <string>

namespace tcpbench {

// One receive of the whole response by one of the two receivers.
struct RunResult {
  double seconds = 0;                 // from sending the request to the close
  std::size_t peakAboveBaseline = 0;  // private memory, bytes
  std::string failure;                // empty when every byte arrived as sent
};

}  // namespace tcpbench
