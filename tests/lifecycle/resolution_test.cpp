// Resolution selection (both passes, forcing, the fallbacks), reinitialisation requests,
// and autoscaling with its pointer mapping and frame transform.
#include <math.h>

#include "lifecycle_fixture.h"

class Resolution : public LifecycleTest {
 protected:
  static void Desktop(const char *size) {
    setenv("ZYLEM_HEADLESS_SCREEN", size, 1);
    ZYI_ReadDesktopSize();
  }
  static void List(const char *list) {
    free(zy::config.resolutions);
    zy::config.resolutions = list ? strdup(list) : nullptr;
  }
  // Applies a row-major 4x4 transform to (x, y, 0, 1).
  static std::string Apply(const float m[16], float x, float y) {
    char b[64];
    auto r = [](float v) { return roundf(v * 10) / 10 + 0.0f; };  // no "-0.0"
    snprintf(b, sizeof b, "%.1f,%.1f", r(m[0] * x + m[1] * y + m[3]), r(m[4] * x + m[5] * y + m[7]));
    return b;
  }
  static std::string Scaling() {
    char b[96];
    const ZyDisplay &d = zy::display;
    snprintf(b, sizeof b, "%g,%g +%g,%g", d.scale_x, d.scale_y, d.offset_x, d.offset_y);
    return b;
  }
};

struct Pick {
  const char *desktop, *list;
  bool windowed, forcing, renderer;
  const char *variant, *forced;  // a forced variant, a forced "WxH"
  const char *want;              // the mode chosen, or "fail"
};

void PrintTo(const Pick &p, std::ostream *os) { *os << (p.list ? p.list : "(no list)") << " on " << p.desktop; }
class ResolutionPick : public Resolution, public testing::WithParamInterface<Pick> {};

TEST_P(ResolutionPick, ChoosesTheModeOfTheList) {
  const Pick &c = GetParam();
  Desktop(c.desktop);
  List(c.list);
  ASSERT_TRUE(!c.renderer || UseRecordingRenderer());
  if (c.variant) zy::config.force_variant = strdup(c.variant);
  zy::config.force_resolution = c.forced && sscanf(c.forced, "%dx%d", &zy::config.forced_width, &zy::config.forced_height) == 2;
  program.parms.reference_width = 1024, program.parms.reference_height = 768;
  bool ok = ZYI_SelectResolution(c.windowed, c.forcing);
  EXPECT_EQ(ok ? Mode() : "fail", c.want);
  if (ok && c.renderer) {  // fullscreen modes are the renderer's to judge
    EXPECT_NE(zytest::ReadFile(RecordPath()).find("IsModeSupported " + Mode().substr(0, Mode().find(' '))), std::string::npos);
  }
}

const char *const BAD = "0x0,-5x10,99999999999x99999999999";
INSTANTIATE_TEST_SUITE_P(Table, ResolutionPick, testing::Values(
    // The aspect pass takes the supported entry closest to the desktop's shape; a later
    // one within 0.03 of an earlier one never replaces it.
    Pick{"1920x1080", "1024x768,1280x720,1366x768", false, false, true, nullptr, nullptr, "1280x720 fs"},
    Pick{"1920x1080", "1366x768,1280x720", false, false, true, nullptr, nullptr, "1366x768 fs"},
    Pick{"1280x800", "1280x720,1024x600", true, false, false, nullptr, nullptr, "1024x600 w"},  // room for the frame
    Pick{"1920x1080", "1920x1080", false, false, false, nullptr, "640x480", "640x480 fs"},
    Pick{"1920x1080", "*", true, false, false, "IOS/SMALL", nullptr, "960x640 w"},  // the variant's typical size
    Pick{"1920x1080", "*", true, false, false, nullptr, nullptr, "1024x768 w"},  // else the reference
    Pick{"1280x800", "1920x1080,garbage,1600x1200,0x600,x", true, false, false, nullptr, nullptr, "1600x1200 w"},
    Pick{"1920x1080", nullptr, true, false, false, nullptr, nullptr, "fail"},
    Pick{"1920x1080", "800x600", false, false, false, nullptr, nullptr, "fail"},  // fullscreen without a renderer
    Pick{"1920x1080", BAD, false, false, false, nullptr, nullptr, "fail"},
    Pick{"1920x1080", BAD, false, true, false, nullptr, nullptr, "2147483647x2147483647 fs"}));  // forcing: the first with an area

