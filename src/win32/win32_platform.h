#pragma once

#include <windows.h>

#include "platform/platform.h"

namespace tcp::win32 {

// The module that holds this code: the DLL itself, or the test program that
// links the platform statically.
HMODULE thisModule();

// Removes every window class the module registered, once their windows are
// gone, so that no class of an unloaded library is left behind.
void unregisterWindowClasses();

// From now on the socket layer is never stopped: at unload, under the loader
// lock, WSACleanup may wait, so the process keeps the library's reference.
// Lookups still running are abandoned.
void leaveSocketLayerAtUnload();

// The Win32 services, alive for the whole life of the module.
Platform platform();

}  // namespace tcp::win32
