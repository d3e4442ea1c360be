#pragma once

#include <cstdint>

namespace tcphost {

// Where a loopback server listens.
enum class Loopback { Ipv4, Ipv6 };

// A listening socket on 127.0.0.1 (or [::1]), at the given port or at one the
// system picks (0), for the loopback servers of the tools and the tests.
// Waits for a connection are bounded.
class LoopbackListener {
 public:
  explicit LoopbackListener(std::uint16_t port = 0, Loopback family = Loopback::Ipv4);
  ~LoopbackListener() { close(); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  bool listening() const { return error_ == 0; }
  // The Windows Sockets error that kept it from listening.
  int error() const { return error_; }
  std::uint16_t port() const { return port_; }

  // The next connection (a SOCKET), or kNoConnection when none came within
  // timeoutMs or the listener is closed.
  std::uintptr_t accept(int timeoutMs);
  void close();

  static constexpr std::uintptr_t kNoConnection = ~std::uintptr_t{0};

 private:
  std::uintptr_t socket_ = kNoConnection;
  std::uint16_t port_ = 0;
  int error_ = 0;
};

}  // namespace tcphost
