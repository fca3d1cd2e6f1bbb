// sdl_window.cpp — the desktop backend: one SDL2 window and the desktop services.
//
// The window follows the styles the engine computes, as far as SDL can express them:
//   - windowed with a maximise box: a resizable window, because window managers offer
//     maximising only for resizable windows; dragging its border is reported as
//     ZYH_EV_RESIZED and the engine may ignore it;
//   - windowed without a maximise box: a fixed-size window;
//   - popup style (a screen not taller than the window): a borderless window;
//   - fullscreen: SDL's desktop fullscreen when the size is the screen's, otherwise a
//     borderless window at the top-left corner; a renderer that wants another display
//     mode changes it on the native window.
// Windowed windows are centred on the primary screen. Message boxes, the clipboard, the
// system cursors and URLs use SDL's own functions; a box SDL cannot show (no display)
// falls back to the scripted answer.
#include <SDL.h>
#include <stdlib.h>
#include <string.h>

#include "host/sdl/sdl_internal.h"

namespace {

SDL_Window *window;
SDL_Cursor *cursors[ZYH_CURSOR_COUNT];  // created on first use

bool Start(void) {
  // Closing the window is a request the program may refuse, not the end of the process.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    ZYH_SetLastError(0, SDL_GetError());
    return false;
  }
  return true;
}

void WindowDestroy(void) {
  if (!window) return;
  SDL_DestroyWindow(window);
  window = nullptr;
  ZYH_SdlEventsReset();
}

void Stop(void) {
  WindowDestroy();
  for (SDL_Cursor *&c : cursors) {
    if (c) SDL_FreeCursor(c);
    c = nullptr;
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void ScreenSize(int *width, int *height) {
  SDL_DisplayMode mode;
  if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    if (width) *width = mode.w;
    if (height) *height = mode.h;
  } else {
    ZYH_HEADLESS_OPS.screen_size(width, height);
  }
}

bool WindowCreate(const ZyhWindowDesc *desc) {
  if (window || desc->width <= 0 || desc->height <= 0) return false;
  Uint32 flags = SDL_WINDOW_SHOWN;
  if (desc->opengl) flags |= SDL_WINDOW_OPENGL;
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  if (!desc->windowed) {
    int sw = 0, sh = 0;
    ScreenSize(&sw, &sh);
    if (desc->width == sw && desc->height == sh) {
      flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    } else {
      flags |= SDL_WINDOW_BORDERLESS;
      x = y = 0;
    }
  } else if (desc->popup_style) {
    flags |= SDL_WINDOW_BORDERLESS;
  } else if (desc->maximize_box) {
    flags |= SDL_WINDOW_RESIZABLE;
  }
  window = SDL_CreateWindow(desc->title ? desc->title : "", x, y, desc->width, desc->height,
                            flags);
  if (!window) {
    ZYH_SetLastError(0, SDL_GetError());
    return false;
  }
  SDL_EventState(SDL_DROPFILE, desc->accept_files ? SDL_ENABLE : SDL_DISABLE);
  SDL_StartTextInput();
  SDL_RaiseWindow(window);
  return true;
}

bool WindowExists(void) { return window != nullptr; }

bool WindowSize(int *width, int *height) {
  if (!window) return false;
  int w = 0, h = 0;
  SDL_GetWindowSize(window, &w, &h);
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

void *WindowNative(void) { return window; }

void WindowRaise(void) {
  if (!window) return;
  SDL_ShowWindow(window);
  SDL_RestoreWindow(window);
  SDL_RaiseWindow(window);
}

bool MessageBox(const char *caption, const char *text, ZyhButtons buttons, ZyhIcon icon,
                ZyhAnswer *answer) {
  const int RETURN_KEY = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
  const int ESCAPE_KEY = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  static const SDL_MessageBoxButtonData OK[] = {{RETURN_KEY | ESCAPE_KEY, ZYH_ID_OK, "OK"}};
  static const SDL_MessageBoxButtonData OK_CANCEL[] = {
      {RETURN_KEY, ZYH_ID_OK, "OK"}, {ESCAPE_KEY, ZYH_ID_CANCEL, "Cancel"}};
  static const SDL_MessageBoxButtonData YES_NO_CANCEL[] = {
      {RETURN_KEY, ZYH_ID_YES, "Yes"}, {0, ZYH_ID_NO, "No"}, {ESCAPE_KEY, ZYH_ID_CANCEL, "Cancel"}};

  SDL_MessageBoxData box;
  memset(&box, 0, sizeof box);
  box.flags = SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  if (icon == ZYH_ICON_ERROR) box.flags |= SDL_MESSAGEBOX_ERROR;
  if (icon == ZYH_ICON_WARNING) box.flags |= SDL_MESSAGEBOX_WARNING;
  if (icon == ZYH_ICON_INFO) box.flags |= SDL_MESSAGEBOX_INFORMATION;
  box.window = window;
  box.title = caption;
  box.message = text;
  switch (buttons) {
    case ZYH_MB_OKCANCEL: box.buttons = OK_CANCEL; box.numbuttons = 2; break;
    case ZYH_MB_YESNOCANCEL: box.buttons = YES_NO_CANCEL; box.numbuttons = 3; break;
    default: box.buttons = OK; box.numbuttons = 1; break;
  }
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) != 0) return false;
  if (pressed < 0)  // closed by the window manager
    pressed = buttons == ZYH_MB_OK ? ZYH_ID_OK : ZYH_ID_CANCEL;
  *answer = (ZyhAnswer)pressed;
  return true;
}

