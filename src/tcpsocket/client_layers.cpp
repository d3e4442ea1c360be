#include <algorithm>
#include <cstring>
#include <memory>

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
  stack_.clear();
  if (proxy_) stack_.push(std::make_unique<ProxyTunnel>(tunnelTarget(), proxy_->credentials));
  if (tlsSetting_.mode == TlsSetting::Mode::Off) return;
  const bool revocation = tlsSetting_.mode == TlsSetting::Mode::Revocation;
  const bool verify = tlsSetting_.mode == TlsSetting::Mode::Verified || revocation;
  stack_.push(std::make_unique<TlsChannel>(*tls_, serverName(), verify, revocation));
}

// The socket is connected; the connection is up only once every layer has
// opened. The connect timer runs on meanwhile.
void TcpClient::startOpening() {
  state_ = State::Opening;
  LayerOutput out;
  stack_.start(out);
  applyLayers(out);
}

// The layers' bytes land in the client's own buffer: only what the top
// layer delivers reaches the room ReadInto gives. Returns whether the read
// brought bytes.
bool TcpClient::readThroughLayers() {
  const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
  if (readable.error != 0 || readable.value == 0) return false;
  const auto wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(readable.value, kBufferSize));
  const Generation generation = generation_;
  const SocketResult<std::int32_t> received = receive(buffer_.data(), wanted);
  if (received.value <= 0) return false;
  noteActivity();
  if (!isCurrent(generation)) return true;  // a timer failure's handler closed the connection
  LayerOutput out;
  stack_.receive(std::string_view(buffer_.data(), static_cast<std::size_t>(received.value)), out);
  applyLayers(out);
  return true;
}

void TcpClient::sendThroughLayers(std::string_view text) {
  if (!Connected()) sentBeforeUp_ = true;
  LayerOutput out;
  stack_.send(text, out);
  applyLayers(out);
}

// Best effort: one send, and only when nothing waits before the last words.
void TcpClient::closeLayers() {
  LayerOutput out;
  stack_.close(out);
  if (!out.toSend.empty() && queue_.empty() && socketUp()) send(out.toSend);
}

// What the layers produced, in order: bytes to send, addresses to fetch, the
// opening, bytes for the host, and then the end. Each step may raise events
// whose handlers close or replace the connection; the rest then no longer
// applies. The bytes to send wait in the queue as they are, without a copy.
void TcpClient::applyLayers(LayerOutput& out) {
  const Generation generation = generation_;
  if (!out.toSend.empty()) {
    const auto bytes = std::make_shared<const std::string>(std::move(out.toSend));
    sendBytes(*bytes, bytes);
  }
  if (!isCurrent(generation)) return;
  if (!out.toFetch.empty()) {
    startFetches(out.toFetch);
    if (!isCurrent(generation)) return;
  }
  if (out.opened) {
    state_ = State::Connected;
    if (sentBeforeUp_) {
      CheckResult(restartTimer());
      if (!isCurrent(generation)) return;
    } else {
      stopTimer();
    }
    raise(OnConnect);
    if (!isCurrent(generation)) return;
  }
  if (!out.delivered.empty()) {
    deliverPlaintext(out.delivered);
    if (!isCurrent(generation)) return;
  }
  if (const std::int32_t failure = stack_.failure()) return failConnection(failure);
  if (stack_.ended()) onClosed(generation);
}

// Into the room ReadInto gives, as a plain read would have brought it.
void TcpClient::deliverPlaintext(std::string_view text) {
  if (!OnRead || destroying_) return;
  const auto count = static_cast<std::int32_t>(text.size());
  char* room = ReadInto ? ReadInto(*this, count) : nullptr;
  if (room) std::memcpy(room, text.data(), text.size());
  OnRead(*this, room ? room : text.data(), count - 1, count);
}

void TcpClient::failConnection(std::int32_t code) {
  const Generation generation = generation_;
  const bool wasUp = Connected();
  CheckResult(code);
  if (!isCurrent(generation)) return;
  closeSocket();
  if (wasUp) raise(OnDisconnect);
}

}  // namespace tcp
