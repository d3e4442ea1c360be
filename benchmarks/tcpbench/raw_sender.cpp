#include "raw_sender.h"

#include <algorithm>
#include <climits>
#include <string_view>

#include "memory_probe.h"
#include "raw_socket.h"
#include "stopwatch.h"

namespace tcpbench {

namespace {

constexpr DWORD kSendTimeoutMs = 300000;

class RawUpload : public RawSocket {
 public:
  explicit RawUpload(std::string_view request) : request_(request) {}

  // The platform signals the write event again only after a send would block.
  void sendUntilBlocked() {
    sending_ = true;
    while (sent_ < request_.size()) {
      const auto piece = static_cast<int>(std::min<std::size_t>(request_.size() - sent_, INT_MAX));
      const int count = send(handle(), request_.data() + sent_, piece, 0);
      if (count == SOCKET_ERROR) {
        if (WSAGetLastError() != WSAEWOULDBLOCK) fail();
        return;
      }
      sent_ += static_cast<std::size_t>(count);
      ++sends_;
    }
  }

  const std::string& reply() const { return reply_; }
  std::size_t sends() const { return sends_; }

 private:
  void onWrite() override {
    if (sending_) sendUntilBlocked();
  }
  void onRead() override { readReply(); }
  void onClose() override {
    while (readReply()) {
    }
  }

  bool readReply() {
    char piece[4096];
    const int count = recv(handle(), piece, sizeof piece, 0);
    if (count <= 0) return false;
    reply_.append(piece, static_cast<std::size_t>(count));
    return true;
  }

  std::string_view request_;
  std::size_t sent_ = 0;
  std::size_t sends_ = 0;
  bool sending_ = false;
  std::string reply_;
};

}  // namespace

RunResult sendRaw(std::uint16_t port, const std::string& request, const std::string& reply) {
  RunResult result;
  const std::string fresh(request);
  RawUpload upload(fresh);
  if (!upload.connect(port, FD_WRITE | FD_READ)) {
    result.failure = "the raw loop did not connect";
    return result;
  }

  MemoryProbe memory;
  const Stopwatch stopwatch;
  upload.sendUntilBlocked();
  result.failure = upload.pumpUntilClosed(kSendTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = upload.sends();
  result.stepName = "sends";

  if (result.failure.empty() && upload.reply() != reply)
    result.failure = "no reply from the server";
  return result;
}

}  // namespace tcpbench
