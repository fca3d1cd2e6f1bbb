// threads.cpp — detached threads and recursive locks over pthreads.
//
// The engine never joins its threads: it counts them itself and waits on the count at
// shut-down, so every thread is started detached and its handle is only a token. Locks
// are recursive like the critical sections the engine was written for; each also
// remembers its owner and depth so the engine can ask whether the caller holds it, and
// an unlock by a thread that does not hold the lock is ignored instead of corrupting it.
// Reader/writer locks are plain pthread ones that let a waiting writer go first.
#include <errno.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "host/backend.h"

namespace {

struct StartBlock {
  ZyhThreadFunc fn;
  void *arg;
};

// Handles are serial numbers, so they are never null and never reused.
std::atomic<uintptr_t> thread_serial{0};

void *ThreadMain(void *p) {
  StartBlock block = *(StartBlock *)p;
  free(p);
  block.fn(block.arg);
  return nullptr;
}

}  // namespace

void *ZYH_StartThread(ZyhThreadFunc fn, void *arg) {
  if (!fn) return nullptr;
  StartBlock *block = (StartBlock *)malloc(sizeof *block);
  if (!block) return nullptr;
  block->fn = fn;
  block->arg = arg;

  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) {
    free(block);
    return nullptr;
  }
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t tid;
  int rc = pthread_create(&tid, &attr, ThreadMain, block);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    free(block);
    ZYH_SetLastError(rc, "pthread_create failed");
    return nullptr;
  }
  return (void *)(thread_serial.fetch_add(1) + 1);
}

// Every lock and every log line asks for the calling thread's id; each thread asks the
// kernel once. A forked child's thread has a new id, so the child forgets the cached one.
static thread_local uint32_t cached_thread_id;

static void ForgetThreadIdInChild(void) { cached_thread_id = 0; }

uint32_t ZYH_ThreadId(void) {
  static const bool fork_handler = pthread_atfork(nullptr, nullptr, ForgetThreadIdInChild) == 0;
  (void)fork_handler;
  if (cached_thread_id == 0) cached_thread_id = (uint32_t)syscall(SYS_gettid);
  return cached_thread_id;
}

struct ZyhLock {
  pthread_mutex_t mutex;
  std::atomic<uint32_t> owner;  // thread id of the holder, 0 when free
  int depth;                    // times the holder has taken it (touched by the holder only)
};

ZyhLock *ZYH_LockCreate(void) {
  ZyhLock *lock = (ZyhLock *)calloc(1, sizeof *lock);
  if (!lock) return nullptr;
  pthread_mutexattr_t attr;
  pthread_mutexattr_init(&attr);
  pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
  int rc = pthread_mutex_init(&lock->mutex, &attr);
  pthread_mutexattr_destroy(&attr);
  if (rc != 0) {
    free(lock);
    return nullptr;
  }
  new (&lock->owner) std::atomic<uint32_t>(0);
  return lock;
}

void ZYH_LockDestroy(ZyhLock *lock) {
  if (!lock) return;
  pthread_mutex_destroy(&lock->mutex);
  free(lock);
}

static void Took(ZyhLock *lock) {
  if (lock->depth++ == 0) lock->owner.store(ZYH_ThreadId(), std::memory_order_relaxed);
}

void ZYH_Lock(ZyhLock *lock) {
  if (!lock) return;
  pthread_mutex_lock(&lock->mutex);
  Took(lock);
}

bool ZYH_TryLock(ZyhLock *lock) {
  if (!lock) return false;
  if (pthread_mutex_trylock(&lock->mutex) != 0) return false;
  Took(lock);
  return true;
}

void ZYH_Unlock(ZyhLock *lock) {
  if (!lock || !ZYH_LockHeldByMe(lock)) return;
  if (--lock->depth == 0) lock->owner.store(0, std::memory_order_relaxed);
  pthread_mutex_unlock(&lock->mutex);
}

bool ZYH_LockHeldByMe(ZyhLock *lock) {
  // Only the holder ever stores its own id, so comparing with ours is exact even while
  // other threads change the owner.
  return lock && lock->owner.load(std::memory_order_relaxed) == ZYH_ThreadId();
}

struct ZyhRwLock {
  pthread_rwlock_t rw;
};

ZyhRwLock *ZYH_RwLockCreate(void) {
  ZyhRwLock *lock = (ZyhRwLock *)calloc(1, sizeof *lock);
  if (!lock) return nullptr;
  pthread_rwlockattr_t attr;
  pthread_rwlockattr_init(&attr);
  // Readers come in a steady stream (loader threads); the writer must not starve.
  pthread_rwlockattr_setkind_np(&attr, PTHREAD_RWLOCK_PREFER_WRITER_NONRECURSIVE_NP);
  int rc = pthread_rwlock_init(&lock->rw, &attr);
  pthread_rwlockattr_destroy(&attr);
  if (rc != 0) {
    free(lock);
    return nullptr;
  }
  return lock;
}

void ZYH_RwLockDestroy(ZyhRwLock *lock) {
  if (!lock) return;
  pthread_rwlock_destroy(&lock->rw);
  free(lock);
}

void ZYH_ReadLock(ZyhRwLock *lock) {
  if (lock) pthread_rwlock_rdlock(&lock->rw);
}

void ZYH_WriteLock(ZyhRwLock *lock) {
  if (lock) pthread_rwlock_wrlock(&lock->rw);
}

void ZYH_RwUnlock(ZyhRwLock *lock) {
  if (lock) pthread_rwlock_unlock(&lock->rw);
}
