#include <new>

#include "connection/connection.h"
#include "session/host_notification.h"
#include "textops/textops.h"

namespace tcp {
namespace {

constexpr char kConnectedText[] = "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";  // Клиент подключился
constexpr char kDisconnectedText[] = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";  // Клиент отключился
constexpr char kErrorText[] = "\xce\xf8\xe8\xe1\xea\xe0";  // Ошибка

}  // namespace

void HandleConnected(Session& session) { ReportEvent(session, kEventConnected, kConnectedText); }

// The close may end a response delimited by it, or cut one short: the
// framing hears of it either way, the host only in queued mode.
void HandleDisconnected(Session& session) {
  const ResponseFraming::Stage before = session.response.Framing.stage();
  session.response.Framing.close();
  if (session.conversation.queued && !session.conversation.hostClosing) ReportResponseAtClose(session, before);
  ReportEvent(session, kEventDisconnected, kDisconnectedText);
}

// In queued mode the event's text is the reason; otherwise it says only that
// an error happened, and lasterror says which.
void HandleSocketError(Session& session, std::int32_t code) {
  session.lastFailure = code;
  session.conversation.failureReported = true;
  ReportEvent(session, kEventSocketError, session.conversation.queued ? FailureName(code) : kErrorText);
}

// Bytes that a read wrote straight into the room ReserveArrival gave are
// already in place; others are copied in. An arrival that cannot be stored
// (memory exhausted) leaves what came before it as it was and ends the
// connection, with code 3 as its last word: nothing after it could be kept
// either.
void HandleDataRead(Session& session, const char* bytes, std::int32_t count) {
  ReceivedResponse& response = session.response;
  const ResponseFraming::Stage before = response.Framing.stage();
  const std::size_t arrived = count > 0 ? static_cast<std::size_t>(count) : 0;
  try {
    if (bytes && bytes == response.preparedRoom())
      response.completeArrival(arrived);
    else
      response.append(std::string_view(bytes, arrived));
  } catch (const std::bad_alloc&) {
    HandleSocketError(session, kOutOfMemory);
    if (TcpClient* client = session.client()) client->Abort();
    return;
  }
  if (session.conversation.queued) return ReportArrival(session, before);
  session.exchange.ExchangeValue = kEventDataArrived;
  // The progress counts the header block too, so a complete response ends
  // above 100 by the header block's share.
  if (response.ResponseLength != 0)
    session.exchange.ExchangeText =
        NumberText(static_cast<double>(response.ReceiveBuffer.size()) / (0.01 * response.ResponseLength));
  HostNotification(session);
}

// Room at the end of the receive buffer for a read to land in; null (the
// client's own buffer) when none can be had, which HandleDataRead then reports.
char* ReserveArrival(Session& session, std::int32_t count) {
  try {
    return session.response.prepareArrival(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<TcpClient> CreateConnectionClient(Session& session) {
  session.response.ReceiveBuffer.useAddressSpace(session.platform.memory);
  auto client = std::make_unique<TcpClient>(
      *session.platform.sockets,
      [&session](const std::string& text) {
        session.platform.windows->showMessageBox(session.applicationWindow, session.applicationCaption, text);
      },
      session.platform.tls);
  client->setPort(1234);
  client->setHost("127.0.0.1");
  client->OnConnect = [&session](TcpClient&) { HandleConnected(session); };
  client->OnDisconnect = [&session](TcpClient&) { HandleDisconnected(session); };
  client->OnError = [&session](TcpClient&, std::int32_t code) { HandleSocketError(session, code); };
  client->ReadInto = [&session](TcpClient&, std::int32_t count) { return ReserveArrival(session, count); };
  client->OnRead = [&session](TcpClient&, const char* buffer, std::int32_t, std::int32_t count) {
    HandleDataRead(session, buffer, count);
  };
  return client;
}

}  // namespace tcp