char *ClipboardGet(void) {
  char *text = SDL_GetClipboardText();  // "" when empty or unavailable
  if (!text) return nullptr;
  char *copy = strdup(text);
  SDL_free(text);
  return copy;
}

bool ClipboardSet(const char *text) { return SDL_SetClipboardText(text) == 0; }

SDL_SystemCursor SystemCursor(ZyhCursor c) {
  switch (c) {
    case ZYH_CURSOR_HAND: return SDL_SYSTEM_CURSOR_HAND;
    case ZYH_CURSOR_PIPETTE: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case ZYH_CURSOR_IBEAM: return SDL_SYSTEM_CURSOR_IBEAM;
    case ZYH_CURSOR_WAIT: return SDL_SYSTEM_CURSOR_WAIT;
    case ZYH_CURSOR_CROSS: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case ZYH_CURSOR_SIZENWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case ZYH_CURSOR_SIZENESW: return SDL_SYSTEM_CURSOR_SIZENESW;
    case ZYH_CURSOR_SIZEWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case ZYH_CURSOR_SIZENS: return SDL_SYSTEM_CURSOR_SIZENS;
    case ZYH_CURSOR_SIZEALL: return SDL_SYSTEM_CURSOR_SIZEALL;
    case ZYH_CURSOR_NO: return SDL_SYSTEM_CURSOR_NO;
    default: return SDL_SYSTEM_CURSOR_ARROW;  // arrow, and SDL has no up-arrow or help
  }
}

void SetCursor(ZyhCursor c) {
  if (c == ZYH_CURSOR_HIDDEN) {
    SDL_ShowCursor(SDL_DISABLE);
    return;
  }
  if (!cursors[c]) cursors[c] = SDL_CreateSystemCursor(SystemCursor(c));
  if (cursors[c]) SDL_SetCursor(cursors[c]);
  SDL_ShowCursor(SDL_ENABLE);
}

// The desktop's opener takes the URL as one argument, never through a shell.
bool OpenUrl(const char *url) {
  const char *const argv[] = {"xdg-open", url, nullptr};
  if (ZYH_SpawnDetached(argv)) return true;
  ZYH_SetLastError(ZYH_LastError(), "xdg-open could not be started");
  return false;
}

}  // namespace

SDL_Window *ZYH_SdlWindow(void) { return window; }

const ZyhBackendOps ZYH_SDL_OPS = {
    "sdl",        Start,        Stop,         WindowCreate, WindowDestroy, WindowExists,
    WindowSize,   WindowNative, WindowRaise,  ScreenSize,   ZYH_SdlPollNative, MessageBox,
    ClipboardGet, ClipboardSet, SetCursor,    OpenUrl,       ZYH_ZenityDialog,
};
