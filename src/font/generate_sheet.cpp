// generate_sheet.cpp — fonts cut out of bitmap sheets.
//
// A sheet holds the glyphs in one row, separated by fully transparent columns, in the
// order of the source's "glyphs" array; a glyph made of several ink blocks (a double
// quote drawn as two ticks) declares how many with "span". Sheets may come drawn at
// several scales (INPUT, INPUT@2x, INPUT@1/2): the one matching the output scale is
// taken, or the closest larger one, resized to fit.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "font/generate_internal.h"
#include "image/image_loader.h"
#include "image/resize.h"

namespace {

bool Near(float a, float b, float tolerance) { return a - b < tolerance && b - a < tolerance; }

// The scale an INPUT node's id names: 1.0 for "INPUT", else the text after "INPUT@"
// without its "x" letters; 0 when unreadable.
float InputScale(const char *id) {
  if (strcmp(id, "INPUT") == 0) return 1.0f;
  const char *at = strchr(id, '@');
  if (!at) return 0.0f;
  char text[64];
  size_t n = 0;
  for (const char *s = at + 1; *s && n + 1 < sizeof text; s++)
    if (*s != 'x') text[n++] = *s;
  text[n] = '\0';
  float scale = 0.0f;
  return ZYI_FontParseScale(text, &scale) ? scale : 0.0f;
}

// The sheet's pixels viewed as columns and row segments.
struct Sheet {
  const uint8_t *bytes;
  int32_t width, height;
  bool Ink(int32_t x, int32_t y) const { return bytes[((size_t)y * width + x) * 4 + 3] != 0; }
  bool ColumnEmpty(int32_t x, int32_t top, int32_t bottom) const {
    for (int32_t y = top; y < bottom; y++)
      if (Ink(x, y)) return false;
    return true;
  }
  bool RowEmpty(int32_t y, int32_t x0, int32_t x1) const {
    for (int32_t x = x0; x < x1; x++)
      if (Ink(x, y)) return false;
    return true;
  }
};

}  // namespace

bool ZYI_FontExtractGlyphs(ZY_Font *font, const ZyFontSource *src, const uint32_t *pixels,
                           int32_t width, int32_t height) {
  Sheet sheet = {(const uint8_t *)pixels, width, height};
  int32_t top = 0, bottom = height;  // bottom exclusive
  while (top < height && sheet.RowEmpty(top, 0, width)) top++;
  if (top == height) {
    ZY_Popup(ZY_LOG_WARNING, "No pixels found in font '%s' input bitmap.\n", font->name);
    return false;
  }
  while (sheet.RowEmpty(bottom - 1, 0, width)) bottom--;

  int32_t cursor = 0, count = ZYI_DidodozNodeCount(src->glyphs);
  for (int32_t n = 0; n < count; n++) {
    const ZyDidodozNode *node = ZYI_DidodozNodeAt(src->glyphs, n);
    if (!node->id) {
      ZY_Popup(ZY_LOG_WARNING, "No id defined for glyph #%d in font '%s'\n", n, font->name);
      continue;
    }
    int32_t id = atoi(node->id);
    if (id < 32 || id > 255) {
      ZY_Popup(ZY_LOG_WARNING, "Font '%s' Glyph #%d index %d is out of bounds\n", font->name, n, id);
      continue;
    }
    ZyGlyph &glyph = font->glyphs[id];
    const char *spacing_text = ZYI_DidodozGetAttribute(node, "spacing");
    float spacing = spacing_text ? (float)atof(spacing_text) : 0.0f;
    int32_t own = ZYI_FontTruncate((double)spacing * src->scale + 0.5);
    if (spacing > 0 && own < 1) own = 1;
    const char *span_text = ZYI_DidodozGetAttribute(node, "span");
    int32_t span = span_text ? atoi(span_text) : 1;
    if (span == 0) {
      glyph.x_offset = 0;
      glyph.advance = ZYI_FontClamp16((int64_t)own + src->spacing);
      continue;
    }
    if (cursor >= width) {
      ZY_Popup(ZY_LOG_WARNING, "Input bitmap for '%s' contains %d glyphs LESS than the XML definition file!\n",
               font->name, count - n);
      return false;
    }
    while (cursor < width && sheet.ColumnEmpty(cursor, top, bottom)) cursor++;
    int32_t x0 = cursor;
    for (int32_t s = 0; s < span; s++) {
      while (cursor < width && sheet.ColumnEmpty(cursor, top, bottom)) cursor++;
      while (cursor < width && !sheet.ColumnEmpty(cursor, top, bottom)) cursor++;
    }
    int32_t x1 = cursor, y0 = top, y1 = bottom;
    while (y0 < bottom && sheet.RowEmpty(y0, x0, x1)) y0++;
    while (y1 > y0 && sheet.RowEmpty(y1 - 1, x0, x1)) y1--;
    if (y1 <= y0) {
      ZY_Popup(ZY_LOG_WARNING,
               "Sanity check failed for glyph (%d/%d): glyph_end_y <= glyph_start_y (%d <= %d). X0=%d X1=%d. Hint: check the (\") character on different inputs.\n",
               n, count, y1, y0, x0, x1);
      return false;
    }
    if (!ZYI_GlyphSetPicture(&glyph, x1 - x0, y1 - y0)) return false;
    for (int32_t y = y0; y < y1; y++)
      memcpy(glyph.picture.pixels + (size_t)(y - y0) * (x1 - x0), pixels + (size_t)y * width + x0,
             (size_t)(x1 - x0) * 4);
    glyph.x_offset = 0;
    glyph.y_offset = ZYI_FontClamp16(y0 - top);
    glyph.advance = ZYI_FontClamp16((int64_t)own + src->spacing + (x1 - x0));
  }

  int32_t unused = 0;
  for (bool inside = false; cursor < width; cursor++) {
    bool ink = !sheet.ColumnEmpty(cursor, top, bottom);
    if (ink && !inside) unused++;
    inside = ink;
  }
  if (unused > 0)
    ZY_Popup(ZY_LOG_WARNING,
             "Input bitmap for '%s' has %d unused pixel blocks - all glyphs may not have been read properly! Hint: check the (\") character on different inputs.\n",
             font->name, unused);
  return true;
}

