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

// The socket is connected; the connection is up only once the handshake
// (and the check, when asked) is done. The connect timer runs on meanwhile.
void TcpClient::startSecuring() {
  state_ = State::Securing;
  TlsOutput out;
  channel_->start(out);
  applyTls(out);
}

// Ciphertext lands in the client's own buffer: only plaintext reaches the
// room ReadInto gives. Returns whether the read brought bytes.
bool TcpClient::readCiphertext() {
  const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
  if (readable.error != 0 || readable.value == 0) return false;
  const auto wanted = static_cast<std::int32_t>(std::min<std::uint32_t>(readable.value, kBufferSize));
  const SocketResult<std::int32_t> received = receive(buffer_.data(), wanted);
  if (received.value <= 0) return false;
  noteActivity();
  if (!channel_) return true;  // a timer failure's handler closed the connection
  TlsOutput out;
  channel_->receive(std::string_view(buffer_.data(), static_cast<std::size_t>(received.value)), out);
  applyTls(out);
  return true;
}

void TcpClient::sendSecured(std::string_view text) {
  if (!Connected()) sentBeforeUp_ = true;
  TlsOutput out;
  channel_->send(text, out);
  applyTls(out);
}

// Best effort: one send, and only when nothing waits before the alert.
void TcpClient::sendCloseNotify() {
  TlsOutput out;
  channel_->close(out);
  if (!out.toSend.empty() && queue_.empty() && socketUp()) send(out.toSend);
}

// What the channel produced, in order: records to send, the opening,
// plaintext, and then its end. Each step may raise events whose handlers
// close or replace the connection; the rest then no longer applies.
// The records wait in the queue as they are, without a copy.
void TcpClient::applyTls(TlsOutput& out) {
  const Generation generation = generation_;
  if (!out.toSend.empty()) {
    const auto records = std::make_shared<const std::string>(std::move(out.toSend));
    sendBytes(*records, records);
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
  if (!out.plaintext.empty()) {
    deliverPlaintext(out.plaintext);
    if (!isCurrent(generation)) return;
  }
  switch (channel_->state()) {
    case TlsChannel::State::Failed: return failConnection(static_cast<std::int32_t>(channel_->error()));
    case TlsChannel::State::Closed: return onClosed(generation);
    default: return;
  }
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
