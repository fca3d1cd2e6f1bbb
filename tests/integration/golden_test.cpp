// Image tests: the scenes of tests/programs/scenes drawn by the real zylem executable
// with the software renderer module, compared with the reference images in
// tests/golden/.
//
// Each scene gets its own game folder (the scenes program, rmod_soft, the test images of
// tests/data/images in data/, and a prog.xml with the scene's resolution, and for the
// letterbox scenes AUTOSCALE with a reference resolution), runs for two frames and leaves
// a screenshot. It is drawn twice, once in each colour order of the renderer
// (ZYLEM_SOFT_BGRA unset and set to 1, which also switches the byte order of loaded
// bitmaps); both screenshots must match the same reference image.
//
// The rule: the images have the same size, and at most MAX_DIFFERING_PIXELS pixels have
// a channel that differs by more than CHANNEL_TOLERANCE. A failing comparison writes
// <scene>.actual.png and <scene>.diff.png (with ".bgra" before the suffix for the
// second colour order) into build/tests/golden-out/ and names them in the failure. With
// ZYTEST_UPDATE_GOLDEN=1 the first screenshot of each scene is written as its new
// reference image instead (tests/golden/README.md tells how to check it). A scene with a
// pending note is skipped unless ZYTEST_RUN_PENDING=1.
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zytest.h"

namespace {

const int CHANNEL_TOLERANCE = 2;     // largest difference of one channel that still matches
const int MAX_DIFFERING_PIXELS = 8;  // pixels allowed beyond the channel tolerance

struct Scene {
  const char *name;
  const char *resolution;             // the window, as the LINUX variant lists it
  const char *reference;              // reference resolution with AUTOSCALE, or null
  int program_width, program_height;  // what the program is told it draws on
  const char *pending;                // why the scene is skipped for now, or null
};

// Why the bitmap scenes wait: start-up does not create the image loader yet, so every
// bitmap file fails to load ("Unable to load bitmap") and the scenes' init fails.
const Scene SCENES[] = {
    {"rects", "160x120", nullptr, 160, 120, nullptr},
    {"blend", "160x120", nullptr, 160, 120, nullptr},
    {"transforms", "160x120", nullptr, 160, 120, nullptr},
    {"clip", "160x120", nullptr, 160, 120, nullptr},
    {"triangles", "160x120", nullptr, 160, 120, nullptr},
    {"lines", "160x120", nullptr, 160, 120, nullptr},
    {"letterbox", "200x150", "160x80", 160, 80, nullptr},
    {"pillarbox", "160x120", "100x100", 100, 100, nullptr},
    {"vertex_colours", "160x120", nullptr, 160, 120, nullptr},
    {"bitmaps", "160x120", nullptr, 160, 120, nullptr},
    {"bitmap_parts", "160x120", nullptr, 160, 120, nullptr},
    {"bitmap_ex", "160x120", nullptr, 160, 120, nullptr},
    {"bitmap_lines", "160x120", nullptr, 160, 120, nullptr},
    {"textured_quads", "160x120", nullptr, 160, 120, nullptr},
    {"render_target", "160x120", nullptr, 160, 120, nullptr},
};

// The images the bitmap scenes draw, copied from tests/data/images into the game
// folder's data/ folder.
const char *const TEST_IMAGES[] = {"sprite.png", "photo.jpg", "tile.tga", "beam.png"};

// ---------------------------------------------------------------------------------
// RGBA images: reading, writing, comparing
// ---------------------------------------------------------------------------------

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // rows top first, 4 bytes a pixel
  const uint8_t *At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Decodes any PNG into 8-bit RGBA; false with the reason in *error.
bool ReadPng(const std::string &path, Image *img, std::string *error) {
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    *error = "cannot read " + path + ": " + png.message;
    return false;
  }
  png.format = PNG_FORMAT_RGBA;
  img->rgba.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, img->rgba.data(), 0, nullptr)) {
    *error = "cannot decode " + path + ": " + png.message;
    png_image_free(&png);
    return false;
  }
  img->width = static_cast<int>(png.width);
  img->height = static_cast<int>(png.height);
  return true;
}

