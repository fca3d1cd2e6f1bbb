// Booting real game folders with the real zylem executable: the handshake, module
// loading, renderer initialisation with its retries, the frame loop, shut-down order and
// the exit statuses.
#include <dirent.h>
#include <unistd.h>

#include <thread>

#include "zytest.h"

namespace {

class Boot : public ZyTest {
 protected:
  // The normal test program with the recording modules; ZYTEST_PROGRAM=<kind> in env
  // makes it one of its faulty kinds.
  zytest::Game game;
  zytest::RunResult Run(const std::vector<std::string> &args = {}, std::vector<std::string> env = {},
                        const char *renderer = "rmod_record") {
    if (!zytest::FileExists(world.game() + "/prog.xml")) zytest::MakeGame(world.game(), game);
    env.push_back("ZYLEM_RECORD_FILE=" + world.root() + "/record.txt");
    return zytest::RunGame(world, renderer, args, env);
  }
  std::string Record() const { return zytest::ReadFile(world.root() + "/record.txt"); }
  std::string Log(int n) const {
    return zytest::ReadFile(world.data() + "/ZytestStudio/Test_Game/logs/zylem-000" + std::to_string(n) + ".log");
  }
};

// Checks that every text appears in `haystack`, each after the previous one.
::testing::AssertionResult InOrder(const std::string &haystack, const std::vector<std::string> &texts) {
  size_t at = 0;
  for (auto &t : texts) {
    size_t found = haystack.find(t, at);
    if (found == std::string::npos)
      return ::testing::AssertionFailure() << "'" << t << "' missing after offset " << at << " in:\n" << haystack;
    at = found + t.size();
  }
  return ::testing::AssertionSuccess();
}

bool Has(const std::string &haystack, const std::string &text) { return haystack.find(text) != std::string::npos; }

}  // namespace

TEST_F(Boot, NormalGameBootsRunsFramesAndShutsDownInOrderOrAtTheFrameLimit) {
  auto r = Run({"--", "quit=4"});
  ASSERT_EQ(r.status, 0) << r.err;
  // The user folder is named after the developer and the title made safe for a path.
  EXPECT_TRUE(Has(r.log_path, "/ZytestStudio/Test_Game/logs/zylem-0001.log")) << r.log_path << r.err;
  EXPECT_TRUE(InOrder(r.log, {
      "Using RendImp Library: 'rmod_record.dll':", "Checking parameters with the program before video init.",
      "[prog] event 18", "ZY Core PreInitialized.", "Renderer Initialization done.",
      "InputImp Library: 'imod_record.dll'", "SoundImp initialized.", "Initializing Program 'Test Game'..",
      "[prog] init 640x480 windowed=1", "[prog] first update dt>0=1", "ZYLEM Shutdown.",
      "[prog] shutdown after 4 updates, 4 draws", "Releasing Input Implementations.", "Unloading SoundImp Library.",
      "Zylem RendImp Shutdown.", "Unloading ProgImp Library.", "Closing File Openers...", "ZYLEM log: 0 errors"}));
  // The renderer saw one initialisation, four single-eye frames and one shut-down; the
  // input and sound modules were framed around each one.
  std::string rec = Record();
  EXPECT_TRUE(InOrder(rec, {"SetEngineInterface 1", "Init 640x480 windowed=1 table=1 host=1 -> 1", "Input Init table=1",
                            "Sound Init -> 1", "Input BeginFrame", "Sound BeginFrame", "BeginFrame 0", "Sound EndFrame",
                            "EndFrame", "Input EndFrame", "Input Shutdown", "Sound Shutdown", "Shutdown"}));
  size_t frames = 0;
  for (size_t p = rec.find("\nBeginFrame 0"); p != std::string::npos; p = rec.find("\nBeginFrame 0", p + 1)) frames++;
  EXPECT_EQ(frames, 4u);
  // The launcher's frame limit quits before the game does, asking for the screenshot.
  r = Run({"--frames", "2", "--screenshot", "shot.png", "--", "quit=1000"});
  EXPECT_TRUE(Has(Record(), "QueryValue Screenshot /"));  // made absolute
  EXPECT_TRUE(Has(r.log, "[prog] shutdown after 2 updates")) << r.log;
}

// The first instance runs until the test has seen the second one end, then quits.
TEST_F(Boot, SecondInstanceOfTheSameGameEndsAtOnceWithStatusZero) {
  const std::string go = world.root() + "/go";
  zytest::RunResult first, second;
  std::thread running([&] { first = Run({"--", "wait=" + go}); });
  bool locked = false;  // once the first instance holds its lock file in the runtime folder
  for (int i = 0; i < 1000 && !locked; i++) {
    if (DIR *d = opendir(world.runtime().c_str())) {
      while (dirent *e = readdir(d)) locked |= Has(e->d_name, ".lock");
      closedir(d);
    }
    if (!locked) usleep(5000);
  }
  if (locked) second = Run();
  zytest::WriteFile(go, "");
  running.join();
  ASSERT_TRUE(locked);
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(first.status, 0) << first.err;
  // Only the first instance initialised the game.
  EXPECT_TRUE(Has(Log(1), "Initializing Program 'Test Game'.."));
  EXPECT_TRUE(Has(Log(2), "Logging Verbose Level set to 0."));
  EXPECT_FALSE(Has(Log(2), "Initializing Program")) << Log(2);
}

