// font_source_fuzz.cpp — libFuzzer target: font generation from arbitrary source files.
//
// Each input becomes the source f.mft.xml in a scratch game folder that also holds a small
// glyph sheet (s.png, s@2x.png) and a strings file (strings.xml), so inputs can reach the
// sheet cutter, the scaled-input choice, the UTF-8 glyph set and, through an absolute
// "ttf" path, FreeType. The font is generated at scale 1 and freed; the checks below hold
// for every font generation accepts. Popups stay silent (no program is loaded).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "base/locks.h"
#include "base/state.h"
#include "base/threads.h"
#include "config/didodoz.h"
#include "font/generate.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"

static std::string g_dir;

static void WriteScratch(const std::string &name, const void *data, size_t size) {
  FILE *f = fopen((g_dir + "/" + name).c_str(), "wb");
  if (!f) abort();
  fwrite(data, 1, size, f);
  fclose(f);
}

static void RemoveScratch(void) {
  for (const char *name : {"f.mft.xml", "s.png", "s@2x.png", "strings.xml"}) unlink((g_dir + "/" + name).c_str());
  rmdir(g_dir.c_str());
}

// A sheet of a few glyph blocks, made once with the image loader.
static void WriteSheet(const char *name, int32_t scale) {
  ZY_Bitmap sheet = {};
  ZYI_GetImageLoader()->AllocateImagePixels(&sheet, 24 * scale, 8 * scale);
  sheet.flags = ZY_BITMAP_HAS_ALPHA;
  uint8_t *px = (uint8_t *)sheet.pixels;
  for (int32_t i = 0; i < sheet.width * sheet.height; i++) {
    int32_t x = i % sheet.width / scale, y = i / sheet.width / scale;
    bool ink = y > 0 && y < 7 && (x % 5 == 1 || (x % 5 == 2 && y > 3));
    px[i * 4] = (uint8_t)(x * 9), px[i * 4 + 1] = (uint8_t)(y * 30), px[i * 4 + 2] = 200;
    px[i * 4 + 3] = ink ? (uint8_t)(128 + y * 16) : 0;
  }
  ZYI_GetImageLoader()->SaveImage(&sheet, (g_dir + "/" + name).c_str(), 0);
  ZYI_GetImageLoader()->FreeImagePixels(&sheet);
}

static void Setup(void) {
  char path[] = "/tmp/zylem-fontsrc-fuzz-XXXXXX";
  if (!mkdtemp(path)) abort();
  g_dir = path;
  atexit(RemoveScratch);
  ZYI_ThreadsInit();
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  ZYH_SetGameFolder(g_dir.c_str());
  if (!ZYFS_Init() || !ZYI_InitImageLoader()) abort();
  ZY_AddSearchPath("res://", true);
  zy::core.table_built = 1;  // the source is read through the file system
  WriteSheet("s.png", 1);
  WriteSheet("s@2x.png", 2);
  const char strings[] = "<?xml version=\"1.0\"?><s><array id=\"STRINGS\"><node id=\"A\" to=\"\xe4\xbd\xa0\xc3\xa9\"/></array></s>";
  WriteScratch("strings.xml", strings, sizeof strings - 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 16)) return 0;
  if (g_dir.empty()) Setup();
  WriteScratch("f.mft.xml", data, size);
  ZY_Font font = {};
  font.name = strdup("f.mft");
  font.scale = 1.0f;
  if (!ZYI_FontSetGlyphCount(&font, 256)) abort();
  if (ZYI_GenerateFontFromSource(&font, 1.0f)) {
    if (font.baseline != font.height - 2) abort();
    for (int32_t i = 0; i < font.glyph_count; i++) {
      const ZY_Bitmap &p = font.glyphs[i].picture;
      if (p.pixels && (p.width < 1 || p.height < 1 || p.height > font.height)) abort();
      if (!font.utf8 && !font.glyphs[i].kern) abort();
      if (i > 0 && font.utf8 && font.glyphs[i - 1].code >= font.glyphs[i].code) abort();
    }
  }
  ZYI_FontFreeData(&font);
  free(font.name);
  ZYI_DidodozFree();  // the next input is read afresh
  return 0;
}
