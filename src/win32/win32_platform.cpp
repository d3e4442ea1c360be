#include "win32/win32_platform.h"

namespace tcp::win32 {

CodePages& codePages();
FileSystem& files();
WindowSystem& windowSystem();
Timers& timers();
SocketSystem& sockets();

Platform platform() {
  Platform services;
  services.codePages = &codePages();
  services.files = &files();
  services.windows = &windowSystem();
  services.timers = &timers();
  services.sockets = &sockets();
  return services;
}

}  // namespace tcp::win32
