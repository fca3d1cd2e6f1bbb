// resolution.h — choosing the display mode, and autoscaling the program's reference
// resolution onto the real drawing surface.
//
// A game lists the resolutions it supports and the reference resolution it was designed
// for in prog.xml. At start-up, and whenever the program asks to reinitialise, the mode
// is chosen from that list against the desktop and the renderer's abilities; the result
// is written into the engine's wanted display settings (zy::core.current_parms). With the
// AUTOSCALE feature the program always sees its reference size, and the scale and offset
// kept here map it onto the window: forwards for drawing (the frame transform and the
// black bars around a letterboxed picture), backwards for pointer positions.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

// Orientation codes: 1 and 2 portrait, 4 and 8 landscape.
#define ZYI_ORIENTATION_PORTRAIT 1
#define ZYI_ORIENTATION_LANDSCAPE_LEFT 4
#define ZYI_ORIENTATION_LANDSCAPE 8

struct ZyDisplay {
  // Display information (the desktop never has a fixed display)
  int32_t screen_width;        // screen size the program's area is centred on (0: unknown)
  int32_t screen_height;
  uint8_t fixed_display;       // a device screen that cannot change its mode
  int32_t native_orientation;  // orientation of the screen buffer (1 or 4)
  int32_t desktop_width;       // primary monitor size (0: unknown)
  int32_t desktop_height;

  // Selection
  int32_t requested_width;     // forced or overridden size (0 when neither happened)
  int32_t requested_height;
  uint8_t override_size;       // the requested size replaces the program's
  uint8_t allow_all;           // AllowAllResolutions: windowed reinitialisation takes any size
  int32_t program_orientation; // 1 when the reference resolution is portrait, else 8
  int32_t orientation_mask;    // 3 (portrait) or 12 (landscape), for the renderer
  int32_t reinit_failures;     // ZY_Reinitialize requests in a row that found no mode

  // Autoscaling (neutral while off: offsets 0, scales 1)
  uint8_t autoscale;           // AUTOSCALE is on and the sizes differ
  uint8_t retain_aspect;       // AUTOSCALE_RETAIN_ASPECT_RATIO: one scale for both axes
  float offset_x, offset_y;    // window pixels left free before the program's area
  float scale_x, scale_y;      // window pixels per program pixel
  float inv_scale_x, inv_scale_y;  // program pixels per window pixel
};
ZYI_STATE_PART(ZyDisplay, display)

// Clears the display information and reads the primary screen's size as the desktop size.
void ZYI_ReadDesktopSize(void);
// Turns autoscaling on or off (the AUTOSCALE feature); takes effect at the next set-up.
void ZYI_EnableAutoscaling(bool enabled);
// The AllowAllResolutions query: windowed reinitialisation then accepts any size.
void ZYI_AllowAllResolutions(bool allow);

// Chooses width, height and windowed of zy::core.current_parms from the supported list.
// `forcing` (or a forced variant) accepts the first usable entry unchecked. False when
// there is no list or no usable entry.
bool ZYI_SelectResolution(bool windowed, bool forcing);
// The start-up selection, run after the program's parameter check (same rules).
bool ZYI_SelectStartupResolution(bool windowed, bool forcing);
// Whether a mode may be used: forced variants and the forced size always; windowed modes
// must fit the desktop with room for the frame; otherwise the renderer decides.
bool ZYI_IsResolutionSupported(int32_t width, int32_t height, bool windowed);
// The usual screen of a build variant such as "IOS/SMALL" (800x600 when unknown).
void ZYI_TypicalFallbackResolution(const char *variant, int32_t *width, int32_t *height);
// After the package lists: the program and native orientations, the override of a zero
// or overridden size, and the screen size the program's area is centred on.
void ZYI_ApplyOverrideAndOrientation(void);

// Engine interface operation: asks for a display change at the next frame. False (and
// the mode in use kept) when no usable mode is found.
bool ZY_Reinitialize(ZY_DisplaySettings parms);

// After the renderer starts and after each reinitialisation: decides whether scaling is
// needed and, when it is, gives the program its reference size.
void ZYI_SetupAutoscaling(void);
// Every frame: scales and offsets from the drawing surface's real size.
void ZYI_UpdateAutoscaling(void);
// Whether the program's coordinates differ from the window's.
bool ZYI_AutoscaleActive(void);
// The autoscale transform for the render command layer; false while autoscaling is off.
bool ZYI_AutoscaleTransform(float *scale_x, float *scale_y, float *offset_x, float *offset_y);
// Window position -> program position (unchanged while autoscaling is off).
void ZYI_AutoscalePoint(int32_t *x, int32_t *y);
// Size of the real drawing surface: the window's client area, else the mode in force.
void ZYI_SurfaceSize(int32_t *width, int32_t *height);

// The transform around the program's drawing: centres the program's area on the surface,
// scaled by autoscaling and turned by `angle_degrees` on a rotated fixed display. Row-major
// 4x4 for column vectors (translation in elements 3, 7, 11).
void ZYI_FrameTransform(float angle_degrees, float out[16]);
// Black bars over whatever lies outside the program's area (drawn inside the frame
// transform, through the engine interface table; nothing when drawing is not there yet).
void ZYI_DrawBars(void);
