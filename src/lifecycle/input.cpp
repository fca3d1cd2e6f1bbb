// input.cpp — key and axis tables, event delivery and the event queue, the system
// mouse's pointer events, cursors, and several mice read separately.
//
// Sections:
//   [tables]   ZY_GetKeyState ... ZY_SetAxis, clearing
//   [deliver]  the console seams, delivery, the queue
//   [pointer]  events of the window's mouse and keyboard
//   [cursors]  the named cursor table and ZY_SetCursor
//   [raw]      several mice: registration, acceleration, per-mouse ids and events
//
// Everything but ZYI_PostEvent runs on the main thread. The tables are plain memory read
// and written without locks (a program thread polling a key may see a value one event
// old, never a torn one). The queue is the only structure shared with other threads.
#include "lifecycle/input.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "config/config.h"
#include "lifecycle/resolution.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "engine/modules.h"
#include "host/host.h"

ZyInput zy::input;  // engine state: key states, axes, input event queue, cursors, several mice

namespace {

ZyInputHooks hooks;  // wiring between subsystems, not state: kept across resets

bool ValidId(int32_t id) { return id >= 0 && id < ZY_INPUT_ID_COUNT; }

}  // namespace

void ZYI_SetInputHooks(const ZyInputHooks *h) {
  if (h)
    hooks = *h;
  else
    memset(&hooks, 0, sizeof hooks);
}

// ---------------------------------------------------------------------------------
// [tables]
// ---------------------------------------------------------------------------------

int32_t ZY_GetKeyState(int32_t key) {
  if (!ValidId(key)) return 0;
  int32_t state = zy::input.key_states[key];
  // Gamepad ids keep their pressed bit: the input modules manage it themselves.
  if (key < 800) zy::input.key_states[key] = state & ~ZY_KEY_STATE_PRESSED;
  return state;
}

void ZY_SetKeyState(int32_t key, int32_t state) {
  if (ValidId(key)) zy::input.key_states[key] = state;
}

float ZY_GetAxis(int32_t axis) { return ValidId(axis) ? zy::input.axes[axis] : 0.0f; }

void ZY_SetAxis(int32_t axis, float value) {
  if (ValidId(axis)) zy::input.axes[axis] = value;
}

void ZYI_ClearInputStates(void) {
  memset(zy::input.key_states, 0, 256 * sizeof(int32_t));
  for (int32_t id = ZY_MOUSE_BUTTON_0; id <= ZY_MOUSE_BUTTON_7; id++) zy::input.key_states[id] = 0;
}

// ---------------------------------------------------------------------------------
// [deliver]
// ---------------------------------------------------------------------------------

namespace {

struct RenderTargetSend {
  ZY_ProgramInterface *prog;
};

void SendRenderTargetLost(ZY_Bitmap *bitmap, void *user) {
  ZY_ProgramInterface *prog = ((RenderTargetSend *)user)->prog;
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_RENDER_TARGET_LOST;
  ev.render_target.bitmap = bitmap;
  prog->event(ev);
}

bool HasHeapData(uint32_t type) { return (type >= 20 && type <= 22) || (type >= 33 && type <= 36); }

void FreeEventData(ZY_InputEvent *ev) {
  if (HasHeapData(ev->type)) {
    free(ev->data.data);
    ev->data.data = nullptr;
  }
}

// Window events are delivered at once unless an input module asked for them queued.
void DeliverOrPost(const ZY_InputEvent *ev) {
  if (zy::modules.host.queue_input)
    ZYI_PostEvent(ev);
  else
    ZYI_DeliverEvent(ev);
}

}  // namespace

