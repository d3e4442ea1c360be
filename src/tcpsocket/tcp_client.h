#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sockets.h"
#include "platform/tls.h"
#include "tcpsocket/client_machine.h"
#include "tcpsocket/connect_race.h"
#include "tcpsocket/proxy_tunnel.h"
#include "tcpsocket/send_queue.h"
#include "tcpsocket/tls_channel.h"
#include "tcpsocket/url_fetch.h"

namespace tcp {

// Reported when bytes cannot be queued, encrypted or decrypted for want of
// memory; the connection then ends.
inline constexpr std::int32_t kOutOfMemory = static_cast<std::int32_t>(0x8007000E);  // E_OUTOFMEMORY

// The text of a Windows Sockets error code; "WSAEUNKNOWN" for codes not listed.
std::string ErrorName(std::int32_t code);
// The symbol of a Windows Sockets error code ("WSAECONNREFUSED"), whatever
// ErrorName says of it; "WSAEUNKNOWN" for codes not listed.
std::string SocketErrorSymbol(std::int32_t code);

// Whether a connection speaks TLS, and to which name. Applies from the next
// Connect on.
struct TlsSetting {
  // Revocation: as Verified, and a revoked certificate of the chain is refused.
  enum class Mode { Off, Verified, Unverified, Revocation };
  Mode mode = Mode::Off;
  // Sent as SNI and checked against the certificate; empty: the host name
  // the host was set with, else the host itself.
  std::string serverName;
};

// An asynchronous IPv4 TCP client driven by its socket window's events. All
// of it runs on the thread that handles the socket window's messages. Event
// handlers may call back into the client (even Connect again): an event stops
// acting once a handler has closed or replaced the socket it concerns.
class TcpClient final : private SocketEventSink {
 public:
  static constexpr std::size_t kBufferSize = 1048576;
  // The most one read event takes into the room ReadInto gives: fewer, larger
  // arrivals cost the owner less per byte, and the room stays bounded.
  static constexpr std::uint32_t kEventReadLimit = 8 << 20;

  using Event = std::function<void(TcpClient&)>;
  // code: a Windows Sockets error code, or a TLS or certificate code
  // (HRESULT-style, negative as a signed value).
  using ErrorEvent = std::function<void(TcpClient&, std::int32_t code)>;
  // The buffer, its highest valid index and the count the read returned.
  using ReadEvent = std::function<void(TcpClient&, const char* buffer, std::int32_t highestIndex, std::int32_t count)>;
  // Room for the count bytes the reads of one event are about to bring, or
  // null to have them land in the client's own buffer (at most its size then).
  using ReadTarget = std::function<char*(TcpClient&, std::int32_t count)>;
  // Shows the library's message box; used only for errors nobody handles.
  using ShowMessage = std::function<void(const std::string& text)>;

  // tls: the engine for connections with TLS on; without one they fail.
  TcpClient(SocketSystem& sockets, ShowMessage showMessage, TlsSystem* tls = nullptr);
  ~TcpClient() override;
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  Event OnConnect;
  Event OnDisconnect;
  ErrorEvent OnError;
  ReadEvent OnRead;
  // Where reads land. With it, a read writes straight into the owner's
  // storage and OnRead is given that room: the bytes are copied once, from
  // the socket to where they stay.
  ReadTarget ReadInto;

