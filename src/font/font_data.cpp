// font_data.cpp — a font's glyph memory and the code point index of UTF-8 fonts.
//
// A UTF-8 font may hold thousands of glyphs (a CJK font about 3,000) and is searched for
// every character each time text is measured or drawn, so the glyphs are indexed once:
// an array of (code, glyph) pairs sorted by code and then by glyph position. A binary
// search for the first pair of a code finds the same glyph a search in glyph order would
// (the first glyph with that code), in a dozen steps instead of thousands.
#include <stdlib.h>
#include <string.h>

#include "font/font.h"

namespace {

void FreeGlyph(ZyGlyph *g) {
  free(g->kern);
  g->kern = nullptr;
  free(g->picture.pixels);
  g->picture.pixels = nullptr;
}

int CompareIndexEntries(const void *a, const void *b) {
  const ZyGlyphIndexEntry *x = (const ZyGlyphIndexEntry *)a;
  const ZyGlyphIndexEntry *y = (const ZyGlyphIndexEntry *)b;
  if (x->code != y->code) return x->code < y->code ? -1 : 1;
  return x->glyph < y->glyph ? -1 : (x->glyph > y->glyph);
}

}  // namespace

void ZYI_FontFreeData(ZY_Font *font) {
  if (!font) return;
  for (int32_t i = 0; font->glyphs && i < font->glyph_count; i++) FreeGlyph(&font->glyphs[i]);
  free(font->glyphs);
  font->glyphs = nullptr;
  font->glyph_count = 0;
  free(font->index);
  font->index = nullptr;
  font->index_count = 0;
  free(font->atlas.pixels);
  font->atlas.pixels = nullptr;
}

bool ZYI_FontSetGlyphCount(ZY_Font *font, int32_t count) {
  for (int32_t i = 0; font->glyphs && i < font->glyph_count; i++) FreeGlyph(&font->glyphs[i]);
  free(font->glyphs);
  free(font->index);
  font->index = nullptr;
  font->index_count = 0;
  font->glyph_count = 0;
  font->glyphs = nullptr;
  if (count <= 0) return count == 0;
  font->glyphs = (ZyGlyph *)calloc((size_t)count, sizeof(ZyGlyph));
  if (!font->glyphs) return false;
  font->glyph_count = count;
  return true;
}

bool ZYI_GlyphSetPicture(ZyGlyph *glyph, int32_t width, int32_t height) {
  ZY_Bitmap &p = glyph->picture;
  free(p.pixels);
  memset(&p, 0, sizeof p);
  if (width < 1 || height < 1) return true;
  p.pixels = (uint32_t *)calloc((size_t)width * (size_t)height, 4);
  if (!p.pixels) return false;
  p.width = p.alloc_width = width;
  p.height = p.alloc_height = height;
  p.flags = ZY_BITMAP_HAS_ALPHA;
  p.state = ZY_BITMAP_STATE_READY;
  return true;
}

bool ZYI_GlyphEnsureKerning(ZY_Font *font, ZyGlyph *glyph) {
  if (glyph->kern) return true;
  if (font->glyph_count < 1) return false;
  glyph->kern = (int8_t *)calloc((size_t)font->glyph_count, 1);
  return glyph->kern != nullptr;
}

bool ZYI_FontBuildIndex(ZY_Font *font) {
  free(font->index);
  font->index = nullptr;
  font->index_count = 0;
  if (!font->utf8 || font->glyph_count < 1) return true;
  font->index = (ZyGlyphIndexEntry *)malloc(sizeof(ZyGlyphIndexEntry) * (size_t)font->glyph_count);
  if (!font->index) return false;
  for (int32_t i = 0; i < font->glyph_count; i++) {
    font->index[i].code = font->glyphs[i].code;
    font->index[i].glyph = i;
  }
  qsort(font->index, (size_t)font->glyph_count, sizeof(ZyGlyphIndexEntry), CompareIndexEntries);
  font->index_count = font->glyph_count;
  return true;
}

const ZyGlyph *ZYI_FontFindGlyph(const ZY_Font *font, int32_t code) {
  if (!font || !font->glyphs) return nullptr;
  if (!font->utf8) return code >= 0 && code < font->glyph_count ? &font->glyphs[code] : nullptr;
  if (!font->index) {
    // A font whose glyphs were changed without a new index is searched in order.
    for (int32_t i = 0; i < font->glyph_count; i++)
      if (font->glyphs[i].code == code) return &font->glyphs[i];
    return nullptr;
  }
  int32_t lo = 0, hi = font->index_count;  // first entry with code >= the one asked for
  while (lo < hi) {
    int32_t mid = lo + (hi - lo) / 2;
    if (font->index[mid].code < code)
      lo = mid + 1;
    else
      hi = mid;
  }
  if (lo < font->index_count && font->index[lo].code == code)
    return &font->glyphs[font->index[lo].glyph];
  return nullptr;
}
