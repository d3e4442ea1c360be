// The entry points through which the host describes, places and feeds the
// plug-in. All are C functions with the platform's default (cdecl) convention;
// tcp.def exports them under these names and fixed ordinals.
#include <cstdint>

#include "plugin/entry_barrier.h"
#include "plugin/plugin_texts.h"

using tcp::PluginSession;
using tcp::Shielded;

extern "C" {

std::int32_t GetType() { return 0; }

const char* GetShortInfo() { return tcp::kShortInfo; }

const char* GetInfo() { return tcp::kInfo; }

const char* Copyright() { return tcp::kCopyright; }

// The host offers a settings command for every plug-in; this one has no
// configuration, so there is nothing to show or change.
void Settings() {}

void SetPath(const char* path) {
  Shielded([&] { PluginSession().exchange.PluginPath = path ? path : ""; });
}

void SetFile(const char* text) {
  Shielded([&] { PluginSession().exchange.takeText(text); });
}

const char* GetFile() { return PluginSession().exchange.textForHost(); }

void SetData(std::int32_t value) { PluginSession().exchange.ExchangeValue = value; }

std::int32_t GetData() { return PluginSession().exchange.ExchangeValue; }

}  // extern "C"
