// Named locks, program mutexes, program threads, the thread registry and the clock; the
// log and developer popups as seen from several threads. Every suite here is meant to
// run under ThreadSanitizer as well. Waits are bounded loops on a condition, never
// timing assertions.
#include <unistd.h>

#include "core_fixture.h"
#include "lifecycle/log_file.h"
#include "config/config.h"
#include "lifecycle/state.h"

// One suite per concern, all on the common fixture.
class NamedLocks : public CoreTest {};
class ProgramMutexes : public CoreTest {};
class ProgramThreads : public CoreTest {};
class ThreadedLog : public CoreTest {};
class ThreadedPopups : public CoreTest {};
class EngineClock : public CoreTest {};

namespace {

// Runs fn on a separate platform thread and waits for it to finish.
template <class Fn>
void OnOtherThread(Fn fn) {
  std::thread t(fn);
  t.join();
}

// Whether another thread could take the lock right now.
bool FreeForOthers(ZY_Mutex *lock) {
  bool got = false;
  OnOtherThread([&] {
    got = ZYH_TryLock(lock->cs);
    if (got) ZYH_Unlock(lock->cs);
  });
  return got;
}

struct Gate {
  std::atomic<int> entered{0};
  std::atomic<int> open{0};
  std::atomic<int> done{0};
  std::string name_seen;
  bool main_seen = true;
};

void WaitAtGate(void *arg) {
  Gate *g = (Gate *)arg;
  g->name_seen = ZYI_CurrentThreadName();
  g->main_seen = ZY_IsMainThread();
  g->entered.fetch_add(1);
  while (!g->open.load()) ZYH_SleepMs(1);
  g->done.fetch_add(1);
}

}  // namespace

// ---------------------------------------------------------------------------------
// Named locks
// ---------------------------------------------------------------------------------

TEST_F(NamedLocks, ExistWithTheirNamesOnlyBetweenCreationAndDeletion) {
  ZYFS_Shutdown();
  ZYI_DeleteLocks();
  ZYI_ResetState();
  for (int i = 0; i < ZYI_LOCK_COUNT; i++) EXPECT_EQ(ZYI_NamedLock(i), nullptr);
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);  // no lock yet: nothing happens, nothing is held
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);

  ZYI_CreateLocks();
  const char *names[] = {"PRINT",     "GET_MUTEX",      "CREATE_DIR",    "GET_PATH",
                         "GET_BITMAP", "GET_SOUND",     "GET_FONT",      "GET_SHADER",
                         "MAIN_LOOP", "RESOURCE_QUEUE", "SHARED_BITMAP", "CORE_IMP"};
  for (int i = 0; i < ZYI_LOCK_COUNT; i++) {
    ASSERT_NE(ZYI_NamedLock(i), nullptr);
    EXPECT_STREQ(ZYI_NamedLock(i)->name, names[i]);
    EXPECT_STREQ(ZYI_LockName(i), names[i]);
  }
  EXPECT_STREQ(ZYI_LockName(-1), "UNKNOWN");
  EXPECT_STREQ(ZYI_LockName(ZYI_LOCK_COUNT), "UNKNOWN");
  EXPECT_EQ(ZYI_NamedLock(ZYI_LOCK_COUNT), nullptr);
  ZYI_DeleteLocks();
  for (int i = 0; i < ZYI_LOCK_COUNT; i++) EXPECT_EQ(ZYI_NamedLock(i), nullptr);
  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
}

TEST_F(NamedLocks, NamedLockIsRecursiveForItsHolderAndKeepsOthersOut) {
  ZY_Mutex *lock = ZYI_NamedLock(ZYI_LOCK_GET_BITMAP);
  EXPECT_TRUE(FreeForOthers(lock));
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);  // the holder takes it again without blocking
  EXPECT_TRUE(lock->locked);
  EXPECT_FALSE(FreeForOthers(lock));
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  EXPECT_TRUE(lock->locked);
  EXPECT_FALSE(FreeForOthers(lock));
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  EXPECT_FALSE(lock->locked);
  EXPECT_TRUE(FreeForOthers(lock));
}

