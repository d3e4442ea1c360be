// The entry points that hand the plug-in its place in the host's window.
#include <cstdint>

#include "plugin/entry_barrier.h"
#include "plugin/plugin_form.h"

using tcp::PluginSession;
using tcp::Shielded;

extern "C" {

void SetParentWindow(void* window) {
  Shielded([&] { tcp::AttachToHostWindow(PluginSession(), reinterpret_cast<tcp::WindowHandle>(window)); });
}

// The first argument carries nothing the plug-in uses.
void Draw(std::int32_t, std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
  Shielded([&] { tcp::PlaceForm(PluginSession(), x, y, width, height); });
}

}  // extern "C"
