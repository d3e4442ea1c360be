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

// Closing drops whatever still waited to be sent on that socket, and the
// socket's messages still queued: the system may give the next socket the
// same handle, and the client has one socket at a time, so every socket
// message queued now concerns the closed one.
void TcpClient::CloseSocket() {
  if (Socket_ == kNoSocket) return;
  CheckResult(sockets_.close(Socket_));
  Socket_ = kNoSocket;
  queue_.clear();
  if (Window_) sockets_.dropQueuedMessages(Window_, kSocketMessage);
}

// The flags change before any event, so that a handler finds the client
// Closed and may connect again.
void TcpClient::Disconnect() {
  if (Socket_ == kNoSocket) return;
  const bool wasConnected = Connected_;
  Connected_ = false;
  Connecting_ = false;
  CloseSocket();
  if (wasConnected) raise(OnDisconnect);
}

// A host that is not a dotted address fails before any socket exists, with
// the error an invalid argument gives. A socket whose events cannot reach the
// window would never report the connect: that counts as a failed connect.
void TcpClient::Connect() {
  Disconnect();
  if (Socket_ != kNoSocket) return;  // a disconnect handler has connected again
  const std::optional<std::uint32_t> address = sockets_.parseAddress(Host_);
  if (!address) {
    sockets_.setLastError(kInvalidArgument);
    CheckResult(kSocketError);
    return;
  }
  const SocketHandle socket = sockets_.openStream();
  if (CheckResult(socket == kNoSocket ? kSocketError : 0)) return;
  Socket_ = socket;
  Connecting_ = true;
  if (!Window_) Window_ = sockets_.createSocketWindow(*this);
  if (CheckResult(sockets_.selectEvents(socket, Window_, kSocketMessage, kSocketEventMask)) ||
      CheckResult(sockets_.connect(socket, *address, Port_)))
    abandonConnect(socket);
}

// Unless a handler of the failure has already moved on to another socket.
void TcpClient::abandonConnect(SocketHandle socket) {
  if (Socket_ != socket) return;
  Connecting_ = false;
  CloseSocket();
}

}  // namespace tcp
