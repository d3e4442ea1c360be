#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/sockets.h"

namespace tcp::fakes {

// Windows Sockets in memory: records what the client asks, and plays the
// peer: bytes queued in incoming are readable, send takes at most sendLimit
// bytes a call and can be made to block or fail.
class FakeSockets : public SocketSystem {
 public:
  int startup() override;
  int cleanup() override;
  SocketResult<SocketHandle> openStream() override;
  SocketResult<SocketHandle> openStream6() override;
  int selectEvents(SocketHandle socket, WindowHandle window) override;
  std::optional<std::uint32_t> parseAddress(const std::string& dotted) override;
  int connect(SocketHandle socket, std::uint32_t address, std::uint16_t port) override;
  int connect6(SocketHandle socket, const Ipv6Address& address, std::uint16_t port) override;
  SocketResult<std::int32_t> send(SocketHandle socket, const char* bytes, std::int32_t count) override;
  SocketResult<std::int32_t> receive(SocketHandle socket, char* bytes, std::int32_t count) override;
  SocketResult<std::uint32_t> bytesReadable(SocketHandle socket) override;
  SocketResult<std::uint16_t> localPort(SocketHandle socket) override;
  int close(SocketHandle socket) override;
  SocketResult<std::string> lookUpHost(const std::string& name) override;
  int startLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) override;
  int startLookupAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) override;
  WindowHandle createSocketWindow(SocketEventSink& sink) override;
  void destroySocketWindow(WindowHandle window) override;
  void dropQueuedEvents(WindowHandle window) override;
  int startTimer(WindowHandle window, SocketHandle socket, std::uint32_t delayMs) override;
  void stopTimer(WindowHandle window, SocketHandle socket) override;

  // Delivers an event for socket (the current one by default).
  void deliver(SocketEvent event, int error = 0);
  void deliverFor(SocketHandle socket, SocketEvent event, int error = 0);
  // Queues an event for the current socket, as the system posts it; pump
  // delivers what is still queued, in order.
  void post(SocketEvent event, int error = 0);
  void pump();
  // Delivers the current socket's timer tick, if its timer runs.
  void fireTimer();
  // Ends the oldest lookup still running, as the system's answer would: with
  // what lookUpHost finds, or with kTimedOut as its timeout would. Returns
  // whether one was running.
  bool finishLookup();
  bool timeOutLookup();

  // Settings of the peer and the platform.
  int startupResult = 0;
  int cleanupResult = 0;
  int openError = 0;        // openStream fails with this code when not 0
  int connectError = kWouldBlock;
  int selectError = 0;      // selectEvents fails with this code when not 0
  int closeError = 0;
  int receiveError = 0;
  std::size_t receiveLimit = SIZE_MAX;  // bytes one receive brings at most
  std::size_t sendLimit = SIZE_MAX;
  int sendBlocksAfter = -1;  // calls that succeed before sends fail with would-block
  int sendError = 0;         // every send fails with this code when not 0
  bool reuseHandles = false; // every socket gets the same handle
  int timerError = 0;        // startTimer fails with this code when not 0
  std::map<std::string, std::string> hosts;
  // Names with several addresses, for startLookupAll (which also finds those
  // of hosts, one each).
  std::map<std::string, std::vector<std::string>> hostsAll;
  int lookupError = kHostNotFound;  // what a lookup of a name not in hosts fails with
  int startLookupError = 0;          // startLookup fails with this code when not 0
  std::string incoming;

  // What the client did.
  std::vector<std::string> calls;
  std::string sent;
  int sendCalls = 0;
  int receiveCalls = 0;
  std::vector<int> receiveCounts;
  const char* lastReceiveTarget = nullptr;
  SocketHandle current = kNoSocket;
  std::vector<SocketHandle> closed;
  int startups = 0;
  int cleanups = 0;
  SocketEventSink* sink = nullptr;
  WindowHandle window = 0;
  std::uint32_t connectedAddress = 0;
  Ipv6Address connectedAddress6{};
  std::uint16_t connectedPort = 0;
  std::map<SocketHandle, std::uint32_t> timers;  // the running timers and their delays
  struct Lookup {
    std::string name;
    std::uint32_t timeoutMs;
    LookupDone done;
    LookupAllDone all;  // for a lookup of every address, instead of done
  };
  std::deque<Lookup> lookups;  // started and not yet ended, oldest first

 private:
  struct Message {
    SocketHandle socket;
    SocketEvent event;
    int error;
  };
  std::deque<Message> queued_;
  SocketHandle nextSocket_ = 100;
};

}  // namespace tcp::fakes
