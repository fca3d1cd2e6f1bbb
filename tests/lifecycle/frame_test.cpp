// The work of one frame: delta clamping, the drawing state every render
// pass starts from, and re-initialisation requests.
#include <math.h>

#include "../base/core_fixture.h"
#include "../engine/engine_test.h"
#include "lifecycle/boot.h"

typedef std::vector<std::string> Lines;

namespace {

std::vector<float> updates, draws;  // what the program saw

// A renderer that records mode changes on top of the drawing calls.
class FrameRenderer : public enginetest::Recorder {
 public:
  bool Reinit(int32_t w, int32_t h, bool windowed) override {
    Note("Reinit %dx%d %s", w, h, windowed ? "w" : "fs");
    return true;
  }
};

class Frame : public CoreTest {
 protected:
  FrameRenderer renderer;

  void SetUp() override {
    CoreTest::SetUp();
    updates.clear();
    draws.clear();
    UseProgram(true);
    zy::config.developer_mode = 1;
    prog.update = [](float dt) { updates.push_back(dt); };
    prog.draw = [](float dt) { draws.push_back(dt); };
    prog.parms.width = 640, prog.parms.height = 480, prog.parms.windowed = 1;
    zy::core.current_parms = zy::core.applied_parms = prog.parms;
    ZYI_ResetModules();
    ZYI_DrawReset();
    zy::modules.renderer = &renderer, zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    prog.zy = ZYI_BuildEngineInterface();
    zy::core.table_built = zy::core.renderer_ready = zy::core.core_initialized = 1;
    ASSERT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();
    ZYI_LogOpen();
    renderer.calls.clear();
  }
  void TearDown() override {
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    ZYI_InputShutdown();  // the re-initialisation's events
    zy::modules.renderer = nullptr;
    CoreTest::TearDown();
  }
};

}  // namespace

TEST_F(Frame, DeltaIsClampedBackwardsToOneAndStallsToThirtyAndZeroOnlyDraws) {
  for (int delta : {-5, 250, 200, 0}) ZYI_Frame(delta);
  std::vector<long> ms;  // the deltas the program saw, in milliseconds
  for (float dt : updates) ms.push_back(lroundf(dt * 1000));
  EXPECT_EQ(ms, (std::vector<long>{1, 30, 200}));
  EXPECT_EQ(draws.size(), 4u);
  EXPECT_EQ(CountInHistory("********************* Found negative time delta in ZYI_Frame: -5"), 1);
  zy::core.core_initialized = 0;  // nothing happens before core initialisation
  renderer.calls.clear();
  ZYI_Frame(16);
  EXPECT_EQ(updates.size(), 3u);
  EXPECT_TRUE(renderer.calls.empty());
}

TEST_F(Frame, EveryPassStartsWithBlendAndRenderModeSentAgain) {
  // The modes are forgotten at every pass start, so the frame's own reset reaches the
  // renderer each frame even though the values do not change.
  ZYI_Frame(16);
  ZYI_Frame(16);
  EXPECT_EQ(renderer.Calls("SetBlendMode"), (Lines{"SetBlendMode 0", "SetBlendMode 0"}));
  EXPECT_EQ(renderer.Calls("SetRenderMode"), (Lines{"SetRenderMode 1", "SetRenderMode 1"}));
}

TEST_F(Frame, ReinitialisationChangesTheModeInPlaceOnlyWhenItDiffers) {
  struct Case { int32_t w, h; uint8_t windowed; const char *call; } cases[] = {
      {640, 480, 1, nullptr},  // nothing changes: the renderer is left alone
      {800, 600, 1, "Reinit 800x600 w"}, {320, 240, 0, "Reinit 320x240 w"}};  // too small for fullscreen
  for (const Case &c : cases) {
    renderer.calls.clear();
    zy::core.current_parms.width = c.w, zy::core.current_parms.height = c.h;
    zy::core.current_parms.windowed = c.windowed;
    zy::core.reinit_requested = 1;
    ZYI_Frame(16);
    EXPECT_EQ(zy::core.reinit_requested, 0);
    EXPECT_EQ(renderer.Calls("Reinit"), c.call ? Lines{c.call} : Lines{}) << c.w;
    EXPECT_EQ(prog.parms.width * 1000 + prog.parms.height, c.w * 1000 + c.h);  // the program is told
  }
  EXPECT_EQ(ZYI_NormalizeWindowed(1280, 720, 0) * 10 + ZYI_NormalizeWindowed(639, 720, 0), 1);
}
