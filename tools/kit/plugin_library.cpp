#include "plugin_library.h"

#include <stdexcept>

namespace tcphost {

PluginLibrary::PluginLibrary(const std::string& path) : module_(LoadLibraryA(path.c_str())) {}

PluginLibrary::~PluginLibrary() {
  if (module_) FreeLibrary(module_);
}

FARPROC PluginLibrary::entry(const char* name) const {
  FARPROC function = module_ ? GetProcAddress(module_, name) : nullptr;
  if (!function) throw std::runtime_error(std::string("tcp.dll has no entry point ") + name);
  return function;
}

bool PluginLibrary::has(const char* name) const { return module_ && GetProcAddress(module_, name); }

FARPROC PluginLibrary::entry(int ordinal) const {
  return module_ ? GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

void PluginLibrary::command(const char* name) const { entryAs<tcp_command_fn>(name)(); }

void PluginLibrary::setFile(const std::string& text) const { entryAs<tcp_set_text_fn>("SetFile")(text.c_str()); }

std::string PluginLibrary::getFile() const { return getFilePointer(); }

const char* PluginLibrary::getFilePointer() const { return entryAs<tcp_get_text_fn>("GetFile")(); }

void PluginLibrary::setData(std::int32_t value) const { entryAs<tcp_set_value_fn>("SetData")(value); }

std::int32_t PluginLibrary::getData() const { return entryAs<tcp_get_value_fn>("GetData")(); }

void PluginLibrary::setParentWindow(HWND window) const { entryAs<tcp_set_window_fn>("SetParentWindow")(window); }

void PluginLibrary::draw(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) const {
  entryAs<tcp_draw_fn>("Draw")(0, x, y, width, height);
}

std::string PluginLibrary::text(const char* name) const { return entryAs<tcp_get_text_fn>(name)(); }

}  // namespace tcphost
