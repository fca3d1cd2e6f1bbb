// diagnostics.cpp — frame rate, memory graph, frame-time graph, resource listing, bitmap
// reload and the information panel, each bound to a function key in developer mode.
#include "console/diagnostics.h"

#include <stdio.h>
#include <string.h>

#include "base/core_block.h"
#include "base/engine_table.h"
#include "base/locks.h"
#include "config/config.h"
#include "console/console_internal.h"
#include "engine/bitmaps.h"

ZyDiagnostics zy::diagnostics;  // engine state: rate, memory series, frame-time ring

namespace {

constexpr int32_t kF1 = 112, kF2 = 113, kF3 = 114, kF4 = 115, kF5 = 116, kF6 = 117;
constexpr int32_t kTotalMemory = 2005, kGpuMemory = 2002, kGpuNpotMemory = 2003;
constexpr double kMegabyte = 1048576.0;

ZyDiagnosticsInfoSource info_source;  // wiring, not state: kept across resets

bool Held(ZY_EngineInterface *t, int32_t key) { return t->GetKeyState(key) & ZY_KEY_STATE_DOWN; }
bool Pressed(ZY_EngineInterface *t, int32_t key) {
  return t->GetKeyState(key) & ZY_KEY_STATE_PRESSED;
}

void CountFrame(float seconds) {
  ZyDiagnostics &d = zy::diagnostics;
  d.frames++;
  d.seconds += seconds;
  if (d.seconds > 1.5f) {
    d.rate = (float)d.frames / d.seconds;
    d.frames = 0;
    d.seconds = 0;
  }
}

void ShowFps(ZY_EngineInterface *t, ZY_Font *font) {
  float w = 0, h = 0;
  t->GetTextSize(font, &w, &h, "%.0f", zy::diagnostics.rate);
  t->SetColor(0, 0, 0);
  t->SetAlpha(0.8f);
  t->DrawRect(1, 1, w + 2, h + 2);
  t->SetColor(1, 1, 1);
  t->SetAlpha(1);
  t->DrawText(font, 2, 2, "%.0f", zy::diagnostics.rate);
}

void Push(ZyMemorySeries &s, double value) {
  if (s.count == ZYI_DIAG_SAMPLES) {
    memmove(s.samples, s.samples + 1, sizeof(double) * (ZYI_DIAG_SAMPLES - 1));
    s.count--;
  }
  s.samples[s.count++] = value;
  if (value > s.peak) s.peak = value;
}

void DropOldest(ZyMemorySeries &s) {
  if (s.count == 0) return;
  memmove(s.samples, s.samples + 1, sizeof(double) * (size_t)(s.count - 1));
  s.count--;
}

void SampleMemory(ZY_EngineInterface *t) {
  if (t->GetSystemValue) t->GetSystemValue("RefreshMemUsageEstimates", "");
  double total = t->GetKeyState(kTotalMemory);
  ZyDiagnostics &d = zy::diagnostics;
  // A flat line says nothing new: no sample while the last four totals equal this one.
  if (d.total.count >= 4) {
    bool same = true;
    for (int32_t i = d.total.count - 4; i < d.total.count; i++)
      same = same && d.total.samples[i] == total;
    if (same) return;
  }
  Push(d.total, total);
  Push(d.gpu, t->GetKeyState(kGpuMemory));
  Push(d.gpu_npot, t->GetKeyState(kGpuNpotMemory));
}

void MemoryGraph(ZY_EngineInterface *t, ZY_Font *font, float width, float height) {
  ZyDiagnostics &d = zy::diagnostics;
  float label_width = t->GetTextWidth(font, "GPU 100.1 MB (peak 100.1 MB)");
  while (d.total.count > 0 && width - 88 - label_width < 2.0f * (float)d.total.count) {
    DropOldest(d.total);
    DropOldest(d.gpu);
    DropOldest(d.gpu_npot);
  }
  t->SetColor(0, 0, 0);
  t->SetAlpha(0.6f);
  t->DrawRect(0, 0, width, height);
  t->SetAlpha(1);
  double largest = 0;
  const ZyMemorySeries *series[3] = {&d.total, &d.gpu, &d.gpu_npot};
  for (const ZyMemorySeries *s : series)
    for (int32_t i = 0; i < s->count; i++)
      if (s->samples[i] > largest) largest = s->samples[i];
  double top_mb = largest / kMegabyte + 5;
  float base = height - 20;
  float per_mb = (float)((base - 20) / top_mb);
  t->SetColor(0.5f, 0.5f, 0.5f);
  t->DrawLine(44, base, width, base);
  for (int32_t mb = 5; mb < top_mb; mb += 5) {
    float y = base - (float)mb * per_mb;
    t->SetColor(0.3f, 0.3f, 0.3f);
    t->DrawLine(44, y, width, y);
    t->SetColor(0.7f, 0.7f, 0.7f);
    t->DrawText(font, 2, y - 8, "%d MB", mb);
  }
  static const float colours[3][3] = {{1, 1, 1}, {0.3f, 1, 0.3f}, {1, 0.6f, 0.2f}};
  static const char *labels[3] = {"Total mem %.1f MB (peak %.1f MB)", "GPU %.1f MB (peak %.1f MB)",
                                  "GPU NPOT %.1f MB (peak %.1f MB)"};
  for (int k = 0; k < 3; k++) {
    const ZyMemorySeries &s = *series[k];
    if (s.count == 0) continue;
    t->SetColor(colours[k][0], colours[k][1], colours[k][2]);
    float x = 44, y = base - (float)(s.samples[0] / kMegabyte) * per_mb;
    for (int32_t i = 1; i < s.count; i++) {
      float ny = base - (float)(s.samples[i] / kMegabyte) * per_mb;
      t->DrawLine(x, y, x + 2, ny);
      x += 2;
      y = ny;
    }
    t->DrawRect(x - 1, y - 1, 3, 3);
    t->DrawText(font, x + 6, y - 8, labels[k], s.samples[s.count - 1] / kMegabyte,
                s.peak / kMegabyte);
  }
}

void FrameTimeGraph(ZY_EngineInterface *t, ZY_Font *font, float width, float seconds) {
  ZyDiagnostics &d = zy::diagnostics;
  int32_t size = (int32_t)width - 20;
  if (size > ZYI_DIAG_SAMPLES) size = ZYI_DIAG_SAMPLES;
  if (size <= 0) return;
  if (d.frame_time_next >= size) d.frame_time_next = 0;
  d.frame_times[d.frame_time_next++] = seconds;
  float high = 0;
  for (int32_t i = 0; i < size; i++)
    if (d.frame_times[i] > high) high = d.frame_times[i];
  t->SetColor(0, 0, 0);
  t->SetAlpha(0.8f);
  t->DrawRect(10, 10, (float)size, 100);
  t->SetAlpha(1);
  t->SetColor(0, 1, 0);
  t->DrawText(font, 10, 10, "High: %dms", (int)(high * 1000));
  t->SetColor(1, 0, 0);
  t->SetAlpha(0.5f);
  t->DrawLine(10, 110 - 33, 10 + (float)size, 110 - 33);
  t->SetAlpha(1);
  t->SetColor(0, 1, 0);
  for (int32_t i = 1; i < size; i++)
    t->DrawLine(10 + (float)(i - 1), 110 - 1000 * d.frame_times[i - 1], 10 + (float)i,
                110 - 1000 * d.frame_times[i]);
}

// Every counted bitmap is reloaded: its cache mode goes to nothing and back.
void ReloadBitmaps(ZY_EngineInterface *t) {
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  int32_t count = zy::bitmaps.count;
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
  for (int32_t i = 0; i < count; i++) {
    ZY_Bitmap *b = &zy::bitmaps.table[i];
    if (!b->name || b->ref_count <= 0) continue;
    int32_t mode = b->cache_mode;
    t->SetBitmapCacheMode(b, 0);
    t->SetBitmapCacheMode(b, mode);
  }
}

const char *OrientationName(int32_t o) {
  if (o == 1 || o == 2) return "PORTRAIT";
  if (o == 4 || o == 8) return "LANDSCAPE";
  return "UNKNOWN";
}

void InfoPanel(ZY_EngineInterface *t, ZY_Font *font, float line) {
  ZyDiagnosticsInfo in;
  memset(&in, 0, sizeof in);
  if (info_source) info_source(&in);
  t->SetColor(0, 0, 0);
  t->SetAlpha(0.8f);
  t->DrawRect(0, 0, (float)in.desktop_width, 210);
  t->SetAlpha(1);
  t->SetColor(0.7f, 0.7f, 0.7f);
  static const float separators[3] = {190, 390, 590};
  for (float x : separators) t->DrawRect(x, 0, 1, 210);
  float x = 5, y = 5;
  auto heading = [&](float column, const char *text) {
    x = column;
    y = 5;
    t->SetColor(1, 1, 1);
    t->DrawText(font, x, y, "%s", text);
    y += line;
    t->SetColor(0.7f, 0.7f, 0.7f);
  };
  auto row = [&](const char *format, auto... args) {
    t->DrawText(font, x, y, format, args...);
    y += line;
  };
  heading(5, "Device Info:");
  row("Screen: %dx%d", in.screen_width, in.screen_height);
  row("Desktop: %dx%d", in.desktop_width, in.desktop_height);
  row("Orientation: %s", OrientationName(in.orientation));
  heading(205, "Boot Settings:");
  row("Screen: %dx%d (%s)", in.boot_width, in.boot_height, in.windowed ? "window" : "fullscreen");
  if (in.autoscaling) {
    row("%s", "Autoscaling");
    row("Scale X %.3f", in.scale_x);
    row("Scale Y %.3f", in.scale_y);
    row("Offset X %.3f", in.offset_x);
    row("Offset Y %.3f", in.offset_y);
  } else {
    row("%s", "Not autoscaling");
  }
  heading(405, "Program:");
  row("Current size %dx%d", in.current_width, in.current_height);
  row("Ref size %dx%d", in.reference_width, in.reference_height);
  row("Validated size %dx%d", in.validated_width, in.validated_height);
  row("Title: %s", in.title ? in.title : "");
  row("Version: %s", in.version ? in.version : "");
  heading(605, "System:");
  row("%s", in.platform ? in.platform : "");
}

}  // namespace

