// window.cpp — creating and destroying the window, activation, and the window procedure.
//
// The window procedure is written against portable host events that keep the shape of
// the Win32 messages the engine was designed for: keys carry virtual-key codes and an
// Alt flag for the system-key form, the mouse reports client positions, maximising
// reports the new client size. Everything here runs on the main thread inside the
// message pump of the frame loop, so events reach the program synchronously.
#include "lifecycle/window.h"

#include <stdio.h>
#include <string.h>

#include "config/config.h"
#include "lifecycle/resolution.h"
#include "lifecycle/input.h"
#include "base/log.h"
#include "base/state.h"
#include "engine/modules.h"

ZyWindow zy::window;  // engine state: the engine's window and the style it was made with

namespace {

const int VK_RETURN = 0x0D;
const int VK_MENU = 0x12;  // Alt

// The renderer module draws with OpenGL into the window (rmod_gl and its kin), which a
// window must be made for.
bool RendererUsesOpenGL(void) {
  const char *name = zy::config.renderer_module;
  return name && strstr(name, "_gl");
}

// Asks for a re-initialisation with the program's settings, windowed as given.
void RequestMode(bool windowed) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog) return;
  ZY_DisplaySettings parms = prog->parms;
  parms.windowed = windowed ? 1 : 0;
  ZY_Reinitialize(parms);
}

}  // namespace

ZyhWindowDesc ZYI_WindowStyle(int32_t width, int32_t height, bool windowed, int32_t screen_height) {
  ZyhWindowDesc desc;
  memset(&desc, 0, sizeof desc);
  desc.width = width;
  desc.height = height;
  desc.windowed = windowed;
  if (windowed) {
    // A window as tall as the screen loses its caption, and with it every box.
    desc.popup_style = screen_height <= height;
    desc.maximize_box = !desc.popup_style && !(width < 640 && height < 480);
  }
  return desc;
}

bool ZYI_CreateWindow(void) {
  ZyWindow &w = zy::window;
  if (w.created || zy::core.embedded || ZYH_WindowExists()) {
    ZY_Log(ZY_LOG_SYSTEM, "Window already created.\n");
    w.created = 1;
    return true;
  }
  const ZY_DisplaySettings &mode = zy::core.applied_parms;
  int screen_width = 0, screen_height = 0;
  ZYH_ScreenSize(&screen_width, &screen_height);
  ZyhWindowDesc desc = ZYI_WindowStyle(mode.width, mode.height, mode.windowed != 0, screen_height);

  // The record's title need not be terminated within its 128 characters.
  char title[sizeof(((ZY_ProgramInterface *)0)->title) + 1];
  snprintf(title, sizeof title, "%.*s", (int)sizeof title - 1,
           zy::core.prog ? zy::core.prog->title : "");
  desc.title = title;
  desc.accept_files = zy::config.developer_mode != 0;
  desc.opengl = RendererUsesOpenGL();

  if (!ZYH_WindowCreate(&desc)) {
    ZY_Log(ZY_LOG_INFO, "! Zylem FAILED to Create Window.\n");
    return false;
  }
  w.created = 1;
  w.width = desc.width;
  w.height = desc.height;
  w.windowed = desc.windowed;
  w.maximize_box = desc.maximize_box;
  w.popup_style = desc.popup_style;
  w.accept_files = desc.accept_files;
  ZYH_WindowRaise();
  ZY_Log(ZY_LOG_INFO, "= Zylem Created Window (%dx%d).\n", desc.width, desc.height);
  return true;
}

void ZYI_DestroyWindow(void) {
  ZyWindow &w = zy::window;
  if (!w.created) return;
  if (zy::core.embedded) {
    memset(&w, 0, sizeof w);  // not ours to destroy
    return;
  }
  ZY_Log(ZY_LOG_SYSTEM, "Zylem Destroying Window.\n");
  memset(&w, 0, sizeof w);
  ZYH_WindowDestroy();
}

void ZYI_SetActive(bool active) {
  if ((zy::core.app_active != 0) == active) return;
  zy::core.app_active = active ? 1 : 0;
  if (!zy::core.quit_requested) {
    ZY_InputEvent ev;
    memset(&ev, 0, sizeof ev);
    ev.type = ZY_EVENT_ACTIVATE;
    ev.activate.inactive = active ? 0 : 1;
    ZYI_DeliverEvent(&ev);
  }
  ZYI_ModulesSetActive(active);
  // Keys held while the focus moved would otherwise stay down.
  for (int32_t key = 0; key <= 254; key++) ZY_SetKeyState(key, 0);
}

