#include "loopback_server.h"

#include <ws2tcpip.h>

#include <algorithm>

namespace tcpbench {

namespace {

constexpr std::size_t kSendPiece = 4 * 1024 * 1024;
constexpr int kAcceptPollMs = 100;
constexpr DWORD kRequestTimeoutMs = 30000;

bool readable(SOCKET socket, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(socket, &set);
  timeval wait = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &wait) == 1;
}

bool readRequest(SOCKET connection) {
  std::string request;
  char piece[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    const int count = recv(connection, piece, sizeof piece, 0);
    if (count <= 0) return false;
    request.append(piece, static_cast<std::size_t>(count));
  }
  return true;
}

}  // namespace

LoopbackServer::LoopbackServer(const std::string& response) : response_(response) {
  listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener_ == INVALID_SOCKET) return;
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    closesocket(listener_);
    listener_ = INVALID_SOCKET;
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { run(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) closesocket(listener_);
}

void LoopbackServer::run() {
  while (!stopping_) {
    if (!readable(listener_, kAcceptPollMs)) continue;
    const SOCKET connection = accept(listener_, nullptr, nullptr);
    if (connection == INVALID_SOCKET) continue;
    if (serve(connection)) ++served_;
    shutdown(connection, SD_SEND);
    closesocket(connection);
  }
}

bool LoopbackServer::serve(SOCKET connection) {
  const DWORD timeout = kRequestTimeoutMs;
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  if (!readRequest(connection)) return false;
  for (std::size_t sent = 0; sent < response_.size();) {
    const int piece = static_cast<int>(std::min(kSendPiece, response_.size() - sent));
    const int count = send(connection, response_.data() + sent, piece, 0);
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace tcpbench
