// modules.h — the implementation modules: one renderer, up to eight input modules and
// one sound module (or the built-in null sound module), loaded from the game folder.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem_modules.h"

#define ZYI_MAX_INPUT_MODULES 8

struct ZyModules {
  ZY_HostInfo host;                  // handed to every module; first field: the table
  void *renderer_library;            // library handle of the renderer module
  RendImp *renderer;                 // its interface, null when none is loaded
  void *input_libraries[ZYI_MAX_INPUT_MODULES];
  InputImp *inputs[ZYI_MAX_INPUT_MODULES];
  int32_t input_count;               // loaded input modules
  void *sound_library;               // library handle of the loaded sound module
  SoundImp *sound;                   // module in use; the null module when none loaded
  int32_t pixel_order;               // renderer's GetPixelOrder after init (1: BGRA)
  int32_t colour_order;              // renderer's GetColourOrder (0: RGBA bytes)
};
ZYI_STATE_PART(ZyModules, modules)

// Loads the renderer module by configured name ("rmod_soft.dll"), first from
// res://core/, then res://. Logs every step; false leaves no renderer.
bool ZYI_LoadRenderer(const char *name);
// Frees the renderer module's library (its Shutdown must have run).
void ZYI_UnloadRenderer(void);
// The loaded renderer, or null.
RendImp *ZYI_Renderer(void);

// Loads one input module and counts it; false skips it.
bool ZYI_LoadInputModule(const char *name);
// Calls Init (host info) on every loaded input module.
void ZYI_InitInputModules(void);
// Calls Shutdown on every loaded input module.
void ZYI_ShutdownInputModules(void);
// Forgets the input modules (after shut-down), freeing their libraries.
void ZYI_UnloadInputModules(void);
int32_t ZYI_InputModuleCount(void);
InputImp *ZYI_InputModule(int32_t index);

// Loads the sound module; false leaves the null module in place.
bool ZYI_LoadSoundModule(const char *name);
// Starts sound as core initialisation does: the configured module and its Init, or the
// null module (with the messages for each case). no_sound picks the null module at once.
void ZYI_StartSound(bool no_sound);
// Logs the unloading, frees the sound module's library and puts the null module in place.
void ZYI_UnloadSoundModule(void);
// The sound module in use (never null once ZYI_ResetModules has run).
SoundImp *ZYI_Sound(void);
// The built-in null sound module.
SoundImp *ZYI_NullSound(void);

// Puts every module pointer back to "none" and the null sound module in place.
void ZYI_ResetModules(void);

// Activation change: the renderer (when ready) and every input module are told.
void ZYI_ModulesSetActive(bool active);
// Whether the renderer supports a display mode (false without a renderer).
bool ZYI_RendererModeSupported(int32_t width, int32_t height);
