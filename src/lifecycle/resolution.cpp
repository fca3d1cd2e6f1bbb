// resolution.cpp — display mode selection, the start-up override and orientation rules,
// reinitialisation requests, and autoscaling (scale, offsets, frame transform, bars).
//
// Sections:
//   [list]       the supported-resolution list and the typical fallback sizes
//   [select]     is-supported and the two selection passes
//   [startup]    desktop size, override and orientation
//   [reinit]     ZY_Reinitialize
//   [autoscale]  set-up, upkeep, pointer mapping, frame transform, bars
//
// Selection writes the chosen mode into zy::core.current_parms (the engine's wanted
// settings); the caller copies it on. Autoscaling works on the program's own display
// settings: the program keeps drawing in its reference size while the window has the
// real one.
#include "lifecycle/resolution.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "config/config.h"
#include "base/log.h"
#include "base/state.h"
#include "engine/modules.h"
#include "host/host.h"

ZyDisplay zy::display;  // engine state: desktop, resolution choice, orientation, autoscaling

#define RES_LIST_MAX_CHARS 511  // longer lists are cut here
#define RES_LIST_MAX_ENTRIES 32

// ---------------------------------------------------------------------------------
// [list]
// ---------------------------------------------------------------------------------

namespace {

struct ResEntry {
  bool star;       // "*": the screen size
  int32_t width;   // as written (0 when missing or unparsable)
  int32_t height;
};

// Decimal integer of a token, clamped to the 32-bit range (atoi semantics otherwise).
int32_t ParseInt(const char *s) {
  long long v = strtoll(s, nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

// "WxH": the first and second 'x'-separated tokens (empty tokens skipped, as strtok does);
// a missing one counts 0.
void ParseSize(const char *text, int32_t *width, int32_t *height) {
  int32_t values[2] = {0, 0};
  int found = 0;
  const char *p = text;
  while (*p && found < 2) {
    while (*p == 'x') p++;
    if (!*p) break;
    char token[32];
    size_t n = 0;
    while (p[n] && p[n] != 'x') n++;
    snprintf(token, sizeof token, "%.*s", (int)(n < sizeof token ? n : sizeof token - 1), p);
    values[found++] = ParseInt(token);
    p += n;
  }
  *width = values[0];
  *height = values[1];
}

// Splits the list into at most 32 entries. Returns the count.
int ParseList(const char *list, ResEntry out[RES_LIST_MAX_ENTRIES]) {
  char buf[RES_LIST_MAX_CHARS + 1];
  snprintf(buf, sizeof buf, "%s", list);
  int count = 0;
  char *p = buf;
  while (count < RES_LIST_MAX_ENTRIES) {
    char *comma = strchr(p, ',');
    if (comma) *comma = '\0';
    while (*p == ' ' || *p == '\t') p++;
    ResEntry &e = out[count++];
    e.star = (*p == '*');
    e.width = e.height = 0;
    if (!e.star) ParseSize(p, &e.width, &e.height);
    if (!comma) break;
    p = comma + 1;
  }
  return count;
}

int64_t Area(int32_t width, int32_t height) { return (int64_t)width * (int64_t)height; }

bool HasForcedVariant(void) { return zy::config.force_variant && zy::config.force_variant[0]; }

bool DesktopKnown(void) { return zy::display.desktop_width > 0 && zy::display.desktop_height > 0; }

bool ScreenKnown(void) { return zy::display.screen_width > 0 && zy::display.screen_height > 0; }

bool IsPortrait(int32_t orientation) { return orientation == 1 || orientation == 2; }

const char *OrientationName(int32_t orientation) {
  if (IsPortrait(orientation)) return "PORTRAIT";
  if (orientation == 4 || orientation == 8) return "LANDSCAPE";
  return "UNKNOWN";
}

void Take(int32_t width, int32_t height) {
  zy::core.current_parms.width = width;
  zy::core.current_parms.height = height;
}

}  // namespace

void ZYI_TypicalFallbackResolution(const char *variant, int32_t *width, int32_t *height) {
  static const char *const platforms[] = {"WINDOWS_RT", "WINDOWS_PHONE", "WINDOWS", "MAC",
                                          "IOS",        "BADA",          "ANDROID", "QT",
                                          "WEBOS",      "QNX",           "PS_VITA", "LINUX",
                                          "FLASH",      "TIZEN"};
  const char *id = variant ? variant : "";
  const char *platform = "";
  for (const char *name : platforms)
    if (!strncmp(id, name, strlen(name))) {
      platform = name;
      break;
    }
  const char *slash = strchr(id, '/');
  bool small = slash && !strcmp(slash + 1, "SMALL");

  int32_t w = 800, h = 600;
  if (!strcmp(platform, "WINDOWS") || !strcmp(platform, "MAC") || !strcmp(platform, "LINUX") ||
      !strcmp(platform, "WINDOWS_RT") || !strcmp(platform, "TIZEN")) {
    w = 1280, h = 720;
  } else if (!strcmp(platform, "IOS")) {
    if (small) w = 960, h = 640; else w = 1024, h = 768;
  } else if (!strcmp(platform, "WEBOS")) {
    if (small) w = 480, h = 320; else w = 1024, h = 768;
  } else if (!strcmp(platform, "BADA") || !strcmp(platform, "WINDOWS_PHONE")) {
    w = 800, h = 480;
  } else if (!strcmp(platform, "ANDROID")) {
    w = 854, h = 480;
  } else if (!strcmp(platform, "QT")) {
    w = 640, h = 360;
  } else if (!strcmp(platform, "QNX")) {
    w = 1024, h = 600;
  } else if (!strcmp(platform, "PS_VITA")) {
    w = 960, h = 544;
  } else if (!strcmp(platform, "FLASH")) {
    w = 550, h = 400;
  }
  *width = w;
  *height = h;
}

// ---------------------------------------------------------------------------------
// [select]
// ---------------------------------------------------------------------------------

bool ZYI_IsResolutionSupported(int32_t width, int32_t height, bool windowed) {
  if (HasForcedVariant()) return true;
  if (zy::config.force_resolution && width == zy::config.forced_width &&
      height == zy::config.forced_height)
    return true;
  if (windowed && DesktopKnown())
    // Room for the window frame and the task bar.
    return width <= zy::display.desktop_width - 50 && height <= zy::display.desktop_height - 70;
  if (ZYI_RendererModeSupported(width, height)) {
    ZY_Log(ZY_LOG_SYSTEM, "Requested resolution %dx%d (windowed=%d) is supported.", width, height,
           windowed ? 1 : 0);
    return true;
  }
  return false;
}

bool ZYI_SelectResolution(bool windowed, bool forcing) {
  const char *list = zy::config.resolutions;
  if (!list) return false;
  if (HasForcedVariant()) forcing = true;
  ZyDisplay &d = zy::display;

  ZY_Print("Selecting optimal resolution for %s %s.", windowed ? "windowed" : "fullscreen",
           forcing ? "(forcing)" : "");
  ZY_Print("Desktop size %dx%d.", d.desktop_width, d.desktop_height);
  zy::core.current_parms.windowed = windowed ? 1 : 0;

  if (zy::config.force_resolution) {
    ZY_Print("Selected %dx%d. (forced)", zy::config.forced_width, zy::config.forced_height);
    d.requested_width = zy::config.forced_width;
    d.requested_height = zy::config.forced_height;
    Take(zy::config.forced_width, zy::config.forced_height);
    return true;
  }

  ResEntry entries[RES_LIST_MAX_ENTRIES];
  int count = ParseList(list, entries);

  // Aspect pass: the entry whose shape is closest to the desktop's. A later entry must be
  // closer and differ noticeably in aspect to replace an earlier one.
  if (!forcing && DesktopKnown()) {
    float desktop_aspect = (float)d.desktop_width / (float)d.desktop_height;
    int best = -1;
    int32_t best_w = 0, best_h = 0;
    float best_aspect = 10000.0f;
    for (int i = 0; i < count; i++) {
      int32_t w = entries[i].star ? d.screen_width : entries[i].width;
      int32_t h = entries[i].star ? d.screen_height : entries[i].height;
      if (Area(w, h) <= 0 || h == 0) continue;
      float aspect = (float)w / (float)h;
      bool better = best < 0 || (fabsf(aspect - desktop_aspect) < fabsf(best_aspect - desktop_aspect) &&
                                 fabsf(best_aspect - aspect) > 0.03f);
      if (better && ZYI_IsResolutionSupported(w, h, windowed)) {
        best = i;
        best_w = w, best_h = h;
        best_aspect = aspect;
      }
    }
    if (best >= 0) {
      ZY_Print("Closest supported aspect ratio is %dx%d (aspect %.2f vs desktop %.2f)", best_w,
               best_h, best_aspect, desktop_aspect);
      Take(best_w, best_h);
      return true;
    }
  }

  // First-fit pass: the first usable entry, remembering the smallest for the last resort.
  ZY_Print("Trying to find any resolution.");
  bool have_smallest = false;
  int32_t small_w = 0, small_h = 0;
  for (int i = 0; i < count; i++) {
    int32_t w = entries[i].width, h = entries[i].height;
    if (entries[i].star) {
      w = d.screen_width, h = d.screen_height;
      if (!ScreenKnown()) {
        w = h = 0;
        if (HasForcedVariant()) ZYI_TypicalFallbackResolution(zy::config.force_variant, &w, &h);
        if (w < 1 || h < 1) {
          ZY_ProgramInterface *prog = zy::core.prog;
          w = prog ? prog->parms.reference_width : 0;
          h = prog ? prog->parms.reference_height : 0;
        }
        ZY_Print("Device screen size not set. Using typical fallback resolution %dx%d.", w, h);
      }
    }
    if (Area(w, h) <= 0) continue;
    if (!have_smallest || Area(w, h) < Area(small_w, small_h)) {
      have_smallest = true;
      small_w = w, small_h = h;
    }
    if (forcing || ZYI_IsResolutionSupported(w, h, windowed)) {
      ZY_Print("Selected resolution %dx%d.", w, h);
      Take(w, h);
      return true;
    }
  }

  ZY_Print("Trying to select the smallest possible resolution.");
  if (windowed && DesktopKnown() && have_smallest) {
    Take(small_w, small_h);
    return true;
  }
  ZY_Log(ZY_LOG_WARNING, "No resolution found in ZYI_SelectOptimalResolution!");
  return false;
}

bool ZYI_SelectStartupResolution(bool windowed, bool forcing) {
  return ZYI_SelectResolution(windowed, forcing);
}

// ---------------------------------------------------------------------------------
// [startup]
// ---------------------------------------------------------------------------------

void ZYI_ReadDesktopSize(void) {
  ZyDisplay &d = zy::display;
  d.screen_width = d.screen_height = 0;  // a desktop has no fixed device screen
  d.fixed_display = 0;
  d.native_orientation = 0;
  int w = 0, h = 0;
  ZYH_ScreenSize(&w, &h);
  d.desktop_width = w > 0 ? w : 0;
  d.desktop_height = h > 0 ? h : 0;
}

void ZYI_EnableAutoscaling(bool enabled) { zy::display.autoscale = enabled ? 1 : 0; }

void ZYI_AllowAllResolutions(bool allow) { zy::display.allow_all = allow ? 1 : 0; }

void ZYI_ApplyOverrideAndOrientation(void) {
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!prog) return;
  ZyDisplay &d = zy::display;
  ZY_DisplaySettings &p = prog->parms;

  bool portrait_program = p.reference_width < p.reference_height;
  d.program_orientation = portrait_program ? 1 : 8;
  d.orientation_mask = portrait_program ? 3 : 12;
  if (d.fixed_display)
    d.native_orientation = d.screen_width < d.screen_height ? 1 : 4;
  else
    d.native_orientation = d.desktop_width <= d.desktop_height ? 1 : 4;

  if (!ScreenKnown()) {
    d.screen_width = d.requested_width;
    d.screen_height = d.requested_height;
  }
  if (p.width == 0 || p.height == 0 || d.override_size) {
    ZY_Print("Important parameter is 0: width=%d height=%d override=%d. Forcing override.", p.width,
             p.height, d.override_size);
    p.width = d.requested_width;
    p.height = d.requested_height;
    ZY_Print("Parameters after override: width=%d height=%d override=%d.", p.width, p.height,
             d.override_size);
  }

  if (!d.fixed_display && !zy::config.force_resolution) {
    d.screen_width = d.requested_width = p.width;
    d.screen_height = d.requested_height = p.height;
    d.native_orientation = p.width < p.height ? 1 : 4;
  } else if (d.fixed_display) {
    bool landscape_reference = p.reference_height < p.reference_width;
    if (IsPortrait(d.native_orientation) && landscape_reference) {
      p.width = d.screen_height;  // the screen buffer is turned for a landscape game
      p.height = d.screen_width;
      d.orientation_mask = 12;
    } else {
      p.width = d.screen_width;
      p.height = d.screen_height;
      d.orientation_mask = 3;
    }
    d.override_size = 1;
    d.requested_width = p.width;
    d.requested_height = p.height;
  }

  ZY_Print("Program orientation: %s.", OrientationName(d.program_orientation));
  ZY_Print("Native device screen buffer orientation: %s.", OrientationName(d.native_orientation));
}

// ---------------------------------------------------------------------------------
// [reinit]
// ---------------------------------------------------------------------------------

namespace {

// The wanted mode goes back to the one in force; no reinitialisation is pending.
void KeepModeInForce(void) {
  ZY_DisplaySettings &cur = zy::core.current_parms;
  cur.width = zy::core.applied_parms.width;
  cur.height = zy::core.applied_parms.height;
  cur.windowed = zy::core.applied_parms.windowed;
  zy::core.reinit_requested = 0;
}

bool AcceptReinit(void) {
  zy::display.reinit_failures = 0;
  zy::core.reinit_requested = 1;
  return true;
}

}  // namespace

bool ZY_Reinitialize(ZY_DisplaySettings parms) {
  if (!zy::core.prog || !ZYI_Renderer()) return false;
  ZY_DisplaySettings &cur = zy::core.current_parms;
  cur = parms;
  ZY_Log(ZY_LOG_SYSTEM, "Attempting to reinitialize with parameters: %dx%d windowed=%d", cur.width,
         cur.height, cur.windowed);
  if (cur.windowed && zy::display.allow_all) {
    ZY_Log(ZY_LOG_SYSTEM, "Allowing all resolutions.");
    zy::core.reinit_requested = 1;
    return true;
  }
  // Without any usable entry the request fails; the mode in force stays wanted, so a
  // later unrelated reinitialisation does not pick up the refused parameters.
  if (!ZYI_SelectResolution(cur.windowed != 0, false)) {
    KeepModeInForce();
    return false;
  }
  ZY_Print("Selected resolution %dx%d", cur.width, cur.height);
  if (ZYI_IsResolutionSupported(cur.width, cur.height, cur.windowed != 0)) return AcceptReinit();

  // A fullscreen mode that is not there may still fit in a window.
  cur.windowed = 1;
  if (ZYI_SelectResolution(true, false)) {
    ZY_Print("Selected resolution %dx%d", cur.width, cur.height);
    if (ZYI_IsResolutionSupported(cur.width, cur.height, true)) return AcceptReinit();
  }
  ZY_Log(ZY_LOG_WARNING, "Requested resolution %dx%d (windowed=%d) not available.", cur.width,
         cur.height, cur.windowed);
  zy::display.reinit_failures++;
  KeepModeInForce();
  return false;
}

// ---------------------------------------------------------------------------------
// [autoscale]
// ---------------------------------------------------------------------------------

namespace {

void Neutral(ZyDisplay &d) {
  d.offset_x = d.offset_y = 0.0f;
  d.scale_x = d.scale_y = 1.0f;
  d.inv_scale_x = d.inv_scale_y = 1.0f;
}

// A fixed device screen turned away from its buffer's orientation; a desktop window is
// never turned.
bool Rotated(void) {
  return zy::display.fixed_display &&
         IsPortrait(zy::core.orientation) != IsPortrait(zy::display.native_orientation);
}

// 4x4 row-major product out = a x b.
void Multiply(float out[16], const float a[16], const float b[16]) {
  float r[16];
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      float sum = 0.0f;
      for (int k = 0; k < 4; k++) sum += a[i * 4 + k] * b[k * 4 + j];
      r[i * 4 + j] = sum;
    }
  memcpy(out, r, sizeof r);
}

void Identity(float m[16]) {
  memset(m, 0, 16 * sizeof(float));
  m[0] = m[5] = m[10] = m[15] = 1.0f;
}

void Translation(float m[16], float x, float y) {
  Identity(m);
  m[3] = x;
  m[7] = y;
}

}  // namespace

