#include "connection/connection.h"
#include "session/host_notification.h"

namespace tcp {

void SetPort(Session& session, std::int32_t value) {
  if (TcpClient* client = session.client()) client->setPort(static_cast<std::uint16_t>(value));
}

namespace {

// A close the host asks for, directly or by connecting again.
class HostClosing {
 public:
  explicit HostClosing(Session& session) : conversation_(session.conversation) { conversation_.hostClosing = true; }
  ~HostClosing() { conversation_.hostClosing = false; }
  HostClosing(const HostClosing&) = delete;
  HostClosing& operator=(const HostClosing&) = delete;

 private:
  Conversation& conversation_;
};

}  // namespace

void Connect(Session& session) {
  TcpClient* client = session.client();
  if (!client) return;
  session.lastFailure = 0;
  if (ConnectWaitsForLookup(session)) return;
  session.conversation.failureReported = false;
  const HostClosing closing(session);
  client->allowIpv6(session.conversation.queued);
  client->lookUpInBackground(session.conversation.queued);
  client->Connect();
}

void Disconnect(Session& session) {
  TcpClient* client = session.client();
  if (!client) return;
  const HostClosing closing(session);
  client->Disconnect();
}

// The request is usually the text last set, whose storage the history
// holds already: what the socket does not take at once waits in it. The
// slot says so when it still holds that text; otherwise the two compare.
void SendRequest(Session& session, std::string_view request) {
  TcpClient* client = session.client();
  if (!client) return;
  session.response.startNew(request);
  session.conversation.failureReported = false;
  const TextHistory::Entry& last = session.exchange.FileHistory.entry(0);
  if (last && (session.exchange.isHostText(request) || *last == request)) return client->SendText(*last, last);
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
