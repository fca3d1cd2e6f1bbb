// Input tables, event delivery and the queue, the system mouse, cursors and several
// mice, driven through injected host events on the headless backend and a program
// record whose event callback records what it receives.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

#include "config/config.h"
#include "lifecycle/resolution.h"
#include "lifecycle/input.h"
#include "base/locks.h"
#include "base/state.h"
#include "lifecycle/window.h"
#include "host/host.h"
#include "zytest.h"
#include "lifecycle/state.h"

namespace {

std::vector<ZY_InputEvent> received;
uint32_t answer = 0;
ZY_ProgramInterface program;

uint32_t RecordEvent(ZY_InputEvent ev) {
  received.push_back(ev);
  return answer;
}

bool InitTrue(void) { return true; }
void Frame(float) {}

class InputTest : public ZyTest {
 protected:
  void SetUp() override {
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
    ZYI_ResetState();
    ZYI_CreateLocks();
    received.clear();
    answer = 0;
    memset(&program, 0, sizeof program);
    program.interface_version = ZY_INTERFACE_VERSION;
    program.init = InitTrue;
    program.update = program.draw = Frame;
    program.event = RecordEvent;
    program.parms.width = 1280;
    program.parms.height = 720;
    zy::core.prog = &program;
    zy::core.core_initialized = 1;
  }
  void TearDown() override {
    ZYI_InputShutdown();
    ZYI_ConfigFree();
    ZYI_DeleteLocks();
  }

  static void Inject(ZyhEventType type, int key = 0, int x = 0, int y = 0) {
    ZyhEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = type;
    ev.key = key;
    ev.x = x;
    ev.y = y;
    ZYH_InjectEvent(&ev);
  }
  static void Button(ZyhEventType type, int button, int x, int y) {
    ZyhEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = type;
    ev.button = button;
    ev.x = x;
    ev.y = y;
    ZYH_InjectEvent(&ev);
  }
};

}  // namespace

TEST_F(InputTest, ReadingAPressedKeyClearsOnlyThePressedBitBelowGamepadIds) {
  Inject(ZYH_EV_KEY_DOWN, 'A');
  ZYI_PumpEvents();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].type, (uint32_t)ZY_EVENT_KEY_DOWN);
  EXPECT_EQ(received[0].key.key, 'A');
  EXPECT_EQ(ZY_GetKeyState('A'), 3);
  EXPECT_EQ(ZY_GetKeyState('A'), 2);

  ZY_SetKeyState(799, 3);
  EXPECT_EQ(ZY_GetKeyState(799), 3);
  EXPECT_EQ(ZY_GetKeyState(799), 2);
  ZY_SetKeyState(ZY_GAMEPAD_BUTTON_A, 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A), 3);

  Inject(ZYH_EV_KEY_UP, 'A');
  ZYI_PumpEvents();
  EXPECT_EQ(ZY_GetKeyState('A'), 0);
  EXPECT_EQ(received.back().type, (uint32_t)ZY_EVENT_KEY_UP);
}

TEST_F(InputTest, IdsOutsideTheTablesReadZeroAndWriteNothing) {
  ZY_SetKeyState(ZY_INPUT_ID_COUNT, 3);
  ZY_SetKeyState(-1, 3);
  ZY_SetAxis(ZY_INPUT_ID_COUNT, 1.0f);
  EXPECT_EQ(ZY_GetKeyState(ZY_INPUT_ID_COUNT), 0);
  EXPECT_EQ(ZY_GetKeyState(-1), 0);
  EXPECT_EQ(ZY_GetAxis(-5), 0.0f);
  ZY_SetAxis(ZY_INPUT_ID_COUNT - 1, 2.5f);
  EXPECT_EQ(ZY_GetAxis(ZY_INPUT_ID_COUNT - 1), 2.5f);
}

TEST_F(InputTest, ClearingInputStatesKeepsPositionsAndGamepads) {
  ZY_SetKeyState(0, 3);
  ZY_SetKeyState(255, 3);
  ZY_SetKeyState(ZY_MOUSE_X, 40);
  ZY_SetKeyState(ZY_MOUSE_BUTTON_LEFT, 3);
  ZY_SetKeyState(ZY_MOUSE_BUTTON_7, 3);
  ZY_SetKeyState(ZY_GAMEPAD_BUTTON_A, 3);
  ZYI_ClearInputStates();
  EXPECT_EQ(ZY_GetKeyState(0), 0);
  EXPECT_EQ(ZY_GetKeyState(255), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_7), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), 40);
  EXPECT_EQ(ZY_GetKeyState(ZY_GAMEPAD_BUTTON_A), 3);
}