bool ZYI_FontGlyphsFromSheet(ZY_Font *font, ZyFontSource *src) {
  // The sheet drawn at the output scale, else the closest one to start from.
  const ZyDidodozNode *chosen = nullptr;
  float chosen_scale = 0.0f;
  for (int32_t n = 0; n < ZYI_DidodozNodeCount(src->settings); n++) {
    const ZyDidodozNode *node = ZYI_DidodozNodeAt(src->settings, n);
    if (!node->id || strncmp(node->id, "INPUT", 5) != 0 || !ZYI_DidodozGetAttribute(node, "bitmap"))
      continue;
    float scale = InputScale(node->id);
    if (scale <= 0) continue;  // an unreadable scale names no usable sheet
    if (Near(scale, src->scale, 0.01f)) {
      chosen = node, chosen_scale = scale;
      break;
    }
    if (!chosen || (chosen_scale < scale && chosen_scale < src->scale)) chosen = node, chosen_scale = scale;
  }
  if (!chosen) return false;
  ZY_Print("Selecting bitmap input '%s' for scale %.2fx (closest match).\n", chosen->id,
           (double)src->scale);
  float adjusted = src->scale / chosen_scale;
  if (Near(adjusted, 1.0f, 0.01f)) adjusted = 1.0f;
  ZY_Print("Adjusted scale with %s is %g.\n", chosen->id, (double)adjusted);

  char path[ZYI_FONT_SOURCE_PATH];
  const char *bitmap = ZYI_DidodozGetAttribute(chosen, "bitmap");
  if (!ZYI_FontSourceFile(src, bitmap, path, sizeof path)) return false;
  ImageLoader *loader = ZYI_GetImageLoader();
  ZY_Bitmap sheet = {}, resized = {};
  if (!loader || !loader->LoadImage(&sheet, path) || !sheet.pixels) {
    if (loader) loader->FreeImagePixels(&sheet);
    ZY_Popup(ZY_LOG_WARNING, "Unable to open image file '%s'. Make sure the file '%s' exist.\n", path, path);
    return false;
  }
  ZY_Bitmap *use = &sheet;
  bool ok = true;
  if (!Near(adjusted, 1.0f, 0.000001f)) {
    int32_t w = ZYI_FontTruncate((double)sheet.width * adjusted);
    int32_t h = ZYI_FontTruncate((double)sheet.height * adjusted);
    ok = w > 0 && h > 0 && w <= 65536 && h <= 65536 && ZYI_CreateImageResized(&resized, &sheet, w, h);
    use = &resized;
  }
  font->utf8 = 0;
  ok = ok && ZYI_FontSetGlyphCount(font, ZYI_FONT_DEFAULT_GLYPHS);
  if (ok) {
    ZYI_FillTransparentPixels(use);
    ok = src->glyphs && ZYI_FontExtractGlyphs(font, src, use->pixels, use->width, use->height);
    if (!ok) src->reason = ZYI_FONT_REASON_GLYPHS;
  }
  loader->FreeImagePixels(&sheet);
  if (resized.pixels) loader->FreeImagePixels(&resized);
  return ok;
}
