#include "scripted_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <string_view>

namespace tcphost {

ServerStep sendBytes(std::string bytes) { return {ServerStep::Kind::Send, std::move(bytes)}; }
ServerStep pause(std::size_t milliseconds) { return {ServerStep::Kind::Pause, {}, milliseconds}; }
ServerStep readUntil(std::string marker) { return {ServerStep::Kind::ReadUntil, std::move(marker)}; }
ServerStep readBytes(std::size_t count) { return {ServerStep::Kind::ReadBytes, {}, count}; }
ServerStep closeGracefully() { return {ServerStep::Kind::Close, {}, 0}; }
ServerStep resetConnection() { return {ServerStep::Kind::Reset, {}, 0}; }
ServerStep dripBytes(std::string bytes, std::size_t milliseconds) {
  return {ServerStep::Kind::Drip, std::move(bytes), 0, milliseconds};
}
ServerStep streamRepeated(std::string block, std::size_t times) {
  return {ServerStep::Kind::Stream, std::move(block), 0, times};
}
ServerStep passBytes(std::size_t count, std::function<void(std::string_view)> sink) {
  return {ServerStep::Kind::Pass, {}, count, 0, std::move(sink)};
}

namespace {

bool sendAll(SOCKET socket, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int piece = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 1 << 20));
    const int result = send(socket, bytes.data() + sent, piece, 0);
    if (result <= 0) return false;
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

// What an earlier step read beyond its own part is passed on first.
bool passOn(SOCKET socket, std::string& pending, const ServerStep& step) {
  std::size_t left = step.count;
  const std::size_t early = std::min(left, pending.size());
  if (early > 0) step.sink(std::string_view(pending).substr(0, early));
  pending.erase(0, early);
  left -= early;
  char buffer[65536];
  while (left > 0) {
    const int count = recv(socket, buffer, static_cast<int>(std::min(left, sizeof buffer)), 0);
    if (count <= 0) return false;
    step.sink(std::string_view(buffer, static_cast<std::size_t>(count)));
    left -= static_cast<std::size_t>(count);
  }
  return true;
}

}  // namespace

ScriptedServer::ScriptedServer(std::vector<ServerStep> script, int connections, int timeoutMs, Loopback loopback)
    : script_(std::move(script)), connections_(connections), timeoutMs_(timeoutMs), listener_(0, loopback) {
  thread_ = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer() { join(); }

void ScriptedServer::join() {
  if (thread_.joinable()) thread_.join();
}

// The listener closes once the script has had its connections: later ones
// are refused.
void ScriptedServer::run() {
  for (int i = 0; i < connections_; ++i) {
    const std::uintptr_t connection = listener_.accept(timeoutMs_);
    if (connection == LoopbackListener::kNoConnection) break;
    ++accepted_;
    serve(connection);
  }
  listener_.close();
}

void ScriptedServer::serve(std::uintptr_t handle) {
  const SOCKET connection = static_cast<SOCKET>(handle);
  const DWORD timeout = static_cast<DWORD>(timeoutMs_);
  setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  bool open = true;
  std::string pending;
  char buffer[65536];
  const auto readMore = [&]() {
    const int count = recv(connection, buffer, sizeof buffer, 0);
    if (count <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(count));
    received_.append(buffer, static_cast<std::size_t>(count));
    return true;
  };
  for (const ServerStep& step : script_) {
    if (!open) break;
    switch (step.kind) {
      case ServerStep::Kind::Send:
        open = sendAll(connection, step.bytes);
        break;
      case ServerStep::Kind::Drip:
        for (std::size_t i = 0; open && i < step.bytes.size(); ++i) {
          open = sendAll(connection, step.bytes.substr(i, 1));
          Sleep(static_cast<DWORD>(step.times));
        }
        break;
      case ServerStep::Kind::Stream:
        for (std::size_t i = 0; open && i < step.times; ++i) open = sendAll(connection, step.bytes);
        break;
      case ServerStep::Kind::Pause:
        Sleep(static_cast<DWORD>(step.count));
        break;
      case ServerStep::Kind::ReadUntil:
        while (open && pending.find(step.bytes) == std::string::npos) open = readMore();
        if (open) pending.erase(0, pending.find(step.bytes) + step.bytes.size());
        break;
      case ServerStep::Kind::ReadBytes:
        while (open && pending.size() < step.count) open = readMore();
        if (open) pending.erase(0, step.count);
        break;
      case ServerStep::Kind::Pass:
        open = passOn(connection, pending, step);
        break;
      case ServerStep::Kind::Close:
        shutdown(connection, SD_SEND);
        while (readMore()) {
        }
        open = false;
        break;
      case ServerStep::Kind::Reset: {
        const linger abort = {1, 0};
        setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
        open = false;
        break;
      }
    }
  }
  closesocket(connection);
}

std::uint16_t ScriptedServer::closedPort() { return LoopbackListener().port(); }

}  // namespace tcphost
