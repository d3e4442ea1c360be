#include <algorithm>

#include "tcpsocket/tcp_client.h"

namespace tcp {

// Only the current socket's messages count: one closed since may still have
// messages queued, and they must not act on a newer connection or on none.
// Each step that raises events may let a handler close or replace the socket;
// the rest of the message then no longer applies.
std::intptr_t TcpClient::HandleMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (destroying_ || message != kSocketMessage || Socket_ == kNoSocket || wParam != Socket_) return 0;
  const SocketHandle socket = Socket_;
  const auto value = static_cast<std::uint32_t>(lParam);
  const std::uint32_t event = value & 0xFFFF;
  const int error = static_cast<int>(value >> 16);
  if (event == kSocketClose) {
    // The close can overtake data not yet read: take that in first.
    while (Connected_ && readAvailable()) {
    }
    if (Socket_ != socket) return 0;
  }
  if (error > 10000) {
    handleSocketError(socket, error);
    if (Socket_ != socket) return 0;
  }
  if (event == kSocketClose) handleClose(socket);
  if (error > 10000) return 0;
  if (event == kSocketConnect) {
    Connected_ = true;
    Connecting_ = false;
    raise(OnConnect);
  } else if (event == kSocketRead) {
    readAvailable();
  } else if (event == kSocketWrite) {
    sendQueued();
  }
  return 0;
}

void TcpClient::handleSocketError(SocketHandle socket, int code) {
  sockets_.setLastError(code);
  CheckResult(kSocketError);
  if (Socket_ != socket) return;
  if (Connecting_) CloseSocket();
  Connecting_ = false;
}

// OnDisconnect comes before the socket is closed; a handler that connects
// again keeps its new socket.
void TcpClient::handleClose(SocketHandle socket) {
  Connected_ = false;
  Connecting_ = false;
  raise(OnDisconnect);
  if (Socket_ == socket) CloseSocket();
}

// One read of what the platform says can be taken at once, at most the
// buffer's size; returns whether it brought bytes.
bool TcpClient::readAvailable() {
  std::lock_guard<std::recursive_mutex> lock(Guard_);
  std::uint32_t readable = 0;
  if (sockets_.bytesReadable(Socket_, readable) != 0) readable = 0;
  if (readable == 0) return false;
  const auto wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(readable, kBufferSize));
  const std::int32_t count = Receive(Buffer_.data(), wanted);
  CheckResult(count);
  if (OnRead && !destroying_) OnRead(*this, Buffer_.data(), static_cast<std::int32_t>(kBufferSize - 1), count);
  return count > 0;
}

std::int32_t TcpClient::Receive(char* bytes, std::int32_t count) {
  if (!Connected_ || Socket_ == kNoSocket || count < 1) return 0;
  std::lock_guard<std::recursive_mutex> lock(Guard_);
  const std::int32_t received = sockets_.receive(Socket_, bytes, count);
  CheckResult(received);
  return received;
}

}  // namespace tcp
