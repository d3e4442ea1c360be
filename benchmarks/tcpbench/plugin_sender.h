#pragma once

#include <cstdint>
#include <string>

#include "run_result.h"

namespace tcpbench {

// Sends one large request through tcp.dll, driven as a host drives it: the
// library loaded afresh into a host session, setip/setport, kconect until
// code 1, SetFile of the request, then sendc, clicks pumped until code 2
// (the server answers `reply` once it has read the whole request, and closes).
// Timed from sendc to code 2; afterwards recev shows whether the reply came.
RunResult sendThroughPlugin(const std::string& dllPath, std::uint16_t port, const std::string& request,
                            const std::string& reply);

}  // namespace tcpbench
