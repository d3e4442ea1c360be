#include <algorithm>

#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

std::uint32_t codeOf(DWORD error) { return static_cast<std::uint32_t>(HRESULT_FROM_WIN32(error)); }
std::uint32_t fileErrorCode() { return codeOf(GetLastError()); }

FileSystem::WriteResult writeAll(HANDLE file, std::string_view bytes) {
  FileSystem::WriteResult result;
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) {
      result.error = fileErrorCode();
      return result;
    }
    bytes.remove_prefix(written);
    result.written += written;
  }
  return result;
}

// Reads count bytes in pieces a single call can name.
bool readAll(HANDLE file, std::string& bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - at, 1u << 30));
    DWORD read = 0;
    if (!ReadFile(file, bytes.data() + at, piece, &read, nullptr) || read == 0) return false;
    at += read;
  }
  return true;
}

class Win32Files final : public FileSystem {
 public:
  ReadResult readFile(const std::string& path, std::size_t maxBytes) override {
    if (path.find('\0') != std::string::npos) return {{}, codeOf(ERROR_INVALID_NAME)};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {{}, fileErrorCode()};
    ReadResult result;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size)) {
      result.error = fileErrorCode();
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
      result.error = codeOf(ERROR_FILE_TOO_LARGE);
    } else {
      result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
      if (!readAll(file, result.bytes)) result = {{}, fileErrorCode()};
    }
    CloseHandle(file);
    return result;
  }

  WriteResult writeFile(const std::string& path, const Pieces& pieces) override {
    if (path.find('\0') != std::string::npos) return {0, codeOf(ERROR_INVALID_NAME)};
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {0, fileErrorCode()};
    WriteResult result;
    for (std::string_view piece; result.error == 0 && !(piece = pieces()).empty();) {
      const WriteResult written = writeAll(file, piece);
      result.written += written.written;
      result.error = written.error;
    }
    SetEndOfFile(file);
    CloseHandle(file);
    return result;
  }

  std::uint32_t replaceFile(const std::string& from, const std::string& to) override {
    if (from.find('\0') != std::string::npos || to.find('\0') != std::string::npos) return codeOf(ERROR_INVALID_NAME);
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : fileErrorCode();
  }

  void removeFile(const std::string& path) override {
    if (path.find('\0') == std::string::npos) DeleteFileA(path.c_str());
  }
};

}  // namespace

FileSystem& files() {
  static Win32Files instance;
  return instance;
}

}  // namespace tcp::win32
