// The SDL backend on SDL's dummy video driver (no display needed): the window, native
// events translated into Win32-shaped events, the key table, and message boxes falling
// back to the scripted answer when nothing can be shown. Skipped where SDL's video cannot
// start at all.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "host/sdl/sdl_internal.h"
#include "zytest.h"

namespace {

enum { VK_CLEAR = 0x0C, VK_RETURN = 0x0D, VK_SHIFT = 0x10, VK_CONTROL = 0x11, VK_MENU = 0x12,
       VK_ESCAPE = 0x1B, VK_LEFT = 0x25, VK_UP = 0x26, VK_NUMPAD8 = 0x68, VK_F1 = 0x70,
       VK_F13 = 0x7C, VK_F24 = 0x87, VK_OEM_1 = 0xBA, VK_OEM_COMMA = 0xBC, VK_OEM_2 = 0xBF };

void UseDummyVideo() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  // A box that SDL could really show would wait for a user; these tests want none.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

class SdlBackend : public ZyTest {
 protected:
  void SetUp() override {
    UseDummyVideo();
    if (!ZYH_SelectBackend(ZYH_BACKEND_SDL))
      GTEST_SKIP() << "SDL video cannot start: " << ZYH_LastErrorText();
    ASSERT_EQ(ZYH_CurrentBackend(), ZYH_BACKEND_SDL);
  }
  void TearDown() override { ZYH_SelectBackend(ZYH_BACKEND_HEADLESS); }

  void OpenWindow(bool accept_files = true) {
    ZyhWindowDesc desc = {};
    desc.title = "Game";
    desc.width = 640;
    desc.height = 480;
    desc.windowed = true;
    desc.maximize_box = true;
    desc.accept_files = accept_files;
    ASSERT_TRUE(ZYH_WindowCreate(&desc)) << ZYH_LastErrorText();
    Drain();  // whatever SDL reports about the new window
  }

  static void Push(ZyhSdlNative n) { ASSERT_TRUE(ZYH_SdlPushNative(&n)); }

  static ZyhSdlNative Native(ZyhSdlNativeKind kind, const char *name = nullptr) {
    ZyhSdlNative n = {};
    n.kind = kind;
    n.name = name;
    return n;
  }

  static std::vector<ZyhEvent> Drain() {
    std::vector<ZyhEvent> out;
    ZyhEvent ev;
    while (ZYH_PollEvent(&ev)) out.push_back(ev);
    return out;
  }
};

}  // namespace

