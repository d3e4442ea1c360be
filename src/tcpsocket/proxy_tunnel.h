#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tcpsocket/transport_layer.h"

namespace tcp {

// The plug-in's reasons for a tunnel that did not open. A proxy that answers
// with a status other than 2xx is reported with that status itself as the
// code (ProxyStatusName names it).
inline constexpr std::int32_t kProxyHeaderTooLarge = static_cast<std::int32_t>(0xA0100011);
inline constexpr std::int32_t kProxyClosed = static_cast<std::int32_t>(0xA0100012);
inline constexpr std::int32_t kProxyBadResponse = static_cast<std::int32_t>(0xA0100013);

// An HTTP proxy as setproxy names it: "host:port", "[IPv6]:port", or
// "user:password@host:port" for Basic authentication.
struct ProxySetting {
  std::string host;  // an IPv6 address without its brackets
  std::uint16_t port = 0;
  std::string credentials;  // "user:password", or empty
};
// Nothing for a text that names no proxy (no host, or a port that is not 1
// to 65535).
std::optional<ProxySetting> ParseProxySetting(std::string_view text);

// "TCP_E_PROXY_407" for a status a proxy refused a tunnel with.
std::string ProxyStatusName(int status);
// Whether a failure's code is a proxy's status.
inline bool IsProxyStatus(std::int32_t code) { return code >= 100 && code <= 999; }

// The exchange that opens a tunnel through an HTTP proxy (CONNECT, RFC 9110
// section 9.3.6), as the lowest layer of a connection: the request to send,
// then the proxy's bytes until its header block is complete. The proxy's
// answer is a stranger's bytes: its header block is bounded, and none of it
// reaches the layer above. What the layer above sends before the tunnel is
// open waits for it: it must not reach the proxy as a request of its own.
class ProxyTunnel final : public TransportLayer {
 public:
  static constexpr std::size_t kMostHeaderBytes = 64 << 10;
  enum class State { Asking, Open, Failed };

  // target: "host:port" as the request names it; credentials: "user:password"
  // for Basic authentication, or empty.
  ProxyTunnel(std::string target, std::string credentials);

  std::string request() const;
  // Sends the request.
  void start(LayerOutput& out) override;
  // The proxy's bytes. Once its header block is complete the tunnel is open
  // (any 2xx): what waited to be sent goes out, and what follows the block,
  // in this call and every later one, is the target's, delivered above; or
  // it failed, and takes no more.
  void receive(std::string_view bytes, LayerOutput& out) override;
  void send(std::string_view bytes, LayerOutput& out) override;
  // The proxy closed the connection.
  void endOfStream(LayerOutput& out) override;
  void close(LayerOutput& out) override;
  void fetched(const std::string&, std::string, LayerOutput&) override {}

  Kind kind() const override { return Kind::ProxyTunnel; }
  // Why it failed: the proxy's status, or one of the reasons above.
  std::int32_t failure() const override { return failure_; }
  bool ended() const override { return false; }
  bool transparentWhenOpen() const override { return true; }
  State state() const { return state_; }

 private:
  void fail(std::int32_t code);

  std::string target_;
  std::string credentials_;
  State state_ = State::Asking;
  std::int32_t failure_ = 0;
  std::string header_;
  std::string held_;
};

}  // namespace tcp
