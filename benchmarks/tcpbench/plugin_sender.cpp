#include "plugin_sender.h"

#include "memory_probe.h"
#include "session.h"
#include "stopwatch.h"
#include "tcp.h"

namespace tcpbench {

namespace {

constexpr int kConnectTimeoutMs = 10000;
constexpr int kSendTimeoutMs = 300000;

bool seen(const tcphost::HostWindow& host, std::int32_t code) {
  for (const tcphost::Notification& event : host.notifications())
    if (event.code == code) return true;
  return false;
}

bool ended(const tcphost::HostWindow& host) {
  return seen(host, TCP_EVENT_DISCONNECTED) || seen(host, TCP_EVENT_ERROR);
}

}  // namespace

RunResult sendThroughPlugin(const std::string& dllPath, std::uint16_t port, const std::string& request,
                            const std::string& reply) {
  RunResult result;
  tcphost::Session session(dllPath, false);
  if (!session.problem().empty()) {
    result.failure = session.problem();
    return result;
  }
  tcphost::PluginLibrary& plugin = session.plugin();
  tcphost::HostWindow& host = session.host();
  plugin.setFile("127.0.0.1");
  plugin.command("setip");
  plugin.setData(port);
  plugin.command("setport");
  plugin.command("kconect");
  if (!host.pumpUntil([&] { return seen(host, TCP_EVENT_CONNECTED) || ended(host); }, kConnectTimeoutMs) ||
      ended(host)) {
    result.failure = "the plug-in did not connect (no code 1)";
    return result;
  }

  plugin.setFile(request);
  host.clear();
  MemoryProbe memory;
  const Stopwatch stopwatch;
  plugin.command("sendc");
  const bool closed = host.pumpUntil([&] { return ended(host); }, kSendTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = host.notifications().size();
  result.stepName = "events";

  if (seen(host, TCP_EVENT_ERROR)) result.failure = "the plug-in reported a socket error (code 3)";
  else if (!closed) result.failure = "no code 2 within the time limit";
  else {
    plugin.command("recev");
    if (plugin.getFile() != reply) result.failure = "no reply from the server";
  }
  return result;
}

}  // namespace tcpbench
