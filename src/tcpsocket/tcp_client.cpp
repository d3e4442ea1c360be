#include "tcpsocket/tcp_client.h"

namespace tcp {

TcpClient::TcpClient(SocketSystem& sockets, ShowMessage showMessage, TlsSystem* tls)
    : sockets_(sockets), showMessage_(std::move(showMessage)), tls_(tls) {
  if (sockets_.startup() != 0) showMessage_("WSAStartup error.");
}

// Events that arrive while the client goes are ignored, and nothing is
// reported: a connection still up closes without OnDisconnect.
TcpClient::~TcpClient() {
  destroying_ = true;
  alive_.reset();
  if (window_) sockets_.destroySocketWindow(window_);
  window_ = 0;
  closeSocket();
  if (sockets_.cleanup() != 0) showMessage_("WSACleanup error");
}

std::uint16_t TcpClient::port() {
  if (!Connected()) return port_;
  return sockets_.localPort(socket_).value;
}

void TcpClient::raise(const Event& event) {
  if (event && !destroying_) event(*this);
}

bool TcpClient::CheckResult(int error, SocketHandle socket) {
  if (error == 0 || error == kWouldBlock) return false;
  if (destroying_) return true;
  if (OnError) {
    OnError(*this, error);
  } else {
    const std::string handle = std::to_string(static_cast<std::intptr_t>(socket));
    showMessage_("Socket error " + ErrorName(error) + " on socket " + handle);
  }
  return true;
}

// Closing drops whatever still waited to be sent on that socket, and the
// socket's events still queued: the system may give the next socket the same
// handle, and the client has one socket at a time, so every socket event
// queued now concerns the closed one. The client is Closed before a failed
// close is reported (naming the old handle), so a handler may connect again.
void TcpClient::closeSocket() {
  if (race_ || proxyLookup_) return loseRaceQuietly();
  if (socket_ == kNoSocket) return;
  stopTimer();
  machine_.reset();
  fetches_.clear();
  const SocketHandle closing = socket_;
  const int error = sockets_.close(closing);
  socket_ = kNoSocket;
  queue_.clear();
  if (window_) sockets_.dropQueuedEvents(window_);
  CheckResult(error, closing);
}

void TcpClient::Disconnect() {
  if (race_ || proxyLookup_) return loseRaceQuietly();
  if (socket_ == kNoSocket) return;
  run(machine_.disconnect());
}

void TcpClient::Abort() { closeSocket(); }

// A host that is not a dotted address fails before any socket exists, with
// the error an invalid argument gives (a proxy's name that does not resolve,
// with the lookup's error). A socket whose events cannot reach the
// window, or whose timer cannot run, would never report the connect (or its
// lapse): that counts as a failed connect. The layers (the tunnel, TLS)
// are made here, with the target and the settings of this connect; what is
// sent before the connection is up waits in them.
void TcpClient::Connect() {
  Disconnect();
  if (socket_ != kNoSocket) return;  // a disconnect handler has connected again
  if (tlsSetting_.mode != TlsSetting::Mode::Off && !tls_) {
    CheckResult(static_cast<int>(kTlsPackageNotFound));
    return;
  }
  if (proxy_ && backgroundLookups_ && !literalAddress(proxy_->host)) return lookUpProxy();
  connectToAny(raceTargets());
}

void TcpClient::connectToAny(std::vector<PeerAddress> targets, bool openingMade) {
  if (targets.size() > 1) {
    if (!window_) window_ = sockets_.createSocketWindow(*this);
    ++generation_;
    if (!openingMade) makeOpening();
    return startRace(std::move(targets));
  }
  int addressError = 0;
  const std::optional<PeerAddress> address = targets.empty() ? connectAddress(addressError) : targets.front();
  if (!address) {
    CheckResult(addressError);
    return;
  }
  const SocketResult<SocketHandle> opened = address->ipv6 ? sockets_.openStream6() : sockets_.openStream();
  if (opened.error != 0) {
    CheckResult(opened.error);
    return;
  }
  socket_ = opened.value;
  machine_.enter(State::Connecting);
  const Generation generation = ++generation_;
  if (!openingMade) makeOpening();
  if (!window_) window_ = sockets_.createSocketWindow(*this);
  if (CheckResult(sockets_.selectEvents(socket_, window_)) || CheckResult(connectTo(*address)) ||
      CheckResult(restartTimer()))
    abandonConnect(generation);
}

// Unless a handler of the failure has already moved on to another socket.
void TcpClient::abandonConnect(Generation generation) {
  if (isCurrent(generation)) closeSocket();
}

}  // namespace tcp
