#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "tcpsocket/tcp_client.h"

namespace tcp {

std::string TcpClient::serverName() const {
  if (!tlsSetting_.serverName.empty()) return tlsSetting_.serverName;
  if (proxy_ && !targetName_.empty()) return targetName_;
  return hostName_.empty() ? host_ : hostName_;
}

// The layers of this connect, with its settings: the tunnel through the
// proxy, then TLS over it.
void TcpClient::makeOpening() {
  TransportStack& layers = machine_.layers();
  layers.clear();
  if (proxy_) layers.push(std::make_unique<ProxyTunnel>(tunnelTarget(), proxy_->credentials));
  if (tlsSetting_.mode == TlsSetting::Mode::Off) return;
  const bool revocation = tlsSetting_.mode == TlsSetting::Mode::Revocation;
  const bool verify = tlsSetting_.mode == TlsSetting::Mode::Verified || revocation;
  layers.push(std::make_unique<TlsChannel>(*tls_, serverName(), verify, revocation));
}

// The layers' bytes land in the client's own buffer: only what the top
// layer delivers reaches the room ReadInto gives. Returns whether the read
// brought bytes.
bool TcpClient::readThroughLayers() {
  const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
  if (readable.error != 0 || readable.value == 0) return false;
  const auto wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(readable.value, kBufferSize));
  const SocketResult<std::int32_t> received = receive(buffer_.data(), wanted);
  if (received.value <= 0) return false;
  run(machine_.received(std::string_view(buffer_.data(), static_cast<std::size_t>(received.value))));
  return true;
}

// Into the room ReadInto gives, as a plain read would have brought it.
void TcpClient::deliverPlaintext(std::string_view text) {
  if (!OnRead || destroying_) return;
  const auto count = static_cast<std::int32_t>(text.size());
  char* room = ReadInto ? ReadInto(*this, count) : nullptr;
  if (room) std::memcpy(room, text.data(), text.size());
  OnRead(*this, room ? room : text.data(), count - 1, count);
}

}  // namespace tcp