bool WritePng(const std::string &path, const Image &img) {
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(img.width);
  png.height = static_cast<png_uint_32>(img.height);
  png.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&png, path.c_str(), 0, img.rgba.data(), 0, nullptr) != 0;
}

struct Comparison {
  bool same_size = false;
  int differing = 0;               // pixels beyond the tolerance
  int largest = 0;                 // largest channel difference anywhere
  int first_x = -1, first_y = -1;  // first pixel beyond the tolerance
  Image diff;  // red: beyond the tolerance; yellow: within it; else the expected, dimmed
};

Comparison Compare(const Image &actual, const Image &expected) {
  Comparison c;
  c.same_size = actual.width == expected.width && actual.height == expected.height;
  if (!c.same_size) return c;
  c.diff.width = expected.width;
  c.diff.height = expected.height;
  c.diff.rgba.resize(expected.rgba.size());
  for (int y = 0; y < expected.height; y++)
    for (int x = 0; x < expected.width; x++) {
      const uint8_t *a = actual.At(x, y), *e = expected.At(x, y);
      int worst = 0;
      for (int ch = 0; ch < 4; ch++) worst = std::max(worst, std::abs(a[ch] - e[ch]));
      c.largest = std::max(c.largest, worst);
      uint8_t *d = &c.diff.rgba[(static_cast<size_t>(y) * expected.width + x) * 4];
      if (worst > CHANNEL_TOLERANCE) {
        if (c.differing++ == 0) {
          c.first_x = x;
          c.first_y = y;
        }
        d[0] = 255, d[1] = 0, d[2] = 0;
      } else if (worst > 0) {
        d[0] = 255, d[1] = 220, d[2] = 0;
      } else {
        // The expected picture at a quarter of its brightness keeps the layout readable.
        const int grey = (e[0] * 77 + e[1] * 150 + e[2] * 29) >> 10;
        d[0] = d[1] = d[2] = static_cast<uint8_t>(grey);
      }
      d[3] = 255;
    }
  return c;
}

std::string Pixel(const Image &img, int x, int y) {
  const uint8_t *p = img.At(x, y);
  return "(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) +
         "," + std::to_string(p[3]) + ")";
}

bool UpdateRequested() {
  const char *v = getenv("ZYTEST_UPDATE_GOLDEN");
  return v && v[0] == '1';
}

// ZYTEST_RUN_PENDING=1 runs pending scenes too, to check them once their cause is gone.
bool RunPendingRequested() {
  const char *v = getenv("ZYTEST_RUN_PENDING");
  return v && v[0] == '1';
}

std::string GoldenPath(const std::string &scene) {
  return zytest::SourceDir() + "/tests/golden/" + scene + ".png";
}

std::string OutputDir() { return zytest::BuildDir() + "/tests/golden-out"; }

// ---------------------------------------------------------------------------------
// Running a scene
// ---------------------------------------------------------------------------------

// The game folder's configuration: the LINUX variant draws with rmod_soft in the
// scene's window size; letterbox scenes add their reference resolution and autoscaling.
const char *const PROG_XML = R"(<?xml version="1.0"?>
<zylem>
  <array id="PARAMETERS">
    <node id="APPLICATION" program_id="zytest.scenes" name="Scenes" developer="ZytestStudio"
          version="1.0"@AUTOSCALE@/>
    <node id="DEVELOPER" developer_mode="0" logging="1" console="1" logging_verbose_level="INFO"/>
  </array>
  <array id="VARIANTS">
    <node id="LINUX" renderer_implementation="rmod_soft" resolutions="@RESOLUTION@"/>
  </array>
</zylem>
)";

