// The sample game as the build lays it out (build/examples/hello), booted headless by the
// real zylem for a few frames: the screenshot shows what the sample draws where it draws
// it. It animates with the real clock: the checks are of what stays put for half a second.
#include <math.h>

#include <algorithm>

#include "zytest.h"

namespace {

using SampleGame = ZyTest;

bool Near(const uint8_t *p, int r, int g, int b, int tolerance = 3) {
  return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

TEST_F(SampleGame, HelloDrawsItsSceneHeadless) {
  const std::string game = zytest::BuildDir() + "/examples/hello", shot = world.root() + "/hello.png";
  zytest::RunResult r = zytest::RunZylem(world, {"--game", game, "--headless", "--frames", "3", "--screenshot", shot});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  EXPECT_NE(r.log.find("Hello ZYLEM: 800x600"), std::string::npos) << r.log;
  EXPECT_EQ(r.log.find("is missing"), std::string::npos) << r.log;  // both bitmaps loaded
  zytest::Image img;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(shot, &img, &error)) << error;
  ASSERT_EQ(std::make_pair(img.width, img.height), std::make_pair(800, 600));
  // The background shades from dark blue at the top to purple at the bottom.
  EXPECT_TRUE(Near(img.At(5, 5), 16, 24, 48) && Near(img.At(795, 5), 16, 24, 48));
  EXPECT_TRUE(Near(img.At(5, 595), 64, 32, 80) && Near(img.At(795, 595), 64, 32, 80));
  // The fan of orange and blue triangles around a white centre at (576, 228), radius 150.
  EXPECT_TRUE(Near(img.At(576, 228), 255, 255, 255, 8));
  for (int i = 0; i < 24; i++) {
    const uint8_t *p = img.At(576 + (int)(120 * cos(i * M_PI / 12)), 228 + (int)(120 * sin(i * M_PI / 12)));
    EXPECT_GT(p[0] + p[1] + p[2], 350) << "fan at angle " << i * 15;
  }
  // The bars drawn under a turned transform around (200, 160): the fourth one is orange.
  EXPECT_TRUE(Near(img.At(180, 185), 255, 137, 51, 12));
  // The mouse ring of white lines, radius 14, waits in the middle of the screen.
  EXPECT_TRUE(Near(img.At(414, 300), 255, 255, 255, 8) && Near(img.At(400, 300), 40, 28, 64, 6));
  // The half-transparent green square (60 x 60 in a white outline) starts at (120, 380)
  // and moves right and up; the yellow star spins in its middle.
  int left = 800, right = -1, top = 600, bottom = -1;
  for (int i = 0; i < 400 * 300; i++)
    if (Near(img.At(i % 400, 300 + i / 400), 50, 179, 112, 12))
      left = std::min(left, i % 400), right = std::max(right, i % 400), top = std::min(top, 300 + i / 400),
      bottom = std::max(bottom, 300 + i / 400);
  EXPECT_NEAR(right - left, 58, 2);
  EXPECT_NEAR(bottom - top, 58, 2);
  EXPECT_TRUE(left >= 120 && left < 200 && top > 320 && top <= 382) << left << "," << top;
  const uint8_t *star = img.At((left + right) / 2, (top + bottom) / 2);
  EXPECT_TRUE(star[0] > 220 && star[1] > 180 && star[2] < 110) << (int)star[0] << "," << (int)star[1];
}

}  // namespace
