#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "tcp.h"

namespace tcphost {

// tcp.dll loaded the way a host loads it: entry points found by name (or
// ordinal) and called as C functions.
class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }
  HMODULE module() const { return module_; }
  FARPROC entry(const char* name) const;
  FARPROC entry(int ordinal) const;
  // Whether the library exports the name (for the exports after ordinal 36).
  bool has(const char* name) const;

  template <typename Function>
  Function entryAs(const char* name) const {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry(name)));
  }

  // Runs a command: an entry point without arguments or result.
  void command(const char* name) const;

  void setFile(const std::string& text) const;
  // The text slot as a host sees it: up to its first zero byte.
  std::string getFile() const;
  // The pointer GetFile returns, for checks on the pointer itself.
  const char* getFilePointer() const;
  void setData(std::int32_t value) const;
  std::int32_t getData() const;
  void setParentWindow(HWND window) const;
  void draw(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) const;
  std::string text(const char* name) const;

 private:
  HMODULE module_ = nullptr;
};

}  // namespace tcphost
