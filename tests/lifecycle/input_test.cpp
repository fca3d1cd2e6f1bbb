// Input: the key and axis tables, the window's mouse through the window procedure,
// event delivery (console first, render targets before a resize) and the queue fed from
// other threads, cursors by name, and several mice read separately.
#include <thread>

#include "lifecycle_fixture.h"

class Input : public LifecycleTest {};
class InputEventThreads : public LifecycleTest {};

TEST_F(Input, ReadingAKeyClearsItsPressedBitBelowGamepadIdsAndClearingKeepsPositions) {
  Pump({Host(ZYH_EV_KEY_DOWN, 'A')});
  EXPECT_EQ(Seen(), Lines{"down 65"});
  EXPECT_EQ(ZY_GetKeyState('A'), 3);
  EXPECT_EQ(ZY_GetKeyState('A'), 2);
  ZY_SetKeyState(799, 3);
  ZY_SetKeyState(ZY_GAMEPAD_BUTTON_A, 3);
  EXPECT_EQ(ZY_GetKeyState(799) + ZY_GetKeyState(799), 3 + 2);
  EXPECT_EQ(ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A) + ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A), 3 + 3);
  Pump({Host(ZYH_EV_KEY_UP, 'A')});
  EXPECT_EQ(ZY_GetKeyState('A'), 0);

  // Ids outside the tables read zero and write nothing.
  for (int id : {-1, ZY_INPUT_ID_COUNT}) {
    ZY_SetKeyState(id, 3);
    ZY_SetAxis(id, 1.0f);
    EXPECT_EQ(ZY_GetKeyState(id) + ZY_GetAxis(id), 0) << id;
  }
  ZY_SetAxis(ZY_INPUT_ID_COUNT - 1, 2.5f);
  EXPECT_EQ(ZY_GetAxis(ZY_INPUT_ID_COUNT - 1), 2.5f);

  for (int id : {0, 255, ZY_MOUSE_X, ZY_MOUSE_BUTTON_LEFT, ZY_MOUSE_BUTTON_7, ZY_GAMEPAD_BUTTON_A}) ZY_SetKeyState(id, 3);
  ZYI_ClearInputStates();
  for (int id : {0, 255, ZY_MOUSE_BUTTON_LEFT, ZY_MOUSE_BUTTON_7}) EXPECT_EQ(ZY_GetKeyState(id), 0) << id;
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A), 3);
}

TEST_F(Input, TheWindowMouseReportsPositionsButtonsAndWheelInOrder) {
  ZyhEvent right = Host(ZYH_EV_BUTTON_DOWN, 0, 100, 50), side = Host(ZYH_EV_BUTTON_DOWN, 0, 1, 1);
  right.button = 1;
  side.button = 3;  // side buttons of the window mouse are not engine buttons
  std::vector<ZyhEvent> events = {Host(ZYH_EV_MOUSE_MOVE, 0, 10, 20), Host(ZYH_EV_MOUSE_MOVE, 0, 30, 45), right, side};
  for (int d : {120, 120, -360, 60}) {
    events.push_back(Host(ZYH_EV_WHEEL));
    events.back().delta = d;
  }
  Pump(events);
  EXPECT_EQ(Seen(), (Lines{"move 0 10,20 prev 0,0", "move 0 30,45 prev 10,20", "bdown 0 511 100,50", "wheel 120 100,50",
                           "wheel 120 100,50", "wheel -360 100,50", "wheel 60 100,50"}));
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_WHEEL), -60);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X) * 1000 + ZY_GetKeyState(ZY_MOUSE_Y), 100050);
  EXPECT_EQ(ZY_GetAxis(ZY_POINTER_Y(0)), 50.0f);
  // Any button holds the left id at 2; the button's own id is set after it.
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 2);
  right.type = ZYH_EV_BUTTON_UP;
  Pump({right});
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT) + ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 0);
  ZyhEvent left = Host(ZYH_EV_BUTTON_DOWN), middle = left;
  middle.button = 2;
  Pump({left, middle});
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_2), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 2);  // the middle press reset it to 2
}

TEST_F(Input, AutoscaledPointerPositionsAreInProgramCoordinates) {
  // Reference 1024x768 letterboxed into 1280x720: scale 0.9375, 160 pixels of bar left.
  program.parms.width = zy::core.applied_parms.width = 1280;
  program.parms.height = zy::core.applied_parms.height = 720;
  program.parms.reference_width = 1024;
  program.parms.reference_height = 768;
  zy::config.app_features = strdup("AUTOSCALE_RETAIN_ASPECT_RATIO");
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  ASSERT_TRUE(ZYI_AutoscaleActive());
  Pump({Host(ZYH_EV_MOUSE_MOVE, 0, 640, 360), Host(ZYH_EV_MOUSE_MOVE, 0, 160, 0), Host(ZYH_EV_MOUSE_MOVE, 0, 100, 719),
        Host(ZYH_EV_WHEEL)});
  // Centre to centre, the program's corner, the left bar; the wheel reports the polled
  // position without scaling it a second time.
  EXPECT_EQ(Seen(), (Lines{"move 0 512,384 prev 0,0", "move 0 0,0 prev 512,384", "move 0 -64,766 prev 0,0",
                           "wheel 0 -64,766"}));
}

