// Input: the key and axis tables, the window's mouse through the window procedure,
// event delivery (the console first) and the queue fed from
// other threads, cursors by name, and several mice read separately.
#include <thread>

#include "lifecycle_fixture.h"

class Input : public LifecycleTest {};
class InputEventThreads : public LifecycleTest {};
typedef std::vector<int> Ints;

TEST_F(Input, ReadingAKeyClearsItsPressedBitBelowGamepadIdsAndClearingKeepsPositions) {
  Pump({Host(ZYH_EV_KEY_DOWN, 'A')});
  ZY_SetKeyState(799, 3);
  ZY_SetKeyState(ZY_GAMEPAD_BUTTON_A, 3);
  EXPECT_EQ(States({'A', 'A', 799, 799, ZY_GAMEPAD_BUTTON_A, ZY_GAMEPAD_BUTTON_A}), (Ints{3, 2, 3, 2, 3, 3}));
  Pump({Host(ZYH_EV_KEY_UP, 'A')});
  EXPECT_EQ(seen, (Lines{"down 65", "up 65"}));
  for (int id : {-1, ZY_INPUT_ID_COUNT}) ZY_SetKeyState(id, 3), ZY_SetAxis(id, 1.0f);  // outside the tables
  EXPECT_EQ(ZY_GetKeyState(-1) + ZY_GetKeyState(ZY_INPUT_ID_COUNT) + ZY_GetAxis(ZY_INPUT_ID_COUNT), 0);
  for (int id : {65, 255, ZY_MOUSE_X, ZY_MOUSE_BUTTON_LEFT, ZY_MOUSE_BUTTON_7, ZY_GAMEPAD_BUTTON_A}) ZY_SetKeyState(id, 3);
  ZYI_ClearInputStates();
  EXPECT_EQ(States({'A', 255, ZY_MOUSE_BUTTON_LEFT, ZY_MOUSE_BUTTON_7, ZY_MOUSE_X, ZY_GAMEPAD_BUTTON_A}), (Ints{0, 0, 0, 0, 3, 3}));
}

TEST_F(Input, TheWindowMouseReportsPositionsButtonsAndWheelInOrder) {
  std::vector<ZyhEvent> events = {Host(ZYH_EV_MOUSE_MOVE, 0, 10, 20), Host(ZYH_EV_MOUSE_MOVE, 0, 30, 45),
                                  Host(ZYH_EV_BUTTON_DOWN, 0, 100, 50, 1),
                                  Host(ZYH_EV_BUTTON_DOWN, 0, 1, 1, 3)};  // side buttons are not engine buttons
  for (int d : {120, -360, 60}) {
    events.push_back(Host(ZYH_EV_WHEEL));
    events.back().delta = d;
  }
  Pump(events);
  EXPECT_EQ(seen, (Lines{"move 0 10,20 prev 0,0", "move 0 30,45 prev 10,20", "bdown 0 511 100,50", "wheel 120 100,50",
                         "wheel -360 100,50", "wheel 60 100,50"}));
  // Any button holds the left id at 2; the button's own id is set after it.
  EXPECT_EQ(States({ZY_MOUSE_WHEEL, ZY_MOUSE_X, ZY_MOUSE_Y, ZY_MOUSE_BUTTON_RIGHT, ZY_MOUSE_BUTTON_LEFT}),
            (Ints{-180, 100, 50, 3, 2}));
  Pump({Host(ZYH_EV_BUTTON_UP, 0, 100, 50, 1)});
  EXPECT_EQ(States({ZY_MOUSE_BUTTON_RIGHT, ZY_MOUSE_BUTTON_LEFT}), (Ints{0, 0}));
  Pump({Host(ZYH_EV_BUTTON_DOWN), Host(ZYH_EV_BUTTON_DOWN, 0, 0, 0, 2)});  // the middle press resets left to 2
  EXPECT_EQ(States({ZY_MOUSE_BUTTON_2, ZY_MOUSE_BUTTON_LEFT}), (Ints{3, 2}));
}

