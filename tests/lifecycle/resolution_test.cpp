// Resolution selection (both passes, forcing, the fallback table), the start-up
// override and orientation rules, reinitialisation requests, and autoscaling with its
// frame transform and bars.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/config.h"
#include "lifecycle/resolution.h"
#include "base/locks.h"
#include "base/state.h"
#include "engine/modules.h"
#include "host/host.h"
#include "zylem_modules.h"
#include "zytest.h"
#include "lifecycle/state.h"

namespace {

ZY_ProgramInterface program;

bool InitTrue(void) { return true; }
void Frame(float) {}

RendImp *RecordingRenderer() {
  std::string path = zytest::BuildDir() + "/modules/rmod_record.so";
  void *lib = ZYH_LoadLibrary(path.c_str());
  if (!lib) return nullptr;
  auto get = (ZYLEM_RendImp_GetInterfaceFunc)ZYH_GetSymbol(lib, ZYLEM_RENDIMP_GET_INTERFACE_NAME);
  return get ? get() : nullptr;
}

// Applies a row-major 4x4 transform to the point (x, y, 0, 1).
void Apply(const float m[16], float x, float y, float *ox, float *oy) {
  *ox = m[0] * x + m[1] * y + m[3];
  *oy = m[4] * x + m[5] * y + m[7];
}

class ResolutionTest : public ZyTest {
 protected:
  void SetUp() override {
    setenv("ZYLEM_RECORD_FILE", record_path().c_str(), 1);
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
    ZYI_ResetState();
    ZYI_CreateLocks();
    memset(&program, 0, sizeof program);
    program.interface_version = ZY_INTERFACE_VERSION;
    program.init = InitTrue;
    program.update = program.draw = Frame;
    zy::core.prog = &program;
    zy::core.orientation = zy::core.target_orientation = 8;
  }
  void TearDown() override {
    ZYH_WindowDestroy();
    ZYI_ConfigFree();
    ZYI_DeleteLocks();
  }

  std::string record_path() const { return world.root() + "/record.txt"; }
  static void Desktop(const char *size) {
    setenv("ZYLEM_HEADLESS_SCREEN", size, 1);
    ZYI_ReadDesktopSize();
  }
  static void List(const char *list) { zy::config.resolutions = strdup(list); }
  static int32_t Width() { return zy::core.current_parms.width; }
  // The mode chosen, as "<width>x<height>".
  static std::string Mode() {
    return std::to_string(Width()) + "x" + std::to_string(zy::core.current_parms.height);
  }
};

}  // namespace

TEST_F(ResolutionTest, AspectPassPicksTheEarliestEntryClosestToTheDesktopShape) {
  Desktop("1920x1080");
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  List("1024x768,1280x720,1366x768");
  ASSERT_TRUE(ZYI_SelectResolution(false, false));
  EXPECT_EQ(Mode(), "1280x720");
  EXPECT_EQ(zy::core.current_parms.windowed, 0);
  // Fullscreen modes are the renderer's to judge.
  std::string record = zytest::ReadFile(record_path());
  EXPECT_NE(record.find("IsModeSupported 1280x720"), std::string::npos);

  // A close shape within 0.03 of an earlier one never replaces it.
  free(zy::config.resolutions);
  List("1366x768,1280x720");
  ASSERT_TRUE(ZYI_SelectResolution(false, false));
  EXPECT_EQ(Width(), 1366);
}

TEST_F(ResolutionTest, WindowedModesMustFitTheDesktopWithRoomForTheFrame) {
  Desktop("1280x800");
  List("1280x720,1024x600");
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Mode(), "1024x600");
  EXPECT_EQ(zy::core.current_parms.windowed, 1);
  EXPECT_TRUE(ZYI_IsResolutionSupported(1230, 730, true));
  EXPECT_FALSE(ZYI_IsResolutionSupported(1231, 730, true));
  EXPECT_FALSE(ZYI_IsResolutionSupported(1230, 731, true));
  // Without a renderer a fullscreen mode is not supported.
  EXPECT_FALSE(ZYI_IsResolutionSupported(1024, 600, false));
}

