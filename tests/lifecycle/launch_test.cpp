// Launcher options, the game folder rule and the exit statuses of the zylem executable.
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "lifecycle/launch.h"
#include "zytest.h"

namespace {

struct Parsed {
  int status;
  ZyLaunch opt;
  std::string err;
};

Parsed Parse(std::vector<const char *> args) {
  std::vector<char *> argv;
  argv.push_back(const_cast<char *>("zylem"));
  for (auto a : args) argv.push_back(const_cast<char *>(a));
  Parsed p;
  char err[256] = "";
  p.status = ZYI_ParseLaunchArgs((int)argv.size(), argv.data(), &p.opt, err, sizeof err);
  p.err = err;
  return p;
}

}  // namespace

TEST(Launch, OptionsAreConsumedAndTheRestBecomesTheCommandLine) {
  Parsed p = Parse({"--game", "/g", "english", "--headless", "--frames=12", "-x=1", "--",
                    "--not-an-option", "last"});
  // "-x=1" is an unknown option before "--": an error, not a game argument.
  EXPECT_EQ(p.status, 2);
  EXPECT_NE(p.err.find("unknown option '-x=1'"), std::string::npos);
  ZYI_FreeLaunchArgs(&p.opt);

  p = Parse({"--game", "/g", "english", "--headless", "--frames=12", "--renderer=rmod_gl",
             "--screenshot", "shot.png", "--", "--not-an-option", "last"});
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_STREQ(p.opt.game_dir, "/g");
  EXPECT_TRUE(p.opt.headless);
  EXPECT_EQ(p.opt.frames, 12);
  EXPECT_STREQ(p.opt.renderer, "rmod_gl");
  EXPECT_STREQ(p.opt.screenshot, "shot.png");
  EXPECT_STREQ(p.opt.command_line, "english --not-an-option last");
  ZYI_FreeLaunchArgs(&p.opt);
}

TEST(Launch, EmptyCommandLineIsAnEmptyTextNotNull) {
  Parsed p = Parse({});
  ASSERT_EQ(p.status, 0);
  ASSERT_NE(p.opt.command_line, nullptr);
  EXPECT_STREQ(p.opt.command_line, "");
  ZYI_FreeLaunchArgs(&p.opt);
}

TEST(Launch, OptionValuesAreRequiredAndFramesMustBePositive) {
  for (auto args : std::vector<std::vector<const char *>>{
           {"--game"}, {"--renderer="}, {"--frames", "0"}, {"--frames", "3x"}, {"--frames"}}) {
    Parsed p = Parse(args);
    EXPECT_EQ(p.status, 2) << args[0];
    EXPECT_FALSE(p.err.empty());
    ZYI_FreeLaunchArgs(&p.opt);
  }
}

TEST_F(ZyTest, GameFolderRuleTakesOptionThenExecutableFolderThenCurrentFolder) {
  char out[4096];
  std::string exe = world.root() + "/bin";
  zytest::MakeDirs(exe);

  // --game wins, and is made absolute.
  ASSERT_EQ(chdir(world.root().c_str()), 0);
  ASSERT_TRUE(ZYI_ResolveGameFolder("game", exe.c_str(), out, sizeof out));
  EXPECT_EQ(std::string(out), world.game());

  // A --game folder that does not exist is refused.
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
  auto r = zytest::RunZylem(world, {"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("zylem "), std::string::npos);
  EXPECT_NE(r.out.find("interface 1224"), std::string::npos);

  r = zytest::RunZylem(world, {"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: zylem"), std::string::npos);

  r = zytest::RunZylem(world, {"--bogus"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown option '--bogus'"), std::string::npos);
  EXPECT_NE(r.err.find("usage: zylem"), std::string::npos);

  r = zytest::RunZylem(world, {"--game", world.root() + "/missing", "--headless"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("not found"), std::string::npos);
}
