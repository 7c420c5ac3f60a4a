#include "base/timer.h"

#include <gtest/gtest.h>

#include "base/random.h"

namespace {

TEST(Timer, RunsForItsIntervalAndThenRunsOut) {
  Timer* timer = Timer_Create(40);
  EXPECT_TRUE(Timer_IsRunning(timer));
  Timer_WaitForInterval(timer);  // sleeps out the rest of the interval
  timer->dStartTime -= 0.05;     // pretend 50 ms have passed since the restart
  EXPECT_FALSE(Timer_IsRunning(timer));
  EXPECT_FALSE(Timer_IsRunning(timer));  // stays run out without auto restart
  Timer_Destruct(timer);
}

TEST(Timer, WaitForIntervalSleepsTheRestAndRestarts) {
  Timer* timer = Timer_Create(30);
  const double before = Timer_Now();
  Timer_WaitForInterval(timer);
  const double slept = Timer_Now() - before;
  EXPECT_GE(slept, 0.025);
  EXPECT_LT(slept, 0.5);
  EXPECT_GE(timer->dStartTime, before + 0.025);
  EXPECT_TRUE(Timer_IsRunning(timer));
  // An interval that has already passed does not sleep.
  timer->dStartTime -= 1.0;
  const double again = Timer_Now();
  Timer_WaitForInterval(timer);
  EXPECT_LT(Timer_Now() - again, 0.02);
  Timer_Destruct(timer);
}

TEST(Timer, AutoRestartTimerRestartsWhenItRunsOut) {
  Timer* timer = Timer_Create(10);
  timer->bAutoRestart = 1;
  timer->dStartTime -= 1.0;
  EXPECT_FALSE(Timer_IsRunning(timer));
  EXPECT_TRUE(Timer_IsRunning(timer));
  timer->bActive = 0;
  EXPECT_FALSE(Timer_IsRunning(timer));
  Timer_Destruct(timer);
}

TEST(Random, FollowsTheSharedLinearCongruentialGenerator) {
  random_seed(4711);
  uint32_t state = 4711;
  for (int i = 0; i < 100; ++i) {
    state = state * 214013u + 2531011u;
    EXPECT_EQ(random_next(), static_cast<int>((state >> 16) & 32767u));
  }
}

}  // namespace