TEST_F(Input, EventsReachTheProgramOnlyAfterCoreInitialisation) {
  ZY_InputEvent ev = Engine(ZY_EVENT_KEY_DOWN);
  answer = 9;
  zy::core.core_initialized = 0;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 0u);
  EXPECT_TRUE(seen.empty());
  zy::core.core_initialized = 1;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 9u);
  program.event = nullptr;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 0u);
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

TEST_F(Input, EventsPostedDuringDeliveryWaitAndQueuedHeapDataIsReleased) {
  program.event = [](ZY_InputEvent ev) -> uint32_t {
    seen.push_back(Describe(ev));
    ZY_InputEvent next = Engine(ZY_EVENT_RESIZE);
    if (ev.type == ZY_EVENT_REINIT) ZYI_PostEvent(&next);
    return 0;
  };
  ZY_InputEvent ev = Engine(ZY_EVENT_REINIT);
  ZYI_PostEvent(&ev);
  ZYI_DeliverQueuedEvents();
  EXPECT_EQ(Seen(), Lines{"type 11"});
  ZYI_DeliverQueuedEvents();
  EXPECT_EQ(Seen(), (Lines{"type 11", "resize 0x0"}));
  // Purchase and ad events own heap data: freed after delivery, or at shut-down when
  // still queued (the sanitizer builds see a leak otherwise).
  for (uint32_t type : {21u, 35u, 33u}) {
    ev = Engine(type);
    ev.data.data = type == 33 ? nullptr : strdup("receipt");
    ZYI_PostEvent(&ev);
  }
  ZYI_DeliverQueuedEvents();
  ev = Engine(22);
  ev.data.data = strdup("pending");
  ZYI_PostEvent(&ev);
  ZYI_InputShutdown();
  EXPECT_EQ(zy::input.queue, nullptr);
}

namespace {

int toggles = 0;
bool console_shown = false;
std::vector<uint32_t> console_seen;
ZY_Bitmap targets[2];

}  // namespace

TEST_F(Input, TheConsoleTakesItsToggleKeyAndEverythingButCommandsWhileShown) {
  toggles = 0;
  console_shown = false;
  console_seen.clear();
  ZyInputHooks h = {};
  h.console_toggle = [] {
    toggles++;
    console_shown = !console_shown;
  };
  h.console_visible = [] { return console_shown; };
  h.console_event = [](const ZY_InputEvent *ev) -> uint32_t {
    console_seen.push_back(ev->type);
    return ev->type != ZY_EVENT_CLOSE;  // declines close requests
  };
  ZYI_SetInputHooks(&h);
  zy::config.console_toggle_key = -89;  // the default: character 167
  Pump({Host(ZYH_EV_CHAR, 'a'), Host(ZYH_EV_CHAR, 167), Host(ZYH_EV_KEY_DOWN, 'B'), Host(ZYH_EV_CLOSE)});
  ZY_InputEvent command = Engine(ZY_EVENT_CONSOLE_COMMAND);
  ZYI_DeliverEvent(&command);
  EXPECT_EQ(toggles, 1);
  EXPECT_EQ(console_seen, (std::vector<uint32_t>{ZY_EVENT_KEY_DOWN, ZY_EVENT_CLOSE}));
  // The toggle never reaches the game, the key stays with the console (its state is
  // still kept), the declined close and the command go on.
  EXPECT_EQ(Seen(), (Lines{"char 97", "close", "type 7"}));
  EXPECT_EQ(ZY_GetKeyState('B'), 3);
  Pump({Host(ZYH_EV_CHAR, 167), Host(ZYH_EV_KEY_DOWN, 'C')});
  EXPECT_EQ(toggles, 2);
  ZYI_SetInputHooks(nullptr);
  Pump({Host(ZYH_EV_CHAR, 167)});  // without a console the toggle is still not the game's
  EXPECT_EQ(Seen(), (Lines{"char 97", "close", "type 7", "down 67"}));
}

TEST_F(Input, AResizeFirstAsksForEveryRenderTargetToBeRedrawn) {
  ZyInputHooks h = {};
  h.for_each_render_target = [](void (*fn)(ZY_Bitmap *, void *), void *user) {
    for (ZY_Bitmap &b : targets) fn(&b, user);
  };
  ZYI_SetInputHooks(&h);
  ZY_InputEvent ev = Engine(ZY_EVENT_RESIZE);
  ev.resize.width = 800;
  ev.resize.height = 600;
  ZYI_PostEvent(&ev);
  ZYI_DeliverQueuedEvents();
  EXPECT_EQ(Seen(), (Lines{"type 17", "type 17", "resize 800x600"}));
  EXPECT_EQ(received[0].render_target.bitmap, &targets[0]);
  EXPECT_EQ(received[1].render_target.bitmap, &targets[1]);
}

