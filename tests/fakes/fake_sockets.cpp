#include "fake_sockets.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace tcp::fakes {

int FakeSockets::fail(int code) {
  lastError_ = code;
  return kSocketError;
}

int FakeSockets::startup() {
  ++startups;
  calls.push_back("startup");
  return startupResult;
}

int FakeSockets::cleanup() {
  ++cleanups;
  calls.push_back("cleanup");
  return cleanupResult;
}

SocketHandle FakeSockets::openStream() {
  calls.push_back("socket");
  if (openError) {
    lastError_ = openError;
    return kNoSocket;
  }
  current = reuseHandles ? nextSocket_ : nextSocket_++;
  return current;
}

int FakeSockets::selectEvents(SocketHandle, WindowHandle target, std::uint32_t message, std::int32_t events) {
  std::ostringstream call;
  call << "select " << target << " " << message << " " << events;
  calls.push_back(call.str());
  return selectError ? fail(selectError) : 0;
}

std::optional<std::uint32_t> FakeSockets::parseAddress(const std::string& dotted) {
  std::uint32_t address = 0;
  int parts = 0;
  std::size_t start = 0;
  while (parts < 4) {
    const std::size_t dot = dotted.find('.', start);
    const std::string part = dotted.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != std::string::npos) return {};
    const int value = std::stoi(part);
    if (value > 255) return {};
    address |= static_cast<std::uint32_t>(value) << (8 * parts++);
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (parts != 4) return {};
  return address;
}

int FakeSockets::connect(SocketHandle, std::uint32_t address, std::uint16_t port) {
  calls.push_back("connect");
  connectedAddress = address;
  connectedPort = port;
  return connectError ? fail(connectError) : 0;
}

int FakeSockets::send(SocketHandle socket, const char* bytes, int count) {
  ++sendCalls;
  if (socket == kNoSocket) return fail(10038);
  if (sendError) return fail(sendError);
  if (sendBlocksAfter == 0) return fail(10035);
  if (sendBlocksAfter > 0) --sendBlocksAfter;
  const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(count), sendLimit);
  sent.append(bytes, taken);
  return static_cast<int>(taken);
}

int FakeSockets::receive(SocketHandle, char* bytes, int count) {
  ++receiveCalls;
  receiveCounts.push_back(count);
  if (receiveError) return fail(receiveError);
  const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(count), incoming.size());
  std::memcpy(bytes, incoming.data(), taken);
  incoming.erase(0, taken);
  return static_cast<int>(taken);
}

int FakeSockets::bytesReadable(SocketHandle, std::uint32_t& count) {
  count = static_cast<std::uint32_t>(incoming.size());
  return 0;
}

int FakeSockets::localPort(SocketHandle, std::uint16_t& port) {
  port = 50123;
  return 0;
}

int FakeSockets::close(SocketHandle socket) {
  calls.push_back("close");
  closed.push_back(socket);
  return closeError ? fail(closeError) : 0;
}

std::string FakeSockets::lookUpHost(const std::string& name) {
  calls.push_back("lookup " + name);
  const auto found = hosts.find(name);
  return found == hosts.end() ? std::string() : found->second;
}

WindowHandle FakeSockets::createSocketWindow(SocketMessageSink& messageSink) {
  calls.push_back("create window");
  sink = &messageSink;
  window = 0x5000;
  return window;
}

void FakeSockets::destroySocketWindow(WindowHandle) {
  calls.push_back("destroy window");
  sink = nullptr;
}

void FakeSockets::dropQueuedMessages(WindowHandle, std::uint32_t message) {
  if (message == 0x0401) queued_.clear();
}

void FakeSockets::deliver(std::uint32_t event, int error) { deliverFor(current, event, error); }

void FakeSockets::post(std::uint32_t event, int error) { queued_.push_back({current, event, error}); }

void FakeSockets::pump() {
  while (!queued_.empty()) {
    const Message message = queued_.front();
    queued_.pop_front();
    deliverFor(message.socket, message.event, message.error);
  }
}

void FakeSockets::deliverFor(SocketHandle socket, std::uint32_t event, int error) {
  if (!sink) return;
  const auto lParam = static_cast<std::intptr_t>(static_cast<std::int32_t>((static_cast<std::uint32_t>(error) << 16) | event));
  sink->HandleMessage(0x0401, socket, lParam);
}

}  // namespace tcp::fakes
