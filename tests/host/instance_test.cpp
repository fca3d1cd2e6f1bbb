// The single-instance guard: the first start holds the lock, a second start of the same
// game asks it to come forward and stops, another game sharing the id goes on, and a lock
// left by a process that ended never blocks the next start.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host/backend.h"
#include "zytest.h"

namespace {

// ZYH_InstanceLock in a child process; its result comes back on stdout.
int LockInChild(const char *id, const char *title) {
  zytest::RunResult r = zytest::RunInChild([&] { printf("%d", ZYH_InstanceLock(id, title)); });
  EXPECT_EQ(r.status, 0) << r.err;
  return r.out.empty() ? -99 : atoi(r.out.c_str());
}

bool CollectName(const char *name, bool, void *user) {
  ((std::vector<std::string> *)user)->push_back(name);
  return true;
}

std::vector<std::string> Names(const std::string &dir) {
  std::vector<std::string> names;
  ZYH_ListDir(dir.c_str(), CollectName, &names);
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
  ASSERT_EQ(ZYH_InstanceLock("com.example.game", "My Game"), 1);
  EXPECT_EQ(ZYH_InstanceLock("com.example.game", "My Game"), 1);  // asking again is harmless
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());

  std::string record = zytest::ReadFile(world.runtime() + "/zylem-com.example.game.lock");
  EXPECT_EQ(record, std::to_string(getpid()) + "\nMy Game\n");

  EXPECT_EQ(LockInChild("com.example.game", "My Game"), 0);
  EXPECT_TRUE(ZYH_InstanceRaiseRequested());
  EXPECT_FALSE(ZYH_InstanceRaiseRequested()) << "one request is answered once";

  EXPECT_EQ(LockInChild("com.example.game", "Another Game"), -1);
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());
  // The holder's record is untouched by the processes that lost.
  EXPECT_EQ(zytest::ReadFile(world.runtime() + "/zylem-com.example.game.lock"), record);
}

TEST_F(Instance, LockOfAnEndedProcessIsTakenOver) {
  EXPECT_EQ(LockInChild("game", "Title"), 1);  // the child ends and its lock with it
  EXPECT_EQ(ZYH_InstanceLock("game", "Title"), 1);
  EXPECT_EQ(zytest::ReadFile(world.runtime() + "/zylem-game.lock"),
            std::to_string(getpid()) + "\nTitle\n");
}

TEST_F(Instance, TitlesWithLineBreaksAreComparedWhole) {
  ASSERT_EQ(ZYH_InstanceLock("game", "Line one\nLine two"), 1);
  EXPECT_EQ(LockInChild("game", "Line one"), -1);
  EXPECT_EQ(LockInChild("game", "Line one\nLine two"), 0);
  EXPECT_TRUE(ZYH_InstanceRaiseRequested());
}

TEST_F(Instance, InstanceIdsAreSafeFileNames) {
  // A hostile id must not leave the runtime folder, and ids that differ only in unsafe
  // characters must stay different locks.
  EXPECT_EQ(LockInChild("../escape me", "T"), 1);
  EXPECT_EQ(Names(world.root()), (std::vector<std::string>{"game", "home", "run"}));
  std::vector<std::string> files = Names(world.runtime());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].find('/'), std::string::npos);
  EXPECT_EQ(files[0].compare(0, 6, "zylem-"), 0) << files[0];

  ASSERT_EQ(ZYH_InstanceLock("a b", "T"), 1);
  EXPECT_EQ(LockInChild("a_b", "T"), 1);
  EXPECT_EQ(LockInChild("a b", "T"), 0);
}

TEST_F(Instance, PlantedLinkIsNeverFollowed) {
  std::string victim = world.root() + "/victim.txt";
  zytest::WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), (world.runtime() + "/zylem-game.lock").c_str()), 0);
  EXPECT_EQ(ZYH_InstanceLock("game", "Title"), -1);
  EXPECT_EQ(zytest::ReadFile(victim), "precious");
}

TEST_F(Instance, WithoutARuntimeFolderTheLockLivesInTmp) {
  unsetenv("XDG_RUNTIME_DIR");
  std::string id = "zylem-host-test-" + std::to_string(getpid());
  std::string path = "/tmp/zylem-" + std::to_string(geteuid()) + "-" + id + ".lock";
  EXPECT_EQ(LockInChild(id.c_str(), "Title"), 1);
  EXPECT_EQ(ZYH_PathKind(path.c_str()), 1);
  unlink(path.c_str());
  unlink((path + ".raise").c_str());
}
