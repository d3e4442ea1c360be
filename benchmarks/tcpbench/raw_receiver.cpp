#include "raw_receiver.h"

#include <algorithm>
#include <vector>

#include "memory_probe.h"
#include "raw_socket.h"
#include "stopwatch.h"

namespace tcpbench {

namespace {

constexpr u_long kReadLimit = 1024 * 1024;
constexpr DWORD kReceiveTimeoutMs = 300000;

class RawReceiver : public RawSocket {
 public:
  RawReceiver() : buffer_(kReadLimit) {}

  bool sendRequest(const std::string& request) {
    return send(handle(), request.data(), static_cast<int>(request.size()), 0) == static_cast<int>(request.size());
  }

  const std::string& received() const { return received_; }
  std::size_t reads() const { return reads_; }

 private:
  void onRead() override { readOnce(); }
  void onClose() override {
    while (readOnce()) {
    }
  }

  bool readOnce() {
    u_long readable = 0;
    if (ioctlsocket(handle(), FIONREAD, &readable) != 0 || readable == 0) return false;
    const int count = recv(handle(), buffer_.data(), static_cast<int>(std::min(readable, kReadLimit)), 0);
    if (count <= 0) return false;
    received_.append(buffer_.data(), static_cast<std::size_t>(count));
    ++reads_;
    return true;
  }

  std::vector<char> buffer_;
  std::string received_;
  std::size_t reads_ = 0;
};

}  // namespace

RunResult receiveRaw(std::uint16_t port, const std::string& request, const std::string& expected) {
  RunResult result;
  RawReceiver connection;
  if (!connection.connect(port, FD_READ)) {
    result.failure = "the raw loop did not connect";
    return result;
  }

  MemoryProbe memory;
  const Stopwatch stopwatch;
  if (!connection.sendRequest(request)) {
    result.failure = "the raw loop could not send the request";
    return result;
  }
  result.failure = connection.pumpUntilClosed(kReceiveTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = connection.reads();

  if (result.failure.empty() && connection.received() != expected)
    result.failure = "the raw loop received " + std::to_string(connection.received().size()) +
                     " bytes that differ from the " + std::to_string(expected.size()) + " sent";
  return result;
}

}  // namespace tcpbench
