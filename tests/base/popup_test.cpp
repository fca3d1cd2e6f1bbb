// The system popup (captions, button sets, results, Cancel ending the process) and the
// developer popup (developer mode only, each text once per boot, logged every time).
// Boxes are answered headless from ZYLEM_POPUP_ANSWER and echoed to stderr, so each case
// runs in a child process whose output shows what the user would have seen.
#include "core_fixture.h"

class Popups : public CoreTest {
 protected:
  // Shows a system popup in a child with the scripted answer ("" for none).
  zytest::RunResult System(int32_t level, const char *text, const char *answer = "") {
    return RunAsMain([=] {
      if (*answer) setenv("ZYLEM_POPUP_ANSWER", answer, 1);
      printf("result %d\n", ZYI_SystemPopup(level, text));
    });
  }
};

TEST_F(Popups, CaptionButtonsAndResultFollowTheLevelAndTheAnswer) {
  struct Case { int32_t level; const char *text, *answer, *out, *err; } cases[] = {
      {ZY_LOG_INFO, "plain", "", "result 1\n", "[popup] ZYLEM: plain\n"},
      {ZY_LOG_WARNING, "careful", "", "result 4\n", "[popup] ZYLEM Warning: careful\n"},
      {ZY_LOG_ERROR, "broken", "ok", "result 4\n", "[popup] ZYLEM Error: broken\n"},
      {ZY_LOG_SYSTEM, "again?", "", "result 5\n", "[popup] ZYLEM Error: again?\n"},
      {ZY_LOG_SYSTEM, "again?", "no", "result 6\n", "[popup] ZYLEM Error: again?\n"},
      {ZY_LOG_SYSTEM, "again?", "yes", "result 5\n", "[popup] ZYLEM Error: again?\n"},
      {42, "other", "cancel", "result 1\n", "[popup] ZYLEM: other\n"},  // no Cancel offered
      {ZY_LOG_INFO, "one\ntwo", "", "result 1\n", "[popup] ZYLEM: one\ntwo\n"},
  };
  for (const Case &c : cases) {
    auto r = System(c.level, c.text, c.answer);
    SCOPED_TRACE(std::to_string(c.level) + " " + c.answer);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST_F(Popups, CancelOnWarningErrorSystemOrADeveloperPopupEndsTheProcessWith255) {
  for (int32_t level : {ZY_LOG_WARNING, ZY_LOG_ERROR, ZY_LOG_SYSTEM}) {
    auto r = System(level, "stop here", "cancel");
    EXPECT_EQ(r.status, 255) << level;
    EXPECT_EQ(r.out, "") << level;  // nothing after the box ran
  }
  UseProgram(true);
  auto r = RunAsMain([] {
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    ZY_Popup(ZY_LOG_WARNING, "cancel me");
    printf("still here\n");
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "");
}

TEST_F(Popups, CaptionIsTheProgramTitleOnlyOnceTheCoreIsInitialised) {
  UseProgram(false);
  EXPECT_EQ(System(ZY_LOG_WARNING, "early").err, "[popup] ZYLEM Warning: early\n");
  zy::core.core_initialized = 1;
  EXPECT_EQ(System(ZY_LOG_WARNING, "late").err, "[popup] Test Game Warning: late\n");
  // A title that fills its whole field without a terminator is read no further.
  memset(prog.title, 'T', sizeof prog.title);
  EXPECT_EQ(System(ZY_LOG_ERROR, "full").err, "[popup] " + std::string(sizeof prog.title, 'T') + " Error: full\n");
  zy::core.prog = nullptr;
  EXPECT_EQ(System(ZY_LOG_INFO, "no program").err, "[popup] ZYLEM: no program\n");
}

TEST_F(Popups, DeveloperPopupNeedsDeveloperModeAndTheVerboseLevel) {
  zy::config.logging = 0;
  zy::config.verbose_level = ZY_LOG_ERROR;
  ZYI_LogOpen();
  zy::core.core_initialized = 1;
  auto r = RunAsMain([this] {
    printf("%d ", ZY_Popup(ZY_LOG_ERROR, "no program"));
    UseProgram(false);
    printf("%d ", ZY_Popup(ZY_LOG_ERROR, "not a developer"));
    UseProgram(true);
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "minor"));  // below the level: not remembered
    zy::log.verbose_level = 0;
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "minor"));
    printf("%d\n", ZYI_LogHistoryCount());
  });
  EXPECT_EQ(r.out, "0 0 0 4 1\n");  // only the shown popup was logged
  EXPECT_EQ(r.err, "[popup] Test Game Warning: minor\n");
}

TEST_F(Popups, SameDeveloperTextIsShownOncePerBootButLoggedEveryTime) {
  UseProgram(true);
  zy::core.core_initialized = 1;
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d\n", ZY_Popup(ZY_LOG_INFO, "Missing %s", "b.png"));
    ZYI_PopupsForget();  // what the next boot's state reset does
    printf("%d\n", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
  });
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "4 1 1\n4\n");
  EXPECT_EQ(r.err, "[popup] Test Game Warning: Missing a.png\n[popup] Test Game: Missing b.png\n"
                   "[popup] Test Game Warning: Missing a.png\n");
  std::vector<std::string> lines = FileLines();  // the child's lines reached the file
  ASSERT_EQ(lines.size(), 7u);
  for (int i : {3, 4, 6}) EXPECT_EQ(Body(lines[i]), "[POPUP] Missing a.png");
  EXPECT_EQ(Body(lines[5]), "[POPUP] Missing b.png");
}

TEST_F(Popups, DeveloperPopupBeforeCoreInitialisationIsShownButNotLogged) {
  UseProgram(true);
  zy::config.logging = 0;
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d ", ZY_Popup(ZY_LOG_ERROR, "early %d", 3));
    printf("%d\n", ZYI_LogHistoryCount());
  });
  EXPECT_EQ(r.err, "[popup] ZYLEM Error: early 3\n");
  EXPECT_EQ(r.out, "4 1\n");  // only "Logging started"
}
