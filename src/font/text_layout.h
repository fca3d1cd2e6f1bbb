// text_layout.h — what text drawing and measuring share: the decoded text, its inline
// tags and its lines (the rest of the engine uses fonts.h).
//
// A text is a run of *units*: bytes of the formatted text for a LATIN-1 font (no copy is
// made), code points decoded from UTF-8 for a UTF-8 font. Line breaking records where
// each line starts and ends in that run, so neither font needs the text rewritten.
#pragma once

#include <stdint.h>

#include "font/fonts.h"

// The text of one call as units.
struct ZyTextRun {
  const uint8_t *bytes;   // LATIN-1: the formatted text
  int32_t *codes;         // UTF-8: decoded code points (malloc'd), or null
  int32_t count;          // units
  bool utf8;
  int32_t Unit(int32_t i) const { return utf8 ? codes[i] : bytes[i]; }
};

// The lines of a text: units [start, end) of each, their widths for wrapping and for
// drawing (scale tags make the two differ).
struct ZyTextLines {
  int32_t count;
  int32_t start[ZYI_TEXT_MAX_LINES];
  int32_t end[ZYI_TEXT_MAX_LINES];
  float width[ZYI_TEXT_MAX_LINES];  // drawn width in font units
};

// What one inline tag asks for.
enum ZyTagKind { ZYI_TAG_NONE, ZYI_TAG_BAR, ZYI_TAG_COLOR, ZYI_TAG_SCALE, ZYI_TAG_IMAGE };

struct ZyTextTag {
  ZyTagKind kind;
  int32_t next;             // unit after the tag
  float r, g, b, a;         // colour (a < 0: alpha unchanged)
  float scale;              // scale tag's value, or the image's scale
  float angle;              // image angle in radians
  int32_t offset;           // image y offset
  char image[256];          // image name
};

// Turns a text into units: a LATIN-1 font takes the bytes as they are; a UTF-8 font
// gets them decoded (a sequence cut off by the end of the text is dropped). False, after
// the popup "error converting %s\n", when the code points cannot be had.
bool ZYI_TextRunOpen(ZyTextRun *run, const ZY_Font *font, const char *text);
void ZYI_TextRunClose(ZyTextRun *run);
// Reads the tag whose "|" is at unit i. LATIN-1 "||" is a literal bar; a tag without a
// closing "|" runs to the end of the text.
void ZYI_TextReadTag(const ZyTextRun *run, int32_t i, ZyTextTag *tag);
// The glyph of a unit, or null: a UTF-8 font reports a missing code point with a popup.
const ZyGlyph *ZYI_TextGlyphUtf8(const ZY_Font *font, int32_t code);
inline const ZyGlyph *ZYI_TextGlyph(const ZY_Font *font, int32_t code) {
  if (font->utf8) return ZYI_TextGlyphUtf8(font, code);
  return (uint32_t)code < (uint32_t)font->glyph_count ? &font->glyphs[code] : nullptr;
}
// The advance of an inline image (its width x scale / font scale), fetching the bitmap.
float ZYI_TextImageAdvance(const ZY_Font *font, const ZyTextTag *tag);
// Breaks the run into lines at the wrap width (font units).
void ZYI_TextBreakLines(const ZY_Font *font, const ZyTextRun *run, float wrap, ZyTextLines *lines);
