// config_reader_test.cpp — reading prog.xml and developer.xml: variant choice, the
// settings of each node in their order, developer settings, deprecated keys, the exit
// when no variant fits, and the program identity checks.
#include <stdio.h>

#include <string>

#include "config/config_reader.h"
#include "config/language.h"
#include "config_support.h"
#include "config/didodoz.h"

using cfgtest::Count;

namespace {

// A prog.xml with the given APPLICATION attributes, optional DEVELOPER node and
// VARIANTS nodes (each a full <node .../> line).
std::string ProgXml(const std::string &application, const std::string &variants,
                    const std::string &developer = "") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<prog>\n"
                    "  <array id=\"PARAMETERS\">\n"
                    "    <node id=\"APPLICATION\" " + application + "/>\n";
  if (!developer.empty()) xml += "    <node id=\"DEVELOPER\" " + developer + "/>\n";
  xml += "  </array>\n  <array id=\"VARIANTS\">\n" + variants + "  </array>\n</prog>\n";
  return xml;
}

std::string DeveloperXml(const std::string &developer) {
  return "<?xml version=\"1.0\"?>\n<developer>\n  <array id=\"PARAMETERS\">\n"
         "    <node id=\"DEVELOPER\" " + developer + "/>\n  </array>\n</developer>\n";
}

const char *kLinuxVariants =
    "    <node id=\"WINDOWS\" name=\"Windows build\"/>\n"
    "    <node id=\"LINUX\" name=\"Plain Linux\" renderer_implementation=\"plain\"/>\n"
    "    <node id=\"LINUX/LARGE\" name=\"Large Linux\" resolutions=\"1280x720,*\"\n"
    "          renderer_implementation=\"myrenderer\" input_implementations=\"imod_a, imod_b\"\n"
    "          sound_implementation=\"smod_soft.dll\" features=\"AUTOSCALE\" version=\"2.0\"\n"
    "          addon_packages=\"extra\" locale=\"fi\" reference_resolution=\"800x600\"/>\n"
    "    <node id=\"ANDROID\" name=\"Android\"/>\n";

// Reads the configuration of the game folder in this process.
class ConfigTest : public ZyTest {
 protected:
  void SetUp() override { prog = cfgtest::UseProgramRecord(false); }
  void TearDown() override {
    ZYI_ConfigFree();
    ZYI_DidodozFree();
  }
  bool Read(const std::string &prog_xml, const std::string &developer_xml = "") {
    zytest::WriteFile(world.game() + "/prog.xml", prog_xml);
    if (!developer_xml.empty()) zytest::WriteFile(world.game() + "/developer.xml", developer_xml);
    cfgtest::UseGameFolder(world.game());
    return ZYI_ReadConfiguration();
  }
  ZY_ProgramInterface *prog = nullptr;
};

// Runs a configuration read in a child with developer-mode popups shown; prints
// "read=<0|1>" when the read returns.
zytest::RunResult ReadInChild(const zytest::TempWorld &world, const std::string &prog_xml,
                              const std::string &developer_xml = "",
                              const std::function<void()> &after = nullptr) {
  zytest::WriteFile(world.game() + "/prog.xml", prog_xml);
  if (!developer_xml.empty()) zytest::WriteFile(world.game() + "/developer.xml", developer_xml);
  std::string game = world.game();
  return zytest::RunInChild([game, after] {
    cfgtest::UseProgramRecord(true);
    cfgtest::UseGameFolder(game);
    printf("read=%d\n", ZYI_ReadConfiguration() ? 1 : 0);
    if (after) after();
  });
}

}  // namespace

