// text_layout.cpp — a text as units, its inline tags and its line breaks.
//
// Tags: a "|" starts a tag that runs to the next "|". Colour tags (six hex digits, an
// optional "#" before and two alpha digits after) work in every font; in a LATIN-1 font
// "||" is a literal bar, |scale=v| scales what follows and |i'name' scale= angle= offset=|
// shows a bitmap inline, while a UTF-8 font skips its "i" and "s" tags.
//
// Breaking, LATIN-1: a line may end only at whitespace, when the next word would reach
// the wrap width; glyphs add their advance and their kerning after the previous byte.
// Breaking, UTF-8: a space breaks like that (each character above U+00FF counts as a word
// of its own), and any other character that would reach the wrap width starts a new line,
// unless it is punctuation that must not begin one (U+3002, U+FF0C, "." and ","). Newlines
// end a line in both. A line never ends before its first glyph, so a glyph wider than
// the wrap width gets a line of its own instead of an endless run of empty ones.
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "base/engine_table.h"
#include "base/popup.h"
#include "font/text_layout.h"

namespace {

const int32_t IDEOGRAPHIC_FULL_STOP = 0x3002;
const int32_t FULLWIDTH_COMMA = 0xFF0C;
const int32_t MISSING_SPACE_ADVANCE = 4;  // a UTF-8 font without a space glyph

bool IsLatinSpace(int32_t u) { return u == ' ' || u == '\t' || u == '\r' || u == '\n'; }

bool MayStartLine(int32_t u) {
  return u != IDEOGRAPHIC_FULL_STOP && u != FULLWIDTH_COMMA && u != '.' && u != ',';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // anything else counts as 0
}

float HexPair(const char *p) { return (float)(HexValue(p[0]) * 16 + HexValue(p[1])) / 255.0f; }

// The number after "key" in a tag, read up to the next space; `fallback` without the key.
float TagNumber(const char *text, const char *key, float fallback) {
  const char *p = strstr(text, key);
  return p ? (float)strtod(p + strlen(key), nullptr) : fallback;
}

void ParseImage(const char *text, ZyTextTag *tag) {
  tag->kind = ZYI_TAG_IMAGE;
  tag->scale = TagNumber(text, "scale=", 1.0f);
  tag->angle = TagNumber(text, "angle=", 0.0f) * (1.0f / 180.0f) * (float)M_PI;
  tag->offset = (int32_t)TagNumber(text, "offset=", 0.0f);
  const char *open = strchr(text, '\'');
  const char *close = open ? strchr(open + 1, '\'') : nullptr;
  if (!close) return;  // no name: nothing to show
  size_t n = (size_t)(close - open - 1);
  if (n >= sizeof tag->image) n = sizeof tag->image - 1;
  memcpy(tag->image, open + 1, n);
  tag->image[n] = 0;
}

void ParseColor(const char *text, ZyTextTag *tag) {
  if (*text == '#') text++;
  size_t n = strlen(text);
  if (n < 6) return;  // too short for a colour: not a tag anybody asked for
  tag->kind = ZYI_TAG_COLOR;
  tag->r = HexPair(text);
  tag->g = HexPair(text + 2);
  tag->b = HexPair(text + 4);
  tag->a = n >= 8 ? HexPair(text + 6) : -1.0f;
}

// The width of the word that starts at unit i after unit prev: glyphs up to the next
// whitespace, tags skipped but images counted; in a UTF-8 font a character above U+00FF
// ends it. Where it ends, its last unit and whether it holds a tag go to the pointers.
struct Word {
  float width;
  int32_t end, last;
  bool tagged;
};
Word WordWidth(const ZY_Font *font, const ZyTextRun *run, int32_t i, int32_t prev) {
  Word word = {0, i, prev, false};
  float &width = word.width;
  while (i < run->count) {
    int32_t u = run->Unit(i);
    if (run->utf8 ? u == ' ' || u == '\n' : IsLatinSpace(u)) break;
    if (u == '|') {
      ZyTextTag tag;
      ZYI_TextReadTag(run, i, &tag);
      if (tag.kind == ZYI_TAG_IMAGE) width += ZYI_TextImageAdvance(font, &tag);
      if (tag.kind != ZYI_TAG_BAR) {
        word.tagged = true;
        i = tag.next;
        continue;
      }
    }
    if (const ZyGlyph *g = ZYI_TextGlyph(font, u)) {
      width += g->advance;
      if (!run->utf8 && g->kern) width += g->kern[prev];
    }
    prev = u;
    i += u == '|' && !run->utf8 ? 2 : 1;  // a "||" pair is one bar glyph
    if (run->utf8 && u > 255) break;
  }
  word.end = i;
  word.last = prev;
  return word;
}

// Line breaking state: the current line's wrap width and drawn width.
struct Breaker {
  ZyTextLines *lines;
  int32_t start;
  float width;  // compared with the wrap width
  float drawn;  // what the line takes when drawn (scale tags included)