void ZYI_SurfaceSize(int32_t *width, int32_t *height) {
  int w = 0, h = 0;
  if (!ZYH_WindowSize(&w, &h) || w <= 0 || h <= 0) {
    w = zy::core.applied_parms.width;
    h = zy::core.applied_parms.height;
  }
  *width = w;
  *height = h;
}

void ZYI_SetupAutoscaling(void) {
  ZyDisplay &d = zy::display;
  ZY_ProgramInterface *prog = zy::core.prog;
  d.retain_aspect = ZYI_IsFeatureEnabled("AUTOSCALE_RETAIN_ASPECT_RATIO") ? 1 : 0;
  if (!d.autoscale || !prog) {
    Neutral(d);
    return;
  }
  ZY_DisplaySettings &p = prog->parms;
  ZY_Log(ZY_LOG_SYSTEM, "Setting up autoscaling from %dx%d -> %dx%d.", p.reference_width,
         p.reference_height, p.width, p.height);
  if (p.reference_width <= 0 || p.reference_height <= 0) {
    // Nothing to scale from: dividing by a zero reference would give infinite scales.
    ZY_Log(ZY_LOG_WARNING, "No reference resolution set, autoscaling turned off.");
    d.autoscale = 0;
    Neutral(d);
    return;
  }
  if (p.reference_width == p.width && p.reference_height == p.height) {
    ZY_Log(ZY_LOG_SYSTEM, "Target resolution matches source, no need for scaling.");
    d.autoscale = 0;
    Neutral(d);
    return;
  }
  // From here on the program draws in its reference coordinates.
  p.width = d.requested_width = p.reference_width;
  p.height = d.requested_height = p.reference_height;
  ZYI_UpdateAutoscaling();
  ZY_Log(ZY_LOG_SYSTEM, "Offset x=%.2f y=%.2f", d.offset_x, d.offset_y);
  ZY_Log(ZY_LOG_SYSTEM, "Scale x=%.2f y=%.2f", d.scale_x, d.scale_y);
}

