// The system query, its dialogs and scripted input, through the real zylem executable
// and the normal test program: "queries" asks one key a line of queries.txt and logs the
// answer, "input" logs every frame and input event and marks the mouse on screen.
#include <regex>

#include "zytest.h"

namespace {

struct Row {
  const char *query;  // a line of queries.txt
  const char *want;   // what its "[prog] query" line shows after " = " (null: checked apart)
};

// True when the log holds the texts in this order.
bool InOrder(const std::string &log, const std::vector<std::string> &texts, std::string *missing) {
  size_t at = 0;
  for (const std::string &t : texts)
    if ((at = log.find(t, at)) == std::string::npos) return *missing = t, false;
  return true;
}

}  // namespace

using ScriptedInput = ZyTest;
using SystemQueries = ZyTest;

TEST_F(ScriptedInput, ArrivesAtTheStartOfItsFrameAsTypedInput) {
  zytest::Game g;
  g.modules = {"rmod_soft"}, g.renderer = "rmod_soft", g.resolutions = "160x120", g.variant = "";
  zytest::MakeGame(world.game(), g);
  const std::string script = world.root() + "/input.txt", shot = world.root() + "/shot.png";
  zytest::WriteFile(script, "# frames may come in any order\n3 key down A\n2 mouse 50 40  # moved\n2 text a#\n"
                            "4 button down 1\n4 wheel -120\n5 key up 65\n");
  zytest::RunResult r = zytest::RunGame(world, "rmod_soft", {"--input-script", script, "--frames", "6",
                                        "--screenshot", shot, "--", "quit=100"}, {"ZYTEST_PROGRAM=input"});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  std::string missing;
  EXPECT_TRUE(InOrder(r.log, {"frame 1 key65=0", "input 2 0 50 40", "input 1 97 ", "input 1 35 ", "frame 2 key65=0",
                              "input 8 65 0 0 65", "frame 3 key65=3", "input 6 0 50 40 511", "input 4 0 50 40 -120",
                              "frame 4 key65=2", "input 9 65", "frame 5 key65=0"}, &missing))
      << "missing or out of order: " << missing << "\n" << r.log;
  zytest::Image img;
  std::string error;
  ASSERT_TRUE(zytest::ReadPng(shot, &img, &error)) << error;
  EXPECT_EQ(img.At(51, 41)[2], 255) << "white square at the scripted mouse position";
  EXPECT_LT(img.At(60, 41)[2], 10) << "orange beside it";
}

