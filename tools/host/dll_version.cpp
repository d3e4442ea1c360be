#include "dll_version.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace tcphost {

namespace {

// The string NAME in the block of the resource's first translation.
std::string versionString(const std::vector<char>& block, const std::string& language, const char* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::string path = "\\StringFileInfo\\" + language + "\\" + name;
  if (!VerQueryValueA(block.data(), path.c_str(), &value, &length) || length == 0) return {};
  return std::string(static_cast<const char*>(value), length - 1);
}

std::string firstLanguage(const std::vector<char>& block) {
  WORD* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < 2 * sizeof(WORD))
    return {};
  char language[9];
  std::snprintf(language, sizeof language, "%04X%04X", translation[0], translation[1]);
  return language;
}

std::string orUnknown(const std::string& text) { return text.empty() ? "unknown" : text; }

}  // namespace

std::optional<DllVersion> ReadDllVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return std::nullopt;
  const std::string language = firstLanguage(block);
  if (language.empty()) return std::nullopt;
  return DllVersion{versionString(block, language, "Comments"), versionString(block, language, "FileVersion"),
                    versionString(block, language, "ProductVersion")};
}

std::string DescribeDllVersion(const std::string& path, const DllVersion& version) {
  return path + ": release " + orUnknown(version.release) + ", FileVersion " + orUnknown(version.fileVersion) +
         ", ProductVersion " + orUnknown(version.productVersion);
}

}  // namespace tcphost
