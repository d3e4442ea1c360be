#pragma once

#include <cstddef>
#include <string>

namespace tcpbench {

// One receive of the whole response by one of the two receivers.
struct RunResult {
  double seconds = 0;                 // from sending the request to the close
  std::size_t peakAboveBaseline = 0;  // private memory, bytes
  std::size_t steps = 0;              // what the run's line counts, named by stepName
  const char* stepName = "reads";
  std::string failure;                // empty when every byte arrived as sent
};

}  // namespace tcpbench
