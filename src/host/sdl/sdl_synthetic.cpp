// sdl_synthetic.cpp — native input pushed through SDL's own event queue.
//
// Tests (and tools that replay input) describe a native event in plain terms; it is
// built as the SDL event a real keyboard, mouse or window manager would produce and
// pushed onto SDL's queue, so it takes exactly the translation path of real input.
#include <SDL.h>
#include <string.h>

#include "host/sdl/sdl_internal.h"

namespace {

Uint8 WindowEventId(ZyhSdlNativeKind kind) {
  switch (kind) {
    case ZYH_SDL_FOCUS_GAINED: return SDL_WINDOWEVENT_FOCUS_GAINED;
    case ZYH_SDL_FOCUS_LOST: return SDL_WINDOWEVENT_FOCUS_LOST;
    case ZYH_SDL_MINIMIZED: return SDL_WINDOWEVENT_MINIMIZED;
    case ZYH_SDL_RESTORED: return SDL_WINDOWEVENT_RESTORED;
    case ZYH_SDL_MAXIMIZED: return SDL_WINDOWEVENT_MAXIMIZED;
    case ZYH_SDL_SIZE_CHANGED: return SDL_WINDOWEVENT_SIZE_CHANGED;
    default: return SDL_WINDOWEVENT_CLOSE;
  }
}

}  // namespace

bool ZYH_SdlPushNative(const ZyhSdlNative *n) {
  if (!n || !SDL_WasInit(SDL_INIT_VIDEO)) return false;
  SDL_Window *window = ZYH_SdlWindow();
  Uint32 window_id = window ? SDL_GetWindowID(window) : 0;
  SDL_Event e;
  memset(&e, 0, sizeof e);
  switch (n->kind) {
    case ZYH_SDL_KEY_DOWN:
    case ZYH_SDL_KEY_UP: {
      SDL_Scancode scancode = SDL_GetScancodeFromName(n->name ? n->name : "");
      if (scancode == SDL_SCANCODE_UNKNOWN) return false;
      e.type = n->kind == ZYH_SDL_KEY_DOWN ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.windowID = window_id;
      e.key.state = n->kind == ZYH_SDL_KEY_DOWN ? SDL_PRESSED : SDL_RELEASED;
      e.key.keysym.scancode = scancode;
      e.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
      e.key.keysym.mod = (Uint16)((n->alt ? KMOD_LALT : 0) | (n->ctrl ? KMOD_LCTRL : 0) |
                                  (n->numlock ? KMOD_NUM : 0));
      break;
    }
    case ZYH_SDL_TEXT:
      e.type = SDL_TEXTINPUT;
      e.text.windowID = window_id;
      strncpy(e.text.text, n->name ? n->name : "", sizeof e.text.text - 1);
      break;
    case ZYH_SDL_MOTION:
      e.type = SDL_MOUSEMOTION;
      e.motion.windowID = window_id;
      e.motion.x = n->x;
      e.motion.y = n->y;
      break;
    case ZYH_SDL_BUTTON_DOWN:
    case ZYH_SDL_BUTTON_UP:
      e.type = n->kind == ZYH_SDL_BUTTON_DOWN ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
      e.button.windowID = window_id;
      e.button.button = (Uint8)n->button;
      e.button.state = n->kind == ZYH_SDL_BUTTON_DOWN ? SDL_PRESSED : SDL_RELEASED;
      e.button.clicks = 1;
      e.button.x = n->x;
      e.button.y = n->y;
      break;
    case ZYH_SDL_WHEEL:
      e.type = SDL_MOUSEWHEEL;
      e.wheel.windowID = window_id;
      e.wheel.y = n->y;
      e.wheel.preciseY = (float)n->y;
      e.wheel.direction = n->flipped ? SDL_MOUSEWHEEL_FLIPPED : SDL_MOUSEWHEEL_NORMAL;
      break;
    case ZYH_SDL_QUIT: e.type = SDL_QUIT; break;
    case ZYH_SDL_DROP_FILE:
      e.type = SDL_DROPFILE;
      e.drop.windowID = window_id;
      e.drop.file = SDL_strdup(n->name ? n->name : "");  // freed by the translation
      break;
    default:
      e.type = SDL_WINDOWEVENT;
      e.window.windowID = window_id;
      e.window.event = WindowEventId(n->kind);
      e.window.data1 = n->x;
      e.window.data2 = n->y;
      break;
  }
  if (SDL_PushEvent(&e) == 1) return true;
  if (e.type == SDL_DROPFILE) SDL_free(e.drop.file);
  return false;
}
