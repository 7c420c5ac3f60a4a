#pragma once
// Monotonic tick count, sleeping and the local wall-clock time.
#include <cstdint>

// Milliseconds of a monotonic clock (never wraps in practice: 64 bits).
int64_t platform_tick_ms();

// Sleeps the calling process for the given number of milliseconds.
void platform_sleep_ms(uint32_t milliseconds);

// Seconds since the epoch, for seeding the pseudo-random generator.
int64_t platform_time_seconds();

struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime platform_local_time();
