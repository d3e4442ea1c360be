#pragma once

#include <windows.h>

namespace tcp::win32 {

// A hidden window of a class whose own procedure is the platform's default:
// the window runs the library's procedure only while bound to it, from its
// creation until DestroyBoundWindow, so a class that outlives a copy of the
// library calls none of its code. A class of that name left with another
// procedure (by an earlier copy of the library) is replaced. userData goes
// to the window's user data; nullptr when the window cannot be made.
HWND CreateBoundWindow(const char* className, WNDPROC procedure, void* userData);
// Unbound first, so that nothing reaches the library while the window goes.
void DestroyBoundWindow(HWND window);

}  // namespace tcp::win32
