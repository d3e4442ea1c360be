#include "win32/win32_socket_window.h"

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

constexpr char kSocketWindowClass[] = "TCPSocket";

LRESULT CALLBACK socketWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* sink = reinterpret_cast<SocketMessageSink*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!sink) return DefWindowProcA(window, message, wParam, lParam);
  return sink->HandleMessage(message, wParam, lParam);
}

// The class runs the platform's default procedure; each window is then bound
// to its client. A class of that name left with another procedure (by an
// earlier copy of the library) is replaced.
void registerSocketWindowClass() {
  WNDCLASSA existing = {};
  if (GetClassInfoA(thisModule(), kSocketWindowClass, &existing)) {
    if (existing.lpfnWndProc == DefWindowProcA) return;
    UnregisterClassA(kSocketWindowClass, thisModule());
  }
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = thisModule();
  windowClass.lpszClassName = kSocketWindowClass;
  RegisterClassA(&windowClass);
}

}  // namespace

WindowHandle CreateSocketWindow(SocketMessageSink& sink) {
  registerSocketWindowClass();
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kSocketWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                thisModule(), nullptr);
  if (!window) return 0;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&sink));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&socketWindowProcedure));
  return reinterpret_cast<WindowHandle>(window);
}

// Unbound first, so nothing reaches the client while the window goes.
void DestroySocketWindow(WindowHandle window) {
  HWND handle = reinterpret_cast<HWND>(window);
  SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
  SetWindowLongPtrA(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  DestroyWindow(handle);
}

}  // namespace tcp::win32
