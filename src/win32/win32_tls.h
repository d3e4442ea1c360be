#pragma once

#include <memory>

#include "platform/tls.h"

namespace tcp::win32 {

// TLS through the system's Schannel, checking certificates in this library
// (Schannel's own check is off: Wine never performs it).
std::unique_ptr<TlsSystem> makeSchannelTls();

}  // namespace tcp::win32
