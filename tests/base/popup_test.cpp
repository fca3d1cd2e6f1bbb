// The system popup (captions, button sets, results, Cancel ending the process) and the
// developer popup (developer mode only, each text once, logged every time). Boxes are
// answered headless from ZYLEM_POPUP_ANSWER and echoed to stderr, so each case runs in a
// child process whose output shows what the user would have seen.
#include "core_fixture.h"
#include "lifecycle/log_file.h"
#include "config/config.h"

class Popups : public CoreTest {
 protected:
  // Shows a system popup in a child with the given scripted answer ("" for none);
  // the child prints the result.
  zytest::RunResult System(int32_t level, const char *text, const char *answer = "") {
    return RunAsMain([=] {
      if (*answer) setenv("ZYLEM_POPUP_ANSWER", answer, 1);
      int32_t result = ZYI_SystemPopup(level, text);
      printf("result %d\n", result);
    });
  }
};

TEST_F(Popups, SystemPopupCaptionAndButtonsFollowTheLevel) {
  auto r = System(ZY_LOG_INFO, "plain");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "result 1\n");
  EXPECT_EQ(r.err, "[popup] ZYLEM: plain\n");

  r = System(ZY_LOG_WARNING, "careful");
  EXPECT_EQ(r.out, "result 4\n");
  EXPECT_EQ(r.err, "[popup] ZYLEM Warning: careful\n");

  r = System(ZY_LOG_ERROR, "broken", "ok");
  EXPECT_EQ(r.out, "result 4\n");
  EXPECT_EQ(r.err, "[popup] ZYLEM Error: broken\n");

  r = System(ZY_LOG_SYSTEM, "again?");
  EXPECT_EQ(r.out, "result 5\n");  // Yes is the default of the Yes/No/Cancel set
  EXPECT_EQ(r.err, "[popup] ZYLEM Error: again?\n");
  r = System(ZY_LOG_SYSTEM, "again?", "no");
  EXPECT_EQ(r.out, "result 6\n");
  r = System(ZY_LOG_SYSTEM, "again?", "yes");
  EXPECT_EQ(r.out, "result 5\n");

  r = System(42, "other level", "cancel");  // a plain box offers no Cancel
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "result 1\n");
  EXPECT_EQ(r.err, "[popup] ZYLEM: other level\n");

  r = System(ZY_LOG_INFO, "line one\nline two");  // the text is shown unchanged
  EXPECT_EQ(r.err, "[popup] ZYLEM: line one\nline two\n");
}

TEST_F(Popups, CancelOnWarningErrorOrSystemEndsTheProcessWith255) {
  for (int32_t level : {ZY_LOG_WARNING, ZY_LOG_ERROR, ZY_LOG_SYSTEM}) {
    auto r = System(level, "stop here", "cancel");
    EXPECT_EQ(r.status, 255) << "level " << level;
    EXPECT_EQ(r.out, "") << "level " << level;  // nothing after the box ran
    EXPECT_NE(r.err.find("stop here"), std::string::npos);
  }
}

TEST_F(Popups, CaptionIsTheProgramTitleOnlyOnceTheCoreIsInitialised) {
  UseProgram(false);
  auto r = System(ZY_LOG_WARNING, "early");
  EXPECT_EQ(r.err, "[popup] ZYLEM Warning: early\n");

  zy::core.core_initialized = 1;
  r = System(ZY_LOG_WARNING, "late");
  EXPECT_EQ(r.err, "[popup] Test Game Warning: late\n");

  // A title that fills its whole field without a terminator is read no further.
  memset(prog.title, 'T', sizeof prog.title);
  r = System(ZY_LOG_ERROR, "full title");
  EXPECT_EQ(r.err, "[popup] " + std::string(sizeof prog.title, 'T') + " Error: full title\n");

  zy::core.prog = nullptr;
  r = System(ZY_LOG_INFO, "no program");
  EXPECT_EQ(r.err, "[popup] ZYLEM: no program\n");
}

TEST_F(Popups, DeveloperPopupIsSilentOutsideDeveloperModeOrWithoutAProgram) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  zy::core.core_initialized = 1;
  auto r = RunAsMain([] { printf("%d\n", ZY_Popup(ZY_LOG_ERROR, "no program")); });
  EXPECT_EQ(r.out, "0\n");
  EXPECT_EQ(r.err, "");

  UseProgram(false);
  int before = ZYI_LogHistoryCount();
  EXPECT_EQ(ZY_Popup(ZY_LOG_ERROR, "not a developer %d", 1), ZY_POPUP_NOTHING);
  EXPECT_EQ(ZYI_LogHistoryCount(), before);  // nothing logged either
}

TEST_F(Popups, SameDeveloperTextIsShownOnceButLoggedEveryTime) {
  UseProgram(true);
  zy::core.core_initialized = 1;
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d\n", ZY_Popup(ZY_LOG_INFO, "Missing %s", "b.png"));
    printf("%d\n", CountInHistory("[POPUP] Missing a.png"));
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "4 1 1\n2\n");
  EXPECT_EQ(r.err, "[popup] Test Game Warning: Missing a.png\n[popup] Test Game: Missing b.png\n");
  // The child's lines reached the shared log file.
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3].substr(17), "[POPUP] Missing a.png");
  EXPECT_EQ(lines[4].substr(17), "[POPUP] Missing a.png");
  EXPECT_EQ(lines[5].substr(17), "[POPUP] Missing b.png");
}

TEST_F(Popups, DeveloperPopupBelowTheVerboseLevelIsNeitherShownNorRemembered) {
  UseProgram(true);
  zy::core.core_initialized = 1;
  zy::config.verbose_level = ZY_LOG_ERROR;
  zy::config.logging = 0;
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "minor"));
    zy::log.verbose_level = 0;
    printf("%d\n", ZY_Popup(ZY_LOG_WARNING, "minor"));
  });
  EXPECT_EQ(r.out, "0 4\n");
  EXPECT_EQ(r.err, "[popup] Test Game Warning: minor\n");
}

TEST_F(Popups, DeveloperPopupBeforeCoreInitialisationIsShownButNotLogged) {
  UseProgram(true);
  zy::config.logging = 0;
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d %d\n", ZY_Popup(ZY_LOG_ERROR, "early %d", 3), ZYI_LogHistoryCount());
  });
  EXPECT_EQ(r.err, "[popup] ZYLEM Error: early 3\n");
  EXPECT_EQ(r.out, "4 1\n");  // only "Logging started"

  // Cancel on a developer popup ends the process like on a system popup.
  r = RunAsMain([] {
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    ZY_Popup(ZY_LOG_WARNING, "cancel me");
    printf("still here\n");
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
}
