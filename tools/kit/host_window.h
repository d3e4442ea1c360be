#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "plugin_library.h"

namespace tcphost {

// One button message the plug-in posted to the host's window.
struct Click {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// What the host read from the two slots when a click completed.
struct Notification {
  std::int32_t code;
  std::string text;
};

// A host's own window: it takes the plug-in's clicks and reacts to each one by
// reading GetData and GetFile, as a host script does. Messages are handled
// only while pump* runs, on the thread that created the window.
class HostWindow {
 public:
  // A top-level window unless a parent is given; `shown` false keeps a
  // top-level window off the screen (a console has no use for it, and
  // Wine's X11 driver takes a second to withdraw a shown one at exit).
  HostWindow(const PluginLibrary& plugin, const char* caption, HWND parent = nullptr, bool shown = true);
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  HWND handle() const { return window_; }
  const std::vector<Click>& clicks() const { return clicks_; }
  const std::vector<Notification>& notifications() const { return notifications_; }
  void clear();

  // Dispatches this thread's messages until done() holds or the time is up;
  // returns whether done() held.
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs);
  void pumpFor(int milliseconds);
  // Waits for the next notification with the given code.
  bool waitForCode(std::int32_t code, int timeoutMs);

  // Called for each notification as it is read (for hosts that print them).
  std::function<void(const Notification&)> onNotification;

  // With queued events (setevents 1) each click reads its event with
  // nextevent; a click that finds the queue empty reads code 0 and is kept
  // out of the notifications.
  void readQueuedEvents(bool queued) { queued_ = queued; }
  bool readsQueuedEvents() const { return queued_; }
  // Clicks that found no event in the queue.
  int emptyClicks() const { return emptyClicks_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void record(UINT message, WPARAM wParam, LPARAM lParam);

  const PluginLibrary& plugin_;
  HWND window_ = nullptr;
  std::vector<Click> clicks_;
  std::vector<Notification> notifications_;
  bool queued_ = false;
  int emptyClicks_ = 0;
};

}  // namespace tcphost
