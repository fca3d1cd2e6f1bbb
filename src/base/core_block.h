// lifecycle.h — the core block of the engine state: the host block, the lifecycle
// flags and the engine's two copies of the display settings.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

struct ZyLifecycle {
  // Host block
  char *command_line;        // owned copy of the command line ("" when none)
  void *program_library;     // the program module's library handle
  ZY_ProgramInterface *prog; // the program interface record in use (null before load)

  // Lifecycle flags
  uint8_t core_initialized;     // end of core initialisation reached
  uint8_t program_initialized;  // the program's init answered true
  uint8_t quit_requested;       // the frame loop ends after this frame
  uint8_t reinit_requested;     // the next frame re-initialises the display
  uint8_t renderer_ready;       // the renderer finished its initialisation
  uint8_t app_active;           // the window is the active application
  uint8_t raw_input_active;     // several mice are read through raw input
  uint8_t fallback_program;     // the built-in fallback record replaced the program
  uint8_t embedded;             // the engine draws into a window it did not create
  uint8_t show_fps;             // SHOW_FPS feature
  uint8_t render_stereo;        // RENDER_STEREO feature: two render passes
  int32_t eye;                  // ZY_EYE_... of the render pass being drawn

  ZY_DisplaySettings current_parms;  // what the engine wants now
  ZY_DisplaySettings applied_parms;  // what the renderer was last initialised with

  uint32_t main_thread_id;  // thread that ran pre-initialisation
  uint32_t start_time;      // ZYH_TimeMs at pre-initialisation

  // Display orientation (1, 2 portrait; 4, 8 landscape) and its eased change
  int32_t orientation;
  int32_t target_orientation;
  float orientation_timer;     // seconds into the current change
  float orientation_duration;  // seconds a change takes

  // Render counters of the last pass, raised by every batch flush
  int32_t batches;
  int32_t triangles;

  int32_t renderer_failures;  // failed renderer Init calls in a row
  int32_t frames_run;         // frames completed by the frame loop
  uint8_t table_built;        // the engine interface table exists (shut-down needs it)
};
ZYI_STATE_PART(ZyLifecycle, core)
