// generate_ttf.cpp — fonts rasterised from TrueType faces with FreeType.
//
// Without a strings file the font is LATIN-1 with the 256 characters of the byte values.
// With one, the font becomes UTF-8 and holds exactly the characters the game's texts
// use: every "from"/"id" and "to" of the strings file, the additional characters the
// source lists, and always the letters, digits and common punctuation. Glyphs are drawn
// white; their anti-aliased coverage, strengthened by half, becomes the alpha.
//
// The face is read whole through the file layer (so it may live in a pak) and opened
// from memory. A face named by an absolute path is read from that native file: fonts
// installed on the system (/usr/share/fonts) serve as sources without being copied.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "base/log.h"
#include "base/popup.h"
#include "font/generate_internal.h"
#include "font/generate_progress.h"
#include "fs/fs.h"

namespace {

const int32_t CODE_LIMIT = 65536;     // code points a strings-based font can hold
const int32_t MAX_PIXEL_SIZE = 1024;  // larger glyphs could not be stored (16-bit sizes)
const int32_t PROGRESS_FROM = 1000;   // glyph sets at least this large report progress
const char ALWAYS[] = "!\"$&'()*+,-./<=>?\\_";  // besides letters and digits

// The whole face file, read through the file layer or, for an absolute path, natively.
bool ReadFace(const char *path, uint8_t **data, size_t *size) {
  *data = nullptr, *size = 0;
  if (path[0] == '/') {
    FILE *file = fopen(path, "rb");
    if (!file) return false;
    bool ok = fseek(file, 0, SEEK_END) == 0;
    long length = ok ? ftell(file) : -1;
    ok = length > 0 && fseek(file, 0, SEEK_SET) == 0 && (*data = (uint8_t *)malloc((size_t)length));
    ok = ok && fread(*data, 1, (size_t)length, file) == (size_t)length;
    fclose(file);
    if (ok) *size = (size_t)length;
    return ok;
  }
  ZY_File *file = ZYFS_OpenFileInternal(path, "rb");
  if (!file) return false;
  int64_t length = ZYFS_FileSize(file);
  bool ok = length > 0 && length < INT32_MAX && (*data = (uint8_t *)malloc((size_t)length));
  ok = ok && ZY_ReadFile(*data, (int32_t)length, file) == (int32_t)length;
  ZYFS_CloseFileInternal(file);
  if (ok) *size = (size_t)length;
  return ok;
}

// Marks the characters of the strings file and the additional characters as used.
void MarkStrings(const ZyFontSource *src, const char *strings_name, uint8_t *used) {
  char path[ZYI_FONT_SOURCE_PATH];
  if (!ZYI_FontSourceFile(src, strings_name, path, sizeof path)) return;
  const ZyDidodozFile *file = ZYI_DidodozGetFile(path);
  const ZyDidodozArray *strings = ZYI_DidodozFindArray(file, "STRINGS");
  if (!file || file->array_count == 0) {
    ZY_Popup(ZY_LOG_ERROR, "Unable to find font language strings xml source file %s\n", path);
    return;
  }
  for (int32_t n = 0; n < ZYI_DidodozNodeCount(strings); n++) {
    const ZyDidodozNode *node = ZYI_DidodozNodeAt(strings, n);
    const char *from = ZYI_DidodozGetAttribute(node, "from");
    if (!from) from = node->id;
    if (!from) {
      ZY_Popup(ZY_LOG_WARNING, "XML '%s' array 'STRINGS' doesn't contain nodes with id and to parameters.", path);
      continue;
    }
    for (const uint8_t *s = (const uint8_t *)from; *s; s++) used[*s] = 1;
    const char *to = ZYI_DidodozGetAttribute(node, "to");
    for (const char *s = to ? to : ""; *s;) {
      int32_t code = ZYI_Utf8Next(&s);
      if (code >= CODE_LIMIT)
        ZY_Popup(ZY_LOG_WARNING, "UTF32 %d out of range in ZYI_CreateFontGlyphsArrayFromStrings in translation '%s'\n",
                 code, from);
      else if (code > 0)
        used[code] = 1;
    }
  }
}

// The glyph set: 256 LATIN-1 glyphs, or the UTF-8 set a strings file asks for.
bool MakeGlyphSet(ZY_Font *font, const ZyFontSource *src, const char *strings_name) {
  if (!strings_name) {
    font->utf8 = 0;
    if (!ZYI_FontSetGlyphCount(font, ZYI_FONT_DEFAULT_GLYPHS)) return false;
    for (int32_t i = 0; i < ZYI_FONT_DEFAULT_GLYPHS; i++) font->glyphs[i].code = i;
    return true;
  }
  uint8_t *used = (uint8_t *)calloc(CODE_LIMIT, 1);
  if (!used) return false;
  MarkStrings(src, strings_name, used);
  const ZyDidodozArray *extra = ZYI_DidodozFindArray(src->file, "additional_utf_characters");
  for (int32_t n = 0; n < ZYI_DidodozNodeCount(extra); n++) {
    const char *id = ZYI_DidodozNodeAt(extra, n)->id;
    int32_t code = id ? ZYI_Utf8Next(&id) : 0;
    used[code > 0 && code < CODE_LIMIT ? code : 0] = 1;
  }
  for (int32_t c = 'A'; c <= 'Z'; c++) used[c] = used[c + 32] = 1;
  for (int32_t c = '0'; c <= '9'; c++) used[c] = 1;
  for (const char *s = ALWAYS; *s; s++) used[(uint8_t)*s] = 1;

  int32_t count = 0;
  for (int32_t c = 0; c < CODE_LIMIT; c++) count += used[c];
  font->utf8 = 1;
  bool ok = ZYI_FontSetGlyphCount(font, count);
  for (int32_t c = 0, g = 0; ok && c < CODE_LIMIT; c++)
    if (used[c]) font->glyphs[g++].code = c;
  free(used);
  return ok;
}

// Copies FreeType's coverage bitmap into the glyph as white pixels.
bool TakeBitmap(ZyGlyph *glyph, const FT_Bitmap &bitmap) {
  int32_t w = (int32_t)bitmap.width, h = (int32_t)bitmap.rows;
  if (w <= 0 || h <= 0) return true;  // nothing to draw (a space)
  bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  if (!mono && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return true;
  if (!ZYI_GlyphSetPicture(glyph, w, h)) return false;
  uint8_t *out = (uint8_t *)glyph->picture.pixels;
  for (int32_t y = 0; y < h; y++) {
    const uint8_t *row = bitmap.buffer + (ptrdiff_t)y * bitmap.pitch;
    for (int32_t x = 0; x < w; x++, out += 4) {
      int32_t grey = mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1) * 255 : row[x];
      int32_t alpha = grey * 3 / 2;
      out[0] = out[1] = out[2] = 255;
      out[3] = (uint8_t)(alpha > 255 ? 255 : alpha);
    }
  }
  return true;
}

// Loads and renders every glyph of the set at pixel size p.
bool RenderGlyphs(ZY_Font *font, FT_Face face, int32_t p) {
  for (int32_t i = 0; i < font->glyph_count; i++) {
    ZyGlyph &glyph = font->glyphs[i];
    if (font->glyph_count >= PROGRESS_FROM) ZYI_FontProgress(i + 1, font->glyph_count);
    // A character the face lacks stays empty instead of showing the face's "missing"
    // box (control characters among the 256 would otherwise all be boxes).
    if (FT_Get_Char_Index(face, (FT_ULong)glyph.code) == 0) continue;
    FT_Error error = FT_Load_Char(face, (FT_ULong)glyph.code, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP);
    if (error) {
      ZY_Popup(ZY_LOG_WARNING, "ZYI_CreateFontGlyphBitmapsFromTTF::FT_Load_Char unicode %d error %d\n",
               glyph.code, error);
      continue;
    }
    if (!TakeBitmap(&glyph, face->glyph->bitmap)) return false;
    int32_t width = glyph.picture.pixels ? glyph.picture.width : 0;
    glyph.x_offset = 0;
    glyph.y_offset = ZYI_FontClamp16((int64_t)p - face->glyph->bitmap_top);
    if (glyph.code == 32)
      glyph.advance = ZYI_FontClamp16((int64_t)((float)p * 0.4f));
    else if (glyph.code == 0x3002 || glyph.code == 0xFF0C)
      glyph.advance = ZYI_FontClamp16(width + 1 + (int64_t)((float)p * 0.4f));
    else
      glyph.advance = ZYI_FontClamp16(width + 1 - (int64_t)((float)p * -0.025f));
  }
  return true;
}

}  // namespace

