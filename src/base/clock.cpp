// clock.cpp — time services of the engine interface over the host clock.
//
// The engine clock is the host's millisecond counter minus the start time recorded at
// pre-initialisation; both are unsigned 32-bit values, so the difference stays right
// across the counter's wrap.
#include "base/clock.h"

#include "base/state.h"
#include "host/host.h"

void ZY_Sleep(uint32_t milliseconds) { ZYH_SleepMs(milliseconds); }

uint32_t ZY_GetTime(void) { return ZYH_TimeMs() - zy::core.start_time; }

int32_t *ZY_GetDateTime(int32_t values[6]) {
  if (!values) return values;
  int now[6];
  ZYH_LocalDateTime(now);
  for (int i = 0; i < 6; i++) values[i] = now[i];
  return values;
}
