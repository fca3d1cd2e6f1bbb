// Image tests: the scenes of tests/programs/scenes drawn by the real zylem executable with
// rmod_soft, in a game folder of their own (with the images of tests/data/images in data/),
// for two frames, once in each colour order of the renderer (ZYLEM_SOFT_BGRA unset and 1,
// which also switches the byte order of loaded bitmaps). Both screenshots must match the
// reference image in tests/golden/; its README tells the rule, the failure images in
// build/tests/golden-out/, how to update an image and what each one shows.
//
// GlGolden draws the same scenes with rmod_gl (in an Xvfb window when DISPLAY is set,
// else headless through EGL) and compares them with the same references, within a
// looser tolerance: GPU rasterisers round filtering, blending and line pixels their own way.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <sstream>

#include "zytest.h"

namespace {

// Largest difference of one channel that still matches, and pixels allowed beyond it.
struct Tolerance {
  int channel, pixels;
};
const Tolerance SOFT = {2, 8};
const Tolerance GL = {4, 16};

struct Scene {
  const char *name;
  const char *resolution = "160x120";  // the window, as the LINUX variant lists it
  const char *reference = nullptr;     // what the program draws on, scaled with AUTOSCALE
};

const Scene SCENES[] = {
    {"rects"}, {"blend"}, {"transforms"}, {"clip"}, {"triangles"}, {"lines"},
    {"letterbox", "200x150", "160x80"}, {"pillarbox", "160x120", "100x100"}, {"vertex_colours"},
    {"bitmaps"}, {"bitmap_parts"}, {"bitmap_ex"}, {"bitmap_lines"}, {"textured_quads"},
    {"render_target"}, {"sequence"}, {"shaders"},
};

struct Comparison {
  int differing = 0;               // pixels beyond the tolerance
  int first_x = -1, first_y = -1;  // first pixel beyond the tolerance
  zytest::Image diff;  // red: beyond the tolerance; yellow: within it; else the expected, dimmed
};

Comparison Compare(const zytest::Image &actual, const zytest::Image &expected, Tolerance tolerance) {
  Comparison c;
  c.diff = zytest::Image(expected.width, expected.height);
  for (int y = 0; y < expected.height; y++)
    for (int x = 0; x < expected.width; x++) {
      const uint8_t *a = actual.At(x, y), *e = expected.At(x, y);
      int worst = 0;
      for (int ch = 0; ch < 4; ch++) worst = std::max(worst, std::abs(a[ch] - e[ch]));
      uint8_t *d = c.diff.At(x, y);
      const uint8_t grey = (uint8_t)((e[0] * 77 + e[1] * 150 + e[2] * 29) >> 10);
      const uint8_t mark[3][3] = {{grey, grey, grey}, {255, 220, 0}, {255, 0, 0}};
      const int kind = worst > tolerance.channel ? 2 : worst > 0;
      memcpy(d, mark[kind], 3);
      d[3] = 255;
      if (kind == 2 && c.differing++ == 0) c.first_x = x, c.first_y = y;
    }
  return c;
}

class Golden : public ZyTest, public ::testing::WithParamInterface<Scene> {
 protected:
  void SetUp() override {
    unsetenv("ZYLEM_SOFT_BGRA");  // the environment the tests run in must not switch it
    const Scene &s = GetParam();
    zytest::Game game;
    game.program = "scenes", game.modules = {"rmod_soft"}, game.renderer = "rmod_soft";
    game.id = "zytest.scenes", game.title = "Scenes", game.resolutions = s.resolution, game.variant = "";
    game.developer_node = "developer_mode=\"0\" logging=\"1\" console=\"1\" logging_verbose_level=\"INFO\"";
    if (s.reference) {
      game.features = "AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO";
      game.application = std::string("reference_resolution=\"") + s.reference + "\"";
    }
    zytest::MakeGame(world.game(), game);
    zytest::MakeDirs(world.game() + "/data");
    for (const char *image : {"sprite.png", "photo.jpg", "tile.tga", "beam.png"}) {
      const std::string bytes = zytest::ReadFile(zytest::SourceDir() + "/tests/data/images/" + image);
      ASSERT_FALSE(bytes.empty()) << "missing test image " << image;
      zytest::WriteFile(world.game() + "/data/" + image, bytes);
    }
    WalkFrames();
  }

  // Six numbered 12x12 frames for the sequence scene: a yellow block stepping right on a
  // blue square, red frame number marks along the bottom; frames 4 and 5 repeat 1 and 2.
  void WalkFrames() {
    for (int n = 0; n < 6; n++) {
      const int k = n < 4 ? n : n - 3;
      zytest::Image img(12, 12);
      for (int y = 0; y < 12; y++)
        for (int x = 0; x < 12; x++) {
          const bool block = y >= 3 && y < 8 && x >= 2 * k && x < 2 * k + 4, mark = y == 11 && x < 3 * k;
          const uint8_t px[4] = {(uint8_t)(block || mark ? 255 : 30), (uint8_t)(block ? 220 : 40), (uint8_t)(block || mark ? 0 : 160), 255};
          memcpy(img.At(x, y), px, 4);
        }
      char name[64];
      snprintf(name, sizeof name, "/data/walk_%04d.png", n);
      zytest::WriteFile(world.game() + name, zytest::PngBytes(img));
    }
  }

