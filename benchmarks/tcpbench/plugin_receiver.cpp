#include "plugin_receiver.h"

#include <cstring>

#include "bench_window.h"
#include "memory_probe.h"
#include "stopwatch.h"

namespace tcpbench {

namespace {

using Command = void(__cdecl*)();
using TextSetter = void(__cdecl*)(const char*);
using TextGetter = const char*(__cdecl*)();
using ValueSetter = void(__cdecl*)(std::int32_t);
using ValueGetter = std::int32_t(__cdecl*)();
using WindowSetter = void(__cdecl*)(HWND);

constexpr std::int32_t kConnected = 1;
constexpr std::int32_t kDisconnected = 2;
constexpr std::int32_t kSocketError = 3;
constexpr std::int32_t kDataArrived = 4;
constexpr std::int32_t kResponseComplete = 7;
constexpr DWORD kConnectTimeoutMs = 10000;
constexpr DWORD kReceiveTimeoutMs = 300000;

// tcp.dll with the entry points a host needs here, looked up once.
class LoadedPlugin {
 public:
  explicit LoadedPlugin(const std::string& path) : module_(LoadLibraryA(path.c_str())) {
    ready_ = module_ && find("SetFile", SetFile) && find("GetFile", GetFile) && find("SetData", SetData) &&
             find("GetData", GetData) && find("SetParentWindow", SetParentWindow) && find("setip", setip) &&
             find("setport", setport) && find("kconect", kconect) && find("sendc", sendc) && find("recev", recev);
    // Queued events are the library's from ordinal 41 on; older ones lack them.
    if (ready_) find("setevents", setevents) && find("nextevent", nextevent);
  }
  ~LoadedPlugin() { unload(); }
  LoadedPlugin(const LoadedPlugin&) = delete;
  LoadedPlugin& operator=(const LoadedPlugin&) = delete;

  bool ready() const { return ready_; }
  void unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
  }

  TextSetter SetFile = nullptr;
  TextGetter GetFile = nullptr;
  ValueSetter SetData = nullptr;
  ValueGetter GetData = nullptr;
  WindowSetter SetParentWindow = nullptr;
  Command setip = nullptr;
  Command setport = nullptr;
  Command kconect = nullptr;
  Command sendc = nullptr;
  Command recev = nullptr;
  Command setevents = nullptr;
  Command nextevent = nullptr;

 private:
  template <typename Function>
  bool find(const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
    return function != nullptr;
  }

  HMODULE module_;
  bool ready_ = false;
};

// The host's view of the events: the code read on each click.
struct Events {
  bool connected = false;
  bool disconnected = false;
  bool complete = false;
  bool failed = false;
  std::size_t arrivals = 0;

  void take(std::int32_t code) {
    arrivals += code == kDataArrived;
    connected |= code == kConnected;
    disconnected |= code == kDisconnected;
    complete |= code == kResponseComplete;
    failed |= code == kSocketError;
  }
};

// recev, then the text slot up to its first zero byte against the response.
std::string compareReceived(const LoadedPlugin& plugin, const std::string& expected) {
  plugin.recev();
  const char* text = plugin.GetFile();
  const void* zero = std::memchr(text, 0, expected.size() + 1);
  const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - text) : 0;
  if (length != expected.size())
    return "recev gave " + std::to_string(length) + " bytes, the server sent " + std::to_string(expected.size());
  if (std::memcmp(text, expected.data(), length) != 0) return "recev gave other bytes than the server sent";
  return {};
}

// With queued events each click reads its event with nextevent, and code 7
// ends the response; otherwise the slots hold the event and the close ends it.
RunResult receive(LoadedPlugin& plugin, std::uint16_t port, const std::string& request, const std::string& expected,
                  bool queued) {
  RunResult result;
  Events events;
  BenchWindow window([&](UINT message, WPARAM, LPARAM) {
    if (message != WM_LBUTTONUP) return message == WM_LBUTTONDOWN;
    if (queued) plugin.nextevent();
    events.take(plugin.GetData());
    return true;
  });
  if (queued) {
    plugin.SetData(1);
    plugin.setevents();
  }
  plugin.SetParentWindow(window.handle());
  plugin.SetFile("127.0.0.1");
  plugin.setip();
  plugin.SetData(port);
  plugin.setport();
  plugin.kconect();
  if (!window.pumpUntil([&] { return events.connected || events.failed; }, kConnectTimeoutMs) || events.failed) {
    result.failure = "the plug-in did not connect (no code 1)";
    plugin.unload();
    return result;
  }

  MemoryProbe memory;
  plugin.SetFile(request.c_str());
  const Stopwatch stopwatch;
  plugin.sendc();
  const bool closed = window.pumpUntil(
      [&] { return (queued ? events.complete : events.disconnected) || events.failed; }, kReceiveTimeoutMs);
  result.seconds = stopwatch.seconds();
  memory.stop();
  result.peakAboveBaseline = memory.peakAboveBaseline();
  result.steps = events.arrivals;

  if (events.failed) result.failure = "the plug-in reported a socket error (code 3)";
  else if (!closed) result.failure = queued ? "no code 7 within the time limit" : "no code 2 within the time limit";
  else result.failure = compareReceived(plugin, expected);
  // The library goes while the window it posts to still exists.
  plugin.unload();
  return result;
}

}  // namespace

RunResult receiveThroughPlugin(const std::string& dllPath, std::uint16_t port, const std::string& request,
                               const std::string& expected, bool queued) {
  LoadedPlugin plugin(dllPath);
  RunResult result;
  if (!plugin.ready()) {
    result.failure = "cannot load " + dllPath + " with its entry points";
    return result;
  }
  if (queued && !plugin.setevents) {
    result.failure = dllPath + " has no queued events (setevents)";
    return result;
  }
  return receive(plugin, port, request, expected, queued);
}

}  // namespace tcpbench