TEST_F(InputTest, RightClickHoldsRightAtThreeAndLeftAtTwoUntilReleased) {
  Button(ZYH_EV_BUTTON_DOWN, 1, 100, 50);
  ZYI_PumpEvents();
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 2);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].type, (uint32_t)ZY_EVENT_BUTTON_DOWN);
  EXPECT_EQ(received[0].pointer.button, ZY_MOUSE_BUTTON_RIGHT);
  EXPECT_EQ(received[0].pointer.x, 100);
  EXPECT_EQ(received[0].pointer.y, 50);

  Button(ZYH_EV_BUTTON_UP, 1, 100, 50);
  ZYI_PumpEvents();
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 0);

  // The left button ends at 3 because its own id is set after the shared 2.
  Button(ZYH_EV_BUTTON_DOWN, 0, 1, 1);
  Button(ZYH_EV_BUTTON_DOWN, 2, 1, 1);
  ZYI_PumpEvents();
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_2), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 2);  // the middle press reset it to 2
  // Side buttons of the window mouse are not engine buttons.
  size_t before = received.size();
  Button(ZYH_EV_BUTTON_DOWN, 3, 1, 1);
  ZYI_PumpEvents();
  EXPECT_EQ(received.size(), before);
}

TEST_F(InputTest, PointerEventsCarryThePreviousPositionAndSetThePolledPosition) {
  Inject(ZYH_EV_MOUSE_MOVE, 0, 10, 20);
  Inject(ZYH_EV_MOUSE_MOVE, 0, 30, 45);
  ZYI_PumpEvents();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0].pointer.prev_x, 0);
  EXPECT_EQ(received[0].pointer.prev_y, 0);
  EXPECT_EQ(received[1].type, (uint32_t)ZY_EVENT_POINTER_MOVE);
  EXPECT_EQ(received[1].pointer.index, 0);
  EXPECT_EQ(received[1].pointer.x, 30);
  EXPECT_EQ(received[1].pointer.y, 45);
  EXPECT_EQ(received[1].pointer.prev_x, 10);
  EXPECT_EQ(received[1].pointer.prev_y, 20);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), 30);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_Y), 45);
  EXPECT_EQ(ZY_GetAxis(ZY_MOUSE_X), 30.0f);
  EXPECT_EQ(ZY_GetAxis(ZY_POINTER_Y(0)), 45.0f);
}

TEST_F(InputTest, AutoscaledPointerPositionsAreInProgramCoordinates) {
  // Reference 1024x768 letterboxed into 1280x720: scale 0.9375, 160 pixels of bar left.
  program.parms.reference_width = 1024;
  program.parms.reference_height = 768;
  zy::core.applied_parms.width = 1280;
  zy::core.applied_parms.height = 720;
  zy::config.app_features = strdup("AUTOSCALE_RETAIN_ASPECT_RATIO");
  ZYI_EnableAutoscaling(true);
  ZYI_SetupAutoscaling();
  ASSERT_TRUE(ZYI_AutoscaleActive());

  Inject(ZYH_EV_MOUSE_MOVE, 0, 640, 360);  // the window's centre is the program's centre
  Inject(ZYH_EV_MOUSE_MOVE, 0, 160, 0);    // the program's top-left corner
  Inject(ZYH_EV_MOUSE_MOVE, 0, 100, 719);  // in the left bar: negative program x
  ZYI_PumpEvents();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].pointer.x, 512);
  EXPECT_EQ(received[0].pointer.y, 384);
  EXPECT_EQ(received[1].pointer.x, 0);
  EXPECT_EQ(received[1].pointer.y, 0);
  EXPECT_EQ(received[1].pointer.prev_x, 512);
  EXPECT_EQ(received[2].pointer.x, -64);
  EXPECT_EQ(received[2].pointer.y, 766);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), -64);

  // The wheel reports the polled position as it is, without scaling it a second time.
  ZyhEvent wheel;
  memset(&wheel, 0, sizeof wheel);
  wheel.type = ZYH_EV_WHEEL;
  wheel.delta = 120;
  ZYH_InjectEvent(&wheel);
  ZYI_PumpEvents();
  EXPECT_EQ(received.back().pointer.x, -64);
  EXPECT_EQ(received.back().pointer.y, 766);
}

