// The socket client driven by arbitrary sequences of calls, socket events,
// timer ticks, TLS and proxy settings, server records, proxy answers and
// handler reactions, rooms of the owner's for reads and short receives
// against the fake socket and security layers, and races between a name's
// addresses: it is always in exactly one of its states, with a socket
// exactly when it is neither Closed nor racing, its timer runs only for its
// open socket (or the race's for the race), and nothing it does crashes or
// leaks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <string>

#include "fake_sockets.h"
#include "fake_tls.h"
#include "tcpsocket/tcp_client.h"

namespace {

constexpr tcp::SocketEvent kEvents[] = {tcp::SocketEvent::Read, tcp::SocketEvent::Write, tcp::SocketEvent::Connect,
                                        tcp::SocketEvent::Close};
constexpr int kErrors[] = {0, 0, 0, tcp::kWouldBlock, 10054, 10061};
using tcp::fakes::fakeRecord;
// What the fake server may send: its handshake, data, the close alert, a
// post-handshake message, a record it never sends, and plain text.
const std::string kServerBytes[] = {
    fakeRecord('H', "server hello"), fakeRecord('H', "server finished"), fakeRecord('D', "data"),
    fakeRecord('A', "close_notify"), fakeRecord('R', "renegotiate"),     fakeRecord('R', "ticket"),
    fakeRecord('X', "junk"),         "HTTP/1.1 400 Bad Request\r\n\r\n",
    "HTTP/1.1 200 Connection established\r\n\r\n", "HTTP/1.1 407 Proxy Authentication Required\r\n",
};
const char* const kProxies[] = {"", "10.0.0.1:3128", "u:p@10.0.0.1:8080", "proxy.lan:3128"};

void checkState(const tcp::TcpClient& client, const tcp::fakes::FakeSockets& sockets) {
  const int states =
      int{client.Connected()} + int{client.Connecting()} + int{client.Tunnelling()} + int{client.Securing()};
  if (states > 1) std::abort();
  const bool racing = client.Racing();
  const bool noSocketYet = racing || client.LookingUpProxy();
  if (noSocketYet && (!client.Connecting() || client.socket() != tcp::kNoSocket)) std::abort();
  if (!noSocketYet && (states == 1) != (client.socket() != tcp::kNoSocket)) std::abort();
  for (const auto& [timer, delay] : sockets.timers) {
    const bool raceTimer = timer == tcp::TcpClient::kStaggerTimer || timer == tcp::TcpClient::kRaceTimer;
    if (raceTimer != racing || (!raceTimer && timer != client.socket())) std::abort();
  }
  if (!racing && sockets.timers.size() > 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tcp::fakes::FakeSockets sockets;
  tcp::fakes::FakeTlsSystem tls;
  auto client = std::make_unique<tcp::TcpClient>(sockets, [](const std::string&) {}, &tls);
  client->setHost("127.0.0.1");
  // What handlers do is chosen by the input too: reconnect, disconnect, send.
  // A handler's own call may raise events again; those handlers stay quiet,
  // as a handler that answered every failed send with another send would
  // never end.
  std::uint8_t reaction = 0;
  bool reacting = false;
  const auto react = [&](tcp::TcpClient& self) {
    if (reacting) return;
    reacting = true;
    switch (reaction % 8) {
      case 1: self.Connect(); break;
      case 2: self.Disconnect(); break;
      case 3: self.SendText("from a handler"); break;
      default: break;
    }
    reacting = false;
  };
  client->OnConnect = react;
  client->OnDisconnect = react;
  client->OnError = [&](tcp::TcpClient& self, std::int32_t) { react(self); };
  client->OnRead = [&](tcp::TcpClient& self, const char*, std::int32_t highest, std::int32_t count) {
    if (count > highest + 1) std::abort();
    react(self);
  };
  std::string room;
  bool roomRefused = false;
  const auto giveRoom = [&](tcp::TcpClient&, std::int32_t count) -> char* {
    if (roomRefused) return nullptr;
    room.assign(static_cast<std::size_t>(count), '\0');
    return room.data();
  };

  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint8_t operation = data[i];
    const std::uint8_t argument = data[i + 1];
    reaction = argument >> 4;
    switch (operation % 18) {
      case 0: client->Connect(); break;
      case 1: client->Disconnect(); break;
      case 2: client->SendText(std::string(argument, 'x')); break;
      case 3: sockets.deliver(kEvents[argument % 4], kErrors[(argument >> 2) % 6]); break;
      case 4: sockets.post(kEvents[argument % 4], kErrors[(argument >> 2) % 6]); break;
      case 5: sockets.pump(); break;
      case 6: sockets.incoming.append(argument, 'r'); break;
      case 7: sockets.reuseHandles = argument & 1; break;
      case 8: sockets.sendLimit = argument; sockets.sendBlocksAfter = argument % 3 - 1; break;
      case 9: sockets.deliverFor(argument, kEvents[argument % 4]); break;
      case 10: client->setTls({static_cast<tcp::TlsSetting::Mode>(argument % 3), ""}); break;
      case 11: client->setTimeout(argument % 2 ? 100 : 0); break;
      case 12: sockets.fireTimer(); break;
      case 13: sockets.incoming += kServerBytes[argument % std::size(kServerBytes)]; break;
      case 14: client->setProxy(tcp::ParseProxySetting(kProxies[argument % std::size(kProxies)])); break;
      case 15:
        client->ReadInto = giveRoom;
        roomRefused = argument & 1;
        sockets.receiveLimit = argument & 2 ? argument / 4 + 1 : SIZE_MAX;
        break;
      case 16:
        client->setHost(argument & 1 ? "::1" : "127.0.0.1");
        client->setHostAddresses({argument & 1 ? "::1" : "127.0.0.1", "127.0.0.2", "::2"});
        client->allowIpv6(argument & 2);
        client->lookUpInBackground(argument & 8);
        sockets.hostsAll["proxy.lan"] = {"10.0.0.5", "::5"};
        sockets.connectError = argument & 4 ? 10065 : tcp::kWouldBlock;
        break;
      case 17:
        if (argument & 2) {
          sockets.finishLookup();
          break;
        }
        sockets.deliverFor(argument & 1 ? tcp::TcpClient::kStaggerTimer : tcp::TcpClient::kRaceTimer,
                           tcp::SocketEvent::Timeout);
        break;
    }
    checkState(*client, sockets);
  }
  client.reset();
  return 0;
}
