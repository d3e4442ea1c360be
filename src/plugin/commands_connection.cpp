// The connection commands as the host calls them: inputs from the slots,
// results back into them.
#include "connection/connection.h"
#include "plugin/entry_barrier.h"

using tcp::PluginSession;
using tcp::Shielded;

extern "C" {

void sethost() {
  Shielded([&] { tcp::SetHostByName(PluginSession(), PluginSession().exchange.ExchangeText.text()); });
}

void setip() {
  Shielded([&] { tcp::SetHostAddress(PluginSession(), PluginSession().exchange.ExchangeText.text()); });
}

void setport() {
  Shielded([&] { tcp::SetPort(PluginSession(), PluginSession().exchange.ExchangeValue); });
}

void kconect() {
  Shielded([&] { tcp::Connect(PluginSession()); });
}

void disconect() {
  Shielded([&] { tcp::Disconnect(PluginSession()); });
}

void sendc() {
  Shielded([&] { tcp::SendRequest(PluginSession(), PluginSession().exchange.ExchangeText.text()); });
}

void recev() {
  Shielded([&] { PluginSession().exchange.ExchangeText.assign(PluginSession().response.ReceiveBuffer); });
}

void status() {
  Shielded([] {
    if (std::optional<std::string> text = tcp::StatusText(PluginSession()))
      PluginSession().exchange.ExchangeText = std::move(*text);
  });
}

}  // extern "C"
