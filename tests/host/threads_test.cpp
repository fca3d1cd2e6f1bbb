// Threads and recursive locks of the posix layer, what the engine's locks rely on, and
// the calendar clock. Waits are bounded loops on a condition, never timing assertions.
#include <atomic>
#include <thread>

#include "host/host.h"
#include "zytest.h"

namespace {

// Whether another thread can take the lock now, and whether it thinks it holds it.
bool FreeForOthers(ZyhLock *lock, bool *other_holds = nullptr) {
  bool got = false, holds = true;
  std::thread([&] {
    holds = ZYH_LockHeldByMe(lock);
    if ((got = ZYH_TryLock(lock))) ZYH_Unlock(lock);
  }).join();
  if (other_holds) *other_holds = holds;
  return got;
}

struct Probe {
  std::atomic<int> ran{0};
  std::atomic<uint32_t> id{0};
  int value = 21;
};

}  // namespace

TEST(HostThreads, StartedThreadRunsTheFunctionWithItsArgumentOnAnotherThread) {
  Probe a, b;
  auto run = [](void *arg) {
    Probe *p = (Probe *)arg;
    p->value *= 2;
    p->id = ZYH_ThreadId();
    p->ran = 1;
  };
  void *first = ZYH_StartThread(run, &a), *second = ZYH_StartThread(run, &b);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);  // handles are tokens, distinct for every thread
  for (int i = 0; i < 10000 && !(a.ran && b.ran); i++) ZYH_SleepMs(1);
  ASSERT_TRUE(a.ran && b.ran);
  EXPECT_EQ(a.value, 42);
  EXPECT_NE(a.id.load(), ZYH_ThreadId());
  EXPECT_NE(a.id.load(), b.id.load());
  EXPECT_EQ(ZYH_StartThread(nullptr, nullptr), nullptr);
}

TEST(HostLockThreads, OwnerTakesItAgainWithoutBlockingAndOnlyItsLastReleaseFreesIt) {
  ZyhLock *lock = ZYH_LockCreate();
  ASSERT_NE(lock, nullptr);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  EXPECT_TRUE(FreeForOthers(lock));
  ZYH_Lock(lock);
  ZYH_Lock(lock);  // recursion must not deadlock
  EXPECT_TRUE(ZYH_TryLock(lock));
  bool other_holds = true;
  EXPECT_FALSE(FreeForOthers(lock, &other_holds));
  EXPECT_FALSE(other_holds);
  ZYH_Unlock(lock);
  ZYH_Unlock(lock);
  std::thread([&] { ZYH_Unlock(lock); }).join();  // a stranger's unlock changes nothing
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  EXPECT_FALSE(FreeForOthers(lock));
  ZYH_Unlock(lock);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  ZYH_Unlock(lock);  // one too many: ignored, and the lock stays usable
  EXPECT_TRUE(FreeForOthers(lock));
  ZYH_LockDestroy(lock);
  ZYH_LockDestroy(nullptr);
}

TEST(HostLockThreads, ThreadsContendingForALockNeverOverlap) {
  ZyhLock *lock = ZYH_LockCreate();
  long counter = 0;  // plain on purpose: only the lock protects it
  std::atomic<int> inside{0}, overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; t++)
    threads.emplace_back([&] {
      for (int i = 0; i < 5000; i++) {
        ZYH_Lock(lock);
        if (inside.fetch_add(1) != 0) overlaps++;
        counter++;
        inside.fetch_sub(1);
        ZYH_Unlock(lock);
      }
    });
  for (auto &t : threads) t.join();
  EXPECT_EQ(counter, 20000);
  EXPECT_EQ(overlaps.load(), 0);
  ZYH_LockDestroy(lock);
}

TEST(HostClock, LocalDateTimeIsAPlausibleCalendarTime) {
  int t[6];
  ZYH_LocalDateTime(t);
  EXPECT_GE(t[0], 2024);
  EXPECT_TRUE(t[1] >= 1 && t[1] <= 12 && t[2] >= 1 && t[2] <= 31) << t[1] << "-" << t[2];
  EXPECT_TRUE(t[3] <= 23 && t[4] <= 59 && t[5] <= 60);
}
