#pragma once

#include "platform/sockets.h"

namespace tcp::win32 {

// The hidden "TCPSocket" window through which socket events reach a client:
// every message goes to sink, found through the window's user data.
WindowHandle CreateSocketWindow(SocketMessageSink& sink);
void DestroySocketWindow(WindowHandle window);

}  // namespace tcp::win32
