// Recursive locks of the posix layer, what the engine's locks rely on: the owner takes a
// lock again without blocking, only its last release frees it, a stranger's release
// changes nothing. (The engine's thread suites contend for these locks too.)
#include <thread>

#include "host/host.h"
#include "zytest.h"

namespace {

// Whether another thread can take the lock now (a thread that thinks it holds it: no).
bool FreeForOthers(ZyhLock *lock) {
  bool got = false;
  std::thread([&] {
    if (!ZYH_LockHeldByMe(lock) && (got = ZYH_TryLock(lock))) ZYH_Unlock(lock);
  }).join();
  return got;
}

}  // namespace

TEST(HostLockThreads, OwnerTakesItAgainWithoutBlockingAndOnlyItsLastReleaseFreesIt) {
  ZyhLock *lock = ZYH_LockCreate();
  ASSERT_NE(lock, nullptr);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  EXPECT_TRUE(FreeForOthers(lock));
  ZYH_Lock(lock);
  ZYH_Lock(lock);  // recursion must not deadlock
  EXPECT_TRUE(ZYH_TryLock(lock));
  EXPECT_FALSE(FreeForOthers(lock));
  ZYH_Unlock(lock);
  ZYH_Unlock(lock);
  std::thread([&] { ZYH_Unlock(lock); }).join();  // a stranger's release changes nothing
  EXPECT_TRUE(ZYH_LockHeldByMe(lock));
  EXPECT_FALSE(FreeForOthers(lock));
  ZYH_Unlock(lock);
  EXPECT_FALSE(ZYH_LockHeldByMe(lock));
  ZYH_Unlock(lock);  // one too many: ignored, and the lock stays usable
  EXPECT_TRUE(FreeForOthers(lock));
  ZYH_Lock(lock);
  EXPECT_FALSE(FreeForOthers(lock));
  ZYH_Unlock(lock);
  ZYH_LockDestroy(lock);
  ZYH_LockDestroy(nullptr);
}
