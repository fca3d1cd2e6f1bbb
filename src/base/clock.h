// clock.h — the engine's time services: sleeping, the millisecond clock counted from
// the engine's start and the local calendar time.
#pragma once

#include <stdint.h>

// Suspends the calling thread for the given milliseconds.
void ZY_Sleep(uint32_t milliseconds);
// Milliseconds since the engine's start time; wraps like the platform clock.
uint32_t ZY_GetTime(void);
// Fills year (four digits), month 1-12, day, hour, minute and second; returns values
// (null is returned untouched).
int32_t *ZY_GetDateTime(int32_t values[6]);
