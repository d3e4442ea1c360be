#include <windows.h>

#include <mmsystem.h>

#include "win32/barrier.h"
#include "win32/win32_platform.h"

namespace tcp::win32 {
namespace {

void CALLBACK tick(UINT, UINT, DWORD_PTR sink, DWORD_PTR, DWORD_PTR) {
  Shielded(0, [&] {
    reinterpret_cast<TimerSink*>(sink)->timerTick();
    return 0;
  });
}

class Win32Timers final : public Timers {
 public:
  // TIME_KILL_SYNCHRONOUS makes timeKillEvent wait for a tick in progress,
  // so that neither the sink nor the library's code can go while a tick runs.
  // Killing a one-shot timer that has ticked finds no timer and does nothing.
  TimerId startOnce(std::uint32_t delayMs, TimerSink& sink) override {
    return timeSetEvent(delayMs, 0, tick, reinterpret_cast<DWORD_PTR>(&sink),
                        TIME_ONESHOT | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  }

  void stop(TimerId timer) override { timeKillEvent(timer); }
};

}  // namespace

Timers& timers() {
  static Win32Timers instance;
  return instance;
}

}  // namespace tcp::win32
