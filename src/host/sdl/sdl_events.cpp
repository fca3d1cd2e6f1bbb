// sdl_events.cpp — SDL events turned into the host layer's portable events.
//
// The window procedure above the host layer was written for Win32 messages, so events
// arrive in that shape: keys as virtual-key codes with an Alt flag where Windows would
// send WM_SYSKEY* (Alt held without Ctrl, as AltGr combinations are ordinary keys), typed
// text as one character event per byte, wheel motion in WHEEL_DELTA units (120 a notch),
// activation that counts a minimised window as inactive, and maximising with the new
// client size. One SDL event may give several of ours (text), so translated events wait
// in a small queue until taken.
#include <SDL.h>
#include <math.h>
#include <string.h>

#include <deque>

#include "host/sdl/sdl_internal.h"

namespace {

const int VK_MENU = 0x12;
const int WHEEL_DELTA = 120;

std::deque<ZyhEvent> pending;

ZyhEvent Blank(ZyhEventType type) {
  ZyhEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  return ev;
}

void Push(const ZyhEvent &ev) { pending.push_back(ev); }

void Key(const SDL_KeyboardEvent &k) {
  int vk = ZYH_SdlVirtualKey(k.keysym.sym, k.keysym.scancode, k.keysym.mod);
  if (!vk) return;
  ZyhEvent ev = Blank(k.type == SDL_KEYDOWN ? ZYH_EV_KEY_DOWN : ZYH_EV_KEY_UP);
  ev.key = vk;
  // On release of Alt itself the modifier is already gone from the state.
  ev.alt = ((k.keysym.mod & KMOD_ALT) || vk == VK_MENU) && !(k.keysym.mod & KMOD_CTRL);
  Push(ev);
}

void Text(const char *text) {
  for (const unsigned char *p = (const unsigned char *)text; *p; p++) {
    ZyhEvent ev = Blank(ZYH_EV_CHAR);
    ev.key = *p;
    Push(ev);
  }
}

void Button(const SDL_MouseButtonEvent &b) {
  int index;
  switch (b.button) {
    case SDL_BUTTON_LEFT: index = 0; break;
    case SDL_BUTTON_RIGHT: index = 1; break;
    case SDL_BUTTON_MIDDLE: index = 2; break;
    case SDL_BUTTON_X1: index = 3; break;
    case SDL_BUTTON_X2: index = 4; break;
    default: return;
  }
  ZyhEvent ev = Blank(b.type == SDL_MOUSEBUTTONDOWN ? ZYH_EV_BUTTON_DOWN : ZYH_EV_BUTTON_UP);
  ev.button = index;
  ev.x = b.x;
  ev.y = b.y;
  Push(ev);
}

void Wheel(const SDL_MouseWheelEvent &w) {
  // High-resolution wheels and touchpads scroll in fractions of a notch, which Windows
  // reports as fractions of WHEEL_DELTA too.
  float notches = w.preciseY != 0.0f ? w.preciseY : (float)w.y;
  int delta = (int)lroundf(notches * WHEEL_DELTA);
  if (w.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
  if (delta == 0) return;  // horizontal scrolling only
  ZyhEvent ev = Blank(ZYH_EV_WHEEL);
  ev.delta = delta;
  SDL_GetMouseState(&ev.x, &ev.y);
  Push(ev);
}

void Activate(int active, int minimized) {
  ZyhEvent ev = Blank(ZYH_EV_ACTIVATE);
  ev.active = active;
  ev.minimized = minimized;
  Push(ev);
}

void Window(const SDL_WindowEvent &w) {
  SDL_Window *window = ZYH_SdlWindow();
  if (!window || w.windowID != SDL_GetWindowID(window)) return;
  Uint32 flags = SDL_GetWindowFlags(window);
  switch (w.event) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      Activate((flags & SDL_WINDOW_MINIMIZED) ? 0 : 1, (flags & SDL_WINDOW_MINIMIZED) ? 1 : 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST: Activate(0, (flags & SDL_WINDOW_MINIMIZED) ? 1 : 0); break;
    case SDL_WINDOWEVENT_MINIMIZED: Activate(0, 1); break;
    case SDL_WINDOWEVENT_RESTORED: Activate((flags & SDL_WINDOW_INPUT_FOCUS) ? 1 : 0, 0); break;
    case SDL_WINDOWEVENT_MAXIMIZED: {
      ZyhEvent ev = Blank(ZYH_EV_MAXIMIZED);
      SDL_GetWindowSize(window, &ev.x, &ev.y);
      Push(ev);
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      ZyhEvent ev = Blank(ZYH_EV_RESIZED);
      ev.x = w.data1;
      ev.y = w.data2;
      Push(ev);
      break;
    }
    case SDL_WINDOWEVENT_CLOSE: {
      Push(Blank(ZYH_EV_CLOSE));
      // SDL versions that ignore SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE queue an SDL_QUIT
      // right behind the close of the last window. The engine decides itself whether a
      // close ends the game (the program may refuse it), so that one is taken away.
      SDL_Event quit;
      SDL_PeepEvents(&quit, 1, SDL_GETEVENT, SDL_QUIT, SDL_QUIT);
      break;
    }
    default: break;
  }
}

void Drop(char *file) {
  if (!file) return;
  if (SDL_GetEventState(SDL_DROPFILE) != SDL_ENABLE) {  // the window does not take files
    SDL_free(file);
    return;
  }
  ZyhEvent ev = Blank(ZYH_EV_DROP_FILE);
  strncpy(ev.text, file, sizeof ev.text - 1);  // the window procedure keeps 511 characters
  SDL_free(file);
  SDL_GetMouseState(&ev.x, &ev.y);
  Push(ev);
}

void Translate(SDL_Event &e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: Key(e.key); break;
    case SDL_TEXTINPUT: Text(e.text.text); break;
    case SDL_MOUSEMOTION: {
      ZyhEvent ev = Blank(ZYH_EV_MOUSE_MOVE);
      ev.x = e.motion.x;
      ev.y = e.motion.y;
      Push(ev);
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: Button(e.button); break;
    case SDL_MOUSEWHEEL: Wheel(e.wheel); break;
    case SDL_WINDOWEVENT: Window(e.window); break;
    case SDL_DROPFILE: Drop(e.drop.file); break;
    case SDL_DROPTEXT: SDL_free(e.drop.file); break;
    case SDL_QUIT: Push(Blank(ZYH_EV_QUIT)); break;  // a signal or the session ending
    default: break;
  }
}

}  // namespace

bool ZYH_SdlPollNative(ZyhEvent *ev) {
  SDL_Event e;
  while (pending.empty() && SDL_PollEvent(&e)) Translate(e);
  if (pending.empty()) return false;
  *ev = pending.front();
  pending.pop_front();
  return true;
}

void ZYH_SdlEventsReset(void) { pending.clear(); }
