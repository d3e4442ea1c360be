#include <algorithm>

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

bool writeAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

class Win32Files final : public FileSystem {
 public:
  bool writeFile(const std::string& path, std::string_view bytes) override {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool written = writeAll(file, bytes);
    SetEndOfFile(file);
    CloseHandle(file);
    return written;
  }
};

}  // namespace

FileSystem& files() {
  static Win32Files instance;
  return instance;
}

}  // namespace tcp::win32