TEST_F(Input, AutoscaledPointerPositionsAreInProgramCoordinates) {
  Autoscale(1280, 720, 1024, 768, "AUTOSCALE_RETAIN_ASPECT_RATIO");  // scale 0.9375, bars of 160
  Pump({Host(ZYH_EV_MOUSE_MOVE, 0, 640, 360), Host(ZYH_EV_MOUSE_MOVE, 0, 160, 0), Host(ZYH_EV_MOUSE_MOVE, 0, 100, 719),
        Host(ZYH_EV_WHEEL)});
  // Centre to centre, the program's corner, the left bar; the wheel reports the polled
  // position without scaling it a second time.
  EXPECT_EQ(seen, (Lines{"move 0 512,384 prev 0,0", "move 0 0,0 prev 512,384", "move 0 -64,766 prev 0,0", "wheel 0 -64,766"}));
}

TEST_F(Input, EventsReachTheProgramOnlyAfterCoreInitialisationAndPostedOnesWaitForTheNextFrame) {
  ZY_InputEvent key = Engine(ZY_EVENT_KEY_DOWN), reinit = Engine(ZY_EVENT_REINIT);
  answer = 9;
  zy::core.core_initialized = 0;
  EXPECT_EQ(ZYI_DeliverEvent(&key), 0u);
  zy::core.core_initialized = 1;
  EXPECT_EQ(ZYI_DeliverEvent(&key), 9u);
  program.event = [](ZY_InputEvent ev) -> uint32_t {
    seen.push_back(Describe(ev));
    ZY_InputEvent next = Engine(ZY_EVENT_RESIZE);
    if (ev.type == ZY_EVENT_REINIT) ZYI_PostEvent(&next);  // posted during delivery
    return 0;
  };
  ZYI_PostEvent(&reinit);
  ZYI_DeliverQueuedEvents();
  EXPECT_EQ(seen, (Lines{"down 0", "type 11"}));
  ZYI_DeliverQueuedEvents();
  EXPECT_EQ(seen, (Lines{"down 0", "type 11", "resize 0x0"}));
  // Purchase and ad events own heap data: freed after delivery, or at shut-down when
  // still queued (the sanitizer builds see a leak otherwise).
  for (uint32_t type : {21u, 35u, 22u}) {
    ZY_InputEvent ev = Engine(type);
    ev.data.data = strdup("receipt");
    ZYI_PostEvent(&ev);
    if (type == 35) ZYI_DeliverQueuedEvents();
  }
}

TEST_F(InputEventThreads, EventsPostedFromAnotherThreadArriveInPostingOrder) {
  const int count = 5000;  // the queue grows past its first 32 on the way
  std::thread poster([] {
    for (int i = 0; i < count; i++) {
      ZY_InputEvent ev = Engine(ZY_EVENT_KEY_UP);
      ev.key.key = i;
      ZYI_PostEvent(&ev);
    }
  });
  while (received.size() < (size_t)count) ZYI_DeliverQueuedEvents();
  poster.join();
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), (size_t)count);
  for (int i = 0; i < count; i++) ASSERT_EQ(received[i].key.key, i);
}

namespace {

std::vector<uint32_t> console_seen;

}  // namespace

TEST_F(Input, TheConsoleTakesItsToggleKeyAndEverythingButCommandsWhileShown) {
  console_seen.clear();
  ZyInputHooks h = {};
  h.console_toggle = [] { console_seen.push_back(0); };
  h.console_visible = [] { return true; };
  h.console_event = [](const ZY_InputEvent *ev) -> uint32_t {
    console_seen.push_back(ev->type);
    return ev->type != ZY_EVENT_CLOSE;  // declines close requests
  };
  ZYI_SetInputHooks(&h);
  zy::config.console_toggle_key = -89;  // the default: character 167
  Pump({Host(ZYH_EV_CHAR, 167), Host(ZYH_EV_KEY_DOWN, 'B'), Host(ZYH_EV_CLOSE)});
  ZY_InputEvent command = Engine(ZY_EVENT_CONSOLE_COMMAND);
  ZYI_DeliverEvent(&command);
  EXPECT_EQ(console_seen, (std::vector<uint32_t>{0, ZY_EVENT_KEY_DOWN, ZY_EVENT_CLOSE}));
  EXPECT_EQ(ZY_GetKeyState('B'), 3);  // the key stayed with the console, its state is kept
  ZYI_SetInputHooks(nullptr);
  Pump({Host(ZYH_EV_CHAR, 167), Host(ZYH_EV_CHAR, 'a')});  // without a console the toggle is still not the game's
  EXPECT_EQ(seen, (Lines{"type 13", "type 7", "char 97"}));  // the declined close, the command
}

