#pragma once

#include <memory>

#include "connection/response_state.h"
#include "platform/platform.h"
#include "plugin/exchange_area.h"

namespace tcp {

class PluginForm;
class TcpClient;

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
  // The plug-in form, built by SetParentWindow, with what lives as long as its
  // window: the placement timer and the TcpClient. The form's window owns it
  // and releases it when it is destroyed; a form that still exists when the
  // library is unloaded is released with the library (see ~LibraryState).
  std::unique_ptr<PluginForm> form;
  // The form's socket client, which the form owns: null before the first
  // SetParentWindow and again once the form has released it.
  TcpClient* client = nullptr;

  LibraryState();
  ~LibraryState();
};

LibraryState& library();

}  // namespace tcp
