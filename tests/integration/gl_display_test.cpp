// rmod_gl in a window (under Xvfb in CI): a change between windowed and fullscreen needs a
// new window, so the renderer answers Reinit with false and the engine starts it again on
// the new window; the game goes on drawing at the new size.
#include <stdlib.h>

#include "zytest.h"

namespace {

class GlDisplay : public ZyTest {};

TEST_F(GlDisplay, WindowedToFullscreenStartsTheRendererAgainOnANewWindow) {
  if (!getenv("DISPLAY") || !getenv("DISPLAY")[0]) GTEST_SKIP() << "needs a display: run under xvfb-run -a";
  if (!zytest::FileExists(zytest::BuildDir() + "/modules/rmod_gl.so")) GTEST_SKIP() << "rmod_gl is not built";
  zytest::Game game;
  game.modules = {"rmod_gl"}, game.renderer = "rmod_gl", game.resolutions = "320x240,1280x1024";
  zytest::MakeGame(world.game(), game);
  const std::string shot = world.root() + "/after.png";
  zytest::RunResult r = zytest::RunZylem(world, {"--game", world.game(), "--renderer", "rmod_gl", "--frames", "8",
                                                 "--screenshot", shot, "--", "quit=100", "switch=1280x1024:fs"});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  EXPECT_NE(r.log.find("[prog] display change asked: 1"), std::string::npos) << r.log;
  const size_t change = r.log.find("Applying ReInit");
  ASSERT_NE(change, std::string::npos) << r.log;
  // After the change: the renderer shut down, a new window, the renderer initialised again.
  const size_t down = r.log.find("Zylem RendImp Shutdown.", change);
  const size_t window = r.log.find("Created Window (1280x1024)", change);
  const size_t again = r.log.find("rmod_gl: 1280x1024 in the window", change);
  EXPECT_TRUE(down != std::string::npos && window > down && again != std::string::npos && again > window) << r.log;
  zytest::Image after;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(shot, &after, &error)) << error;
  EXPECT_EQ(after.width, 1280);
  EXPECT_EQ(after.height, 1024);
}

}  // namespace
