#include "win32/win32_form_window.h"
#include "win32/win32_name_lookups.h"
#include "win32/win32_platform.h"
#include "win32/win32_socket_window.h"

namespace tcp::win32 {
namespace {

constexpr char kApplicationClass[] = "TcpPluginApplication";

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }
WindowHandle toHandle(HWND window) { return reinterpret_cast<WindowHandle>(window); }

// SetWindowLongA, then the frame recomputed and the window repainted.
void applyStyle(WindowHandle window, int index, std::uint32_t value) {
  SetWindowLongA(toHwnd(window), index, static_cast<LONG>(value));
  SetWindowPos(toHwnd(window), nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  InvalidateRect(toHwnd(window), nullptr, TRUE);
}

// The class runs only the platform's default procedure, so no code of this
// module is ever called through it, even after the module is unloaded.
void registerApplicationClass() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = thisModule();
  windowClass.lpszClassName = kApplicationClass;
  RegisterClassA(&windowClass);
}

class Win32WindowSystem final : public WindowSystem {
 public:
  void postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    PostMessageA(toHwnd(window), message, wParam, lParam);
  }

  void sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override {
    SendMessageA(toHwnd(window), message, wParam, lParam);
  }

  WindowHandle createApplicationWindow(const std::string& caption) override {
    registerApplicationClass();
    HWND window = CreateWindowExA(0, kApplicationClass, caption.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, thisModule(), nullptr);
    return toHandle(window);
  }

  void destroyWindow(WindowHandle window) override { DestroyWindow(toHwnd(window)); }

  void showMessageBox(WindowHandle owner, const std::string& title, const std::string& text) override {
    MessageBoxA(toHwnd(owner), text.c_str(), title.empty() ? nullptr : title.c_str(),
                MB_OK | MB_SETFOREGROUND);
  }

  WindowHandle getParent(WindowHandle window) override { return toHandle(GetParent(toHwnd(window))); }

  WindowHandle createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events) override {
    return toHandle(win32::createFormWindow(layout, events));
  }

  void destroyFormWindow(WindowHandle form) override { win32::destroyFormWindow(toHwnd(form)); }

  void removeCloseCommand(WindowHandle window) override {
    DeleteMenu(GetSystemMenu(toHwnd(window), FALSE), SC_CLOSE, MF_BYCOMMAND);
  }

  void setStyle(WindowHandle window, std::uint32_t style) override { applyStyle(window, GWL_STYLE, style); }

  void setExtendedStyle(WindowHandle window, std::uint32_t extendedStyle) override {
    applyStyle(window, GWL_EXSTYLE, extendedStyle);
  }

  void showWindow(WindowHandle window, ShowCommand command) override {
    ShowWindow(toHwnd(window), static_cast<int>(command));
  }

  void setParent(WindowHandle child, WindowHandle parent) override { SetParent(toHwnd(child), toHwnd(parent)); }

  // HWND_BOTTOM is named, but SWP_NOZORDER keeps the Z order as it is.
  void setBounds(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height) override {
    SetWindowPos(toHwnd(window), HWND_BOTTOM, x, y, width, height, SWP_NOZORDER);
  }
};

}  // namespace

void unregisterWindowClasses() {
  UnregisterClassA(kApplicationClass, thisModule());
  unregisterFormClass();
  UnregisterSocketWindowClass();
  UnregisterLookupWindowClass();
}

WindowSystem& windowSystem() {
  static Win32WindowSystem instance;
  return instance;
}

}  // namespace tcp::win32
