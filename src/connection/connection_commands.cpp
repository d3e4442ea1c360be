#include "connection/connection.h"
#include "plugin/host_notification.h"

namespace tcp {

std::string ResolveHost(SocketSystem& sockets, const std::string& name) {
  if (sockets.startup() != 0) return {};
  std::string address = sockets.lookUpHost(name);
  sockets.cleanup();
  return address;
}

void sethost(LibraryState& state) {
  const std::string address = ResolveHost(*state.platform.sockets, state.exchange.ExchangeText);
  if (address.empty()) {
    ReportEvent(state, kEventHostNotFound, "no ip");
    return;
  }
  if (state.client) state.client->setHost(address);
  ReportEvent(state, kEventHostResolved, address);
}

void setip(LibraryState& state) {
  if (state.client) state.client->setHost(state.exchange.ExchangeText);
}

void setport(LibraryState& state) {
  if (state.client) state.client->setPort(static_cast<std::uint16_t>(state.exchange.ExchangeValue));
}

void kconect(LibraryState& state) {
  if (state.client) state.client->Connect();
}

void disconect(LibraryState& state) {
  if (state.client) state.client->Disconnect();
}

void sendc(LibraryState& state) {
  if (!state.client) return;
  ResponseState& response = state.response;
  response.LengthPending = true;
  response.LengthSearch = {};
  response.ResponseLength = 0;
  response.DecodedBody.clear();
  response.HeaderText.clear();
  response.ReceiveBuffer.clear();
  state.client->SendText(state.exchange.ExchangeText);
}

void recev(LibraryState& state) { state.exchange.ExchangeText = state.response.ReceiveBuffer; }

void status(LibraryState& state) {
  if (!state.client) return;
  TcpClient& client = *state.client;
  const bool online = client.Connected();
  state.exchange.ExchangeText = "host " + client.host() + " Port " + std::to_string(client.port()) +
                                (online ? " online" : " ofline") + " bufer " +
                                std::to_string(state.response.ReceiveBuffer.size());
}

}  // namespace tcp
