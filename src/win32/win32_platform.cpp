#include "win32/win32_platform.h"

namespace tcp::win32 {

CodePages& codePages();
FileSystem& files();
WindowSystem& windowSystem();

Platform platform() {
  Platform services;
  services.codePages = &codePages();
  services.files = &files();
  services.windows = &windowSystem();
  return services;
}

}  // namespace tcp::win32
