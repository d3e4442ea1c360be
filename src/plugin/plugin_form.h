#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/timer.h"
#include "platform/window_system.h"
#include "session/session.h"

namespace tcp {

// The plug-in form: a borderless window without controls that the plug-in
// places in the host's window, and the record that owns what lives as long as
// that window: the placement timer and the TcpClient.
//
// Lifecycle: built by SetParentWindow (hidden, parented by the hidden
// application window PluginApplet); placed as a visible child of HostWindow
// about 20 ms later; hidden on WM_CLOSE, which keeps everything else. On
// WM_DESTROY it lets go of everything that lives with its window: the timer,
// the TcpClient, PluginApplet and HeaderLines. The record itself, now inert,
// is released later by its owner, the session, never inside its own window's
// messages: by the next SetParentWindow, or with the library. The library
// never closes or destroys the form, except when it is unloaded.
class PluginForm final : public SessionForm, public FormWindowEvents, public TimerSink {
 public:
  static constexpr std::uint32_t kPlacementDelayMs = 20;
  static constexpr std::uint32_t kPlacedStyle = kStyleChild | kStyleClipSiblings | kStyleClipChildren;
  static constexpr std::uint32_t kPlacedExtendedStyle = kExStyleControlParent;

  PluginForm(Session& session, WindowHandle applet);
  // Releases what is still held: stops the timer, releases the client without
  // events, destroys the form window (without reports) and PluginApplet.
  ~PluginForm() override;
  PluginForm(const PluginForm&) = delete;
  PluginForm& operator=(const PluginForm&) = delete;

  // Creates the form window, then the TcpClient and HeaderLines.
  void build();
  // Gives the window the child styles it keeps inside the host's window, hides
  // it and starts the placement timer.
  void awaitPlacement();
  void setBounds(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

  WindowHandle window() const { return formWindow_; }
  // Whether the form's window has been destroyed.
  bool gone() const { return gone_; }
  TcpClient* client() override { return client_.get(); }

 private:
  void timerTick() override;
  void placementDue() override;
  void formClosing() override;
  void formDestroyed() override;

  void stopPlacementTimer();

  Session& session_;
  WindowSystem& windows_;
  Timers& timers_;
  WindowHandle applet_;
  WindowHandle formWindow_ = 0;
  TimerId placementTimer_ = 0;
  std::unique_ptr<TcpClient> client_;
  // Set by the tick: the placement message is the form's own.
  std::atomic<bool> placementRequested_{false};
  bool placed_ = false;
  bool gone_ = false;
};

// The session's form, which only AttachToHostWindow builds; null without one.
PluginForm* FormOf(Session& session);

// SetParentWindow: records HostWindow; builds the form when none is alive.
void AttachToHostWindow(Session& session, WindowHandle host);
// Draw: records PluginPosition; moves and sizes the form while it is alive.
void PlaceForm(Session& session, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height);

}  // namespace tcp