TEST_F(ResolutionTest, ForcedResolutionIsTakenWhateverTheList) {
  Desktop("1920x1080");
  List("1920x1080");
  zy::config.force_resolution = 1;
  zy::config.forced_width = 640;
  zy::config.forced_height = 480;
  ASSERT_TRUE(ZYI_SelectResolution(false, false));
  EXPECT_EQ(Mode(), "640x480");
  EXPECT_TRUE(ZYI_IsResolutionSupported(640, 480, false));  // no renderer needed
  EXPECT_FALSE(ZYI_IsResolutionSupported(640, 481, false));
}

TEST_F(ResolutionTest, ForcedVariantWithoutScreenSizeUsesTheTypicalFallback) {
  Desktop("1920x1080");
  List("*");
  zy::config.force_variant = strdup("IOS/SMALL");
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Mode(), "960x640");
  free(zy::config.force_variant);
  zy::config.force_variant = strdup("LINUX");
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Mode(), "1280x720");
  // A forced variant accepts any mode, even one larger than the desktop.
  EXPECT_TRUE(ZYI_IsResolutionSupported(4000, 3000, true));
}

TEST(TypicalFallback, FollowsThePlatformPrefixAndSizeClass) {
  struct Case {
    const char *variant;
    int32_t w, h;
  } cases[] = {
      {"IOS/SMALL", 960, 640},     {"IOS/LARGE", 1024, 768},  {"IOS", 1024, 768},
      {"WEBOS/SMALL", 480, 320},   {"WINDOWS_PHONE", 800, 480}, {"WINDOWS_RT/SMALL", 1280, 720},
      {"LINUX/LARGE", 1280, 720},  {"ANDROID/SMALL", 854, 480}, {"XBOX", 800, 600},
      {nullptr, 800, 600},
  };
  for (const Case &c : cases) {
    int32_t w = 0, h = 0;
    ZYI_TypicalFallbackResolution(c.variant, &w, &h);
    EXPECT_EQ(w, c.w) << (c.variant ? c.variant : "(null)");
    EXPECT_EQ(h, c.h) << (c.variant ? c.variant : "(null)");
  }
}

TEST_F(ResolutionTest, StarWithoutScreenOrForcedVariantTakesTheReferenceResolution) {
  Desktop("1920x1080");
  List("*");
  program.parms.reference_width = 1024;
  program.parms.reference_height = 768;
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Mode(), "1024x768");
}

TEST_F(ResolutionTest, WindowedFallsBackToTheSmallestEntryWhenNothingFits) {
  Desktop("1280x800");
  List("1920x1080,garbage,1600x1200,0x600,x");
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Mode(), "1600x1200");  // the smaller area of the two that parse
}

TEST_F(ResolutionTest, SelectionFailsWithoutAListOrAUsableEntry) {
  Desktop("1920x1080");
  EXPECT_FALSE(ZYI_SelectResolution(true, false));  // no list at all
  List("800x600");
  EXPECT_FALSE(ZYI_SelectResolution(false, false));  // fullscreen without a renderer
  free(zy::config.resolutions);
  List("0x0,-5x10,99999999999x99999999999");
  EXPECT_FALSE(ZYI_SelectResolution(false, false));
  // Forcing takes the first entry with an area, unchecked.
  EXPECT_TRUE(ZYI_SelectResolution(false, true));
  EXPECT_EQ(Width(), INT32_MAX);
}

TEST_F(ResolutionTest, OnlyTheFirst32EntriesAreRead) {
  Desktop("1280x800");
  std::string list;
  for (int i = 0; i < 32; i++) list += "5000x5000,";
  list += "800x600";
  List(list.c_str());
  ASSERT_TRUE(ZYI_SelectResolution(true, false));
  EXPECT_EQ(Width(), 5000);  // the smallest of the entries read, not the 33rd
}

