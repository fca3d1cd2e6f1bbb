// config_reader_test.cpp — reading prog.xml and developer.xml: variant choice, the
// settings of each node in their order, developer settings, the exit when no variant
// fits, and the program identity checks.
#include <stdio.h>

#include <string>

#include "config/config_reader.h"
#include "config/didodoz.h"
#include "config_support.h"

using cfgtest::Count;

namespace {

// A prog.xml with APPLICATION attributes, VARIANTS nodes and an optional DEVELOPER node.
std::string ProgXml(const std::string &app, const std::string &variants, const std::string &dev = "") {
  return "<?xml?>\n<prog><array id=\"PARAMETERS\"><node id=\"APPLICATION\" " + app + "/>\n" +
         (dev.empty() ? "" : "<node id=\"DEVELOPER\" " + dev + "/>\n") +
         "</array><array id=\"VARIANTS\">\n" + variants + "</array></prog>\n";
}
std::string DeveloperXml(const std::string &dev) {
  return "<?xml?>\n<d><array id=\"PARAMETERS\"><node id=\"DEVELOPER\" " + dev + "/></array></d>\n";
}

const char *kLinux = "<node id=\"LINUX\"/>\n";
const char *kVariants =
    "<node id=\"WINDOWS\" name=\"Windows build\"/>\n"
    "<node id=\"LINUX\" name=\"Plain Linux\" renderer_implementation=\"plain\"/>\n"
    "<node id=\"LINUX/LARGE\" name=\"Large Linux\" resolutions=\"1280x720,*\"\n"
    "  renderer_implementation=\"myrenderer\" input_implementations=\"imod_a, imod_b\"\n"
    "  sound_implementation=\"smod_soft.dll\" features=\"AUTOSCALE\" version=\"2.0\"\n"
    "  addon_packages=\"extra\" locale=\"fi\" reference_resolution=\"800x600\"/>\n"
    "<node id=\"ANDROID\" name=\"Android\"/>\n";

class ConfigReader : public CfgTest {
 protected:
  // Reads the configuration from a fresh state; popups are shown (in a child) when asked.
  bool Read(const std::string &prog_xml, const std::string &developer_xml = "",
            bool popups = false, char *command_line = nullptr) {
    ZYI_ResetState();
    prog = cfgtest::UseProgramRecord(popups);
    zy::core.command_line = command_line;
    zytest::WriteFile(world.game() + "/prog.xml", prog_xml);
    if (!developer_xml.empty()) zytest::WriteFile(world.game() + "/developer.xml", developer_xml);
    cfgtest::UseGameFolder(world.game());
    return ZYI_ReadConfiguration();
  }
  ZY_ProgramInterface *prog = nullptr;
};

}  // namespace

TEST_F(ConfigReader, FillsTheProgramRecordAndSettingsFromApplicationAndVariant) {
  ASSERT_TRUE(Read(ProgXml("program_id=\"com.example.game\" name=\"Example\" developer=\"Acme\" "
                           "version=\"1.0\" fps_limit=\"60\" features=\"SHOW_FPS\" locale=\"en\" "
                           "reference_resolution=\"1024x768\" packages=\"data,hd\" store=\"app\"",
                           kVariants)));
  ZyConfig &c = zy::config;
  // The variant overrides the application; every input module gets its own ".dll".
  const std::pair<const char *, const char *> texts[] = {
      {prog->id, "com.example.game"}, {prog->title, "Large Linux"}, {prog->developer_name, "Acme"},
      {prog->version, "2.0"}, {c.locale, "fi"}, {prog->parms.locale, "fi"},
      {c.current_variant, "LINUX/LARGE"}, {c.renderer_module, "myrenderer.dll"},
      {c.sound_module, "smod_soft.dll"}, {c.input_modules[0], "imod_a.dll"},
      {c.input_modules[1], "imod_b.dll"}, {c.resolutions, "1280x720,*"},
      {c.app_features, "SHOW_FPS"}, {c.variant_features, "AUTOSCALE"}, {c.app_packages, "data,hd"},
      {c.addon_packages, "extra"}, {c.music_folder, "data-music-OGG_44100"},
      {c.sfx_folder, "data-sfx-WAV_22050_MONO"}, {ZYI_GetParameter("store"), "app"}};
  for (auto &t : texts) EXPECT_STREQ(t.first, t.second);
  EXPECT_EQ(c.input_modules[2], nullptr);
  EXPECT_EQ(prog->parms.frame_interval_ms, 16);
  EXPECT_EQ(prog->parms.reference_width, 800);
  EXPECT_EQ(c.console, 0);  // without a developer node the log never starts
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
  // Without a sized variant the plain platform's serves; long texts are cut to fit.
  std::string n300(300, 'n');
  ASSERT_TRUE(Read(ProgXml("program_id=\"" + n300 + "\" name=\"" + n300 + "\" store=\"a\" "
                           "reference_resolution=\"99999999999x-5\"",
                           "<node id=\"ANDROID\"/><node id=\"LINUX\" store=\"v\"/>\n")));
  EXPECT_EQ(prog->parms.reference_width, INT32_MAX);  // saturated, not wrapped
  EXPECT_EQ(prog->parms.reference_height, -5);
  EXPECT_EQ(std::string(prog->id) + "|" + prog->title,
            std::string(sizeof prog->id - 1, 'n') + "|" + std::string(sizeof prog->title - 1, 'n'));
  EXPECT_STREQ(ZYI_GetParameter("store"), "v");
  EXPECT_EQ(std::string(c.renderer_module) + c.sound_module + c.resolutions, "rmod_d3d8.dllsmod_soft.dll*");
}