TEST_F(NamedLocks, UnlockingANamedLockNotHeldWarnsButNestedUseAndPrintDoNot) {
  UseProgram(true);
  zy::core.core_initialized = 1;
  zy::config.logging = 0;
  ZYI_LogOpen();
  testing::internal::CaptureStderr();
  ZYI_Unlock(ZYI_LOCK_GET_SHADER);  // no engine interface table yet: no popup
  EXPECT_EQ(CountInHistory("[POPUP] Trying to unlock mutex 'GET_SHADER' which is not locked!"), 0);
  zy::core.table_built = 1;

  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_PRINT);  // exempt: the popup itself takes PRINT
  EXPECT_EQ(CountInHistory("[POPUP] Trying to unlock mutex 'GET_SOUND' which is not locked!"), 0);

  ZYI_Unlock(ZYI_LOCK_GET_FONT);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountInHistory("[POPUP] Trying to unlock mutex 'GET_FONT' which is not locked!"), 1);
  EXPECT_NE(err.find("[popup] Test Game Warning: Trying to unlock mutex 'GET_FONT' which is not locked!"),
            std::string::npos)
      << err;
  EXPECT_EQ(err.find("PRINT"), std::string::npos);
  EXPECT_TRUE(FreeForOthers(ZYI_NamedLock(ZYI_LOCK_GET_FONT)));
}

TEST_F(NamedLocks, ReleasingALockHeldByAnotherThreadWarnsAndLeavesItHeld) {
  UseProgram(true);
  zy::core.table_built = 1;
  zy::core.core_initialized = 1;
  zy::config.logging = 0;
  ZYI_LogOpen();
  std::atomic<int> holding{0}, release{0};
  std::thread holder([&] {
    ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
    holding = 1;
    while (!release) ZYH_SleepMs(1);
    ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  });
  ASSERT_TRUE(WaitFor([&] { return holding.load() == 1; }));
  testing::internal::CaptureStderr();
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);  // not ours: warned about, changes nothing
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountInHistory("[POPUP] Trying to unlock mutex 'RESOURCE_QUEUE' which is not locked!"), 1);
  EXPECT_FALSE(FreeForOthers(ZYI_NamedLock(ZYI_LOCK_RESOURCE_QUEUE)));
  release = 1;
  holder.join();
  EXPECT_TRUE(FreeForOthers(ZYI_NamedLock(ZYI_LOCK_RESOURCE_QUEUE)));
}

// ---------------------------------------------------------------------------------
// Program mutexes
// ---------------------------------------------------------------------------------

TEST_F(ProgramMutexes, ProgramMutexesAreSharedByNameButEmptyNamesAlwaysCreate) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  ZY_Mutex *a = ZY_GetMutex("assets");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(ZY_GetMutex("assets"), a);
  EXPECT_NE(ZY_GetMutex("Assets"), a);  // names compare exactly
  EXPECT_EQ(CountInHistory("Created Mutex 'assets'.."), 1);

  ZY_Mutex *e1 = ZY_GetMutex("");
  ZY_Mutex *e2 = ZY_GetMutex("");
  ZY_Mutex *e3 = ZY_GetMutex(nullptr);
  ASSERT_TRUE(e1 && e2 && e3);
  EXPECT_NE(e1, e2);
  EXPECT_NE(e2, e3);
  EXPECT_EQ(CountInHistory("Created Mutex ''.."), 3);
}

TEST_F(ProgramMutexes, DestroyedMutexIsForgottenAndNamedLocksCannotBeDestroyed) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  ZY_Mutex *m = ZY_GetMutex("level");
  ZY_LockMutex(m);
  ZY_DestroyMutex(m);  // also when the caller still holds it
  ZY_Mutex *again = ZY_GetMutex("level");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(CountInHistory("Created Mutex 'level'.."), 2);
  EXPECT_EQ(zy::locks.mutex_count, 1);

  ZY_Mutex *unregistered = ZYI_CreateLock(nullptr);
  ZY_DestroyMutex(unregistered);  // not in the registry: deleted all the same
  EXPECT_EQ(zy::locks.mutex_count, 1);

  ZY_Mutex *shared = ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP);
  ZY_DestroyMutex(shared);
  ZY_DestroyMutex(ZYI_NamedLock(ZYI_LOCK_GET_MUTEX));
  ASSERT_EQ(ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP), shared);
  ZY_LockMutex(shared);  // still a working lock
  EXPECT_FALSE(FreeForOthers(shared));
  ZY_UnlockMutex(shared);
  EXPECT_NE(ZY_GetMutex("level"), nullptr);
  ZY_DestroyMutex(nullptr);
  ZY_LockMutex(nullptr);
  ZY_UnlockMutex(nullptr);
}

