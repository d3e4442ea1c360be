#include "raw_socket.h"

namespace tcpbench {

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr DWORD kConnectTimeoutMs = 10000;

}  // namespace

RawSocket::RawSocket()
    : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != kSocketMessage) return false;
        take(wParam, lParam);
        return true;
      }) {}

RawSocket::~RawSocket() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

bool RawSocket::connect(std::uint16_t port, long events) {
  if (socket_ == INVALID_SOCKET ||
      WSAAsyncSelect(socket_, window_.handle(), kSocketMessage, FD_CONNECT | FD_CLOSE | events) != 0)
    return false;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK)
    return false;
  return window_.pumpUntil([&] { return connected_ || failed_; }, kConnectTimeoutMs) && !failed_;
}

std::string RawSocket::pumpUntilClosed(DWORD timeoutMs) {
  const bool closed = window_.pumpUntil([&] { return closed_ || failed_; }, timeoutMs);
  if (failed_) return "the raw loop saw a socket error";
  if (!closed) return "the raw loop saw no close within the time limit";
  return {};
}

void RawSocket::take(WPARAM wParam, LPARAM lParam) {
  if (wParam != socket_ || closed_) return;
  if (WSAGETSELECTERROR(lParam) != 0) failed_ = true;
  switch (WSAGETSELECTEVENT(lParam)) {
    case FD_CONNECT:
      connected_ = !failed_;
      break;
    case FD_READ:
      onRead();
      break;
    case FD_WRITE:
      onWrite();
      break;
    case FD_CLOSE:
      onClose();
      closed_ = true;
      break;
  }
}

}  // namespace tcpbench
