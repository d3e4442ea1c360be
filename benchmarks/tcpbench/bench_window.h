#pragma once

#include <windows.h>

#include <functional>

namespace tcpbench {

// A hidden top-level window whose messages go to one handler, and the
// GetMessage/DispatchMessage loop a host runs around it.
class BenchWindow {
 public:
  // Returns whether it handled the message.
  using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;

  explicit BenchWindow(Handler handler);
  ~BenchWindow();
  BenchWindow(const BenchWindow&) = delete;
  BenchWindow& operator=(const BenchWindow&) = delete;

  HWND handle() const { return window_; }

  // Dispatches this thread's messages until done() holds; a timer wakes the
  // loop so that it gives up after timeoutMs. Returns whether done() held.
  bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  Handler handler_;
  HWND window_ = nullptr;
};

}  // namespace tcpbench
