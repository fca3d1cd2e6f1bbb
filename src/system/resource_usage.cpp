// resource_usage.cpp — what the resources hold in memory: the estimates a program can
// read as key states, and the resource report written to the log.
//
// A bitmap counts its pixel buffer in system memory when it keeps one, and the same size
// again on the GPU when it has a texture (the renderer keeps the texels at the size the
// buffer was allocated). Sounds larger than 4 MiB are taken to be music, which streams,
// and count nothing; a sound counts the size of the file it was loaded from. The
// estimates are stored in bytes (up to 2 GiB) as the key states 2001 (system memory),
// 2002 (GPU memory), 2003 (GPU memory of textures whose sides are not powers of two),
// 2004 (sounds) and 2005 (everything), which the memory graph of the diagnostics draws.
#include "system/system.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/engine_table.h"
#include "base/locks.h"
#include "base/log.h"
#include "engine/bitmaps.h"
#include "font/fonts.h"
#include "fs/fs.h"
#include "sound/sound.h"

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
  double font_sys = 0, font_gpu = 0, gpu_npot = 0;
};

bool PowerOfTwo(int32_t n) { return n > 0 && (n & (n - 1)) == 0; }

// Bytes of a file through the file layer (0 when it does not open).
double FileBytes(const char *name) {
  ZY_File *f = name ? ZY_OpenFile(name, "rb") : nullptr;
  if (!f) return 0;
  ZY_SeekFile(f, 0, SEEK_END);
  double bytes = (double)ZY_TellFile(f);
  ZY_CloseFile(f);
  return bytes < 0 ? 0 : bytes;
}

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
    if (!PowerOfTwo(bm.alloc_width) || !PowerOfTwo(bm.alloc_height)) t.gpu_npot += gpu;
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

const double MUSIC_BYTES = 4.0 * 1024 * 1024;  // larger sounds are music and count nothing

// Sounds: every loaded sound, at the size of the file that loaded it.
double CountSounds(std::vector<Usage> *hogs, bool report) {
  double total = 0;
  ZYI_Lock(ZYI_LOCK_GET_SOUND);
  const ZySounds &s = zy::sounds;
  for (int32_t i = 0; i < s.count && i < ZYI_MAX_SOUNDS; i++) {
    const ZY_Sound &sound = s.table[i];
    if (!sound.name || sound.name[0] == '!' || sound.cache_mode == 0) continue;
    double bytes = FileBytes(s.file_names[i] ? s.file_names[i] : sound.name);
    if (bytes > MUSIC_BYTES) {
      if (report) ZY_Log(ZY_LOG_SYSTEM, "Assuming Sound #%.3d '%s' is music and not counting its memory", i, sound.name);
      bytes = 0;
    } else if (report) {
      ZY_Log(ZY_LOG_SYSTEM, "Sound #%.3d '%s' sysmem=%.1fKB", i, sound.name, bytes / 1024.0);
    }
    total += bytes;
    if (hogs) hogs->push_back({"SND", sound.name, bytes, 0, 0});
  }
  ZYI_Unlock(ZYI_LOCK_GET_SOUND);
  return total;
}

// Fonts: their atlases, in system memory while they keep pixels and on the GPU once
// uploaded.
void CountFonts(Totals &t, std::vector<Usage> *hogs, bool report) {
  ZYI_Lock(ZYI_LOCK_GET_FONT);
  const ZyFonts &f = zy::fonts;
  for (int32_t i = 0; i < f.count && i < ZYI_MAX_FONTS; i++) {
    const ZY_Font &font = f.table[i];
    if (!font.name) continue;
    const ZY_Bitmap &a = font.atlas;
    const double size = (double)a.alloc_width * (double)a.alloc_height * 4.0;
    const double sys = a.pixels ? size : 0, gpu = a.hw.on_gpu ? size : 0;
    t.font_sys += sys;
    t.font_gpu += gpu;
    if (gpu && (!PowerOfTwo(a.alloc_width) || !PowerOfTwo(a.alloc_height))) t.gpu_npot += gpu;
    if (report && sys)
      ZY_Log(ZY_LOG_SYSTEM, "Font #%.3d '%s' sysmem=%.1fKB gpumem=%.1fKB ", i, font.name, sys / 1024.0, gpu / 1024.0);
    else if (report)
      ZY_Log(ZY_LOG_SYSTEM, "Font #%.3d '%s' gpumem=%.1fKB ", i, font.name, gpu / 1024.0);
    if (hogs) hogs->push_back({"FNT", font.name, sys + gpu, 0, 0});
  }
  ZYI_Unlock(ZYI_LOCK_GET_FONT);
  t.fonts = t.font_sys + t.font_gpu;
}

int32_t Bytes(double bytes) { return bytes >= 2147483647.0 ? 2147483647 : (int32_t)bytes; }

}  // namespace

void ZYI_RefreshMemUsageEstimates(void) {
  Totals t;
  CountBitmaps(t, nullptr, false);
  t.sounds = CountSounds(nullptr, false);
  CountFonts(t, nullptr, false);
  ZY_EngineInterface *table = ZYI_EngineInterface();
  if (!table || !table->SetKeyState) return;
  const double values[5] = {t.bitmap_sys + t.font_sys + t.sounds, t.bitmap_gpu + t.font_gpu,
                            t.gpu_npot, t.sounds,
                            t.bitmap_sys + t.bitmap_gpu + t.fonts + t.sounds};
  for (int i = 0; i < 5; i++) table->SetKeyState(ZYI_KEY_MEM_ESTIMATES + i, Bytes(values[i]));
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
  CountFonts(t, &hogs, true);
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
