#include <algorithm>
#include <limits>
#include <new>

#include "tcpsocket/tcp_client.h"

namespace tcp {

// One platform send of as much of bytes as one call can name.
SocketResult<std::int32_t> TcpClient::send(std::string_view bytes) {
  const auto count = std::min<std::size_t>(bytes.size(), std::numeric_limits<std::int32_t>::max());
  return sockets_.send(socket_, bytes.data(), static_cast<std::int32_t>(count));
}

void TcpClient::SendText(std::string_view text) { SendText(text, nullptr); }

// With layers the text goes through them: as TLS records, and not before the
// proxy's tunnel is open. A send while Connected restarts the timer: the peer's
// answer is awaited from now on. Text that cannot be queued or encrypted for
// want of memory would leave a cut request for the next to follow: the
// connection ends instead.
void TcpClient::SendText(std::string_view text, const SendQueue::Storage& owner) {
  const Generation generation = generation_;
  try {
    noteActivity();
    if (machine_.layered()) return run(machine_.send(text));
    // As a socket that is still connecting would answer.
    if (race_) return static_cast<void>(CheckResult(kNotConnected, kNoSocket));
    sendBytes(text, owner);
  } catch (const std::bad_alloc&) {
    failForMemory(generation);
  }
}

// The platform signals the write event again only after a send has failed
// with would-block; so the queue is sent on until that happens, never left
// waiting after a send that merely took less than asked.
void TcpClient::sendBytes(std::string_view text, const SendQueue::Storage& owner) {
  if (!queue_.empty()) return enqueue(text, owner);
  const SocketResult<std::int32_t> sent = send(text);
  if (sent.error != 0) {
    if (!CheckResult(sent.error)) enqueue(text, owner);
    return;
  }
  if (static_cast<std::size_t>(sent.value) < text.size()) {
    enqueue(text.substr(static_cast<std::size_t>(sent.value)), owner);
    sendQueued();
  }
}

void TcpClient::enqueue(std::string_view bytes, const SendQueue::Storage& owner) {
  if (owner)
    queue_.append(owner, bytes);
  else
    queue_.append(bytes);
}

// A failed send drops the rest, unless its error handler has already moved
// on to another socket, whose queue is its own.
void TcpClient::sendQueued() {
  const Generation generation = generation_;
  while (!queue_.empty()) {
    const SocketResult<std::int32_t> sent = send(queue_.pending());
    if (sent.error != 0) {
      if (CheckResult(sent.error) && isCurrent(generation)) queue_.clear();
      return;
    }
    if (sent.value == 0) return;
    queue_.consume(static_cast<std::size_t>(sent.value));
  }
}

// The socket closes before the failure is reported: the report may need
// memory too, and must not find the connection still up.
void TcpClient::failForMemory(Generation generation) {
  if (!isCurrent(generation)) return;
  const bool wasUp = Connected();
  const SocketHandle closing = socket_;
  closeSocket();
  CheckResult(kOutOfMemory, closing);
  if (wasUp && socket_ == kNoSocket) raise(OnDisconnect);
}

}  // namespace tcp
