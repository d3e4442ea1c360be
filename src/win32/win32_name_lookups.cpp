#include <winsock.h>

#include "win32/win32_name_lookups.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "win32/barrier.h"
#include "win32/win32_bound_window.h"
#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

constexpr char kLookupWindowClass[] = "TCPLookup";
constexpr UINT kLookupMessage = WM_USER + 2;
// Each running lookup holds a buffer of MAXGETHOSTSTRUCT bytes until the
// system answers, even when a newer sethost made its answer useless.
constexpr std::size_t kMaxLookupsRunning = 64;

struct RunningLookup {
  HANDLE task = nullptr;
  UINT_PTR timer = 0;
  std::unique_ptr<char[]> entry;  // where the system writes the host entry
  LookupDone done;                // empty once its timeout has answered
};

// The first address of the entry the system wrote, as lookUpHost gives it.
SocketResult<std::string> answerOf(const char* entryBytes, LPARAM info) {
  if (const int error = WSAGETASYNCERROR(info)) return {{}, error};
  const auto* entry = reinterpret_cast<const hostent*>(entryBytes);
  if (!entry->h_addr_list || !entry->h_addr_list[0]) return {{}, WSANO_DATA};
  in_addr address;
  std::memcpy(&address, entry->h_addr_list[0], sizeof address);
  return {inet_ntoa(address), 0};
}

class NameLookups {
 public:
  int start(const std::string& name, std::uint32_t timeoutMs, LookupDone done);
  void onAnswer(HANDLE task, LPARAM info);
  void onTimeout(UINT_PTR timer);
  void abandon();

 private:
  bool ensureWindow();
  std::vector<RunningLookup>::iterator find(HANDLE task);

  HWND window_ = nullptr;
  std::vector<RunningLookup> running_;
  UINT_PTR lastTimer_ = 0;
};

NameLookups& lookups() {
  static NameLookups instance;
  return instance;
}

LRESULT CALLBACK lookupWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kLookupMessage) {
    return Shielded(LRESULT{0}, [&] {
      lookups().onAnswer(reinterpret_cast<HANDLE>(wParam), lParam);
      return LRESULT{0};
    });
  }
  if (message == WM_TIMER) {
    return Shielded(LRESULT{0}, [&] {
      lookups().onTimeout(wParam);
      return LRESULT{0};
    });
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

bool NameLookups::ensureWindow() {
  if (!window_) window_ = CreateBoundWindow(kLookupWindowClass, &lookupWindowProcedure, nullptr);
  return window_ != nullptr;
}

std::vector<RunningLookup>::iterator NameLookups::find(HANDLE task) {
  return std::find_if(running_.begin(), running_.end(), [task](const RunningLookup& lookup) { return lookup.task == task; });
}

// A name with a zero byte in it would be cut there: it is no name.
int NameLookups::start(const std::string& name, std::uint32_t timeoutMs, LookupDone done) {
  if (name.find('\0') != std::string::npos) return WSAHOST_NOT_FOUND;
  if (running_.size() >= kMaxLookupsRunning) return WSAENOBUFS;
  if (!ensureWindow()) return WSAENOBUFS;
  WSADATA data;
  if (const int error = WSAStartup(MAKEWORD(1, 1), &data)) return error;
  RunningLookup lookup;
  lookup.entry = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
  lookup.done = std::move(done);
  lookup.task = WSAAsyncGetHostByName(window_, kLookupMessage, name.c_str(), lookup.entry.get(), MAXGETHOSTSTRUCT);
  if (!lookup.task) {
    const int error = WSAGetLastError();
    WSACleanup();
    return error != 0 ? error : WSAENOBUFS;
  }
  if (timeoutMs != 0) {
    lookup.timer = ++lastTimer_;
    if (SetTimer(window_, lookup.timer, timeoutMs, nullptr) == 0) lookup.timer = 0;
  }
  running_.push_back(std::move(lookup));
  return 0;
}

// The lookup leaves the list before its done runs: done may start another.
void NameLookups::onAnswer(HANDLE task, LPARAM info) {
  const auto found = find(task);
  if (found == running_.end()) return;
  RunningLookup lookup = std::move(*found);
  running_.erase(found);
  if (lookup.timer != 0) KillTimer(window_, lookup.timer);
  const SocketResult<std::string> answer = answerOf(lookup.entry.get(), info);
  WSACleanup();
  if (lookup.done) lookup.done(answer);
}

// The timeout answers for the lookup; the system's answer, when it comes,
// only gives the buffer back.
void NameLookups::onTimeout(UINT_PTR timer) {
  KillTimer(window_, timer);
  const auto found = std::find_if(running_.begin(), running_.end(),
                                  [timer](const RunningLookup& lookup) { return lookup.timer == timer; });
  if (found == running_.end() || !found->done) return;
  found->timer = 0;
  LookupDone done = std::move(found->done);
  found->done = nullptr;
  done({{}, WSAETIMEDOUT});
}

void NameLookups::abandon() {
  if (window_) DestroyBoundWindow(window_);
  window_ = nullptr;
  for (RunningLookup& lookup : running_) {
    static_cast<void>(lookup.entry.release());
    lookup.done = nullptr;
  }
  running_.clear();
}

}  // namespace

int StartNameLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) {
  return lookups().start(name, timeoutMs, std::move(done));
}

void AbandonNameLookupsAtUnload() { lookups().abandon(); }

void UnregisterLookupWindowClass() { UnregisterClassA(kLookupWindowClass, thisModule()); }

}  // namespace tcp::win32