TEST_F(SdlBackend, WindowHasTheAskedSizeInEveryStyle) {
  OpenWindow();
  int w = 0, h = 0;
  ASSERT_TRUE(ZYH_WindowSize(&w, &h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_NE(ZYH_WindowNative(), nullptr);
  EXPECT_EQ(ZYH_WindowNative(), (void *)ZYH_SdlWindow());
  ZYH_WindowRaise();

  ZyhWindowDesc other = {};
  other.title = "Second";
  other.width = 320;
  other.height = 200;
  other.windowed = true;
  EXPECT_FALSE(ZYH_WindowCreate(&other)) << "one window only";
  ZYH_WindowDestroy();
  EXPECT_FALSE(ZYH_WindowExists());
  EXPECT_FALSE(ZYH_WindowSize(&w, &h));

  other.popup_style = true;
  ASSERT_TRUE(ZYH_WindowCreate(&other)) << ZYH_LastErrorText();
  ZYH_WindowSize(&w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  ZYH_WindowDestroy();

  other.windowed = false;  // fullscreen smaller than the screen: borderless at the corner
  ASSERT_TRUE(ZYH_WindowCreate(&other)) << ZYH_LastErrorText();
  ZYH_WindowSize(&w, &h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 200);
  ZYH_WindowDestroy();

  int sw = 0, sh = 0;
  ZYH_ScreenSize(&sw, &sh);
  EXPECT_GT(sw, 0);
  EXPECT_GT(sh, 0);
}

TEST_F(SdlBackend, KeysArriveAsVirtualKeysWithTheSystemKeyFlag) {
  OpenWindow();
  ZyhSdlNative a = Native(ZYH_SDL_KEY_DOWN, "A");
  Push(a);
  ZyhSdlNative alt_left = Native(ZYH_SDL_KEY_DOWN, "Left");
  alt_left.alt = true;
  Push(alt_left);
  Push(Native(ZYH_SDL_KEY_DOWN, "Left Alt"));  // Alt itself is a system key
  Push(Native(ZYH_SDL_KEY_UP, "Left Alt"));    // also when released
  ZyhSdlNative altgr_q = Native(ZYH_SDL_KEY_DOWN, "Q");
  altgr_q.alt = altgr_q.ctrl = true;  // AltGr: an ordinary key
  Push(altgr_q);
  Push(Native(ZYH_SDL_KEY_UP, "Right Shift"));

  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 6u);
  EXPECT_EQ(ev[0].type, ZYH_EV_KEY_DOWN);
  EXPECT_EQ(ev[0].key, 'A');
  EXPECT_FALSE(ev[0].alt);
  EXPECT_EQ(ev[1].key, VK_LEFT);
  EXPECT_TRUE(ev[1].alt);
  EXPECT_EQ(ev[2].key, VK_MENU);
  EXPECT_TRUE(ev[2].alt);
  EXPECT_EQ(ev[3].type, ZYH_EV_KEY_UP);
  EXPECT_EQ(ev[3].key, VK_MENU);
  EXPECT_TRUE(ev[3].alt);
  EXPECT_EQ(ev[4].key, 'Q');
  EXPECT_FALSE(ev[4].alt);
  EXPECT_EQ(ev[5].type, ZYH_EV_KEY_UP);
  EXPECT_EQ(ev[5].key, VK_SHIFT);
}

TEST_F(SdlBackend, TypedTextBecomesOneCharacterEventPerByte) {
  OpenWindow();
  Push(Native(ZYH_SDL_TEXT, "h\xc3\xa9!"));
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 4u);
  const int bytes[] = {'h', 0xC3, 0xA9, '!'};
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(ev[i].type, ZYH_EV_CHAR);
    EXPECT_EQ(ev[i].key, bytes[i]) << i;
  }
}

TEST_F(SdlBackend, MouseButtonsAndWheelUseTheWindowsNumbering) {
  OpenWindow();
  const int sdl_buttons[] = {1, 3, 2, 4, 5};  // left, right, middle, x1, x2
  for (int i = 0; i < 5; i++) {
    ZyhSdlNative b = Native(ZYH_SDL_BUTTON_DOWN);
    b.button = sdl_buttons[i];
    b.x = 10 + i;
    b.y = 20;
    Push(b);
  }
  ZyhSdlNative up = Native(ZYH_SDL_BUTTON_UP);
  up.button = 3;
  Push(up);
  ZyhSdlNative move = Native(ZYH_SDL_MOTION);
  move.x = 100;
  move.y = 50;
  Push(move);
  ZyhSdlNative wheel = Native(ZYH_SDL_WHEEL);
  wheel.y = 1;
  Push(wheel);
  wheel.y = -2;
  Push(wheel);
  wheel.y = 1;
  wheel.flipped = true;  // "natural" scrolling reports the other sign
  Push(wheel);

  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 10u);
  for (int i = 0; i < 5; i++) {
    EXPECT_EQ(ev[i].type, ZYH_EV_BUTTON_DOWN);
    EXPECT_EQ(ev[i].button, i);
    EXPECT_EQ(ev[i].x, 10 + i);
    EXPECT_EQ(ev[i].y, 20);
  }
  EXPECT_EQ(ev[5].type, ZYH_EV_BUTTON_UP);
  EXPECT_EQ(ev[5].button, 1);
  EXPECT_EQ(ev[6].type, ZYH_EV_MOUSE_MOVE);
  EXPECT_EQ(ev[6].x, 100);
  EXPECT_EQ(ev[6].y, 50);
  EXPECT_EQ(ev[7].type, ZYH_EV_WHEEL);
  EXPECT_EQ(ev[7].delta, 120);
  EXPECT_EQ(ev[8].delta, -240);
  EXPECT_EQ(ev[9].delta, -120);
}

