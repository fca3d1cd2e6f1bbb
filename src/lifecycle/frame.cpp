// frame.cpp — the work of one frame, display re-initialisation and quitting.
//
// A frame runs under the MAIN_LOOP lock (released once, briefly, after rendering so that
// program threads waiting on it get a turn): queued input events, the modules' frame
// calls, the program's update and draw inside the orientation and autoscale transform,
// then re-initialisation when one was requested, the resource queue, autoscale upkeep
// and queued popups. Drawing, resources, the console and text are reached through seams
// that their subsystems fill.
#include <math.h>
#include <string.h>

#include "lifecycle/resolution.h"
#include "lifecycle/boot.h"
#include "lifecycle/input.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "lifecycle/window.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "lifecycle/interface_table.h"
#include "engine/modules.h"
#include "host/host.h"
#include "config/config.h"
#include "console/diagnostics.h"

void ZY_Quit(void) {
  zy::core.quit_requested = 1;
  // Requests running on the program's threads poll this flag.
  if (zy::core.prog) __atomic_store_n(&zy::core.prog->parms.quitting, 1, __ATOMIC_RELAXED);
}

// Angle of an orientation in degrees.
static float OrientationAngle(int32_t orientation) {
  switch (orientation) {
    case 2: return 180.0f;
    case 4: return -90.0f;
    case 8: return 90.0f;
    default: return 0.0f;
  }
}

float ZYI_DisplayRotationAngle(void) {
  const ZyLifecycle &c = zy::core;
  if (c.orientation == c.target_orientation || c.orientation_duration <= 0)
    return OrientationAngle(c.orientation);
  const float half_pi = 1.57079632679f;
  float t = c.orientation_timer / c.orientation_duration;
  float w = 1.0f - cosf(sinf(t * half_pi) * half_pi);
  return (1.0f - w) * OrientationAngle(c.orientation) + w * OrientationAngle(c.target_orientation);
}

// Drawing state every pass and every program callback starts from.
static void ResetDrawingState(ZY_EngineInterface *t, bool text_flags) {
  if (t->SetTextTransform) t->SetTextTransform(1.0f, 1.0f, 0);
  if (text_flags && t->SetTextFlags) t->SetTextFlags(0);
  if (t->SetAlpha) t->SetAlpha(1.0f);
  if (t->SetColor) t->SetColor(1.0f, 1.0f, 1.0f);
  if (t->SetBlendMode) t->SetBlendMode(0);
}

// The render passes of one frame (one, or two for stereo).
static void RenderFrame(float dt, int32_t delta) {
  ZY_ProgramInterface *prog = zy::core.prog;
  RendImp *r = zy::modules.renderer;
  ZY_EngineInterface *t = ZYI_EngineInterface();
  for (int i = 0; i < zy::modules.input_count; i++) zy::modules.inputs[i]->BeginFrame();
  ZYI_Sound()->BeginFrame();

  if (zy::core.orientation != zy::core.target_orientation) {
    zy::core.orientation_timer += dt;
    if (zy::core.orientation_timer >= zy::core.orientation_duration) {
      zy::core.orientation_timer = 0;
      zy::core.orientation = zy::core.target_orientation;
    }
  }

  int passes = zy::core.render_stereo ? 2 : 1;
  for (int pass = 0; pass < passes; pass++) {
    zy::core.eye = passes == 1 ? 0 : pass + 1;
    r->BeginFrame(zy::core.eye);
    zy::core.batches = zy::core.triangles = 0;
    if (zy::config.developer_mode && ZY_GetKeyState(120)) ZY_Forward3(0, 0, 0);
    ZYI_DrawBeginPass();
    ResetDrawingState(t, true);
    if (t->SetRenderMode) t->SetRenderMode(1);
    if (pass == 0 && delta > 0) prog->update(dt);
    ResetDrawingState(t, false);
    float matrix[16];
    ZYI_FrameTransform(ZYI_DisplayRotationAngle(), matrix);
    if (t->PushTransform) t->PushTransform(matrix);
    prog->draw(dt);
    ResetDrawingState(t, false);
    ZYI_DrawBars();
    if (t->PopTransform) t->PopTransform();
    ZYI_DrawDiagnostics(dt);
  }
  zy::core.eye = 0;
  ZYI_Sound()->EndFrame();
  ZYI_Flush();
  ResetDrawingState(t, true);
  ZYI_DrawCounters();
  r->EndFrame();
  for (int i = 0; i < zy::modules.input_count; i++) zy::modules.inputs[i]->EndFrame();
}