TEST_F(Input, CursorsByNameWithArrowForUnknownNamesAndHiddenOnRequest) {
  ZYH_SetCursor(ZYH_CURSOR_WAIT);
  ZY_SetCursor("ARROW");  // before the table is filled: still the arrow
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  ZYI_LoadCursors();
  const std::pair<const char *, int> cases[] = {
      {"IBEAM", ZYH_CURSOR_IBEAM}, {"FINGER_POINT", ZYH_CURSOR_HAND}, {"SAMPLE_PIPET", ZYH_CURSOR_PIPETTE},
      {"HELP", ZYH_CURSOR_HELP}, {"no such", ZYH_CURSOR_ARROW}, {"ibeam", ZYH_CURSOR_ARROW},  // exact names
      {"NULL", ZYH_CURSOR_HIDDEN}, {"SIZEWE", ZYH_CURSOR_SIZEWE}, {nullptr, ZYH_CURSOR_HIDDEN}};
  for (auto c : cases) {
    ZY_SetCursor(c.first);
    EXPECT_EQ((int)ZYH_GetCursor(), c.second) << (c.first ? c.first : "(null)");
  }
  zy::config.variant_features = strdup("SHOW_FPS, HIDE_CURSOR");  // hides every cursor
  ZY_SetCursor("IBEAM");
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_HIDDEN);
}

TEST_F(Input, SeveralMiceMoveAndPressInTheirOwnIdBlocksWithinTheProgramArea) {
  program.parms.width = 100, program.parms.height = 50, program.parms.multi_mouse = 1;
  zy::input.raw_registered = 1;  // as after registering with two mice found
  zy::input.raw_mouse_count = 2;
  ZyhEvent raw = Host(ZYH_EV_RAW_MOUSE, 0, 10, 3);
  raw.device = 1;  // the second mouse: pointer 2, ids 40 further than the first's
  Pump({raw});
  // Slow motion is damped, fast motion amplified: 10 counts move 10.8, 3 move 2.865.
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 60), 10.8f);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_Y + 60), 2.865f);
  EXPECT_EQ(States({ZY_MOUSE_X + 60, ZY_MOUSE_Y + 60, 500 + 60, 501 + 60, 518 + 60, ZY_MOUSE_X}), (Ints{10, 2, 10, 3, 3, 0}));
  ZYI_HandleRawMouse(1, 500, -500, 0);  // far beyond the area: clamped
  // Buttons: all presses, then all releases, at the mouse's position; no move without motion.
  ZYI_HandleRawMouse(0, 10, 10, 0);
  ZYI_HandleRawMouse(0, 0, 0, ZYH_RAW_LEFT_UP | ZYH_RAW_RIGHT_DOWN | ZYH_RAW_BUTTON5_DOWN | ZYH_RAW_LEFT_DOWN);
  // Devices the registration did not find are ignored, and raw reports outside
  // several-mice mode too.
  ZYI_HandleRawMouse(2, 6, 6, ZYH_RAW_LEFT_DOWN);
  ZYI_HandleRawMouse(-1, 6, 6, ZYH_RAW_LEFT_DOWN);
  program.parms.multi_mouse = 0;
  Pump({raw});
  EXPECT_EQ(seen, (Lines{"move 2 10,2 prev 0,0", "move 2 100,0 prev 0,0", "move 1 10,10 prev 0,0", "bdown 1 510 10,10",
                         "bdown 1 511 10,10", "bdown 1 514 10,10", "bup 1 510 10,10"}));
  EXPECT_EQ(States({ZY_MOUSE_BUTTON_LEFT + 40, ZY_MOUSE_BUTTON_RIGHT + 40, ZY_MOUSE_BUTTON_4 + 40, ZY_MOUSE_BUTTON_RIGHT}),
            (Ints{0, 3, 3, 0}));
}