TEST_F(SdlBackend, WindowChangesBecomeActivationCloseAndSizeEvents) {
  OpenWindow();
  Push(Native(ZYH_SDL_MINIMIZED));
  Push(Native(ZYH_SDL_FOCUS_LOST));
  ZyhSdlNative resized = Native(ZYH_SDL_SIZE_CHANGED);
  resized.x = 800;
  resized.y = 600;
  Push(resized);
  Push(Native(ZYH_SDL_MAXIMIZED));
  Push(Native(ZYH_SDL_CLOSE));

  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 5u);
  EXPECT_EQ(ev[0].type, ZYH_EV_ACTIVATE);
  EXPECT_EQ(ev[0].active, 0);
  EXPECT_EQ(ev[0].minimized, 1);
  EXPECT_EQ(ev[1].type, ZYH_EV_ACTIVATE);
  EXPECT_EQ(ev[1].active, 0);
  EXPECT_EQ(ev[2].type, ZYH_EV_RESIZED);
  EXPECT_EQ(ev[2].x, 800);
  EXPECT_EQ(ev[2].y, 600);
  int w = 0, h = 0;
  ZYH_WindowSize(&w, &h);
  EXPECT_EQ(ev[3].type, ZYH_EV_MAXIMIZED);
  EXPECT_EQ(ev[3].x, w);
  EXPECT_EQ(ev[3].y, h);
  EXPECT_EQ(ev[4].type, ZYH_EV_CLOSE);
}

TEST_F(SdlBackend, CloseIsARequestNotTheEndOfTheProcess) {
  OpenWindow();
  // Some SDL versions follow the close of the last window with a quit; the program may
  // still refuse the close, so that quit must not reach the engine...
  Push(Native(ZYH_SDL_CLOSE));
  Push(Native(ZYH_SDL_QUIT));
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].type, ZYH_EV_CLOSE);
  // ...while a quit of its own (a signal, the session ending) does.
  Push(Native(ZYH_SDL_QUIT));
  ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].type, ZYH_EV_QUIT);
}

TEST_F(SdlBackend, DroppedFilesArriveOnlyWhenAccepted) {
  OpenWindow(true);
  Push(Native(ZYH_SDL_DROP_FILE, "/home/user/level 1.xml"));
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].type, ZYH_EV_DROP_FILE);
  EXPECT_STREQ(ev[0].text, "/home/user/level 1.xml");

  std::string long_path(2000, 'x');
  Push(Native(ZYH_SDL_DROP_FILE, long_path.c_str()));
  ev = Drain();
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(strlen(ev[0].text), 511u);

  ZYH_WindowDestroy();
  OpenWindow(false);
  ZyhSdlNative drop = Native(ZYH_SDL_DROP_FILE, "/tmp/x");
  ZYH_SdlPushNative(&drop);  // SDL may refuse it outright; either way nothing arrives
  EXPECT_TRUE(Drain().empty());
}

TEST_F(SdlBackend, InjectedEventsComeBeforeNativeOnes) {
  OpenWindow();
  Push(Native(ZYH_SDL_KEY_DOWN, "B"));
  ZyhEvent injected;
  memset(&injected, 0, sizeof injected);
  injected.type = ZYH_EV_CHAR;
  injected.key = 'x';
  ZYH_InjectEvent(&injected);
  std::vector<ZyhEvent> ev = Drain();
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].type, ZYH_EV_CHAR);
  EXPECT_EQ(ev[1].type, ZYH_EV_KEY_DOWN);
  EXPECT_EQ(ev[1].key, 'B');
}

