// font_file.cpp — reading font files of every version and writing version 6.
//
// Version 6 (written): "ZIZ_Font_v6\0", the encoding name ("UTF-8" or "LATIN-1") and its
// zero, baseline, height, line height and glyph count G (int32 each), then G glyphs:
// code (int32), y offset, x offset, advance (int16 each), a kerning-present byte and,
// when it is 1, G signed kerning bytes; picture width W and height H (uint16) and, when
// both are at least 1, W x H pixels R, G, B, A.
//
// Versions 1 to 5 hold exactly 256 glyphs without codes, after the metrics and a 256-byte
// block nobody reads. Their glyphs grew field by field: x offsets from version 2, stored
// advances from version 3 (before that W + 1), kerning rows from version 4, and R, G, B, A
// pictures from version 5 (before that B, G, R, A).
//
// The whole file is read into memory first and every field is taken through a cursor
// that knows how many bytes are left, so a short or hostile file fails with a message
// and nothing is read past its end. Counts and sizes are checked against the bytes left
// before anything is allocated: a G no file of this size can hold is refused, and a
// kerning row is only kept where the file has one (a missing row reads as zeros), so
// memory stays proportional to the file.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "fs/atomic_file.h"
#include "fs/fs.h"
#include "font/font.h"
#include "image/image_loader.h"

namespace {

const char MAGIC_PREFIX[] = "ZIZ_Font_v";  // followed by the version digit 1..6
const int32_t MAGIC_SIZE = 11;
const int32_t V6_GLYPH_MIN_BYTES = 15;     // a version-6 glyph without kerning or picture

// A read position over the file's bytes; any read past the end sets `short_read` and
// yields zeros from then on.
struct Cursor {
  const uint8_t *p;
  const uint8_t *end;
  bool short_read;