TEST_F(Input, CursorsByNameWithArrowForUnknownNamesAndHiddenOnRequest) {
  ZYH_SetCursor(ZYH_CURSOR_WAIT);
  ZY_SetCursor("ARROW");  // before the table is filled: still the arrow
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);
  ZYI_LoadCursors();
  struct Case { const char *name; int cursor; } cases[] = {
      {"IBEAM", ZYH_CURSOR_IBEAM}, {"FINGER_POINT", ZYH_CURSOR_HAND}, {"SAMPLE_PIPET", ZYH_CURSOR_PIPETTE},
      {"HELP", ZYH_CURSOR_HELP}, {"no such", ZYH_CURSOR_ARROW}, {"ibeam", ZYH_CURSOR_ARROW},  // exact names
      {"NULL", ZYH_CURSOR_HIDDEN}, {"SIZEWE", ZYH_CURSOR_SIZEWE}, {nullptr, ZYH_CURSOR_HIDDEN}};
  for (Case c : cases) {
    ZY_SetCursor(c.name);
    EXPECT_EQ((int)ZYH_GetCursor(), c.cursor) << (c.name ? c.name : "(null)");
  }
  zy::config.variant_features = strdup("SHOW_FPS, HIDE_CURSOR");  // hides every cursor
  ZY_SetCursor("IBEAM");
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_HIDDEN);
}

TEST_F(Input, RawMouseAccelerationDampsSlowAndAmplifiesFastMotion) {
  // (1 + (|d| - 6)^2 * 0.005 * sign(|d| - 6)) * d; 6 is the neutral speed.
  const std::pair<int, float> cases[] = {{0, 0}, {1, 0.875f}, {3, 2.865f}, {6, 6}, {10, 10.8f}, {-10, -10.8f}, {26, 78}};
  for (const auto &c : cases) EXPECT_FLOAT_EQ(ZYI_RawMouseMotion(c.first), c.second) << c.first;
}

TEST_F(Input, SeveralMiceMoveAndPressInTheirOwnIdBlocksWithinTheProgramArea) {
  program.parms.width = 100;
  program.parms.height = 50;
  program.parms.multi_mouse = 1;
  zy::input.raw_registered = 1;  // as after registering with two mice found
  zy::input.raw_mouse_count = 2;
  ZyhEvent raw = Host(ZYH_EV_RAW_MOUSE, 0, 10, 3);
  raw.device = 1;  // the second mouse: pointer 2, ids 40 further than the first's
  Pump({raw});
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 60), 10.8f);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_Y + 60), 2.865f);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X + 60) * 100 + ZY_GetKeyState(ZY_MOUSE_Y + 60), 1002);
  EXPECT_EQ(ZY_GetKeyState(500 + 60) * 100 + ZY_GetKeyState(501 + 60), 1003);
  EXPECT_EQ(ZY_GetKeyState(518 + 60), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), 0);  // the system mouse did not move
  EXPECT_EQ(Seen(), Lines{"move 2 10,2 prev 0,0"});
  ZYI_HandleRawMouse(1, 500, -500, 0);  // far beyond the area: clamped
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 60) * 1000 + ZY_GetAxis(ZY_MOUSE_Y + 60), 100000.0f);

  // Buttons: all presses, then all releases, at the mouse's position; no move without motion.
  seen.clear();
  ZYI_HandleRawMouse(0, 10, 10, 0);  // first mouse at 10.8, 10.8
  ZYI_HandleRawMouse(0, 0, 0, ZYH_RAW_LEFT_UP | ZYH_RAW_RIGHT_DOWN | ZYH_RAW_BUTTON5_DOWN | ZYH_RAW_LEFT_DOWN);
  EXPECT_EQ(Seen(), (Lines{"move 1 10,10 prev 0,0", "bdown 1 510 10,10", "bdown 1 511 10,10", "bdown 1 514 10,10",
                           "bup 1 510 10,10"}));
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT + 40), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT + 40) + ZY_GetKeyState(ZY_MOUSE_BUTTON_4 + 40), 6);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT), 0);

  // Devices the registration did not find are ignored, and so are raw reports outside
  // several-mice mode.
  ZYI_HandleRawMouse(2, 6, 6, ZYH_RAW_LEFT_DOWN);
  ZYI_HandleRawMouse(-1, 6, 6, ZYH_RAW_LEFT_DOWN);
  program.parms.multi_mouse = 0;
  Pump({raw});
  EXPECT_EQ(seen.size(), 5u);
}

TEST_F(Input, RawInputRegistersOnce) {
  EXPECT_TRUE(ZYI_RegisterRawInput());
  EXPECT_LE(zy::input.raw_mouse_count, ZYI_MAX_RAW_MICE);
  zy::input.raw_mouse_count = 3;  // a second call does not list the devices again
  EXPECT_TRUE(ZYI_RegisterRawInput());
  EXPECT_EQ(zy::input.raw_mouse_count, 3);
}
