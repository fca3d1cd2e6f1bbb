// font_data.cpp — a font's glyph memory and the code point index of UTF-8 fonts.
//
// A UTF-8 font may hold thousands of glyphs (a CJK font about 3,000) and is searched for
// every character each time text is measured or drawn, so the glyphs are indexed once: an
// open-addressing hash table of (code, glyph) pairs, twice as large as the glyph count
// (a power of two), filled in glyph order and keeping only the first glyph of a code. A
// lookup finds the same glyph a search in glyph order would, in one or two probes.
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

// Spreads the bits of a code point over the table (Fibonacci hashing).
uint32_t Slot(int32_t code, uint32_t mask) { return ((uint32_t)code * 2654435769u >> 7) & mask; }

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
  free(font->atlas.name);
  font->atlas.name = nullptr;
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
  uint32_t size = 2;
  while (size < 2u * (uint32_t)font->glyph_count) size <<= 1;
  font->index = (ZyGlyphIndexEntry *)malloc(sizeof(ZyGlyphIndexEntry) * size);
  if (!font->index) return false;
  for (uint32_t i = 0; i < size; i++) font->index[i].glyph = -1;
  for (int32_t i = 0; i < font->glyph_count; i++) {
    int32_t code = font->glyphs[i].code;
    uint32_t s = Slot(code, size - 1);
    while (font->index[s].glyph >= 0 && font->index[s].code != code) s = (s + 1) & (size - 1);
    if (font->index[s].glyph >= 0) continue;  // a later glyph of the same code is never found
    font->index[s].code = code;
    font->index[s].glyph = i;
  }
  font->index_count = (int32_t)size;
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
  uint32_t mask = (uint32_t)font->index_count - 1;
  for (uint32_t s = Slot(code, mask);; s = (s + 1) & mask) {
    const ZyGlyphIndexEntry &e = font->index[s];
    if (e.glyph < 0) return nullptr;
    if (e.code == code) return &font->glyphs[e.glyph];
  }
}
