#pragma once

#include <cstdint>
#include <string>

namespace tcp {

// A platform window handle, wide enough for a pointer on either architecture.
using WindowHandle = std::uintptr_t;

constexpr std::uint32_t kLeftButtonDown = 0x0201;
constexpr std::uint32_t kLeftButtonUp = 0x0202;

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Posts (never sends) a message; failures are ignored.
  virtual void postMessage(WindowHandle window, std::uint32_t message,
                           std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // A hidden top-level window of the library's own, with the given caption.
  virtual WindowHandle createApplicationWindow(const std::string& caption) = 0;
  virtual void destroyWindow(WindowHandle window) = 0;
  // The library's modal message box with an OK button, owned by owner and
  // brought to the foreground; an empty title leaves the platform's default.
  virtual void showMessageBox(WindowHandle owner, const std::string& title,
                              const std::string& text) = 0;
};

}  // namespace tcp