TEST_F(ConfigTest, FillsTheProgramRecordAndSettingsFromApplicationAndVariant) {
  ASSERT_TRUE(Read(ProgXml("program_id=\"com.example.game\" name=\"Example\" developer=\"Acme\" "
                           "version=\"1.0\" fps_limit=\"60\" features=\"SHOW_FPS\" "
                           "reference_resolution=\"1024x768\" packages=\"data,hd\" locale=\"en\"",
                           kLinuxVariants)));
  ZyConfig &c = zy::config;
  EXPECT_STREQ(prog->id, "com.example.game");
  EXPECT_STREQ(prog->title, "Large Linux");  // the variant overrides the application
  EXPECT_STREQ(prog->developer_name, "Acme");
  EXPECT_STREQ(prog->version, "2.0");
  EXPECT_EQ(prog->parms.frame_interval_ms, 16);
  EXPECT_EQ(prog->parms.reference_width, 800);
  EXPECT_EQ(prog->parms.reference_height, 600);
  EXPECT_STREQ(c.locale, "fi");
  EXPECT_EQ(prog->parms.locale, c.locale);

  EXPECT_STREQ(c.current_variant, "LINUX/LARGE");
  EXPECT_STREQ(c.renderer_module, "myrenderer.dll");
  EXPECT_STREQ(c.sound_module, "smod_soft.dll");  // already holding ".dll": kept
  // Every entry of the input module list gets its own ".dll".
  EXPECT_STREQ(c.input_module_list, "imod_a, imod_b");
  EXPECT_STREQ(c.input_modules[0], "imod_a.dll");
  EXPECT_STREQ(c.input_modules[1], "imod_b.dll");
  EXPECT_EQ(c.input_modules[2], nullptr);
  EXPECT_STREQ(c.resolutions, "1280x720,*");
  EXPECT_STREQ(c.app_features, "SHOW_FPS");
  EXPECT_STREQ(c.variant_features, "AUTOSCALE");
  EXPECT_STREQ(c.app_packages, "data,hd");
  EXPECT_STREQ(c.addon_packages, "extra");
  EXPECT_STREQ(c.music_folder, "data-music-OGG_44100");
  EXPECT_STREQ(c.sfx_folder, "data-sfx-WAV_22050_MONO");
  EXPECT_EQ(c.console_toggle_key, ZYI_DEFAULT_CONSOLE_TOGGLE_KEY);
  EXPECT_EQ(c.developer_mode, 0);
  EXPECT_EQ(c.console, 0);  // without a developer node the log never starts
  EXPECT_EQ(c.developer_packages, nullptr);
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
}

TEST_F(ConfigTest, KeepsTheDefaultsWhenNothingIsConfigured) {
  ASSERT_TRUE(Read(ProgXml("", "<node id=\"LINUX\"/>\n")));
  EXPECT_STREQ(zy::config.current_variant, "LINUX");
  EXPECT_STREQ(zy::config.renderer_module, "rmod_d3d8.dll");
  EXPECT_STREQ(zy::config.sound_module, "smod_soft.dll");
  EXPECT_STREQ(zy::config.resolutions, "*");
  EXPECT_STREQ(zy::config.locale, "");
  EXPECT_EQ(prog->parms.frame_interval_ms, 8);
  EXPECT_EQ(zy::config.input_modules[0], nullptr);
}

TEST_F(ConfigTest, CutsIdentityTextsToTheirFields) {
  std::string long_name(300, 'n');
  ASSERT_TRUE(Read(ProgXml("program_id=\"" + long_name + "\" name=\"" + long_name + "\"",
                           "<node id=\"LINUX\"/>\n")));
  EXPECT_EQ(std::string(prog->id), std::string(sizeof prog->id - 1, 'n'));
  EXPECT_EQ(std::string(prog->title), std::string(sizeof prog->title - 1, 'n'));
}

TEST_F(ConfigTest, TakesThePlainPlatformVariantWithoutASizedOne) {
  ASSERT_TRUE(Read(ProgXml("", "<node id=\"ANDROID\"/><node id=\"LINUX\" features=\"X\"/>\n")));
  EXPECT_STREQ(zy::config.current_variant, "LINUX");
  EXPECT_STREQ(zy::config.variant_features, "X");
}

TEST_F(ConfigTest, DeveloperModeSwitchesSoundModuleAndAddsTheFeature) {
  ASSERT_TRUE(Read(ProgXml("features=\"A\"", "<node id=\"LINUX\"/>\n",
                           "developer_mode=\"true\" logging=\"1\" console=\"t\" "
                           "logging_verbose_level=\"ERROR\" features=\"B;C\" "
                           "console_toggle_key=\"q\" pak_folder=\"paks\"")));
  ZyConfig &c = zy::config;
  EXPECT_EQ(c.developer_mode, 1);
  EXPECT_STREQ(c.sound_module, "smod_bass.dll");
  EXPECT_STREQ(c.app_features, "A,DEVELOPER_MODE,B;C");
  EXPECT_TRUE(ZYI_IsFeatureEnabled("DEVELOPER_MODE"));
  EXPECT_TRUE(ZYI_IsFeatureEnabled("C"));
  EXPECT_EQ(c.logging, 1);
  EXPECT_EQ(c.console, 1);
  EXPECT_EQ(c.verbose_level, 2);
  EXPECT_EQ(c.console_toggle_key, 81);
  EXPECT_STREQ(c.pak_folder, "paks/");
}