  // Ends the current line at unit `end`; the next one starts at `next`. The last line
  // the table holds takes the rest of the text.
  void End(int32_t end, int32_t next) {
    if (lines->count == ZYI_TEXT_MAX_LINES - 1) {
      lines->end[lines->count - 1] = end;
      lines->width[lines->count - 1] += drawn;
      width = drawn = 0;
      return;
    }
    lines->start[lines->count] = start;
    lines->end[lines->count] = end;
    lines->width[lines->count++] = drawn;
    start = next;
    width = drawn = 0;
  }
};

}  // namespace

bool ZYI_TextRunOpen(ZyTextRun *run, const ZY_Font *font, const char *text) {
  memset(run, 0, sizeof *run);
  run->utf8 = font->utf8 != 0;
  size_t n = strlen(text);
  if (!run->utf8) {
    run->bytes = (const uint8_t *)text;
    run->count = (int32_t)n;
    return true;
  }
  run->codes = (int32_t *)malloc(sizeof(int32_t) * (n + 1));
  if (!run->codes) {
    ZY_Popup(ZY_LOG_ERROR, "error converting %s\n", text);
    return false;
  }
  const uint8_t *s = (const uint8_t *)text;
  size_t i = 0;
  int32_t count = 0;
  while (i < n) {
    uint8_t b = s[i];
    size_t len = (b & 0xF8) == 0xF0 ? 4 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xE0) == 0xC0 ? 2 : 1;
    if (i + len > n) break;  // cut off by the end of the text: its bytes are not there
    int32_t value = len == 4 ? b & 0x07 : len == 3 ? b & 0x0F : len == 2 ? b & 0x1F : b;
    for (size_t k = 1; k < len; k++) value = value << 6 | (s[i + k] & 0x3F);
    run->codes[count++] = value;
    i += len;
  }
  run->count = count;
  return true;
}

void ZYI_TextRunClose(ZyTextRun *run) {
  free(run->codes);
  run->codes = nullptr;
}

void ZYI_TextReadTag(const ZyTextRun *run, int32_t i, ZyTextTag *tag) {
  memset(tag, 0, sizeof *tag);
  tag->kind = ZYI_TAG_NONE;
  if (!run->utf8 && i + 1 < run->count && run->Unit(i + 1) == '|') {
    tag->kind = ZYI_TAG_BAR;
    tag->next = i + 2;
    return;
  }
  int32_t close = i + 1;
  while (close < run->count && run->Unit(close) != '|') close++;
  tag->next = close < run->count ? close + 1 : run->count;
  char text[256];
  int32_t n = 0;
  for (int32_t k = i + 1; k < close && n < (int32_t)sizeof text - 1; k++) {
    int32_t u = run->Unit(k);
    text[n++] = u > 0 && u < 256 ? (char)u : '?';
  }
  text[n] = 0;
  char first = text[0];
  if (first == 'i' || (!run->utf8 && first == 'I')) {
    if (!run->utf8) ParseImage(text, tag);
  } else if (first == 's' || (!run->utf8 && first == 'S')) {
    if (!run->utf8 && n > 6) {
      char value[16];
      size_t len = strlen(text + 6) < 15 ? strlen(text + 6) : 15;  // at most 15 characters
      memcpy(value, text + 6, len);
      value[len] = 0;
      tag->scale = (float)strtod(value, nullptr);
      // A scale of nothing (or less) would divide the wrap width by zero.
      if (tag->scale > 0.001f) tag->kind = ZYI_TAG_SCALE;
    }
  } else {
    ParseColor(text, tag);
  }
}

