#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace tcp::win32 {

// The module that holds this code: the DLL itself, or the test program that
// links the platform statically.
HMODULE thisModule();

// Removes the class of the library's application window once that window is gone.
void unregisterApplicationClass();

// The Win32 services, alive for the whole life of the module.
Platform platform();

}  // namespace tcp::win32
