// boot.h — start-up, the frame loop and shut-down of the engine.
#pragma once

#include <stdint.h>

#include "zylem.h"

// Pre-initialisation: locks, state reset, table, file system, program module,
// configuration, log, single instance, renderer module, resolution, search paths,
// image loader. False when the boot cannot go on.
bool ZYI_PreInit(void *embedding_window);
// Core initialisation, the frame loop and shut-down. Returns 0, or 1 when core
// initialisation failed.
int ZYI_CoreRun(void);
// Core initialisation: autoscaling, window, renderer, input and sound modules, the
// program's init.
bool ZYI_Init(void);
// Initialises the renderer with the current parameters, with one roll-back retry.
bool ZYI_InitRenderer(void);
// Releases the renderer's device data and shuts it down.
void ZYI_ShutdownRenderer(void);
// Replaces the sound module (sound switched back on at run time).
void ZYI_InitSoundImp(void);
// Orderly shut-down.
void ZYI_Shutdown(void);

// One frame of work; delta is the milliseconds since the previous frame.
void ZYI_Frame(int32_t delta);
// Re-initialises the display with current_parms (runs inside ZYI_Frame).
void ZYI_ReInit(void);
// Display rotation angle in degrees for the current orientation (and its easing).
float ZYI_DisplayRotationAngle(void);
// Normalises a windowed flag: modes below 640x480 and forced variants are windowed.
uint8_t ZYI_NormalizeWindowed(int32_t width, int32_t height, uint8_t windowed);

// Engine interface operation: ends the frame loop after the current frame.
void ZY_Quit(void);