TEST_F(InputTest, WheelDeltasSumAtTheWheelId) {
  Inject(ZYH_EV_MOUSE_MOVE, 0, 7, 8);
  const int deltas[] = {120, 120, -360, 60};
  for (int d : deltas) {
    ZyhEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ZYH_EV_WHEEL;
    ev.delta = d;
    ZYH_InjectEvent(&ev);
  }
  ZYI_PumpEvents();
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_WHEEL), -60);
  ASSERT_EQ(received.size(), 5u);
  EXPECT_EQ(received[3].type, (uint32_t)ZY_EVENT_WHEEL);
  EXPECT_EQ(received[3].pointer.wheel_delta, -360);
  EXPECT_EQ(received[3].pointer.x, 7);
  EXPECT_EQ(received[3].pointer.y, 8);
  EXPECT_EQ(received[3].pointer.prev_x, 7);
}

TEST_F(InputTest, EventsReachTheProgramOnlyAfterCoreInitialisation) {
  zy::core.core_initialized = 0;
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_KEY_DOWN;
  answer = 9;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 0u);
  EXPECT_TRUE(received.empty());
  zy::core.core_initialized = 1;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 9u);
  program.event = nullptr;
  EXPECT_EQ(ZYI_DeliverEvent(&ev), 0u);
}

TEST_F(InputTest, EventsPostedFromAnotherThreadArriveInPostingOrder) {
  // The poster runs while the frame keeps delivering; the queue grows past 32 on the way.
  const int count = 5000;
  std::thread poster([] {
    for (int i = 0; i < count; i++) {
      ZY_InputEvent ev;
      memset(&ev, 0, sizeof ev);
      ev.type = ZY_EVENT_KEY_UP;
      ev.key.key = i;
      ZYI_PostEvent(&ev);
    }
  });
  while (received.size() < (size_t)count) ZYI_DeliverQueuedEvents();
  poster.join();
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), (size_t)count);
  for (int i = 0; i < count; i++) ASSERT_EQ(received[i].key.key, i);
  EXPECT_EQ(zy::input.queue_count, 0);
  EXPECT_GE(zy::input.queue_capacity, 32);
}

uint32_t PostWhileDelivering(ZY_InputEvent ev) {
  received.push_back(ev);
  if (ev.type == ZY_EVENT_REINIT) {
    ZY_InputEvent next;
    memset(&next, 0, sizeof next);
    next.type = ZY_EVENT_RESIZE;
    ZYI_PostEvent(&next);
  }
  return 0;
}

TEST_F(InputTest, EventsPostedDuringDeliveryWaitForTheNextFrame) {
  program.event = PostWhileDelivering;
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_REINIT;
  ZYI_PostEvent(&ev);
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), 1u);
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].type, (uint32_t)ZY_EVENT_RESIZE);
}

TEST_F(InputTest, HeapDataOfQueuedPurchaseEventsIsHandedOverThenReleased) {
  // The program sees the data during delivery; afterwards the queue no longer holds it.
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = 21;
  ev.data.data = strdup("receipt");
  ZYI_PostEvent(&ev);
  ev.type = 35;
  ev.data.data = strdup("ad");
  ZYI_PostEvent(&ev);
  ev.type = 33;
  ev.data.data = nullptr;  // no data is fine too
  ZYI_PostEvent(&ev);
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].type, 21u);
  EXPECT_EQ(received[1].type, 35u);
  EXPECT_EQ(zy::input.queue_count, 0);
  // Still queued at shut-down: freed there (checked by the sanitizer builds).
  ev.type = 22;
  ev.data.data = strdup("pending");
  ZYI_PostEvent(&ev);
  ZYI_InputShutdown();
  EXPECT_EQ(zy::input.queue, nullptr);
}

namespace {

int toggles = 0;
bool console_shown = false;
std::vector<uint32_t> console_seen;

void Toggle(void) {
  toggles++;
  console_shown = !console_shown;
}
bool Visible(void) { return console_shown; }
uint32_t ConsoleEvent(const ZY_InputEvent *ev) {
  console_seen.push_back(ev->type);
  return ev->type == ZY_EVENT_CLOSE ? 0 : 1;  // declines close requests
}

std::vector<ZY_Bitmap *> redrawn;
ZY_Bitmap targets[2];
void ForEachTarget(void (*fn)(ZY_Bitmap *, void *), void *user) {
  for (ZY_Bitmap &b : targets) fn(&b, user);
}

}  // namespace

