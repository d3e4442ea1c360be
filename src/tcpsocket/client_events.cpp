#include <algorithm>
#include <memory>
#include <new>

#include "tcpsocket/tcp_client.h"

namespace tcp {

// Only the current socket's events count, and those of the certificate check's
// fetches beside it. Memory running out while one is
// handled ends the connection: what was half read or half sent cannot be
// trusted to go on.
void TcpClient::onSocketEvent(SocketHandle socket, SocketEvent event, int error) {
  if (destroying_) return;
  if (race_) return onRaceEvent(socket, event, error);
  if (socket_ == kNoSocket) return;
  const Generation generation = generation_;
  try {
    if (socket != socket_) return onFetchEvent(socket, event, error);
    handleEvent(event, error);
  } catch (const std::bad_alloc&) {
    failForMemory(generation);
  }
}

// A tick of a timer already stopped was on its way when it stopped: it
// finds nothing to do.
void TcpClient::handleEvent(SocketEvent event, int error) {
  if (event == SocketEvent::Timeout && !timerRunning_) return;
  run(machine_.onEvent(event, error));
}

// The one check: the steps concern the socket that was current when they
// were decided. Once a step of theirs has closed it, what follows (the
// OnDisconnect that ends the connection) runs whatever the close's report
// led to.
void TcpClient::run(ClientActions actions) {
  const Generation generation = generation_;
  bool closedHere = false;
  for (ClientAction& action : actions) {
    perform(action);
    closedHere = closedHere || action.kind == ClientAction::Kind::Close;
    if (!closedHere && !isCurrent(generation)) return;
  }
}

void TcpClient::perform(ClientAction& action) {
  using Kind = ClientAction::Kind;
  switch (action.kind) {
    case Kind::Enter: return machine_.enter(action.state);
    case Kind::Read: return static_cast<void>(readAvailable());
    case Kind::ReadAll:
      while (socketUp() && readAvailable()) {
      }
      return;
    case Kind::SendQueued: return sendQueued();
    case Kind::Send: {
      // The bytes wait in the queue as they are, without a copy.
      const auto bytes = std::make_shared<const std::string>(std::move(action.bytes));
      return sendBytes(*bytes, bytes);
    }
    case Kind::SendLast:
      if (queue_.empty() && socketUp()) send(action.bytes);
      return;
    case Kind::Fetch: return startFetches(action.addresses);
    case Kind::RestartTimer: return static_cast<void>(CheckResult(restartTimer()));
    case Kind::StopTimer: return stopTimer();
    case Kind::Report: return static_cast<void>(CheckResult(action.code));
    case Kind::Close: return closeSocket();
    case Kind::RaiseConnect: return raise(OnConnect);
    case Kind::Deliver: return deliverPlaintext(action.bytes);
    case Kind::RaiseDisconnect: return raise(OnDisconnect);
    case Kind::PeerClosed: return run(machine_.peerClosed(action.code));
  }
}

// What the platform says can be taken at once, into the room ReadInto gives
// (at most kEventReadLimit an event) or else the client's buffer (at most its
// size); returns whether it brought bytes. A read that brings less than asked
// is followed by more until the room is full or nothing more comes, so that
// one event is one OnRead. A failed first read is reported twice (by the
// receive and here) and still raises OnRead with its -1.
bool TcpClient::readAvailable() {
  std::lock_guard<std::recursive_mutex> lock(guard_);
  if (machine_.layered()) return readThroughLayers();
  const SocketResult<std::uint32_t> readable = sockets_.bytesReadable(socket_);
  if (readable.error != 0 || readable.value == 0) return false;
  const std::uint32_t limit = ReadInto ? kEventReadLimit : static_cast<std::uint32_t>(kBufferSize);
  auto wanted = static_cast<std::int32_t>(std::min(readable.value, limit));
  char* room = ReadInto ? ReadInto(*this, wanted) : nullptr;
  const std::int32_t highestIndex = room ? wanted - 1 : static_cast<std::int32_t>(kBufferSize - 1);
  if (!room) {
    room = buffer_.data();
    wanted = std::min(wanted, highestIndex + 1);
  }
  const SocketResult<std::int32_t> received = receiveInto(room, wanted);
  CheckResult(received.error);
  if (received.value > 0) noteActivity();
  if (OnRead && !destroying_) OnRead(*this, room, highestIndex, received.value);
  return received.value > 0;
}

// A read that fails after others brought bytes ends the filling; its error
// is reported once, by receive.
SocketResult<std::int32_t> TcpClient::receiveInto(char* room, std::int32_t count) {
  SocketResult<std::int32_t> received = receive(room, count);
  while (received.value > 0 && received.value < count) {
    const SocketResult<std::int32_t> more = receive(room + received.value, count - received.value);
    if (more.value <= 0) break;
    received.value += more.value;
  }
  return received;
}

SocketResult<std::int32_t> TcpClient::receive(char* bytes, std::int32_t count) {
  if (!socketUp()) return {};
  std::lock_guard<std::recursive_mutex> lock(guard_);
  const SocketResult<std::int32_t> received = sockets_.receive(socket_, bytes, count);
  CheckResult(received.error);
  return received;
}

}  // namespace tcp
