// The window: its style, creation and destruction on the headless backend, and the
// window procedure fed with injected host events (close, maximise, Alt keys, dropped
// files, activation, the platform's quit).
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "config/config.h"
#include "lifecycle/resolution.h"
#include "lifecycle/input.h"
#include "base/locks.h"
#include "base/state.h"
#include "lifecycle/window.h"
#include "engine/modules.h"
#include "host/host.h"
#include "zylem_modules.h"
#include "zytest.h"
#include "lifecycle/state.h"

namespace {

struct Seen {
  uint32_t type;
  uint32_t flag;  // activation's inactive flag, key code, ...
  std::string name, arg1, arg2;
};

std::vector<Seen> seen;
uint32_t close_answer = 0;
ZY_ProgramInterface program;

uint32_t RecordEvent(ZY_InputEvent ev) {
  Seen s = {ev.type, 0, "", "", ""};
  if (ev.type == ZY_EVENT_ACTIVATE) s.flag = ev.activate.inactive;
  if (ev.type == ZY_EVENT_KEY_DOWN || ev.type == ZY_EVENT_KEY_UP) s.flag = (uint32_t)ev.key.key;
  if (ev.type == ZY_EVENT_CHAR) s.flag = ev.character.code;
  if (ev.type == ZY_EVENT_NAMED) {
    // The texts live only as long as the delivery.
    s.name = ev.named.name ? ev.named.name : "(null)";
    s.arg1 = ev.named.arg1 ? ev.named.arg1 : "(null)";
    s.arg2 = ev.named.arg2 ? ev.named.arg2 : "(null)";
    s.flag = ev.named.reserved != nullptr;
  }
  seen.push_back(s);
  return ev.type == ZY_EVENT_CLOSE ? close_answer : 0;
}

bool InitTrue(void) { return true; }
void Frame(float) {}

// The recording renderer of the test modules, loaded straight from the build.
RendImp *RecordingRenderer() {
  std::string path = zytest::BuildDir() + "/modules/rmod_record.so";
  void *lib = ZYH_LoadLibrary(path.c_str());
  if (!lib) return nullptr;
  auto get = (ZYLEM_RendImp_GetInterfaceFunc)ZYH_GetSymbol(lib, ZYLEM_RENDIMP_GET_INTERFACE_NAME);
  return get ? get() : nullptr;
}

class WindowTest : public ZyTest {
 protected:
  void SetUp() override {
    setenv("ZYLEM_RECORD_FILE", (world.root() + "/record.txt").c_str(), 1);
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
    ZYI_ResetState();
    ZYI_CreateLocks();
    seen.clear();
    close_answer = 0;
    memset(&program, 0, sizeof program);
    program.interface_version = ZY_INTERFACE_VERSION;
    strcpy(program.title, "Window Test");
    program.init = InitTrue;
    program.update = program.draw = Frame;
    program.event = RecordEvent;
    program.parms.width = 800;
    program.parms.height = 600;
    program.parms.windowed = 1;
    zy::core.prog = &program;
    zy::core.core_initialized = 1;
    zy::core.applied_parms = zy::core.current_parms = program.parms;
  }
  void TearDown() override {
    ZYI_DestroyWindow();
    ZYI_InputShutdown();
    ZYI_ConfigFree();
    ZYI_DeleteLocks();
  }

  static void Inject(const ZyhEvent &ev) { ZYH_InjectEvent(&ev); }
  static ZyhEvent Event(ZyhEventType type, int key = 0, bool alt = false) {
    ZyhEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = type;
    ev.key = key;
    ev.alt = alt;
    return ev;
  }
};

}  // namespace

// The maximise box needs 640 x 480 in either direction; a window as tall as the screen
// is a popup; fullscreen has no boxes.
TEST(WindowStyle, BoxesAndPopupStyleFollowTheSizeAndTheScreen) {
  struct Case { int32_t w, h; bool windowed, max_box, popup; };
  for (Case c : {Case{320, 240, true, false, false}, Case{639, 479, true, false, false},
                 Case{640, 240, true, true, false}, Case{320, 480, true, true, false},
                 Case{800, 600, true, true, false}, Case{1280, 1080, true, false, true},
                 Case{1280, 1079, true, true, false}, Case{1920, 1080, false, false, false}}) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.windowed ? " windowed" : ""));
    ZyhWindowDesc d = ZYI_WindowStyle(c.w, c.h, c.windowed, 1080);
    EXPECT_EQ(d.maximize_box, c.max_box);
    EXPECT_EQ(d.popup_style, c.popup);
    EXPECT_EQ(d.windowed, c.windowed);
    EXPECT_EQ(d.width, c.w);
    EXPECT_EQ(d.height, c.h);
  }
}

