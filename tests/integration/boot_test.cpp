// Booting real game folders with the real zylem executable: the handshake, module
// loading, renderer initialisation with its retries, the frame loop, shut-down order and
// the exit statuses.
#include <dirent.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "zytest.h"

namespace {

const char *const PROG_XML = R"(<?xml version="1.0"?>
<zylem>
  <array id="PARAMETERS">
    <node id="APPLICATION" program_id="zytest.boot" name="Boot Test" developer="ZytestStudio" version="1.0"/>
    <node id="DEVELOPER" developer_mode="1" logging="1" console="1" logging_verbose_level="INFO"/>
  </array>
  <array id="VARIANTS">
    <node id="LINUX" renderer_implementation="rmod_record" sound_implementation="smod_record"
          input_implementations="imod_record" resolutions="640x480,800x600,320x240"/>
  </array>
</zylem>
)";

class Boot : public ZyTest {
 protected:
  // A game folder with the program, the recording modules and prog.xml.
  void MakeGame(const std::string &program, const char *prog_xml = PROG_XML) {
    zytest::InstallProgram(program, world.game());
    for (const char *m : {"rmod_record", "smod_record", "imod_record"})
      zytest::InstallModule(m, world.game());
    zytest::WriteFile(world.game() + "/prog.xml", prog_xml);
  }
  zytest::RunResult Run(const std::vector<std::string> &args = {},
                        std::vector<std::string> env = {}) {
    std::vector<std::string> all = {"--game", world.game(), "--headless", "--renderer",
                                    "rmod_record"};
    all.insert(all.end(), args.begin(), args.end());
    env.push_back("ZYLEM_RECORD_FILE=" + record());
    return zytest::RunZylem(world, all, env);
  }
  std::string record() const { return world.root() + "/record.txt"; }
  std::string Record() const { return zytest::ReadFile(record()); }
};