  // Compares a screenshot with the reference image; on failure writes the actual and
  // difference images (name + ".actual.png", name + ".diff.png") and names them.
  void ExpectMatches(const std::string &shot, const std::string &name, Tolerance tolerance = SOFT) {
    zytest::Image actual, expected;
    std::string error;
    ASSERT_TRUE(zytest::ReadPng(shot, &actual, &error)) << error;
    const std::string golden = zytest::SourceDir() + "/tests/golden/" + GetParam().name + ".png";
    const std::string out = zytest::BuildDir() + "/tests/golden-out/" + name;
    zytest::MakeDirs(zytest::BuildDir() + "/tests/golden-out");
    remove((out + ".actual.png").c_str());  // a pass leaves no stale failure images behind
    remove((out + ".diff.png").c_str());
    Comparison c;
    std::ostringstream why;
    if (!zytest::ReadPng(golden, &expected, &error)) {
      why << error << "; ZYTEST_UPDATE_GOLDEN=1 takes the screenshot as the reference (then look at it)";
    } else if (actual.width != expected.width || actual.height != expected.height) {
      why << "image is " << actual.width << "x" << actual.height << ", reference " << expected.width << "x"
          << expected.height;
    } else if ((c = Compare(actual, expected, tolerance)).differing > tolerance.pixels) {
      why << c.differing << " pixels differ by more than " << tolerance.channel << " (at most " << tolerance.pixels
          << " may), the first at (" << c.first_x << "," << c.first_y << ")";
      zytest::WriteFile(out + ".diff.png", zytest::PngBytes(c.diff));
    } else {
      return;
    }
    zytest::WriteFile(out + ".actual.png", zytest::PngBytes(actual));
    ADD_FAILURE() << name << ": " << why.str() << "\n  reference: " << golden << "\n  actual:    " << out
                  << ".actual.png" << (c.differing ? "\n  diff:      " + out + ".diff.png" : "");
  }
};

TEST_P(Golden, SceneMatchesReferenceImageInBothColourOrders) {
  const Scene &s = GetParam();
  for (bool bgra : {false, true}) {
    const std::string shot = world.root() + (bgra ? "/bgra.png" : "/rgba.png");
    zytest::RunResult r = zytest::RunGame(world, "rmod_soft",
                                          {"--frames", "2", "--screenshot", shot, "--", std::string("scene=") + s.name},
                                          std::vector<std::string>(bgra, "ZYLEM_SOFT_BGRA=1"));
    ASSERT_EQ(r.status, 0) << r.err << r.log;
    const std::string drawing = std::string("[scenes] drawing scene '") + s.name + "' at " +
                                (s.reference ? s.reference : s.resolution);
    EXPECT_NE(r.log.find(drawing), std::string::npos) << "missing '" << drawing << "' in:\n" << r.log;
    EXPECT_EQ(r.log.find("Transform stack is not empty"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("a negative clip width was accepted"), std::string::npos) << r.log;
    const char *update = getenv("ZYTEST_UPDATE_GOLDEN");
    if (!bgra && update && update[0] == '1') {
      // The screenshot file becomes the reference: an unchanged picture, an unchanged file.
      const std::string golden = zytest::SourceDir() + "/tests/golden/" + s.name + ".png";
      zytest::WriteFile(golden, zytest::ReadFile(shot));
      printf("[golden] wrote %s: look at it before committing\n", golden.c_str());
    }
    ExpectMatches(shot, std::string(s.name) + (bgra ? ".bgra" : ""));
  }
}

class GlGolden : public Golden {};

TEST_P(GlGolden, SceneMatchesSoftwareReference) {
  const Scene &s = GetParam();
  if (!zytest::FileExists(zytest::BuildDir() + "/modules/rmod_gl.so")) GTEST_SKIP() << "rmod_gl is not built";
  zytest::InstallModule("rmod_gl", world.game());
  const bool window = getenv("DISPLAY") && getenv("DISPLAY")[0];
  for (bool bgra : {false, true}) {
    const std::string shot = world.root() + (bgra ? "/gl_bgra.png" : "/gl.png");
    std::vector<std::string> args = {"--game", world.game(), "--renderer", "rmod_gl", "--frames", "2",
                                     "--screenshot", shot, "--", std::string("scene=") + s.name};
    if (!window) args.insert(args.begin(), "--headless");
    zytest::RunResult r = zytest::RunZylem(world, args, std::vector<std::string>(bgra, "ZYLEM_GL_BGRA=1"));
    if (r.status != 0 && r.log.find("RendImp is not supported on this system") != std::string::npos) {
      if (getenv("ZYTEST_REQUIRE_GL")) FAIL() << "ZYTEST_REQUIRE_GL is set but rmod_gl cannot run:\n" << r.log;
      GTEST_SKIP() << "no OpenGL 3.3 here: no display (run under xvfb-run -a) and no surfaceless EGL";
    }
    ASSERT_EQ(r.status, 0) << r.err << r.log;
    const std::string drawing = "rmod_gl: " + std::string(s.resolution) + (window ? " in the window" : " off-screen");
    EXPECT_NE(r.log.find(drawing), std::string::npos) << "missing '" << drawing << "' in:\n" << r.log;
    ExpectMatches(shot, std::string(s.name) + (bgra ? ".gl_bgra" : ".gl"), GL);
  }
}

void PrintTo(const Scene &scene, std::ostream *out) { *out << scene.name; }  // not its bytes
INSTANTIATE_TEST_SUITE_P(Scenes, Golden, ::testing::ValuesIn(SCENES),
                         [](const ::testing::TestParamInfo<Scene> &info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Scenes, GlGolden, ::testing::ValuesIn(SCENES),
                         [](const ::testing::TestParamInfo<Scene> &info) { return std::string(info.param.name); });

}  // namespace
