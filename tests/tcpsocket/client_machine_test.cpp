// The socket client's decisions as a table: every state with every event,
// for a plain connection, TLS, a proxy's tunnel and both, each row giving the
// steps the machine asks for and the state they leave it in.
#include "tcpsocket/client_machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_tls.h"
#include "tcpsocket/proxy_tunnel.h"
#include "tcpsocket/tls_channel.h"

namespace tcp {
namespace {

using Kind = ClientAction::Kind;
using State = ClientMachine::State;

const std::string kTunnelOpen = "HTTP/1.1 200 Connection established\r\n\r\n";
const std::string kServerHello = fakes::fakeRecord('H', "server hello");
const std::string kServerFinished = fakes::fakeRecord('H', "server finished");

enum class Layers { None, Tls, Proxy, ProxyAndTls };

const char* StateName(State state) {
  switch (state) {
    case State::Closed: return "Closed";
    case State::Connecting: return "Connecting";
    case State::Opening: return "Opening";
    case State::Connected: return "Connected";
  }
  return "?";
}

std::string KindName(Kind kind) {
  switch (kind) {
    case Kind::Enter: return "Enter";
    case Kind::Read: return "Read";
    case Kind::ReadAll: return "ReadAll";
    case Kind::SendQueued: return "SendQueued";
    case Kind::Send: return "Send";
    case Kind::SendLast: return "SendLast";
    case Kind::Fetch: return "Fetch";
    case Kind::RestartTimer: return "RestartTimer";
    case Kind::StopTimer: return "StopTimer";
    case Kind::Report: return "Report";
    case Kind::Close: return "Close";
    case Kind::RaiseConnect: return "RaiseConnect";
    case Kind::Deliver: return "Deliver";
    case Kind::RaiseDisconnect: return "RaiseDisconnect";
    case Kind::PeerClosed: return "PeerClosed";
  }
  return "?";
}

// Plays the driver without I/O: Enter moves the machine, Close resets it,
// PeerClosed asks it on; the steps are written down in order.
class Driver {
 public:
  explicit Driver(Layers layers) {
    if (layers == Layers::Proxy || layers == Layers::ProxyAndTls)
      machine.layers().push(std::make_unique<ProxyTunnel>("example.org:443", ""));
    if (layers == Layers::Tls || layers == Layers::ProxyAndTls)
      machine.layers().push(std::make_unique<TlsChannel>(tls, "example.org", true));
    machine.enter(State::Connecting);
  }

  std::string run(ClientActions actions) {
    std::string trace;
    for (ClientAction& action : actions) {
      if (!trace.empty()) trace += ' ';
      trace += KindName(action.kind);
      if (action.kind == Kind::Enter) trace += std::string(":") + StateName(action.state);
      if (action.kind == Kind::Report || action.kind == Kind::PeerClosed) trace += ":" + std::to_string(action.code);
      if (action.kind == Kind::Deliver) trace += ":" + action.bytes;
      if (action.kind == Kind::Enter) machine.enter(action.state);
      if (action.kind == Kind::Close) machine.reset();
      if (action.kind == Kind::PeerClosed) trace += " [" + run(machine.peerClosed(action.code)) + "]";
    }
    return trace;
  }

  // Brings the machine to the state, quietly.
  void reach(State state, Layers layers) {
    if (state == State::Connecting) return;
    run(machine.onEvent(SocketEvent::Connect, 0));
    if (state == State::Opening) return;
    if (layers == Layers::Proxy || layers == Layers::ProxyAndTls) run(machine.received(kTunnelOpen));
    if (layers == Layers::Tls || layers == Layers::ProxyAndTls) {
      run(machine.received(kServerHello));
      run(machine.received(kServerFinished));
    }
  }