uint32_t ZYI_DeliverEvent(const ZY_InputEvent *ev) {
  if (!ev) return 0;
  int32_t toggle = zy::config.console_toggle_key;
  if (ev->type == ZY_EVENT_CHAR && toggle != 0 && ev->character.code == (uint8_t)toggle) {
    if (hooks.console_toggle) hooks.console_toggle();
    return 0;
  }
  if (ev->type != ZY_EVENT_CONSOLE_COMMAND && hooks.console_visible && hooks.console_event &&
      hooks.console_visible()) {
    uint32_t used = hooks.console_event(ev);
    if (used) return used;
  }
  ZY_ProgramInterface *prog = zy::core.prog;
  if (ev->type == ZY_EVENT_RESIZE && prog && prog->event && hooks.for_each_render_target) {
    RenderTargetSend send = {prog};
    hooks.for_each_render_target(SendRenderTargetLost, &send);
  }
  if (prog && prog->event && zy::core.core_initialized) return prog->event(*ev);
  return 0;
}

void ZYI_PostEvent(const ZY_InputEvent *ev) {
  if (!ev) return;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  ZyInput &in = zy::input;
  if (in.queue_count == in.queue_capacity) {
    int32_t capacity = in.queue_capacity ? in.queue_capacity * 2 : 32;
    void *grown = realloc(in.queue, (size_t)capacity * sizeof(ZY_InputEvent));
    if (!grown) {
      ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
      // The event is lost; its heap data must not be.
      ZY_InputEvent copy = *ev;
      FreeEventData(&copy);
      ZY_Log(ZY_LOG_ERROR, "Out of memory: input event %u dropped.", (unsigned)ev->type);
      return;
    }
    in.queue = (ZY_InputEvent *)grown;
    in.queue_capacity = capacity;
  }
  in.queue[in.queue_count++] = *ev;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
}

void ZYI_DeliverQueuedEvents(void) {
  ZyInput &in = zy::input;
  // Take the whole queue so that events posted during delivery wait for the next frame
  // and no lock is held while the program runs.
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  ZY_InputEvent *taken = in.queue;
  int32_t count = in.queue_count, capacity = in.queue_capacity;
  in.queue = nullptr;
  in.queue_count = in.queue_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);

  for (int32_t i = 0; i < count; i++) {
    ZYI_DeliverEvent(&taken[i]);
    FreeEventData(&taken[i]);
  }

  // Give the buffer back when nothing was posted meanwhile, so the queue does not grow
  // again from 32 every frame.
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  if (!in.queue) {
    in.queue = taken;
    in.queue_capacity = capacity;
    in.queue_count = 0;
    taken = nullptr;
  }
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  free(taken);
}

void ZYI_InputShutdown(void) {
  ZyInput &in = zy::input;
  ZYI_Lock(ZYI_LOCK_RESOURCE_QUEUE);
  for (int32_t i = 0; i < in.queue_count; i++) FreeEventData(&in.queue[i]);
  free(in.queue);
  in.queue = nullptr;
  in.queue_count = in.queue_capacity = 0;
  ZYI_Unlock(ZYI_LOCK_RESOURCE_QUEUE);
  if (in.raw_registered) ZYH_RawMiceClose();
  in.raw_registered = 0;
  in.raw_mouse_count = 0;
}

// ---------------------------------------------------------------------------------
// [pointer]
// ---------------------------------------------------------------------------------

namespace {

// The common part of every system-mouse event: previous position, polled position,
// the left button's shared state, then delivery. x, y are program coordinates.
void SendPointer(ZY_InputEvent &ev, int32_t x, int32_t y) {
  ZyInput &in = zy::input;
  ev.pointer.index = 0;
  ev.pointer.x = x;
  ev.pointer.y = y;
  ev.pointer.prev_x = (int32_t)in.axes[ZY_POINTER_X(0)];
  ev.pointer.prev_y = (int32_t)in.axes[ZY_POINTER_Y(0)];
  in.axes[ZY_POINTER_X(0)] = (float)x;
  in.axes[ZY_POINTER_Y(0)] = (float)y;

  in.key_states[ZY_MOUSE_X] = x;
  in.key_states[ZY_MOUSE_Y] = y;
  in.axes[ZY_MOUSE_X] = (float)x;
  in.axes[ZY_MOUSE_Y] = (float)y;
  // Any button marks 510 as held (without the pressed bit); the caller then sets the
  // button's own id.
  if (ev.type == ZY_EVENT_BUTTON_DOWN) in.key_states[ZY_MOUSE_BUTTON_LEFT] = ZY_KEY_STATE_DOWN;
  if (ev.type == ZY_EVENT_BUTTON_UP) in.key_states[ZY_MOUSE_BUTTON_LEFT] = 0;
  DeliverOrPost(&ev);
}

}  // namespace