const ZyGlyph *ZYI_TextGlyphUtf8(const ZY_Font *font, int32_t code) {
  const ZyGlyph *g = ZYI_FontFindGlyph(font, code);
  if (!g)
    ZY_Popup(ZY_LOG_WARNING, "Font '%s' Missing unicode %d (0x%x) ('%c')\n", font->name, code,
             (unsigned)code, (char)code);
  return g;
}

float ZYI_TextImageAdvance(const ZY_Font *font, const ZyTextTag *tag) {
  if (!tag->image[0]) return 0;
  ZY_Bitmap *bitmap = ZYI_EngineInterface()->GetBitmap(tag->image);
  if (!bitmap) return 0;
  return (float)bitmap->width * tag->scale / font->scale;
}

void ZYI_TextBreakLines(const ZY_Font *font, const ZyTextRun *run, float wrap, ZyTextLines *lines) {
  lines->count = 0;
  if (run->count == 0) return;
  Breaker br = {lines, 0, 0, 0};
  float tag_scale = 1.0f, line_wrap = wrap;
  float space = 0;
  if (const ZyGlyph *g = ZYI_TextGlyph(font, ' '))
    space = g->advance;
  else if (run->utf8)
    space = MISSING_SPACE_ADVANCE;
  int32_t prev = 0;
  int32_t i = 0;
  while (i < run->count) {
    int32_t u = run->Unit(i);
    if (u == '|') {
      ZyTextTag tag;
      ZYI_TextReadTag(run, i, &tag);
      if (tag.kind != ZYI_TAG_BAR) {
        if (tag.kind == ZYI_TAG_SCALE) {
          tag_scale = tag.scale;
          line_wrap = truncf(wrap / tag.scale);
        } else if (tag.kind == ZYI_TAG_IMAGE) {
          float w = ZYI_TextImageAdvance(font, &tag);
          br.width += w;
          br.drawn += w;
        }
        i = tag.next;
        continue;
      }
    }
    if (u == '\n') {
      br.End(i, i + 1);
      prev = 0;
      i++;
      continue;
    }
    bool at_space = run->utf8 ? u == ' ' : IsLatinSpace(u);
    const ZyGlyph *g = ZYI_TextGlyph(font, u);
    float advance = g ? g->advance : 0;
    if (!run->utf8 && g && g->kern) advance += g->kern[prev];
    if (at_space) {
      Word word = WordWidth(font, run, i + 1, u);
      bool fits = run->utf8 ? br.width + space + word.width < line_wrap
                            : space + br.width + word.width < line_wrap;
      if (!fits) {
        br.End(i, i + 1);
        prev = 0;
        i++;
        continue;
      }
      if (!run->utf8 && !word.tagged) {
        // The word was just measured and stays on this line: take it whole.
        br.width += advance + word.width;
        br.drawn += (advance + word.width) * tag_scale;
        prev = word.last;
        i = word.end;
        continue;
      }
    } else if (run->utf8 && br.width > 0 && br.width + advance >= line_wrap && MayStartLine(u)) {
      br.End(i, i);
      continue;  // the glyph starts the next line
    }
    br.width += advance;
    br.drawn += advance * tag_scale;
    prev = u;
    i += u == '|' && !run->utf8 ? 2 : 1;  // a "||" pair is one bar glyph
  }
  br.End(run->count, run->count);
}
