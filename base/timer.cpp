#include "base/timer.h"

#include <cmath>
#include <cstdlib>

#include "base/fatal.h"
#include "platform/clock.h"

namespace {
int64_t elapsed_ms(const Timer* timer) { return std::llround((Timer_Now() - timer->dStartTime) * 1000.0); }
}  // namespace

double Timer_Now() { return static_cast<double>(platform_tick_ms()) / 1000.0; }

Timer* Timer_Create(uint32_t interval_ms) {
  auto* timer = static_cast<Timer*>(my_malloc(sizeof(Timer)));
  *timer = Timer{Timer_Now(), interval_ms, 1, 0};
  return timer;
}

void Timer_Destruct(Timer* timer) { std::free(timer); }

void Timer_Restart(Timer* timer) {
  timer->dStartTime = Timer_Now();
  timer->bActive = 1;
}

bool Timer_IsRunning(Timer* timer) {
  if (timer->bActive && elapsed_ms(timer) < static_cast<int64_t>(static_cast<int32_t>(timer->nIntervalMs))) return true;
  if (timer->bAutoRestart) Timer_Restart(timer);
  return false;
}

void Timer_WaitForInterval(Timer* timer) {
  const int64_t elapsed = elapsed_ms(timer);
  // Unsigned comparison: a clock read before the start counts as no time passed.
  const uint64_t passed = elapsed < 0 ? 0 : static_cast<uint64_t>(elapsed);
  if (timer->nIntervalMs > passed) platform_sleep_ms(static_cast<uint32_t>(timer->nIntervalMs - passed));
  Timer_Restart(timer);
}
