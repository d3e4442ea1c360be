#include "bench_window.h"

#include <utility>

namespace tcpbench {

namespace {

constexpr char kClassName[] = "TcpBenchWindow";
constexpr UINT_PTR kDeadlineTimer = 1;
constexpr UINT kDeadlineCheckMs = 100;

void registerClass(WNDPROC procedure) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  RegisterClassA(&windowClass);
}

}  // namespace

BenchWindow::BenchWindow(Handler handler) : handler_(std::move(handler)) {
  registerClass(&BenchWindow::procedure);
  window_ = CreateWindowExA(0, kClassName, "tcpbench", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

BenchWindow::~BenchWindow() {
  if (!window_) return;
  SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

LRESULT CALLBACK BenchWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<BenchWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self && self->handler_(message, wParam, lParam)) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

bool BenchWindow::pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  SetTimer(window_, kDeadlineTimer, kDeadlineCheckMs, nullptr);
  MSG message;
  while (!done() && GetTickCount64() < deadline && GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  KillTimer(window_, kDeadlineTimer);
  return done();
}

}  // namespace tcpbench
