// popup.h — message boxes: the always-shown system popup and the developer popup
// ZY_Popup, with the queue that carries developer popups from other threads to the main
// thread.
//
// The system popup is for fatal and serious conditions; a Cancel on a warning, error or
// system box ends the process at once with status 255. ZY_Popup is silent outside
// developer mode and shows each distinct text once per process. Boxes are shown only by
// the main thread, or by a "Popup" thread of their own when the NON_BLOCKING_POPUPS
// feature is set after core initialisation.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

// One developer popup waiting for the main thread.
struct ZyQueuedPopup {
  int32_t level;
  char *text;  // owned copy
};

// The popups block of the engine state (every change under the PRINT lock). The texts
// ZY_Popup has shown are kept outside the state record: they count for the whole
// process, across engine restarts.
struct ZyPopups {
  uint8_t non_blocking;  // NON_BLOCKING_POPUPS: system popups show on a thread of their own
  ZyQueuedPopup *queue;      // posted from other threads, shown by the frame (malloc'd)
  int32_t queue_count;
  int32_t queue_capacity;
};
ZYI_STATE_PART(ZyPopups, popups)

// Whether system popups raised after core initialisation show on a thread of their own
// (the NON_BLOCKING_POPUPS feature).
void ZYI_SetNonBlockingPopups(bool on);
// Forgets the developer texts shown so far and frees popups still queued (a new boot
// shows every text again).
void ZYI_PopupsForget(void);

// Shows a box with the text unchanged; always shown. Off the main thread the text is
// only logged (result 4). Results: 1 OK on a box without Cancel (or handed to a "Popup"
// thread), 4 OK on a warning or error box, 5 Yes, 6 No; Cancel ends the process (255).
int32_t ZYI_SystemPopup(int32_t level, const char *text);
// Developer popup: 0 outside developer mode, without a program or below the verbose
// level; 1 for a text shown before; on the main thread the system popup's result; from
// another thread 4, the text being queued for the main thread.
int32_t ZY_Popup(int32_t level, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);
// Shows every queued developer popup in posting order, as system popups, and empties the
// queue (main thread, once per frame).
void ZYI_ShowQueuedPopups(void);
