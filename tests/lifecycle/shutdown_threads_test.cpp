// shutdown_threads_test.cpp — program threads against shut-down: counted from the moment
// they are created, waited for when the program starts them while shutting down, and
// never left running in unloaded code (the real zylem, run several times).
#include <atomic>

#include "base/threads.h"
#include "host/host.h"
#include "zytest.h"

using ShutdownThreads = ZyTest;

TEST_F(ShutdownThreads, ThreadIsCountedBeforeItRuns) {
  ASSERT_TRUE(ZYI_ThreadsInit());
  static std::atomic<bool> release{false};
  release = false;
  int32_t before = ZYI_LiveThreadCount();
  for (int i = 1; i <= 50; i++) {
    ZY_CreateThread("waiter", [](void *) { while (!release.load()) ZYH_SleepMs(1); }, nullptr, 0);
    ASSERT_EQ(ZYI_LiveThreadCount(), before + i);
  }
  release = true;
  while (ZYI_LiveThreadCount() > before) ZYH_SleepMs(1);
}

TEST_F(ShutdownThreads, LeftoverThreadsNeverRunInUnloadedCode) {
  zytest::InstallProgram("lingering", world.game());
  for (const char *m : {"rmod_record", "smod_record", "imod_record"})
    zytest::InstallModule(m, world.game());
  zytest::WriteFile(world.game() + "/prog.xml", R"(<?xml version="1.0"?><zylem><array id="PARAMETERS">
    <node id="APPLICATION" program_id="zytest.lingering" name="Lingering" developer="Zytest"/>
    <node id="DEVELOPER" logging="1" console="1" logging_verbose_level="INFO"/></array>
    <array id="VARIANTS"><node id="LINUX" renderer_implementation="rmod_record"
      sound_implementation="smod_record" input_implementations="imod_record"/></array></zylem>)");
  struct Case {
    const char *args, *logged;
  } cases[] = {{"forever=1", "Time out: 1 threads left running!"},
               {"late=1", "[prog] late thread done"}};
  for (const Case &c : cases)
    for (int run = 0; run < 3; run++) {
      auto r = zytest::RunZylem(world, {"--game", world.game(), "--headless", "--renderer",
                                        "rmod_record", "--", c.args});
      EXPECT_EQ(r.status, 0) << c.args << " run " << run << "\n" << r.err;
      EXPECT_NE(r.log.find(c.logged), std::string::npos) << c.args << "\n" << r.log;
    }
}
