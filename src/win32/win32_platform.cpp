#include "win32/win32_platform.h"
#include "win32/win32_tls.h"

namespace tcp::win32 {

CodePages& codePages();
FileSystem& files();
WindowSystem& windowSystem();
Timers& timers();
SocketSystem& sockets();
AddressSpace& addressSpace();

namespace {

// Made on first use; the roots added to it stay for the library's life.
TlsSystem& tlsSystem() {
  static const std::unique_ptr<TlsSystem> system = makeSchannelTls();
  return *system;
}

}  // namespace

Platform platform() {
  Platform services;
  services.codePages = &codePages();
  services.files = &files();
  services.windows = &windowSystem();
  services.timers = &timers();
  services.sockets = &sockets();
  services.tls = &tlsSystem();
  services.memory = &addressSpace();
  return services;
}

}  // namespace tcp::win32
