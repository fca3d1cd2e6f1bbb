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
  struct Case { int32_t level; const char *answer, *out, *caption; } cases[] = {
      {ZY_LOG_INFO, "", "result 1\n", "ZYLEM"},           {ZY_LOG_WARNING, "", "result 4\n", "ZYLEM Warning"},
      {ZY_LOG_ERROR, "ok", "result 4\n", "ZYLEM Error"},  {ZY_LOG_SYSTEM, "", "result 5\n", "ZYLEM Error"},
      {ZY_LOG_SYSTEM, "NO", "result 6\n", "ZYLEM Error"}, {ZY_LOG_SYSTEM, "yes", "result 5\n", "ZYLEM Error"},
      {ZY_LOG_SYSTEM, "maybe", "result 5\n", "ZYLEM Error"}, {ZY_LOG_WARNING, "yes", "result 4\n", "ZYLEM Warning"},
      {42, "cancel", "result 1\n", "ZYLEM"},  // no Cancel on a plain box
      {ZY_LOG_WARNING, "cancel", "", "ZYLEM Warning"}, {ZY_LOG_ERROR, "cancel", "", "ZYLEM Error"},
      {ZY_LOG_SYSTEM, "cancel", "", "ZYLEM Error"}};  // Cancel ends the process with 255
  for (const Case &c : cases) {
    auto r = System(c.level, "one\ntwo", c.answer);  // the text is shown unchanged
    EXPECT_EQ(r.status, *c.out ? 0 : 255) << c.level << c.answer;
    EXPECT_EQ(r.out, c.out) << c.level << c.answer;
    EXPECT_EQ(r.err, "[popup] " + std::string(c.caption) + ": one\ntwo\n");
  }
}

TEST_F(Popups, CaptionIsTheProgramTitleOnlyOnceTheCoreIsInitialised) {
  UseProgram(false);
  EXPECT_EQ(System(ZY_LOG_WARNING, "early").err, "[popup] ZYLEM Warning: early\n");
  zy::core.core_initialized = 1;
  EXPECT_EQ(System(ZY_LOG_WARNING, "late").err, "[popup] Test Game Warning: late\n");
  memset(prog.title, 'T', sizeof prog.title);  // a full field without a terminator
  EXPECT_EQ(System(ZY_LOG_ERROR, "full").err, "[popup] " + std::string(sizeof prog.title, 'T') + " Error: full\n");
  zy::core.prog = nullptr;
  EXPECT_EQ(System(ZY_LOG_INFO, "no program").err, "[popup] ZYLEM: no program\n");
}

TEST_F(Popups, DeveloperPopupNeedsDeveloperModeAndTheVerboseLevelAndCancelEndsTheProcess) {
  zy::config.logging = 0, zy::config.verbose_level = ZY_LOG_ERROR;
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
    printf("%d\n", ZYI_LogHistoryCount()), fflush(stdout);  // only the shown popup was logged
    setenv("ZYLEM_POPUP_ANSWER", "cancel", 1);
    ZY_Popup(ZY_LOG_WARNING, "cancel me");
    printf("still here\n");
  });
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "0 0 0 4 1\n");
  EXPECT_EQ(r.err, "[popup] Test Game Warning: minor\n[popup] Test Game Warning: cancel me\n");
}

TEST_F(Popups, SameDeveloperTextIsShownOncePerBootButLoggedEveryTimeOnceTheCoreIsUp) {
  UseProgram(true);
  ZYI_LogOpen();
  auto r = RunAsMain([] {
    printf("%d ", ZY_Popup(ZY_LOG_ERROR, "early %d", 3));  // shown, not logged
    zy::core.core_initialized = 1;
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d ", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
    printf("%d ", ZY_Popup(ZY_LOG_INFO, "Missing %s", "b.png"));
    ZYI_PopupsForget();  // what the next boot's state reset does
    printf("%d\n", ZY_Popup(ZY_LOG_WARNING, "Missing %s", "a.png"));
  });
  EXPECT_EQ(r.out, "4 4 1 1 4\n");
  EXPECT_EQ(r.err, "[popup] ZYLEM Error: early 3\n[popup] Test Game Warning: Missing a.png\n"
                   "[popup] Test Game: Missing b.png\n[popup] Test Game Warning: Missing a.png\n");
  std::vector<std::string> lines = FileLines();  // the child's lines reached the file
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()),
            (std::vector<std::string>{"[POPUP] Missing a.png", "[POPUP] Missing a.png", "[POPUP] Missing b.png",
                                      "[POPUP] Missing a.png"}));
}
