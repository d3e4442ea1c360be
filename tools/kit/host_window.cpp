#include "host_window.h"

#include <algorithm>

namespace tcphost {

namespace {
constexpr char kHostClass[] = "TcpHostWindow";

void registerHostClass(WNDPROC procedure) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kHostClass;
  RegisterClassA(&windowClass);
}
}  // namespace

HostWindow::HostWindow(const PluginLibrary& plugin, const char* caption, HWND parent, bool shown)
    : plugin_(plugin) {
  registerHostClass(&HostWindow::procedure);
  const DWORD style = (parent ? (WS_CHILD | WS_CLIPCHILDREN) : WS_OVERLAPPEDWINDOW) | (shown ? WS_VISIBLE : 0);
  window_ = CreateWindowExA(0, kHostClass, caption, style, 0, 0, 640, 480, parent, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

HostWindow::~HostWindow() {
  if (!window_) return;
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

void HostWindow::clear() {
  clicks_.clear();
  notifications_.clear();
}

LRESULT CALLBACK HostWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* host = reinterpret_cast<HostWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (host && (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP)) {
    host->record(message, wParam, lParam);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void HostWindow::record(UINT message, WPARAM wParam, LPARAM lParam) {
  clicks_.push_back({message, wParam, lParam});
  if (message != WM_LBUTTONUP) return;
  if (queued_) plugin_.command("nextevent");
  const Notification event{plugin_.getData(), plugin_.getFile()};
  if (queued_ && event.code == 0) {
    ++emptyClicks_;
    return;
  }
  notifications_.push_back(event);
  if (onNotification) onNotification(notifications_.back());
}

bool HostWindow::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done()) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    // Woken at least this often, so that a condition that also watches the
    // clock (a report every few seconds) is asked while no message comes.
    constexpr ULONGLONG kLongestWaitMs = 250;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(deadline - now, kLongestWaitMs)),
                              QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return true;
}

void HostWindow::pumpFor(int milliseconds) {
  pumpUntil([] { return false; }, milliseconds);
}

bool HostWindow::waitForCode(std::int32_t code, int timeoutMs) {
  const std::size_t seen = notifications_.size();
  return pumpUntil(
      [&] {
        for (std::size_t i = seen; i < notifications_.size(); ++i)
          if (notifications_[i].code == code) return true;
        return false;
      },
      timeoutMs);
}

}  // namespace tcphost
