// launcher_errors_test.cpp — the launcher's --screenshot through the real zylem: a
// screenshot that cannot be written is an error with a non-zero exit status, and a
// relative name is taken from the folder zylem was started in, not the game folder.
#include <limits.h>
#include <unistd.h>

#include "zytest.h"

class LauncherErrors : public ZyTest {
 protected:
  void SetUp() override {
    zytest::InstallProgram("normal", world.game());
    zytest::InstallModule("rmod_soft", world.game());
    zytest::WriteFile(world.game() + "/prog.xml", R"(<?xml version="1.0"?><zylem>
      <array id="PARAMETERS"><node id="APPLICATION" program_id="zytest.shot" name="Shot"
        developer="Zytest" version="1.0"/></array>
      <array id="VARIANTS"><node id="LINUX" renderer_implementation="rmod_soft"/></array></zylem>)");
  }
  // Runs two frames and the screenshot from the folder `start`.
  zytest::RunResult Shoot(const std::string &start, const std::string &shot) {
    char kept[PATH_MAX];
    EXPECT_NE(getcwd(kept, sizeof kept), nullptr);
    EXPECT_EQ(chdir(start.c_str()), 0);
    auto r = zytest::RunZylem(world, {"--game", world.game(), "--headless", "--frames", "2",
                                      "--screenshot", shot, "--", "quit=1000"});
    EXPECT_EQ(chdir(kept), 0);
    return r;
  }
};

TEST_F(LauncherErrors, ScreenshotThatCannotBeWrittenFailsTheRun) {
  auto r = Shoot(world.root(), world.root() + "/no/such/folder/shot.png");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("zylem: screenshot to '" + world.root() + "/no/such/folder/shot.png' failed"),
            std::string::npos) << r.err;
}

TEST_F(LauncherErrors, RelativeScreenshotNameIsTakenFromTheStartingFolder) {
  auto r = Shoot(world.root(), "shot.png");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(zytest::ReadFile(world.root() + "/shot.png").find("PNG"), 1u);
  EXPECT_FALSE(zytest::FileExists(world.game() + "/shot.png"));
}
