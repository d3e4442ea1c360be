#include "tcpsocket/connect_race.h"

#include <algorithm>

namespace tcp {

ConnectRace::Step ConnectRace::startNext() {
  if (winner_ || next_ == outcome_.size()) return {};
  outcome_[next_] = Outcome::Running;
  Step step{next_++, std::nullopt};
  if (next_ < outcome_.size()) step.waitMs = kStaggerMs;
  return step;
}

ConnectRace::Step ConnectRace::begin() { return next_ == 0 ? startNext() : Step{}; }

ConnectRace::Step ConnectRace::timerExpired() { return startNext(); }

ConnectRace::Step ConnectRace::failed(std::size_t attempt, int error) {
  if (attempt >= outcome_.size() || outcome_[attempt] != Outcome::Running) return {};
  outcome_[attempt] = Outcome::Failed;
  lastError_ = error;
  return startNext();
}

bool ConnectRace::connected(std::size_t attempt) {
  if (winner_ || attempt >= outcome_.size() || outcome_[attempt] != Outcome::Running) return false;
  outcome_[attempt] = Outcome::Connected;
  winner_ = attempt;
  return true;
}

bool ConnectRace::lost() const {
  return !winner_ && next_ == outcome_.size() &&
         std::all_of(outcome_.begin(), outcome_.end(), [](Outcome o) { return o == Outcome::Failed; });
}

std::vector<std::size_t> ConnectRace::running() const {
  std::vector<std::size_t> attempts;
  for (std::size_t i = 0; i < outcome_.size(); ++i)
    if (outcome_[i] == Outcome::Running) attempts.push_back(i);
  return attempts;
}

}  // namespace tcp