void ZYI_DiagnosticsSetInfoSource(ZyDiagnosticsInfoSource source) { info_source = source; }


void ZYI_DrawDiagnostics(float frame_seconds) {
  ZY_EngineInterface *t = ZYI_EngineInterface();
  if (!t || !t->DrawText || !t->GetKeyState) return;
  CountFrame(frame_seconds);
  ZyConsoleTextScope text_settings;
  ZY_Font *font = ZYI_ConsoleFont();
  if (font && zy::core.show_fps) ShowFps(t, font);
  if (zy::config.developer_mode) {
    ZyDiagnostics &d = zy::diagnostics;
    if (++d.frame_count % 30 == 0) SampleMemory(t);
    float width = (float)zy::core.applied_parms.width;
    float height = (float)zy::core.applied_parms.height;
    if (font) {
      if (Held(t, kF1)) {
        t->SetColor(1, 1, 1);
        t->DrawText(font, 100, 50, "%.0f", d.rate);
      }
      if (Held(t, kF2)) MemoryGraph(t, font, width, height);
      if (Held(t, kF3)) FrameTimeGraph(t, font, width, frame_seconds);
    }
    if (Pressed(t, kF4) && t->GetSystemValue) t->GetSystemValue("ListResourceUsage", "");
    if (Pressed(t, kF5)) ReloadBitmaps(t);
    if (font && (Held(t, kF6) || ZYI_IsFeatureEnabled("SHOW_INFO")))
      InfoPanel(t, font, ZYI_ConsoleLineHeight(font));
    t->SetColor(1, 1, 1);
    t->SetAlpha(1);
  }
  ZYI_ConsoleUpdate(frame_seconds);
  ZYI_ConsoleDraw();
}
