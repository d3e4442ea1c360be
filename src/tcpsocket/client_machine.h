#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sockets.h"
#include "tcpsocket/transport_stack.h"

namespace tcp {

// One step of what the socket client does about an event; its driver
// carries the steps out in order.
struct ClientAction {
  enum class Kind {
    Enter,         // state: the connection is in it from here on
    Read,          // read what the socket has (through the layers, when there are any)
    ReadAll,       // the same until nothing more comes: a close can overtake data
    SendQueued,    // send on what waits in the queue
    Send,          // bytes from the layers for the socket, behind what waits
    SendLast,      // bytes: the layers' last words, sent once and only when nothing waits
    Fetch,         // addresses: start reading them for the certificate check
    RestartTimer,  // the silence timer starts afresh (a failure to start it is reported)
    StopTimer,
    Report,        // code: a failure, to OnError or the message box
    Close,         // close the socket; the layers go with it
    RaiseConnect,
    Deliver,       // bytes: raise OnRead with them
    RaiseDisconnect,
    PeerClosed,    // code: the close event's reads are done; the machine says what follows
  };
  enum class State { Closed, Connecting, Opening, Connected };

  Kind kind = Kind::Enter;
  State state = State::Closed;
  std::int32_t code = 0;
  std::string bytes;
  std::vector<std::string> addresses;
};
using ClientActions = std::vector<ClientAction>;

// What a connection does about each event, without I/O: it takes the
// socket's events, the bytes read through its layers, the host's text for
// them and the fetches' answers, and gives the steps to take. The layers
// (transport_stack.h) are its own.
//
//   state       socket                                    timer (with a timeout set)
//   Closed      none                                      stopped
//   Connecting  open, connect started (or, for a name     runs from Connect
//               with several addresses, the race between
//               them, with no socket yet)
//   Opening     open, connected; a layer's opening under  runs on from Connect
//               way: the proxy's answer to CONNECT
//               (Tunnelling), the TLS handshake and the
//               certificate check, with the fetches it
//               asked for on sockets of their own (Securing)
//   Connected   open, connect event without error seen,   stopped (with layers: started when
//               every layer open                            text waited to be sent); (re)started
//                                                           by each send and each arrival
//
// Closed -> Connecting: Connect with no failure.
// Connecting -> Connected: connect event without error (OnConnect); with
//   no layers only.
// Connecting -> Opening: connect event without error, with layers (the
//   lowest starts: the CONNECT request or the ClientHello goes out).
// Opening -> Connected: the top layer opened (OnConnect); what was sent
//   meanwhile goes out first.
// Connecting, Opening -> Closed: an event with an error, a proxy's refusal
//   or broken answer, a failed handshake or check, FIN before the
//   connection is up, the timer's tick (OnError only), Disconnect (no
//   event), Connect (restarts).
// Connected -> Closed: close event or the peer's close_notify (OnRead for
//   bytes still readable, OnError when it carries an error, then
//   OnDisconnect), Disconnect (close_notify with TLS, OnDisconnect),
//   Connect (OnDisconnect, then a new connect), a broken record or the
//   timer's tick (OnError, then OnDisconnect), Abort (no event).
// With no timeout set the timer never runs.
class ClientMachine {
 public:
  using State = ClientAction::State;

  State state() const { return state_; }
  void enter(State state) { state_ = state; }
  // The socket closed, or the connect never got one: nothing of the
  // connection is left.
  void reset();

  // Made for each connect, before its socket connects.
  TransportStack& layers() { return layers_; }
  bool layered() const { return !layers_.empty(); }
  std::optional<TransportLayer::Kind> openingLayer() const { return layers_.opening(); }

  // An event of the connection's socket (Timeout: its timer's tick, while
  // the timer runs).
  ClientActions onEvent(SocketEvent event, int error);
  // After a close event's reads: error is the event's.
  ClientActions peerClosed(int error);
  ClientActions received(std::string_view bytes);
  // The host's text, with layers.
  ClientActions send(std::string_view text);
  ClientActions fetched(const std::string& address, std::string bytes);
  // The host disconnects.
  ClientActions disconnect();
  // The connection fails with code.
  ClientActions fail(std::int32_t code) { return fail(code, state_ == State::Connected); }

 private:
  bool socketUp() const { return state_ == State::Opening || state_ == State::Connected; }
  bool opening() const { return state_ == State::Connecting || state_ == State::Opening; }
  ClientActions fail(std::int32_t code, bool wasUp);
  // What the layers produced, in order: bytes to send, addresses to fetch,
  // the opening, bytes for the host, and then their end.
  ClientActions apply(LayerOutput& out);
  static void appendClosing(ClientActions& actions);

  State state_ = State::Closed;
  TransportStack layers_;
  // Text was given to send before the connection was up: once it is, the
  // answer is awaited.
  bool sentBeforeUp_ = false;
};

}  // namespace tcp
