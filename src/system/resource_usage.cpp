// resource_usage.cpp — what the resources hold in memory: the estimates a program can
// read as key states, and the resource report written to the log.
//
// A bitmap counts its pixel buffer in system memory when it keeps one, and the same size
// again on the GPU when it has a texture (the renderer keeps the texels at the size the
// buffer was allocated). Sounds larger than 4 MiB are taken to be music, which streams,
// and count nothing. The estimates are stored in KiB, rounded, as the key states 2001
// (bitmaps in system memory), 2002 (bitmaps on the GPU), 2003 (fonts), 2004 (sounds) and
// 2005 (everything).
#include "system/system.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/engine_table.h"
#include "base/locks.h"
#include "base/log.h"
#include "engine/bitmaps.h"

namespace {

const size_t TOP_ENTRIES = 50;  // entries of the memory hogs list shown at most

// One entry of the memory hogs list.
struct Usage {
  const char *kind;   // "GFX", "SND", "FNT"
  std::string name;
  double bytes;
  int32_t width, height;  // 0 without a size
};

struct Totals {
  double bitmap_sys = 0, bitmap_gpu = 0, sounds = 0, fonts = 0;
};

// Bitmaps: every record that holds pixels or a texture. `report` writes their lines.
void CountBitmaps(Totals &t, std::vector<Usage> *hogs, bool report) {
  ZYI_Lock(ZYI_LOCK_GET_BITMAP);
  const ZyBitmaps &b = zy::bitmaps;
  for (int32_t i = 0; i < b.count && i < ZYI_MAX_BITMAPS; i++) {
    const ZY_Bitmap &bm = b.table[i];
    if (!bm.name || (!bm.pixels && !bm.hw.on_gpu)) continue;
    const double size = (double)bm.alloc_width * (double)bm.alloc_height * 4.0;
    const double sys = bm.pixels ? size : 0, gpu = bm.hw.on_gpu ? size : 0;
    t.bitmap_sys += sys;
    t.bitmap_gpu += gpu;
    if (report && bm.pixels)
      ZY_Log(ZY_LOG_SYSTEM, "Bitmap #%.3d %dx%d '%s' refc=%d sysmem=%.1fKB gpumem=%.1fKB texture=%dx%d",
             i, bm.width, bm.height, bm.name, bm.ref_count, sys / 1024.0, gpu / 1024.0,
             bm.alloc_width, bm.alloc_height);
    else if (report)
      ZY_Log(ZY_LOG_SYSTEM, "Bitmap #%.3d %dx%d '%s' refc=%d gpumem=%.1fKB  texture=%dx%d", i,
             bm.width, bm.height, bm.name, bm.ref_count, gpu / 1024.0, bm.alloc_width,
             bm.alloc_height);
    if (hogs && bm.hw.on_gpu) hogs->push_back({"GFX", bm.name, sys + gpu, bm.width, bm.height});
  }
  ZYI_Unlock(ZYI_LOCK_GET_BITMAP);
}

// Sounds: their lines and memory. The sound table joins with the sound subsystem; until
// then there is no sound to count.
double CountSounds(std::vector<Usage> *, bool) { return 0; }

// Fonts: their lines and memory. The font table joins with the font subsystem; until then
// there is no font to count.
double CountFonts(std::vector<Usage> *, bool) { return 0; }

int32_t KiB(double bytes) { return (int32_t)(bytes / 1024.0 + 0.5); }

}  // namespace

void ZYI_RefreshMemUsageEstimates(void) {
  Totals t;
  CountBitmaps(t, nullptr, false);
  t.sounds = CountSounds(nullptr, false);
  t.fonts = CountFonts(nullptr, false);
  ZY_EngineInterface *table = ZYI_EngineInterface();
  if (!table || !table->SetKeyState) return;
  const double values[5] = {t.bitmap_sys, t.bitmap_gpu, t.fonts, t.sounds,
                            t.bitmap_sys + t.bitmap_gpu + t.fonts + t.sounds};
  for (int i = 0; i < 5; i++) table->SetKeyState(ZYI_KEY_MEM_ESTIMATES + i, KiB(values[i]));
}

void ZYI_ListResourceUsage(void) {
  Totals t;
  std::vector<Usage> hogs;
  ZY_Log(ZY_LOG_SYSTEM, "Listing Resource Usage.");
  ZY_Log(ZY_LOG_SYSTEM, "\nBitmaps:");
  CountBitmaps(t, &hogs, true);
  ZY_Log(ZY_LOG_SYSTEM, "\nSounds:");
  t.sounds = CountSounds(&hogs, true);
  ZY_Log(ZY_LOG_SYSTEM, "\nFonts:");
  t.fonts = CountFonts(&hogs, true);
  const double bitmaps = t.bitmap_sys + t.bitmap_gpu;
  ZY_Log(ZY_LOG_SYSTEM, "Total %.1fKB allocated for bitmaps in (system+gpu) memory.", bitmaps / 1024.0);
  ZY_Log(ZY_LOG_SYSTEM, "Total %.1fKB allocated for sounds in system memory.", t.sounds / 1024.0);
  ZY_Log(ZY_LOG_SYSTEM, "Total %.1fKB allocated for fonts in (system+gpu) memory.", t.fonts / 1024.0);
  ZY_Log(ZY_LOG_SYSTEM, "Total %.1fKB allocated for all resources.",
         (bitmaps + t.sounds + t.fonts) / 1024.0);
  const ZySystemHooks &hooks = ZYI_SystemHooks();
  ZY_Log(ZY_LOG_SYSTEM, "ZYLEM state size is %.1fKB.",
         hooks.state_size ? (double)hooks.state_size() / 1024.0 : 0.0);

  std::stable_sort(hogs.begin(), hogs.end(),
                   [](const Usage &a, const Usage &b) { return a.bytes > b.bytes; });
  const size_t shown = std::min(hogs.size(), TOP_ENTRIES);
  ZY_Log(ZY_LOG_INFO, "TOP%d Memory Hogs", (int)shown);
  for (size_t i = 0; i < shown; i++) {
    const Usage &u = hogs[i];
    if (u.width)
      ZY_Log(ZY_LOG_INFO, "#%.3d %s %.0fKB %dx%d %s", (int)i + 1, u.kind, u.bytes / 1024.0,
             u.width, u.height, u.name.c_str());
    else
      ZY_Log(ZY_LOG_INFO, "#%.3d %s %.0fKB %s", (int)i + 1, u.kind, u.bytes / 1024.0,
             u.name.c_str());
  }
}
