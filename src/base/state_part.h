// state_part.h — how a subsystem declares its part of the engine state record.
//
// The engine keeps its process-wide data in the namespace `zy`, one part per subsystem
// (`zy::log`, `zy::fs`, `zy::bitmaps`, ...). Each part is a struct defined in its
// subsystem's own header, defined in one of its files and written only by that subsystem's
// functions. All parts are zeroed together at the top layer (lifecycle/state.h), so the engine can be
// booted and shut down repeatedly in one process; a lower layer only sees the parts of
// its own layer and those below it.
#pragma once

#include <type_traits>

// Declares `zy::name` of type Type, which must stay plain data so that zeroing resets it.
#define ZYI_STATE_PART(Type, name)                                                   \
  static_assert(std::is_trivially_copyable<Type>::value,                             \
                #Type " must stay plain data so one reset clears it");               \
  namespace zy {                                                                     \
  extern Type name;                                                                  \
  }
