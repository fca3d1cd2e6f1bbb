// sdl_internal.h — what the files of the SDL backend share, and its test hooks.
//
// sdl_window.cpp owns the window and SDL's video; sdl_events.cpp turns SDL events into
// ZyhEvent records with the key codes of sdl_keymap.cpp; sdl_synthetic.cpp pushes native
// events for tests and input replay. The declarations use plain types only, so the host
// tests can drive the backend without seeing SDL.
#pragma once

#include "host/backend.h"

struct SDL_Window;

// The backend's window, or null.
SDL_Window *ZYH_SdlWindow(void);

// Next translated native event; false when SDL has nothing more pending.
bool ZYH_SdlPollNative(ZyhEvent *ev);
// Forgets events translated but not yet taken (the window went away).
void ZYH_SdlEventsReset(void);

// Windows virtual-key code of an SDL key (keycode, scancode and SDL_Keymod bits); 0 for
// keys that have none. Letters and digits follow the layout where it gives Latin ones,
// else the key's position; the keypad follows Num Lock as Windows does.
int ZYH_SdlVirtualKey(int keycode, int scancode, unsigned mod);
// The same for the key SDL names `name` ("A", "Left", "Keypad 5", "Right Shift"), with or
// without Num Lock; 0 for an unknown name.
int ZYH_SdlVirtualKeyFromName(const char *name, bool numlock);

// A native event to push through SDL's queue (tests, input replay).
enum ZyhSdlNativeKind {
  ZYH_SDL_KEY_DOWN, ZYH_SDL_KEY_UP,        // name: SDL key name; alt, ctrl, numlock
  ZYH_SDL_TEXT,                            // name: UTF-8 text (at most 31 bytes)
  ZYH_SDL_MOTION,                          // x, y
  ZYH_SDL_BUTTON_DOWN, ZYH_SDL_BUTTON_UP,  // button: SDL button number 1..5; x, y
  ZYH_SDL_WHEEL,                           // y: notches away from the user; flipped
  ZYH_SDL_FOCUS_GAINED, ZYH_SDL_FOCUS_LOST, ZYH_SDL_MINIMIZED, ZYH_SDL_RESTORED,
  ZYH_SDL_MAXIMIZED, ZYH_SDL_SIZE_CHANGED,  // size changed: x, y = new size
  ZYH_SDL_CLOSE, ZYH_SDL_QUIT,
  ZYH_SDL_DROP_FILE                         // name: path
};

struct ZyhSdlNative {
  ZyhSdlNativeKind kind;
  const char *name;
  bool alt, ctrl, numlock;
  int button;
  int x, y;
  bool flipped;
};

// Pushes one native event; false when SDL's video is not running or SDL refuses it.
bool ZYH_SdlPushNative(const ZyhSdlNative *native);
