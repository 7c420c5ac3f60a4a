#pragma once
// Interval timer used by every pause and wait of the node frame, the UCI
// loop and the cluster code.
#include <cstdint>

struct Timer {
  double dStartTime;     // seconds of the tick clock
  uint32_t nIntervalMs;
  int32_t bActive;
  int32_t bAutoRestart;
};

// The tick count in seconds (milliseconds / 1000.0).
double Timer_Now();

Timer* Timer_Create(uint32_t interval_ms);
void Timer_Destruct(Timer* timer);
void Timer_Restart(Timer* timer);
// True while the interval has not run out; a run-out auto-restart timer restarts.
bool Timer_IsRunning(Timer* timer);
// Sleeps for the rest of the interval, then restarts the timer.
void Timer_WaitForInterval(Timer* timer);
