#include "raw_receiver.h"

#include <winsock2.h>

#include <algorithm>
#include <vector>

#include "bench_window.h"
#include "memory_probe.h"
#include "stopwatch.h"

namespace tcpbench {

namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr u_long kReadLimit = 1024 * 1024;
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 300000;

class RawConnection {
 public:
  RawConnection() : socket_(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)), buffer_(kReadLimit) {}
  ~RawConnection() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool start(HWND window, std::uint16_t port) {
    if (socket_ == INVALID_SOCKET ||
        WSAAsyncSelect(socket_, window, kSocketMessage, FD_CONNECT | FD_READ | FD_CLOSE) != 0)
      return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
           WSAGetLastError() == WSAEWOULDBLOCK;
  }

  bool sendRequest(const std::string& request) {
    return send(socket_, request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
  }

  void handle(WPARAM wParam, LPARAM lParam) {
    if (wParam != socket_ || closed) return;
    if (WSAGETSELECTERROR(lParam) != 0) failed = true;
    switch (WSAGETSELECTEVENT(lParam)) {
      case FD_CONNECT:
        connected = !failed;
        break;
      case FD_READ:
        readOnce();
        break;
      case FD_CLOSE:
        while (readOnce()) {
        }
        closed = true;
        break;
    }
  }

  const std::string& received() const { return received_; }
  std::size_t reads() const { return reads_; }

  bool connected = false;
  bool closed = false;
  bool failed = false;

 private:
  bool readOnce() {
    u_long readable = 0;
    if (ioctlsocket(socket_, FIONREAD, &readable) != 0 || readable == 0) return false;
    const int count = recv(socket_, buffer_.data(), static_cast<int>(std::min(readable, kReadLimit)), 0);
    if (count <= 0) return false;
    received_.append(buffer_.data(), static_cast<std::size_t>(count));
    ++reads_;
    return true;
  }

  SOCKET socket_;
  std::vector<char> buffer_;
  std::string received_;
  std::size_t reads_ = 0;
};

}  // namespace

RunResult receiveRaw(std::uint16_t port, const std::string& request, const std::string& expected) {
  RunResult result;
  RawConnection connection;
  BenchWindow window([&](UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kSocketMessage) return false;
    connection.handle(wParam, lParam);
    return true;
  });
  if (!connection.start(window.handle(), port) ||
      !window.pumpUntil([&] { return connection.connected || connection.failed; }, kConnectTimeoutMs) ||
      connection.failed) {
    result.failure = "the raw loop did not connect";
    return result;
  }

  MemoryProbe memory;
  const Stopwatch stopwatch;
  if (!connection.sendRequest(request)) {
    result.failure = "the raw loop could not send the request";
    return result;
  }
  const bool closed = window.pumpUntil([&] { return connection.closed || connection.failed; }, kReceiveTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = connection.reads();

  if (connection.failed) result.failure = "the raw loop saw a socket error";
  else if (!closed) result.failure = "the raw loop saw no close within the time limit";
  else if (connection.received() != expected)
    result.failure = "the raw loop received " + std::to_string(connection.received().size()) +
                     " bytes that differ from the " + std::to_string(expected.size()) + " sent";
  return result;
}

}  // namespace tcpbench
