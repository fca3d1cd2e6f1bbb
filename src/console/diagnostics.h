// diagnostics.h — the on-screen diagnostics drawn at the end of every render pass: the
// frame rate (SHOW_FPS), and in developer mode the F1 to F6 views (frame rate, memory
// graph, frame-time graph, resource listing, bitmap reload, information panel); then
// the console.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#define ZYI_DIAG_SAMPLES 2048  // samples a memory series or the frame-time ring holds

// One memory series in bytes, oldest sample first.
struct ZyMemorySeries {
  double samples[ZYI_DIAG_SAMPLES];
  int32_t count;
  double peak;
};

struct ZyDiagnostics {
  int32_t frames;      // frames counted towards the next rate
  float seconds;       // their time
  float rate;          // frames per second, renewed every 1.5 s
  int32_t frame_count; // render passes seen: memory is sampled every 30th
  ZyMemorySeries total, gpu, gpu_npot;
  float frame_times[ZYI_DIAG_SAMPLES];  // ring of frame times (seconds)
  int32_t frame_time_next;
};
ZYI_STATE_PART(ZyDiagnostics, diagnostics)

// What the information panel shows about the display and the program; the lifecycle
// fills it (it owns those settings).
struct ZyDiagnosticsInfo {
  int32_t screen_width, screen_height;    // device screen
  int32_t desktop_width, desktop_height;
  int32_t orientation;                    // 1, 2 portrait; 4, 8 landscape
  int32_t boot_width, boot_height;        // what the renderer was started with
  bool windowed;
  bool autoscaling;
  float scale_x, scale_y, offset_x, offset_y;
  int32_t current_width, current_height;      // the program's own settings
  int32_t reference_width, reference_height;
  int32_t validated_width, validated_height;  // what the engine settled on
  const char *title, *version, *platform;
};
typedef void (*ZyDiagnosticsInfoSource)(ZyDiagnosticsInfo *info);
void ZYI_DiagnosticsSetInfoSource(ZyDiagnosticsInfoSource source);

// Draws the diagnostics and the console for one render pass of `frame_seconds`.
void ZYI_DrawDiagnostics(float frame_seconds);