TEST_F(Resolution, AutoscalingLetterboxesOrStretchesTheReferenceAndFollowsTheSurface) {
  ZyhWindowDesc desc = {};
  desc.width = 1280, desc.height = 720;
  ASSERT_TRUE(ZYH_WindowCreate(&desc));  // the window's size is the surface
  Autoscale(1280, 720, 1024, 768, "AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO");
  EXPECT_EQ(Scaling(), "0.9375,0.9375 +160,0");
  EXPECT_EQ(program.parms.width * 1000 + program.parms.height, 1024768);  // the program draws in its reference
  int32_t x = 1120, y = 720;  // the bottom-right corner of the program's area
  ZYI_AutoscalePoint(&x, &y);
  EXPECT_EQ(x * 1000 + y, 1024768);
  float m[16];
  ZYI_FrameTransform(90.0f, m);  // a desktop window is never turned
  EXPECT_EQ(Apply(m, 0, 0) + " " + Apply(m, 1024, 768), "160.0,0.0 1120.0,720.0");
  ZYH_WindowDestroy();
  Autoscale(1280, 720, 1024, 768, "AUTOSCALE");  // without a window the mode in force is the surface
  EXPECT_EQ(Scaling(), "1.25,0.9375 +0,0");
  zy::core.applied_parms.width = 2048, zy::core.applied_parms.height = 1536;
  ZYI_UpdateAutoscaling();
  EXPECT_EQ(Scaling(), "2,2 +0,0");
  zy::display.screen_width = 1280;  // the screen as taken at start-up: not the surface
  zy::display.screen_height = 720;
  ZYI_FrameTransform(0.0f, m);
  EXPECT_EQ(Apply(m, 0, 0) + " " + Apply(m, 1024, 768), "0.0,0.0 2048.0,1536.0");
}

TEST_F(Resolution, AutoscalingWithoutAReferenceOrWithAMatchingOneTurnsOff) {
  for (int32_t ref : {0, 1280}) {
    Autoscale(1280, 720, ref, ref ? 720 : 0, nullptr);
    EXPECT_FALSE(ZYI_AutoscaleActive()) << ref;
    EXPECT_EQ(Scaling() + " " + std::to_string(zy::display.inv_scale_x), "1,1 +0,0 1.000000");  // no division by zero
    int32_t x = 77, y = 88;
    ZYI_AutoscalePoint(&x, &y);
    EXPECT_EQ(x * 100 + y, 7788);
  }
  program.parms.width = 1920;  // off stays off: a later set-up does not scale
  ZYI_SetupAutoscaling();
  EXPECT_FALSE(ZYI_AutoscaleActive());
}

TEST_F(Resolution, AReinitialisationNeedsAProgramARendererAndAFittingMode) {
  Desktop("1920x1080");
  List("1280x720,800x600");
  ZY_DisplaySettings parms = program.parms;
  parms.width = 1;  // the list decides the size, not the request
  EXPECT_FALSE(ZY_Reinitialize(parms));  // no renderer module
  ASSERT_TRUE(UseRecordingRenderer());
  zy::core.prog = nullptr;
  EXPECT_FALSE(ZY_Reinitialize(parms) || zy::core.reinit_requested);
  zy::core.prog = &program;
  zy::display.reinit_failures = 2;
  ASSERT_TRUE(ZY_Reinitialize(parms));
  EXPECT_EQ(Mode() + std::to_string(zy::core.reinit_requested) + std::to_string(zy::display.reinit_failures), "1280x720 w10");
  ZYI_AllowAllResolutions(true);  // with all allowed a windowed request is taken as it is
  ASSERT_TRUE(ZY_Reinitialize(parms));
  EXPECT_EQ(Mode(), "1x600 w");
  ZYI_AllowAllResolutions(false);
  // Nothing fits: refused, counted, and the mode in force stays wanted.
  Desktop("1280x800");
  List("1920x1080");
  zy::core.applied_parms.width = 1024;
  for (int failures : {1, 2}) {
    zy::core.reinit_requested = 1;
    EXPECT_FALSE(ZY_Reinitialize(parms));
    EXPECT_EQ(Mode() + std::to_string(zy::core.reinit_requested) + std::to_string(zy::display.reinit_failures),
              "1024x600 w0" + std::to_string(failures));
  }
}