TEST_F(WindowTest, CreatedWithTheModeInForceAndDestroyedOnce) {
  zy::core.applied_parms.width = 0;  // the host refuses an empty window: reported
  EXPECT_FALSE(ZYI_CreateWindow());
  EXPECT_FALSE(zy::window.created);

  zy::core.applied_parms.width = 320;
  zy::core.applied_parms.height = 240;
  ASSERT_TRUE(ZYI_CreateWindow());
  int w = 0, h = 0;
  ASSERT_TRUE(ZYH_WindowSize(&w, &h));
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_TRUE(zy::window.created);
  EXPECT_TRUE(zy::window.windowed);
  EXPECT_FALSE(zy::window.maximize_box);
  EXPECT_FALSE(zy::window.accept_files);  // files are taken in developer mode only

  EXPECT_TRUE(ZYI_CreateWindow());  // already there: success, nothing new
  ZYI_DestroyWindow();
  EXPECT_FALSE(ZYH_WindowExists());
  EXPECT_FALSE(zy::window.created);
  ZYI_DestroyWindow();  // nothing left to destroy

  zy::config.developer_mode = 1;
  zy::core.applied_parms.width = 1024;
  zy::core.applied_parms.height = 768;
  ASSERT_TRUE(ZYI_CreateWindow());
  EXPECT_TRUE(zy::window.maximize_box);
  EXPECT_TRUE(zy::window.accept_files);
}

TEST_F(WindowTest, CloseAnsweredWithTwoKeepsTheGameRunningElseItQuits) {
  close_answer = ZY_EVENT_RESULT_CANCEL_CLOSE;
  ZyhEvent close = Event(ZYH_EV_CLOSE);
  EXPECT_EQ(ZYI_HandleHostEvent(&close), 0);
  EXPECT_FALSE(zy::core.quit_requested);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, (uint32_t)ZY_EVENT_CLOSE);

  close_answer = 1;
  EXPECT_EQ(ZYI_HandleHostEvent(&close), 1);
  EXPECT_TRUE(zy::core.quit_requested);

  // Without an event callback a close quits.
  zy::core.quit_requested = 0;
  program.event = nullptr;
  Inject(close);
  ZYI_PumpEvents();
  EXPECT_TRUE(zy::core.quit_requested);
}

TEST_F(WindowTest, MaximisingRequestsFullscreenAtTheProgramsSize) {
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  zy::config.resolutions = strdup("800x600");
  ZYI_ReadDesktopSize();
  ZyhEvent max = Event(ZYH_EV_MAXIMIZED);
  max.x = 1920;
  max.y = 1017;
  EXPECT_EQ(ZYI_HandleHostEvent(&max), 0);
  EXPECT_TRUE(zy::core.reinit_requested);
  EXPECT_EQ(zy::core.current_parms.windowed, 0);
  EXPECT_EQ(zy::core.current_parms.width, 800);
  EXPECT_EQ(zy::core.current_parms.height, 600);
  // The program's own settings change only when the re-initialisation is done.
  EXPECT_EQ(program.parms.windowed, 1);
}

TEST_F(WindowTest, AltEnterTogglesWindowedAndAltAloneIsSwallowed) {
  zy::modules.renderer = RecordingRenderer();
  ASSERT_NE(zy::modules.renderer, nullptr);
  zy::config.resolutions = strdup("800x600");
  ZYI_ReadDesktopSize();

  ZyhEvent alt = Event(ZYH_EV_KEY_DOWN, 0x12, true);
  EXPECT_EQ(ZYI_HandleHostEvent(&alt), 0);
  EXPECT_EQ(ZY_GetKeyState(0x12), 3);
  ZyhEvent enter = Event(ZYH_EV_KEY_DOWN, 0x0D, true);
  EXPECT_EQ(ZYI_HandleHostEvent(&enter), 0);
  EXPECT_TRUE(zy::core.reinit_requested);
  EXPECT_EQ(zy::core.current_parms.windowed, 0);
  // System keys set key states but send no key events; other Alt combinations go on.
  ZyhEvent alt_f4 = Event(ZYH_EV_KEY_DOWN, 0x73, true);
  EXPECT_EQ(ZYI_HandleHostEvent(&alt_f4), ZYI_DEFAULT_PROCEDURE);
  EXPECT_EQ(ZY_GetKeyState(0x73), 3);
  ZyhEvent alt_up = Event(ZYH_EV_KEY_UP, 0x12, true);
  EXPECT_EQ(ZYI_HandleHostEvent(&alt_up), 0);
  EXPECT_EQ(ZY_GetKeyState(0x12), 0);
  EXPECT_TRUE(seen.empty());

  // From fullscreen, Alt+Enter asks for a window again.
  program.parms.windowed = 0;
  zy::core.reinit_requested = 0;
  EXPECT_EQ(ZYI_HandleHostEvent(&enter), 0);
  EXPECT_TRUE(zy::core.reinit_requested);
  EXPECT_EQ(zy::core.current_parms.windowed, 1);
}

