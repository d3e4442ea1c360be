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

}  // namespace tcp