TEST_F(ConfigTest, DeveloperModeOffLeavesSoundModuleAndFeatures) {
  for (const char *value : {"false", "0"}) {
    ZYI_DidodozFree();
    ASSERT_TRUE(Read(ProgXml("", "<node id=\"LINUX\"/>\n",
                             std::string("developer_mode=\"") + value + "\" pak_folder=\"p/\"")));
    EXPECT_EQ(zy::config.developer_mode, 0) << value;
    EXPECT_STREQ(zy::config.sound_module, "smod_soft.dll");
    EXPECT_FALSE(ZYI_IsFeatureEnabled("DEVELOPER_MODE"));
    EXPECT_STREQ(zy::config.pak_folder, "p/");  // already ending in '/'
  }
}

TEST_F(ConfigTest, DeveloperXmlWinsOverTheDeveloperNodeOfProgXml) {
  ASSERT_TRUE(Read(ProgXml("", "<node id=\"LINUX\"/>\n", "console_toggle_key=\"TAB\""),
                   DeveloperXml("console_toggle_key=\"GAMEPAD_1_BUTTON_A\" developer_packages=\"dev\"")));
  EXPECT_EQ(zy::config.console_toggle_key, 890);
  EXPECT_EQ(zy::config.developer_packages, nullptr);  // only in developer mode
}

TEST_F(ConfigTest, ProgXmlDeveloperNodeServesWhenDeveloperXmlHasNone) {
  std::string empty_dev = "<?xml?>\n<d>\n<array id=\"PARAMETERS\"><node id=\"OTHER\"/></array></d>";
  ASSERT_TRUE(Read(ProgXml("", "<node id=\"LINUX\"/>\n",
                           "developer_mode=\"1\" console_toggle_key=\"TAB\" "
                           "developer_packages=\"tools\""),
                   empty_dev));
  EXPECT_EQ(zy::config.console_toggle_key, 9);
  EXPECT_STREQ(zy::config.developer_packages, "tools");
}

TEST_F(ConfigTest, ForcedVariantIsTheOnlyOneLookedUpAndRunsWindowed) {
  ASSERT_TRUE(Read(ProgXml("", kLinuxVariants, "force_variant=\"ANDROID\"")));
  EXPECT_STREQ(zy::config.force_variant, "ANDROID");
  EXPECT_STREQ(zy::config.current_variant, "ANDROID");
  EXPECT_STREQ(prog->title, "Android");
  EXPECT_EQ(prog->parms.windowed, 1);
  EXPECT_STREQ(zy::config.music_folder, "data-music-MP3_44100");
  EXPECT_STREQ(zy::config.sfx_folder, "data-sfx-WAV_22050_MONO");
}

TEST_F(ConfigTest, ForcedResolutionWinsOverTheVariantList) {
  ASSERT_TRUE(Read(ProgXml("", kLinuxVariants, "force_resolution=\"640x480\" force_windowed=\"1\"")));
  EXPECT_EQ(zy::config.force_resolution, 1);
  EXPECT_EQ(zy::config.forced_width, 640);
  EXPECT_EQ(zy::config.forced_height, 480);
  EXPECT_EQ(prog->parms.width, 640);
  EXPECT_EQ(prog->parms.height, 480);
  EXPECT_EQ(prog->parms.windowed, 1);
  EXPECT_STREQ(zy::config.resolutions, "*");
}

TEST_F(ConfigTest, GetParameterPrefersTheVariant) {
  ASSERT_TRUE(Read(ProgXml("store=\"app-store\" rating=\"PEGI 3\"",
                           "<node id=\"LINUX/LARGE\" store=\"linux-store\"/>\n")));
  EXPECT_STREQ(ZYI_GetParameter("store"), "linux-store");
  EXPECT_STREQ(ZYI_GetParameter("rating"), "PEGI 3");
  EXPECT_EQ(ZYI_GetParameter("missing"), nullptr);
  EXPECT_EQ(ZYI_GetParameter(nullptr), nullptr);
}

TEST_F(ConfigTest, AutoLocaleComesFromTheCommandLineInLowerCase) {
  char command_line[] = "-fullscreen German";
  zy::core.command_line = command_line;
  ASSERT_TRUE(Read(ProgXml("locale=\"auto\"", "<node id=\"LINUX\"/>\n")));
  EXPECT_STREQ(zy::config.locale, "german");
  EXPECT_STREQ(prog->parms.locale, "german");
  zy::core.command_line = nullptr;
}

