#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace tcp {

// A socket handle, as wide as the platform's on either architecture.
using SocketHandle = std::uintptr_t;
inline constexpr SocketHandle kNoSocket = ~SocketHandle(0);

// An IPv6 address, its 16 bytes in network order.
using Ipv6Address = std::array<std::uint8_t, 16>;

// Error codes the platform reports that its users must tell apart or give
// themselves: an operation still in progress, and an invalid argument.
inline constexpr int kWouldBlock = 10035;
inline constexpr int kInvalidArgument = 10022;
inline constexpr int kTimedOut = 10060;
inline constexpr int kNotConnected = 10057;
inline constexpr int kConnectionRefused = 10061;
inline constexpr int kHostNotFound = 11001;

// What a platform call gave back: its value (the platform's own result, a
// failed send or receive gives -1), and 0 or the error code it failed with.
template <typename T>
struct SocketResult {
  T value{};
  int error = 0;
};

// What a lookup started with startLookup found.
using LookupDone = std::function<void(SocketResult<std::string>)>;
// Every address a lookup started with startLookupAll found, as text, in the
// system's order.
using LookupAllDone = std::function<void(SocketResult<std::vector<std::string>>)>;

// The socket events a client asks for, and the tick of a socket's timer; the
// platform reports no others.
enum class SocketEvent { Read, Write, Connect, Close, Timeout };

// Receives the events of the sockets whose events were selected for its window.
class SocketEventSink {
 public:
  virtual ~SocketEventSink() = default;
  // error is 0, or the error code the event carries.
  virtual void onSocketEvent(SocketHandle socket, SocketEvent event, int error) = 0;
};

// Windows Sockets 1.1 as the socket client uses it. Calls that give nothing
// back return 0 or the error code they failed with.
class SocketSystem {
 public:
  virtual ~SocketSystem() = default;

  // Starts the socket layer asking for version 1.1.
  virtual int startup() = 0;
  virtual int cleanup() = 0;
  // An IPv4 TCP stream socket.
  virtual SocketResult<SocketHandle> openStream() = 0;
  // An IPv6 TCP stream socket.
  virtual SocketResult<SocketHandle> openStream6() = 0;
  // Has the socket's read, write, connect and close events reach the sink of
  // window; non-blocking from then on.
  virtual int selectEvents(SocketHandle socket, WindowHandle window) = 0;
  // A dotted IPv4 address in network byte order; nothing for text that is not one.
  virtual std::optional<std::uint32_t> parseAddress(const std::string& dotted) = 0;
  // Starts connecting to address (network byte order) and port (host byte
  // order); on a non-blocking socket it fails with kWouldBlock when started.
  virtual int connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) = 0;
  // The same for an IPv6 socket and address.
  virtual int connect6(SocketHandle socket, const Ipv6Address& address, std::uint16_t port) = 0;
  virtual SocketResult<std::int32_t> send(SocketHandle socket, const char* bytes, std::int32_t count) = 0;
  virtual SocketResult<std::int32_t> receive(SocketHandle socket, char* bytes, std::int32_t count) = 0;
  // How many bytes one receive can take at once (FIONREAD).
  virtual SocketResult<std::uint32_t> bytesReadable(SocketHandle socket) = 0;
  // The local port of the socket, in host byte order; 0 when the call fails.
  virtual SocketResult<std::uint16_t> localPort(SocketHandle socket) = 0;
  virtual int close(SocketHandle socket) = 0;
  // The first address of a host name's entry as dotted text, or the error
  // the lookup failed with (kHostNotFound…). The socket layer must be started.
  virtual SocketResult<std::string> lookUpHost(const std::string& name) = 0;
  // Starts looking name up without waiting for the answer: done then runs
  // once, later, on this thread from its message loop, with what lookUpHost
  // would have given, or kTimedOut when timeoutMs (0 for none) passed first.
  // Returns 0, or the error code why the lookup could not start (done never
  // runs then). Needs no started socket layer.
  virtual int startLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) = 0;
  // The same for every address of the name: its IPv6 addresses as well
  // where the system can look those up without waiting, else its IPv4 ones.
  virtual int startLookupAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) = 0;

  // A hidden window that hands the socket events selected for it to sink, and
  // its destruction.
  virtual WindowHandle createSocketWindow(SocketEventSink& sink) = 0;
  virtual void destroySocketWindow(WindowHandle window) = 0;
  // Removes the socket events still queued for window, undelivered.
  virtual void dropQueuedEvents(WindowHandle window) = 0;
  // (Re)starts socket's timer on window: a Timeout event for socket every
  // delayMs until it is stopped. Returns 0 or the error code it failed with.
  virtual int startTimer(WindowHandle window, SocketHandle socket, std::uint32_t delayMs) = 0;
  virtual void stopTimer(WindowHandle window, SocketHandle socket) = 0;
};

}  // namespace tcp
