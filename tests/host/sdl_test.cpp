// The SDL backend on SDL's dummy video driver (no display needed): native events
// translated into Win32-shaped events, and the key table. Skipped where SDL's video
// cannot start.
#include <stdlib.h>

#include "host/sdl/sdl_internal.h"
#include "host_events.h"
#include "zytest.h"

namespace {

ZyhSdlNative Native(ZyhSdlNativeKind kind, const char *name = nullptr, int x = 0, int y = 0, int button = 0) {
  ZyhSdlNative n = {};
  n.kind = kind, n.name = name, n.x = x, n.y = y, n.button = button;
  return n;
}

class SdlBackend : public ZyTest {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!ZYH_SelectBackend(ZYH_BACKEND_SDL)) GTEST_SKIP() << "SDL video cannot start: " << ZYH_LastErrorText();
  }
  void TearDown() override { ZYH_SelectBackend(ZYH_BACKEND_HEADLESS); }

  static void Open() {
    ZyhWindowDesc desc = {"Game", 640, 480, true, true, false, true, false};
    ASSERT_TRUE(ZYH_WindowCreate(&desc)) << ZYH_LastErrorText();
    Drain();  // whatever SDL reports about the new window
  }
  static void Push(std::vector<ZyhSdlNative> natives) {
    for (const ZyhSdlNative &n : natives) ASSERT_TRUE(ZYH_SdlPushNative(&n));
  }
};

}  // namespace

TEST_F(SdlBackend, KeysTextButtonsAndWheelArriveInTheWindowsForm) {
  Open();
  ZyhSdlNative alt_left = Native(ZYH_SDL_KEY_DOWN, "Left"), altgr_q = Native(ZYH_SDL_KEY_DOWN, "Q");
  alt_left.alt = true;
  altgr_q.alt = altgr_q.ctrl = true;  // AltGr: an ordinary key
  Push({Native(ZYH_SDL_KEY_DOWN, "A"), alt_left, Native(ZYH_SDL_KEY_DOWN, "Left Alt"), Native(ZYH_SDL_KEY_UP, "Left Alt"),
        altgr_q, Native(ZYH_SDL_KEY_UP, "Right Shift"), Native(ZYH_SDL_TEXT, "h\xc3\xa9!")});
  // Alt itself is a system key, pressed and released; text is one character per byte.
  EXPECT_EQ(Drain(), (Events{"down 65", "down 37 alt", "down 18 alt", "up 18 alt", "down 81", "up 16", "char 104",
                             "char 195", "char 169", "char 33"}));

  std::vector<ZyhSdlNative> mouse;
  for (int sdl_button : {1, 3, 2, 4, 5}) mouse.push_back(Native(ZYH_SDL_BUTTON_DOWN, nullptr, 10, 20, sdl_button));
  mouse.push_back(Native(ZYH_SDL_BUTTON_UP, nullptr, 10, 20, 3));  // SDL: left, middle, right, x1, x2
  mouse.push_back(Native(ZYH_SDL_MOTION, nullptr, 100, 50));
  for (int notches : {1, -2, 1}) mouse.push_back(Native(ZYH_SDL_WHEEL, nullptr, 0, notches));
  mouse.back().flipped = true;  // "natural" scrolling reports the other sign
  Push(mouse);
  EXPECT_EQ(Drain(), (Events{"bdown 0 10,20", "bdown 1 10,20", "bdown 2 10,20", "bdown 3 10,20", "bdown 4 10,20",
                             "bup 1 10,20", "move 100,50", "wheel 120", "wheel -240", "wheel -120"}));
}

TEST_F(SdlBackend, WindowChangesBecomeActivationAndCloseEventsAndOnlyAnOwnQuitQuits) {
  Open();
  // Some SDL versions follow the close of the last window with a quit; the program may
  // still refuse the close, so that quit must not reach the engine, while a quit of its
  // own (a signal, the session ending) does.
  Push({Native(ZYH_SDL_MINIMIZED), Native(ZYH_SDL_FOCUS_LOST), Native(ZYH_SDL_CLOSE), Native(ZYH_SDL_QUIT)});
  EXPECT_EQ(Drain(), (Events{"activate 0 min", "activate 0", "close"}));
  Push({Native(ZYH_SDL_QUIT)});
  EXPECT_EQ(Drain(), Events{"quit"});
}

TEST(SdlKeyMap, KeysMapToTheirVirtualKeyCodes) {
  const struct { const char *name; bool numlock; int vk; } keys[] = {
      {"A", false, 'A'}, {"Z", false, 'Z'}, {"0", false, '0'}, {"9", false, '9'}, {"Space", false, ' '},
      {"Return", false, 0x0D}, {"Keypad Enter", false, 0x0D}, {"Escape", false, 0x1B}, {"F1", false, 0x70},
      {"F13", false, 0x7C}, {"F24", false, 0x87}, {"Left", false, 0x25}, {"Up", false, 0x26},
      {"Left Shift", false, 0x10}, {"Right Ctrl", false, 0x11}, {"Right Alt", false, 0x12},
      {"Keypad 8", true, 0x68}, {"Keypad 8", false, 0x26}, {"Keypad 5", false, 0x0C}, {";", false, 0xBA},
      {",", false, 0xBC}, {"/", false, 0xBF}, {"Keypad *", false, 0x6A}, {"Delete", false, 0x2E},
      {"PageDown", false, 0x22}, {"Left GUI", false, 0x5B}, {"No Such Key", false, 0}, {nullptr, false, 0}};
  for (auto &k : keys)
    EXPECT_EQ(ZYH_SdlVirtualKeyFromName(k.name, k.numlock), k.vk) << (k.name ? k.name : "(null)") << k.numlock;
}
