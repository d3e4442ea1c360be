#include "connection/connection.h"
#include "session/host_notification.h"

namespace tcp {

std::string ResolveHost(SocketSystem& sockets, const std::string& name) {
  if (sockets.startup() != 0) return {};
  std::string address = sockets.lookUpHost(name);
  sockets.cleanup();
  return address;
}

// Without a client there is no host to set and no window to click: like the
// other connection commands, it then does nothing at all.
void SetHostByName(Session& session, const std::string& name) {
  TcpClient* client = session.client();
  if (!client) return;
  const std::string address = ResolveHost(*session.platform.sockets, name);
  if (address.empty()) {
    ReportEvent(session, kEventHostNotFound, "no ip");
    return;
  }
  client->setHost(address, name);
  ReportEvent(session, kEventHostResolved, address);
}

void SetHostAddress(Session& session, const std::string& address) {
  if (TcpClient* client = session.client()) client->setHost(address);
}

void SetPort(Session& session, std::int32_t value) {
  if (TcpClient* client = session.client()) client->setPort(static_cast<std::uint16_t>(value));
}

void Connect(Session& session) {
  TcpClient* client = session.client();
  if (!client) return;
  session.lastFailure = 0;
  client->Connect();
}

void Disconnect(Session& session) {
  if (TcpClient* client = session.client()) client->Disconnect();
}

void SendRequest(Session& session, std::string_view request) {
  TcpClient* client = session.client();
  if (!client) return;
  session.response.startNew();
  client->SendText(request);
}

std::optional<std::string> StatusText(Session& session) {
  TcpClient* client = session.client();
  if (!client) return std::nullopt;
  const bool online = client->Connected();
  return "host " + client->host() + " Port " + std::to_string(client->port()) + (online ? " online" : " ofline") +
         " bufer " + std::to_string(session.response.ReceiveBuffer.size());
}

}  // namespace tcp
