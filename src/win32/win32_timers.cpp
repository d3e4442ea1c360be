#include "win32/win32_platform.h"

#include <mmsystem.h>

namespace tcp::win32 {
namespace {

void CALLBACK tick(UINT, UINT, DWORD_PTR sink, DWORD_PTR, DWORD_PTR) {
  reinterpret_cast<TimerSink*>(sink)->timerTick();
}

class Win32Timers final : public Timers {
 public:
  // TIME_KILL_SYNCHRONOUS makes timeKillEvent wait for a tick in progress,
  // so that neither the sink nor the library's code can go while a tick runs.
  TimerId startPeriodic(std::uint32_t intervalMs, TimerSink& sink) override {
    return timeSetEvent(intervalMs, 0, tick, reinterpret_cast<DWORD_PTR>(&sink),
                        TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  }

  void stop(TimerId timer) override { timeKillEvent(timer); }
};

}  // namespace

Timers& timers() {
  static Win32Timers instance;
  return instance;
}

}  // namespace tcp::win32