TEST_F(ProgramMutexes, ProgramMutexKeepsOtherThreadsOutUntilFullyReleased) {
  ZY_Mutex *m = ZY_GetMutex("save");
  ZY_LockMutex(m);
  ZY_LockMutex(m);
  EXPECT_FALSE(FreeForOthers(m));
  ZY_UnlockMutex(m);
  EXPECT_FALSE(FreeForOthers(m));
  ZY_UnlockMutex(m);
  EXPECT_TRUE(FreeForOthers(m));
  ZY_UnlockMutex(m);  // not held: ignored, the lock stays usable
  EXPECT_TRUE(FreeForOthers(m));
}

TEST_F(ProgramMutexes, ThreadsAskingForOneNameAtOnceShareOneMutexThatGuardsTheirWork) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  const int THREADS = 8, ROUNDS = 2000;
  ZY_Mutex *got[THREADS] = {};
  long counter = 0;  // plain on purpose: only the mutex protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < THREADS; t++)
    threads.emplace_back([&, t] {
      got[t] = ZY_GetMutex("shared");
      for (int i = 0; i < ROUNDS; i++) {
        ZY_LockMutex(got[t]);
        counter++;
        ZY_UnlockMutex(got[t]);
      }
    });
  for (auto &t : threads) t.join();
  for (int t = 1; t < THREADS; t++) EXPECT_EQ(got[t], got[0]);
  EXPECT_EQ(counter, (long)THREADS * ROUNDS);
  EXPECT_EQ(CountInHistory("Created Mutex 'shared'.."), 1);
}

// ---------------------------------------------------------------------------------
// Program threads and the registry
// ---------------------------------------------------------------------------------

TEST_F(ProgramThreads, ProgramThreadIsNamedAndCountedUntilItsFunctionReturns) {
  Gate gate;
  EXPECT_EQ(ZYI_LiveThreadCount(), 0);
  ZY_Thread *handle = ZY_CreateThread("Loader", WaitAtGate, &gate, 0);
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(WaitFor([&] { return gate.entered.load() == 1; }));
  EXPECT_EQ(ZYI_LiveThreadCount(), 1);
  EXPECT_EQ(gate.name_seen, "Loader");
  EXPECT_FALSE(gate.main_seen);
  EXPECT_TRUE(ZY_IsMainThread());
  EXPECT_STREQ(ZYI_CurrentThreadName(), "MAIN");
  gate.open = 1;
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == 0; }));
  EXPECT_EQ(gate.done.load(), 1);
}

TEST_F(ProgramThreads, ManyThreadsAreCountedTogetherAndEachKeepsItsOwnName) {
  const int N = 16;
  Gate gates[N];
  char names[N][16];
  for (int i = 0; i < N; i++) {
    snprintf(names[i], sizeof names[i], "worker%d", i);
    ASSERT_NE(ZY_CreateThread(names[i], WaitAtGate, &gates[i], 0), nullptr);
  }
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == N; }));
  for (int i = 0; i < N; i++) {
    ASSERT_TRUE(WaitFor([&] { return gates[i].entered.load() == 1; }));
    EXPECT_EQ(gates[i].name_seen, names[i]);
  }
  for (int i = 0; i < N; i++) gates[i].open = 1;
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == 0; }));
}