  void setPort(std::uint16_t port) { port_ = port; }
  // The port to connect to; while Connected, the connection's local port.
  // Reading it never changes the port the next Connect uses.
  std::uint16_t port();
  // host: a dotted address; name: the host name it was found for, if any.
  void setHost(std::string host, std::string name = {}) {
    host_ = std::move(host);
    hostName_ = name;
    targetName_ = std::move(name);
    raceAddresses_.clear();
  }
  // Every address the host's name has, the first of them the host: a
  // direct connect races them (IPv6 ones where those are allowed).
  void setHostAddresses(std::vector<std::string> addresses) {
    if (!addresses.empty() && addresses.front() == host_) raceAddresses_ = std::move(addresses);
  }
  // A name the host asked for that did not resolve here: a proxy may still
  // reach it, so it names the target of a tunnel; the host stays as it was.
  void setUnresolvedName(std::string name) { targetName_ = std::move(name); }
  // The timers of a race between a name's addresses (the stagger, and the
  // timeout over the whole race) carry identifiers no socket has.
  static constexpr SocketHandle kStaggerTimer = kNoSocket - 1;
  static constexpr SocketHandle kRaceTimer = kNoSocket - 2;
  // The proxy later connects go through; nothing for direct connections.
  // Applies from the next Connect on.
  void setProxy(std::optional<ProxySetting> proxy) { proxy_ = std::move(proxy); }
  bool proxied() const { return proxy_.has_value(); }
  // Whether a host given as an IPv6 address is connected to, from the next
  // Connect on; otherwise only IPv4 addresses are (a proxy's excepted).
  void allowIpv6(bool allowed) { ipv6Allowed_ = allowed; }
  // Whether a proxy named by a name is looked up in the background, the
  // connect going on once the answer comes; otherwise Connect looks it up
  // before it returns.
  void lookUpInBackground(bool background) { backgroundLookups_ = background; }
  const std::string& host() const { return host_; }
  bool Connected() const { return machine_.state() == State::Connected; }
  bool Connecting() const { return machine_.state() == State::Connecting; }
  // Connected to the proxy, its answer to CONNECT not yet complete.
  bool Tunnelling() const {
    return machine_.state() == State::Opening && machine_.openingLayer() == TransportLayer::Kind::ProxyTunnel;
  }
  // Connected, with the TLS handshake (or the certificate check) not yet done.
  bool Securing() const { return machine_.state() == State::Opening && !Tunnelling(); }
  // Connecting to one of a name's addresses, the race not yet won.
  bool Racing() const { return race_ != nullptr; }
  // Connecting, the proxy's name being looked up in the background.
  bool LookingUpProxy() const { return proxyLookup_; }
  void setTls(TlsSetting setting) { tlsSetting_ = std::move(setting); }
  // Milliseconds, 0 for none: how long a connect (TLS handshake included)
  // may take, and how long a connection may stay silent after a send or an
  // arrival. Takes effect when the timer next starts.
  void setTimeout(std::uint32_t milliseconds) { timeoutMs_ = milliseconds; }
  std::uint32_t timeout() const { return timeoutMs_; }
  SocketHandle socket() const { return socket_; }

  void Connect();
  void Disconnect();
  // Closes the socket without OnDisconnect: for a failure that its owner has
  // already reported, so that the report is the connection's last word.
  void Abort();
  // Sends every byte of text in order: what one send does not take waits in a
  // queue for the socket's write event. A failed send is reported. When
  // memory runs out on the way, the connection ends with kOutOfMemory
  // reported (and OnDisconnect when it was up): nothing sent after it can
  // follow a cut text.
  void SendText(std::string_view text);
  // The same for text, a part of *owner, whose storage the queue then shares
  // instead of copying what waits.
  void SendText(std::string_view text, const SendQueue::Storage& owner);
  // Nothing more is awaited until the next send: the silence timer stops.
  void StopWaiting() {
    if (Connected()) stopTimer();
  }

 private:
  // A connection is its socket and the layers above it (transport_stack.h):
  // the proxy's tunnel when one is set, then TLS when it is on; a plain
  // connection has none, and its reads land straight in the room ReadInto
  // gives. What it does about each event the machine decides
  // (client_machine.h, with the table of its states); the client carries
  // the steps out.
  using State = ClientMachine::State;
  // Counts the sockets opened: a handle value may come back for a later
  // socket, a generation never does.
  using Generation = std::uint64_t;

  void onSocketEvent(SocketHandle socket, SocketEvent event, int error) override;
  void handleEvent(SocketEvent event, int error);
  // Carries the steps out in order, and drops the rest once a step has let
  // a handler close or replace the socket they concern.
  void run(ClientActions actions);
  void perform(ClientAction& action);
  bool socketUp() const { return machine_.state() == State::Opening || Connected(); }
  // Whether the socket of that generation is still the open one.
  bool isCurrent(Generation generation) const { return socket_ != kNoSocket && generation_ == generation; }

  void abandonConnect(Generation generation);
  void closeSocket();
  bool readAvailable();
  SocketResult<std::int32_t> receive(char* bytes, std::int32_t count);
  SocketResult<std::int32_t> receiveInto(char* room, std::int32_t count);
  SocketResult<std::int32_t> send(std::string_view bytes);
  void sendBytes(std::string_view bytes, const SendQueue::Storage& owner = nullptr);
  void enqueue(std::string_view bytes, const SendQueue::Storage& owner);
  void sendQueued();
  // Memory ran out while the socket of that generation was sending or
  // receiving: it closes, kOutOfMemory is reported.
  void failForMemory(Generation generation);

