#include "fake_sockets.h"

#include <algorithm>
#include <cstring>

namespace tcp::fakes {
namespace {

SocketResult<std::int32_t> failed(int code) { return {-1, code}; }

}  // namespace

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

SocketResult<SocketHandle> FakeSockets::openStream() {
  calls.push_back("socket");
  if (openError) return {kNoSocket, openError};
  current = reuseHandles ? nextSocket_ : nextSocket_++;
  return {current, 0};
}

SocketResult<SocketHandle> FakeSockets::openStream6() {
  calls.push_back("socket6");
  if (openError) return {kNoSocket, openError};
  current = reuseHandles ? nextSocket_ : nextSocket_++;
  return {current, 0};
}

int FakeSockets::selectEvents(SocketHandle, WindowHandle target) {
  calls.push_back("select " + std::to_string(target));
  return selectError;
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
  return connectError;
}

int FakeSockets::connect6(SocketHandle, const Ipv6Address& address, std::uint16_t port) {
  calls.push_back("connect6");
  connectedAddress6 = address;
  connectedPort = port;
  return connectError;
}

SocketResult<std::int32_t> FakeSockets::send(SocketHandle socket, const char* bytes, std::int32_t count) {
  ++sendCalls;
  if (socket == kNoSocket) return failed(10038);
  if (sendError) return failed(sendError);
  if (sendBlocksAfter == 0) return failed(kWouldBlock);
  if (sendBlocksAfter > 0) --sendBlocksAfter;
  const std::size_t taken = std::min<std::size_t>(static_cast<std::size_t>(count), sendLimit);
  sent.append(bytes, taken);
  return {static_cast<std::int32_t>(taken), 0};
}

SocketResult<std::int32_t> FakeSockets::receive(SocketHandle, char* bytes, std::int32_t count) {
  ++receiveCalls;
  receiveCounts.push_back(count);
  lastReceiveTarget = bytes;
  if (receiveError) return failed(receiveError);
  const std::size_t taken = std::min({static_cast<std::size_t>(count), incoming.size(), receiveLimit});
  std::memcpy(bytes, incoming.data(), taken);
  incoming.erase(0, taken);
  return {static_cast<std::int32_t>(taken), 0};
}

SocketResult<std::uint32_t> FakeSockets::bytesReadable(SocketHandle) {
  return {static_cast<std::uint32_t>(incoming.size()), 0};
}

SocketResult<std::uint16_t> FakeSockets::localPort(SocketHandle) { return {50123, 0}; }

int FakeSockets::close(SocketHandle socket) {
  calls.push_back("close");
  closed.push_back(socket);
  return closeError;
}

SocketResult<std::string> FakeSockets::lookUpHost(const std::string& name) {
  calls.push_back("lookup " + name);
  const auto found = hosts.find(name);
  if (found == hosts.end()) return {{}, lookupError};
  return {found->second, 0};
}

int FakeSockets::startLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) {
  calls.push_back("start lookup " + name);
  if (startLookupError != 0) return startLookupError;
  lookups.push_back({name, timeoutMs, std::move(done)});
  return 0;
}

int FakeSockets::startLookupAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) {
  calls.push_back("start lookup of all " + name);
  if (startLookupError != 0) return startLookupError;
  lookups.push_back({name, timeoutMs, nullptr, std::move(done)});
  return 0;
}

bool FakeSockets::finishLookup() {
  if (lookups.empty()) return false;
  Lookup lookup = std::move(lookups.front());
  lookups.pop_front();
  std::vector<std::string> found;
  if (const auto one = hosts.find(lookup.name); one != hosts.end()) found.push_back(one->second);
  if (const auto all = hostsAll.find(lookup.name); lookup.all && all != hostsAll.end()) found = all->second;
  const int error = found.empty() ? lookupError : 0;
  if (lookup.all) {
    lookup.all({found, error});
  } else {
    lookup.done({found.empty() ? std::string() : found.front(), error});
  }
  return true;
}

bool FakeSockets::timeOutLookup() {
  if (lookups.empty()) return false;
  Lookup lookup = std::move(lookups.front());
  lookups.pop_front();
  if (lookup.all) {
    lookup.all({{}, kTimedOut});
  } else {
    lookup.done({{}, kTimedOut});
  }
  return true;
}

WindowHandle FakeSockets::createSocketWindow(SocketEventSink& eventSink) {
  calls.push_back("create window");
  sink = &eventSink;
  window = 0x5000;
  return window;
}

void FakeSockets::destroySocketWindow(WindowHandle) {
  calls.push_back("destroy window");
  sink = nullptr;
}

void FakeSockets::dropQueuedEvents(WindowHandle) { queued_.clear(); }

int FakeSockets::startTimer(WindowHandle, SocketHandle socket, std::uint32_t delayMs) {
  if (timerError != 0) return timerError;
  timers[socket] = delayMs;
  return 0;
}

void FakeSockets::stopTimer(WindowHandle, SocketHandle socket) { timers.erase(socket); }

void FakeSockets::fireTimer() {
  if (timers.count(current)) deliver(SocketEvent::Timeout);
}

void FakeSockets::deliver(SocketEvent event, int error) { deliverFor(current, event, error); }

void FakeSockets::post(SocketEvent event, int error) { queued_.push_back({current, event, error}); }

void FakeSockets::pump() {
  while (!queued_.empty()) {
    const Message message = queued_.front();
    queued_.pop_front();
    deliverFor(message.socket, message.event, message.error);
  }
}

void FakeSockets::deliverFor(SocketHandle socket, SocketEvent event, int error) {
  if (sink) sink->onSocketEvent(socket, event, error);
}

}  // namespace tcp::fakes
