#pragma once

#include "win32/win32_platform.h"

namespace tcp::win32 {

// The plug-in form's window: a window of the library's own class whose
// messages WM_CLOSE, WM_DESTROY and kPlaceFormMessage reach the given events,
// and which answers WM_GETFONT with the font it was created with.
HWND createFormWindow(const FormWindowLayout& layout, FormWindowEvents& events);
// Detaches the events, then destroys the window.
void destroyFormWindow(HWND window);
void unregisterFormClass();

}  // namespace tcp::win32
