// backend.cpp — the display half of host.h, dispatched to the chosen backend.
//
// The process starts on the headless backend; the launcher switches to SDL when a
// desktop is wanted and SDL's video can start. Every display call goes through the
// backend's operation table, except what is common to all backends: injected events and
// raw mice come before native events, a message box that cannot be shown is answered by
// the scripted path, and the current cursor is remembered here.
#include <string.h>

#include <atomic>

#include "host/backend.h"

namespace {

const ZyhBackendOps *ops = &ZYH_HEADLESS_OPS;
ZyhBackend current = ZYH_BACKEND_HEADLESS;
std::atomic<int> cursor{ZYH_CURSOR_ARROW};

}  // namespace

bool ZYH_SelectBackend(ZyhBackend backend) {
  const ZyhBackendOps *wanted = backend == ZYH_BACKEND_SDL ? &ZYH_SDL_OPS : &ZYH_HEADLESS_OPS;
  if (wanted == ops) return true;
  ops->stop();
  if (!wanted->start()) {
    // start() left the reason in ZYH_LastErrorText.
    ops = &ZYH_HEADLESS_OPS;
    current = ZYH_BACKEND_HEADLESS;
    ops->start();
    return false;
  }
  ops = wanted;
  current = backend == ZYH_BACKEND_SDL ? ZYH_BACKEND_SDL : ZYH_BACKEND_HEADLESS;
  return true;
}

ZyhBackend ZYH_CurrentBackend(void) { return current; }

bool ZYH_WindowCreate(const ZyhWindowDesc *desc) { return desc && ops->window_create(desc); }

void ZYH_WindowDestroy(void) { ops->window_destroy(); }

bool ZYH_WindowExists(void) { return ops->window_exists(); }

bool ZYH_WindowSize(int *width, int *height) { return ops->window_size(width, height); }

void *ZYH_WindowNative(void) { return ops->window_native(); }

void ZYH_WindowRaise(void) { ops->window_raise(); }

void ZYH_ScreenSize(int *width, int *height) { ops->screen_size(width, height); }

bool ZYH_PollEvent(ZyhEvent *ev) {
  if (!ev) return false;
  return ZYH_QueuePop(ev) || ZYH_RawMicePoll(ev) || ops->poll_native(ev);
}

void ZYH_InjectEvent(const ZyhEvent *ev) { ZYH_QueuePush(ev); }

ZyhAnswer ZYH_MessageBox(const char *caption, const char *text, ZyhButtons buttons,
                         ZyhIcon icon) {
  if (buttons != ZYH_MB_OKCANCEL && buttons != ZYH_MB_YESNOCANCEL) buttons = ZYH_MB_OK;
  ZyhAnswer answer;
  if (!ops->message_box(caption ? caption : "", text ? text : "", buttons, icon, &answer))
    answer = ZYH_ScriptedAnswer(caption, text, buttons);
  return answer;
}

char *ZYH_ClipboardGet(void) { return ops->clipboard_get(); }

bool ZYH_ClipboardSet(const char *text) { return ops->clipboard_set(text ? text : ""); }

void ZYH_SetCursor(ZyhCursor c) {
  if ((int)c < 0 || (int)c >= ZYH_CURSOR_COUNT) c = ZYH_CURSOR_ARROW;
  cursor.store(c);
  ops->set_cursor(c);
}

ZyhCursor ZYH_GetCursor(void) { return (ZyhCursor)cursor.load(); }

void ZYH_DesktopForget(void) {
  ZYH_SetCursor(ZYH_CURSOR_ARROW);
  ZYH_QueueClear();
  ZYH_HeadlessForget();
  ZYH_DialogAnswersForget();
}

bool ZYH_OpenUrl(const char *url) { return url && *url && ops->open_url(url); }

bool ZYH_ShowDialog(const ZyhDialogRequest *request, ZyhDialogResult *result) {
  if (!request || !result) return false;
  memset(result, 0, sizeof *result);
  if (ops->show_dialog(request, result)) return true;
  memset(result, 0, sizeof *result);
  return false;
}
