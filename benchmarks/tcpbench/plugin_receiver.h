#pragma once

#include <cstdint>
#include <string>

#include "run_result.h"

namespace tcpbench {

// Receives one response through tcp.dll, driven as a host drives it: the
// library loaded afresh, SetParentWindow on a window of this program,
// setip/setport, kconect until code 1, SetFile of the request and sendc,
// clicks pumped until code 2 (with queued events: setevents 1 first, each
// click read with nextevent, until code 7). Timed from sendc to that code;
// afterwards recev shows whether the bytes match `expected` (which holds no
// zero byte).
RunResult receiveThroughPlugin(const std::string& dllPath, std::uint16_t port, const std::string& request,
                               const std::string& expected, bool queued);

}  // namespace tcpbench
