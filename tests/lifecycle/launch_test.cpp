// Launcher options, the game folder rule and the exit statuses of the zylem executable.
#include <unistd.h>

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
    EXPECT_FALSE(p.err.empty()) << args[0];
    ZYI_FreeLaunchArgs(&p.opt);
  }
  EXPECT_NE(Parse({"-x=1"}).err.find("unknown option '-x=1'"), std::string::npos);
}

TEST_F(ZyTest, GameFolderRuleTakesOptionThenExecutableFolderThenCurrentFolder) {
  char out[4096];
  std::string exe = world.root() + "/bin";
  zytest::MakeDirs(exe);
  ASSERT_EQ(chdir(world.root().c_str()), 0);
  ASSERT_TRUE(ZYI_ResolveGameFolder("game", exe.c_str(), out, sizeof out));  // made absolute
  EXPECT_EQ(std::string(out), world.game());
  EXPECT_FALSE(ZYI_ResolveGameFolder("nowhere", exe.c_str(), out, sizeof out));
  // Without --game the executable's folder counts only when it holds prog.so.
  ASSERT_EQ(chdir(world.game().c_str()), 0);
  ASSERT_TRUE(ZYI_ResolveGameFolder(nullptr, exe.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), world.game());
  zytest::WriteFile(exe + "/prog.so", "not really a library");
  ASSERT_TRUE(ZYI_ResolveGameFolder(nullptr, exe.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), exe);
}

TEST_F(ZyTest, ExecutableAnswersVersionHelpAndRejectsUnknownOptions) {
  struct Case { std::vector<std::string> args; int status; const char *out, *err; } cases[] = {
      {{"--version"}, 0, "interface 1224", ""},
      {{"--help"}, 0, "usage: zylem", ""},
      {{"--bogus"}, 2, "", "unknown option '--bogus'"},
      {{"--bogus"}, 2, "", "usage: zylem"},
      {{"--game", world.root() + "/missing", "--headless"}, 2, "", "not found"}};
  for (const Case &c : cases) {
    auto r = zytest::RunZylem(world, c.args);
    EXPECT_EQ(r.status, c.status) << c.args[0];
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
}