TEST_F(ResolutionTest, DesktopOverrideMakesTheChosenSizeTheScreen) {
  Desktop("1920x1080");
  program.parms.width = 1280;
  program.parms.height = 720;
  program.parms.reference_width = 600;
  program.parms.reference_height = 1000;
  ZYI_ApplyOverrideAndOrientation();
  EXPECT_EQ(zy::display.program_orientation, 1);
  EXPECT_EQ(zy::display.orientation_mask, 3);
  EXPECT_EQ(zy::display.screen_width, 1280);
  EXPECT_EQ(zy::display.screen_height, 720);
  EXPECT_EQ(zy::display.requested_width, 1280);
  EXPECT_EQ(zy::display.native_orientation, 4);
  EXPECT_EQ(program.parms.width, 1280);

  // A zero size is replaced by the requested size (here the forced one).
  zy::config.force_resolution = 1;
  zy::display.screen_width = zy::display.screen_height = 0;
  zy::display.requested_width = 640;
  zy::display.requested_height = 960;
  program.parms.width = 0;
  ZYI_ApplyOverrideAndOrientation();
  EXPECT_EQ(program.parms.width, 640);
  EXPECT_EQ(program.parms.height, 960);
  EXPECT_EQ(zy::display.screen_width, 640);
  EXPECT_EQ(zy::display.native_orientation, 4);  // a forced size keeps the desktop's
}

TEST_F(ResolutionTest, AFixedPortraitScreenTurnsForALandscapeGame) {
  zy::display.fixed_display = 1;
  zy::display.screen_width = 480;
  zy::display.screen_height = 800;
  program.parms.width = 800;
  program.parms.height = 480;
  program.parms.reference_width = 800;
  program.parms.reference_height = 480;
  ZYI_ApplyOverrideAndOrientation();
  EXPECT_EQ(zy::display.native_orientation, 1);
  EXPECT_EQ(zy::display.program_orientation, 8);
  EXPECT_EQ(program.parms.width, 800);
  EXPECT_EQ(program.parms.height, 480);
  EXPECT_EQ(zy::display.orientation_mask, 12);
  EXPECT_TRUE(zy::display.override_size);
  EXPECT_EQ(zy::display.requested_width, 800);
}

TEST_F(ResolutionTest, RetainedAspectLetterboxesTheReferenceResolution) {
  ASSERT_TRUE([] {
    ZyhWindowDesc d = {};
    d.title = "t";
    d.width = 1280;
    d.height = 720;
    d.windowed = true;
    return ZYH_WindowCreate(&d);
  }());
  program.parms.width = 1280;
  program.parms.height = 720;
  program.parms.reference_width = 1024;
  program.parms.reference_height = 768;
  zy::config.app_features = strdup("AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO");
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  ASSERT_TRUE(ZYI_AutoscaleActive());
  EXPECT_FLOAT_EQ(zy::display.scale_x, 0.9375f);
  EXPECT_FLOAT_EQ(zy::display.scale_y, 0.9375f);
  EXPECT_FLOAT_EQ(zy::display.offset_x, 160.0f);
  EXPECT_FLOAT_EQ(zy::display.offset_y, 0.0f);
  EXPECT_FLOAT_EQ(zy::display.inv_scale_x, 1.0f / 0.9375f);
  // The program now draws in its reference size.
  EXPECT_EQ(program.parms.width, 1024);
  EXPECT_EQ(program.parms.height, 768);

  int32_t x = 1120, y = 720;  // the bottom-right corner of the program's area
  ZYI_AutoscalePoint(&x, &y);
  EXPECT_EQ(x, 1024);
  EXPECT_EQ(y, 768);

  float m[16], ox, oy;
  ZYI_FrameTransform(90.0f, m);  // a desktop window is never turned
  Apply(m, 0, 0, &ox, &oy);
  EXPECT_FLOAT_EQ(ox, 160.0f);
  EXPECT_FLOAT_EQ(oy, 0.0f);
  Apply(m, 1024, 768, &ox, &oy);
  EXPECT_FLOAT_EQ(ox, 1120.0f);
  EXPECT_FLOAT_EQ(oy, 720.0f);
}

TEST_F(ResolutionTest, FreeScalingStretchesEachAxis) {
  zy::core.applied_parms.width = 1280;  // no window yet: the mode in force is the surface
  zy::core.applied_parms.height = 720;
  program.parms.width = 1280;
  program.parms.height = 720;
  program.parms.reference_width = 1024;
  program.parms.reference_height = 768;
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  EXPECT_FLOAT_EQ(zy::display.scale_x, 1.25f);
  EXPECT_FLOAT_EQ(zy::display.scale_y, 0.9375f);
  EXPECT_FLOAT_EQ(zy::display.offset_x, 0.0f);
  EXPECT_FLOAT_EQ(zy::display.offset_y, 0.0f);

  // The upkeep follows the surface (here a new mode in force).
  zy::core.applied_parms.width = 2048;
  zy::core.applied_parms.height = 1536;
  ZYI_UpdateAutoscaling();
  EXPECT_FLOAT_EQ(zy::display.scale_x, 2.0f);
  EXPECT_FLOAT_EQ(zy::display.scale_y, 2.0f);
}

