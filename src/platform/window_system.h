#pragma once

#include <cstdint>
#include <string>

namespace tcp {

// A platform window handle, wide enough for a pointer on either architecture.
using WindowHandle = std::uintptr_t;

constexpr std::uint32_t kLeftButtonDown = 0x0201;
constexpr std::uint32_t kLeftButtonUp = 0x0202;
constexpr std::uint32_t kInitMenu = 0x0116;
// The form window's own message. The placement timer's tick posts it, so that
// the placement itself runs on the thread that owns the form window.
constexpr std::uint32_t kPlaceFormMessage = 0x8001;  // WM_APP + 1

// Window style bits the plug-in form uses.
constexpr std::uint32_t kStylePopup = 0x80000000;
constexpr std::uint32_t kStyleChild = 0x40000000;
constexpr std::uint32_t kStyleDisabled = 0x08000000;
constexpr std::uint32_t kStyleClipSiblings = 0x04000000;
constexpr std::uint32_t kStyleClipChildren = 0x02000000;
constexpr std::uint32_t kExStyleControlParent = 0x00010000;

// ShowWindow commands.
enum class ShowCommand : int { Hide = 0, Show = 5 };

// The plug-in form's window as it is created.
struct FormWindowLayout {
  std::string caption;
  // The window the form belongs to until it is placed in the host's window.
  WindowHandle owner = 0;
  std::uint32_t style = 0;
  std::uint32_t extendedStyle = 0;
  std::int32_t clientWidth = 0;
  std::int32_t clientHeight = 0;
  std::string fontFace;
};

// How a form window reports to the plug-in. Every call comes on the thread
// that owns the window, while that thread dispatches the window's messages.
class FormWindowEvents {
 public:
  virtual ~FormWindowEvents() = default;
  // kPlaceFormMessage arrived.
  virtual void placementDue() = 0;
  // WM_CLOSE. The platform adds no default processing (which would destroy
  // the window): what a close does is the plug-in's decision.
  virtual void formClosing() = 0;
  // WM_DESTROY: the window is going away and the platform's default
  // processing follows. No call comes after this one.
  virtual void formDestroyed() = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Posts (never sends) a message; failures are ignored.
  virtual void postMessage(WindowHandle window, std::uint32_t message,
                           std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // Sends a message and waits until the window has handled it; the result is not used.
  virtual void sendMessage(WindowHandle window, std::uint32_t message,
                           std::uintptr_t wParam, std::intptr_t lParam) = 0;
  // A hidden top-level window of the library's own, with the given caption.
  virtual WindowHandle createApplicationWindow(const std::string& caption) = 0;
  virtual void destroyWindow(WindowHandle window) = 0;
  // The library's modal message box with an OK button, owned by owner and
  // brought to the foreground; an empty title leaves the platform's default.
  virtual void showMessageBox(WindowHandle owner, const std::string& title,
                              const std::string& text) = 0;

  // GetParent: 0 when the window has neither parent nor owner.
  virtual WindowHandle getParent(WindowHandle window) = 0;
  // Creates a form window of the given client size; from then on its close,
  // destroy and placement messages reach events.
  virtual WindowHandle createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events) = 0;
  // Detaches the form window's events first, then destroys the window, so
  // that the destruction reports nothing.
  virtual void destroyFormWindow(WindowHandle form) = 0;
  // Deletes the Close command from the window's own window menu.
  virtual void removeCloseCommand(WindowHandle window) = 0;
  // Replace the whole style (or extended style) and apply it at once: the
  // frame is recomputed and the window repainted; position, size and Z order
  // stay.
  virtual void setStyle(WindowHandle window, std::uint32_t style) = 0;
  virtual void setExtendedStyle(WindowHandle window, std::uint32_t extendedStyle) = 0;
  virtual void showWindow(WindowHandle window, ShowCommand command) = 0;
  virtual void setParent(WindowHandle child, WindowHandle parent) = 0;
  // Moves and sizes the window, its Z order unchanged; x and y count in its
  // parent's client area.
  virtual void setBounds(WindowHandle window, std::int32_t x, std::int32_t y, std::int32_t width,
                         std::int32_t height) = 0;
};

}  // namespace tcp
