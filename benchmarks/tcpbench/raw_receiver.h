#pragma once

#include <cstdint>
#include <string>

#include "run_result.h"

namespace tcpbench {

// Receives one response through the least a window-message program can do:
// WSAAsyncSelect on a hidden window, and on each read event FIONREAD, then
// one recv of up to 1 MiB into a buffer, appended to one growing string,
// until the close. Timed from sending the request to the close.
RunResult receiveRaw(std::uint16_t port, const std::string& request, const std::string& expected);

}  // namespace tcpbench
