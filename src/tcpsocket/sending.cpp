#include <algorithm>
#include <limits>

#include "tcpsocket/tcp_client.h"

namespace tcp {
namespace {

std::int32_t countOf(std::size_t size) {
  return static_cast<std::int32_t>(std::min<std::size_t>(size, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::int32_t TcpClient::Send(const char* bytes, std::int32_t count) { return sockets_.send(Socket_, bytes, count); }

// The platform signals the write event again only after a send has failed
// with would-block; so the queue is sent on until that happens, never left
// waiting after a send that merely took less than asked.
void TcpClient::SendText(std::string_view text) {
  if (!queue_.empty()) {
    queue_.append(text);
    return;
  }
  const std::int32_t sent = Send(text.data(), countOf(text.size()));
  if (sent == kSocketError) {
    if (!CheckResult(sent)) queue_.append(text);
    return;
  }
  if (static_cast<std::size_t>(sent) < text.size()) {
    queue_.append(text.substr(static_cast<std::size_t>(sent)));
    sendQueued();
  }
}

void TcpClient::sendQueued() {
  while (!queue_.empty()) {
    const std::string_view pending = queue_.pending();
    const std::int32_t sent = Send(pending.data(), countOf(pending.size()));
    if (sent == kSocketError) {
      if (CheckResult(sent)) queue_.clear();
      return;
    }
    if (sent == 0) return;
    queue_.consume(static_cast<std::size_t>(sent));
  }
}

}  // namespace tcp
