// text_markup_fuzz.cpp — libFuzzer target: text layout and drawing over arbitrary text.
//
// The first byte picks the font (LATIN-1 or UTF-8, each with glyphs for every byte or a
// few code points), the alignment flags and the wrap width; the rest (at most 2047
// bytes) is the text, with its tags, drawn and measured. Bitmaps named by image tags are
// answered with one fixed bitmap, so no file is looked for. Nothing may read outside
// the text or the font, and a measured width must be finite.
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "font/fonts.h"
#include "lifecycle/interface_table.h"

namespace {

ZY_Bitmap image;
ZY_Bitmap *FixedBitmap(const char *) { return &image; }
void NoDraw(ZY_Bitmap *, float, float, float, float) {}

void Build(ZY_Font *f, bool utf8) {
  memset(f, 0, sizeof *f);
  f->name = strdup(utf8 ? "fuzz-utf8" : "fuzz-latin");
  f->utf8 = utf8, f->scale = 1, f->height = 8, f->baseline = 6, f->line_height = 10;
  ZYI_FontSetGlyphCount(f, utf8 ? 40 : 256);
  for (int i = 0; i < f->glyph_count; i++) {
    ZyGlyph &g = f->glyphs[i];
    g.code = utf8 ? (i < 20 ? 32 + i * 3 : 0x4E00 + i) : i;
    g.advance = (int16_t)(3 + i % 5);
    ZYI_GlyphSetPicture(&g, 2 + i % 3, 3 + i % 4);
    if (!utf8 && ZYI_GlyphEnsureKerning(f, &g)) g.kern[(i * 7) % 256] = (int8_t)(i % 5 - 2);
  }
  ZYI_FontBuildIndex(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool ready = false;
  if (!ready) {
    zy::log.verbose_level = 8;  // every line and popup is dropped before formatting
    ZY_EngineInterface *table = ZYI_BuildEngineInterface();
    table->GetBitmap = FixedBitmap;
    table->DrawBitmapEx = NoDraw;
    image.width = 12, image.height = 9;
    ZYI_FontsInit();
    Build(&zy::fonts.table[0], false);
    Build(&zy::fonts.table[1], true);
    zy::fonts.count = 2;
    ready = true;
  }
  if (size < 1 || size > ZYI_TEXT_FORMAT_SIZE) return 0;
  ZY_Font *font = &zy::fonts.table[data[0] & 1];
  ZY_SetTextFlags(data[0] >> 1 & 15);
  ZY_SetTextMaxWidth((float)(data[0] >> 5) * 20.0f);
  ZY_SetTextTransform((data[0] & 0x40) ? 2.0f : 1.0f, 1.0f, (data[0] & 0x80) ? 0.5f : 0.0f);
  char *text = (char *)malloc(size);  // exactly the text and its zero: overreads show
  memcpy(text, data + 1, size - 1);
  text[size - 1] = 0;
  float w = 0, h = 0;
  ZYI_MeasureTextString(font, text, &w, &h);
  if (!isfinite(w) || !isfinite(h) || w < 0 || h < 0) abort();
  ZYI_DrawTextString(font, 10, 10, text);
  free(text);
  return 0;
}