TEST_F(ConfigTest, AutoLocaleWithoutALanguageIsEmpty) {
  ASSERT_TRUE(Read(ProgXml("locale=\"auto\"", "<node id=\"LINUX\"/>\n")));
  EXPECT_STREQ(zy::config.locale, "");
  EXPECT_STREQ(prog->parms.locale, "");
}

TEST_F(ConfigTest, ManifestsOfTheVariantComeFirstAndLaterOnesBeforeEarlier) {
  for (const char *name : {"m1", "m2", "m3"})
    zytest::WriteFile(world.game() + "/" + name + ".xml",
                      std::string("<?xml?><r><array id=\"") + name + "\"></array></r>");
  ASSERT_TRUE(Read(ProgXml("manifest=\"m1.xml, missing.xml\"",
                           "<node id=\"LINUX\" manifest=\"m2.xml,m3.xml\"/>\n")));
  ASSERT_EQ(ZYI_ManifestArrayCount(), 3);
  EXPECT_STREQ(ZYI_ManifestArray(0)->id, "m3");
  EXPECT_STREQ(ZYI_ManifestArray(1)->id, "m2");
  EXPECT_STREQ(ZYI_ManifestArray(2)->id, "m1");
  EXPECT_EQ(ZYI_ManifestArray(3), nullptr);
}

TEST_F(ConfigTest, FailsWithoutAProgramRecord) {
  zy::core.prog = nullptr;
  EXPECT_FALSE(Read(ProgXml("", "<node id=\"LINUX\"/>\n")));
}

TEST_F(ZyTest, ConfigMissingProgXmlShowsThePopupAndFails) {
  std::string game = world.game();
  zytest::RunResult r = zytest::RunInChild([game] {
    cfgtest::UseProgramRecord(false);
    cfgtest::UseGameFolder(game);
    printf("read=%d\n", ZYI_ReadConfiguration() ? 1 : 0);
  });
  EXPECT_NE(r.out.find("read=0"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("Cannot find prog.xml. It should be located in res://."), std::string::npos)
      << r.err;
}

TEST_F(ZyTest, ConfigExitsWith255WhenNoVariantFits) {
  zytest::RunResult r = ReadInChild(world, ProgXml("", "<node id=\"WINDOWS\"/>\n"));
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out.find("read="), std::string::npos);
  EXPECT_NE(r.err.find("No build variant found for current platform id 'LINUX'.\n\n"
                       "Use force_variant to use another platform for development purposes."),
            std::string::npos)
      << r.err;
}

TEST_F(ZyTest, ConfigExitsWith255WhenTheForcedVariantIsMissing) {
  zytest::RunResult r =
      ReadInChild(world, ProgXml("", kLinuxVariants), DeveloperXml("force_variant=\"IOS/MEDIUM\""));
  EXPECT_EQ(r.status, 255);
  EXPECT_NE(r.err.find("No build variant found for current platform id 'IOS/MEDIUM'."),
            std::string::npos)
      << r.err;
}

TEST_F(ZyTest, ConfigShowsDeprecatedKeysInDeveloperMode) {
  zytest::RunResult r = ReadInChild(
      world,
      ProgXml("", "<node id=\"METRO\"/>\n"
                  "<node id=\"LINUX\" program_library=\"prog.dll\" input_implementation=\"x\" "
                  "music_format=\"@open:OGG_44100\" sound_fx_format=\"WAV_44100\"/>\n",
              "developer_mode=\"1\""),
      "", [] { printf("music=%s sfx=%s\n", zy::config.music_folder, zy::config.sfx_folder); });
  EXPECT_NE(r.out.find("read=1"), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.out.find("music=data-music-OGG_44100 sfx=data-sfx-WAV_44100"), std::string::npos)
      << r.out;
  const std::string &e = r.err;
  EXPECT_EQ(Count(e, "Deprecated variant id METRO found in prog.xml. Replace it with WINDOWS_RT."), 1);
  EXPECT_EQ(Count(e, "Deprecated parm 'program_library' in prog.xml. Remove it."), 1);
  EXPECT_EQ(Count(e, "Deprecated parm 'music_format' in prog.xml. Remove it."), 1);
  EXPECT_EQ(Count(e, "Deprecated parm 'sound_fx_format' in prog.xml. Remove it."), 1);
  EXPECT_EQ(Count(e, "In prog.xml parameter input_implementation is not in use: use "
                     "input_implementations instead (note the s)."),
            1);
  EXPECT_EQ(Count(e, "prog.xml:LINUX defines deprecated 'music_format' parameter "
                     "'@open:OGG_44100'. Just remove it.\n\nThis platform always uses music "
                     "format 'OGG_44100'.\n\nSee ZYLEM/docs/audio-formats-per-platform.txt for "
                     "more info."),
            1)
      << e;
  EXPECT_EQ(Count(e, "prog.xml:LINUX defines deprecated 'sound_fx_format' parameter 'WAV_44100' "
                     "but the value differs from platform standard ('WAV_22050_MONO'). To fix "
                     "the issue:\n1) Remove 'sound_fx_format' from prog.xml for this variant, "
                     "and\n2) Add data-sfx-WAV_44100 to addon_packages.\n\n"),
            1)
      << e;
}

