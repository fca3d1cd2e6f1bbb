// zyseq_test.cpp — the zyseq tool end to end: numbered images built into a .bms, described
// and extracted again pixel for pixel; bad patterns and bad files fail with a message.
#include <unistd.h>

#include "zytest.h"

static const std::string kZyseq = ZYTEST_BUILD_DIR "/tools/zyseq/zyseq";

static zytest::RunResult RunZyseq(const std::vector<std::string> &args) {
  return zytest::RunInChild([&] {
    std::vector<char *> argv{(char *)kZyseq.c_str()};
    for (auto &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    execv(kZyseq.c_str(), argv.data());
    _exit(127);
  });
}

// Frame n of 55 shows picture n % 40: frames 40 to 54 repeat frames 0 to 14.
static zytest::Image Picture(int n) {
  zytest::Image img(6, 5);
  for (int y = 0; y < 5; y++)
    for (int x = 0; x < 6; x++) {
      const uint8_t px[4] = {(uint8_t)(n % 40 * 6), (uint8_t)(255 - x * 40), (uint8_t)(y * 50), (uint8_t)(255 - x)};
      memcpy(img.At(x, y), px, 4);
    }
  return img;
}

TEST_F(ZyTest, ZyseqBuildsDescribesAndExtractsASequence) {
  const std::string frames = world.root() + "/frames", bms = world.root() + "/walk.bms";
  zytest::MakeDirs(frames);
  for (int n = 0; n < 55; n++) {
    char name[32];
    snprintf(name, sizeof name, "/walk-%04d.png", n);
    zytest::WriteFile(frames + name, zytest::PngBytes(Picture(n)));
  }
  zytest::RunResult r = RunZyseq({"build", frames + "/walk-*.png", bms});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("loaded 50 of 55 frames\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("55 frames (15 repeated), atlas "), std::string::npos) << r.out;
  r = RunZyseq({"info", bms});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("    54     54   6x5         30.00  "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("  repeats frame 14\n15 repeated frames\n"), std::string::npos) << r.out;
  r = RunZyseq({"extract", bms, world.root() + "/out"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (int n = 0; n < 55; n += 9) {
    char name[32];
    snprintf(name, sizeof name, "/out/frame_%04d.png", n);
    zytest::Image got;
    std::string error;
    ASSERT_TRUE(zytest::ReadPng(world.root() + name, &got, &error)) << error;
    EXPECT_EQ(got.rgba, Picture(n).rgba) << name;
  }
}

TEST_F(ZyTest, ZyseqRefusesBadPatternsAndBadFilesWithAMessage) {
  const std::string bad = world.root() + "/bad.bms";
  zytest::WriteFile(bad, std::string("ZY_Bm_Seq_v1\0\1\0\0\0RGBAFRAME\0\0\0", 29));
  struct Case { std::vector<std::string> args; int status; std::string message; } cases[] = {
      {{"build", world.root() + "/walk.png", bad}, 2, "needs one '*' in its file name"},
      {{"build", world.root() + "/walk_*.png", bad}, 1, "no usable numbered frames"},
      {{"info", world.root() + "/missing.bms"}, 1, "cannot open"},
      {{"info", kZyseq}, 1, "Bad header in bitmap sequence"},
      {{"extract", bad, world.root() + "/out"}, 1, "unimplemented chunk: 'FRAME'"},
      {{"list", bad}, 2, "usage: zyseq build PATTERN OUT.bms"},
  };
  for (const Case &c : cases) {
    zytest::RunResult r = RunZyseq(c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0] << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args[0] << ": " << r.err;
  }
  EXPECT_EQ(zytest::ReadFile(bad).size(), 29u);  // a failed build leaves the file as it was
}
