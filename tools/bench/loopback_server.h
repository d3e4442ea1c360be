#pragma once

#include <winsock2.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace tcpbench {

// A blocking server on 127.0.0.1, on a thread of its own: for every
// connection it reads the request's header block, sends the one prepared
// response in large sends, and closes. It serves until destroyed.
class LoopbackServer {
 public:
  explicit LoopbackServer(const std::string& response);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool listening() const { return listener_ != INVALID_SOCKET; }
  std::uint16_t port() const { return port_; }
  // Connections whose response went out whole.
  int served() const { return served_; }

 private:
  void run();
  bool serve(SOCKET connection);

  const std::string& response_;
  SOCKET listener_ = INVALID_SOCKET;
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> served_{0};
  std::thread thread_;
};

}  // namespace tcpbench
