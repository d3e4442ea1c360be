#include "win32/win32_bound_window.h"

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

void registerDefaultProcedureClass(const char* className) {
  WNDCLASSA existing = {};
  if (GetClassInfoA(thisModule(), className, &existing)) {
    if (existing.lpfnWndProc == DefWindowProcA) return;
    UnregisterClassA(className, thisModule());
  }
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = thisModule();
  windowClass.lpszClassName = className;
  RegisterClassA(&windowClass);
}

}  // namespace

HWND CreateBoundWindow(const char* className, WNDPROC procedure, void* userData) {
  registerDefaultProcedureClass(className);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, className, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                thisModule(), nullptr);
  if (!window) return nullptr;
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(userData));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
  return window;
}

void DestroyBoundWindow(HWND window) {
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  DestroyWindow(window);
}

}  // namespace tcp::win32
