// How runs of the real zylem end: failed screenshots, and program threads still running
// at shut-down (counted from creation, never left in unloaded code).
#include <unistd.h>

#include <atomic>

#include "base/threads.h"
#include "zytest.h"

struct ZylemRun : ZyTest {
  zytest::RunResult Run(const char *kind, std::vector<std::string> args) {
    zytest::Game game;
    game.modules = {"rmod_soft"}, game.renderer = "rmod_soft", game.variant = "";
    zytest::MakeGame(world.game(), game);
    return zytest::RunGame(world, "rmod_soft", args, {std::string("ZYTEST_PROGRAM=") + kind});
  }
};
using LauncherErrors = ZylemRun;
using ShutdownThreads = ZylemRun;

TEST_F(LauncherErrors, ScreenshotsFailLoudlyAndLandWhereZylemStarted) {
  char kept[4096];
  ASSERT_TRUE(getcwd(kept, sizeof kept) && chdir(world.root().c_str()) == 0);
  std::string missing = world.root() + "/no/such/folder/shot.png";
  zytest::RunResult failed = Run("", {"--frames", "2", "--screenshot", missing});
  zytest::RunResult written = Run("", {"--frames", "2", "--screenshot", "shot.png"});
  ASSERT_EQ(chdir(kept), 0);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("zylem: screenshot to '" + missing + "' failed"), std::string::npos);
  EXPECT_EQ(written.status, 0) << written.err;
  EXPECT_EQ(zytest::ReadFile(world.root() + "/shot.png").find("PNG"), 1u);
  EXPECT_FALSE(zytest::FileExists(world.game() + "/shot.png"));
}

TEST_F(ShutdownThreads, ThreadIsCountedBeforeItRuns) {
  static std::atomic<bool> release;
  release = false;
  int32_t before = (ZYI_ThreadsInit(), ZYI_LiveThreadCount());
  for (int i = 1; i <= 50; i++) {
    ZY_CreateThread("waiter", [](void *) { while (!release) usleep(1000); }, nullptr, 0);
    EXPECT_EQ(ZYI_LiveThreadCount(), before + i);
  }
  for (release = true; ZYI_LiveThreadCount() > before;) usleep(1000);
}

TEST_F(ShutdownThreads, LeftoverThreadsNeverRunInUnloadedCode) {
  for (int run = 0; run < 3; run++) {  // a crash in unloaded code shows as status 139
    zytest::RunResult r = Run("lingering", {"--", "quit=3"});
    EXPECT_EQ(r.status, 0) << "run " << run << "\n" << r.err;
    EXPECT_NE(r.log.find("Time out: 1 threads left running!"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("[prog] late thread done"), std::string::npos) << r.log;
  }
}
