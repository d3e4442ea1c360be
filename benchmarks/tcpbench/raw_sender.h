#pragma once

#include <cstdint>
#include <string>

#include "run_result.h"

namespace tcpbench {

// Sends one large request through the least a window-message program can
// do: WSAAsyncSelect on a hidden window, send of all that is left until
// WSAEWOULDBLOCK, again on each write event, then the server's reply read
// until the close. Timed from the first send to the close. It sends from a
// copy written just before, as the plug-in sends from the copy SetFile made:
// here (under Wine) the first send of a buffer costs far more than a later
// send of the same one, so a buffer reused from run to run would measure
// something no host does.
RunResult sendRaw(std::uint16_t port, const std::string& request, const std::string& reply);

}  // namespace tcpbench
