#pragma once

#include <windows.h>

// Top-level windows of this process only: test programs run side by side on
// one desktop, each with a plug-in of its own and windows of the same names.
inline HWND findOwnWindowAfter(HWND after, const char* caption) {
  for (HWND window = FindWindowExA(nullptr, after, nullptr, caption); window;
       window = FindWindowExA(nullptr, window, nullptr, caption)) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) return window;
  }
  return nullptr;
}

inline HWND findOwnWindow(const char* caption) { return findOwnWindowAfter(nullptr, caption); }
