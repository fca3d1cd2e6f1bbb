// locks.h — the engine's lock object, its twelve named internal locks and the mutexes a
// program creates by name.
//
// Every lock is a ZY_Mutex record: an optional name, a recursive platform lock (the
// holder may take it again) and a `locked` hint. The twelve named locks guard the
// engine's shared tables; each is taken and released by its index. Program mutexes are
// looked up by name in a registry guarded by GET_MUTEX, so two parts of a game that ask
// for the same name share one mutex.
//
// The thread and clock services (threads.h, clock.h) are included here, so this one
// header gives every lock, thread and time operation.
//
// Nesting: MAIN_LOOP is outermost (held by the frame); PRINT may be taken while any
// other lock is held, because any code may log; GET_BITMAP comes before GET_SOUND.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "base/clock.h"
#include "base/threads.h"
#include "host/host.h"
#include "zylem.h"

// Indices of the named internal locks.
enum ZyLockIndex {
  ZYI_LOCK_PRINT,           // log buffer, counters, history, file appends; popups; console
  ZYI_LOCK_GET_MUTEX,       // the registry of program mutexes
  ZYI_LOCK_CREATE_DIR,      // directory creation
  ZYI_LOCK_GET_PATH,        // the ring of path result buffers
  ZYI_LOCK_GET_BITMAP,      // the bitmap table; held during a renderer mode change
  ZYI_LOCK_GET_SOUND,       // the sound table; held during a renderer mode change
  ZYI_LOCK_GET_FONT,        // the font table
  ZYI_LOCK_GET_SHADER,      // the shader table
  ZYI_LOCK_MAIN_LOOP,       // one frame; taken by program threads between frames
  ZYI_LOCK_RESOURCE_QUEUE,  // the resource queue and the input event queue
  ZYI_LOCK_SHARED_BITMAP,   // lent to bitmap records without a lock of their own
  ZYI_LOCK_CORE_IMP,        // created and deleted only
  ZYI_LOCK_COUNT
};

// The lock record behind every ZY_Mutex handle.
struct ZY_Mutex {
  char *name;       // owned copy of the name, or null
  ZyhLock *cs;      // recursive platform lock
  uint8_t locked;   // hint: some thread holds it (set after taking, cleared before release)
  int32_t depth;    // times the holder has taken it (touched by the holder only)
};

// The locks block of the engine state.
struct ZyLocks {
  ZY_Mutex *named[ZYI_LOCK_COUNT];  // the named internal locks, null outside their life
  ZY_Mutex **mutexes;               // program mutexes in creation order (malloc'd)
  int32_t mutex_count;              // entries in use
  int32_t mutex_capacity;           // entries allocated
};
ZYI_STATE_PART(ZyLocks, locks)

// Creates a lock with an owned copy of name (null: no name). Null when out of resources.
ZY_Mutex *ZYI_CreateLock(const char *name);
// Deletes a lock and its name; null is ignored. No thread may hold it.
void ZYI_DeleteLock(ZY_Mutex *lock);
// Takes a lock (recursively); null is ignored.
void ZYI_TakeLock(ZY_Mutex *lock);
// Releases a lock once. A caller that does not hold it changes nothing.
void ZYI_ReleaseLock(ZY_Mutex *lock);
// True when the calling thread holds the lock.
bool ZYI_LockHeldByMe(const ZY_Mutex *lock);

// Creates the twelve named locks in index order (pre-initialisation).
void ZYI_CreateLocks(void);
// Deletes the twelve named locks, then every program mutex (end of shut-down).
void ZYI_DeleteLocks(void);
// Takes the named lock of an index; does nothing while the named locks do not exist.
void ZYI_Lock(int index);
// Releases the named lock of an index. Releasing one the caller does not hold gives the
// developer popup "Trying to unlock mutex '%s' which is not locked!" (not for PRINT, and
// only once the engine interface table exists); the lock itself is left as it is.
void ZYI_Unlock(int index);
// Name of a named lock index ("PRINT" ...), "UNKNOWN" outside 0..11.
const char *ZYI_LockName(int index);
// The lock record of a named index (for example SHARED_BITMAP, lent to bitmaps), or null.
ZY_Mutex *ZYI_NamedLock(int index);

// Program mutexes (engine interface operations).
ZY_Mutex *ZY_GetMutex(const char *name);   // the mutex of that name; "" or null: a new one
void ZY_DestroyMutex(ZY_Mutex *mutex);     // unregisters and deletes it; named locks refused
void ZY_LockMutex(ZY_Mutex *mutex);        // takes it; null is ignored
void ZY_UnlockMutex(ZY_Mutex *mutex);      // releases it; null is ignored
void ZY_LockMainLoop(void);                // takes MAIN_LOOP, except on the main thread
void ZY_UnlockMainLoop(void);              // releases MAIN_LOOP, except on the main thread
