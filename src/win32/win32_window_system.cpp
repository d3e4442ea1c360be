#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

constexpr char kApplicationClass[] = "TcpPluginApplication";

HWND toHwnd(WindowHandle window) { return reinterpret_cast<HWND>(window); }

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

  WindowHandle createApplicationWindow(const std::string& caption) override {
    registerApplicationClass();
    HWND window = CreateWindowExA(0, kApplicationClass, caption.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, thisModule(), nullptr);
    return reinterpret_cast<WindowHandle>(window);
  }

  void destroyWindow(WindowHandle window) override { DestroyWindow(toHwnd(window)); }

  void showMessageBox(WindowHandle owner, const std::string& title, const std::string& text) override {
    MessageBoxA(toHwnd(owner), text.c_str(), title.empty() ? nullptr : title.c_str(),
                MB_OK | MB_SETFOREGROUND);
  }
};

}  // namespace

void unregisterApplicationClass() { UnregisterClassA(kApplicationClass, thisModule()); }

WindowSystem& windowSystem() {
  static Win32WindowSystem instance;
  return instance;
}

}  // namespace tcp::win32