TEST_F(ConfigReader, DeveloperSettingsComeFromDeveloperXmlFirstAndForceTheVariant) {
  ASSERT_TRUE(Read(ProgXml("features=\"A\"", kVariants, "console_toggle_key=\"TAB\""),
                   DeveloperXml("developer_mode=\"true\" logging=\"1\" console=\"t\" "
                                "logging_verbose_level=\"ERROR\" features=\"B;C\" console_toggle_key=\"q\" "
                                "pak_folder=\"paks\" developer_packages=\"dev\" force_variant=\"ANDROID\"")));
  ZyConfig &c = zy::config;
  for (int flag : {(int)c.developer_mode, (int)prog->parms.developer_mode, (int)c.logging, (int)c.console,
                   (int)prog->parms.windowed})
    EXPECT_EQ(flag, 1);
  EXPECT_EQ(c.verbose_level, 2);
  EXPECT_EQ(c.console_toggle_key, 81);
  EXPECT_EQ(std::string(c.sound_module) + " " + c.app_features + " " + c.pak_folder + " " +
                c.developer_packages + " " + c.current_variant + " " + prog->title,
            "smod_bass.dll A,DEVELOPER_MODE,B;C paks/ dev ANDROID Android");
  // Developer mode off; developer.xml without a DEVELOPER node leaves prog.xml's.
  ASSERT_TRUE(Read(ProgXml("", kVariants, "developer_mode=\"0\" console_toggle_key=\"TAB\" "
                                          "developer_packages=\"dev\" force_resolution=\"640x480\""),
                   "<?xml?>\n<d><array id=\"PARAMETERS\"><node id=\"OTHER\"/></array></d>"));
  EXPECT_EQ(c.developer_mode, 0);
  EXPECT_EQ(c.console_toggle_key, 9);
  EXPECT_STREQ(c.sound_module, "smod_soft.dll");
  EXPECT_EQ(c.developer_packages, nullptr);  // only in developer mode
  EXPECT_STREQ(c.resolutions, "*");          // a forced resolution, not the variant's list
  EXPECT_EQ(prog->parms.width, 640);
  EXPECT_EQ(prog->parms.height, 480);
}

TEST_F(ConfigReader, AutoLocaleAndManifests) {
  char command_line[] = "-fullscreen German";  // locale "auto": the language, lower case
  ASSERT_TRUE(Read(ProgXml("locale=\"auto\"", kLinux), "", false, command_line));
  EXPECT_STREQ(prog->parms.locale, "german");
  // Manifests of the variant come first, later ones before earlier ones.
  for (const char *name : {"m1", "m2", "m3"})
    zytest::WriteFile(world.game() + "/" + name + ".xml",
                      std::string("<?xml?><r><array id=\"") + name + "\"></array></r>");
  ASSERT_TRUE(Read(ProgXml("manifest=\"m1.xml, missing.xml\"",
                           "<node id=\"LINUX\" manifest=\"m2.xml,m3.xml\"/>\n")));
  ASSERT_EQ(ZYI_ManifestArrayCount(), 3);
  for (int i = 0; i < 3; i++) EXPECT_STREQ(ZYI_ManifestArray(i)->id, ("m" + std::to_string(3 - i)).c_str());
  EXPECT_EQ(ZYI_ManifestArray(3), nullptr);
}

TEST_F(ConfigReader, FailsOrExitsWithThePopupWhenNothingFits) {
  zytest::RunResult r = zytest::RunInChild([&] {
    cfgtest::UseProgramRecord(false);
    cfgtest::UseGameFolder(world.game());
    printf("read=%d\n", ZYI_ReadConfiguration());
  });
  EXPECT_EQ(r.out, "read=0\n");
  EXPECT_NE(r.err.find("Cannot find prog.xml. It should be located in res://."), std::string::npos);
  const std::string hint = "'.\n\nUse force_variant to use another platform for development purposes.";
  struct Case { std::string variants, developer, popup; } cases[] = {
      {"<node id=\"WINDOWS\"/><node id=\"LINUX/SMALL\"/>\n", "", "platform id 'LINUX" + hint},
      {kVariants, DeveloperXml("force_variant=\"IOS/MEDIUM\""), "platform id 'IOS/MEDIUM" + hint}};
  for (auto &c : cases) {
    r = zytest::RunInChild([&] { printf("read=%d\n", Read(ProgXml("", c.variants), c.developer, true)); });
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("No build variant found for current " + c.popup), std::string::npos) << r.err;
  }
  zy::core.prog = nullptr;
  EXPECT_FALSE(ZYI_ReadConfiguration());  // without a program record
}

using ConfigValues = CfgTest;

TEST_F(ConfigValues, ProgramCheckMakesSafeFolderNamesAndReportsMissingFields) {
  zytest::RunResult r = zytest::RunInChild([] {
    strcpy(cfgtest::UseProgramRecord(true)->title, "My Game!/..");
    ZYI_CheckProgramParameters();
    printf("%s|%s\n", zy::config.developer_folder, zy::config.program_folder);
  });
  EXPECT_EQ(r.out, "Qarvel|My_Game____\n");  // nothing that climbs
  EXPECT_EQ(Count(r.err, "Program doesn't have parm id set: set value prog->id"), 1) << r.err;
  EXPECT_EQ(r.err.find("parm title"), std::string::npos);
}
