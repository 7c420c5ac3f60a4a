#include "platform/clock.h"

#include <cerrno>
#include <ctime>

int64_t platform_tick_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void platform_sleep_ms(uint32_t milliseconds) {
  timespec request{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  timespec remaining{};
  while (nanosleep(&request, &remaining) != 0 && errno == EINTR) request = remaining;
}

int64_t platform_time_seconds() { return static_cast<int64_t>(std::time(nullptr)); }

LocalTime platform_local_time() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const time_t seconds = now.tv_sec;
  tm local{};
  localtime_r(&seconds, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
          local.tm_min,         local.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}
