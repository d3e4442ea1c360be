#pragma once

#include "platform/address_space.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/timer.h"
#include "platform/tls.h"
#include "platform/window_system.h"

namespace tcp {

// The operating-system services the plug-in uses. The Windows build fills it
// with the Win32 implementation at library load; unit tests fill it with fakes.
struct Platform {
  CodePages* codePages = nullptr;
  FileSystem* files = nullptr;
  WindowSystem* windows = nullptr;
  Timers* timers = nullptr;
  SocketSystem* sockets = nullptr;
  TlsSystem* tls = nullptr;
  // Null: large responses grow on the heap, copied as they grow.
  AddressSpace* memory = nullptr;
};

}  // namespace tcp
