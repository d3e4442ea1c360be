#include <algorithm>
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

// Each step that raises events may let a handler close or replace the
// socket; the rest of the event then no longer applies.
void TcpClient::handleEvent(SocketEvent event, int error) {
  const Generation generation = generation_;
  if (event == SocketEvent::Close) {
    // The close can overtake data not yet read: take that in first.
    while (socketUp() && readAvailable()) {
    }
    if (!isCurrent(generation)) return;
  }
  if (error != 0) {
    onEventError(error);
    if (!isCurrent(generation)) return;
  }
  if (event == SocketEvent::Close) return onClosed(generation);
  if (error != 0) return;
  switch (event) {
    case SocketEvent::Connect: return onConnected();
    case SocketEvent::Read: return onReadable();
    case SocketEvent::Write: return onWritable();
    case SocketEvent::Timeout: return onTimedOut();
    case SocketEvent::Close: return;
  }
}

// Even an error that is not reported (would-block) ends a connect.
void TcpClient::onEventError(int error) {
  const Generation generation = generation_;
  CheckResult(error);
  if (isCurrent(generation) && opening()) closeSocket();
}

// OnDisconnect comes before the socket is closed; a handler that connects
// again keeps its new socket. A FIN before the tunnel is open or the TLS
// handshake is done is a failed connect.
void TcpClient::onClosed(Generation generation) {
  if (!stack_.empty()) {
    LayerOutput out;
    stack_.endOfStream(out);
    if (const std::int32_t failure = stack_.failure()) return failConnection(failure);
  }
  state_ = State::Closed;
  raise(OnDisconnect);
  if (isCurrent(generation)) closeSocket();
}

void TcpClient::onConnected() {
  if (!stack_.empty()) return startOpening();
  stopTimer();
  state_ = State::Connected;
  raise(OnConnect);
}

void TcpClient::onReadable() { readAvailable(); }

void TcpClient::onWritable() { sendQueued(); }

// What the platform says can be taken at once, into the room ReadInto gives
// (at most kEventReadLimit an event) or else the client's buffer (at most its
// size); returns whether it brought bytes. A read that brings less than asked
// is followed by more until the room is full or nothing more comes, so that
// one event is one OnRead. A failed first read is reported twice (by the
// receive and here) and still raises OnRead with its -1.
bool TcpClient::readAvailable() {
  std::lock_guard<std::recursive_mutex> lock(guard_);
  if (!stack_.empty()) return readThroughLayers();
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
