#include <winsock.h>

#include "win32/win32_name_lookups.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "win32/barrier.h"
#include "win32/win32_address_lookup.h"
#include "win32/win32_bound_window.h"
#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

constexpr char kLookupWindowClass[] = "TCPLookup";
constexpr UINT kLookupMessage = WM_USER + 2;
// Each running lookup holds a buffer of MAXGETHOSTSTRUCT bytes until the
// system answers, even when a newer sethost made its answer useless.
constexpr std::size_t kMaxLookupsRunning = 64;

// The address lookups are polled this often while any runs.
constexpr UINT kPollMs = 10;
// Timers of timeouts count up from 1; the poll's is far above them.
constexpr UINT_PTR kPollTimer = 0x7FFF0000;

// A lookup of IPv4 addresses (WSAAsyncGetHostByName, answered by a message)
// or of every address (AddressLookup, polled).
struct RunningLookup {
  HANDLE task = nullptr;
  std::unique_ptr<AddressLookup> addresses;
  UINT_PTR timer = 0;
  std::unique_ptr<char[]> entry;  // where the system writes the host entry
  LookupAllDone done;             // empty once its timeout has answered
};

// Every address of the entry the system wrote, in its order.
SocketResult<std::vector<std::string>> answerOf(const char* entryBytes, LPARAM info) {
  if (const int error = WSAGETASYNCERROR(info)) return {{}, error};
  const auto* entry = reinterpret_cast<const hostent*>(entryBytes);
  if (!entry->h_addr_list || !entry->h_addr_list[0]) return {{}, WSANO_DATA};
  SocketResult<std::vector<std::string>> found;
  for (char** each = entry->h_addr_list; *each; ++each) {
    in_addr address;
    std::memcpy(&address, *each, sizeof address);
    found.value.push_back(inet_ntoa(address));
  }
  return found;
}

class NameLookups {
 public:
  int start(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done);
  int startAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done);
  void onAnswer(HANDLE task, LPARAM info);
  void onTimer(UINT_PTR timer);
  void abandon();

 private:
  bool ensureWindow();
  int canStart(const std::string& name);
  void keep(RunningLookup lookup, std::uint32_t timeoutMs);
  void poll();
  void onTimeout(UINT_PTR timer);
  void finish(std::vector<RunningLookup>::iterator found, const SocketResult<std::vector<std::string>>& answer);
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
      lookups().onTimer(wParam);
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

// A name with a zero byte in it would be cut there: it is no name. Each
// lookup holds the socket layer until it ends.
int NameLookups::canStart(const std::string& name) {
  if (name.find('\0') != std::string::npos) return WSAHOST_NOT_FOUND;
  if (running_.size() >= kMaxLookupsRunning) return WSAENOBUFS;
  if (!ensureWindow()) return WSAENOBUFS;
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data);
}

void NameLookups::keep(RunningLookup lookup, std::uint32_t timeoutMs) {
  if (timeoutMs != 0) {
    lookup.timer = ++lastTimer_;
    if (SetTimer(window_, lookup.timer, timeoutMs, nullptr) == 0) lookup.timer = 0;
  }
  running_.push_back(std::move(lookup));
}

// Where the system cannot look every address up without waiting, the IPv4
// ones are looked up instead.
int NameLookups::startAll(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) {
  if (const int error = canStart(name)) return error;
  int error = 0;
  std::unique_ptr<AddressLookup> addresses = AddressLookup::start(name, error);
  if (!addresses) {
    WSACleanup();
    return error == WSAEOPNOTSUPP ? start(name, timeoutMs, std::move(done)) : error;
  }
  if (SetTimer(window_, kPollTimer, kPollMs, nullptr) == 0) {
    // Not polled, it would never answer: left to the system instead.
    static_cast<void>(addresses.release());
    WSACleanup();
    return WSAENOBUFS;
  }
  RunningLookup lookup;
  lookup.addresses = std::move(addresses);
  lookup.done = std::move(done);
  keep(std::move(lookup), timeoutMs);
  return 0;
}

int NameLookups::start(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) {
  if (const int error = canStart(name)) return error;
  RunningLookup lookup;
  lookup.entry = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
  lookup.done = std::move(done);
  lookup.task = WSAAsyncGetHostByName(window_, kLookupMessage, name.c_str(), lookup.entry.get(), MAXGETHOSTSTRUCT);
  if (!lookup.task) {
    const int error = WSAGetLastError();
    WSACleanup();
    return error != 0 ? error : WSAENOBUFS;
  }
  keep(std::move(lookup), timeoutMs);
  return 0;
}

void NameLookups::onAnswer(HANDLE task, LPARAM info) {
  const auto found = find(task);
  if (found != running_.end()) finish(found, answerOf(found->entry.get(), info));
}

void NameLookups::onTimer(UINT_PTR timer) {
  if (timer == kPollTimer) return poll();
  onTimeout(timer);
}

// One lookup that finished a poll: later ones wait for the next.
void NameLookups::poll() {
  const auto found = std::find_if(running_.begin(), running_.end(), [](const RunningLookup& lookup) {
    return lookup.addresses && lookup.addresses->finished();
  });
  if (found != running_.end()) finish(found, found->addresses->answer());
  const bool polling = std::any_of(running_.begin(), running_.end(), [](const RunningLookup& l) { return l.addresses != nullptr; });
  if (!polling) KillTimer(window_, kPollTimer);
}

// The lookup leaves the list before its done runs: done may start another.
void NameLookups::finish(std::vector<RunningLookup>::iterator found,
                         const SocketResult<std::vector<std::string>>& answer) {
  RunningLookup lookup = std::move(*found);
  running_.erase(found);
  if (lookup.timer != 0) KillTimer(window_, lookup.timer);
  lookup.addresses.reset();
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
  if (found->addresses) found->addresses->cancel();
  LookupAllDone done = std::move(found->done);
  found->done = nullptr;
  done({{}, WSAETIMEDOUT});
}

void NameLookups::abandon() {
  if (window_) DestroyBoundWindow(window_);
  window_ = nullptr;
  for (RunningLookup& lookup : running_) {
    static_cast<void>(lookup.entry.release());
    static_cast<void>(lookup.addresses.release());
    lookup.done = nullptr;
  }
  running_.clear();
}

}  // namespace

int StartNameLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done) {
  return lookups().start(name, timeoutMs, [done = std::move(done)](SocketResult<std::vector<std::string>> found) {
    done({found.value.empty() ? std::string() : found.value.front(), found.error});
  });
}

int StartAddressLookup(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done) {
  return lookups().startAll(name, timeoutMs, std::move(done));
}

void AbandonNameLookupsAtUnload() { lookups().abandon(); }

void UnregisterLookupWindowClass() { UnregisterClassA(kLookupWindowClass, thisModule()); }

}  // namespace tcp::win32
