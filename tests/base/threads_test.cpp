// Named locks, program mutexes, program threads and the thread registry, and the log and
// popups as seen from several threads. Every suite here runs threads against
// each other (and under ThreadSanitizer); waits are bounded loops, never timings.
#include <unistd.h>

#include <map>

#include "core_fixture.h"

class LockThreads : public CoreTest {};
class ProgramThreads : public CoreTest {};
class LogThreads : public CoreTest {};
class PopupThreads : public CoreTest {};

namespace {

// Whether another thread could take the lock right now.
bool FreeForOthers(ZY_Mutex *lock) {
  bool got = false;
  std::thread([&] {
    if ((got = ZYH_TryLock(lock->cs))) ZYH_Unlock(lock->cs);
  }).join();
  return got;
}

// A program thread that records what it sees and waits until opened.
struct Gate {
  std::atomic<int> entered{0}, open{0};
  std::string name_seen;
  bool main_seen = true;
};

void WaitAtGate(void *arg) {
  Gate *g = (Gate *)arg;
  g->name_seen = ZYI_CurrentThreadName(), g->main_seen = ZY_IsMainThread(), g->entered = 1;
  while (!g->open.load()) ZYH_SleepMs(1);
}

}  // namespace

TEST_F(LockThreads, ReleasingANamedLockNotHeldWarnsButNestedUseAndPrintDoNot) {
  UseProgram(true, true);
  zy::core.table_built = 0;  // no table yet: nothing could show the warning
  ZYI_Unlock(ZYI_LOCK_GET_SHADER);
  zy::core.table_built = 1;
  testing::internal::CaptureStderr();  // the boxes of the warnings
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_PRINT);  // exempt: the popup itself takes PRINT
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
  std::thread([] { ZYI_Unlock(ZYI_LOCK_GET_FONT); }).join();  // also on another thread
  testing::internal::GetCapturedStderr();
  for (auto c : {std::pair<const char *, int>{"GET_SHADER", 0}, {"GET_SOUND", 0}, {"PRINT", 0}, {"GET_FONT", 2}})
    EXPECT_EQ(CountInHistory(std::string("[POPUP] Trying to unlock mutex '") + c.first + "' which is not locked!"), c.second)
        << c.first;
}

TEST_F(LockThreads, LocksAreRecursiveForTheirHolderAndProgramMutexesAreSharedByName) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  ZY_Mutex *a = ZY_GetMutex("assets");
  EXPECT_TRUE(a && ZY_GetMutex("assets") == a && ZY_GetMutex("Assets") != a);  // names compare exactly
  EXPECT_TRUE(FreeForOthers(ZYI_NamedLock(ZYI_LOCK_GET_MUTEX)));  // also after a name was found
  EXPECT_NE(ZY_GetMutex(""), ZY_GetMutex(nullptr));  // no name: always a new one
  for (ZY_Mutex *lock : {ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP), a}) {
    ZY_LockMutex(lock);
    ZY_LockMutex(lock);
    ZY_UnlockMutex(lock);
    EXPECT_TRUE(lock->locked && !FreeForOthers(lock));
    ZY_UnlockMutex(lock);
    EXPECT_TRUE(!lock->locked && FreeForOthers(lock));
    ZY_UnlockMutex(lock);  // not held: ignored, the lock stays usable
    ZY_LockMutex(lock);
    EXPECT_FALSE(FreeForOthers(lock));
    ZY_DestroyMutex(lock);  // also when the caller still holds it; never a named lock
  }
  EXPECT_FALSE(FreeForOthers(ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP)));  // still there and held
  ZY_UnlockMutex(ZYI_NamedLock(ZYI_LOCK_SHARED_BITMAP));
  EXPECT_NE(ZY_GetMutex("assets"), nullptr);
  EXPECT_EQ(CountInHistory("Created Mutex 'assets'.."), 2);  // forgotten once destroyed
  ZY_DestroyMutex(ZYI_CreateLock(nullptr));  // not in the registry: deleted all the same
  EXPECT_EQ(zy::locks.mutex_count, 4);
  ZY_DestroyMutex(nullptr);
  ZY_LockMutex(nullptr);
  ZYI_Lock(-1);  // out of range: nothing happens
}

