#pragma once

// The connection layer over the fake sockets, with a host that reacts to
// every click: shared by the connection tests.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "connection/connection.h"
#include "fake_address_space.h"
#include "fake_sockets.h"
#include "fake_window_system.h"

namespace tcp {

using namespace std::string_literals;

// A host that reacts at once to every button-up it is posted: it reads both
// slots, or in queued mode the next event, as nextevent gives it.
class ReadingHost : public fakes::FakeWindowSystem {
 public:
  explicit ReadingHost(Session& session) : session_(session) {}
  void postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override {
    fakes::FakeWindowSystem::postMessage(window, message, wParam, lParam);
    if (message != kLeftButtonUp) return;
    if (session_.conversation.queued) {
      const std::optional<QueuedEvent> event = session_.conversation.events.pop();
      seen.emplace_back(event ? event->code : 0, event ? event->text : "");
    } else {
      seen.emplace_back(session_.exchange.ExchangeValue, session_.exchange.ExchangeText.text());
    }
    if (onClick) onClick();
  }
  std::vector<std::pair<std::int32_t, std::string>> seen;
  std::function<void()> onClick;

 private:
  Session& session_;
};

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() : host(session) {
    session.platform.sockets = &sockets;
    session.platform.windows = &host;
    session.platform.memory = &addressSpace;
    sockets.hosts = {{"localhost", "127.0.0.1"}, {"10.0.0.7", "10.0.0.7"}};
  }
  // The plug-in form's part in this: it owns the client.
  struct ClientOwner : SessionForm {
    std::unique_ptr<TcpClient> owned;
    TcpClient* client() override { return owned.get(); }
  };
  void createClient() {
    auto form = std::make_unique<ClientOwner>();
    form->owned = CreateConnectionClient(session);
    client = form->owned.get();
    session.form = std::move(form);
  }
  void connectNow() {
    Connect(session);
    sockets.deliver(SocketEvent::Connect);
  }
  // As the host sends: the request goes through the text slot.
  void send(const std::string& request) {
    session.exchange.takeText(request.c_str());
    SendRequest(session, session.exchange.ExchangeText.text());
  }
  void arrive(const std::string& piece) {
    HandleDataRead(session, piece.data(), static_cast<std::int32_t>(piece.size()));
  }
  std::string status() { return StatusText(session).value_or("no status"); }

  fakes::FakeSockets sockets;
  ReadingHost host;
  fakes::FakeAddressSpace addressSpace;
  // Last, so that its form and client go before the fakes they use.
  Session session;
  TcpClient* client = nullptr;
};

}  // namespace tcp
