// Threads, recursive locks and the clock: what the engine's locks and frame pacing rely
// on. Waits in these tests are bounded loops on a condition, never timing assertions.
#include <atomic>
#include <thread>

#include "host/host.h"
#include "zytest.h"

namespace {

// Waits until cond() holds, up to about 10 seconds; false on time-out.
template <class Cond>
bool WaitFor(Cond cond) {
  for (int i = 0; i < 10000; i++) {
    if (cond()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return cond();
}

struct ThreadProbe {
  std::atomic<int> ran{0};
  std::atomic<uint32_t> id{0};
  int value = 0;
};

void ProbeMain(void *arg) {
  auto *probe = (ThreadProbe *)arg;
  probe->id = ZYH_ThreadId();
  probe->value *= 2;
  probe->ran = 1;
}

struct TryProbe {
  ZyhLock *lock;
  std::atomic<int> result{-1};
  std::atomic<int> held_by_me{-1};
};

void TryFromOtherThread(void *arg) {
  auto *p = (TryProbe *)arg;
  p->held_by_me = ZYH_LockHeldByMe(p->lock);
  bool got = ZYH_TryLock(p->lock);
  if (got) ZYH_Unlock(p->lock);
  p->result = got;
}

int TryOnAnotherThread(ZyhLock *lock, int *held_by_other = nullptr) {
  TryProbe probe;
  probe.lock = lock;
  EXPECT_NE(ZYH_StartThread(TryFromOtherThread, &probe), nullptr);
  EXPECT_TRUE(WaitFor([&] { return probe.result != -1; }));
  if (held_by_other) *held_by_other = probe.held_by_me;
  return probe.result;
}

}  // namespace

TEST(Threads, StartedThreadRunsTheFunctionWithItsArgumentOnAnotherThread) {
  ThreadProbe probe;
  probe.value = 21;
  void *handle = ZYH_StartThread(ProbeMain, &probe);
  ASSERT_NE(handle, nullptr);
  ASSERT_TRUE(WaitFor([&] { return probe.ran == 1; }));
  EXPECT_EQ(probe.value, 42);
  EXPECT_NE(probe.id.load(), 0u);
  EXPECT_NE(probe.id.load(), ZYH_ThreadId());

  ThreadProbe second;
  void *handle2 = ZYH_StartThread(ProbeMain, &second);
  ASSERT_TRUE(WaitFor([&] { return second.ran == 1; }));
  EXPECT_NE(handle2, handle);  // handles are tokens, distinct for every thread
  EXPECT_EQ(ZYH_StartThread(nullptr, nullptr), nullptr);
}

TEST(Locks, OwnerTakesItAgainWithoutBlockingAndOthersAreKeptOut) {
  ZyhLock *lock = ZYH_LockCreate();
  ASSERT_NE(lock, nullptr);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  EXPECT_EQ(TryOnAnotherThread(lock), 1);  // free: another thread gets it

  ZYH_Lock(lock);
  ZYH_Lock(lock);  // recursion must not deadlock
  EXPECT_TRUE(ZYH_TryLock(lock));
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  int other_thinks_it_holds = -1;
  EXPECT_EQ(TryOnAnotherThread(lock, &other_thinks_it_holds), 0);
  EXPECT_EQ(other_thinks_it_holds, 0);

  // Still held until the last of the three releases.
  ZYH_Unlock(lock);
  ZYH_Unlock(lock);
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  EXPECT_EQ(TryOnAnotherThread(lock), 0);
  ZYH_Unlock(lock);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  EXPECT_EQ(TryOnAnotherThread(lock), 1);
  ZYH_LockDestroy(lock);
  ZYH_LockDestroy(nullptr);
}

TEST(Locks, UnlockByAThreadThatDoesNotHoldItChangesNothing) {
  ZyhLock *lock = ZYH_LockCreate();
  ZYH_Lock(lock);
  std::thread stranger([&] { ZYH_Unlock(lock); });
  stranger.join();
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  EXPECT_EQ(TryOnAnotherThread(lock), 0);
  ZYH_Unlock(lock);
  ZYH_Unlock(lock);  // one too many: ignored, and the lock stays usable
  EXPECT_EQ(TryOnAnotherThread(lock), 1);
  ZYH_Lock(lock);
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  ZYH_Unlock(lock);
  ZYH_LockDestroy(lock);
}

TEST(Locks, BlockedThreadGetsTheLockWhenTheOwnerReleasesIt) {
  ZyhLock *lock = ZYH_LockCreate();
  std::atomic<int> counter{0};
  ZYH_Lock(lock);
  std::thread waiter([&] {
    ZYH_Lock(lock);
    counter = counter + 1;
    ZYH_Unlock(lock);
  });
  EXPECT_EQ(counter.load(), 0);  // cannot have passed the lock yet
  ZYH_Unlock(lock);
  waiter.join();
  EXPECT_EQ(counter.load(), 1);
  ZYH_LockDestroy(lock);
}

TEST(Clock, DifferencesStayRightAcrossTheWrap) {
  ZYH_ClockSetManual(true, 0xFFFFFFF0u);
  uint32_t before = ZYH_TimeMs();
  EXPECT_EQ(before, 0xFFFFFFF0u);
  ZYH_ClockAdvance(10);
  uint32_t mid = ZYH_TimeMs();
  ZYH_ClockAdvance(30);  // passes 0xFFFFFFFF
  uint32_t after = ZYH_TimeMs();
  EXPECT_EQ(after, 24u);
  EXPECT_EQ((uint32_t)(after - before), 40u);
  EXPECT_EQ((uint32_t)(after - mid), 30u);
  ZYH_ClockSetManual(false, 0);
}

TEST(Clock, SleepOnTheManualClockAdvancesItInsteadOfWaiting) {
  ZYH_ClockSetManual(true, 1000);
  ZYH_SleepMs(250);
  ZYH_SleepMs(3600u * 1000u);  // an hour: would hang the test on the real clock
  EXPECT_EQ(ZYH_TimeMs(), 1000u + 250u + 3600u * 1000u);
  ZYH_ClockSetManual(false, 0);
}

TEST(Clock, LocalDateTimeIsAPlausibleCalendarTime) {
  int t[6];
  ZYH_LocalDateTime(t);
  EXPECT_GE(t[0], 2024);
  EXPECT_GE(t[1], 1);
  EXPECT_LE(t[1], 12);
  EXPECT_GE(t[2], 1);
  EXPECT_LE(t[2], 31);
  EXPECT_LE(t[3], 23);
  EXPECT_LE(t[4], 59);
  EXPECT_LE(t[5], 60);
}
