// generate_internal.h — what the pieces of font generation share.
//
// generate.cpp reads the source database and its settings, picks the input and finishes
// the font (transparent colours, kerning, metrics); generate_ttf.cpp rasterises a
// TrueType face, generate_sheet.cpp cuts glyphs out of a bitmap sheet, and
// generate_kerning.cpp computes the automatic kerning of a LATIN-1 font. Nothing outside
// src/font/generate*.cpp includes this header.
#pragma once

#include <stdint.h>

#include "config/didodoz.h"
#include "font/font.h"

#define ZYI_FONT_SOURCE_PATH 512  // room for a name resolved against the source folder

// The source of one generation run and the settings read from it.
struct ZyFontSource {
  const char *source_name;        // the database's name: font name + ".xml"
  const ZyDidodozFile *file;
  const ZyDidodozArray *settings;
  const ZyDidodozArray *glyphs;   // the "glyphs" array, or null
  char folder[ZYI_FONT_SOURCE_PATH];  // the source's folder, "" or ending in "/"
  float scale;                    // output scale S
  int32_t spacing;                // SPACING, scaled when OUTPUT scale is given
  float kern_threshold;           // AUTO_KERN_THRESHOLD
  int32_t line_padding;           // LINE_PADDING_OFFSET
  const char *reason;             // why the run failed (the last reason set)
};

// Reason texts of the closing failure popup.
extern const char *const ZYI_FONT_REASON_DATABASE;
extern const char *const ZYI_FONT_REASON_SETTINGS;
extern const char *const ZYI_FONT_REASON_GLYPHS;

// Whether `text` holds `word` delimited by its start or end, a space, a comma or a
// semicolon (false for null text).
bool ZYI_FontHasWord(const char *text, const char *word);
// Reads a number or a ratio "a/b"; false (out untouched) when the text is neither or the
// ratio divides by zero.
bool ZYI_FontParseScale(const char *text, float *out);
// Resolves a file name of the source against its folder. A name starting with "../" is
// located through the file system (popup "Unable to locate file ..." when it is not
// found); false then, or when the result does not fit.
bool ZYI_FontSourceFile(const ZyFontSource *src, const char *name, char *out, size_t size);
// Decodes one UTF-8 sequence at *text (advancing it); 0 for an empty text, -1 for a
// malformed sequence (one byte is skipped). Never reads past the terminating zero.
int32_t ZYI_Utf8Next(const char **text);
// Truncates toward zero like a cast, but clamps to +-1e9 (NaN gives 0): values from a
// source file may be anything, and a cast of an out-of-range float is undefined.
int32_t ZYI_FontTruncate(double value);
// Clamps a value to what a glyph's int16 fields hold.
int16_t ZYI_FontClamp16(int64_t value);

// TTF input: fills the font's glyphs from the INPUT node's "ttf" face. False after the
// failure's own popup.
bool ZYI_FontGlyphsFromTtf(ZY_Font *font, ZyFontSource *src, const ZyDidodozNode *input);
// Bitmap input: chooses a sheet, loads and scales it, cuts out the glyphs. False with
// src->reason set.
bool ZYI_FontGlyphsFromSheet(ZY_Font *font, ZyFontSource *src);
// Cuts the glyphs the glyphs array declares out of a sheet of 4-byte pixels (alpha the
// fourth byte) whose transparent colours are already filled. False after its popup.
bool ZYI_FontExtractGlyphs(ZY_Font *font, const ZyFontSource *src, const uint32_t *pixels,
                           int32_t width, int32_t height);
// Automatic kerning of a LATIN-1 font whose glyphs all have kerning rows: the row of
// glyph c gets, at entry p, how far c may move towards p (minus) plus `padding`.
void ZYI_DetermineKernPairs(ZY_Font *font, int32_t padding, float threshold);
