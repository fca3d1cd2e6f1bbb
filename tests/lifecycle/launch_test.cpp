// Launcher options and the exit statuses of the zylem executable.
#include "lifecycle/launch.h"
#include "zytest.h"

namespace {

struct Parsed {
  int status;
  ZyLaunch opt;  // freed by the test
  std::string err;
};

Parsed Parse(std::vector<const char *> args) {
  args.insert(args.begin(), "zylem");
  Parsed p{};
  char err[256] = "";
  p.status = ZYI_ParseLaunchArgs((int)args.size(), const_cast<char **>(args.data()), &p.opt, err, sizeof err);
  p.err = err;
  return p;
}

}  // namespace

TEST(Launch, OptionsAreConsumedAndTheRestBecomesTheCommandLine) {
  Parsed p = Parse({"--game", "/g", "english", "--headless", "--frames=12", "--renderer=rmod_gl", "--screenshot",
                    "shot.png", "--", "--not-an-option", "last"});
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(std::string(p.opt.game_dir) + "|" + p.opt.renderer + "|" + p.opt.screenshot + "|" + p.opt.command_line,
            "/g|rmod_gl|shot.png|english --not-an-option last");
  EXPECT_TRUE(p.opt.headless && p.opt.frames == 12);
  ZYI_FreeLaunchArgs(&p.opt);
  p = Parse({});
  ASSERT_EQ(p.status, 0);
  EXPECT_STREQ(p.opt.command_line, "");  // empty, never null
  ZYI_FreeLaunchArgs(&p.opt);
}

TEST(Launch, MissingValuesBadFrameCountsAndUnknownOptionsAreRefused) {
  for (auto args : std::vector<std::vector<const char *>>{
           {"--game"}, {"--renderer="}, {"--frames", "0"}, {"--frames", "3x"}, {"--frames"}, {"a", "-x=1", "--", "b"}}) {
    Parsed p = Parse(args);
    EXPECT_EQ(p.status, 2) << args[0];
    EXPECT_NE(p.err.find(args.size() == 4 ? "unknown option '-x=1'" : ""), std::string::npos) << args[0];
    EXPECT_FALSE(p.err.empty()) << args[0];
    ZYI_FreeLaunchArgs(&p.opt);
  }
}

TEST_F(ZyTest, ExecutableAnswersVersionHelpAndRejectsUnknownOptions) {
  struct Case { std::vector<std::string> args; int status; const char *out, *err; } cases[] = {
      {{"--version"}, 0, "interface 1224", ""},
      {{"--help"}, 0, "usage: zylem", ""},
      {{"--bogus"}, 2, "", "unknown option '--bogus'"}, {{"--bogus"}, 2, "", "usage: zylem"},
      {{"--game", world.root() + "/missing", "--headless"}, 2, "", "not found"}};
  for (const Case &c : cases) {
    auto r = zytest::RunZylem(world, c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}