TEST_F(LockThreads, ThreadsAskingForOneNameAtOnceShareOneMutexThatGuardsTheirWork) {
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

TEST_F(ProgramThreads, ThreadsAreNamedAndCountedUntilTheirFunctionsReturnAndFlagsAreRefused) {
  const int N = 16;
  Gate gates[N];
  for (int i = 0; i < N; i++) ASSERT_NE(ZY_CreateThread(("w" + std::to_string(i)).c_str(), WaitAtGate, &gates[i], 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == N; }));
  for (int i = 0; i < N; i++) {
    ASSERT_TRUE(WaitFor([&] { return gates[i].entered.load() == 1; }));
    EXPECT_EQ(gates[i].name_seen + (gates[i].main_seen ? " main" : ""), "w" + std::to_string(i));
  }
  for (int i = 0; i < N; i++) gates[i].open = 1;
  ASSERT_TRUE(WaitFor([&] { return ZYI_LiveThreadCount() == 0; }));
  bool other_main = true;  // a thread the engine did not start is not the main thread
  std::thread([&] { other_main = ZY_IsMainThread(); }).join();
  EXPECT_FALSE(other_main);

  Gate never;
  EXPECT_EQ(ZY_CreateThread("x", WaitAtGate, &never, 1), nullptr);  // no program: silent
  EXPECT_EQ(ZY_CreateThread("x", nullptr, nullptr, 0), nullptr);
  UseProgram(true, true);
  EXPECT_EQ(ZY_CreateThread("x", WaitAtGate, &never, 4), nullptr);
  EXPECT_EQ(CountInHistory("[POPUP] ZY_CreateThread flags parm must be set to zero - reserved for future use."), 1);
  EXPECT_EQ(never.entered.load() + ZYI_LiveThreadCount(), 0);
}

TEST_F(ProgramThreads, MainLoopLockIsTakenByOtherThreadsOnlyAndIsANoOpOnTheMainThread) {
  ZY_Mutex *loop = ZYI_NamedLock(ZYI_LOCK_MAIN_LOOP);
  std::atomic<int> holding{0}, release{0};
  std::thread worker([&] {
    ZY_LockMainLoop();
    holding = 1;
    while (!release) ZYH_SleepMs(1);
    ZY_UnlockMainLoop();
  });
  ASSERT_TRUE(WaitFor([&] { return holding.load() == 1; }));
  EXPECT_FALSE(FreeForOthers(loop));
  ZY_LockMainLoop();  // returns at once although the worker holds MAIN_LOOP
  ZY_UnlockMainLoop();
  EXPECT_FALSE(ZYI_LockHeldByMe(loop));
  release = 1;
  worker.join();
  EXPECT_TRUE(FreeForOthers(loop));
}

namespace {

struct Writer {
  int index, lines;
  std::atomic<int> *finished;
};

void WriteLines(void *arg) {
  Writer *w = (Writer *)arg;
  for (int i = 0; i < w->lines; i++) ZY_Log(i % 3, "writer %d line %d", w->index, i);
  w->finished->fetch_add(1);
}

}  // namespace

