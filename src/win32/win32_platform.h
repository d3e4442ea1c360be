#pragma once

#include <windows.h>

#include <memory>

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

// Code pages whose ANSI conversions to and from UTF-16, lead bytes and
// tables are those of codePage rather than the thread's; OEM text and
// lower-casing stay the thread's.
std::unique_ptr<CodePages> codePagesOf(unsigned codePage);

// The Win32 services, alive for the whole life of the module.
Platform platform();

}  // namespace tcp::win32
