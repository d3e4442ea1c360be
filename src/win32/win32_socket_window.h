#pragma once

#include "platform/sockets.h"

namespace tcp::win32 {

// The hidden "TCPSocket" window through which socket events reach a client:
// it decodes the socket message into (socket, event, error) for sink, found
// through the window's user data, turns a socket's timer tick into its
// Timeout event, and leaves every other message to the default procedure.
WindowHandle CreateSocketWindow(SocketEventSink& sink);
void DestroySocketWindow(WindowHandle window);

// Has the socket's read, write, connect and close events posted to window.
int SelectSocketEvents(SocketHandle socket, WindowHandle window);
// Removes the socket events still posted to window.
void DropQueuedSocketEvents(WindowHandle window);
// The socket's timer on window, its identifier the socket's handle.
int StartSocketTimer(WindowHandle window, SocketHandle socket, std::uint32_t delayMs);
void StopSocketTimer(WindowHandle window, SocketHandle socket);
// Once no such window is left.
void UnregisterSocketWindowClass();

}  // namespace tcp::win32
