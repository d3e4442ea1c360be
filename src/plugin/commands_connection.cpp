// The connection commands as the host calls them: inputs from the slots,
// results back into them.
#include "connection/connection.h"
#include "plugin/plugin_session.h"

using tcp::PluginSession;

extern "C" {

void sethost() { tcp::SetHostByName(PluginSession(), PluginSession().exchange.ExchangeText); }

void setip() { tcp::SetHostAddress(PluginSession(), PluginSession().exchange.ExchangeText); }

void setport() { tcp::SetPort(PluginSession(), PluginSession().exchange.ExchangeValue); }

void kconect() { tcp::Connect(PluginSession()); }

void disconect() { tcp::Disconnect(PluginSession()); }

void sendc() { tcp::SendRequest(PluginSession(), PluginSession().exchange.ExchangeText); }

void recev() { PluginSession().exchange.ExchangeText = PluginSession().response.ReceiveBuffer; }

void status() {
  if (std::optional<std::string> text = tcp::StatusText(PluginSession()))
    PluginSession().exchange.ExchangeText = std::move(*text);
}

}  // extern "C"