TEST_F(ScriptedInput, BadLineStopsTheLaunchWithItsLineNumber) {
  zytest::MakeGame(world.game(), zytest::Game());
  const std::string long_line(5000, '1');
  const Row bad[] = {{"0 char 65", "line 1: the frame must be a number from 1 on"},
                     {"# fine\n\n2 char 256", "line 3: char needs one code 0..255"},
                     {"2 key sideways A", "line 1: key needs down or up"},
                     {"2 key down NO_SUCH_KEY", "line 1: key needs down or up"},
                     {"2 mouse 1", "line 1: mouse needs a position X Y"},
                     {"2 button down 7", "line 1: button needs down or up"},
                     {"2 text", "line 1: text needs the characters to type"},
                     {"1 wheel 3 4", "line 1: wheel needs a delta"},
                     {"1 jump # high", "line 1: unknown event 'jump'"},
                     {long_line.c_str(), "line 1: longer than 4096 characters"}};
  for (const Row &row : bad) {
    zytest::WriteFile(world.root() + "/bad.txt", row.query);
    zytest::RunResult r = zytest::RunGame(world, "rmod_record", {"--input-script", world.root() + "/bad.txt"});
    EXPECT_EQ(r.status, 2) << row.query;
    EXPECT_NE(r.err.find(row.want), std::string::npos) << row.query << " gave: " << r.err;
  }
  zytest::RunResult r = zytest::RunGame(world, "rmod_record", {"--input-script", world.root() + "/none.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
}

// One boot asks every family of keys: platform calls (the dialogs answered from the
// environment, in the order they open), the language, the developer answers, the queries
// and the keys only a module knows.
TEST_F(SystemQueries, AnswerEveryKeyFamilyInOneBoot) {
  zytest::Game g;
  g.modules = {"rmod_soft", "smod_record", "imod_record"}, g.renderer = "rmod_soft", g.resolutions = "160x120";
  g.features = "A,B", g.application = "mood=\"sunny\"", g.variant += " features=\"C\"";
  zytest::MakeGame(world.game(), g);
  zytest::MakeDirs(world.game() + "/data"), zytest::MakeDirs(world.game() + "2");
  zytest::WriteFile(world.game() + "/data/x.png", zytest::PngBytes(zytest::Image(64, 64)));
  zytest::WriteFile(world.game() + "2/x.png", "elsewhere");
  const std::string game = world.game(), beside = "'" + game + "2/x.png'";
  const Row rows[] = {
      {"GetLanguage", "'English'"}, {"Clipboard_SetText\thello", "null"}, {"Clipboard_GetText", "'hello'"},
      {"GetRegion", "'BR'"}, {"SystemInfo", "'DEPRECATED'"}, {"OpenURL", "null"},
      {"EditValueName\ta\"b\\c\td", "'edited'"}, {"EditValueNothing", "null"}, {"EditUIComp\tbutton", "'i'"},
      {"EditUIComp", "null"},
      {"OpenFileDialog\tImages\\0*.png;*.jpg\\0", "'res://data/x.png'"}, {"OpenFileDialog\tAll|*", "null"},
      {"OpenFileDialog\tAll|*", beside.c_str()}, {"SaveFileDialog\tAll|*", "null"},
      {"Facebook_IsAvailable", "'YES'"}, {"ProgramInfo\tFeatures", "'A,B,DEVELOPER_MODE,C'"},
      {"ProgramInfo\tProgramId", "'zytest.game'"}, {"GetProductValue\tmood", "'sunny'"},
      {"GetProductValue\tnothing", "null"}, {"PlatformInfo\tPlatformId", "'LINUX'"},
      {"PlatformInfo\tScreenSizeId", "'LARGE'"}, {"PlatformInfo\tDeviceModel", "'PC'"},
      {"PlatformInfo\tGPUDesc", "'rmod_soft software rasteriser'"}, {"PlatformInfo\tDesktopWidth", "'1920'"},
      {"PlatformInfo\tOSMajor", "null"}, {"Renderer\tEyeMode", "'Mono'"}, {"UI\tBeginKeyboardInput", "null"},
      {"+data/x", nullptr}, {"PlatformInfo\tUniqueId", nullptr}, {"GetTimeStamp", nullptr}, {"RefreshMemUsageEstimates", "null"}, {"ListResourceUsage", "null"},
      {"SwitchProgramBasePath\t../up", "null"}, {"SwitchProgramBasePath\tOther", "null"},
      {"imod_record.ping", "'pong'"}, {"NoSuchKey\tx", "null"}};
  std::string queries;
  for (const Row &row : rows) queries += std::string(row.query) + "\n";
  zytest::WriteFile(game + "/queries.txt", queries);
  const std::string answers = "edited\ncancel\nn|p|i\n" + game + "/data/../data/x.png\n" + game + "/missing.png\n" +
                              game + "2/x.png\ncancel";
  zytest::RunResult r = zytest::RunGame(world, "rmod_soft", {"--frames", "3", "--", "French", "English"},
                                        {"ZYTEST_PROGRAM=queries", "ZYLEM_DIALOG_ANSWER=" + answers, "LC_ALL=",
                                         "LC_MESSAGES=pt_BR.UTF-8", "LANG=de_AT.UTF-8"});
  ASSERT_EQ(r.status, 0) << r.err << r.log;
  // The log goes on in the switched program folder: both parts, in order.
  ASSERT_NE(r.log_path.find("/Other/logs/"), std::string::npos) << r.log_path;
  remove(r.log_path.c_str());
  r.log = zytest::ReadFile(zytest::NewestLog(world.root())) + r.log;
  for (const Row &row : rows) {
    if (!row.want) continue;
    std::string line = row.query;
    const size_t tab = line.find('\t');
    line = tab == std::string::npos ? line + " (null)" : line.replace(tab, 1, " ");
    EXPECT_NE(r.log.find("[prog] query " + line + " = " + row.want + "\n"), std::string::npos)
        << "'" << line << "' should answer " << row.want;
  }
  for (const char *text : {"[POPUP] PlatformInfo.OSMajor is removed.", "[POPUP] Unimplemented.", "Name: 'n'",
                           "Parent: 'p'", "Inherit: 'i'", "SwitchProgramBasePath new path parameter invalid.",
                           "does not exist", "estimates 0 16384 16384", "Bitmap #000 64x64 'data/x' refc=1 gpumem=16.0KB  texture=64x64",
                           "Total 16.0KB allocated for all resources.", "TOP1 Memory Hogs", "#001 GFX 16KB 64x64 data/x"})
    EXPECT_NE(r.log.find(text), std::string::npos) << "missing in the log: " << text;
  EXPECT_NE(r.err.find("[dialog] EditValueName showing 'a\\\"b\\\\c\\td': 'edited'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("[dialog] EditValueNothing showing '<insert text here>': cancelled"), std::string::npos);
  EXPECT_TRUE(zytest::FileExists(world.data() + "/ZytestStudio/Other/logs")) << "the switched program folder";
  EXPECT_TRUE(std::regex_search(r.log, std::regex("UniqueId = '([0-9a-f]{12}\n|TIME[0-9a-f]+x[0-9a-f]+')")));
  EXPECT_TRUE(std::regex_search(r.log, std::regex("GetTimeStamp \\(null\\) = '20[0-9]{2}-[01][0-9]-[0-3][0-9]:[0-2][0-9]-[0-5][0-9]'")));
}

// A forced build variant answers as the platform and screen size it names.
TEST_F(SystemQueries, ForcedVariantAnswersItsPlatformAndScreenSize) {
  const Row variants[] = {{"IOS/MEDIUM", "'IOS' 'MEDIUM'"}, {"ANDROID", "'ANDROID' 'LARGE'"},
                          {"WINDOWS_PHONE/TINY", "'WINDOWS_PHONE' 'SMALL'"}};
  for (const Row &v : variants) {
    zytest::Game g;
    g.developer_node += std::string(" force_variant=\"") + v.query + "\"";
    zytest::MakeGame(world.game(), g);
    std::string xml = zytest::ProgXml(g);
    xml.replace(xml.rfind("  </array>"), 0, std::string("    <node id=\"") + v.query + "\" renderer_implementation=\"rmod_record\"/>\n");
    zytest::WriteFile(world.game() + "/prog.xml", xml);
    zytest::WriteFile(world.game() + "/queries.txt", "PlatformInfo\tPlatformId\nPlatformInfo\tScreenSizeId\n");
    zytest::RunResult r = zytest::RunGame(world, "rmod_record", {"--frames", "2"}, {"ZYTEST_PROGRAM=queries"});
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.log, m, std::regex("PlatformId = (\\S+)\n(?:.*\n)*?.*ScreenSizeId = (\\S+)\n"))) << r.log;
    EXPECT_EQ(m[1].str() + " " + m[2].str(), v.want) << v.query;
  }
}