class Golden : public ZyTest, public ::testing::WithParamInterface<Scene> {
 protected:
  void SetUp() override {
    // The default colour order must not be switched by the environment the tests run in.
    unsetenv("ZYLEM_SOFT_BGRA");
    const Scene &s = GetParam();
    zytest::InstallProgram("scenes", world.game());
    zytest::InstallModule("rmod_soft", world.game());
    zytest::MakeDirs(world.game() + "/data");
    for (const char *image : TEST_IMAGES) {
      const std::string source = zytest::SourceDir() + "/tests/data/images/" + image;
      const std::string bytes = zytest::ReadFile(source);
      ASSERT_FALSE(bytes.empty()) << "missing test image " << source;
      zytest::WriteFile(world.game() + "/data/" + image, bytes);
    }
    std::string xml = PROG_XML;
    std::string autoscale;
    if (s.reference)
      autoscale = std::string(" reference_resolution=\"") + s.reference +
                  "\"\n          features=\"AUTOSCALE,AUTOSCALE_RETAIN_ASPECT_RATIO\"";
    xml.replace(xml.find("@AUTOSCALE@"), 11, autoscale);
    xml.replace(xml.find("@RESOLUTION@"), 12, s.resolution);
    zytest::WriteFile(world.game() + "/prog.xml", xml);
  }

  // Runs the scene for two frames in one colour order; the screenshot lands in `shot`.
  // Checks that the run went cleanly and drew the scene at the expected size.
  void RunScene(bool bgra, const std::string &shot) {
    const Scene &s = GetParam();
    std::vector<std::string> env;
    if (bgra) env.push_back("ZYLEM_SOFT_BGRA=1");
    zytest::RunResult r = zytest::RunZylem(
        world,
        {"--game", world.game(), "--headless", "--renderer", "rmod_soft", "--frames", "2",
         "--screenshot", shot, "--", std::string("scene=") + s.name},
        env);
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.status, 0) << r.err << r.log;
    const std::string drawing = std::string("[scenes] drawing scene '") + s.name + "' at " +
                                std::to_string(s.program_width) + "x" +
                                std::to_string(s.program_height);
    EXPECT_NE(r.log.find(drawing), std::string::npos) << "missing '" << drawing << "' in:\n"
                                                      << r.log;
    EXPECT_EQ(r.log.find("Transform stack is not empty"), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("a negative clip width was accepted"), std::string::npos) << r.log;
    ASSERT_TRUE(zytest::FileExists(shot)) << "no screenshot written\n" << r.err << r.log;
  }

  // Compares a screenshot with the reference image; on failure writes the actual and
  // difference images (name + ".actual.png", name + ".diff.png") and names them.
  void ExpectMatches(const std::string &shot, const std::string &name) {
    Image actual, expected;
    std::string error;
    ASSERT_TRUE(ReadPng(shot, &actual, &error)) << error;
    const std::string golden = GoldenPath(GetParam().name);
    zytest::MakeDirs(OutputDir());
    const std::string actual_path = OutputDir() + "/" + name + ".actual.png";
    const std::string diff_path = OutputDir() + "/" + name + ".diff.png";
    if (!zytest::FileExists(golden)) {
      WritePng(actual_path, actual);
      ADD_FAILURE() << "no reference image " << golden << "; the screenshot is in " << actual_path
                    << ". Run with ZYTEST_UPDATE_GOLDEN=1 to take it, then look at it.";
      return;
    }
    ASSERT_TRUE(ReadPng(golden, &expected, &error)) << error;
    Comparison c = Compare(actual, expected);
    if (c.same_size && c.differing <= MAX_DIFFERING_PIXELS) {
      // A pass leaves no stale failure images behind.
      remove(actual_path.c_str());
      remove(diff_path.c_str());
      return;
    }
    const bool wrote =
        WritePng(actual_path, actual) && (!c.same_size || WritePng(diff_path, c.diff));
    if (!c.same_size) {
      ADD_FAILURE() << name << ": image is " << actual.width << "x" << actual.height
                    << ", reference " << golden << " is " << expected.width << "x"
                    << expected.height << "\n  actual: " << actual_path
                    << (wrote ? "" : " (could not be written)");
      return;
    }
    ADD_FAILURE() << name << ": " << c.differing << " pixels differ by more than "
                  << CHANNEL_TOLERANCE << " (at most " << MAX_DIFFERING_PIXELS
                  << " may), largest difference " << c.largest << "; first at (" << c.first_x << ","
                  << c.first_y << "): " << Pixel(actual, c.first_x, c.first_y) << ", reference "
                  << Pixel(expected, c.first_x, c.first_y) << "\n  reference: " << golden
                  << "\n  actual:    " << actual_path << "\n  diff:      " << diff_path
                  << (wrote ? "" : " (could not be written)");
  }
};

