#include <new>

#include "tcpsocket/tcp_client.h"

namespace tcp {

// The addresses to race for a direct connect: those of the host's name. A
// proxy's are raced when a lookup in the background found several.
std::vector<TcpClient::PeerAddress> TcpClient::raceTargets() const {
  if (proxy_ || raceAddresses_.size() < 2) return {};
  return allowedAddresses(raceAddresses_);
}

// Those that can be reached, IPv6 ones only where they are allowed.
std::vector<TcpClient::PeerAddress> TcpClient::allowedAddresses(const std::vector<std::string>& addresses) const {
  std::vector<PeerAddress> targets;
  for (const std::string& address : addresses) {
    const std::optional<PeerAddress> target = literalAddress(address);
    if (target && (!target->ipv6 || ipv6Allowed_)) targets.push_back(*target);
  }
  return targets;
}

// Connecting, with no socket until the answer: then the proxy's addresses
// are connected to (raced when there are several), or the lookup's failure
// is the connect's. Text sent meanwhile waits in the tunnel.
void TcpClient::lookUpProxy() {
  if (!window_) window_ = sockets_.createSocketWindow(*this);
  const Generation generation = ++generation_;
  machine_.enter(State::Connecting);
  proxyLookup_ = true;
  makeOpening();
  const std::weak_ptr<const bool> alive = alive_;
  const int error = sockets_.startLookupAll(
      proxy_->host, timeoutMs_, [this, alive, generation](SocketResult<std::vector<std::string>> found) {
        if (alive.expired() || !proxyLookup_ || generation != generation_) return;
        onProxyLookedUp(found);
      });
  if (error != 0) loseRace(error);
}

void TcpClient::onProxyLookedUp(const SocketResult<std::vector<std::string>>& found) {
  std::vector<PeerAddress> targets = allowedAddresses(found.value);
  if (found.error != 0 || targets.empty()) return loseRace(found.error != 0 ? found.error : kHostNotFound);
  proxyLookup_ = false;
  machine_.enter(State::Closed);
  try {
    connectToAny(std::move(targets), true);
  } catch (const std::bad_alloc&) {
    loseRace(kOutOfMemory);
  }
}

// The race has a timer of its own for the timeout: there is no socket yet.
void TcpClient::startRace(std::vector<PeerAddress> targets) {
  machine_.enter(State::Connecting);
  racing_ = std::move(targets);
  attempts_.assign(racing_.size(), kNoSocket);
  race_ = std::make_unique<ConnectRace>(racing_.size());
  if (timeoutMs_ != 0) {
    if (const int error = sockets_.startTimer(window_, kRaceTimer, timeoutMs_)) return loseRace(error);
  }
  runRace(race_->begin());
}

// Starts what the step says, and the attempts after any that fail at once;
// then waits for the stagger, an event, or nothing more.
void TcpClient::runRace(ConnectRace::Step step) {
  while (step.start) {
    const std::size_t attempt = *step.start;
    const int error = startAttempt(attempt);
    if (error == 0) break;
    step = race_->failed(attempt, error);
  }
  if (race_->lost()) return loseRace(race_->lastError());
  if (step.waitMs) {
    if (const int error = sockets_.startTimer(window_, kStaggerTimer, *step.waitMs)) return loseRace(error);
  } else {
    sockets_.stopTimer(window_, kStaggerTimer);
  }
}

// 0, or the error the attempt failed with (its socket then closed).
int TcpClient::startAttempt(std::size_t attempt) {
  const PeerAddress& target = racing_[attempt];
  const SocketResult<SocketHandle> opened = target.ipv6 ? sockets_.openStream6() : sockets_.openStream();
  if (opened.error != 0) return opened.error;
  attempts_[attempt] = opened.value;
  int error = sockets_.selectEvents(opened.value, window_);
  if (error == 0) {
    error = target.ipv6 ? sockets_.connect6(opened.value, *target.ipv6, connectPort())
                        : sockets_.connect(opened.value, *target.ipv4, connectPort());
    if (error == kWouldBlock) error = 0;
  }
  if (error != 0) {
    sockets_.close(opened.value);
    attempts_[attempt] = kNoSocket;
  }
  return error;
}

void TcpClient::onRaceEvent(SocketHandle socket, SocketEvent event, int error) {
  try {
    if (event == SocketEvent::Timeout) {
      if (socket == kRaceTimer) return loseRace(kTimedOut);
      if (socket == kStaggerTimer) {
        sockets_.stopTimer(window_, kStaggerTimer);
        return runRace(race_->timerExpired());
      }
      return;
    }
    std::size_t attempt = 0;
    while (attempt < attempts_.size() && attempts_[attempt] != socket) ++attempt;
    if (attempt == attempts_.size() || (event != SocketEvent::Connect && event != SocketEvent::Close)) return;
    if (event == SocketEvent::Connect && error == 0 && race_->connected(attempt)) return winRace(attempt);
    sockets_.close(socket);
    attempts_[attempt] = kNoSocket;
    runRace(race_->failed(attempt, error != 0 ? error : kConnectionRefused));
  } catch (const std::bad_alloc&) {
    loseRace(kOutOfMemory);
  }
}

// The winner becomes the connection's socket, as if it had been the only
// one: its timer starts afresh for what follows the connect.
void TcpClient::winRace(std::size_t attempt) {
  const SocketHandle winner = attempts_[attempt];
  attempts_[attempt] = kNoSocket;
  endRace();
  socket_ = winner;
  const Generation generation = generation_;
  if (CheckResult(restartTimer())) return abandonConnect(generation);
  run(machine_.onEvent(SocketEvent::Connect, 0));
}

// Every attempt failed, or the race's timeout came: the failure is the
// connect's, with the error of the last attempt.
void TcpClient::loseRace(int error) {
  loseRaceQuietly();
  CheckResult(error, kNoSocket);
}

void TcpClient::loseRaceQuietly() {
  endRace();
  proxyLookup_ = false;
  machine_.reset();
  if (window_) sockets_.dropQueuedEvents(window_);
}

// The winner's events stay queued: its read event may already wait.
void TcpClient::endRace() {
  if (!race_) return;
  if (window_) {
    sockets_.stopTimer(window_, kStaggerTimer);
    sockets_.stopTimer(window_, kRaceTimer);
  }
  for (const SocketHandle socket : attempts_)
    if (socket != kNoSocket) sockets_.close(socket);
  attempts_.clear();
  racing_.clear();
  race_.reset();
}

}  // namespace tcp
