#pragma once

#include "plugin/plugin_session.h"

namespace tcp {

// Every export runs its work through this barrier: the host's frames know
// nothing of C++ exceptions, so nothing thrown may leave the library. What the
// library can throw is a failed allocation (memory exhausted, or no block
// large enough left in a 32-bit address space); the command then leaves the
// empty text, which needs no memory. A short result does not keep the
// storage of a large text the slot held before.
template <typename Work>
void Shielded(Work&& work) noexcept {
  try {
    work();
    PluginSession().exchange.ExchangeText.giveBackSpareStorage();
  } catch (...) {
    PluginSession().exchange.ExchangeText = std::string();
  }
}

}  // namespace tcp
