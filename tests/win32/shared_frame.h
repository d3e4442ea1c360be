#pragma once

#include <windows.h>

namespace tcptest {

// A visible top-level window that lives until the test program ends; the
// tests' host windows are its children. Under Wine without a window manager,
// destroying a visible top-level window waits two seconds for a manager that
// never answers; destroying a child, or ending the process, does not.
inline HWND sharedFrame() {
  static const HWND frame = CreateWindowExA(0, "STATIC", "test frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800,
                                            600, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return frame;
}

}  // namespace tcptest