TEST_F(SdlBackend, ClipboardAndCursorsWork) {
  OpenWindow();
  EXPECT_TRUE(ZYH_ClipboardSet("copied text"));
  char *text = ZYH_ClipboardGet();
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "copied text");
  free(text);

  for (int c = 0; c < ZYH_CURSOR_COUNT; c++) {
    ZYH_SetCursor((ZyhCursor)c);
    EXPECT_EQ(ZYH_GetCursor(), (ZyhCursor)c);
  }
}

TEST(SdlPopup, BoxThatCannotBeShownFallsBackToTheScriptedAnswer) {
  zytest::RunResult r = zytest::RunInChild([] {
    UseDummyVideo();
    setenv("ZYLEM_POPUP_ANSWER", "no", 1);
    if (!ZYH_SelectBackend(ZYH_BACKEND_SDL)) {
      printf("skip");
      return;
    }
    printf("%d", ZYH_MessageBox("Game Error", "Disk full", ZYH_MB_YESNOCANCEL, ZYH_ICON_ERROR));
    ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  });
  if (r.out == "skip") GTEST_SKIP() << "SDL video cannot start";
  EXPECT_EQ(r.out, std::to_string(ZYH_ID_NO));
  EXPECT_NE(r.err.find("[popup] Game Error: Disk full\n"), std::string::npos) << r.err;
}

TEST(SdlBackendStart, FailureFallsBackToHeadlessWithAReason) {
  setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
  EXPECT_FALSE(ZYH_SelectBackend(ZYH_BACKEND_SDL));
  EXPECT_EQ(ZYH_CurrentBackend(), ZYH_BACKEND_HEADLESS);
  EXPECT_STRNE(ZYH_LastErrorText(), "");
  ZyhWindowDesc desc = {};
  desc.width = 100;
  desc.height = 100;
  desc.windowed = true;
  EXPECT_TRUE(ZYH_WindowCreate(&desc));  // the headless window
  EXPECT_EQ(ZYH_WindowNative(), nullptr);
  ZYH_WindowDestroy();
  unsetenv("SDL_VIDEODRIVER");
}

TEST(SdlKeyMap, KeysMapToTheirVirtualKeyCodes) {
  const struct { const char *name; bool numlock; int vk; } keys[] = {
      {"A", false, 'A'},          {"Z", false, 'Z'},          {"0", false, '0'},
      {"9", false, '9'},          {"Space", false, ' '},      {"Return", false, VK_RETURN},
      {"Keypad Enter", false, VK_RETURN},                     {"Escape", false, VK_ESCAPE},
      {"F1", false, VK_F1},       {"F13", false, VK_F13},     {"F24", false, VK_F24},
      {"Left", false, VK_LEFT},   {"Up", false, VK_UP},       {"Left Shift", false, VK_SHIFT},
      {"Right Ctrl", false, VK_CONTROL},                      {"Right Alt", false, VK_MENU},
      {"Keypad 8", true, VK_NUMPAD8},                         {"Keypad 8", false, VK_UP},
      {"Keypad 5", false, VK_CLEAR},                          {";", false, VK_OEM_1},
      {",", false, VK_OEM_COMMA}, {"/", false, VK_OEM_2},     {"Keypad *", false, 0x6A},
      {"Delete", false, 0x2E},    {"PageDown", false, 0x22},  {"Left GUI", false, 0x5B},
  };
  for (auto &k : keys)
    EXPECT_EQ(ZYH_SdlVirtualKeyFromName(k.name, k.numlock), k.vk)
        << k.name << (k.numlock ? " with Num Lock" : "");
  EXPECT_EQ(ZYH_SdlVirtualKeyFromName("No Such Key", false), 0);
  EXPECT_EQ(ZYH_SdlVirtualKeyFromName(nullptr, false), 0);
}
