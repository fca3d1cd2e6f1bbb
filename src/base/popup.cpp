// popup.cpp — the system popup, the developer popup and the popup queue.
//
// Message boxes come from the host layer (a real box with a display, a scripted answer
// without one). Only the main thread shows boxes itself; a developer popup raised on
// another thread is queued under PRINT and shown by the main thread after the current
// frame, and a system popup raised on another thread is only logged. With the feature
// NON_BLOCKING_POPUPS, once the core is up, each box gets a "Popup" thread of its own so
// the frame loop keeps running while it is open.
#include "base/popup.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "host/host.h"

ZyPopups zy::popups;  // engine state: developer popups waiting for the main thread

namespace {

const size_t CAPTION_LIMIT = 511;  // characters of the caption before its level word

// Developer texts shown so far in this boot (changed under PRINT).
char **shown_texts;
int32_t shown_count, shown_capacity;

struct PopupJob {
  int32_t level;
  char *text;  // owned copy
};

// Shows the message box for a level and maps the button pressed to the popup result.
int32_t ShowBox(int32_t level, const char *text) {
  char caption[CAPTION_LIMIT + 16];
  const ZY_ProgramInterface *prog = zy::core.prog;
  if (zy::core.core_initialized && prog) {
    // The title is a fixed field the program fills; it may lack its terminator.
    size_t n = strnlen(prog->title, sizeof prog->title);
    if (n > CAPTION_LIMIT) n = CAPTION_LIMIT;
    memcpy(caption, prog->title, n);
    caption[n] = '\0';
  } else {
    strcpy(caption, "ZYLEM");
  }

  ZyhButtons buttons = ZYH_MB_OK;
  switch (level) {
    case ZY_LOG_WARNING:
      strcat(caption, " Warning");
      buttons = ZYH_MB_OKCANCEL;
      break;
    case ZY_LOG_ERROR:
      strcat(caption, " Error");
      buttons = ZYH_MB_OKCANCEL;
      break;
    case ZY_LOG_SYSTEM:
      strcat(caption, " Error");
      buttons = ZYH_MB_YESNOCANCEL;
      break;
    default: break;
  }

  switch (ZYH_MessageBox(caption, text ? text : "", buttons, ZYH_ICON_NONE)) {
    case ZYH_ID_CANCEL:
      if (buttons == ZYH_MB_OK) return ZY_POPUP_CLOSED;
      // The user chose to stop the program: end at once, without shutting down.
      fflush(nullptr);
      _Exit(255);
    case ZYH_ID_YES: return ZY_POPUP_YES;
    case ZYH_ID_NO: return ZY_POPUP_NO;
    default: return buttons == ZYH_MB_OK ? ZY_POPUP_CLOSED : ZY_POPUP_OK;
  }
}

void PopupThread(void *arg) {
  PopupJob *job = (PopupJob *)arg;
  ShowBox(job->level, job->text);
  free(job->text);
  free(job);
}

// Whether a developer text was shown before (PRINT held).
bool AlreadyShown(const char *text) {
  for (int32_t i = 0; i < shown_count; i++)
    if (strcmp(shown_texts[i], text) == 0) return true;
  return false;
}

// Takes ownership of text into the shown list (PRINT held). False when out of memory.
bool RememberShown(char *text) {
  if (shown_count == shown_capacity) {
    int32_t capacity = shown_capacity ? shown_capacity * 2 : 16;
    void *grown = realloc(shown_texts, sizeof(char *) * (size_t)capacity);
    if (!grown) return false;
    shown_texts = (char **)grown;
    shown_capacity = capacity;
  }
  shown_texts[shown_count++] = text;
  return true;
}

// Takes ownership of text into the queue (PRINT held). False when out of memory.
bool Enqueue(int32_t level, char *text) {
  ZyPopups &p = zy::popups;
  if (p.queue_count == p.queue_capacity) {
    int32_t capacity = p.queue_capacity ? p.queue_capacity * 2 : 8;
    void *grown = realloc(p.queue, sizeof(ZyQueuedPopup) * (size_t)capacity);
    if (!grown) return false;
    p.queue = (ZyQueuedPopup *)grown;
    p.queue_capacity = capacity;
  }
  p.queue[p.queue_count].level = level;
  p.queue[p.queue_count].text = text;
  p.queue_count++;
  return true;
}

}  // namespace

void ZYI_PopupsForget(void) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  for (int32_t i = 0; i < shown_count; i++) free(shown_texts[i]);
  free(shown_texts);
  shown_texts = nullptr;
  shown_count = shown_capacity = 0;
  ZyPopups &p = zy::popups;
  for (int32_t i = 0; i < p.queue_count; i++) free(p.queue[i].text);
  free(p.queue);
  p.queue = nullptr;
  p.queue_count = p.queue_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

void ZYI_SetNonBlockingPopups(bool on) { zy::popups.non_blocking = on ? 1 : 0; }

int32_t ZYI_SystemPopup(int32_t level, const char *text) {
  if (!text) text = "";
  if (!ZY_IsMainThread()) {
    ZY_Log(level, "%s", text);
    return ZY_POPUP_OK;
  }
  if (zy::core.core_initialized && zy::popups.non_blocking) {
    PopupJob *job = (PopupJob *)malloc(sizeof *job);
    char *copy = strdup(text);
    if (job && copy) {
      job->level = level;
      job->text = copy;
      if (ZY_CreateThread("Popup", PopupThread, job, 0)) return ZY_POPUP_CLOSED;
    }
    // No thread for it: the box is still shown, blocking.
    free(copy);
    free(job);
  }
  return ShowBox(level, text);
}

int32_t ZY_Popup(int32_t level, const char *format, ...) {
  if (ZYI_LogVerboseLevel() > level) return ZY_POPUP_NOTHING;
  const ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog || !prog->parms.developer_mode) return ZY_POPUP_NOTHING;

  ZYI_Lock(ZYI_LOCK_PRINT);
  va_list args;
  va_start(args, format);
  ZYI_LogFormat(format, args);
  va_end(args);
  char *text = strdup(ZYI_LogBuffer());
  if (!text) {
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return ZY_POPUP_NOTHING;
  }
  if (zy::core.core_initialized) ZY_Log(level, "[POPUP] %s", text);
  if (AlreadyShown(text)) {
    ZYI_Unlock(ZYI_LOCK_PRINT);
    free(text);
    return ZY_POPUP_CLOSED;
  }
  // The shown list keeps its texts until the next boot forgets them (on the main thread,
  // which is also the one that shows boxes), so the list's copy can be shown after PRINT
  // is released; without room in the list the text is shown anyway.
  bool kept = RememberShown(text);

  if (!ZY_IsMainThread()) {
    char *queued = kept ? strdup(text) : text;
    if (!queued || !Enqueue(level, queued)) free(queued);
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return ZY_POPUP_OK;
  }
  ZYI_Unlock(ZYI_LOCK_PRINT);
  int32_t result = ZYI_SystemPopup(level, text);
  if (!kept) free(text);
  return result;
}

void ZYI_ShowQueuedPopups(void) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  ZyQueuedPopup *queue = zy::popups.queue;
  int32_t count = zy::popups.queue_count;
  zy::popups.queue = nullptr;
  zy::popups.queue_count = zy::popups.queue_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_PRINT);

  for (int32_t i = 0; i < count; i++) {
    ZYI_SystemPopup(queue[i].level, queue[i].text);
    free(queue[i].text);
  }
  free(queue);
}
