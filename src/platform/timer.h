#pragma once

#include <cstdint>

namespace tcp {

// 0 stands for no timer.
using TimerId = std::uint32_t;

class TimerSink {
 public:
  virtual ~TimerSink() = default;
  // Runs on the timer's own thread, not on the thread that started the timer.
  virtual void timerTick() = 0;
};

// The platform's multimedia timers.
class Timers {
 public:
  virtual ~Timers() = default;

  // Starts a one-shot timer at the finest resolution: its one tick comes
  // delayMs from now. Returns 0 when the platform refuses.
  virtual TimerId startOnce(std::uint32_t delayMs, TimerSink& sink) = 0;
  // Stops the timer if it has not ticked yet. When it returns no tick is
  // running or will run, so the sink may go. Never called from a tick.
  virtual void stop(TimerId timer) = 0;
};

}  // namespace tcp