namespace {

int32_t SystemKeyDown(int key) {
  ZY_SetKeyState(key, ZY_KEY_STATE_PRESSED | ZY_KEY_STATE_DOWN);
  if (key == VK_MENU) return 0;
  if (key == VK_RETURN) {
    ZY_ProgramInterface *prog = zy::core.prog;
    if (prog) RequestMode(!prog->parms.windowed);  // Alt+Enter toggles fullscreen
    return 0;
  }
  return ZYI_DEFAULT_PROCEDURE;
}

int32_t SystemKeyUp(int key) {
  ZY_SetKeyState(key, 0);
  return key == VK_MENU ? 0 : ZYI_DEFAULT_PROCEDURE;
}

int32_t Button(const ZyhEvent *ev, bool down) {
  if (ev->button < 0 || ev->button > 2) return ZYI_DEFAULT_PROCEDURE;  // X buttons: none
  uint16_t id = (uint16_t)(ZY_MOUSE_BUTTON_LEFT + ev->button);
  ZYI_PointerEvent(down ? ZY_EVENT_BUTTON_DOWN : ZY_EVENT_BUTTON_UP, ev->x, ev->y, id);
  ZY_SetKeyState(id, down ? (ZY_KEY_STATE_PRESSED | ZY_KEY_STATE_DOWN) : 0);
  return ZYI_DEFAULT_PROCEDURE;
}

int32_t Close(void) {
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_CLOSE;
  if (ZYI_DeliverEvent(&ev) == ZY_EVENT_RESULT_CANCEL_CLOSE) return 0;
  zy::core.quit_requested = 1;  // the window stays until shut-down
  return 1;
}

int32_t DropFile(const ZyhEvent *ev) {
  if (!zy::window.accept_files) return ZYI_DEFAULT_PROCEDURE;  // never registered for drops
  char point[32];
  snprintf(point, sizeof point, "%d,%d", ev->x, ev->y);
  char path[512];
  snprintf(path, sizeof path, "%.*s", (int)sizeof path - 1, ev->text);
  if (!path[0]) return 0;
  ZY_Log(ZY_LOG_INFO, "Dropped file '%s'", path);
  for (char *p = path; *p; p++)
    if (*p == '\\') *p = '/';
  ZY_InputEvent named;
  memset(&named, 0, sizeof named);
  named.type = ZY_EVENT_NAMED;
  named.named.name = "FILE_DRAGGED";
  named.named.arg1 = path;
  named.named.arg2 = point;
  named.named.reserved = nullptr;
  ZYI_DeliverEvent(&named);
  return 0;
}

}  // namespace

int32_t ZYI_HandleHostEvent(const ZyhEvent *ev) {
  if (!ev) return ZYI_DEFAULT_PROCEDURE;
  switch (ev->type) {
    case ZYH_EV_KEY_DOWN:
      if (ev->alt) return SystemKeyDown(ev->key);
      ZYI_KeyEvent(ZY_EVENT_KEY_DOWN, ev->key);
      return 0;
    case ZYH_EV_KEY_UP:
      if (ev->alt) return SystemKeyUp(ev->key);
      ZYI_KeyEvent(ZY_EVENT_KEY_UP, ev->key);
      return 0;
    case ZYH_EV_CHAR: {
      // Characters are always delivered at once, never queued.
      ZY_InputEvent ch;
      memset(&ch, 0, sizeof ch);
      ch.type = ZY_EVENT_CHAR;
      ch.character.code = (uint8_t)ev->key;
      ZYI_DeliverEvent(&ch);
      return 0;
    }
    case ZYH_EV_MOUSE_MOVE:
      ZYI_PointerEvent(ZY_EVENT_POINTER_MOVE, ev->x, ev->y, 0);
      return ZYI_DEFAULT_PROCEDURE;
    case ZYH_EV_BUTTON_DOWN: return Button(ev, true);
    case ZYH_EV_BUTTON_UP: return Button(ev, false);
    case ZYH_EV_WHEEL:
      ZYI_WheelEvent(ev->delta);
      return ZYI_DEFAULT_PROCEDURE;
    case ZYH_EV_ACTIVATE:
      ZYI_SetActive(ev->active && !ev->minimized);
      return ZYI_DEFAULT_PROCEDURE;
    case ZYH_EV_CLOSE: return Close();
    case ZYH_EV_MAXIMIZED:
      ZY_Log(ZY_LOG_SYSTEM, "Window maximized: size %dx%d..\n", ev->x, ev->y);
      RequestMode(false);  // maximising switches to fullscreen
      return 0;
    case ZYH_EV_DROP_FILE: return DropFile(ev);
    case ZYH_EV_RAW_MOUSE:
      if (zy::core.prog && zy::core.prog->parms.multi_mouse)
        ZYI_HandleRawMouse(ev->device, ev->x, ev->y, ev->buttons);
      return ZYI_DEFAULT_PROCEDURE;
    case ZYH_EV_QUIT:
      zy::core.quit_requested = 1;
      return 0;
    default: return ZYI_DEFAULT_PROCEDURE;
  }
}

void ZYI_PumpEvents(void) {
  ZyhEvent ev;
  while (ZYH_PollEvent(&ev)) {
    ZYI_HandleHostEvent(&ev);
    if (ev.type == ZYH_EV_QUIT) break;  // the rest waits for the next iteration
  }
}
