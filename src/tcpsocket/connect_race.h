#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tcp {

// Which connection attempts to start and when, for a name with several
// addresses (RFC 8305 section 5): the addresses in the order given, each next
// attempt 250 ms after the one before unless that one has connected, at once
// when it fails; the first to connect wins. A machine without I/O: its caller
// opens the sockets, runs the timer and reports what happened.
class ConnectRace {
 public:
  static constexpr std::uint32_t kStaggerMs = 250;

  // What the caller does next: start attempt `start` (when given), then wait
  // `waitMs` for the stagger timer (when given; none when nothing is left to
  // start).
  struct Step {
    std::optional<std::size_t> start;
    std::optional<std::uint32_t> waitMs;
  };

  explicit ConnectRace(std::size_t addresses) : outcome_(addresses, Outcome::Waiting) {}

  // The first attempt.
  Step begin();
  // The stagger timer ran out: the next attempt, while the race is still on.
  Step timerExpired();
  // An attempt failed with error: the next at once, if any is left.
  Step failed(std::size_t attempt, int error);
  // An attempt connected: it wins, unless another did first (then the caller
  // closes it). Returns whether it won.
  bool connected(std::size_t attempt);

  bool won() const { return winner_.has_value(); }
  std::optional<std::size_t> winner() const { return winner_; }
  // Every attempt failed: the race is lost, with the last failure's error.
  bool lost() const;
  int lastError() const { return lastError_; }
  // The attempts started that are still running, the winner excepted: the
  // caller closes them once there is a winner.
  std::vector<std::size_t> running() const;

 private:
  enum class Outcome { Waiting, Running, Failed, Connected };
  Step startNext();

  std::vector<Outcome> outcome_;
  std::size_t next_ = 0;
  std::optional<std::size_t> winner_;
  int lastError_ = 0;
};

}  // namespace tcp
