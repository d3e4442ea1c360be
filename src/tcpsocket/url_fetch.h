#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sockets.h"

namespace tcp {

// An http address split into what a GET needs; nothing for any other text
// (another scheme, credentials, a port that is not 1 to 65535).
struct HttpAddress {
  std::string host;  // an IPv6 address without its brackets
  std::uint16_t port = 80;
  std::string target;  // the path and query, "/" when the address has none
  std::string hostField;  // the Host field's value: the host as written, and its port
};
std::optional<HttpAddress> ParseHttpAddress(std::string_view address);

// One GET for the certificate check (an issuer's certificate, a revocation
// list), on a socket of its own whose events reach the client's window, so
// that nothing waits on the host's thread. Its owner looks a host name up
// and feeds it the socket's events; the fetch ends with the body of a 200
// answer, or without bytes for anything else. What a stranger's server may
// send is bounded, and so is the time each step may take.
class UrlFetch {
 public:
  static constexpr std::size_t kMostBytes = std::size_t{16} << 20;

  UrlFetch(SocketSystem& sockets, WindowHandle window, std::string address, std::uint32_t timeoutMs);
  ~UrlFetch();
  UrlFetch(const UrlFetch&) = delete;
  UrlFetch& operator=(const UrlFetch&) = delete;

  // Starts it: the host name its owner must look up first (with lookedUp),
  // or empty when it connects at once or failed already.
  std::string start();
  void lookedUp(const SocketResult<std::string>& found);
  bool owns(SocketHandle socket) const { return socket_ != kNoSocket && socket == socket_; }
  void onSocketEvent(SocketEvent event, int error);

  const std::string& address() const { return address_; }
  std::uint32_t timeoutMs() const { return timeoutMs_; }
  bool done() const { return state_ == State::Done; }
  // Once done: the body, empty when the fetch failed.
  std::string takeBody() { return std::move(body_); }

 private:
  enum class State { Idle, LookingUp, Connecting, Reading, Done };

  void connectTo(const std::string& host);
  void sendRequest();
  void readAvailable();
  void finish();
  void fail();
  void closeSocket();

  SocketSystem& sockets_;
  WindowHandle window_;
  std::string address_;
  std::uint32_t timeoutMs_;
  std::optional<HttpAddress> parsed_;
  State state_ = State::Idle;
  SocketHandle socket_ = kNoSocket;
  std::string request_;
  std::size_t requestSent_ = 0;
  std::string received_;
  std::string body_;
};

}  // namespace tcp
