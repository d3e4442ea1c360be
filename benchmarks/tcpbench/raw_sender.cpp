#include "raw_sender.h"

#include <winsock2.h>

#include <algorithm>
#include <climits>
#include <string_view>

#include "bench_window.h"
#include "memory_probe.h"
#include "stopwatch.h"

namespace tcpbench {

namespace {

constexpr UINT kSocketMessage = WM_APP + 2;
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kSendTimeoutMs = 300000;

class RawUpload {
 public:
  explicit RawUpload(const std::string& request)
      : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), request_(request) {}
  ~RawUpload() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  RawUpload(const RawUpload&) = delete;
  RawUpload& operator=(const RawUpload&) = delete;

  bool start(HWND window, std::uint16_t port) {
    if (socket_ == INVALID_SOCKET ||
        WSAAsyncSelect(socket_, window, kSocketMessage, FD_CONNECT | FD_WRITE | FD_READ | FD_CLOSE) != 0)
      return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
           WSAGetLastError() == WSAEWOULDBLOCK;
  }

  void handle(WPARAM wParam, LPARAM lParam) {
    if (wParam != socket_ || closed) return;
    if (WSAGETSELECTERROR(lParam) != 0) failed = true;
    switch (WSAGETSELECTEVENT(lParam)) {
      case FD_CONNECT:
        connected = !failed;
        break;
      case FD_WRITE:
        if (sending_) sendUntilBlocked();
        break;
      case FD_READ:
        readReply();
        break;
      case FD_CLOSE:
        while (readReply()) {
        }
        closed = true;
        break;
    }
  }

  // The platform signals the write event again only after a send would block.
  void sendUntilBlocked() {
    sending_ = true;
    while (sent_ < request_.size()) {
      const auto piece = static_cast<int>(std::min<std::size_t>(request_.size() - sent_, INT_MAX));
      const int count = send(socket_, request_.data() + sent_, piece, 0);
      if (count == SOCKET_ERROR) {
        failed = WSAGetLastError() != WSAEWOULDBLOCK;
        return;
      }
      sent_ += static_cast<std::size_t>(count);
      ++sends_;
    }
  }

  const std::string& reply() const { return reply_; }
  std::size_t sends() const { return sends_; }

  bool connected = false;
  bool closed = false;
  bool failed = false;

 private:
  bool readReply() {
    char piece[4096];
    const int count = recv(socket_, piece, sizeof piece, 0);
    if (count <= 0) return false;
    reply_.append(piece, static_cast<std::size_t>(count));
    return true;
  }

  SOCKET socket_;
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
  BenchWindow window([&](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kSocketMessage) return false;
    upload.handle(wParam, lParam);
    return true;
  });
  if (!upload.start(window.handle(), port) ||
      !window.pumpUntil([&] { return upload.connected || upload.failed; }, kConnectTimeoutMs) || upload.failed) {
    result.failure = "the raw loop did not connect";
    return result;
  }

  MemoryProbe memory;
  const Stopwatch stopwatch;
  upload.sendUntilBlocked();
  const bool closed = window.pumpUntil([&] { return upload.closed || upload.failed; }, kSendTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = upload.sends();
  result.stepName = "sends";

  if (upload.failed) result.failure = "the raw loop saw a socket error";
  else if (!closed) result.failure = "the raw loop saw no close within the time limit";
  else if (upload.reply() != reply) result.failure = "the server did not take the request as sent (no reply)";
  return result;
}

}  // namespace tcpbench