TEST_F(InputTest, TheConsoleTakesItsToggleKeyAndEverythingButCommandsWhileShown) {
  toggles = 0;
  console_shown = false;
  console_seen.clear();
  ZyInputHooks h = {};
  h.console_toggle = Toggle;
  h.console_visible = Visible;
  h.console_event = ConsoleEvent;
  ZYI_SetInputHooks(&h);
  zy::config.console_toggle_key = -89;  // the default: character 167

  Inject(ZYH_EV_CHAR, 'a');
  Inject(ZYH_EV_CHAR, 167);
  ZYI_PumpEvents();
  EXPECT_EQ(toggles, 1);
  ASSERT_EQ(received.size(), 1u);  // the toggle character never reaches the program
  EXPECT_EQ(received[0].character.code, 'a');

  Inject(ZYH_EV_KEY_DOWN, 'B');
  Inject(ZYH_EV_CLOSE);
  ZYI_PumpEvents();
  ZY_InputEvent command;
  memset(&command, 0, sizeof command);
  command.type = ZY_EVENT_CONSOLE_COMMAND;
  command.console.command = "spawn";
  ZYI_DeliverEvent(&command);
  ASSERT_EQ(console_seen.size(), 2u);
  EXPECT_EQ(console_seen[0], (uint32_t)ZY_EVENT_KEY_DOWN);
  EXPECT_EQ(console_seen[1], (uint32_t)ZY_EVENT_CLOSE);
  // The key stayed with the console; the declined close and the command reached the game.
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[1].type, (uint32_t)ZY_EVENT_CLOSE);
  EXPECT_EQ(received[2].type, (uint32_t)ZY_EVENT_CONSOLE_COMMAND);
  // The key state is still kept while the console has the event.
  EXPECT_EQ(ZY_GetKeyState('B'), 3);

  Inject(ZYH_EV_CHAR, 167);
  Inject(ZYH_EV_KEY_DOWN, 'C');
  ZYI_PumpEvents();
  EXPECT_EQ(toggles, 2);
  EXPECT_EQ(received.back().key.key, 'C');
  ZYI_SetInputHooks(nullptr);

  // Without a console the toggle character is still not the program's.
  Inject(ZYH_EV_CHAR, 167);
  ZYI_PumpEvents();
  EXPECT_EQ(received.back().key.key, 'C');
}

TEST_F(InputTest, AResizeFirstAsksForEveryRenderTargetToBeRedrawn) {
  ZyInputHooks h = {};
  h.for_each_render_target = ForEachTarget;
  ZYI_SetInputHooks(&h);
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_RESIZE;
  ev.resize.width = 800;
  ev.resize.height = 600;
  ZYI_PostEvent(&ev);
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].type, (uint32_t)ZY_EVENT_RENDER_TARGET_LOST);
  EXPECT_EQ(received[0].render_target.bitmap, &targets[0]);
  EXPECT_EQ(received[1].render_target.bitmap, &targets[1]);
  EXPECT_EQ(received[2].type, (uint32_t)ZY_EVENT_RESIZE);
  EXPECT_EQ(received[2].resize.width, 800);
  ZYI_SetInputHooks(nullptr);
}

TEST_F(InputTest, CursorsByNameWithArrowForUnknownNamesAndHiddenOnRequest) {
  // Before the table is filled an unknown name (even "ARROW") still gives the arrow.
  ZYH_SetCursor(ZYH_CURSOR_WAIT);
  ZY_SetCursor("ARROW");
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_ARROW);

  ZYI_LoadCursors();
  EXPECT_EQ(zy::input.cursor_count, 14);
  struct Case { const char *name; int cursor; };
  for (Case c : {Case{"IBEAM", ZYH_CURSOR_IBEAM}, Case{"FINGER_POINT", ZYH_CURSOR_HAND},
                 Case{"HELP", ZYH_CURSOR_HELP}, Case{"no such cursor", ZYH_CURSOR_ARROW},
                 Case{"ibeam", ZYH_CURSOR_ARROW},  // names compare exactly
                 Case{"NULL", ZYH_CURSOR_HIDDEN}, Case{"WAIT", ZYH_CURSOR_WAIT},
                 Case{nullptr, ZYH_CURSOR_HIDDEN}}) {
    ZY_SetCursor(c.name);
    EXPECT_EQ((int)ZYH_GetCursor(), c.cursor) << (c.name ? c.name : "(null)");
  }
  // The HIDE_CURSOR feature hides every cursor.
  zy::config.variant_features = strdup("SHOW_FPS, HIDE_CURSOR");
  ZY_SetCursor("IBEAM");
  EXPECT_EQ(ZYH_GetCursor(), ZYH_CURSOR_HIDDEN);
}

TEST_F(InputTest, RawMouseAccelerationDampsSlowAndAmplifiesFastMotion) {
  // (1 + (|d| - 6)^2 * 0.005 * sign(|d| - 6)) * d; 6 is the neutral speed.
  const std::pair<int, float> cases[] = {{0, 0.0f},  {1, 0.875f},  {3, 2.865f},  {6, 6.0f},
                                         {10, 10.8f}, {-10, -10.8f}, {26, 78.0f}};
  for (const auto &c : cases) EXPECT_FLOAT_EQ(ZYI_RawMouseMotion(c.first), c.second) << c.first;
}