void ZYI_PointerEvent(uint32_t type, int32_t x, int32_t y, uint16_t button) {
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  ev.pointer.button = button;
  ZYI_AutoscalePoint(&x, &y);
  SendPointer(ev, x, y);
}

void ZYI_WheelEvent(int32_t delta) {
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_WHEEL;
  ev.pointer.wheel_delta = (int16_t)delta;
  // The position polled at 504/505 is already in program coordinates: mapping it again
  // would scale it twice.
  SendPointer(ev, zy::input.key_states[ZY_MOUSE_X], zy::input.key_states[ZY_MOUSE_Y]);
  zy::input.key_states[ZY_MOUSE_WHEEL] += (int16_t)delta;
}

void ZYI_KeyEvent(uint32_t type, int32_t code) {
  if (code >= 1 && code < ZY_INPUT_ID_COUNT)
    zy::input.key_states[code] =
        type == ZY_EVENT_KEY_DOWN ? (ZY_KEY_STATE_PRESSED | ZY_KEY_STATE_DOWN) : 0;
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  ev.key.key = code;
  DeliverOrPost(&ev);
}

// ---------------------------------------------------------------------------------
// [cursors]
// ---------------------------------------------------------------------------------

namespace {

const ZyCursorEntry STANDARD_CURSORS[ZYI_STANDARD_CURSORS] = {
    {"ARROW", ZYH_CURSOR_ARROW},       {"FINGER_POINT", ZYH_CURSOR_HAND},
    {"SAMPLE_PIPET", ZYH_CURSOR_PIPETTE}, {"IBEAM", ZYH_CURSOR_IBEAM},
    {"WAIT", ZYH_CURSOR_WAIT},         {"CROSS", ZYH_CURSOR_CROSS},
    {"UPARROW", ZYH_CURSOR_UPARROW},   {"SIZENWSE", ZYH_CURSOR_SIZENWSE},
    {"SIZENESW", ZYH_CURSOR_SIZENESW}, {"SIZEWE", ZYH_CURSOR_SIZEWE},
    {"SIZENS", ZYH_CURSOR_SIZENS},     {"SIZEALL", ZYH_CURSOR_SIZEALL},
    {"NO", ZYH_CURSOR_NO},             {"HELP", ZYH_CURSOR_HELP},
};

const ZyCursorEntry *FindCursor(const char *name) {
  for (int32_t i = 0; i < zy::input.cursor_count; i++)
    if (!strcmp(zy::input.cursors[i].name, name)) return &zy::input.cursors[i];
  return nullptr;
}

}  // namespace

void ZYI_LoadCursors(void) {
  if (zy::input.cursor_count) return;
  memcpy(zy::input.cursors, STANDARD_CURSORS, sizeof STANDARD_CURSORS);
  zy::input.cursor_count = ZYI_STANDARD_CURSORS;
}

void ZY_SetCursor(const char *name) {
  if (!name || !strcmp(name, "NULL") || ZYI_IsFeatureEnabled("HIDE_CURSOR")) {
    ZYH_SetCursor(ZYH_CURSOR_HIDDEN);
    return;
  }
  const ZyCursorEntry *entry = FindCursor(name);
  if (!entry) entry = FindCursor("ARROW");
  // Before the table is filled even "ARROW" is missing: the system arrow stands in.
  ZYH_SetCursor(entry ? (ZyhCursor)entry->cursor : ZYH_CURSOR_ARROW);
}

// ---------------------------------------------------------------------------------
// [raw]
// ---------------------------------------------------------------------------------

