#include <algorithm>

#include "tcpsocket/ipv6_literal.h"
#include "tcpsocket/tcp_client.h"

namespace tcp {

std::optional<TcpClient::PeerAddress> TcpClient::literalAddress(const std::string& host) const {
  if (const std::optional<std::uint32_t> address = sockets_.parseAddress(host)) return PeerAddress{address, {}};
  if (const std::optional<Ipv6Address> address = ParseIpv6(host)) return PeerAddress{{}, address};
  return std::nullopt;
}

// The host is a dotted address, or an IPv6 one where those are allowed; the
// proxy's host may also be a name: it is looked up when a connect needs it.
std::optional<TcpClient::PeerAddress> TcpClient::connectAddress(int& error) {
  error = 0;
  if (!proxy_) {
    std::optional<PeerAddress> address = literalAddress(host_);
    if (address && address->ipv6 && !ipv6Allowed_) address.reset();
    if (!address) error = kInvalidArgument;
    return address;
  }
  if (std::optional<PeerAddress> address = literalAddress(proxy_->host)) return address;
  const SocketResult<std::string> found = sockets_.lookUpHost(proxy_->host);
  error = found.error != 0 ? found.error : kHostNotFound;
  if (found.error != 0 || found.value.empty()) return std::nullopt;
  const std::optional<std::uint32_t> address = sockets_.parseAddress(found.value);
  if (address) error = 0;
  if (!address) return std::nullopt;
  return PeerAddress{address, {}};
}

int TcpClient::connectTo(const PeerAddress& address) {
  if (address.ipv6) return sockets_.connect6(socket_, *address.ipv6, connectPort());
  return sockets_.connect(socket_, *address.ipv4, connectPort());
}

// The name the host asked for, as it asked: the proxy resolves it.
std::string TcpClient::tunnelTarget() const {
  const std::string host(WithoutBrackets(targetName_.empty() ? host_ : targetName_));
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

// Connected to the proxy; the connection is up only once the tunnel is open
// (and TLS through it, when on). The connect timer runs on meanwhile.
void TcpClient::startTunnel() {
  state_ = State::Tunnelling;
  sendBytes(tunnel_->request());
}

// The proxy's answer lands in the client's own buffer: none of it reaches
// the room ReadInto gives. Returns whether the read brought bytes.
bool TcpClient::readProxyAnswer() {
  const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
  if (readable.error != 0 || readable.value == 0) return false;
  const auto wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(readable.value, kBufferSize));
  const SocketResult<std::int32_t> received = receive(buffer_.data(), wanted);
  if (received.value <= 0 || !tunnel_) return received.value > 0;
  std::string beyond;
  tunnel_->receive(std::string_view(buffer_.data(), static_cast<std::size_t>(received.value)), beyond);
  switch (tunnel_->state()) {
    case ProxyTunnel::State::Asking: break;
    case ProxyTunnel::State::Failed: failConnection(tunnel_->failure()); break;
    case ProxyTunnel::State::Open: openTunnel(beyond); break;
  }
  return true;
}

// From here on the socket carries the target's bytes, as a direct
// connection's would: TLS starts, or the connection is up.
void TcpClient::openTunnel(std::string_view beyond) {
  tunnel_.reset();
  const Generation generation = generation_;
  if (channel_) {
    startSecuring();
    if (beyond.empty() || !isCurrent(generation) || !channel_) return;
    TlsOutput out;
    channel_->receive(beyond, out);
    return applyTls(out);
  }
  state_ = State::Connected;
  if (sentBeforeUp_) {
    sentBeforeUp_ = false;
    CheckResult(restartTimer());
  } else {
    stopTimer();
  }
  if (!isCurrent(generation)) return;
  raise(OnConnect);
  if (!isCurrent(generation)) return;
  std::string held;
  held.swap(heldUntilOpen_);
  if (!held.empty()) sendBytes(held);
  if (!beyond.empty() && isCurrent(generation)) deliverPlaintext(beyond);
}

// Text for the target must not reach the proxy as a request of its own: it
// waits until the tunnel is open.
void TcpClient::holdUntilOpen(std::string_view text) {
  sentBeforeUp_ = true;
  heldUntilOpen_.append(text);
}

}  // namespace tcp
