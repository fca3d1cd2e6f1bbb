// window.h — the engine's one window and its window procedure.
//
// The window is made through the host layer with a style computed here (caption and
// boxes for a window, a borderless popup when the screen is not taller than it,
// fullscreen otherwise). Its events arrive from the host as portable records with
// Windows virtual-key codes; ZYI_HandleHostEvent is the window procedure that turns each
// into key states, engine input events, activation, re-initialisation requests or a quit.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "host/host.h"

// Result of ZYI_HandleHostEvent for events the window procedure leaves to the default
// handling of the window system.
#define ZYI_DEFAULT_PROCEDURE (-1)

struct ZyWindow {
  uint8_t created;        // the engine's window exists (made here or handed over)
  int32_t width, height;  // client size it was made with
  uint8_t windowed;       // made as a window rather than fullscreen
  uint8_t maximize_box;   // its style offers maximising
  uint8_t popup_style;    // windowed without a caption (screen not taller than it)
  uint8_t accept_files;   // dropped files are taken (developer mode)
};
ZYI_STATE_PART(ZyWindow, window)

// The style of a window of a client size on a screen of the given height (title, files
// and OpenGL are left for the caller).
ZyhWindowDesc ZYI_WindowStyle(int32_t width, int32_t height, bool windowed, int32_t screen_height);

// Creates the window with the mode in force (zy::core.applied_parms) and the program's
// title. True when it exists afterwards (also when it existed already).
bool ZYI_CreateWindow(void);
// Destroys the window; nothing without one.
void ZYI_DestroyWindow(void);

// The window procedure: handles one host event. Returns 0 or 1 as the message's result,
// or ZYI_DEFAULT_PROCEDURE when the event goes on to the default handling.
int32_t ZYI_HandleHostEvent(const ZyhEvent *ev);
// Message pump: handles every pending host event; a quit from the platform sets
// quit_requested and ends this pump.
void ZYI_PumpEvents(void);

// Activation of the application changed (or was reported again): on a change the
// program gets event 10 (unless quitting), the modules are told, keys 0-254 are cleared.
void ZYI_SetActive(bool active);
