#include "tcpsocket/client_machine.h"

#include <utility>

namespace tcp {
namespace {

using Kind = ClientAction::Kind;

ClientAction Do(Kind kind) {
  ClientAction action;
  action.kind = kind;
  return action;
}

ClientAction WithCode(Kind kind, std::int32_t code) {
  ClientAction action = Do(kind);
  action.code = code;
  return action;
}

ClientAction WithBytes(Kind kind, std::string&& bytes) {
  ClientAction action = Do(kind);
  action.bytes = std::move(bytes);
  return action;
}

ClientAction Enter(ClientAction::State state) {
  ClientAction action = Do(Kind::Enter);
  action.state = state;
  return action;
}

}  // namespace

void ClientMachine::reset() {
  state_ = State::Closed;
  layers_.clear();
  sentBeforeUp_ = false;
}

// A connect event comes once, while Connecting. Any error ends an
// unfinished connect; on a connection that is up only a close ends it.
ClientActions ClientMachine::onEvent(SocketEvent event, int error) {
  if (event == SocketEvent::Close) {
    ClientActions actions;
    if (socketUp()) actions.push_back(Do(Kind::ReadAll));
    actions.push_back(WithCode(Kind::PeerClosed, error));
    return actions;
  }
  if (error != 0) {
    ClientActions actions{WithCode(Kind::Report, error)};
    if (opening()) actions.push_back(Do(Kind::Close));
    return actions;
  }
  switch (event) {
    case SocketEvent::Connect: {
      if (state_ != State::Connecting) return {};
      if (!layered()) return {Do(Kind::StopTimer), Enter(State::Connected), Do(Kind::RaiseConnect)};
      ClientActions actions{Enter(State::Opening)};
      LayerOutput out;
      layers_.start(out);
      for (ClientAction& action : apply(out)) actions.push_back(std::move(action));
      return actions;
    }
    case SocketEvent::Read: return {Do(Kind::Read)};
    case SocketEvent::Write: return {Do(Kind::SendQueued)};
    case SocketEvent::Timeout: {
      ClientActions actions{Do(Kind::StopTimer)};
      for (ClientAction& action : fail(kTimedOut)) actions.push_back(std::move(action));
      return actions;
    }
    case SocketEvent::Close: break;
  }
  return {};
}

// OnDisconnect comes before the socket is closed; a handler that connects
// again keeps its new socket. A FIN before every layer is open is a failed
// connect.
ClientActions ClientMachine::peerClosed(int error) {
  ClientActions actions;
  if (error != 0) {
    actions.push_back(WithCode(Kind::Report, error));
    if (opening()) {
      actions.push_back(Do(Kind::Close));
      return actions;
    }
  }
  if (layered()) {
    LayerOutput out;
    layers_.endOfStream(out);
    if (const std::int32_t failure = layers_.failure()) {
      for (ClientAction& action : fail(failure)) actions.push_back(std::move(action));
      return actions;
    }
  }
  appendClosing(actions);
  return actions;
}

// An arrival on a connection that is up restarts the silence timer.
ClientActions ClientMachine::received(std::string_view bytes) {
  ClientActions actions;
  if (state_ == State::Connected) actions.push_back(Do(Kind::RestartTimer));
  LayerOutput out;
  layers_.receive(bytes, out);
  for (ClientAction& action : apply(out)) actions.push_back(std::move(action));
  return actions;
}

ClientActions ClientMachine::send(std::string_view text) {
  if (state_ != State::Connected) sentBeforeUp_ = true;
  LayerOutput out;
  layers_.send(text, out);
  return apply(out);
}

ClientActions ClientMachine::fetched(const std::string& address, std::string bytes) {
  LayerOutput out;
  layers_.fetched(address, std::move(bytes), out);
  return apply(out);
}

ClientActions ClientMachine::disconnect() {
  ClientActions actions;
  if (layered()) {
    LayerOutput out;
    layers_.close(out);
    if (!out.toSend.empty()) actions.push_back(WithBytes(Kind::SendLast, std::move(out.toSend)));
  }
  const bool wasUp = state_ == State::Connected;
  actions.push_back(Do(Kind::Close));
  if (wasUp) actions.push_back(Do(Kind::RaiseDisconnect));
  return actions;
}

// The report comes first, and the socket closes only after it: a handler
// may already have moved on to another.
ClientActions ClientMachine::fail(std::int32_t code, bool wasUp) {
  ClientActions actions{WithCode(Kind::Report, code), Do(Kind::Close)};
  if (wasUp) actions.push_back(Do(Kind::RaiseDisconnect));
  return actions;
}

ClientActions ClientMachine::apply(LayerOutput& out) {
  ClientActions actions;
  bool up = state_ == State::Connected;
  if (!out.toSend.empty()) actions.push_back(WithBytes(Kind::Send, std::move(out.toSend)));
  if (!out.toFetch.empty()) {
    actions.push_back(Do(Kind::Fetch));
    actions.back().addresses = std::move(out.toFetch);
  }
  if (out.opened) {
    actions.push_back(Enter(State::Connected));
    actions.push_back(Do(sentBeforeUp_ ? Kind::RestartTimer : Kind::StopTimer));
    actions.push_back(Do(Kind::RaiseConnect));
    up = true;
  }
  if (!out.delivered.empty()) actions.push_back(WithBytes(Kind::Deliver, std::move(out.delivered)));
  if (const std::int32_t failure = layers_.failure()) {
    for (ClientAction& action : fail(failure, up)) actions.push_back(std::move(action));
  } else if (layers_.ended()) {
    appendClosing(actions);
  }
  return actions;
}

void ClientMachine::appendClosing(ClientActions& actions) {
  actions.push_back(Enter(State::Closed));
  actions.push_back(Do(Kind::RaiseDisconnect));
  actions.push_back(Do(Kind::Close));
}

}  // namespace tcp
