// The console's handling of what is typed while it is shown: the input line and its
// editing keys, Enter handing the command to the program, the command history, Tab
// completion, and which events still reach the program.
#include "../lifecycle/lifecycle_fixture.h"
#include "base/engine_table.h"
#include "base/log.h"
#include "console/console.h"
#include "lifecycle/interface_table.h"

class Console : public LifecycleTest {
 protected:
  void SetUp() override {
    LifecycleTest::SetUp();
    ZyLogSettings settings = {0, 167};
    ZYI_LogConfigure(&settings);
    ZYI_LogStart(nullptr, nullptr, nullptr);
    zy::config.console_toggle_key = 167;
    ZyInputHooks hooks = {};
    hooks.console_toggle = ZYI_ConsoleToggle;
    hooks.console_visible = ZYI_ConsoleVisible;
    hooks.console_event = ZYI_ConsoleEvent;
    ZYI_SetInputHooks(&hooks);
    ZYI_ConsoleSetDelivery(ZYI_DeliverEvent);
    ZYI_BuildEngineInterface();
  }
  void TearDown() override {
    ZYI_ForgetEngineInterface();
    ZYI_ConsoleForget();
    ZYI_LogClose();
    LifecycleTest::TearDown();
  }
  static void Type(const std::string &text) {
    for (unsigned char c : text) Char(c);
  }
  static void Char(uint8_t code) {
    ZY_InputEvent ev = Engine(ZY_EVENT_CHAR);
    ev.character.code = code;
    ZYI_DeliverEvent(&ev);
  }
  static void Key(int32_t key) {
    ZY_InputEvent ev = Engine(ZY_EVENT_KEY_DOWN);
    ev.key.key = key;
    ZYI_DeliverEvent(&ev);
  }
  static std::string Input() { return zy::log.input; }
};

TEST_F(Console, OnlyTheToggleAndConsoleCommandsPassWhileShownAndEnterHandsTheLineOver) {
  Char(167);
  EXPECT_TRUE(ZYI_ConsoleVisible());
  EXPECT_EQ(program.parms.console_visible, 1);
  Type("give 100%s");
  Key(ZY_KEY_PRINT);
  ZY_InputEvent wheel = Engine(ZY_EVENT_WHEEL);
  ZYI_DeliverEvent(&wheel);
  EXPECT_TRUE(seen.empty());  // swallowed, and the toggle never reaches the program
  Char(13);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].type, (uint32_t)ZY_EVENT_CONSOLE_COMMAND);
  EXPECT_EQ(Input(), "");
  ZYI_Lock(ZYI_LOCK_PRINT);
  const ZyLogRecord *last = ZYI_LogHistoryRecord(ZYI_LogHistoryCount() - 1);
  EXPECT_STREQ(last->text, "give 100%s");  // written as text, not as a format
  EXPECT_EQ(last->level, 0);
  ZYI_Unlock(ZYI_LOCK_PRINT);
  Char(167);
  Char('x');
  EXPECT_EQ(seen, (Lines{"type 7", "char 120"}));
}

TEST_F(Console, TheInputLineEditsAtTheCaretAndHoldsAtMost512Characters) {
  Char(167);
  Type("abd");
  Key(37);  // Left
  Type("c");
  Key(36);  // Home: backspace has nothing before it
  Char(8);
  Key(35);  // End
  Char(8);
  Key(39);  // Right at the end stays there
  Char(1);  // control characters are ignored
  EXPECT_EQ(Input(), "abc");
  EXPECT_EQ(zy::log.caret, 3);
  Type(std::string(600, 'z'));
  EXPECT_EQ(Input().size(), 512u);
}

TEST_F(Console, TabCompletesToTheFirstMatchingCommandIgnoringCase) {
  ZYI_ConsoleAddCommand("spawn");
  ZYI_ConsoleAddCommand("speed");
  ZYI_ConsoleAddCommand("SPA");  // a prefix of spawn: ignored
  EXPECT_EQ(zy::console.commands.count, 2);
  Char(167);
  Type("SPE");
  Key(9);
  EXPECT_EQ(Input(), "speed");
  Key(36);
  for (int i = 0; i < 5; i++) Key(46), Char(8);  // the caret is at 0: nothing to delete
  Key(35);
  for (int i = 0; i < 3; i++) Char(8);
  Key(9);
  EXPECT_EQ(Input(), "spawn");
}

TEST_F(Console, UpAndDownBrowseTheCommandHistoryAndWrap) {
  Char(167);
  Type("one");
  Char(13);
  Type("two");
  Char(13);
  Key(40);  // Down right after Enter wraps to the oldest entry
  EXPECT_EQ(Input(), "one");
  Type("3");
  Char(13);  // history: one, two, one3
  Type("draft");
  std::vector<std::string> shown;
  for (int i = 0; i < 5; i++) Key(38), shown.push_back(Input());
  // The draft is kept as the newest entry while browsing.
  EXPECT_EQ(shown, (Lines{"draft", "one3", "two", "one", "draft"}));
  Char(13);
  EXPECT_EQ(zy::console.history.count, 4);  // the saved draft was dropped at Enter
  EXPECT_STREQ(zy::console.history.items[3], "draft");
}