TEST_P(Golden, SceneMatchesReferenceImageInBothColourOrders) {
  const Scene &s = GetParam();
  if (s.pending && !RunPendingRequested())
    GTEST_SKIP() << s.name << " is pending: " << s.pending
                 << " (ZYTEST_RUN_PENDING=1 runs it anyway)";

  const std::string rgba_shot = world.root() + "/rgba.png";
  RunScene(false, rgba_shot);
  if (HasFatalFailure()) return;
  if (UpdateRequested()) {
    // The screenshot file itself becomes the reference: the module writes PNGs with
    // fixed settings, so an unchanged picture gives an unchanged file.
    zytest::WriteFile(GoldenPath(s.name), zytest::ReadFile(rgba_shot));
    printf("[golden] wrote %s: look at it before committing\n", GoldenPath(s.name).c_str());
  }
  ExpectMatches(rgba_shot, s.name);

  const std::string bgra_shot = world.root() + "/bgra.png";
  RunScene(true, bgra_shot);
  if (HasFatalFailure()) return;
  ExpectMatches(bgra_shot, std::string(s.name) + ".bgra");
}

std::string SceneName(const ::testing::TestParamInfo<Scene> &info) { return info.param.name; }

// GoogleTest names a failing scene by this instead of dumping its bytes.
void PrintTo(const Scene &scene, std::ostream *out) { *out << scene.name; }

INSTANTIATE_TEST_SUITE_P(Scenes, Golden, ::testing::ValuesIn(SCENES), SceneName);

// The comparison itself: a picture matches itself, small differences within the rule
// pass, and anything beyond it fails with a difference image that marks the pixels.
TEST(GoldenCompare, ToleranceAndPixelCountDecideAndTheDiffImageMarksThePixels) {
  Image a;
  a.width = 8;
  a.height = 4;
  a.rgba.assign(8 * 4 * 4, 100);
  Image b = a;
  Comparison same = Compare(a, b);
  EXPECT_TRUE(same.same_size);
  EXPECT_EQ(same.differing, 0);
  EXPECT_EQ(same.largest, 0);

  // Every pixel off by the tolerance still matches; the diff image shows them yellow.
  for (auto &byte : b.rgba) byte = static_cast<uint8_t>(100 + CHANNEL_TOLERANCE);
  Comparison near = Compare(b, a);
  EXPECT_EQ(near.differing, 0);
  EXPECT_EQ(near.largest, CHANNEL_TOLERANCE);
  EXPECT_EQ(near.diff.At(3, 2)[1], 220);

  // One channel of two pixels beyond it: counted, the first one named, marked red.
  b = a;
  b.rgba[(1 * 8 + 5) * 4 + 2] = 100 + CHANNEL_TOLERANCE + 1;
  b.rgba[(3 * 8 + 0) * 4 + 3] = 0;
  Comparison off = Compare(b, a);
  EXPECT_EQ(off.differing, 2);
  EXPECT_EQ(off.largest, 100);
  EXPECT_EQ(off.first_x, 5);
  EXPECT_EQ(off.first_y, 1);
  const uint8_t *red = off.diff.At(0, 3);
  EXPECT_EQ(red[0], 255);
  EXPECT_EQ(red[1], 0);
  EXPECT_EQ(off.diff.At(1, 1)[0], off.diff.At(1, 1)[1]);  // unchanged pixels stay grey

  Image smaller = a;
  smaller.height = 3;
  smaller.rgba.resize(8 * 3 * 4);
  EXPECT_FALSE(Compare(smaller, a).same_size);
}

}  // namespace
