// threads.h — program threads, the registry of named threads and the live-thread count.
//
// Threads started with ZY_CreateThread carry a name that the log shows beside their
// lines, and are counted from their creation until their function has returned;
// shut-down waits on that count. The registry maps platform thread ids to
// names under its own lock, ZYT_TIM. Registry and count live outside the engine state
// record, so they survive the reset at pre-initialisation (which runs after ZYT_TIM is
// created) and any thread still running when the engine stops.
#pragma once

#include <stdint.h>

#include "zylem.h"

// Creates the registry lock ZYT_TIM (kept when it exists already). True when it exists.
bool ZYI_ThreadsInit(void);
// Frees the registry and deletes ZYT_TIM, unless counted threads are still running
// (they keep both, so they can still end cleanly).
void ZYI_ThreadsShutdown(void);
// Threads created by ZY_CreateThread whose function has not yet returned.
int32_t ZYI_LiveThreadCount(void);
// Threads ZY_CreateThread has started so far (never goes down).
int32_t ZYI_CreatedThreadCount(void);
// Finds (or adds, without a name) the calling thread's registry record. False when no
// record could be made; else *name is the thread's name, or null when it has none.
bool ZYI_LookupThreadName(const char **name);
// The calling thread's name as the log history shows it: its given name, "MAIN" when it
// has none, "UNKNOWN" when it cannot be registered. Valid while the thread runs.
const char *ZYI_CurrentThreadName(void);

// Starts a named thread running function(argument). flags must be 0 (else a developer
// popup and null). Null also when the thread cannot be started.
ZY_Thread *ZY_CreateThread(const char *name, ZY_ThreadFunction function, void *argument,
                           int32_t flags);
// Platform id of the calling thread.
uint32_t ZY_GetCurrentThreadId(void);
// Whether the calling thread is the engine's main thread.
bool ZY_IsMainThread(void);
