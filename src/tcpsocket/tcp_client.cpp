#include "tcpsocket/tcp_client.h"

namespace tcp {

TcpClient::TcpClient(SocketSystem& sockets, MessageBox messageBox)
    : sockets_(sockets), messageBox_(std::move(messageBox)) {
  if (sockets_.startup() != 0) messageBox_("WSAStartup error.");
}

// Events that arrive while the client goes are ignored, and nothing is
// reported: a connection still up closes without OnDisconnect.
TcpClient::~TcpClient() {
  destroying_ = true;
  if (Window_) sockets_.destroySocketWindow(Window_);
  Window_ = 0;
  CloseSocket();
  Disconnect();
  if (sockets_.cleanup() != 0) messageBox_("WSACleanup error");
}

std::uint16_t TcpClient::port() {
  if (!Connected_) return Port_;
  std::uint16_t local = 0;
  sockets_.localPort(Socket_, local);
  return local;
}

void TcpClient::raise(const Event& event) {
  if (event && !destroying_) event(*this);
}

void TcpClient::reportError(int code) {
  if (destroying_) return;
  if (OnError) {
    OnError(*this, code);
    return;
  }
  messageBox_("Socket error " + ErrorName(code) + " on socket " +
              std::to_string(static_cast<std::intptr_t>(Socket_)));
}

bool TcpClient::CheckResult(std::int32_t result) {
  if (result != kSocketError) return false;
  const int code = sockets_.lastError();
  if (code == kWouldBlock) return false;
  reportError(code);
  return true;
}

// Closing drops whatever still waited to be sent on that socket.
void TcpClient::CloseSocket() {
  if (Socket_ == kNoSocket) return;
  CheckResult(sockets_.close(Socket_));
  Socket_ = kNoSocket;
  queue_.clear();
}

void TcpClient::Disconnect() {
  if (Socket_ == kNoSocket) return;
  CloseSocket();
  if (Connected_) {
    Connected_ = false;
    raise(OnDisconnect);
  }
  Connecting_ = false;
}

// A host that is not a dotted address fails before any socket exists, with
// the error an invalid argument gives.
void TcpClient::Connect() {
  Disconnect();
  const std::optional<std::uint32_t> address = sockets_.parseAddress(Host_);
  if (!address) {
    sockets_.setLastError(kInvalidArgument);
    CheckResult(kSocketError);
    return;
  }
  Socket_ = sockets_.openStream();
  if (CheckResult(Socket_ == kNoSocket ? kSocketError : 0)) return;
  if (!Window_) Window_ = sockets_.createSocketWindow(*this);
  sockets_.selectEvents(Socket_, Window_, kSocketMessage, kSocketEventMask);
  const bool failed = CheckResult(sockets_.connect(Socket_, *address, Port_));
  Connecting_ = !failed;
  if (failed) CloseSocket();
}

}  // namespace tcp