TEST_F(LogThreads, LinesFromManyThreadsAreWholeNumberedInOrderAndNamed) {
  ZYI_LogOpen();
  const int THREADS = 4, LINES = 150;
  std::atomic<int> finished{0};
  Writer writers[THREADS + 1];
  for (int t = 0; t <= THREADS; t++) {
    writers[t] = {t, t < THREADS ? LINES : 1, &finished};
    std::string name = t < THREADS ? "W" + std::to_string(t) : "";  // the last thread has no name
    ASSERT_NE(ZY_CreateThread(t < THREADS ? name.c_str() : nullptr, WriteLines, &writers[t], 0), nullptr);
  }
  for (int i = 0; i < LINES; i++) ZY_Print("main line %d", i);
  ASSERT_TRUE(WaitFor([&] { return finished.load() == THREADS + 1 && ZYI_LiveThreadCount() == 0; }));
  std::vector<std::string> bodies = FileLines(), lines = FileLines(false);
  ASSERT_EQ(lines.size(), 3u + (THREADS + 1) * LINES + 1);  // banner, "Logging started", lines
  std::map<std::string, int> next, want;  // per writer the next line it must show
  for (size_t i = 3; i < lines.size(); i++) {
    ASSERT_EQ(atoi(lines[i].c_str()), (int)i - 1) << lines[i];  // numbered in file order
    std::string who = bodies[i].substr(0, bodies[i].find(" line "));
    ASSERT_EQ(bodies[i], who + " line " + std::to_string(next[who]++));
  }
  for (int t = 0; t < THREADS; t++) want["[W" + std::to_string(t) + "]> writer " + std::to_string(t)] = LINES;
  want["[]> writer 4"] = 1, want["main"] = LINES;
  EXPECT_EQ(next, want);  // whole lines, each named after its thread
}

namespace {

struct PopupFromWorker {
  std::atomic<int> result{-1}, system_result{-1};
};

void RaisePopups(void *arg) {
  auto *p = (PopupFromWorker *)arg;
  ZY_Popup(ZY_LOG_WARNING, "first from worker %d", 1);
  p->system_result = ZYI_SystemPopup(ZY_LOG_ERROR, "system text from worker");
  p->result = ZY_Popup(ZY_LOG_ERROR, "second from worker");
}

}  // namespace

TEST_F(PopupThreads, DeveloperPopupsFromWorkersWaitForTheMainThreadInPostingOrder) {
  UseProgram(true, true);
  PopupFromWorker p;
  testing::internal::CaptureStderr();
  ASSERT_NE(ZY_CreateThread("Worker", RaisePopups, &p, 0), nullptr);
  ASSERT_TRUE(WaitFor([&] { return p.result.load() != -1 && ZYI_LiveThreadCount() == 0; }));
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("[popup]"), std::string::npos);  // nothing shown yet
  EXPECT_EQ(p.result.load() * 10 + p.system_result.load(), ZY_POPUP_OK * 11);
  EXPECT_EQ(CountInHistory("system text from worker"), 1);  // off the main thread: only logged
  EXPECT_EQ(CountInHistory("[POPUP] first from worker 1"), 1);
  testing::internal::CaptureStderr();
  ZYI_ShowQueuedPopups();
  ZYI_ShowQueuedPopups();  // the queue was emptied: nothing shown twice
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[popup] Test Game Warning: first from worker 1\n[popup] Test Game Error: second from worker\n");
}

TEST_F(PopupThreads, NonBlockingPopupsReturnAtOnceWhileAPopupThreadShowsTheBox) {
  UseProgram(false);
  zy::config.app_features = strdup("SHOW_FPS NON_BLOCKING_POPUPS");
  ZYI_SetNonBlockingPopups(true);
  // Once the core is up the call returns 1 at once and a "Popup" thread shows the box:
  // the child reads the box's echo through a pipe only after the call has returned.
  zy::core.core_initialized = 1;
  auto r = RunAsMain([] {
    int fds[2];
    if (pipe(fds) != 0 || dup2(fds[1], 2) < 0) return;
    int32_t result = ZYI_SystemPopup(ZY_LOG_ERROR, "shown elsewhere");
    std::string box;
    for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) box += c;
    printf("returned %d, box '%s'\n", result, box.c_str());
  });
  EXPECT_EQ(r.out, "returned 1, box '[popup] Test Game Error: shown elsewhere'\n");
  r = RunAsMain([] {  // Cancel on such a box ends the process from the popup thread
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    ZYI_SystemPopup(ZY_LOG_WARNING, "cancelled elsewhere");
    for (int i = 0; i < 10000; i++) ZYH_SleepMs(1);
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.err, "[popup] Test Game Warning: cancelled elsewhere\n");
}