TEST_F(ResolutionTest, AMatchingReferenceTurnsAutoscalingOff) {
  zy::core.applied_parms.width = program.parms.width = 1280;
  zy::core.applied_parms.height = program.parms.height = 720;
  program.parms.reference_width = 1280;
  program.parms.reference_height = 720;
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  EXPECT_FALSE(ZYI_AutoscaleActive());
  EXPECT_FLOAT_EQ(zy::display.scale_x, 1.0f);
  EXPECT_FLOAT_EQ(zy::display.inv_scale_y, 1.0f);
  int32_t x = 77, y = 88;
  ZYI_AutoscalePoint(&x, &y);
  EXPECT_EQ(x, 77);
  EXPECT_EQ(y, 88);
  // Off stays off: a later set-up with another size does not scale.
  program.parms.width = 1920;
  ZYI_SetupAutoscaling();
  EXPECT_FALSE(ZYI_AutoscaleActive());
}

TEST_F(ResolutionTest, AutoscalingWithoutAReferenceResolutionIsTurnedOff) {
  zy::core.applied_parms.width = program.parms.width = 1280;
  zy::core.applied_parms.height = program.parms.height = 720;
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  EXPECT_FALSE(ZYI_AutoscaleActive());
  EXPECT_TRUE(isfinite(zy::display.inv_scale_x));
  EXPECT_EQ(program.parms.width, 1280);
}

TEST_F(ResolutionTest, TheFrameTransformCentresOnTheCurrentSurface) {
  // Without autoscaling after a change to 1920x1080 the program's area is the surface.
  zy::display.screen_width = 1280;  // as taken at start-up
  zy::display.screen_height = 720;
  zy::core.applied_parms.width = program.parms.width = 1920;
  zy::core.applied_parms.height = program.parms.height = 1080;
  float m[16], ox, oy;
  ZYI_FrameTransform(0.0f, m);
  Apply(m, 0, 0, &ox, &oy);
  EXPECT_FLOAT_EQ(ox, 0.0f);
  EXPECT_FLOAT_EQ(oy, 0.0f);
  Apply(m, 1920, 1080, &ox, &oy);
  EXPECT_FLOAT_EQ(ox, 1920.0f);
  EXPECT_FLOAT_EQ(m[15], 1.0f);
}

TEST_F(ResolutionTest, ATurnedFixedDisplayRotatesAboutTheScreenCentre) {
  zy::display.fixed_display = 1;
  zy::display.native_orientation = 1;  // portrait screen buffer
  zy::display.screen_width = 480;
  zy::display.screen_height = 800;
  zy::core.orientation = zy::core.target_orientation = 8;  // held landscape
  program.parms.width = 800;
  program.parms.height = 480;
  float m[16], ox, oy;
  ZYI_FrameTransform(90.0f, m);
  Apply(m, 400, 240, &ox, &oy);  // the program's centre stays at the screen's centre
  EXPECT_NEAR(ox, 240.0f, 1e-3);
  EXPECT_NEAR(oy, 400.0f, 1e-3);
  Apply(m, 0, 0, &ox, &oy);  // cos 90 = 0, sin 90 = 1: (x, y) -> (-y, x) about the centre
  EXPECT_NEAR(ox, 480.0f, 1e-3);
  EXPECT_NEAR(oy, 0.0f, 1e-3);
}

namespace {

std::vector<std::string> drawn;
void RecAlpha(float a) { drawn.push_back("alpha " + std::to_string(a)); }
void RecColor(float r, float g, float b) {
  drawn.push_back("color " + std::to_string((int)r) + std::to_string((int)g) + std::to_string((int)b));
}
void RecBlend(int32_t mode) { drawn.push_back("blend " + std::to_string(mode)); }
void RecRect(float x, float y, float w, float h) {
  drawn.push_back("rect " + std::to_string((int)x) + " " + std::to_string((int)y) + " " +
                  std::to_string((int)w) + " " + std::to_string((int)h));
}

}  // namespace