  // Where a connect goes (client_addresses.cpp): an IPv4 address, or an IPv6 one.
  struct PeerAddress {
    std::optional<std::uint32_t> ipv4;
    std::optional<Ipv6Address> ipv6;
  };
  std::optional<PeerAddress> connectAddress(int& error);
  std::optional<PeerAddress> literalAddress(const std::string& host) const;
  // Starts connecting socket_ to the address: 0 or the error it failed with.
  int connectTo(const PeerAddress& address);
  std::uint16_t connectPort() const { return proxy_ ? proxy_->port : port_; }
  std::string tunnelTarget() const;

  // The layers (client_layers.cpp): made by Connect, gone with the socket.
  std::string serverName() const;
  void makeOpening();
  bool readThroughLayers();
  void deliverPlaintext(std::string_view text);

  // The certificate check's fetches (client_fetch.cpp): they exist while the
  // connection is Securing, beside its socket and on its window.
  void startFetches(const std::vector<std::string>& addresses);
  void lookUpForFetch(const std::shared_ptr<UrlFetch>& fetch, const std::string& name);
  void onFetchEvent(SocketHandle socket, SocketEvent event, int error);
  // Hands each fetch that ended to the channel, until none has or a handler
  // ended the connection.
  void collectFetches();
  std::uint32_t fetchTimeout() const;

  // The race between a name's addresses (client_race.cpp), from Connect until
  // one connected (it becomes the socket) or all failed.
  std::vector<PeerAddress> raceTargets() const;
  std::vector<PeerAddress> allowedAddresses(const std::vector<std::string>& addresses) const;
  // Connects to targets: one address, or a race between several; none: the
  // host, or the proxy, as set. The layers are made first, unless a lookup
  // of the proxy's name made them already.
  void connectToAny(std::vector<PeerAddress> targets, bool openingMade = false);
  void lookUpProxy();
  void onProxyLookedUp(const SocketResult<std::vector<std::string>>& found);
  void startRace(std::vector<PeerAddress> targets);
  void runRace(ConnectRace::Step step);
  int startAttempt(std::size_t attempt);
  void onRaceEvent(SocketHandle socket, SocketEvent event, int error);
  void winRace(std::size_t attempt);
  void loseRace(int error);
  // Disconnect or Connect again while racing: no event.
  void loseRaceQuietly();
  void endRace();

  // The timer (client_timeout.cpp).
  int restartTimer();
  void stopTimer();
  // An arrival or a send while Connected restarts the timer.
  void noteActivity();

  // Whether a platform call's error code is a failure; reports it (to
  // OnError, or in the message box naming socket) unless it is would-block.
  bool CheckResult(int error) { return CheckResult(error, socket_); }
  bool CheckResult(int error, SocketHandle socket);
  void raise(const Event& event);

  SocketSystem& sockets_;
  ShowMessage showMessage_;
  // The hidden window, made by the first Connect and kept for later ones.
  WindowHandle window_ = 0;
  std::uint16_t port_ = 0;
  std::string host_;
  std::string hostName_;
  // The name a tunnel asks the proxy for; empty: the host itself.
  std::string targetName_;
  std::optional<ProxySetting> proxy_;
  bool ipv6Allowed_ = false;
  bool backgroundLookups_ = false;
  bool proxyLookup_ = false;
  // Gone with the client: a lookup's answer that comes later reaches no one.
  std::shared_ptr<const bool> alive_ = std::make_shared<const bool>(true);
  TlsSystem* tls_;
  TlsSetting tlsSetting_;
  ClientMachine machine_;
  std::vector<std::shared_ptr<UrlFetch>> fetches_;
  std::vector<std::string> raceAddresses_;
  std::unique_ptr<ConnectRace> race_;
  std::vector<PeerAddress> racing_;
  std::vector<SocketHandle> attempts_;  // one per address racing, kNoSocket when not running
  std::uint32_t timeoutMs_ = 0;
  bool timerRunning_ = false;
  SocketHandle socket_ = kNoSocket;
  Generation generation_ = 0;
  SendQueue queue_;
  bool destroying_ = false;
  // Held for the whole read path, OnRead included; the same thread may take
  // it again.
  std::recursive_mutex guard_;
  std::array<char, kBufferSize> buffer_;
};

}  // namespace tcp
