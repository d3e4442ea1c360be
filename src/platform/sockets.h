#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/window_system.h"

namespace tcp {

// A socket handle, as wide as the platform's on either architecture.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle(0);
inline constexpr std::int32_t kSocketError = -1;

// Receives the messages of a socket window.
class SocketMessageSink {
 public:
  virtual ~SocketMessageSink() = default;
  virtual std::intptr_t HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

// Windows Sockets 1.1 as the socket client uses it. Calls return what the
// platform returns (kSocketError on failure, with lastError telling why).
class SocketSystem {
 public:
  virtual ~SocketSystem() = default;

  // Starts the socket layer asking for version 1.1; 0 or an error code.
  virtual int startup() = 0;
  virtual int cleanup() = 0;
  // An IPv4 TCP stream socket, or kNoSocket.
  virtual SocketHandle openStream() = 0;
  // Has the socket's events posted to window as message; non-blocking from then on.
  virtual int selectEvents(SocketHandle socket, WindowHandle window, std::uint32_t message, std::int32_t events) = 0;
  // A dotted IPv4 address in network byte order; nothing for text that is not one.
  virtual std::optional<std::uint32_t> parseAddress(const std::string& dotted) = 0;
  // Starts connecting to address (network byte order) and port (host byte order).
  virtual int connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) = 0;
  virtual int send(SocketHandle socket, const char* bytes, int count) = 0;
  virtual int receive(SocketHandle socket, char* bytes, int count) = 0;
  // How many bytes one receive can take at once (FIONREAD).
  virtual int bytesReadable(SocketHandle socket, std::uint32_t& count) = 0;
  // The local port of the socket, in host byte order.
  virtual int localPort(SocketHandle socket, std::uint16_t& port) = 0;
  virtual int close(SocketHandle socket) = 0;
  virtual int lastError() = 0;
  virtual void setLastError(int code) = 0;
  // The first address of a host name's entry as dotted text; empty when the
  // name has none. The socket layer must be started.
  virtual std::string lookUpHost(const std::string& name) = 0;

  // A hidden window that hands every message to sink, and its destruction.
  virtual WindowHandle createSocketWindow(SocketMessageSink& sink) = 0;
  virtual void destroySocketWindow(WindowHandle window) = 0;
  // Removes the messages of that number still queued for window, unhandled.
  virtual void dropQueuedMessages(WindowHandle window, std::uint32_t message) = 0;
};

}  // namespace tcp
