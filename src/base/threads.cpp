// threads.cpp — program threads, the thread registry and the live-thread count.
//
// A program thread is counted by ZY_CreateThread before the platform starts it, so a
// thread created just before shut-down is waited for even if it has not run yet. It
// starts in ThreadEntry, which names its registry record, runs the program's function,
// then uncounts it and removes the record. Uncounting and the record change happen
// together under ZYT_TIM, so shut-down, which inspects both under the same lock, never
// frees the registry under a thread that is still leaving it.
//
// ZYT_TIM is never held while PRINT is taken: the log looks thread names up under PRINT,
// so the opposite order could deadlock.
#include "base/threads.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "host/host.h"

namespace {

struct ThreadRecord {
  char *name;     // owned name, or null (main thread and threads not started by us)
  uint32_t id;    // platform thread id
  void *spare;    // unused; kept clear
};

struct StartBlock {
  char *name;                 // owned copy; "" for a null name
  ZY_ThreadFunction function;
  void *argument;
};

ZY_Mutex *tim_lock;          // ZYT_TIM
ThreadRecord *records;       // the registry (malloc'd)
int32_t record_count, record_capacity;
std::atomic<int32_t> live_threads{0};
std::atomic<int32_t> created_threads{0};  // every thread ZY_CreateThread started

// The calling thread's record, added without a name when missing (ZYT_TIM held).
ThreadRecord *OwnRecord() {
  uint32_t id = ZYH_ThreadId();
  for (int32_t i = 0; i < record_count; i++)
    if (records[i].id == id) return &records[i];
  if (record_count == record_capacity) {
    int32_t capacity = record_capacity ? record_capacity * 2 : 32;
    void *grown = realloc(records, sizeof(ThreadRecord) * (size_t)capacity);
    if (!grown) return nullptr;
    records = (ThreadRecord *)grown;
    record_capacity = capacity;
  }
  ThreadRecord *r = &records[record_count++];
  r->name = nullptr;
  r->id = id;
  r->spare = nullptr;
  return r;
}

// Removes the calling thread's record and frees its name (ZYT_TIM held).
void RemoveOwnRecord() {
  uint32_t id = ZYH_ThreadId();
  for (int32_t i = 0; i < record_count; i++) {
    if (records[i].id != id) continue;
    free(records[i].name);
    records[i] = records[--record_count];
    return;
  }
}

void ThreadEntry(void *arg) {
  StartBlock *block = (StartBlock *)arg;
  ZYI_TakeLock(tim_lock);
  if (ThreadRecord *r = OwnRecord()) {
    free(r->name);
    r->name = strdup(block->name);
  }
  ZYI_ReleaseLock(tim_lock);

  block->function(block->argument);

  free(block->name);
  free(block);
  ZYI_TakeLock(tim_lock);
  int32_t left = live_threads.fetch_sub(1) - 1;
  if (left < 0) {
    // Logged while the record still names the thread, without ZYT_TIM held.
    ZYI_ReleaseLock(tim_lock);
    ZY_Log(ZY_LOG_WARNING, "Thread ref counter reporting %d\n", left);
    ZYI_TakeLock(tim_lock);
  }
  RemoveOwnRecord();
  ZYI_ReleaseLock(tim_lock);
}

}  // namespace

bool ZYI_ThreadsInit(void) {
  if (!tim_lock) tim_lock = ZYI_CreateLock("ZYT_TIM");
  return tim_lock != nullptr;
}

void ZYI_ThreadsShutdown(void) {
  if (!tim_lock) return;
  ZYI_TakeLock(tim_lock);
  if (live_threads.load() != 0) {
    ZYI_ReleaseLock(tim_lock);
    return;
  }
  for (int32_t i = 0; i < record_count; i++) free(records[i].name);
  free(records);
  records = nullptr;
  record_count = record_capacity = 0;
  ZY_Mutex *lock = tim_lock;
  tim_lock = nullptr;
  ZYI_ReleaseLock(lock);
  ZYI_DeleteLock(lock);
}

int32_t ZYI_LiveThreadCount(void) { return live_threads.load(); }

int32_t ZYI_CreatedThreadCount(void) { return created_threads.load(); }

bool ZYI_LookupThreadName(const char **name) {
  ZYI_TakeLock(tim_lock);
  ThreadRecord *r = OwnRecord();
  // Only this thread ever changes or frees its own name, so the text stays valid after
  // the lock is released even if the registry array moves.
  *name = r ? r->name : nullptr;
  ZYI_ReleaseLock(tim_lock);
  return r != nullptr;
}

const char *ZYI_CurrentThreadName(void) {
  const char *name;
  if (!ZYI_LookupThreadName(&name)) return "UNKNOWN";
  return name ? name : "MAIN";
}

ZY_Thread *ZY_CreateThread(const char *name, ZY_ThreadFunction function, void *argument,
                           int32_t flags) {
  if (flags != 0) {
    ZY_Popup(ZY_LOG_WARNING,
             "ZY_CreateThread flags parm must be set to zero - reserved for future use.");
    return nullptr;
  }
  if (!function) return nullptr;
  StartBlock *block = (StartBlock *)malloc(sizeof *block);
  if (!block) return nullptr;
  block->name = strdup(name ? name : "");
  block->function = function;
  block->argument = argument;
  live_threads.fetch_add(1);
  void *handle = block->name ? ZYH_StartThread(ThreadEntry, block) : nullptr;
  if (!handle) {
    live_threads.fetch_sub(1);
    free(block->name);
    free(block);
    return nullptr;
  }
  created_threads.fetch_add(1);
  return (ZY_Thread *)handle;
}

uint32_t ZY_GetCurrentThreadId(void) { return ZYH_ThreadId(); }

bool ZY_IsMainThread(void) { return ZYH_ThreadId() == zy::core.main_thread_id; }
