#include "loopback_listener.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace tcphost {

namespace {

constexpr int kBacklog = 8;

struct SocketLayer {
  SocketLayer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~SocketLayer() { WSACleanup(); }
};

void startSocketLayer() { static SocketLayer layer; }

// The port sits at the same place in both families' addresses.
std::uint16_t boundPort(SOCKET socket) {
  sockaddr_in6 address = {};
  int length = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin6_port);
}

int bindLoopback(SOCKET socket, Loopback family, std::uint16_t port) {
  int result;
  if (family == Loopback::Ipv4) {
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    result = bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } else {
    sockaddr_in6 address = {};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    address.sin6_port = htons(port);
    result = bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  return result == 0 ? 0 : WSAGetLastError();
}

}  // namespace

LoopbackListener::LoopbackListener(std::uint16_t port, Loopback family) {
  startSocketLayer();
  const SOCKET listener = socket(family == Loopback::Ipv4 ? AF_INET : AF_INET6, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) {
    error_ = WSAGetLastError();
    return;
  }
  socket_ = static_cast<std::uintptr_t>(listener);
  error_ = bindLoopback(listener, family, port);
  if (error_ == 0 && listen(listener, kBacklog) != 0) error_ = WSAGetLastError();
  if (error_ == 0) port_ = boundPort(listener);
}

std::uintptr_t LoopbackListener::accept(int timeoutMs) {
  if (socket_ == kNoConnection || error_ != 0) return kNoConnection;
  const SOCKET listener = static_cast<SOCKET>(socket_);
  fd_set ready;
  FD_ZERO(&ready);
  FD_SET(listener, &ready);
  timeval wait = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  if (select(0, &ready, nullptr, nullptr, &wait) != 1) return kNoConnection;
  const SOCKET connection = ::accept(listener, nullptr, nullptr);
  return connection == INVALID_SOCKET ? kNoConnection : static_cast<std::uintptr_t>(connection);
}

void LoopbackListener::close() {
  if (socket_ == kNoConnection) return;
  closesocket(static_cast<SOCKET>(socket_));
  socket_ = kNoConnection;
}

}  // namespace tcphost