TEST_F(InputTest, SeveralMiceMoveInTheirOwnIdBlocksWithinTheProgramArea) {
  program.parms.width = 100;
  program.parms.height = 50;
  program.parms.multi_mouse = 1;
  zy::input.raw_registered = 1;  // as after registering with two mice found
  zy::input.raw_mouse_count = 2;

  ZyhEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZYH_EV_RAW_MOUSE;
  ev.device = 1;  // the second mouse: m = 2, block 60
  ev.x = 10;
  ev.y = 3;
  ZYH_InjectEvent(&ev);
  ZYI_PumpEvents();
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 60), 10.8f);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_Y + 60), 2.865f);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X + 60), 10);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_Y + 60), 2);
  EXPECT_EQ(ZY_GetKeyState(500 + 60), 10);
  EXPECT_EQ(ZY_GetKeyState(501 + 60), 3);
  EXPECT_EQ(ZY_GetKeyState(518 + 60), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_X), 0);  // the system mouse did not move
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].type, (uint32_t)ZY_EVENT_POINTER_MOVE);
  EXPECT_EQ(received[0].pointer.index, 2);
  EXPECT_EQ(received[0].pointer.x, 10);
  EXPECT_EQ(received[0].pointer.y, 2);

  // Far beyond the area: clamped to 0..width and 0..height.
  ZYI_HandleRawMouse(1, 500, -500, 0);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 60), 100.0f);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_Y + 60), 0.0f);

  // The first mouse has the block of 40; devices the registration did not find are ignored.
  ZYI_HandleRawMouse(0, 6, 6, 0);
  EXPECT_FLOAT_EQ(ZY_GetAxis(ZY_MOUSE_X + 40), 6.0f);
  size_t before = received.size();
  ZYI_HandleRawMouse(2, 6, 6, ZYH_RAW_LEFT_DOWN);
  ZYI_HandleRawMouse(-1, 6, 6, ZYH_RAW_LEFT_DOWN);
  EXPECT_EQ(received.size(), before);

  // Without several-mice mode the window procedure ignores raw reports.
  program.parms.multi_mouse = 0;
  ZYH_InjectEvent(&ev);
  ZYI_PumpEvents();
  EXPECT_EQ(received.size(), before);
}

TEST_F(InputTest, RawButtonsSendAllPressesThenAllReleasesWithTheMousePosition) {
  program.parms.multi_mouse = 1;
  zy::input.raw_registered = 1;
  zy::input.raw_mouse_count = 1;
  ZYI_HandleRawMouse(0, 10, 10, 0);  // position 10.8, 10.8 -> 10, 10
  received.clear();
  ZYI_HandleRawMouse(0, 0, 0,
                     ZYH_RAW_LEFT_UP | ZYH_RAW_RIGHT_DOWN | ZYH_RAW_BUTTON5_DOWN | ZYH_RAW_LEFT_DOWN);
  ASSERT_EQ(received.size(), 4u);  // no move event without motion
  const uint32_t types[] = {ZY_EVENT_BUTTON_DOWN, ZY_EVENT_BUTTON_DOWN, ZY_EVENT_BUTTON_DOWN,
                            ZY_EVENT_BUTTON_UP};
  const uint16_t ids[] = {510, 511, 514, 510};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(received[i].type, types[i]) << i;
    EXPECT_EQ(received[i].pointer.button, ids[i]) << i;
    EXPECT_EQ(received[i].pointer.index, 1) << i;
    EXPECT_EQ(received[i].pointer.x, 10) << i;
    EXPECT_EQ(received[i].pointer.y, 10) << i;
  }
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT + 40), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT + 40), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_4 + 40), 3);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_RIGHT), 0);  // the system mouse is untouched
}

TEST_F(InputTest, RawInputRegistersOnce) {
  EXPECT_TRUE(ZYI_RegisterRawInput());
  EXPECT_TRUE(zy::input.raw_registered);
  EXPECT_GE(zy::input.raw_mouse_count, 0);
  EXPECT_LE(zy::input.raw_mouse_count, ZYI_MAX_RAW_MICE);
  zy::input.raw_mouse_count = 3;  // a second call does not list the devices again
  EXPECT_TRUE(ZYI_RegisterRawInput());
  EXPECT_EQ(zy::input.raw_mouse_count, 3);
}
