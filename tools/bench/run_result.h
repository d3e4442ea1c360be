#pragma once

#include <cstddef>
#include <string>

namespace tcpbench {

// One receive of the whole response by one of the two receivers.
struct RunResult {
  double seconds = 0;                 // from sending the request to the close
  std::size_t peakAboveBaseline = 0;  // private memory, bytes
  std::size_t reads = 0;              // reads that brought bytes (code 4 clicks for the plug-in)
  std::string failure;                // empty when every byte arrived as sent
};

}  // namespace tcpbench