TEST_F(ZyTest, ConfigChecksDeprecatedKeysOnlyInDeveloperMode) {
  zytest::RunResult r = ReadInChild(
      world, ProgXml("", "<node id=\"METRO\"/><node id=\"LINUX\" program_library=\"p\"/>\n",
                     "developer_mode=\"0\""));
  EXPECT_NE(r.out.find("read=1"), std::string::npos);
  EXPECT_EQ(r.err.find("Deprecated"), std::string::npos) << r.err;
}

// ---------------------------------------------------------------------------------
// Value forms
// ---------------------------------------------------------------------------------

TEST(ConfigValues, ConsoleToggleKeyNames) {
  // Names compare exactly; unknown names and pads past the fourth give 0.
  const std::pair<const char *, int32_t> cases[] = {
      {"q", 81}, {"Q", 81}, {"5", '5'}, {"RETURN", 13}, {"MENU", 300}, {"MOUSE_BUTTON_LEFT", 510},
      {"MOUSE_BUTTON_7", 517}, {"VOLUME_DOWN", 1633}, {"GAMEPAD_0_LEFT_TRIGGER", 801},
      {"GAMEPAD_1_BUTTON_A", 890}, {"GAMEPAD_3_BUTTON_Y", 3 * 64 + 829}, {"GAMEPAD_4_BUTTON_A", 0},
      {"GAMEPAD_x_BUTTON_A", 0}, {"GAMEPAD_1_BUTTON_Z", 0}, {"return", 0}, {"~", 0}, {"", 0}};
  for (const auto &c : cases) EXPECT_EQ(ZYI_KeyCodeFromName(c.first), c.second) << c.first;
}

TEST(ConfigValues, BooleansResolutionsModulesAndLevels) {
  for (const char *yes : {"true", "1", "t"}) EXPECT_TRUE(ZYI_ConfigBool(yes)) << yes;
  for (const char *no : {"True", "yes", ""}) EXPECT_FALSE(ZYI_ConfigBool(no)) << no;
  struct Size { const char *text; int32_t w, h; };
  for (Size c : {Size{"1280x720", 1280, 720}, Size{"640", 640, 0},
                 Size{"99999999999x-5", INT32_MAX, -5}}) {
    int32_t w, h;
    ZYI_ParseResolution(c.text, &w, &h);
    EXPECT_EQ(w, c.w) << c.text;
    EXPECT_EQ(h, c.h) << c.text;
  }
  char *m = ZYI_ModuleFileName("myrenderer");
  EXPECT_STREQ(m, "myrenderer.dll");
  free(m);
  m = ZYI_ModuleFileName("rmod.dll.old");
  EXPECT_STREQ(m, "rmod.dll.old");
  free(m);
  EXPECT_EQ(ZYI_VerboseLevelFromName("ERROR"), 2);
  EXPECT_EQ(ZYI_VerboseLevelFromName("LEVEL_SYSTEM"), 3);
  EXPECT_EQ(ZYI_VerboseLevelFromName("WARNING or ERROR"), 1);
  EXPECT_EQ(ZYI_VerboseLevelFromName("debug"), 0);
}