void ZYI_UpdateAutoscaling(void) {
  ZyDisplay &d = zy::display;
  ZY_ProgramInterface *prog = zy::core.prog;
  if (!d.autoscale || !prog) return;
  int32_t rw = prog->parms.reference_width, rh = prog->parms.reference_height;
  int32_t sw, sh;
  ZYI_SurfaceSize(&sw, &sh);
  if (rw <= 0 || rh <= 0 || sw <= 0 || sh <= 0) return;  // keep the last good values
  if (Rotated()) {
    int32_t t = sw;
    sw = sh;
    sh = t;
  }
  float sx = (float)sw / (float)rw, sy = (float)sh / (float)rh;
  if (d.retain_aspect) sx = sy = sx < sy ? sx : sy;
  d.scale_x = sx;
  d.scale_y = sy;
  d.offset_x = truncf(((float)sw - (float)rw * sx) * 0.5f);
  d.offset_y = truncf(((float)sh - (float)rh * sy) * 0.5f);
  d.inv_scale_x = 1.0f / sx;
  d.inv_scale_y = 1.0f / sy;
}

bool ZYI_AutoscaleActive(void) { return zy::display.autoscale != 0; }

bool ZYI_AutoscaleTransform(float *scale_x, float *scale_y, float *offset_x, float *offset_y) {
  if (!ZYI_AutoscaleActive()) return false;
  *scale_x = zy::display.scale_x;
  *scale_y = zy::display.scale_y;
  *offset_x = zy::display.offset_x;
  *offset_y = zy::display.offset_y;
  return true;
}

