// clock.cpp — the millisecond clock, sleeping and the local calendar time.
//
// The engine measures time as an unsigned 32-bit millisecond count that wraps, taken
// from the monotonic clock so that changing the wall clock never disturbs frame pacing.
// Tests can switch to a manual clock: it only moves when advanced by hand or by a
// "sleep", so frame timing becomes exact and instant. Both values are atomics because
// program threads read the clock while the main thread drives it.
#include <errno.h>
#include <time.h>

#include <atomic>

#include "host/host.h"

static std::atomic<bool> manual_on{false};
static std::atomic<uint32_t> manual_now{0};

uint32_t ZYH_TimeMs(void) {
  if (manual_on.load()) return manual_now.load();
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  // Only the low 32 bits matter: the count wraps like the platform timer it replaces.
  uint64_t ms = (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
  return (uint32_t)ms;
}

void ZYH_SleepMs(uint32_t ms) {
  if (manual_on.load()) {
    manual_now.fetch_add(ms);
    return;
  }
  struct timespec req = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
  struct timespec rem;
  // A signal (for example from a debugger or profiler) must not cut the sleep short.
  while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
}

void ZYH_ClockSetManual(bool enabled, uint32_t start) {
  manual_now.store(start);
  manual_on.store(enabled);
}

void ZYH_ClockAdvance(uint32_t ms) { manual_now.fetch_add(ms); }

void ZYH_LocalDateTime(int out[6]) {
  // Every log line asks; the calendar is worked out once per second and thread.
  thread_local time_t cached_second = (time_t)-1;
  thread_local int cached[6];
  time_t now = time(nullptr);
  if (now != cached_second) {
    struct tm tm;
    if (!localtime_r(&now, &tm)) {
      for (int i = 0; i < 6; i++) out[i] = 0;
      return;
    }
    cached[0] = tm.tm_year + 1900;
    cached[1] = tm.tm_mon + 1;
    cached[2] = tm.tm_mday;
    cached[3] = tm.tm_hour;
    cached[4] = tm.tm_min;
    cached[5] = tm.tm_sec;
    cached_second = now;
  }
  for (int i = 0; i < 6; i++) out[i] = cached[i];
}
