#include "plugin_receiver.h"

#include <cstring>

#include "host_window.h"
#include "memory_probe.h"
#include "plugin_library.h"
#include "stopwatch.h"
#include "tcp.h"

namespace tcpbench {

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kReceiveTimeoutMs = 300000;

// The host's view of the events: the code read on each click.
struct Events {
  bool connected = false;
  bool disconnected = false;
  bool complete = false;
  bool failed = false;
  std::size_t arrivals = 0;

  void take(std::int32_t code) {
    arrivals += code == TCP_EVENT_PROGRESS;
    connected |= code == TCP_EVENT_CONNECTED;
    disconnected |= code == TCP_EVENT_DISCONNECTED;
    complete |= code == TCP_EVENT_COMPLETE;
    failed |= code == TCP_EVENT_ERROR;
  }
};

// recev, then the text slot up to its first zero byte against the response.
std::string compareReceived(const tcphost::PluginLibrary& plugin, const std::string& expected) {
  plugin.command("recev");
  const char* text = plugin.getFilePointer();
  const void* zero = std::memchr(text, 0, expected.size() + 1);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : 0;
  if (length != expected.size())
    return "recev gave " + std::to_string(length) + " bytes, the server sent " + std::to_string(expected.size());
  if (std::memcmp(text, expected.data(), length) != 0) return "recev gave other bytes than the server sent";
  return {};
}

// With queued events each click reads its event with nextevent, and code 7
// ends the response; otherwise the slots hold the event and the close ends it.
RunResult receive(const tcphost::PluginLibrary& plugin, std::uint16_t port, const std::string& request,
                  const std::string& expected, bool queued) {
  RunResult result;
  Events events;
  tcphost::HostWindow host(plugin, "tcpbench", nullptr, false);
  host.readQueuedEvents(queued);
  host.onNotification = [&](const tcphost::Notification& event) { events.take(event.code); };
  if (queued) {
    plugin.setData(1);
    plugin.command("setevents");
  }
  plugin.setParentWindow(host.handle());
  plugin.setFile("127.0.0.1");
  plugin.command("setip");
  plugin.setData(port);
  plugin.command("setport");
  plugin.command("kconect");
  if (!host.pumpUntil([&] { return events.connected || events.failed; }, kConnectTimeoutMs) || events.failed) {
    result.failure = "the plug-in did not connect (no code 1)";
    return result;
  }

  MemoryProbe memory;
  plugin.setFile(request);
  const Stopwatch stopwatch;
  plugin.command("sendc");
  const bool closed = host.pumpUntil(
      [&] { return (queued ? events.complete : events.disconnected) || events.failed; }, kReceiveTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = events.arrivals;

  if (events.failed) result.failure = "the plug-in reported a socket error (code 3)";
  else if (!closed) result.failure = queued ? "no code 7 within the time limit" : "no code 2 within the time limit";
  else result.failure = compareReceived(plugin, expected);
  return result;
}

}  // namespace

RunResult receiveThroughPlugin(const std::string& dllPath, std::uint16_t port, const std::string& request,
                               const std::string& expected, bool queued) {
  const tcphost::PluginLibrary plugin(dllPath);
  RunResult result;
  if (!plugin.loaded() || !plugin.has("recev")) {
    result.failure = "cannot load " + dllPath + " with its entry points";
    return result;
  }
  if (queued && !plugin.has("setevents")) {
    result.failure = dllPath + " has no queued events (setevents)";
    return result;
  }
  return receive(plugin, port, request, expected, queued);
}

}  // namespace tcpbench
