// The platform services behind the system query: the locale's country, helper programs
// run without a shell, and the headless dialogs answered line by line from the
// environment.
#include <stdlib.h>

#include "host/backend.h"
#include "zytest.h"

TEST(PlatformServices, RegionComesFromTheFirstLocaleVariableThatIsSet) {
  struct Row { const char *all, *messages, *lang, *want; };
  const Row rows[] = {{"", "pt_BR.UTF-8", "de_AT", "BR"}, {"fr_ca@euro", "x", "y", "CA"},
                      {"", "", "sr_RS.UTF-8@latin", "RS"}, {"C", "", "en_GB", ""},
                      {"", "", "en", ""}, {"", "", "en_USA", ""}, {"", "", "", ""}};
  for (const Row &r : rows) {
    setenv("LC_ALL", r.all, 1), setenv("LC_MESSAGES", r.messages, 1), setenv("LANG", r.lang, 1);
    char region[8] = "junk";
    EXPECT_EQ(ZYH_LocaleRegion(region, sizeof region), r.want[0] != 0) << r.all << "|" << r.messages << "|" << r.lang;
    EXPECT_STREQ(region, r.want);
  }
  for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) unsetenv(name);
}

TEST(PlatformServices, HelperProgramsRunWithTheirInputAndTheirOutputKept) {
  char out[8];
  const char *cat[] = {"cat", nullptr}, *fails[] = {"sh", "-c", "exit 3", nullptr},
             *missing[] = {"no-such-program-here", nullptr}, *loud[] = {"printf", "%0100d", "1", nullptr};
  EXPECT_EQ(ZYH_RunCapture(cat, "a \"b\"; $c", out, sizeof out), 0);
  EXPECT_STREQ(out, "a \"b\"; ") << "taken as it is, cut to fit";
  EXPECT_EQ(ZYH_RunCapture(fails, nullptr, out, sizeof out), 3);
  EXPECT_EQ(ZYH_RunCapture(missing, "x", out, sizeof out), -1);
  EXPECT_EQ(ZYH_RunCapture(loud, nullptr, out, sizeof out), 0);
  EXPECT_STREQ(out, "0000000");
  EXPECT_TRUE(ZYH_ProgramOnPath("sh"));
  EXPECT_FALSE(ZYH_ProgramOnPath("no-such-program-here"));
}

TEST(PlatformServices, HeadlessDialogsTakeOneAnswerLineEachAndRepeatTheLast) {
  ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  ZYH_DesktopForget();
  setenv("ZYLEM_DIALOG_ANSWER", "/tmp/a.png\nCANCEL\nname|parent", 1);
  ZyhDialogRequest file = {ZYH_DIALOG_OPEN_FILE, "Open", nullptr, nullptr},
                   form = {ZYH_DIALOG_COMPONENT, "Form", "btn", nullptr};
  ZyhDialogResult result;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(ZYH_ShowDialog(&file, &result));
  EXPECT_STREQ(result.field[0], "/tmp/a.png");
  EXPECT_FALSE(ZYH_ShowDialog(&file, &result));
  EXPECT_STREQ(result.field[0], "") << "a cancelled dialog leaves nothing behind";
  for (int twice = 0; twice < 2; twice++) {
    EXPECT_TRUE(ZYH_ShowDialog(&form, &result));
    EXPECT_EQ(std::string(result.field[0]) + "," + result.field[1] + "," + result.field[2], "name,parent,");
  }
  ZYH_DesktopForget();  // a new boot starts from the first line again
  EXPECT_TRUE(ZYH_ShowDialog(&file, &result));
  EXPECT_STREQ(result.field[0], "/tmp/a.png");
  EXPECT_FALSE(ZYH_OpenUrl("https://example.org/")) << "headless opens nothing";
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("[dialog] Form showing 'btn': 'name|parent'"), std::string::npos) << err;
  EXPECT_NE(err.find("[url] no desktop to open 'https://example.org/'"), std::string::npos) << err;
  unsetenv("ZYLEM_DIALOG_ANSWER");
}
