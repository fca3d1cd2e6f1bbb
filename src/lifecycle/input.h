// input.h — the input state the program polls, the engine events it receives, the
// mouse cursors and several mice read separately.
//
// One id space serves the key-state table (2048 words) and the axis table (2048 floats):
// virtual-key codes below 256, the system mouse at 504-517, pointer and per-mouse blocks
// above it, gamepads from 801 (the ZY_ constants of zylem.h). The window procedure
// (window.cpp) turns window messages into the events built here. Events reach the
// program through one delivery path that lets the console take them first; events from
// other threads are posted to a queue that the frame delivers in posting order.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

#define ZYI_CURSOR_TABLE_SIZE 32  // named cursors the table can hold
#define ZYI_STANDARD_CURSORS 14   // cursors filled at start-up
#define ZYI_MAX_RAW_MICE 10       // mice read separately at most
#define ZYI_MOUSE_SPEED 10        // the desktop's default pointer speed (1..20 scale)

// One named cursor: a name (a constant text) and the host's cursor (ZyhCursor).
struct ZyCursorEntry {
  const char *name;
  int32_t cursor;
};

struct ZyInput {
  // Polled state (main thread, no lock)
  int32_t key_states[ZY_INPUT_ID_COUNT];  // ZY_KEY_STATE_* bits; mouse position as integers
  float axes[ZY_INPUT_ID_COUNT];          // mouse and pointer positions as floats

  // Event queue, guarded by the RESOURCE_QUEUE lock
  ZY_InputEvent *queue;     // malloc'd records in posting order
  int32_t queue_count;
  int32_t queue_capacity;   // 32 at first, doubling

  // Cursors
  ZyCursorEntry cursors[ZYI_CURSOR_TABLE_SIZE];
  int32_t cursor_count;     // 0 until ZYI_LoadCursors

  // Several mice
  uint8_t raw_registered;   // registration ran (at most once per boot)
  int32_t raw_mouse_count;  // mice found then; host device d is mouse d + 1
};
ZYI_STATE_PART(ZyInput, input)

// Seams for subsystems that join later. Each member may be null: without a console the
// toggle character is still consumed, and no event is offered to it.
struct ZyInputHooks {
  void (*console_toggle)(void);                        // show or hide the console
  bool (*console_visible)(void);                       // whether the console is shown
  uint32_t (*console_event)(const ZY_InputEvent *ev);  // non-zero: the console used it
  // Calls fn for every render-target bitmap (they must be redrawn after a resize).
  void (*for_each_render_target)(void (*fn)(ZY_Bitmap *bitmap, void *user), void *user);
};

// Installs the seams (a copy is kept; null clears them). They survive state resets.
void ZYI_SetInputHooks(const ZyInputHooks *hooks);

// Engine interface operations on the tables. Ids outside 0..2047 read 0 and write nothing.
int32_t ZY_GetKeyState(int32_t key);  // reading clears the pressed bit for ids below 800
void ZY_SetKeyState(int32_t key, int32_t state);
float ZY_GetAxis(int32_t axis);
void ZY_SetAxis(int32_t axis, float value);
// Zeroes the key states of the keyboard (0-255) and the mouse buttons (510-517).
void ZYI_ClearInputStates(void);

// Delivers an event now: the console toggle character and, while the console is shown,
// everything but console commands go to the console first; then the program's `event`
// (once core initialisation is done). Returns the answer (0 when nobody answered).
uint32_t ZYI_DeliverEvent(const ZY_InputEvent *ev);
// Appends a copy to the queue (any thread). Heap data of types 20-22 and 33-36 then
// belongs to the queue.
void ZYI_PostEvent(const ZY_InputEvent *ev);
// Takes the whole queue and delivers it in posting order, freeing the heap data.
void ZYI_DeliverQueuedEvents(void);
// Frees the queue and anything still in it (shut-down).
void ZYI_InputShutdown(void);

// Events of the window's system mouse (pointer 0). `x`, `y` are window positions; they
// are mapped to program coordinates, stored at 504/505 and remembered as the pointer's
// last position. `button` is the button id of types 5 and 6 (510-512).
void ZYI_PointerEvent(uint32_t type, int32_t x, int32_t y, uint16_t button);
// Wheel turned by delta (120 a notch) at the current mouse position; sums into 507.
void ZYI_WheelEvent(int32_t delta);
// Key pressed (type 8) or released (type 9): the key state becomes 3 or 0, then the event.
void ZYI_KeyEvent(uint32_t type, int32_t code);

// Fills the cursor table with the 14 standard cursors (once).
void ZYI_LoadCursors(void);
// Engine interface operation: shows the named cursor; null, "NULL" or HIDE_CURSOR hide
// it; an unknown name shows "ARROW".
void ZY_SetCursor(const char *name);

// Starts reading several mice (once per boot; later calls answer true at once).
bool ZYI_RegisterRawInput(void);
// Looks for the mice again (mice plugged in or out since), as a first registration does.
void ZYI_RefreshRawInput(void);
// One report of raw mouse `device` (host index): relative motion and ZYH_RAW_* flags.
// Moves that mouse's position with pointer acceleration, sets its ids and sends events
// 2, 6 and 5 straight to the program.
void ZYI_HandleRawMouse(int32_t device, int32_t dx, int32_t dy, uint32_t buttons);
// The pointer acceleration of raw motion d at the default speed (0.1 x speed x factor x d).
float ZYI_RawMouseMotion(int32_t d);
