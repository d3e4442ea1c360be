#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/timer.h"

namespace tcp::fakes {

// Timers that tick only when a test says so. Starts and stops go to a call
// log shared with the other fakes, so that their order shows.
class FakeTimers : public Timers {
 public:
  explicit FakeTimers(std::vector<std::string>& calls) : calls_(calls) {}

  TimerId startOnce(std::uint32_t delayMs, TimerSink& sink) override;
  void stop(TimerId timer) override;

  // Ticks a running timer as the platform's timer thread would, which ends
  // it; returns false when the timer is not running.
  bool tick(TimerId timer);
  bool running(TimerId timer) const { return sinks_.count(timer) != 0; }
  TimerId lastStarted() const { return nextTimer_ - 1; }

 private:
  std::vector<std::string>& calls_;
  std::map<TimerId, TimerSink*> sinks_;
  TimerId nextTimer_ = 1;
};

}  // namespace tcp::fakes