TEST_F(ProgramThreads, ThreadWithFlagsIsRefusedWithADeveloperPopup) {
  Gate gate;
  gate.open = 1;
  EXPECT_EQ(ZY_CreateThread("x", WaitAtGate, &gate, 1), nullptr);  // no program: silent
  EXPECT_EQ(ZY_CreateThread("x", nullptr, nullptr, 0), nullptr);

  UseProgram(true);
  zy::core.core_initialized = 1;
  zy::config.logging = 0;
  ZYI_LogOpen();
  testing::internal::CaptureStderr();
  EXPECT_EQ(ZY_CreateThread("x", WaitAtGate, &gate, 4), nullptr);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(CountInHistory(
                "[POPUP] ZY_CreateThread flags parm must be set to zero - reserved for future use."),
            1);
  EXPECT_NE(err.find("[popup] Test Game Warning: ZY_CreateThread flags parm"), std::string::npos)
      << err;

  // Only the thread started with flags 0 runs.
  ASSERT_NE(ZY_CreateThread("x", WaitAtGate, &gate, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return gate.done.load() >= 1 && ZYI_LiveThreadCount() == 0; }));
  EXPECT_EQ(gate.done.load(), 1);
}

TEST_F(ProgramThreads, MainLoopLockIsTakenByOtherThreadsOnlyAndIsANoOpOnTheMainThread) {
  ZY_Mutex *loop = ZYI_NamedLock(ZYI_LOCK_MAIN_LOOP);
  std::atomic<int> holding{0}, release{0};
  std::thread worker([&] {
    ZY_LockMainLoop();
    holding = 1;
    while (!release) ZYH_SleepMs(1);
    ZY_UnlockMainLoop();
    holding = 2;
  });
  ASSERT_TRUE(WaitFor([&] { return holding.load() == 1; }));
  EXPECT_FALSE(FreeForOthers(loop));
  ZY_LockMainLoop();  // returns at once although the worker holds MAIN_LOOP
  ZY_UnlockMainLoop();
  EXPECT_FALSE(ZYI_LockHeldByMe(loop));
  release = 1;
  worker.join();
  EXPECT_TRUE(FreeForOthers(loop));

  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);  // the frame holds it; the main thread's calls leave it be
  ZY_UnlockMainLoop();
  EXPECT_TRUE(ZYI_LockHeldByMe(loop));
  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
}

TEST_F(ProgramThreads, ThreadIdsDifferAndOnlyTheRecordedMainThreadIsMain) {
  uint32_t main_id = ZY_GetCurrentThreadId();
  uint32_t other_id = 0;
  bool other_main = true;
  std::string other_name;
  OnOtherThread([&] {
    other_id = ZY_GetCurrentThreadId();
    other_main = ZY_IsMainThread();
    other_name = ZYI_CurrentThreadName();  // a thread not started by the engine: nameless
  });
  EXPECT_EQ(main_id, zy::core.main_thread_id);
  EXPECT_NE(other_id, main_id);
  EXPECT_FALSE(other_main);
  EXPECT_EQ(other_name, "MAIN");
}

TEST_F(ProgramThreads, RegistrySurvivesStateResetAndShutdownWaitsForRunningThreads) {
  Gate gate;
  ASSERT_NE(ZY_CreateThread("Survivor", WaitAtGate, &gate, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return gate.entered.load() == 1; }));
  ZYI_ThreadsShutdown();  // a counted thread still runs: registry and ZYT_TIM are kept
  ZYFS_Shutdown();
  ZYI_DeleteLocks();
  ZYI_ResetState();       // what the next pre-initialisation does
  ASSERT_TRUE(ZYI_ThreadsInit());
  ZYI_CreateLocks();
  EXPECT_EQ(ZYI_LiveThreadCount(), 1);
  gate.open = 1;
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == 0; }));

  ZYI_ThreadsShutdown();  // nothing runs now: everything is released
  ASSERT_TRUE(ZYI_ThreadsInit());
  Gate second;
  second.open = 1;
  ASSERT_NE(ZY_CreateThread("Again", WaitAtGate, &second, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return second.done.load() == 1 && ZYI_LiveThreadCount() == 0; }));
  EXPECT_EQ(second.name_seen, "Again");
}

// ---------------------------------------------------------------------------------
// The log and popups from several threads
// ---------------------------------------------------------------------------------

namespace {

struct Writer {
  int index;
  int lines;
  std::atomic<int> *finished;
};

void WriteLines(void *arg) {
  Writer *w = (Writer *)arg;
  for (int i = 0; i < w->lines; i++) ZY_Log(i % 3, "writer %d line %d", w->index, i);
  w->finished->fetch_add(1);
}

void LogWithoutName(void *arg) {
  ZY_Print("nameless");
  ((std::atomic<int> *)arg)->store(1);
}

}  // namespace