  size_t Left() const { return (size_t)(end - p); }
  bool Take(void *out, size_t n) {
    if (short_read || Left() < n) {
      short_read = true;
      if (out) memset(out, 0, n);
      return false;
    }
    if (out) memcpy(out, p, n);
    p += n;
    return true;
  }
  int32_t I32() {
    uint8_t b[4];
    Take(b, 4);
    return (int32_t)((uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 |
                     (uint32_t)b[3] << 24);
  }
  int16_t I16() {
    uint8_t b[2];
    Take(b, 2);
    return (int16_t)(b[0] | b[1] << 8);
  }
  uint8_t U8() {
    uint8_t b = 0;
    Take(&b, 1);
    return b;
  }
};

void SwapRedBlue(uint32_t *pixels, size_t count) {
  uint8_t *b = (uint8_t *)pixels;
  for (size_t i = 0; i < count; i++, b += 4) {
    uint8_t t = b[0];
    b[0] = b[2];
    b[2] = t;
  }
}

// The encoding name and its zero byte; true for exactly "UTF-8".
bool ReadEncoding(Cursor &c) {
  const uint8_t *start = c.p;
  while (c.p < c.end && *c.p) c.p++;
  if (c.p == c.end) {
    c.short_read = true;
    return false;
  }
  bool utf8 = c.p - start == 5 && memcmp(start, "UTF-8", 5) == 0;
  c.p++;
  return utf8;
}

// A picture of w x h pixels from the file, stored R, G, B, A (rgba) or B, G, R, A.
ZyFontReadResult ReadPicture(Cursor &c, ZyGlyph *g, int32_t w, int32_t h, bool rgba) {
  if (w < 1 || h < 1) return ZYI_GlyphSetPicture(g, 0, 0) ? ZYI_FONT_READ_OK : ZYI_FONT_READ_NO_MEMORY;
  size_t bytes = (size_t)w * (size_t)h * 4;
  if (c.Left() < bytes) {
    c.short_read = true;
    return ZYI_FONT_READ_TRUNCATED;
  }
  if (!ZYI_GlyphSetPicture(g, w, h)) return ZYI_FONT_READ_NO_MEMORY;
  c.Take(g->picture.pixels, bytes);
  if (rgba == ZYI_BgraPixels()) SwapRedBlue(g->picture.pixels, (size_t)w * (size_t)h);
  return ZYI_FONT_READ_OK;
}

ZyFontReadResult ReadVersion6(Cursor &c, ZY_Font *font) {
  font->utf8 = ReadEncoding(c) ? 1 : 0;
  font->baseline = c.I32();
  font->height = c.I32();
  font->line_height = c.I32();
  int32_t count = c.I32();
  if (c.short_read) return ZYI_FONT_READ_TRUNCATED;
  if (count < 0) return ZYI_FONT_READ_BAD_VALUE;
  if ((size_t)count > c.Left() / V6_GLYPH_MIN_BYTES) return ZYI_FONT_READ_TRUNCATED;
  if (count != ZYI_FONT_DEFAULT_GLYPHS || font->glyph_count != count || !font->glyphs) {
    if (!ZYI_FontSetGlyphCount(font, count)) return ZYI_FONT_READ_NO_MEMORY;
  } else {
    // A 256-glyph array is reused; what an earlier read left in it goes.
    for (int32_t i = 0; i < count; i++) {
      ZyGlyph &g = font->glyphs[i];
      free(g.kern);
      ZYI_GlyphSetPicture(&g, 0, 0);
      memset(&g, 0, sizeof g);
    }
  }
  for (int32_t i = 0; i < count; i++) {
    ZyGlyph &g = font->glyphs[i];
    g.code = c.I32();
    g.y_offset = c.I16();
    g.x_offset = c.I16();
    g.advance = c.I16();
    if (c.U8() == 1) {
      if (c.Left() < (size_t)count) return ZYI_FONT_READ_TRUNCATED;
      free(g.kern);
      g.kern = nullptr;
      if (!ZYI_GlyphEnsureKerning(font, &g)) return ZYI_FONT_READ_NO_MEMORY;
      c.Take(g.kern, (size_t)count);
    }
    int32_t w = (uint16_t)c.I16();
    int32_t h = (uint16_t)c.I16();
    if (c.short_read) return ZYI_FONT_READ_TRUNCATED;
    ZyFontReadResult r = ReadPicture(c, &g, w, h, true);
    if (r != ZYI_FONT_READ_OK) return r;
  }
  return ZYI_FONT_READ_OK;
}

ZyFontReadResult ReadVersion1To5(Cursor &c, ZY_Font *font, int32_t version) {
  font->utf8 = ReadEncoding(c) ? 1 : 0;
  font->baseline = c.I32();
  font->height = c.I32();
  font->line_height = c.I32();
  c.Take(nullptr, 256);
  if (c.short_read) return ZYI_FONT_READ_TRUNCATED;
  if (!ZYI_FontSetGlyphCount(font, ZYI_FONT_DEFAULT_GLYPHS)) return ZYI_FONT_READ_NO_MEMORY;
  for (int32_t i = 0; i < ZYI_FONT_DEFAULT_GLYPHS; i++) {
    ZyGlyph &g = font->glyphs[i];
    g.y_offset = c.I16();
    if (version >= 2) g.x_offset = c.I16();
    c.I16();
    if (!ZYI_GlyphEnsureKerning(font, &g)) return ZYI_FONT_READ_NO_MEMORY;
    if (version >= 4) c.Take(g.kern, ZYI_FONT_DEFAULT_GLYPHS);
    int32_t w = c.I16();
    int32_t h = c.I16();
    g.advance = version >= 3 ? c.I16() : (int16_t)(w + 1);
    if (c.short_read) return ZYI_FONT_READ_TRUNCATED;
    ZyFontReadResult r = ReadPicture(c, &g, w, h, version >= 5);
    if (r != ZYI_FONT_READ_OK) return r;
  }
  return ZYI_FONT_READ_OK;
}

// Little-endian writers over a buffer sized beforehand.
struct Writer {
  uint8_t *p;
  void Bytes(const void *src, size_t n) {
    memcpy(p, src, n);
    p += n;
  }
  void I32(int32_t v) {
    for (int i = 0; i < 4; i++) *p++ = (uint8_t)((uint32_t)v >> (8 * i));
  }
  void I16(int32_t v) {
    *p++ = (uint8_t)v;
    *p++ = (uint8_t)((uint32_t)v >> 8);
  }
};

bool HasPixels(const ZyGlyph &g) {
  return g.picture.pixels && g.picture.width >= 1 && g.picture.height >= 1;
}

const char *ReadFaultText(ZyFontReadResult r) {
  switch (r) {
    case ZYI_FONT_READ_TRUNCATED: return "the file ends inside a field";
    case ZYI_FONT_READ_BAD_VALUE: return "a count is out of range";
    case ZYI_FONT_READ_NO_MEMORY: return "out of memory";
    default: return "bad header";
  }
}

}  // namespace

ZyFontReadResult ZYI_ReadFontBytes(ZY_Font *font, const uint8_t *data, size_t size,
                                   int32_t *version) {
  if (version) *version = 0;
  if (size < (size_t)MAGIC_SIZE + 1 || memcmp(data, MAGIC_PREFIX, MAGIC_SIZE - 1) != 0 ||
      data[MAGIC_SIZE - 1] < '1' || data[MAGIC_SIZE - 1] > '6')
    return ZYI_FONT_READ_BAD_HEADER;
  int32_t v = data[MAGIC_SIZE - 1] - '0';
  if (version) *version = v;
  Cursor c = {data + MAGIC_SIZE + 1, data + size, false};
  ZyFontReadResult r = v == 6 ? ReadVersion6(c, font) : ReadVersion1To5(c, font, v);
  if (r == ZYI_FONT_READ_OK && !ZYI_FontBuildIndex(font)) r = ZYI_FONT_READ_NO_MEMORY;
  return r;
}

bool ZYI_ReadFontFile(ZY_Font *font) {
  ZY_File *file = font && font->name ? ZYFS_OpenFileInternal(font->name, "rb") : nullptr;
  if (!file) {
    ZY_Print("(not found)");
    return false;
  }
  int64_t size = ZYFS_FileSize(file);
  uint8_t *data = size >= 0 && size < INT32_MAX ? (uint8_t *)malloc((size_t)size + 1) : nullptr;
  size_t got = 0;
  while (data && got < (size_t)size) {
    int32_t n = ZY_ReadFile(data + got, (int32_t)((size_t)size - got), file);
    if (n <= 0) break;
    got += (size_t)n;
  }
  ZYFS_CloseFileInternal(file);
  if (!data) {
    ZY_Popup(ZY_LOG_WARNING, "Font '%s' could not be read: out of memory\n", font->name);
    return false;
  }
  ZyFontReadResult r = ZYI_ReadFontBytes(font, data, got, nullptr);
  if (r == ZYI_FONT_READ_BAD_HEADER) {
    char magic[MAGIC_SIZE + 1] = {0};
    memcpy(magic, data, got < (size_t)MAGIC_SIZE ? got : (size_t)MAGIC_SIZE);
    ZY_Popup(ZY_LOG_WARNING, "Font '%s' has unknown or bad header ('%s')\n", font->name, magic);
  } else if (r != ZYI_FONT_READ_OK) {
    ZY_Popup(ZY_LOG_WARNING, "Font '%s' is damaged (%s)\n", font->name, ReadFaultText(r));
  }
  free(data);
  return r == ZYI_FONT_READ_OK;
}

bool ZYI_EncodeFont(const ZY_Font *font, uint8_t **data, size_t *size) {
  *data = nullptr;
  *size = 0;
  const char *encoding = font->utf8 ? "UTF-8" : "LATIN-1";
  int32_t count = font->glyphs ? font->glyph_count : 0;
  size_t total = MAGIC_SIZE + 1 + strlen(encoding) + 1 + 16;
  for (int32_t i = 0; i < count; i++) {
    const ZyGlyph &g = font->glyphs[i];
    if (HasPixels(g) && (g.picture.width > 65535 || g.picture.height > 65535)) return false;
    total += V6_GLYPH_MIN_BYTES + (g.kern ? (size_t)count : 0) +
             (HasPixels(g) ? (size_t)g.picture.width * (size_t)g.picture.height * 4 : 0);
  }
  uint8_t *buffer = (uint8_t *)malloc(total);
  if (!buffer) return false;
  Writer w = {buffer};
  w.Bytes("ZIZ_Font_v6", MAGIC_SIZE + 1);
  w.Bytes(encoding, strlen(encoding) + 1);
  w.I32(font->baseline);
  w.I32(font->height);
  w.I32(font->line_height);
  w.I32(count);
  bool swap = ZYI_BgraPixels();
  for (int32_t i = 0; i < count; i++) {
    const ZyGlyph &g = font->glyphs[i];
    w.I32(g.code);
    w.I16(g.y_offset);
    w.I16(g.x_offset);
    w.I16(g.advance);
    *w.p++ = g.kern ? 1 : 0;
    if (g.kern) w.Bytes(g.kern, (size_t)count);
    // A glyph without pixels keeps a stated size with a zero side (0 x 5 stays 0 x 5);
    // one that only borrows another glyph's place in the atlas is written as 0 x 0.
    bool pixels = HasPixels(g);
    bool empty_side = g.picture.width < 1 || g.picture.height < 1;
    w.I16(pixels || empty_side ? g.picture.width & 0xFFFF : 0);
    w.I16(pixels || empty_side ? g.picture.height & 0xFFFF : 0);
    if (!pixels) continue;
    size_t n = (size_t)g.picture.width * (size_t)g.picture.height;
    uint8_t *out = w.p;
    w.Bytes(g.picture.pixels, n * 4);
    if (swap) SwapRedBlue((uint32_t *)(void *)out, n);  // the copy, never the font's own
  }
  *data = buffer;
  *size = (size_t)(w.p - buffer);
  return true;
}

bool ZY_SaveFont(ZY_Font *font, const char *name) {
  if (!font || !name) return false;
  ZY_Print("..saving font '%s'..", name);
  // Virtual names map to their native place; a relative name is saved where the search
  // paths would find or create it.
  char native[ZYFS_PATH_SIZE * 2];
  const char *path = name;
  if (name[0] != '/') {
    const char *located = strstr(name, "://") ? name : ZYFS_FindPath(name, false);
    if (!located || !ZYFS_IsLegalName(located) ||
        !ZYFS_MapToPlatformPath(located, native, sizeof native))
      path = nullptr;
    else
      path = native;
  }
  uint8_t *data = nullptr;
  size_t size = 0;
  ZyfsAtomicFile file;
  if (!path || !ZYFS_AtomicOpen(&file, path)) {
    ZY_Popup(ZY_LOG_WARNING, "Failed to save font '%s'\n", name);
    return false;
  }
  ZY_Print("\n");
  bool written = ZYI_EncodeFont(font, &data, &size) && fwrite(data, 1, size, file.stream) == size;
  free(data);
  if (!written) {
    ZYFS_AtomicAbandon(&file);
    ZY_Popup(ZY_LOG_WARNING, "Failed to save font '%s'\n", name);
    return false;
  }
  if (!ZYFS_AtomicCommit(&file)) {
    ZY_Popup(ZY_LOG_WARNING, "Failed to save font '%s'\n", name);
    return false;
  }
  return true;
}
