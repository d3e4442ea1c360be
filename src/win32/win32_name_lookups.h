#pragma once

#include <cstdint>
#include <string>

#include "platform/sockets.h"

namespace tcp::win32 {

// Host-name lookups that never wait on the caller's thread: the system looks
// the name up on a thread of its own (WSAAsyncGetHostByName) and posts the
// answer to the hidden "TCPLookup" window, whose procedure hands it to the
// lookup's done on the thread that started it. No code of the library runs on
// another thread, so unloading it never races a lookup.
int StartNameLookup(const std::string& name, std::uint32_t timeoutMs, LookupDone done);
// The same for every address of the name: IPv6 ones too where the system
// looks them up on threads of its own (GetAddrInfoExW, polled from the same
// window), else the IPv4 ones.
int StartAddressLookup(const std::string& name, std::uint32_t timeoutMs, LookupAllDone done);

// At unload, under the loader lock: the window goes, and the lookups still
// running keep their buffers (the system may still write into them) and their
// reference on the socket layer; their answers reach no one.
void AbandonNameLookupsAtUnload();

// Once no such window is left.
void UnregisterLookupWindowClass();

}  // namespace tcp::win32
