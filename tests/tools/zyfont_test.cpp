// zyfont_test.cpp — the zyfont tool end to end: fonts it builds from a source are read
// back by the engine's reader, old files are upgraded, and bad input fails cleanly.
#include <string.h>
#include <unistd.h>

#include "zytest.h"

static const std::string kZyfont = ZYTEST_BUILD_DIR "/tools/zyfont/zyfont";

static zytest::RunResult RunZyfont(const std::vector<std::string> &args) {
  return zytest::RunInChild([&] {
    std::vector<char *> argv{(char *)kZyfont.c_str()};
    for (auto &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    execv(kZyfont.c_str(), argv.data());
    _exit(127);
  });
}

class Zyfont : public ZyTest {
 protected:
  std::string dir = world.root() + "/src";
  void SetUp() override {
    zytest::MakeDirs(dir);
    zytest::Image sheet(12, 6);  // "!" and "-" as two bars
    for (int y = 0; y < 5; y++) memset(sheet.At(1, y), 255, 4);
    for (int x = 5; x < 9; x++) memset(sheet.At(x, 3), 255, 4);
    zytest::WriteFile(dir + "/sheet.png", zytest::PngBytes(sheet));
    zytest::WriteFile(dir + "/f.mft.xml",
                      "<?xml version=\"1.0\"?><f><array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/>"
                      "</array><array id=\"glyphs\"><node id=\"33\"/><node id=\"45\"/></array></f>");
  }
  std::string Has(const zytest::RunResult &r, const std::string &text) {
    return r.out.find(text) != std::string::npos ? "" : "missing '" + text + "' in:\n" + r.out;
  }
};

// A version-1 file: no x offsets, no advances, no kerning; one 1 x 2 picture stored B, G, R, A.
static std::string VersionOne() {
  std::string f("ZIZ_Font_v1\0LATIN-1\0", 20);
  for (int v : {3, 5, 7}) f += std::string((const char *)&v, 4);
  f += std::string(256, '\0');
  for (int g = 0; g < 256; g++) {
    int16_t fields[4] = {2, 0, (int16_t)(g == 65), (int16_t)(g == 65 ? 2 : 0)};
    f += std::string((const char *)fields, 8);
    if (g == 65) f += std::string("\x10\x20\x30\xff\x10\x20\x30\xff", 8);
  }
  return f;
}

TEST_F(Zyfont, BuildsInspectsAndUpgradesFontsTheEngineReads) {
  zytest::RunResult r = RunZyfont({"build", dir + "/f.mft.xml"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Has(r, "LATIN-1, 256 glyphs, height 5"), "");
  r = RunZyfont({"info", dir + "/f.mft"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char *line : {"version: 6\n", "height: 5\n", "baseline: 3\n", "glyphs: 256 (2 with pictures)\n",
                           "kerning pairs: 0\n", "atlas: 32x32\n"})
    EXPECT_EQ(Has(r, line), "");
  // Rendered as the engine draws: the colour tag turns the second "!" red; a narrow wrap
  // width puts "!!" and "-" on lines of their own.
  ASSERT_EQ(RunZyfont({"render", dir + "/f.mft", "!|ff0000|! -", dir + "/one.png"}).status, 0);
  ASSERT_EQ(RunZyfont({"render", dir + "/f.mft", "!! -", dir + "/two.png", "--width", "3"}).status, 0);
  zytest::Image one, two;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(dir + "/one.png", &one, &error)) << error;
  ASSERT_TRUE(zytest::ReadPng(dir + "/two.png", &two, &error)) << error;
  int white = 0, red = 0;
  for (int y = 0; y < one.height; y++)
    for (int x = 0; x < one.width; x++) {
      const uint8_t *p = one.At(x, y);
      white += p[0] > 200 && p[1] > 200, red += p[0] > 200 && p[1] < 50;
    }
  EXPECT_EQ(white, 5);
  EXPECT_EQ(red, 5 + 4);
  EXPECT_GT(two.height, one.height);
  zytest::WriteFile(dir + "/old.mft", VersionOne());
  ASSERT_EQ(RunZyfont({"upgrade", dir + "/old.mft", dir + "/new.mft"}).status, 0);
  EXPECT_EQ(zytest::ReadFile(dir + "/new.mft").substr(0, 12), std::string("ZIZ_Font_v6\0", 12));
  r = RunZyfont({"info", dir + "/new.mft"});
  EXPECT_EQ(Has(r, "height: 5\nline height: 7\nglyphs: 256 (1 with pictures)"), "");
}

TEST_F(Zyfont, BadInputFailsWithAMessage) {
  zytest::WriteFile(dir + "/junk.mft", "not a font at all");
  zytest::WriteFile(dir + "/cut.mft", VersionOne().substr(0, 400));
  zytest::WriteFile(dir + "/bad.mft.xml", "<?xml version=\"1.0\"?><f><array id=\"settings\">"
                                          "<node id=\"INPUT\" ttf=\"missing.ttf\"/></array></f>");
  const struct {
    std::vector<std::string> args;
    int status;
    std::string err;
  } rows[] = {
      {{"build", dir + "/f.txt"}, 2, "must be named FONT.mft.xml"},
      {{"build", dir + "/none.mft.xml"}, 1, "cannot open"},
      {{"build", dir + "/bad.mft.xml"}, 1, "Unable to find font source file missing.ttf"},
      {{"info", dir + "/junk.mft"}, 1, "not a font file"},
      {{"info", dir + "/cut.mft"}, 1, "truncated"},
      {{"info", dir + "/gone.mft"}, 1, "cannot open"},
      {{"upgrade", dir + "/old.mft", dir + "/x.mft"}, 1, "cannot open"},
      {{"upgrade", dir + "/junk.mft", dir + "/x.mft"}, 1, "not a font file"},
      {{"render", dir + "/junk.mft", "x", dir + "/x.png"}, 1, "not a font file"},
      {{"render", dir + "/junk.mft", "x", dir + "/x.png", "--width", "wide"}, 2, "only --width W"},
      {{"frobnicate"}, 2, "usage: zyfont"},
  };
  for (auto &row : rows) {
    zytest::RunResult r = RunZyfont(row.args);
    EXPECT_EQ(r.status, row.status) << row.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
  }
  EXPECT_FALSE(zytest::FileExists(dir + "/x.mft"));
  EXPECT_FALSE(zytest::FileExists(dir + "/x.png"));
}
