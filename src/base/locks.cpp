// locks.cpp — lock records, the twelve named internal locks and the program mutexes.
//
// A lock wraps the host's recursive lock and keeps its own depth, so a release can tell
// whether the calling thread really holds the lock. That makes the not-locked warning of
// the named locks exact: it fires when a thread releases a lock it does not hold, and
// never for the inner release of a lock taken twice by the same thread.
#include "base/locks.h"

#include <stdlib.h>
#include <string.h>

#include "base/popup.h"
#include "base/log.h"
#include "base/state.h"

ZyLocks zy::locks;  // engine state: the twelve named locks and the program mutexes

namespace {

const char *const LOCK_NAMES[ZYI_LOCK_COUNT] = {
    "PRINT",     "GET_MUTEX",      "CREATE_DIR",     "GET_PATH",
    "GET_BITMAP", "GET_SOUND",     "GET_FONT",       "GET_SHADER",
    "MAIN_LOOP", "RESOURCE_QUEUE", "SHARED_BITMAP",  "CORE_IMP"};

bool IsNamedLock(const ZY_Mutex *lock) {
  for (int i = 0; i < ZYI_LOCK_COUNT; i++)
    if (zy::locks.named[i] == lock) return true;
  return false;
}

// Appends a program mutex to the registry (GET_MUTEX held). False when out of memory.
bool RegisterMutex(ZY_Mutex *mutex) {
  ZyLocks &l = zy::locks;
  if (l.mutex_count == l.mutex_capacity) {
    int32_t capacity = l.mutex_capacity ? l.mutex_capacity * 2 : 32;
    void *grown = realloc(l.mutexes, sizeof(ZY_Mutex *) * (size_t)capacity);
    if (!grown) return false;
    l.mutexes = (ZY_Mutex **)grown;
    l.mutex_capacity = capacity;
  }
  l.mutexes[l.mutex_count++] = mutex;
  return true;
}

// Removes a program mutex from the registry if it is there (GET_MUTEX held).
void UnregisterMutex(ZY_Mutex *mutex) {
  ZyLocks &l = zy::locks;
  for (int32_t i = 0; i < l.mutex_count; i++) {
    if (l.mutexes[i] != mutex) continue;
    memmove(&l.mutexes[i], &l.mutexes[i + 1], sizeof(ZY_Mutex *) * (size_t)(l.mutex_count - i - 1));
    l.mutex_count--;
    return;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// Lock records
// ---------------------------------------------------------------------------------

ZY_Mutex *ZYI_CreateLock(const char *name) {
  ZY_Mutex *lock = (ZY_Mutex *)calloc(1, sizeof *lock);
  if (!lock) return nullptr;
  lock->cs = ZYH_LockCreate();
  lock->name = name ? strdup(name) : nullptr;
  if (!lock->cs || (name && !lock->name)) {
    ZYH_LockDestroy(lock->cs);
    free(lock->name);
    free(lock);
    return nullptr;
  }
  return lock;
}

void ZYI_DeleteLock(ZY_Mutex *lock) {
  if (!lock) return;
  // A platform lock must not be destroyed while held; the caller's own holds are let go.
  while (ZYI_LockHeldByMe(lock)) ZYI_ReleaseLock(lock);
  ZYH_LockDestroy(lock->cs);
  free(lock->name);
  free(lock);
}

void ZYI_TakeLock(ZY_Mutex *lock) {
  if (!lock) return;
  ZYH_Lock(lock->cs);
  lock->depth++;
  __atomic_store_n(&lock->locked, (uint8_t)1, __ATOMIC_RELAXED);
}

void ZYI_ReleaseLock(ZY_Mutex *lock) {
  if (!lock || !ZYH_LockHeldByMe(lock->cs)) return;
  if (--lock->depth == 0) __atomic_store_n(&lock->locked, (uint8_t)0, __ATOMIC_RELAXED);
  ZYH_Unlock(lock->cs);
}

bool ZYI_LockHeldByMe(const ZY_Mutex *lock) { return lock && ZYH_LockHeldByMe(lock->cs); }

// ---------------------------------------------------------------------------------
// Named internal locks
// ---------------------------------------------------------------------------------

void ZYI_CreateLocks(void) {
  for (int i = 0; i < ZYI_LOCK_COUNT; i++)
    if (!zy::locks.named[i]) zy::locks.named[i] = ZYI_CreateLock(LOCK_NAMES[i]);
}

void ZYI_DeleteLocks(void) {
  for (int i = 0; i < ZYI_LOCK_COUNT; i++) {
    ZY_Mutex *lock = zy::locks.named[i];
    zy::locks.named[i] = nullptr;
    ZYI_DeleteLock(lock);
  }
  for (int32_t i = 0; i < zy::locks.mutex_count; i++) ZYI_DeleteLock(zy::locks.mutexes[i]);
  free(zy::locks.mutexes);
  zy::locks.mutexes = nullptr;
  zy::locks.mutex_count = zy::locks.mutex_capacity = 0;
}

void ZYI_Lock(int index) {
  if (index < 0 || index >= ZYI_LOCK_COUNT) return;
  ZYI_TakeLock(zy::locks.named[index]);
}

void ZYI_Unlock(int index) {
  if (index < 0 || index >= ZYI_LOCK_COUNT) return;
  ZY_Mutex *lock = zy::locks.named[index];
  if (!lock) return;
  // PRINT is exempt: the popup takes PRINT itself. Before the engine interface table
  // exists nothing could show the popup.
  // table_built is read atomically: shut-down clears it while program threads may still
  // release their locks.
  if (index != ZYI_LOCK_PRINT && __atomic_load_n(&zy::core.table_built, __ATOMIC_RELAXED) &&
      !ZYI_LockHeldByMe(lock))
    ZY_Popup(ZY_LOG_WARNING, "Trying to unlock mutex '%s' which is not locked!", lock->name);
  ZYI_ReleaseLock(lock);
}

const char *ZYI_LockName(int index) {
  if (index < 0 || index >= ZYI_LOCK_COUNT) return "UNKNOWN";
  return LOCK_NAMES[index];
}

ZY_Mutex *ZYI_NamedLock(int index) {
  if (index < 0 || index >= ZYI_LOCK_COUNT) return nullptr;
  return zy::locks.named[index];
}

// ---------------------------------------------------------------------------------
// Program mutexes and the main loop lock
// ---------------------------------------------------------------------------------

ZY_Mutex *ZY_GetMutex(const char *name) {
  if (!name) name = "";
  ZYI_Lock(ZYI_LOCK_GET_MUTEX);
  if (*name) {
    for (int32_t i = 0; i < zy::locks.mutex_count; i++) {
      ZY_Mutex *m = zy::locks.mutexes[i];
      if (m->name && strcmp(m->name, name) == 0) {
        ZYI_Unlock(ZYI_LOCK_GET_MUTEX);
        return m;
      }
    }
  }
  ZY_Mutex *mutex = ZYI_CreateLock(name);
  if (mutex && !RegisterMutex(mutex)) {
    ZYI_DeleteLock(mutex);
    mutex = nullptr;
  }
  ZYI_Unlock(ZYI_LOCK_GET_MUTEX);
  if (mutex) ZY_Log(ZY_LOG_INFO, "Created Mutex '%s'..", name);
  return mutex;
}

void ZY_DestroyMutex(ZY_Mutex *mutex) {
  // The named locks belong to the engine (a bitmap may lend SHARED_BITMAP to the
  // program); deleting one would leave the engine holding a dangling lock.
  if (!mutex || IsNamedLock(mutex)) return;
  ZYI_Lock(ZYI_LOCK_GET_MUTEX);
  UnregisterMutex(mutex);
  ZYI_Unlock(ZYI_LOCK_GET_MUTEX);
  ZYI_DeleteLock(mutex);
}

void ZY_LockMutex(ZY_Mutex *mutex) { ZYI_TakeLock(mutex); }

void ZY_UnlockMutex(ZY_Mutex *mutex) { ZYI_ReleaseLock(mutex); }

void ZY_LockMainLoop(void) {
  if (!ZY_IsMainThread()) ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
}

void ZY_UnlockMainLoop(void) {
  if (!ZY_IsMainThread()) ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
}