bool ZYI_FontGlyphsFromTtf(ZY_Font *font, ZyFontSource *src, const ZyDidodozNode *input) {
  const char *ttf = ZYI_DidodozGetAttribute(input, "ttf");
  char path[ZYI_FONT_SOURCE_PATH];
  if (ttf[0] == '/')
    snprintf(path, sizeof path, "%s", ttf);
  else if (!ZYI_FontSourceFile(src, ttf, path, sizeof path))
    snprintf(path, sizeof path, "%s", ttf);
  uint8_t *data = nullptr;
  size_t size = 0;
  if (!ReadFace(path, &data, &size))
    ZY_Popup(ZY_LOG_WARNING, "Unable to find font source file %s\n", path);

  bool ok = MakeGlyphSet(font, src, ZYI_DidodozGetAttribute(input, "strings"));
  const char *size_text = ZYI_DidodozGetAttribute(input, "size_px");
  int32_t p = ZYI_FontTruncate((double)(size_text ? atoi(size_text) : 22) * src->scale);
  if (ok && (p < 1 || p > MAX_PIXEL_SIZE)) {
    ZY_Popup(ZY_LOG_WARNING, "Font '%s': pixel size %d is invalid. Use values from 1 to %d.\n",
             font->name, p, MAX_PIXEL_SIZE);
    ok = false;
  }

  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (ok) {
    FT_Error error = FT_Init_FreeType(&library);
    if (error) ZY_Popup(ZY_LOG_WARNING, "ZYI_CreateFontGlyphBitmapsFromTTF::FT_Init_FreeType error %d\n", error);
    error = library ? FT_New_Memory_Face(library, data, (FT_Long)size, 0, &face) : FT_Err_Invalid_Library_Handle;
    if (error) {
      ZY_Popup(ZY_LOG_WARNING,
               "ZYI_CreateFontGlyphBitmapsFromTTF::FT_New_Face error %d. Does the font file and path '%s' exist?\n",
               error, path);
      ok = false;
      face = nullptr;
    } else if ((error = FT_Select_Charmap(face, FT_ENCODING_UNICODE)) != 0) {
      ZY_Popup(ZY_LOG_WARNING, "ZYI_CreateFontGlyphBitmapsFromTTF::FT_Select_Charmap error %d\n", error);
      ok = false;
    }
  }
  if (ok) {
    FT_Error error = FT_Set_Pixel_Sizes(face, 0, (FT_UInt)p);
    if (error) ZY_Popup(ZY_LOG_WARNING, "ZYI_CreateFontGlyphBitmapsFromTTF::FT_Set_Pixel_Sizes error %d\n", error);
    FT_Set_Transform(face, nullptr, nullptr);
    // The style words mark the face; the rasteriser neither emboldens nor slants.
    const char *style = ZYI_DidodozGetAttribute(input, "style");
    if (ZYI_FontHasWord(style, "BOLD")) face->style_flags |= FT_STYLE_FLAG_BOLD;
    if (ZYI_FontHasWord(style, "ITALIC")) face->style_flags |= FT_STYLE_FLAG_ITALIC;
    ok = RenderGlyphs(font, face, p);
  }
  if (face) FT_Done_Face(face);
  if (library) FT_Done_FreeType(library);
  free(data);
  return ok;
}
