// The window: its style, and the window procedure fed with host events (close, maximise,
// Alt keys, dropped files, activation, queued input, the platform's quit).
#include "lifecycle_fixture.h"

class Window : public LifecycleTest {};

// The maximise box needs 640 x 480 in either direction; a window as tall as the screen
// is a popup; fullscreen has no boxes.
TEST(WindowStyle, BoxesAndPopupStyleFollowTheSizeAndTheScreen) {
  struct Case { int32_t w, h; bool windowed; const char *want; } cases[] = {
      {320, 240, true, "w"}, {639, 479, true, "w"}, {640, 240, true, "w max"}, {320, 480, true, "w max"},
      {1280, 1080, true, "w popup"}, {1280, 1079, true, "w max"}, {1920, 1080, false, "fs"}};
  for (Case c : cases) {
    ZyhWindowDesc d = ZYI_WindowStyle(c.w, c.h, c.windowed, 1080);
    EXPECT_EQ(std::to_string(d.width) + "x" + std::to_string(d.height) + (d.windowed ? " w" : " fs") +
                  (d.maximize_box ? " max" : "") + (d.popup_style ? " popup" : ""),
              std::to_string(c.w) + "x" + std::to_string(c.h) + " " + c.want);
  }
}

TEST_F(Window, CloseAnsweredWithTwoKeepsTheGameRunningElseItQuits) {
  ZyhEvent close = Host(ZYH_EV_CLOSE);
  answer = ZY_EVENT_RESULT_CANCEL_CLOSE;
  EXPECT_EQ(ZYI_HandleHostEvent(&close) * 10 + zy::core.quit_requested, 0);
  answer = 1;
  EXPECT_EQ(ZYI_HandleHostEvent(&close) * 10 + zy::core.quit_requested, 11);
  EXPECT_EQ(seen, (Lines{"type 13", "type 13"}));
  zy::core.quit_requested = 0;
  program.event = nullptr;  // without an event callback a close quits
  Pump({close});
  EXPECT_TRUE(zy::core.quit_requested);
}

TEST_F(Window, MaximisingAndAltEnterAskForTheOtherModeAndAltKeysSendNoEvents) {
  ASSERT_TRUE(UseRecordingRenderer());
  zy::config.resolutions = strdup("800x600");
  ZYI_ReadDesktopSize();
  ZyhEvent max = Host(ZYH_EV_MAXIMIZED, 0, 1920, 1017);
  EXPECT_EQ(ZYI_HandleHostEvent(&max), 0);
  EXPECT_EQ(Mode() + std::to_string(zy::core.reinit_requested), "800x600 fs1");  // fullscreen at the program's size
  EXPECT_EQ(program.parms.windowed, 1);  // the program's settings change once it is done
  struct Step { int key; bool down; int32_t result, state; } steps[] = {
      {0x12, true, 0, 3},                      // Alt alone is swallowed
      {0x0D, true, 0, 3},                      // Alt+Enter toggles: from a window to fullscreen
      {0x73, true, ZYI_DEFAULT_PROCEDURE, 3},  // other Alt keys go on to the system
      {0x12, false, 0, 0}};
  for (Step s : steps) {
    ZyhEvent ev = Host(s.down ? ZYH_EV_KEY_DOWN : ZYH_EV_KEY_UP, s.key);
    ev.alt = true;
    zy::core.current_parms.windowed = 1;
    EXPECT_EQ(ZYI_HandleHostEvent(&ev), s.result) << s.key;
    EXPECT_EQ(ZY_GetKeyState(s.key) * 10 + zy::core.current_parms.windowed, s.state * 10 + (s.key != 0x0D)) << s.key;
  }
  EXPECT_TRUE(seen.empty());  // system keys set key states but send no key events
  program.parms.windowed = 0;  // from fullscreen, Alt+Enter asks for a window again
  ZyhEvent enter = Host(ZYH_EV_KEY_DOWN, 0x0D);
  enter.alt = true;
  ZYI_HandleHostEvent(&enter);
  EXPECT_EQ(Mode(), "800x600 w");
}

TEST_F(Window, DroppedFilesArriveWithForwardSlashesInDeveloperModeOnly) {
  ASSERT_TRUE(ZYI_CreateWindow());
  ZyhEvent drop = Host(ZYH_EV_DROP_FILE, 0, 12, -3);
  strcpy(drop.text, "/tmp/level.xml");
  EXPECT_EQ(ZYI_HandleHostEvent(&drop), ZYI_DEFAULT_PROCEDURE);  // not a developer: ignored
  ZYI_DestroyWindow();
  zy::config.developer_mode = 1;
  ASSERT_TRUE(ZYI_CreateWindow());
  strcpy(drop.text, "C:\\games\\My Level\\map.xml");
  Pump({drop});
  // An unterminated path from the host is cut, never read past its buffer; an empty one
  // sends nothing. The fourth field stays null.
  memset(drop.text, 'a', sizeof drop.text);
  EXPECT_EQ(ZYI_HandleHostEvent(&drop), 0);
  drop.text[0] = '\0';
  ZYI_HandleHostEvent(&drop);
  EXPECT_EQ(seen, (Lines{"named FILE_DRAGGED C:/games/My Level/map.xml 12,-3",
                         "named FILE_DRAGGED " + std::string(sizeof drop.text - 1, 'a') + " 12,-3"}));
}

TEST_F(Window, ActivationChangesSendEventTenAndClearTheKeyboard) {
  ZY_SetKeyState('W', 3);
  ZY_SetKeyState(ZY_MOUSE_BUTTON_LEFT, 3);
  ZyhEvent on = Host(ZYH_EV_ACTIVATE), minimised;
  on.active = 1;
  (minimised = on).minimized = 1;  // focus on a minimised window is not activity
  Pump({on, on, minimised});  // reported again: no change, nothing sent
  EXPECT_EQ(seen, (Lines{"activate 0", "activate 1"}));
  EXPECT_EQ(States({'W', ZY_MOUSE_BUTTON_LEFT}), (std::vector<int>{0, 3}));  // only ids 0-254
  zy::core.quit_requested = 1;  // while quitting the program hears nothing, the state follows
  ZYI_SetActive(true);
  EXPECT_TRUE(zy::core.app_active && seen.size() == 2);
}

TEST_F(Window, KeysGoAtOnceOrQueuedAsAModuleAsksAndAPlatformQuitEndsThePump) {
  Pump({Host(ZYH_EV_KEY_DOWN, 0x25), Host(ZYH_EV_CHAR, 0xE4), Host(ZYH_EV_KEY_UP, 0x25)});
  zy::modules.host.queue_input = 1;
  Pump({Host(ZYH_EV_KEY_DOWN, 'Q'), Host(ZYH_EV_CHAR, 'q'), Host(ZYH_EV_MOUSE_MOVE, 0, 5, 0)});
  EXPECT_EQ(ZY_GetKeyState('Q'), 3);  // the key state is set at once, characters never wait
  EXPECT_EQ(seen, (Lines{"down 37", "char 228", "up 37", "char 113"}));
  ZYI_DeliverQueuedEvents();
  zy::modules.host.queue_input = 0;
  Pump({Host(ZYH_EV_QUIT), Host(ZYH_EV_KEY_DOWN, 'Z')});
  EXPECT_TRUE(zy::core.quit_requested);
  EXPECT_EQ(seen.size(), 6u);  // 'Z' waits for the next pump
  ZYI_PumpEvents();
  EXPECT_EQ(seen, (Lines{"down 37", "char 228", "up 37", "char 113", "down 81", "move 0 5,0 prev 0,0", "down 90"}));
}
