#include "fake_timers.h"

namespace tcp::fakes {

TimerId FakeTimers::startPeriodic(std::uint32_t intervalMs, TimerSink& sink) {
  const TimerId timer = nextTimer_++;
  calls_.push_back("StartPeriodic(" + std::to_string(intervalMs) + ") -> " + std::to_string(timer));
  sinks_[timer] = &sink;
  return timer;
}

void FakeTimers::stop(TimerId timer) {
  calls_.push_back("StopTimer(" + std::to_string(timer) + ")");
  sinks_.erase(timer);
}

bool FakeTimers::tick(TimerId timer) {
  const auto found = sinks_.find(timer);
  if (found == sinks_.end()) return false;
  found->second->timerTick();
  return true;
}

}  // namespace tcp::fakes