TEST_F(ThreadedLog, LinesFromManyThreadsAreWholeNumberedInOrderAndNamed) {
  ZYI_LogOpen();
  ASSERT_TRUE(zy::log.started);
  const int THREADS = 4, LINES = 150;
  std::atomic<int> finished{0};
  Writer writers[THREADS];
  char names[THREADS][16];
  for (int t = 0; t < THREADS; t++) {
    writers[t] = {t, LINES, &finished};
    snprintf(names[t], sizeof names[t], "W%d", t);
    ASSERT_NE(ZY_CreateThread(names[t], WriteLines, &writers[t], 0), nullptr);
  }
  for (int i = 0; i < LINES; i++) ZY_Print("main line %d", i);
  ASSERT_TRUE(WaitFor([&] { return finished.load() == THREADS && ZYI_LiveThreadCount() == 0; }));

  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 2u + 1 + (THREADS + 1) * LINES);  // banner, "Logging started", lines
  int next_line[THREADS + 1] = {};
  for (size_t i = 2; i < lines.size(); i++) {
    const std::string &l = lines[i];
    char expect_number[16];
    snprintf(expect_number, sizeof expect_number, "%.4d: ", (int)i - 1);
    ASSERT_EQ(l.compare(0, 6, expect_number), 0) << l;
    if (i == 2) continue;
    int t, n;
    if (sscanf(l.c_str() + 17, "[W%d]> writer %*d line %d", &t, &n) == 2) {
      ASSERT_TRUE(t >= 0 && t < THREADS) << l;
      EXPECT_EQ(l.substr(17), std::string("[W") + std::to_string(t) + "]> writer " +
                                  std::to_string(t) + " line " + std::to_string(next_line[t]));
      EXPECT_EQ(n, next_line[t]++);
    } else {
      EXPECT_EQ(l.substr(17), "main line " + std::to_string(next_line[THREADS]++)) << l;
    }
  }
  for (int t = 0; t <= THREADS; t++) EXPECT_EQ(next_line[t], LINES);
  EXPECT_EQ(zy::log.level_counts[0] + zy::log.level_counts[1] + zy::log.level_counts[2],
            1 + (THREADS + 1) * LINES);
}

TEST_F(ThreadedLog, ThreadStartedWithoutANameLogsWithEmptyBrackets) {
  ZYI_LogOpen();
  std::atomic<int> done{0};
  ASSERT_NE(ZY_CreateThread(nullptr, LogWithoutName, &done, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return done.load() == 1 && ZYI_LiveThreadCount() == 0; }));
  std::vector<std::string> lines = FileLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().substr(17), "[]> nameless");
  ZYI_Lock(ZYI_LOCK_PRINT);
  const ZyLogRecord *r = ZYI_LogHistoryRecord(ZYI_LogHistoryCount() - 1);
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->thread_name, "");
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

namespace {

struct PopupFromWorker {
  std::atomic<int> result{-1};
  std::atomic<int> system_result{-1};
};

void RaisePopups(void *arg) {
  auto *p = (PopupFromWorker *)arg;
  ZY_Popup(ZY_LOG_WARNING, "first from worker %d", 1);
  p->system_result = ZYI_SystemPopup(ZY_LOG_ERROR, "system text from worker");
  p->result = ZY_Popup(ZY_LOG_ERROR, "second from worker");
}

}  // namespace