TEST(ConfigValues, VariantPlatformsAndTheirAudioFormats) {
  // Longer platform names sharing a prefix are tried first.
  EXPECT_STREQ(ZYI_VariantPlatform("WINDOWS_RT/LARGE"), "WINDOWS_RT");
  EXPECT_STREQ(ZYI_VariantPlatform("WINDOWS_PHONE"), "WINDOWS_PHONE");
  EXPECT_STREQ(ZYI_VariantPlatform("WINDOWS/LARGE"), "WINDOWS");
  EXPECT_EQ(ZYI_VariantPlatform("AMIGA"), nullptr);
  EXPECT_STREQ(ZYI_PlatformName(15), "UNKNOWN");
  EXPECT_STREQ(ZYI_ScreenSizeName(7), "SMALL");
  EXPECT_STREQ(ZYI_StandardSoundFormat("IOS"), "WAV_22050");
  EXPECT_STREQ(ZYI_StandardMusicFormat(ZYI_VariantPlatform("WINDOWS_RT")), "MP3_22050_STEREO");
  EXPECT_STREQ(ZYI_StandardSoundFormat(nullptr), "UNKNOWN");
}

TEST(ConfigValues, FeaturesMatchWholeWordsOfEitherString) {
  char app[] = "AUTOSCALE_RETAIN_ASPECT_RATIO, SHOW_INFO";
  char variant[] = "HIDE_CURSOR;AUTOSCALE";
  zy::config.app_features = app;
  EXPECT_TRUE(ZYI_IsFeatureEnabled("AUTOSCALE_RETAIN_ASPECT_RATIO"));
  EXPECT_FALSE(ZYI_IsFeatureEnabled("AUTOSCALE"));
  EXPECT_FALSE(ZYI_IsFeatureEnabled("RETAIN"));
  EXPECT_TRUE(ZYI_IsFeatureEnabled("SHOW_INFO"));
  EXPECT_FALSE(ZYI_IsFeatureEnabled("show_info"));
  zy::config.variant_features = variant;
  EXPECT_TRUE(ZYI_IsFeatureEnabled("AUTOSCALE"));
  EXPECT_TRUE(ZYI_IsFeatureEnabled("HIDE_CURSOR"));
  EXPECT_FALSE(ZYI_IsFeatureEnabled(""));
  EXPECT_FALSE(ZYI_IsFeatureEnabled(nullptr));
  zy::config.app_features = zy::config.variant_features = nullptr;
  EXPECT_FALSE(ZYI_IsFeatureEnabled("AUTOSCALE"));
}

TEST(ConfigValues, LanguageIsTheFirstOfTheTableInTheCommandLine) {
  char german[] = "-window German";
  char both[] = "French English";
  char none[] = "english";
  zy::core.command_line = german;
  EXPECT_STREQ(ZYI_GetLanguage(), "German");
  zy::core.command_line = both;
  EXPECT_STREQ(ZYI_GetLanguage(), "English");
  zy::core.command_line = none;
  EXPECT_EQ(ZYI_GetLanguage(), nullptr);
  zy::core.command_line = nullptr;
  EXPECT_EQ(ZYI_GetLanguage(), nullptr);
}

// ---------------------------------------------------------------------------------
// Program identity
// ---------------------------------------------------------------------------------

TEST_F(ZyTest, ProgramCheckNamesFoldersAndReportsEachMissingField) {
  zytest::RunResult r = zytest::RunInChild([] {
    ZY_ProgramInterface *prog = cfgtest::UseProgramRecord(true);
    strcpy(prog->title, "My Game!");
    ZYI_CheckProgramParameters();
    printf("folders=%s|%s\n", zy::config.developer_folder, zy::config.program_folder);
    strcpy(prog->title, "");
    strcpy(prog->developer_name, "Acme Oy");
    strcpy(prog->id, "id");
    strcpy(prog->version, "1");
    ZYI_CheckProgramParameters();
    printf("folders=%s|%s\n", zy::config.developer_folder, zy::config.program_folder);
  });
  EXPECT_NE(r.out.find("folders=Qarvel|My_Game_\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("folders=Acme Oy|unknown\n"), std::string::npos) << r.out;
  const std::string &e = r.err;
  EXPECT_EQ(Count(e, "Program doesn't have parm title set: set value prog->title"), 1) << e;
  EXPECT_EQ(Count(e, "Program doesn't have parm id set: set value prog->id"), 1);
  EXPECT_EQ(Count(e, "Program doesn't have parm version: set value prog->version to e.g. "
                     "\"1.0.0\""),
            1);
  EXPECT_EQ(Count(e, "Program doesn't have parm developer: set value prog->developer_name"), 1);
}
