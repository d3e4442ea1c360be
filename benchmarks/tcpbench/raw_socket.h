#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

#include "bench_window.h"

namespace tcpbench {

// A socket driven the least a window-message program can do: WSAAsyncSelect
// on a hidden window of its own, connected to 127.0.0.1. The raw loops take
// its read and write events.
class RawSocket {
 public:
  RawSocket();
  virtual ~RawSocket();
  RawSocket(const RawSocket&) = delete;
  RawSocket& operator=(const RawSocket&) = delete;

  // Connects with the events given besides connect and close selected, and
  // pumps until connected; false when it could not.
  bool connect(std::uint16_t port, long events);
  // Pumps until the close; empty when it came, else why not.
  std::string pumpUntilClosed(DWORD timeoutMs);

 protected:
  virtual void onRead() {}
  virtual void onWrite() {}
  // Comes before the close is recorded: what is left can still be read.
  virtual void onClose() {}
  SOCKET handle() const { return socket_; }
  void fail() { failed_ = true; }

 private:
  void take(WPARAM wParam, LPARAM lParam);

  SOCKET socket_;
  BenchWindow window_;
  bool connected_ = false;
  bool closed_ = false;
  bool failed_ = false;
};

}  // namespace tcpbench
