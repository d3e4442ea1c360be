#pragma once

#include "connection/response_state.h"
#include "platform/platform.h"
#include "plugin/exchange_area.h"

namespace tcp {

// Everything the loaded library keeps, in one place: there is exactly one per
// loaded copy of the library, since no entry point takes an instance argument.
struct LibraryState {
  Platform platform;
  ExchangeArea exchange;
  ResponseState response;
  // The hidden application window "tcpplug" created at library load; it owns
  // the library's message box and gives it its title.
  WindowHandle applicationWindow = 0;
  std::string applicationCaption;
};

LibraryState& library();

}  // namespace tcp
