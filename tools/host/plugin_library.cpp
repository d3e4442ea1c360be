#include "plugin_library.h"

#include <stdexcept>

namespace tcphost {

namespace {
using Command = void(__cdecl*)();
using TextSetter = void(__cdecl*)(const char*);
using TextGetter = const char*(__cdecl*)();
using ValueSetter = void(__cdecl*)(std::int32_t);
using ValueGetter = std::int32_t(__cdecl*)();
using WindowSetter = void(__cdecl*)(HWND);
using Drawer = void(__cdecl*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t);
}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}

PluginLibrary::~PluginLibrary() {
  if (module_) FreeLibrary(module_);
}

FARPROC PluginLibrary::entry(const char* name) const {
  FARPROC function = module_ ? GetProcAddress(module_, name) : nullptr;
  if (!function) throw std::runtime_error(std::string("tcp.dll has no entry point ") + name);
  return function;
}

FARPROC PluginLibrary::entry(int ordinal) const {
  return module_ ? GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

void PluginLibrary::command(const char* name) const { entryAs<Command>(name)(); }

void PluginLibrary::setFile(const std::string& text) const { entryAs<TextSetter>("SetFile")(text.c_str()); }

std::string PluginLibrary::getFile() const { return getFilePointer(); }

const char* PluginLibrary::getFilePointer() const { return entryAs<TextGetter>("GetFile")(); }

void PluginLibrary::setData(std::int32_t value) const { entryAs<ValueSetter>("SetData")(value); }

std::int32_t PluginLibrary::getData() const { return entryAs<ValueGetter>("GetData")(); }

void PluginLibrary::setParentWindow(HWND window) const { entryAs<WindowSetter>("SetParentWindow")(window); }

void PluginLibrary::draw(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) const {
  entryAs<Drawer>("Draw")(0, x, y, width, height);
}

std::string PluginLibrary::text(const char* name) const { return entryAs<TextGetter>(name)(); }

}  // namespace tcphost
