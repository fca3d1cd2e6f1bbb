// state.h — the one engine state record.
//
// The engine keeps all of its process-wide data in `zy`, one ZyState made of one
// sub-struct per subsystem. Each sub-struct is defined in its subsystem's own header and
// written only by that subsystem's functions; others call those functions. Every
// sub-struct is plain data (fixed arrays, pointers to malloc'd memory, no C++ objects),
// so the whole record resets to zero with one statement (ZYI_ResetState) and the engine
// can be booted and shut down repeatedly in one process.
#pragma once

#include <type_traits>

#include "config/config.h"
#include "core/lifecycle.h"

struct ZyState {
  ZyLifecycle core;    // host block, lifecycle flags, display settings copies
  ZyConfig config;     // values read from prog.xml and developer.xml
};

extern ZyState zy;

static_assert(std::is_trivially_copyable<ZyState>::value,
              "the engine state must stay plain data so one reset clears it");

// Zeroes the whole engine state record.
void ZYI_ResetState();
