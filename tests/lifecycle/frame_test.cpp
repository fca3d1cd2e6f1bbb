// The work of one frame: delta clamping, render passes (stereo), the drawing state every
// pass starts from, re-initialisation requests and the display rotation angle.
#include <math.h>

#include <string>
#include <vector>

#include "../engine/draw_test.h"
#include "lifecycle/resolution.h"
#include "lifecycle/boot.h"
#include "base/log.h"
#include "lifecycle/interface_table.h"
#include "../base/core_fixture.h"
#include "lifecycle/log_file.h"
#include "config/config.h"
#include "lifecycle/state.h"

namespace {

// What the program saw.
std::vector<float> updates;
std::vector<float> draws;

bool Init() { return true; }
void Update(float dt) { updates.push_back(dt); }
void Draw(float dt) { draws.push_back(dt); }

// A renderer that records frames and mode changes on top of the drawing calls.
class FrameRenderer : public drawtest::RecordingRenderer {
 public:
  void BeginFrame(int32_t eye) override { calls.push_back("BeginFrame " + std::to_string(eye)); }
  void EndFrame() override { calls.push_back("EndFrame"); }
  bool Reinit(int32_t w, int32_t h, bool windowed) override {
    calls.push_back("Reinit " + std::to_string(w) + "x" + std::to_string(h) +
                    (windowed ? " w" : " fs"));
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
    prog.init = Init;
    prog.update = Update;
    prog.draw = Draw;
    prog.parms.width = 640;
    prog.parms.height = 480;
    prog.parms.windowed = 1;
    zy::core.current_parms = zy::core.applied_parms = prog.parms;
    ZYI_ResetModules();
    ZYI_DrawReset();
    zy::modules.renderer = &renderer;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    prog.zy = ZYI_BuildEngineInterface();
    zy::core.table_built = 1;
    ASSERT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();
    zy::core.renderer_ready = 1;
    zy::core.core_initialized = 1;
    ZYI_LogOpen();
    renderer.calls.clear();
  }
  void TearDown() override {
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    zy::modules.renderer = nullptr;
    CoreTest::TearDown();
  }
  int Count(const std::string &call) const {
    int n = 0;
    for (auto &c : renderer.calls) n += c == call;
    return n;
  }
  std::string History() const {
    std::string all;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int i = 0; i < ZYI_LogHistoryCount(); i++)
      all += ZYI_LogHistoryRecord(i)->text + std::string("\n");
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return all;
  }
};

}  // namespace

TEST_F(Frame, DeltaIsClampedBackwardsToOneAndStallsToThirty) {
  ZYI_Frame(-5);
  ZYI_Frame(250);
  ZYI_Frame(200);
  ASSERT_EQ(updates.size(), 3u);
  EXPECT_FLOAT_EQ(updates[0], 0.001f);
  EXPECT_FLOAT_EQ(updates[1], 0.030f);
  EXPECT_FLOAT_EQ(updates[2], 0.200f);
  EXPECT_NE(History().find("********************* Found negative time delta in ZYI_Frame: -5"),
            std::string::npos);
}

TEST_F(Frame, ZeroDeltaDrawsWithoutUpdating) {
  ZYI_Frame(0);
  EXPECT_TRUE(updates.empty());
  EXPECT_EQ(draws.size(), 1u);
}

TEST_F(Frame, NothingHappensBeforeCoreInitialisation) {
  zy::core.core_initialized = 0;
  ZYI_Frame(16);
  EXPECT_TRUE(updates.empty());
  EXPECT_TRUE(renderer.calls.empty());
}

TEST_F(Frame, StereoUpdatesOnceAndDrawsBothEyes) {
  zy::core.render_stereo = 1;
  ZYI_Frame(16);
  EXPECT_EQ(updates.size(), 1u);
  EXPECT_EQ(draws.size(), 2u);
  EXPECT_EQ(Count("BeginFrame 1"), 1);
  EXPECT_EQ(Count("BeginFrame 2"), 1);
  EXPECT_EQ(Count("BeginFrame 0"), 0);
  EXPECT_EQ(Count("EndFrame"), 1);
}

TEST_F(Frame, EveryPassStartsWithBlendAndRenderModeSentAgain) {
  ZYI_Frame(16);
  ZYI_Frame(16);
  // The modes are forgotten at every pass start, so the frame's own reset reaches the
  // renderer each frame even though the values do not change.
  EXPECT_EQ(Count("SetBlendMode 0"), 2);
  EXPECT_EQ(Count("SetRenderMode 1"), 2);
}

TEST_F(Frame, ReinitialisationThatChangesNothingLeavesTheRendererAlone) {
  zy::core.reinit_requested = 1;
  ZYI_Frame(16);
  EXPECT_EQ(zy::core.reinit_requested, 0);
  EXPECT_EQ(History().find("Applying ReInit"), std::string::npos);
  for (auto &c : renderer.calls) EXPECT_EQ(c.find("Reinit"), std::string::npos) << c;
}

TEST_F(Frame, ReinitialisationToANewModeChangesItInPlaceAndTellsTheProgram) {
  zy::core.current_parms.width = 800;
  zy::core.current_parms.height = 600;
  zy::core.reinit_requested = 1;
  ZYI_Frame(16);
  EXPECT_NE(History().find("Applying ReInit: 640x480 (w) -> 800x600 (w)"), std::string::npos);
  EXPECT_EQ(Count("Reinit 800x600 w"), 1);
  EXPECT_EQ(prog.parms.width, 800);
  EXPECT_EQ(zy::core.applied_parms.height, 600);
}

TEST_F(Frame, SmallFullscreenRequestIsNormalisedToWindowed) {
  zy::core.current_parms.width = 320;
  zy::core.current_parms.height = 240;
  zy::core.current_parms.windowed = 0;
  zy::core.reinit_requested = 1;
  ZYI_Frame(16);
  EXPECT_EQ(Count("Reinit 320x240 w"), 1);
  EXPECT_EQ(ZYI_NormalizeWindowed(1280, 720, 0), 0);
  EXPECT_EQ(ZYI_NormalizeWindowed(639, 720, 0), 1);
}

TEST_F(Frame, UnbalancedTransformsAreReportedAtFrameEnd) {
  prog.draw = [](float) { ZY_PushTransform(nullptr); };
  testing::internal::CaptureStderr();
  ZYI_Frame(16);
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("Transform stack is not empty at frame end: there are 1 more "
                       "zy->PushTransform calls than zy->PopTransform calls."),
            std::string::npos)
      << shown;
  ZY_PopTransform();
}

TEST(RotationAngle, EasesBetweenOrientations) {
  ZYI_ResetState();
  zy::core.orientation = zy::core.target_orientation = 8;
  EXPECT_FLOAT_EQ(ZYI_DisplayRotationAngle(), 90.0f);
  zy::core.orientation = 2;
  EXPECT_FLOAT_EQ(ZYI_DisplayRotationAngle(), 180.0f);
  zy::core.orientation = 4;
  EXPECT_FLOAT_EQ(ZYI_DisplayRotationAngle(), -90.0f);
  // Half way from 4 (-90) to 8 (90): w = 1 - cos(sin(pi/4) * pi/2).
  zy::core.target_orientation = 8;
  zy::core.orientation_duration = 2.0f;
  zy::core.orientation_timer = 1.0f;
  float w = 1.0f - cosf(sinf(0.5f * 1.5707963f) * 1.5707963f);
  EXPECT_NEAR(ZYI_DisplayRotationAngle(), (1 - w) * -90.0f + w * 90.0f, 1e-4);
}
