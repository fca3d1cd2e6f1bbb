// Text drawn by the real zylem with rmod_soft: the text scenes of tests/programs/text with
// the test fonts written as data/latin.mft and data/cjk.mft, in both colour orders,
// compared with tests/golden/<scene>.png by the rule of tests/golden/README.md.
#include "font_test.h"

using namespace fonttest;

namespace {

class TextGolden : public ZyTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(TextGolden, SceneMatchesReferenceImageInBothColourOrders) {
  unsetenv("ZYLEM_SOFT_BGRA");
  zytest::Game game;
  game.program = "text", game.modules = {"rmod_soft"}, game.renderer = "rmod_soft";
  game.id = "zytest.text", game.title = "Text", game.resolutions = "160x120", game.variant = "";
  game.developer_node = "developer_mode=\"0\" logging=\"1\" console=\"1\" logging_verbose_level=\"INFO\"";
  zytest::MakeGame(world.game(), game);
  zytest::MakeDirs(world.game() + "/data");
  zytest::WriteFile(world.game() + "/data/sprite.png", zytest::ReadFile(zytest::SourceDir() + "/tests/data/images/sprite.png"));
  for (bool utf8 : {false, true}) WriteFontFile(world.game() + (utf8 ? "/data/cjk.mft" : "/data/latin.mft"), utf8);
  const std::string golden = zytest::SourceDir() + "/tests/golden/" + GetParam() + ".png";
  for (bool bgra : {false, true}) {
    const std::string shot = world.root() + "/shot.png";
    zytest::RunResult r = zytest::RunGame(world, "rmod_soft", {"--frames", "2", "--screenshot", shot, "--",
                                                               std::string("scene=") + GetParam()},
                                          std::vector<std::string>(bgra, "ZYLEM_SOFT_BGRA=1"));
    ASSERT_EQ(r.status, 0) << r.err << r.log;
    ASSERT_NE(r.log.find(std::string("[text] drawing scene '") + GetParam()), std::string::npos) << r.log;
    const char *update = getenv("ZYTEST_UPDATE_GOLDEN");
    if (!bgra && update && update[0] == '1') zytest::WriteFile(golden, zytest::ReadFile(shot));
    zytest::Image actual, expected;
    std::string error;
    ASSERT_TRUE(zytest::ReadPng(shot, &actual, &error)) << error;
    ASSERT_TRUE(zytest::ReadPng(golden, &expected, &error)) << error;
    ASSERT_EQ(actual.width * 1000 + actual.height, expected.width * 1000 + expected.height);
    int differing = 0;  // pixels with a channel more than 2 off
    for (size_t i = 0; i < actual.rgba.size(); i += 4)
      differing += std::max({abs(actual.rgba[i] - expected.rgba[i]), abs(actual.rgba[i + 1] - expected.rgba[i + 1]),
                             abs(actual.rgba[i + 2] - expected.rgba[i + 2]), abs(actual.rgba[i + 3] - expected.rgba[i + 3])}) > 2;
    if (differing > 8) zytest::WriteFile(zytest::BuildDir() + "/tests/" + GetParam() + ".actual.png", zytest::ReadFile(shot));
    EXPECT_LE(differing, 8) << GetParam() << (bgra ? " (bgra)" : "") << ": see build/tests/" << GetParam()
                            << ".actual.png";
  }
}
INSTANTIATE_TEST_SUITE_P(Scenes, TextGolden, ::testing::Values("text_marks", "text_layout", "text_transform", "text_cjk"));

}  // namespace
