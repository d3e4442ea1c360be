#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "loopback_listener.h"

namespace tcphost {

// One step of what a test server does with a connection.
struct ServerStep {
  enum class Kind { Send, Pause, ReadUntil, ReadBytes, Close, Reset, Drip, Stream, Pass };
  Kind kind;
  std::string bytes;       // Send: what to send; ReadUntil: the marker
  std::size_t count = 0;   // ReadBytes, Pass: how many; Pause: milliseconds
  std::size_t times = 0;   // Drip: milliseconds between bytes; Stream: repetitions
  std::function<void(std::string_view)> sink = {};  // Pass: takes the bytes read
};

ServerStep sendBytes(std::string bytes);
ServerStep pause(std::size_t milliseconds);
ServerStep readUntil(std::string marker);
ServerStep readBytes(std::size_t count);
ServerStep closeGracefully();
ServerStep resetConnection();
// Sends bytes one at a time, with a pause of the given milliseconds after each.
ServerStep dripBytes(std::string bytes, std::size_t milliseconds);
// Sends block the given number of times without holding more than one copy,
// ending the step early when the peer no longer takes data.
ServerStep streamRepeated(std::string block, std::size_t times);
// Reads up to count bytes (fewer when the peer closes first) and hands them to
// sink as they arrive, keeping none: for requests too large to hold twice.
ServerStep passBytes(std::size_t count, std::function<void(std::string_view)> sink);

// A server on 127.0.0.1 (or [::1]) at a port the system picks, run on a thread of its
// own: it accepts up to `connections` connections one after the other and
// plays the script on each. Every wait is bounded, so a test that goes wrong
// fails instead of hanging.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<ServerStep> script, int connections = 1, int timeoutMs = 15000,
                          Loopback loopback = Loopback::Ipv4);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  // 0 when it could not listen.
  std::uint16_t port() const { return listener_.port(); }
  // Waits for the thread to finish; then received() holds every byte read.
  void join();
  const std::string& received() const { return received_; }
  int accepted() const { return accepted_; }

  // A loopback port on which nothing listens.
  static std::uint16_t closedPort();

 private:
  void run();
  void serve(std::uintptr_t connection);

  std::vector<ServerStep> script_;
  int connections_;
  int timeoutMs_;
  LoopbackListener listener_;
  std::string received_;
  int accepted_ = 0;
  std::thread thread_;
};

}  // namespace tcphost
