// The posix layer: library names and the failures a module loader must report, and the
// single-instance guard (a second start of the same game asks the first to come forward,
// a lock left by an ended process never blocks, hostile ids and planted links do no harm).
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include "host/backend.h"
#include "zytest.h"

namespace {

// ZYH_InstanceLock in a child process: 1 holds it, 0 asked the holder, -1 another game.
int LockInChild(const char *id, const char *title) {
  zytest::RunResult r = zytest::RunInChild([&] { printf("%d", ZYH_InstanceLock(id, title)); });
  return r.status == 0 && !r.out.empty() ? atoi(r.out.c_str()) : -99;
}

std::vector<std::string> Names(const std::string &dir) {
  std::vector<std::string> names;
  auto add = [](const char *name, bool, void *user) { return ((std::vector<std::string> *)user)->push_back(name), true; };
  ZYH_ListDir(dir.c_str(), add, &names);
  return names;
}

// Each test starts without the lock, also when all of them run in one process.
class Instance : public ZyTest {
 protected:
  void SetUp() override { ZYH_InstanceRelease(); }
  void TearDown() override { ZYH_InstanceRelease(); }
};

}  // namespace

TEST(LibraryName, OnlyATrailingDllOfAnyCaseBecomesSoAndANameThatDoesNotFitIsRefused) {
  const struct { const char *name; size_t size; const char *want; } cases[] = {
      {"A.DLL", 256, "A.so"}, {"rmod_Soft.Dll", 256, "rmod_Soft.so"}, {"/games/x.dll/y.DLL", 256, "/games/x.dll/y.so"},
      {"x.dll.txt", 256, "x.dll.txt"}, {"dll", 256, "dll"}, {"mods.dll/prog", 256, "mods.dll/prog"}, {nullptr, 256, ""},
      {"prog.dll", 8, "prog.so"}, {"prog.dll", 7, ""}, {"x.dll.txt", 9, ""}};  // a cut name would open another file
  for (auto &c : cases) {
    char buf[256];
    EXPECT_EQ(std::string(ZYH_LibraryFileName(c.name, buf, c.size)), c.want) << (c.name ? c.name : "(null)") << c.size;
  }
}

TEST_F(ZyTest, MissingBrokenAndSystemLibrariesAreRefusedWithTheReason) {
  zytest::WriteFile(world.game() + "/broken.so", "this is not an ELF file");
  // libc is on the system path of every process; a bare module name must not find it.
  const struct { std::string name; int error; } cases[] = {
      {"absent.dll", ENOENT}, {world.game() + "/broken.dll", ENOEXEC}, {"libc.so.6", ENOENT}};
  for (auto &c : cases) {
    EXPECT_EQ(ZYH_LoadLibrary(c.name.c_str()), nullptr) << c.name;
    EXPECT_EQ(ZYH_LastError(), c.error) << c.name;
    EXPECT_STRNE(ZYH_LastErrorText(), "") << c.name;
  }
  EXPECT_EQ(ZYH_LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(ZYH_LoadLibrary(""), nullptr);
}

TEST_F(Instance, SecondStartOfTheSameGameAsksTheFirstToComeForwardAndAnEndedOneIsTakenOver) {
  EXPECT_EQ(LockInChild("game", "Line one\nLine two"), 1);  // the child ends and its lock with it
  ASSERT_EQ(ZYH_InstanceLock("game", "Line one\nLine two") + ZYH_InstanceLock("game", "Line one\nLine two"), 2);
  std::string path = world.runtime() + "/zylem-game.lock", record = zytest::ReadFile(path);
  EXPECT_EQ(record, std::to_string(getpid()) + "\nLine one\nLine two\n");
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());
  EXPECT_EQ(LockInChild("game", "Line one\nLine two"), 0);
  EXPECT_TRUE(ZYH_InstanceRaiseRequested());
  EXPECT_FALSE(ZYH_InstanceRaiseRequested()) << "one request is answered once";
  EXPECT_EQ(LockInChild("game", "Line one"), -1);  // another game sharing the id: titles compare whole
  EXPECT_FALSE(ZYH_InstanceRaiseRequested());
  EXPECT_EQ(zytest::ReadFile(path), record);  // untouched by the processes that lost
}

TEST_F(Instance, HostileIdsStayInsideTheRuntimeFolderAndPlantedLinksAreNeverFollowed) {
  EXPECT_EQ(LockInChild("../escape me", "T"), 1);
  EXPECT_EQ(Names(world.root()), (std::vector<std::string>{"game", "home", "run"}));
  std::vector<std::string> files = Names(world.runtime());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].compare(0, 6, "zylem-"), 0) << files[0];
  ASSERT_EQ(ZYH_InstanceLock("a b", "T"), 1);  // ids that differ only in unsafe characters differ
  EXPECT_EQ(LockInChild("a_b", "T"), 1);
  EXPECT_EQ(LockInChild("a b", "T"), 0);
  std::string victim = world.root() + "/victim.txt";
  zytest::WriteFile(victim, "precious");
  ASSERT_EQ(symlink(victim.c_str(), (world.runtime() + "/zylem-game.lock").c_str()), 0);
  ZYH_InstanceRelease();
  EXPECT_EQ(ZYH_InstanceLock("game", "Title"), -1);
  EXPECT_EQ(zytest::ReadFile(victim), "precious");
}