TEST_F(ThreadedPopups, DeveloperPopupsFromWorkersWaitForTheMainThreadInPostingOrder) {
  UseProgram(true);
  zy::core.core_initialized = 1;
  zy::config.logging = 0;
  ZYI_LogOpen();
  PopupFromWorker p;
  testing::internal::CaptureStderr();
  ASSERT_NE(ZY_CreateThread("Worker", RaisePopups, &p, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return p.result.load() != -1 && ZYI_LiveThreadCount() == 0; }));
  std::string before = testing::internal::GetCapturedStderr();
  EXPECT_EQ(p.result.load(), ZY_POPUP_OK);
  EXPECT_EQ(p.system_result.load(), ZY_POPUP_OK);
  EXPECT_EQ(before.find("[popup]"), std::string::npos) << before;  // nothing shown yet
  // Off the main thread the system popup is only logged.
  EXPECT_EQ(CountInHistory("system text from worker"), 1);
  EXPECT_EQ(CountInHistory("[POPUP] first from worker 1"), 1);

  testing::internal::CaptureStderr();
  ZYI_ShowQueuedPopups();
  ZYI_ShowQueuedPopups();  // the queue was emptied: nothing shown twice
  std::string shown = testing::internal::GetCapturedStderr();
  size_t first = shown.find("[popup] Test Game Warning: first from worker 1\n");
  size_t second = shown.find("[popup] Test Game Error: second from worker\n");
  ASSERT_NE(first, std::string::npos) << shown;
  ASSERT_NE(second, std::string::npos) << shown;
  EXPECT_LT(first, second);
  EXPECT_EQ(shown.find("[popup]", second + 1), std::string::npos) << shown;
  EXPECT_EQ(shown.find("system text"), std::string::npos);
}

TEST_F(ThreadedPopups, NonBlockingPopupsReturnAtOnceWhileAPopupThreadShowsTheBox) {
  UseProgram(false);
  zy::config.app_features = strdup("SHOW_FPS NON_BLOCKING_POPUPS");
  ZYI_SetNonBlockingPopups(true);

  // Until the core is initialised popups always block on the calling thread.
  testing::internal::CaptureStderr();
  EXPECT_EQ(ZYI_SystemPopup(ZY_LOG_WARNING, "still blocking"), ZY_POPUP_OK);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "[popup] ZYLEM Warning: still blocking\n");

  // Afterwards the call returns 1 at once, and the box comes from a "Popup" thread: the
  // child reads what the box echoes through a pipe only after the call has returned.
  zy::core.core_initialized = 1;
  auto r = RunAsMain([] {
    int fds[2];
    if (pipe(fds) != 0 || dup2(fds[1], 2) < 0) return;
    int32_t result = ZYI_SystemPopup(ZY_LOG_ERROR, "shown elsewhere");
    std::string box;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') box += c;
    printf("returned %d, box '%s'\n", result, box.c_str());
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "returned 1, box '[popup] Test Game Error: shown elsewhere'\n");

  // Cancel on such a box ends the process from the popup thread.
  r = RunAsMain([] {
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    ZYI_SystemPopup(ZY_LOG_WARNING, "cancelled elsewhere");
    for (int i = 0; i < 10000; i++) ZYH_SleepMs(1);
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "[popup] Test Game Warning: cancelled elsewhere\n");
  free(zy::config.app_features);
  zy::config.app_features = nullptr;
}

// ---------------------------------------------------------------------------------
// Clock
// ---------------------------------------------------------------------------------

TEST_F(EngineClock, CountsFromTheStartTimeAcrossTheWrap) {
  ZYH_ClockSetManual(true, 0xFFFFFF00u);
  zy::core.start_time = ZYH_TimeMs();
  EXPECT_EQ(ZY_GetTime(), 0u);
  ZYH_ClockAdvance(0x150);  // the platform counter wraps past zero
  EXPECT_EQ(ZY_GetTime(), 0x150u);
  ZY_Sleep(25);  // the manual clock moves instead of waiting
  EXPECT_EQ(ZY_GetTime(), 0x150u + 25);
  ZYH_ClockSetManual(false, 0);

  int32_t values[6] = {};
  EXPECT_EQ(ZY_GetDateTime(values), values);
  int now[6];
  ZYH_LocalDateTime(now);
  EXPECT_GE(values[0], 2000);
  EXPECT_GE(values[1], 1);
  EXPECT_LE(values[1], 12);
  EXPECT_GE(values[2], 1);
  EXPECT_LE(values[2], 31);
  EXPECT_LE(values[3], 23);
  EXPECT_LE(values[4], 59);
  EXPECT_LE(values[5], 60);
  EXPECT_EQ(values[0], now[0]);  // same source as the host's calendar time
  EXPECT_EQ(ZY_GetDateTime(nullptr), nullptr);
}