  fakes::FakeTlsSystem tls;
  ClientMachine machine;
};

using Step = std::function<ClientActions(ClientMachine&)>;

Step Event(SocketEvent event, int error = 0) {
  return [event, error](ClientMachine& m) { return m.onEvent(event, error); };
}
Step Received(std::string bytes) {
  return [bytes](ClientMachine& m) { return m.received(bytes); };
}
Step Sent(std::string text) {
  return [text](ClientMachine& m) { return m.send(text); };
}
Step Disconnect() {
  return [](ClientMachine& m) { return m.disconnect(); };
}

TEST(ClientMachine, FollowsItsStateTable) {
  const std::string timedOut = std::to_string(kTimedOut);
  const std::string incomplete = std::to_string(static_cast<std::int32_t>(kTlsIncompleteMessage));
  const std::string proxyClosed = std::to_string(kProxyClosed);
  struct Row {
    Layers layers;
    State from;
    Step step;
    std::string steps;
    State to;
  };
  const Row rows[] = {
      // A plain connection.
      {Layers::None, State::Connecting, Event(SocketEvent::Connect), "StopTimer Enter:Connected RaiseConnect",
       State::Connected},
      {Layers::None, State::Connecting, Event(SocketEvent::Connect, 10061), "Report:10061 Close", State::Closed},
      {Layers::None, State::Connecting, Event(SocketEvent::Close), "PeerClosed:0 [Enter:Closed RaiseDisconnect Close]",
       State::Closed},
      {Layers::None, State::Connecting, Event(SocketEvent::Close, 10053), "PeerClosed:10053 [Report:10053 Close]",
       State::Closed},
      {Layers::None, State::Connecting, Event(SocketEvent::Timeout), "StopTimer Report:" + timedOut + " Close",
       State::Closed},
      {Layers::None, State::Connected, Event(SocketEvent::Connect), "", State::Connected},
      {Layers::None, State::Connected, Event(SocketEvent::Read), "Read", State::Connected},
      {Layers::None, State::Connected, Event(SocketEvent::Read, 10054), "Report:10054", State::Connected},
      {Layers::None, State::Connected, Event(SocketEvent::Write), "SendQueued", State::Connected},
      {Layers::None, State::Connected, Event(SocketEvent::Close),
       "ReadAll PeerClosed:0 [Enter:Closed RaiseDisconnect Close]", State::Closed},
      {Layers::None, State::Connected, Event(SocketEvent::Close, 10054),
       "ReadAll PeerClosed:10054 [Report:10054 Enter:Closed RaiseDisconnect Close]", State::Closed},
      {Layers::None, State::Connected, Event(SocketEvent::Timeout),
       "StopTimer Report:" + timedOut + " Close RaiseDisconnect", State::Closed},
      {Layers::None, State::Connected, Disconnect(), "Close RaiseDisconnect", State::Closed},
      {Layers::None, State::Connecting, Disconnect(), "Close", State::Closed},
      // TLS: the ClientHello at the connect, OnConnect once the handshake is done.
      {Layers::Tls, State::Connecting, Event(SocketEvent::Connect), "Enter:Opening Send", State::Opening},
      {Layers::Tls, State::Opening, Received(kServerHello), "Send", State::Opening},
      {Layers::Tls, State::Opening, Event(SocketEvent::Read), "Read", State::Opening},
      {Layers::Tls, State::Opening, Event(SocketEvent::Close),
       "ReadAll PeerClosed:0 [Report:" + incomplete + " Close]", State::Closed},
      {Layers::Tls, State::Opening, Event(SocketEvent::Write, 10054), "Report:10054 Close", State::Closed},
      {Layers::Tls, State::Opening, Event(SocketEvent::Timeout), "StopTimer Report:" + timedOut + " Close",
       State::Closed},
      {Layers::Tls, State::Opening, Disconnect(), "Close", State::Closed},
      {Layers::Tls, State::Connected, Received(fakes::fakeRecord('D', "hi")), "RestartTimer Deliver:hi",
       State::Connected},
      {Layers::Tls, State::Connected, Received(fakes::fakeRecord('A', "close_notify")),
       "RestartTimer Enter:Closed RaiseDisconnect Close", State::Closed},
      {Layers::Tls, State::Connected, Sent("GET"), "Send", State::Connected},
      {Layers::Tls, State::Connected, Event(SocketEvent::Close),
       "ReadAll PeerClosed:0 [Enter:Closed RaiseDisconnect Close]", State::Closed},
      {Layers::Tls, State::Connected, Disconnect(), "SendLast Close RaiseDisconnect", State::Closed},
      // A proxy's tunnel: CONNECT at the connect, OnConnect once it is open.
      {Layers::Proxy, State::Connecting, Event(SocketEvent::Connect), "Enter:Opening Send", State::Opening},
      {Layers::Proxy, State::Opening, Received(kTunnelOpen), "Enter:Connected StopTimer RaiseConnect",
       State::Connected},
      {Layers::Proxy, State::Opening, Received(kTunnelOpen + "first"),
       "Enter:Connected StopTimer RaiseConnect Deliver:first", State::Connected},
      {Layers::Proxy, State::Opening, Received("HTTP/1.1 407 No\r\n\r\n"), "Report:407 Close", State::Closed},
      {Layers::Proxy, State::Opening, Event(SocketEvent::Close),
       "ReadAll PeerClosed:0 [Report:" + proxyClosed + " Close]", State::Closed},
      {Layers::Proxy, State::Opening, Sent("GET"), "", State::Opening},
      // Both: TLS starts through the open tunnel, with what followed its answer.
      {Layers::ProxyAndTls, State::Connecting, Event(SocketEvent::Connect), "Enter:Opening Send", State::Opening},
      {Layers::ProxyAndTls, State::Opening, Received(kTunnelOpen), "Send", State::Opening},
      {Layers::ProxyAndTls, State::Connected, Received(fakes::fakeRecord('D', "hi")), "RestartTimer Deliver:hi",
       State::Connected},
  };
  for (const Row& row : rows) {
    Driver driver(row.layers);
    driver.reach(row.from, row.layers);
    ASSERT_EQ(driver.machine.state(), row.from) << "row with steps " << row.steps;
    EXPECT_EQ(driver.run(row.step(driver.machine)), row.steps) << "from " << StateName(row.from);
    EXPECT_EQ(driver.machine.state(), row.to) << row.steps;
  }
}

// Text given before the connection is up goes out with the opening, and the
// answer is awaited from then on: the timer restarts instead of stopping.
TEST(ClientMachine, TextSentWhileOpeningIsAwaitedOnceOpen) {
  for (const Layers layers : {Layers::Tls, Layers::Proxy}) {
    Driver driver(layers);
    driver.reach(State::Opening, layers);
    driver.run(driver.machine.send("GET"));
    const std::string opening = layers == Layers::Proxy ? driver.run(driver.machine.received(kTunnelOpen))
                                                        : (driver.run(driver.machine.received(kServerHello)),
                                                           driver.run(driver.machine.received(kServerFinished)));
    EXPECT_EQ(opening, "Send Enter:Connected RestartTimer RaiseConnect");
  }
}

// The tunnel leaves the stack once open; TLS is then the layer opening.
TEST(ClientMachine, SaysWhichLayerIsOpening) {
  Driver driver(Layers::ProxyAndTls);
  EXPECT_EQ(driver.machine.openingLayer(), std::nullopt);
  driver.reach(State::Opening, Layers::ProxyAndTls);
  EXPECT_EQ(driver.machine.openingLayer(), TransportLayer::Kind::ProxyTunnel);
  driver.run(driver.machine.received(kTunnelOpen));
  EXPECT_EQ(driver.machine.openingLayer(), TransportLayer::Kind::Tls);
  driver.run(driver.machine.received(kServerHello));
  driver.run(driver.machine.received(kServerFinished));
  EXPECT_EQ(driver.machine.openingLayer(), std::nullopt);
  EXPECT_EQ(driver.machine.state(), State::Connected);
}

}  // namespace
}  // namespace tcp