TEST_F(ResolutionTest, BarsCoverTheLetterboxAndEverythingWhileTurning) {
  ZY_EngineInterface table;
  memset(&table, 0, sizeof table);
  ZY_EngineInterface *t = &table;
  program.zy = t;
  t->SetAlpha = RecAlpha;
  t->SetColor = RecColor;
  t->SetBlendMode = RecBlend;
  t->DrawRect = RecRect;
  program.parms.width = 1024;
  program.parms.height = 768;

  drawn.clear();
  ZYI_DrawBars();  // no offsets: nothing
  EXPECT_TRUE(drawn.empty());

  zy::display.offset_x = 160.0f;
  ZYI_DrawBars();
  std::vector<std::string> sides = {"alpha 1.000000", "color 000",           "blend 0",
                                    "rect 1024 0 1024 768", "rect -1024 0 1024 768", "color 111"};
  EXPECT_EQ(drawn, sides);

  drawn.clear();
  zy::display.offset_x = 0.0f;
  zy::core.target_orientation = 4;  // an orientation change is under way
  ZYI_DrawBars();
  ASSERT_EQ(drawn.size(), 8u);
  EXPECT_EQ(drawn[5], "rect 0 768 1024 768");
  EXPECT_EQ(drawn[6], "rect 0 -768 1024 768");

  // Before drawing exists the slots are empty, and before the handshake there is no
  // table: nothing is drawn.
  t->DrawRect = nullptr;
  drawn.clear();
  ZYI_DrawBars();
  EXPECT_TRUE(drawn.empty());
  t->DrawRect = RecRect;
  program.zy = nullptr;
  ZYI_DrawBars();
  EXPECT_TRUE(drawn.empty());
}

TEST_F(ResolutionTest, ReinitialisationNeedsAProgramAndARenderer) {
  ZY_DisplaySettings parms = program.parms;
  EXPECT_FALSE(ZY_Reinitialize(parms));  // no renderer module
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  zy::core.prog = nullptr;
  EXPECT_FALSE(ZY_Reinitialize(parms));
  EXPECT_FALSE(zy::core.reinit_requested);
}

TEST_F(ResolutionTest, AReinitialisationThatFitsIsMadePending) {
  Desktop("1920x1080");
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  List("1280x720,800x600");
  zy::display.reinit_failures = 2;
  ZY_DisplaySettings parms = program.parms;
  parms.width = 1;  // the list decides the size, not the request
  parms.windowed = 1;
  ASSERT_TRUE(ZY_Reinitialize(parms));
  EXPECT_TRUE(zy::core.reinit_requested);
  EXPECT_EQ(zy::display.reinit_failures, 0);
  EXPECT_EQ(Mode(), "1280x720");
  EXPECT_EQ(zy::core.current_parms.windowed, 1);

  // With all resolutions allowed a windowed request is taken as it is.
  zy::core.reinit_requested = 0;
  ZYI_AllowAllResolutions(true);
  parms.width = 333;
  parms.height = 222;
  ASSERT_TRUE(ZY_Reinitialize(parms));
  EXPECT_TRUE(zy::core.reinit_requested);
  EXPECT_EQ(Width(), 333);
}

TEST_F(ResolutionTest, AReinitialisationWithoutAFittingModeKeepsTheModeInForce) {
  Desktop("1280x800");
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  List("1920x1080");
  zy::core.applied_parms.width = 1024;
  zy::core.applied_parms.height = 600;
  zy::core.applied_parms.windowed = 1;
  zy::core.reinit_requested = 1;
  ZY_DisplaySettings parms = program.parms;
  parms.windowed = 1;
  EXPECT_FALSE(ZY_Reinitialize(parms));
  EXPECT_FALSE(zy::core.reinit_requested);
  EXPECT_EQ(zy::display.reinit_failures, 1);
  EXPECT_EQ(Mode(), "1024x600");
  EXPECT_EQ(zy::core.current_parms.windowed, 1);
  EXPECT_FALSE(ZY_Reinitialize(parms));
  EXPECT_EQ(zy::display.reinit_failures, 2);

  // A list with nothing usable leaves the mode in force wanted too.
  free(zy::config.resolutions);
  zy::config.resolutions = nullptr;
  parms.width = 640;
  EXPECT_FALSE(ZY_Reinitialize(parms));
  EXPECT_EQ(Width(), 1024);
}
