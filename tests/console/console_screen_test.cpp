// The console and the diagnostics on screen, driven by a scripted input file through a
// real zylem run: the console opens with the toggle character, completes a command name,
// hands it to the program with Enter, filters the history by what is typed and highlights
// the matches; SHOW_FPS and F3's frame-time graph show in developer mode. The game folder
// has no core/console.mft, so everything is drawn with the built-in font.
#include "zytest.h"

namespace {

// Pixels of the picture within the rectangle whose colour is near (r, g, b).
int CountNear(const zytest::Image &img, int x0, int y0, int x1, int y1, int r, int g, int b) {
  int n = 0;
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      const uint8_t *p = img.At(x, y);
      n += abs(p[0] - r) < 40 && abs(p[1] - g) < 40 && abs(p[2] - b) < 40;
    }
  return n;
}

}  // namespace

using ConsoleScreen = ZyTest;

TEST_F(ConsoleScreen, CompletesACommandHandsItOverAndFiltersTheHistoryWithHighlights) {
  zytest::Game g;
  g.modules = {"rmod_soft"}, g.renderer = "rmod_soft", g.resolutions = "320x240", g.variant = "";
  zytest::MakeGame(world.game(), g);
  const std::string script = world.root() + "/input.txt", shot = world.root() + "/shot.png";
  zytest::WriteFile(script, "2 char 167\n3 text spa\n3 key down TAB\n4 char 13\n5 text spawn\n");
  zytest::RunResult r = zytest::RunGame(world, "rmod_soft", {"--input-script", script, "--frames", "120",
                                        "--screenshot", shot, "--", "quit=1000"}, {"ZYTEST_PROGRAM=input"});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  EXPECT_NE(r.log.find("[prog] command 'spawn_monster'"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("input 1 115"), std::string::npos) << "typed characters reached the program";
  zytest::Image img;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(shot, &img, &error)) << error;
  // The panel covers the top 80% (192 rows) in its blue at 0.6 over black; the rest is
  // the program's.
  EXPECT_GT(CountNear(img, 120, 60, 300, 140, 31, 46, 77), 4000) << "no console panel";
  EXPECT_EQ(CountNear(img, 0, 200, 320, 240, 31, 46, 77), 0) << "the panel reaches too far";
  // Filtered by "spawn": the two lines holding it (the typed command and the program's
  // answer) show it in the highlight colour, and only they: above them, where the boot
  // log would go, no text is left.
  EXPECT_GT(CountNear(img, 100, 130, 320, 175, 0x11, 0x99, 0xff), 40) << "no highlighted match";
  EXPECT_LT(CountNear(img, 0, 0, 300, 125, 255, 255, 255), 5) << "unfiltered lines are shown";
}

TEST_F(ConsoleScreen, ShowFpsAndTheFrameTimeGraphAppearInDeveloperMode) {
  zytest::Game g;
  g.modules = {"rmod_soft"}, g.renderer = "rmod_soft", g.resolutions = "320x240", g.variant = "";
  g.features = "SHOW_FPS";
  zytest::MakeGame(world.game(), g);
  const std::string script = world.root() + "/input.txt", shot = world.root() + "/shot.png";
  zytest::WriteFile(script, "2 key down 114\n2 mouse 200 200\n");
  zytest::RunResult r = zytest::RunGame(world, "rmod_soft", {"--input-script", script, "--frames", "40",
                                        "--screenshot", shot, "--", "quit=1000"}, {"ZYTEST_PROGRAM=input"});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  zytest::Image img;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(shot, &img, &error)) << error;
  // F3: a dark box from (10, 10), 300 wide and 100 high, the red 33 ms line at y 77 and
  // the green frame-time line near the bottom (frames of a few milliseconds).
  EXPECT_GT(CountNear(img, 150, 20, 300, 70, 0, 0, 0), 5000) << "no graph box";
  EXPECT_GT(CountNear(img, 20, 76, 300, 79, 128, 0, 0), 200) << "no 33 ms line";
  EXPECT_GT(CountNear(img, 20, 80, 300, 111, 0, 255, 0), 100) << "no frame-time line";
  // SHOW_FPS: the rate in white from (2, 2), left of the graph.
  EXPECT_GT(CountNear(img, 1, 1, 10, 14, 255, 255, 255), 4) << "no frame rate";
}
