// headless_window.cpp — the display backend for machines without a display.
//
// The window is virtual: it has the size and title it was created with and nothing is
// ever shown. Input comes only from the injected event queue, message boxes are answered
// from the environment, the clipboard lives in memory, and URLs cannot be opened. The
// screen size is 1920x1080 unless ZYLEM_HEADLESS_SCREEN says otherwise ("WxH"), so the
// resolution rules above can be tested against any screen.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <mutex>

#include "host/backend.h"

namespace {

struct VirtualWindow {
  bool exists;
  int width, height;
  char title[512];
};

VirtualWindow window;
std::mutex clipboard_mutex;
char *clipboard;  // malloc'd, null when empty

bool Start(void) { return true; }

void Stop(void) { window.exists = false; }

bool WindowCreate(const ZyhWindowDesc *desc) {
  if (window.exists || !desc || desc->width <= 0 || desc->height <= 0) return false;
  window.exists = true;
  window.width = desc->width;
  window.height = desc->height;
  snprintf(window.title, sizeof window.title, "%s", desc->title ? desc->title : "");
  return true;
}

void WindowDestroy(void) { window.exists = false; }

bool WindowExists(void) { return window.exists; }

bool WindowSize(int *width, int *height) {
  if (!window.exists) return false;
  if (width) *width = window.width;
  if (height) *height = window.height;
  return true;
}

void *WindowNative(void) { return nullptr; }

void WindowRaise(void) {}

// "WxH" with both parts positive and nothing after them; anything else is ignored.
void ScreenSize(int *width, int *height) {
  int w = 1920, h = 1080;
  if (const char *size = getenv("ZYLEM_HEADLESS_SCREEN")) {
    int sw = 0, sh = 0;
    char tail = 0;
    if (sscanf(size, "%dx%d%c", &sw, &sh, &tail) == 2 && sw > 0 && sh > 0) {
      w = sw;
      h = sh;
    }
  }
  if (width) *width = w;
  if (height) *height = h;
}

bool PollNative(ZyhEvent *) { return false; }

bool MessageBox(const char *caption, const char *text, ZyhButtons buttons, ZyhIcon,
                ZyhAnswer *answer) {
  *answer = ZYH_ScriptedAnswer(caption, text, buttons);
  return true;
}

char *ClipboardGet(void) {
  std::lock_guard<std::mutex> hold(clipboard_mutex);
  return strdup(clipboard ? clipboard : "");
}

bool ClipboardSet(const char *text) {
  char *copy = nullptr;
  if (text && *text && !(copy = strdup(text))) return false;
  std::lock_guard<std::mutex> hold(clipboard_mutex);
  free(clipboard);
  clipboard = copy;
  return true;
}

void SetCursor(ZyhCursor) {}

bool OpenUrl(const char *url) {
  fprintf(stderr, "[url] no desktop to open '%s'\n", url ? url : "");
  return false;
}

}  // namespace

void ZYH_HeadlessForget(void) {
  WindowDestroy();
  ClipboardSet(nullptr);
}

const ZyhBackendOps ZYH_HEADLESS_OPS = {
    "headless",   Start,        Stop,         WindowCreate, WindowDestroy, WindowExists,
    WindowSize,   WindowNative, WindowRaise,  ScreenSize,   PollNative,    MessageBox,
    ClipboardGet, ClipboardSet, SetCursor,    OpenUrl,       ZYH_ScriptedDialog,
};