TEST_F(Boot, OlderEntryPointAndNullCallbacksBoot) {
  auto r = Run({}, {"ZYTEST_PROGRAM=null_callbacks"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.log, "Unloading ProgImp Library.")) << r.log;
  zytest::InstallProgram("only_getinterface", world.game());
  r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.log, "[prog] shutdown after 5 updates")) << r.log;
}

// Starts that fail: how the process ends and what it says (stderr, then the log), in order.
TEST_F(Boot, FailedStartsEndWithTheirStatusAndMessages) {
  struct Case { const char *what; std::vector<std::string> env; int status; std::vector<std::string> err, log;
                const char *renderer = "rmod_record"; };
  const Case cases[] = {
      // A refused record is not asked for again through the older entry point, and a
      // record without an update callback is refused before anything calls it.
      {"refused", {"ZYTEST_PROGRAM=refuse"}, 0,
       {"Program library file bad: Program couldn't be created.", "Failed to initialize the application."}, {}},
      {"no update", {"ZYTEST_PROGRAM=no_update"}, 0,
       {"Program library file bad: Program couldn't be created.", "Failed to initialize the application."}, {}},
      {"old interface", {"ZYTEST_PROGRAM=v1223"}, 0,
       {"Program library uses incompatible ZYLEM interface (1223 instead of 1224). This program cannot run."}, {}},
      {"old interface, cancelled", {"ZYTEST_PROGRAM=v1223", "ZYLEM_POPUP_ANSWER=cancel"}, 255, {}, {}},
      // Init fails: the game keeps running, but its shutdown is never called.
      {"init fails", {"ZYTEST_PROGRAM=init_fails"}, 0, {"Program initialization failed."}, {"[prog] first update"}},
      // Normalisation changed nothing, so there is no roll-back attempt.
      {"renderer never starts", {"ZYLEM_RECORD_INIT_FAIL=always"}, 1,
       {"Unable to initialize the renderer.", "Unable to initialize the graphics (640x480 windowed).",
        "Core initialization failed."},
       {"Unable to initialize the renderer ('rmod_record.dll'). Tried all listed renderers but was unable to "
        "initialize any."}},
      {"no renderer module", {}, 1, {}, {"Using RendImp Library: 'rmod_missing.dll':",
       "[FATAL] RendImp Library not found or bad (error code", "Renderer doesn't exist, can't continue with init."},
       "rmod_missing"},
  };
  for (const Case &c : cases) {
    auto r = Run({}, c.env, c.renderer);
    EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
    EXPECT_TRUE(InOrder(r.err, c.err)) << c.what;
    EXPECT_TRUE(InOrder(r.log, c.log)) << c.what;
    EXPECT_FALSE(Has(r.log, "Rolling back parms..")) << c.what;
    EXPECT_TRUE(c.status != 0 || !c.log.empty() || !Has(r.log, "[prog] init")) << c.what;  // never started
  }
  EXPECT_FALSE(zytest::FileExists(world.game() + "/getinterface_called"));
  EXPECT_FALSE(zytest::FileExists(world.game() + "/shutdown_called"));
  // Without a program library the start ends with status 1.
  unlink((world.game() + "/prog.so").c_str());
  auto r = Run();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "Could not locate Program library file. Please download and install the application again."))
      << r.err;
}

TEST_F(Boot, SmallFullscreenModeIsWindowedAndRolledBackOnFailure) {
  game.resolutions = "320x240";
  // 320x240 fullscreen is normalised to windowed; that first Init fails, and the retry
  // with the rolled-back (fullscreen) settings succeeds.
  auto r = Run({"--", "mode=320x240:fs"}, {"ZYLEM_RECORD_INIT_FAIL=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(InOrder(Record(), {"Init 320x240 windowed=1", "-> 0", "Init 320x240 windowed=0", "-> 1"}));
  EXPECT_TRUE(InOrder(r.log, {"Renderer Initializing: 320x240 windowed..", "Rolling back parms..",
                              "Renderer Initialization done."}));
}

TEST_F(Boot, ModulesLoadFromTheCoreFolderAndAFailingSoundModuleIsReplaced) {
  // The sound module sits in core/ only, the renderer only in the root: both load.
  game.modules = {"rmod_record", "imod_record"};
  zytest::MakeDirs(world.game() + "/core");
  zytest::InstallModule("smod_record", world.game() + "/core");
  auto r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(InOrder(r.log, {"Recording renderer.", "SoundImp Library Loaded ok."}));
  // A sound module whose Init fails leaves the null module in use.
  unlink((world.root() + "/record.txt").c_str());
  r = Run({}, {"ZYLEM_SOUND_INIT_FAIL=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(Has(r.log, "No Sound Implementation available.")) << r.log;
  EXPECT_TRUE(InOrder(Record(), {"Sound Init -> 0", "BeginFrame 0"}));
  EXPECT_FALSE(Has(Record(), "Sound BeginFrame"));
}
