// The single-instance guard: the first start holds the lock, a second start of the same
// game asks it to come forward and stops, another game sharing the id goes on, and a lock
// left by a process that ended never blocks the next start.
#include <unistd.h>

#include "host/backend.h"
#include "zytest.h"

namespace {

// ZYH_InstanceLock in a child process: 1 holds it, 0 asked the holder, -1 another game.
int LockInChild(const char *id, const char *title) {
  zytest::RunResult r = zytest::RunInChild([&] { printf("%d", ZYH_InstanceLock(id, title)); });
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out.empty() ? -99 : atoi(r.out.c_str());
}

std::vector<std::string> Names(const std::string &dir) {
  std::vector<std::string> names;
  ZYH_ListDir(dir.c_str(), [](const char *name, bool, void *user) {
    ((std::vector<std::string> *)user)->push_back(name);
    return true;
  }, &names);
  return names;
}

// Each test starts without the lock, also when all of them run in one process.
class Instance : public ZyTest {
 protected:
  void SetUp() override { ZYH_InstanceRelease(); }
  void TearDown() override { ZYH_InstanceRelease(); }
};

}  // namespace

TEST_F(Instance, SecondStartOfTheSameGameAsksTheFirstToComeForward) {
  ASSERT_EQ(ZYH_InstanceLock("com.example.game", "Line one\nLine two"), 1);
  EXPECT_EQ(ZYH_InstanceLock("com.example.game", "Line one\nLine two"), 1);  // asking again is harmless
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());
  std::string path = world.runtime() + "/zylem-com.example.game.lock";
  std::string record = zytest::ReadFile(path);
  EXPECT_EQ(record, std::to_string(getpid()) + "\nLine one\nLine two\n");
  EXPECT_EQ(LockInChild("com.example.game", "Line one\nLine two"), 0);
  EXPECT_TRUE(ZYH_InstanceRaiseRequested());
  EXPECT_FALSE(ZYH_InstanceRaiseRequested()) << "one request is answered once";
  EXPECT_EQ(LockInChild("com.example.game", "Line one"), -1);  // titles compare whole
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());
  EXPECT_EQ(zytest::ReadFile(path), record);  // untouched by the processes that lost
}

TEST_F(Instance, LockOfAnEndedProcessIsTakenOver) {
  EXPECT_EQ(LockInChild("game", "Title"), 1);  // the child ends and its lock with it
  EXPECT_EQ(ZYH_InstanceLock("game", "Title"), 1);
  EXPECT_EQ(zytest::ReadFile(world.runtime() + "/zylem-game.lock"), std::to_string(getpid()) + "\nTitle\n");
}

TEST_F(Instance, HostileIdsStayInsideTheRuntimeFolderAndPlantedLinksAreNeverFollowed) {
  // Ids that differ only in unsafe characters must stay different locks.
  EXPECT_EQ(LockInChild("../escape me", "T"), 1);
  EXPECT_EQ(Names(world.root()), (std::vector<std::string>{"game", "home", "run"}));
  std::vector<std::string> files = Names(world.runtime());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].compare(0, 6, "zylem-"), 0) << files[0];
  ASSERT_EQ(ZYH_InstanceLock("a b", "T"), 1);
  EXPECT_EQ(LockInChild("a_b", "T"), 1);
  EXPECT_EQ(LockInChild("a b", "T"), 0);

  std::string victim = world.root() + "/victim.txt";
  zytest::WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), (world.runtime() + "/zylem-game.lock").c_str()), 0);
  ZYH_InstanceRelease();
  EXPECT_EQ(ZYH_InstanceLock("game", "Title"), -1);
  EXPECT_EQ(zytest::ReadFile(victim), "precious");
}