TEST_F(WindowTest, DroppedFilesArriveWithForwardSlashesInDeveloperModeOnly) {
  ASSERT_TRUE(ZYI_CreateWindow());
  ZyhEvent drop = Event(ZYH_EV_DROP_FILE);
  strcpy(drop.text, "/tmp/level.xml");
  EXPECT_EQ(ZYI_HandleHostEvent(&drop), ZYI_DEFAULT_PROCEDURE);  // not a developer: ignored
  EXPECT_TRUE(seen.empty());

  ZYI_DestroyWindow();
  zy::config.developer_mode = 1;
  ASSERT_TRUE(ZYI_CreateWindow());
  strcpy(drop.text, "C:\\games\\My Level\\map.xml");
  drop.x = 12;
  drop.y = -3;
  Inject(drop);
  ZYI_PumpEvents();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, (uint32_t)ZY_EVENT_NAMED);
  EXPECT_EQ(seen[0].name, "FILE_DRAGGED");
  EXPECT_EQ(seen[0].arg1, "C:/games/My Level/map.xml");
  EXPECT_EQ(seen[0].arg2, "12,-3");
  EXPECT_EQ(seen[0].flag, 0u);  // the fourth field stays null

  // An unterminated path from the host is cut, never read past its buffer.
  memset(drop.text, 'a', sizeof drop.text);
  EXPECT_EQ(ZYI_HandleHostEvent(&drop), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].arg1.size(), sizeof drop.text - 1);

  // An empty name sends nothing.
  drop.text[0] = '\0';
  ZYI_HandleHostEvent(&drop);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WindowTest, ActivationChangesSendEventTenAndClearTheKeyboard) {
  ZY_SetKeyState('W', 3);
  ZY_SetKeyState(ZY_MOUSE_BUTTON_LEFT, 3);
  ZyhEvent on = Event(ZYH_EV_ACTIVATE);
  on.active = 1;
  Inject(on);
  Inject(on);  // reported again: no change, nothing sent
  ZYI_PumpEvents();
  EXPECT_TRUE(zy::core.app_active);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, (uint32_t)ZY_EVENT_ACTIVATE);
  EXPECT_EQ(seen[0].flag, 0u);
  EXPECT_EQ(ZY_GetKeyState('W'), 0);
  EXPECT_EQ(ZY_GetKeyState(ZY_MOUSE_BUTTON_LEFT), 3);  // only ids 0-254

  ZyhEvent minimised = on;
  minimised.minimized = 1;  // focus on a minimised window is not activity
  Inject(minimised);
  ZYI_PumpEvents();
  EXPECT_FALSE(zy::core.app_active);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].flag, 1u);

  // While quitting the program hears nothing more, but the state still follows.
  zy::core.quit_requested = 1;
  ZYI_SetActive(true);
  EXPECT_TRUE(zy::core.app_active);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(WindowTest, KeysAndCharactersAreDeliveredAtOnce) {
  Inject(Event(ZYH_EV_KEY_DOWN, 0x25));
  Inject(Event(ZYH_EV_CHAR, 0xE4));
  Inject(Event(ZYH_EV_KEY_UP, 0x25));
  ZYI_PumpEvents();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0].type, (uint32_t)ZY_EVENT_KEY_DOWN);
  EXPECT_EQ(seen[0].flag, 0x25u);
  EXPECT_EQ(seen[1].type, (uint32_t)ZY_EVENT_CHAR);
  EXPECT_EQ(seen[1].flag, 0xE4u);
  EXPECT_EQ(seen[2].type, (uint32_t)ZY_EVENT_KEY_UP);
  EXPECT_EQ(zy::input.queue_count, 0);
}

TEST_F(WindowTest, KeyAndPointerEventsAreQueuedWhenAModuleAsksForIt) {
  zy::modules.host.queue_input = 1;
  Inject(Event(ZYH_EV_KEY_DOWN, 'Q'));
  Inject(Event(ZYH_EV_CHAR, 'q'));
  ZyhEvent move = Event(ZYH_EV_MOUSE_MOVE);
  move.x = 5;
  Inject(move);
  ZYI_PumpEvents();
  // The character is never queued; the key state is set at once.
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, (uint32_t)ZY_EVENT_CHAR);
  EXPECT_EQ(ZY_GetKeyState('Q'), 3);
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].type, (uint32_t)ZY_EVENT_KEY_DOWN);
  EXPECT_EQ(seen[2].type, (uint32_t)ZY_EVENT_POINTER_MOVE);
}

TEST_F(WindowTest, APlatformQuitEndsThePumpForThisIteration) {
  Inject(Event(ZYH_EV_QUIT));
  Inject(Event(ZYH_EV_KEY_DOWN, 'Z'));
  ZYI_PumpEvents();
  EXPECT_TRUE(zy::core.quit_requested);
  EXPECT_TRUE(seen.empty());
  ZYI_PumpEvents();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].flag, (uint32_t)'Z');
}