// Checks that every text appears in `haystack`, each after the previous one.
::testing::AssertionResult InOrder(const std::string &haystack,
                                   const std::vector<std::string> &texts) {
  size_t at = 0;
  for (auto &t : texts) {
    size_t found = haystack.find(t, at);
    if (found == std::string::npos)
      return ::testing::AssertionFailure() << "'" << t << "' missing after offset " << at
                                           << " in:\n" << haystack;
    at = found + t.size();
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(Boot, NormalGameBootsRunsFramesAndShutsDownInOrder) {
  MakeGame("normal");
  auto r = Run({"--", "quit=4"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(r.log.empty()) << "no log written; stderr:\n" << r.err;
  // The user folder is named after the developer and the title made safe for a path.
  EXPECT_NE(r.log_path.find("/ZytestStudio/Boot_Test/logs/zylem-0001.log"), std::string::npos)
      << r.log_path;
  EXPECT_TRUE(InOrder(r.log, {
      "Logging Verbose Level set to 0.",
      "Using RendImp Library: 'rmod_record.dll':",
      "Recording renderer.",
      "Checking parameters with the program before video init.",
      "[prog] event 18",
      "ZY Core PreInitialized.",
      "Endianness: 1234.",
      "Renderer Initializing: 640x480 windowed..",
      "Renderer Initialization done.",
      "InputImp Library: 'imod_record.dll'",
      "SoundImp Library: 'smod_record.dll'",
      "SoundImp initialized.",
      "Initializing Program 'Boot Test'..",
      "[prog] init 640x480 windowed=1",
      "[prog] first update dt>0=1",
      "ZYLEM Shutdown.",
      "Waiting for threads to exit... (0 threads)",
      "[prog] shutdown after 4 updates, 4 draws",
      "Releasing Input Implementations.",
      "Releasing sounds.",
      "Releasing fonts.",
      "Releasing Sound Implementation.",
      "Unloading SoundImp Library.",
      "Zylem RendImp Shutdown.",
      "Unloading ProgImp Library.",
      "Closing File Openers...",
      "ZYLEM log: 0 errors",
  }));
  // The renderer saw one initialisation, four single-eye frames and one shut-down; the
  // input and sound modules were framed around each one.
  std::string rec = Record();
  EXPECT_TRUE(InOrder(rec, {"SetEngineInterface 1", "Init 640x480 windowed=1 table=1 host=1 -> 1",
                            "Input Init table=1", "Sound Init -> 1", "Input BeginFrame",
                            "Sound BeginFrame", "BeginFrame 0", "Sound EndFrame", "EndFrame",
                            "Input EndFrame", "Input Shutdown", "Sound Shutdown", "Shutdown"}));
  size_t frames = 0;
  for (size_t p = rec.find("\nBeginFrame 0"); p != std::string::npos;
       p = rec.find("\nBeginFrame 0", p + 1))
    frames++;
  EXPECT_EQ(frames, 4u);
}

TEST_F(Boot, LauncherFrameLimitQuitsAndAsksForTheScreenshot) {
  MakeGame("normal");
  auto r = Run({"--frames", "2", "--screenshot", "shot.png", "--", "quit=1000"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(Record().find("QueryValue Screenshot /"), std::string::npos);  // made absolute
  EXPECT_NE(r.log.find("[prog] shutdown after 2 updates"), std::string::npos) << r.log;
}

TEST_F(Boot, SecondInstanceOfTheSameGameEndsAtOnceWithStatusZero) {
  MakeGame("normal");
  zytest::RunResult first;
  std::thread running([&] { first = Run({"--frames", "600", "--", "quit=100000"}); });
  // Wait until the first instance holds its lock file in the runtime folder.
  bool locked = false;
  for (int i = 0; i < 400 && !locked; i++) {
    if (DIR *d = opendir(world.runtime().c_str())) {
      while (dirent *e = readdir(d)) locked |= std::string(e->d_name).find(".lock") != std::string::npos;
      closedir(d);
    }
    if (!locked) usleep(10000);
  }
  ASSERT_TRUE(locked);
  auto second = Run({"--frames", "600", "--", "quit=100000"});
  running.join();
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(first.status, 0) << first.err;
  // Only the first instance initialised the game.
  std::string logs = world.data() + "/ZytestStudio/Boot_Test/logs/";
  std::string first_log = zytest::ReadFile(logs + "zylem-0001.log");
  EXPECT_NE(first_log.find("Initializing Program 'Boot Test'.."), std::string::npos);
  std::string second_log = zytest::ReadFile(logs + "zylem-0002.log");
  EXPECT_NE(second_log.find("Logging Verbose Level set to 0."), std::string::npos);
  EXPECT_EQ(second_log.find("Initializing Program"), std::string::npos) << second_log;
}

TEST_F(Boot, OlderEntryPointAndNullCallbacksBoot) {
  MakeGame("only_getinterface");
  auto r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("[prog] init through ZY_GetInterface"), std::string::npos) << r.log;

  MakeGame("null_callbacks");
  r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("Unloading ProgImp Library."), std::string::npos) << r.log;
}

TEST_F(Boot, FailingInitKeepsTheGameRunningWithoutItsShutdown) {
  MakeGame("init_fails");
  auto r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("Program initialization failed."), std::string::npos) << r.err;
  EXPECT_FALSE(zytest::FileExists(world.game() + "/shutdown_called"));
}

TEST_F(Boot, MissingProgramLibraryEndsWithStatusOne) {
  zytest::WriteFile(world.game() + "/prog.xml", PROG_XML);
  auto r = Run();
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("Could not locate Program library file. Please download and install "
                       "the application again."),
            std::string::npos)
      << r.err;
}

TEST_F(Boot, IncompatibleInterfaceVersionEndsWithStatusZeroOrCancel255) {
  MakeGame("v1223");
  auto r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Program library uses incompatible ZYLEM interface (1223 instead of "
                       "1224). This program cannot run."),
            std::string::npos)
      << r.err;
  r = Run({}, {"ZYLEM_POPUP_ANSWER=cancel"});
  EXPECT_EQ(r.status, 255);
}

TEST_F(Boot, RefusedProgramRecordIsNotAskedAgainThroughTheOlderEntryPoint) {
  MakeGame("both_false");
  auto r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Program library file bad: Program couldn't be created."),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("Failed to initialize the application."), std::string::npos);
  EXPECT_FALSE(zytest::FileExists(world.game() + "/getinterface_called"));
}

TEST_F(Boot, ProgramWithoutUpdateIsRefusedNotCalled) {
  MakeGame("no_update");
  auto r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(InOrder(r.err, {"Program library file bad: Program couldn't be created.",
                              "Failed to initialize the application."}))
      << r.err;
}

TEST_F(Boot, RendererThatNeverInitialisesEndsCoreInitialisationWithStatusOne) {
  MakeGame("normal");
  auto r = Run({}, {"ZYLEM_RECORD_INIT_FAIL=always"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(InOrder(r.err, {"Unable to initialize the renderer.",
                              "Unable to initialize the graphics (640x480 windowed).",
                              "Core initialization failed."}))
      << r.err;
  EXPECT_NE(r.log.find("Unable to initialize the renderer ('rmod_record.dll'). Tried all "
                       "listed renderers but was unable to initialize any."),
            std::string::npos);
  // Normalisation changed nothing, so there was no roll-back attempt.
  EXPECT_EQ(r.log.find("Rolling back parms.."), std::string::npos);
}

TEST_F(Boot, SmallFullscreenModeIsWindowedAndRolledBackOnFailure) {
  std::string xml = PROG_XML;
  xml.replace(xml.find("640x480,800x600,320x240"), 23, "320x240");
  MakeGame("normal", xml.c_str());
  // 320x240 fullscreen is normalised to windowed; that first Init fails, and the retry
  // with the rolled-back (fullscreen) settings succeeds.
  auto r = Run({"--", "mode=320x240:fs"}, {"ZYLEM_RECORD_INIT_FAIL=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(InOrder(Record(), {"Init 320x240 windowed=1", "-> 0", "Init 320x240 windowed=0",
                                 "-> 1"}));
  EXPECT_TRUE(InOrder(r.log, {"Renderer Initializing: 320x240 windowed..",
                              "Rolling back parms..", "Renderer Initialization done."}));
}

TEST_F(Boot, RendererModuleFoundOnlyInTheGameFolderRootLoadsOnTheSecondAttempt) {
  MakeGame("normal");
  // The sound module sits in core/, the renderer only in the root: both load.
  zytest::MakeDirs(world.game() + "/core");
  zytest::InstallModule("smod_record", world.game() + "/core");
  auto r = Run();
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("SoundImp Library Loaded ok."), std::string::npos);
  EXPECT_NE(r.log.find("Recording renderer."), std::string::npos);
}

TEST_F(Boot, FailingSoundModuleLeavesTheNullModuleInUse) {
  MakeGame("normal");
  auto r = Run({}, {"ZYLEM_SOUND_INIT_FAIL=1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.log.find("No Sound Implementation available."), std::string::npos) << r.log;
  EXPECT_EQ(Record().find("Sound BeginFrame"), std::string::npos);
}

TEST_F(Boot, MissingRendererModuleIsFatalAtCoreInitialisation) {
  MakeGame("normal");
  auto r = zytest::RunZylem(world, {"--game", world.game(), "--headless", "--renderer",
                                    "rmod_missing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(InOrder(r.log, {"Using RendImp Library: 'rmod_missing.dll':",
                              "[FATAL] RendImp Library not found or bad (error code",
                              "Renderer doesn't exist, can't continue with init."}))
      << r.log;
}