bool ZYI_RegisterRawInput(void) {
  ZyInput &in = zy::input;
  if (in.raw_registered) return true;
  // The host reads every mouse it may open; unlike Windows registration this cannot be
  // refused, it may only find no mice (then the window mouse is all there is).
  int found = ZYH_RawMiceOpen();
  in.raw_mouse_count = found < 0 ? 0 : found > ZYI_MAX_RAW_MICE ? ZYI_MAX_RAW_MICE : found;
  in.raw_registered = 1;
  ZY_Log(ZY_LOG_SYSTEM, "Raw Input Register device successful: %d mice devices found.\n",
         in.raw_mouse_count);
  return true;
}

void ZYI_RefreshRawInput(void) {
  zy::input.raw_registered = 0;
  ZYI_RegisterRawInput();
}

float ZYI_RawMouseMotion(int32_t d) {
  int32_t a = d < 0 ? -d : d;
  // Slow hand movements are damped and fast ones amplified around 6 counts per report.
  float factor = a < 6 ? 1.0f - (float)((6 - a) * (6 - a)) * 0.005f
                       : 1.0f + (float)((a - 6) * (a - 6)) * 0.005f;
  return 0.1f * (float)ZYI_MOUSE_SPEED * factor * (float)d;
}

namespace {

float Clamp(float v, float low, float high) { return v < low ? low : v > high ? high : v; }

void SendRaw(uint32_t type, int32_t mouse, int32_t x, int32_t y, uint16_t button) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog || !prog->event) return;
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = type;
  ev.pointer.index = (uint8_t)mouse;
  ev.pointer.x = x;
  ev.pointer.y = y;
  ev.pointer.button = button;
  prog->event(ev);
}

}  // namespace

void ZYI_HandleRawMouse(int32_t device, int32_t dx, int32_t dy, uint32_t buttons) {
  ZyInput &in = zy::input;
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!in.raw_registered || device < 0 || device >= in.raw_mouse_count || !prog) return;
  const int32_t mouse = device + 1;
  const int32_t block = ZY_MOUSE_BLOCK(mouse);
  const int32_t xid = ZY_MOUSE_X + block, yid = ZY_MOUSE_Y + block;

  if (dx || dy) {
    float x = Clamp(in.axes[xid] + ZYI_RawMouseMotion(dx), 0.0f, (float)prog->parms.width);
    float y = Clamp(in.axes[yid] + ZYI_RawMouseMotion(dy), 0.0f, (float)prog->parms.height);
    in.axes[xid] = x;
    in.axes[yid] = y;
    in.key_states[xid] = (int32_t)x;
    in.key_states[yid] = (int32_t)y;
    in.key_states[500 + block] = dx;
    in.key_states[501 + block] = dy;
    in.key_states[518 + block] = ZY_KEY_STATE_PRESSED | ZY_KEY_STATE_DOWN;
    SendRaw(ZY_EVENT_POINTER_MOVE, mouse, (int32_t)x, (int32_t)y, 0);
  }

  // Left, right, middle, 4, 5: every press of the report first, then every release.
  static const uint32_t DOWN[5] = {ZYH_RAW_LEFT_DOWN, ZYH_RAW_RIGHT_DOWN, ZYH_RAW_MIDDLE_DOWN,
                                   ZYH_RAW_BUTTON4_DOWN, ZYH_RAW_BUTTON5_DOWN};
  static const uint32_t UP[5] = {ZYH_RAW_LEFT_UP, ZYH_RAW_RIGHT_UP, ZYH_RAW_MIDDLE_UP,
                                 ZYH_RAW_BUTTON4_UP, ZYH_RAW_BUTTON5_UP};
  for (int pass = 0; pass < 2; pass++) {
    const uint32_t *flags = pass == 0 ? DOWN : UP;
    for (int b = 0; b < 5; b++) {
      if (!(buttons & flags[b])) continue;
      in.key_states[ZY_MOUSE_BUTTON_0 + b + block] =
          pass == 0 ? (ZY_KEY_STATE_PRESSED | ZY_KEY_STATE_DOWN) : 0;
      SendRaw(pass == 0 ? ZY_EVENT_BUTTON_DOWN : ZY_EVENT_BUTTON_UP, mouse,
              in.key_states[xid], in.key_states[yid], (uint16_t)(ZY_MOUSE_BUTTON_0 + b));
    }
  }
}
