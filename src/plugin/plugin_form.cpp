#include "plugin/plugin_form.h"

#include <memory>

#include "connection/connection.h"

namespace tcp {
namespace {

// The caption of PluginApplet tells whether the host's window is itself a
// child of another window.
constexpr char kEmbeddedHostCaption[] = "pluginedit";
constexpr char kTopLevelHostCaption[] = "pluginreal";

// The form as it is created: disabled, a popup without border, caption bar or
// window-menu button, 104 x 47 inside.
FormWindowLayout formWindowLayout(WindowHandle applet) {
  FormWindowLayout layout;
  layout.caption = "Form1";
  layout.owner = applet;
  layout.style = kStylePopup | kStyleDisabled;
  layout.extendedStyle = 0;
  layout.clientWidth = 104;
  layout.clientHeight = 47;
  layout.fontFace = "MS Sans Serif";
  return layout;
}

}  // namespace

PluginForm::PluginForm(Session& session, WindowHandle applet)
    : session_(session), windows_(*session.platform.windows), timers_(*session.platform.timers), applet_(applet) {}

PluginForm::~PluginForm() {
  stopPlacementTimer();
  client_.reset();
  if (formWindow_) windows_.destroyFormWindow(formWindow_);
  if (applet_) windows_.destroyWindow(applet_);
}

void PluginForm::build() {
  formWindow_ = windows_.createFormWindow(formWindowLayout(applet_), *this);
  windows_.removeCloseCommand(formWindow_);
  client_ = CreateConnectionClient(session_);
  windows_.sendMessage(formWindow_, kInitMenu, 0, 0);
  session_.response.HeaderLines.clear();
  session_.headerLinesKept = true;
}

void PluginForm::awaitPlacement() {
  windows_.setStyle(formWindow_, kPlacedStyle);
  windows_.setExtendedStyle(formWindow_, kPlacedExtendedStyle);
  windows_.showWindow(formWindow_, ShowCommand::Hide);
  placementTimer_ = timers_.startOnce(kPlacementDelayMs, *this);
}

void PluginForm::setBounds(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  windows_.setBounds(formWindow_, x, y, width, height);
}

// On the timer's thread, once: it touches nothing but the form window's
// message queue. The placement runs on the thread that owns the windows, which is also
// where SetParent and ShowWindow on them would wait anyway; this way stopping
// the timer never has to wait for a tick that waits for the host's thread.
void PluginForm::timerTick() {
  placementRequested_ = true;
  windows_.postMessage(formWindow_, kPlaceFormMessage, 0, 0);
}

// HostWindow is read now, so the form goes to the window of the latest
// SetParentWindow. Only the form's own tick asks for the placement, and it
// happens once: the same message number from anyone else (hosts use it for
// their own messages) neither places nor shows the form.
void PluginForm::placementDue() {
  if (!placementRequested_ || placed_) return;
  placed_ = true;
  stopPlacementTimer();
  windows_.setParent(formWindow_, session_.exchange.HostWindow);
  windows_.showWindow(formWindow_, ShowCommand::Show);
}

// A close hides the form; the window, its connection and the received bytes
// stay, and the commands go on working on them.
void PluginForm::formClosing() {
  windows_.showWindow(formWindow_, ShowCommand::Hide);
}

// The platform is destroying the window already. The timer and the client
// go with it, so no event and no tick can reach the record any more.
void PluginForm::formDestroyed() {
  windows_.destroyWindow(applet_);
  applet_ = 0;
  session_.headerLinesKept = false;
  session_.response.HeaderLines.clear();
  formWindow_ = 0;
  stopPlacementTimer();
  client_.reset();
  gone_ = true;
}

void PluginForm::stopPlacementTimer() {
  if (placementTimer_) timers_.stop(placementTimer_);
  placementTimer_ = 0;
}

PluginForm* FormOf(Session& session) { return static_cast<PluginForm*>(session.form.get()); }

void AttachToHostWindow(Session& session, WindowHandle host) {
  session.exchange.HostWindow = host;
  if (session.form && !FormOf(session)->gone()) return;
  // A form whose window is gone is released here, outside its window's messages.
  session.form.reset();
  WindowSystem& windows = *session.platform.windows;
  const WindowHandle applet =
      windows.createApplicationWindow(windows.getParent(host) ? kEmbeddedHostCaption : kTopLevelHostCaption);
  windows.showWindow(applet, ShowCommand::Hide);
  // The record is stored before it is built: what building starts may already look for it.
  session.form = std::make_unique<PluginForm>(session, applet);
  FormOf(session)->build();
  FormOf(session)->awaitPlacement();
}

void PlaceForm(Session& session, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  session.exchange.PluginPosition = {x, y};
  PluginForm* form = FormOf(session);
  if (form && !form->gone()) form->setBounds(x, y, width, height);
}

}  // namespace tcp
