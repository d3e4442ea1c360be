#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace tcp::fakes {

// "0x1f": how the fakes write handles and numbers in their call logs.
std::string hex(std::uintmax_t value);

// Records every window operation in order, so tests can check what the
// plug-in asked of the platform and with which values.
class FakeWindowSystem : public WindowSystem {
 public:
  struct PostedMessage {
    WindowHandle window;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    bool operator==(const PostedMessage&) const = default;
  };
  struct MessageBox {
    WindowHandle owner;
    std::string title;
    std::string text;
  };

  void postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  void sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                   std::intptr_t lParam) override;
  WindowHandle createApplicationWindow(const std::string& caption) override;
  void destroyWindow(WindowHandle window) override;
  void showMessageBox(WindowHandle owner, const std::string& title, const std::string& text) override;
  WindowHandle getParent(WindowHandle window) override;
  WindowHandle createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events) override;
  void destroyFormWindow(WindowHandle form) override;
  void removeCloseCommand(WindowHandle window) override;
  void setStyle(WindowHandle window, std::uint32_t style) override;
  void setExtendedStyle(WindowHandle window, std::uint32_t extendedStyle) override;
  void showWindow(WindowHandle window, ShowCommand command) override;
  void setParent(WindowHandle child, WindowHandle parent) override;
  void setBounds(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height) override;

  // The events of a form window that is attached (created and not yet
  // destroyed through destroyFormWindow); null otherwise. Tests call them to
  // play the window's messages.
  FormWindowEvents* eventsOf(WindowHandle form) const;

  // Every call above, one line each, in the order made, e.g.
  // "ShowWindow(0x100, SW_HIDE)".
  std::vector<std::string> calls;
  std::vector<PostedMessage> posted;
  std::vector<MessageBox> messageBoxes;
  std::vector<std::string> applicationCaptions;
  std::vector<WindowHandle> destroyed;
  // What getParent answers, per window; 0 for any other.
  std::map<WindowHandle, WindowHandle> parents;
  // Called at each sendMessage, to look at the plug-in's state at that moment.
  std::function<void()> onSendMessage;

 private:
  WindowHandle nextWindow_ = 0x100;
  std::map<WindowHandle, FormWindowEvents*> formEvents_;
};

}  // namespace tcp::fakes
