#include "connection/connection.h"
#include "plugin/host_notification.h"
#include "textops/textops.h"

namespace tcp {
namespace {

constexpr char kConnectedText[] = "\xca\xeb\xe8\xe5\xed\xf2 \xef\xee\xe4\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";  // Клиент подключился
constexpr char kDisconnectedText[] = "\xca\xeb\xe8\xe5\xed\xf2 \xee\xf2\xea\xeb\xfe\xf7\xe8\xeb\xf1\xff";  // Клиент отключился
constexpr char kErrorText[] = "\xce\xf8\xe8\xe1\xea\xe0";  // Ошибка

}  // namespace

void HandleConnected(LibraryState& state) { ReportEvent(state, kEventConnected, kConnectedText); }

void HandleDisconnected(LibraryState& state) { ReportEvent(state, kEventDisconnected, kDisconnectedText); }

// The host learns only that an error happened, not which.
void HandleSocketError(LibraryState& state) { ReportEvent(state, kEventSocketError, kErrorText); }

void HandleDataRead(LibraryState& state, const char* bytes, std::int32_t count) {
  ResponseState& response = state.response;
  if (count > 0) response.ReceiveBuffer.append(bytes, static_cast<std::size_t>(count));
  if (response.LengthPending) {
    if (const std::optional<double> length = ReadDeclaredLength(response.ReceiveBuffer, response.LengthSearch)) {
      response.ResponseLength = *length;
      response.LengthPending = false;
    }
  }
  state.exchange.ExchangeValue = kEventDataArrived;
  // The progress counts the header block too, so a complete response ends
  // above 100 by the header block's share.
  if (response.ResponseLength != 0)
    state.exchange.ExchangeText =
        NumberText(static_cast<double>(response.ReceiveBuffer.size()) / (0.01 * response.ResponseLength));
  HostNotification(state);
}

std::unique_ptr<TcpClient> CreateConnectionClient(LibraryState& state) {
  auto client = std::make_unique<TcpClient>(*state.platform.sockets, [&state](const std::string& text) {
    state.platform.windows->showMessageBox(state.applicationWindow, state.applicationCaption, text);
  });
  client->setPort(1234);
  client->setHost("127.0.0.1");
  client->OnConnect = [&state](TcpClient&) { HandleConnected(state); };
  client->OnDisconnect = [&state](TcpClient&) { HandleDisconnected(state); };
  client->OnError = [&state](TcpClient&, std::int32_t) { HandleSocketError(state); };
  client->OnRead = [&state](TcpClient&, const char* buffer, std::int32_t, std::int32_t count) {
    HandleDataRead(state, buffer, count);
  };
  return client;
}

}  // namespace tcp
