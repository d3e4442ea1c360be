#include "fake_timers.h"

namespace tcp::fakes {

TimerId FakeTimers::startOnce(std::uint32_t delayMs, TimerSink& sink) {
  const TimerId timer = nextTimer_++;
  calls_.push_back("StartOnce(" + std::to_string(delayMs) + ") -> " + std::to_string(timer));
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
  TimerSink* const sink = found->second;
  sinks_.erase(found);
  sink->timerTick();
  return true;
}

}  // namespace tcp::fakes