void ZYI_AutoscalePoint(int32_t *x, int32_t *y) {
  const ZyDisplay &d = zy::display;
  if (!d.autoscale) return;
  float px = truncf((float)*x - d.offset_x), py = truncf((float)*y - d.offset_y);
  *x = (int32_t)(px * d.inv_scale_x);
  *y = (int32_t)(py * d.inv_scale_y);
}

void ZYI_FrameTransform(float angle_degrees, float out[16]) {
  const ZyDisplay &d = zy::display;
  // Centre on the real surface: it follows every reinitialisation, while a desktop's
  // screen size is only taken once at start-up.
  int32_t sw, sh;
  if (d.fixed_display) {
    sw = d.screen_width;
    sh = d.screen_height;
  } else {
    ZYI_SurfaceSize(&sw, &sh);
  }
  const ZY_DisplaySettings &p = zy::core.prog ? zy::core.prog->parms : zy::core.current_parms;

  float m[16], step[16];
  Translation(m, (float)sw * 0.5f, (float)sh * 0.5f);
  if (d.autoscale) {
    float sx = d.scale_x, sy = d.scale_y;
    if (Rotated()) {
      float t = sx;
      sx = sy;
      sy = t;
    }
    Identity(step);
    step[0] = sx;
    step[5] = sy;
    Multiply(m, m, step);
  }
  if (Rotated()) {
    float a = angle_degrees * 3.14159265358979f / 180.0f;
    Identity(step);
    step[0] = cosf(a);
    step[1] = -sinf(a);
    step[4] = sinf(a);
    step[5] = cosf(a);
    Multiply(m, m, step);
  }
  Translation(step, -(float)p.width * 0.5f, -(float)p.height * 0.5f);
  Multiply(out, m, step);
}

void ZYI_DrawBars(void) {
  const ZyDisplay &d = zy::display;
  bool turning = zy::core.orientation != zy::core.target_orientation;
  bool sides = d.offset_x > 0.0f || turning;
  bool top_bottom = d.offset_y > 0.0f || turning;
  if (!sides && !top_bottom) return;
  // Drawn through the table the program holds, like the program's own drawing.
  ZY_ProgramInterface *prog = zy::core.prog;
  ZY_EngineInterface *t = prog ? prog->zy : nullptr;
  if (!t || !t->DrawRect) return;
  float w = (float)prog->parms.width, h = (float)prog->parms.height;
  if (t->SetAlpha) t->SetAlpha(1.0f);
  if (t->SetColor) t->SetColor(0.0f, 0.0f, 0.0f);
  if (t->SetBlendMode) t->SetBlendMode(0);
  if (sides) {
    t->DrawRect(w, 0.0f, w, h);
    t->DrawRect(-w, 0.0f, w, h);
  }
  if (top_bottom) {
    t->DrawRect(0.0f, h, w, h);
    t->DrawRect(0.0f, -h, w, h);
  }
  if (t->SetColor) t->SetColor(1.0f, 1.0f, 1.0f);
}