void ZYI_Frame(int32_t delta) {
  if (!zy::core.core_initialized) return;
  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
  ZYI_DeliverQueuedEvents();

  if (delta > 200) {
    delta = 30;
  } else if (delta < 0) {
    if (zy::config.developer_mode)
      ZY_Log(ZY_LOG_WARNING, "********************* Found negative time delta in ZYI_Frame: %d",
             delta);
    delta = 1;
  }
  float dt = (float)delta * 0.001f;

  if (zy::modules.renderer && zy::core.renderer_ready && zy::core.prog) RenderFrame(dt, delta);

  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);

  ZY_DisplaySettings &cur = zy::core.current_parms, &ap = zy::core.applied_parms;
  if (zy::core.reinit_requested) {
    zy::core.reinit_requested = 0;
    cur.windowed = ZYI_NormalizeWindowed(cur.width, cur.height, cur.windowed);
    ap.windowed = ZYI_NormalizeWindowed(ap.width, ap.height, ap.windowed);
    if (ap.no_sound && !cur.no_sound) {
      zy::core.prog->parms.no_sound = cur.no_sound;
      ZYI_InitSoundImp();
    }
    if (!zy::core.embedded &&
        (ap.width != cur.width || ap.height != cur.height || ap.windowed != cur.windowed)) {
      ZY_Log(ZY_LOG_SYSTEM, "Applying ReInit: %dx%d (%s) -> %dx%d (%s)", ap.width, ap.height,
             ap.windowed ? "w" : "fs", cur.width, cur.height, cur.windowed ? "w" : "fs");
      ZYI_ReInit();
    }
  } else if (zy::core.core_initialized && zy::core.renderer_ready) {
    ZYI_ProcessResourceQueues();
  }
  ZYI_UpdateAutoscaling();
  ZYI_ShowQueuedPopups();
  if (ZYI_TransformDepth() > 0)
    ZY_Popup(ZY_LOG_WARNING,
             "Transform stack is not empty at frame end: there are %d more zy->PushTransform "
             "calls than zy->PopTransform calls.",
             ZYI_TransformDepth());
  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
}

// Copies the applied mode into the program's display settings.
static void PublishMode(void) {
  ZY_DisplaySettings &p = zy::core.prog->parms;
  p.width = zy::core.applied_parms.width;
  p.height = zy::core.applied_parms.height;
  p.windowed = zy::core.applied_parms.windowed;
}

void ZYI_ReInit(void) {
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_REINIT;
  ev.reinit.done = 0;
  ZYI_PostEvent(&ev);

  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  ZY_DisplaySettings &cur = zy::core.current_parms;
  bool in_place = zy::modules.renderer &&
                  zy::modules.renderer->Reinit(cur.width, cur.height, cur.windowed != 0);
  if (in_place) {
    zy::core.applied_parms = cur;
    PublishMode();
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);

  if (!in_place) {
    ZYI_ShutdownRenderer();
    ZYI_DestroyWindow();
    zy::core.applied_parms = cur;
    PublishMode();
    if (!ZYI_CreateWindow()) {
      ZY_Popup(ZY_LOG_ERROR, "Reinitialization failed. Please restart the application.");
      zy::core.quit_requested = 1;
      return;
    }
    ZYI_InitRenderer();
  }
  ZYI_SetupAutoscaling();
  ZYI_UpdateAutoscaling();
  ZYI_ClearInputStates();

  ev.reinit.done = 1;
  ZYI_PostEvent(&ev);
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_RESIZE;
  ev.resize.width = (uint16_t)zy::core.prog->parms.width;
  ev.resize.height = (uint16_t)zy::core.prog->parms.height;
  ZYI_PostEvent(&ev);
}
