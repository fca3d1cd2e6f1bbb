// font.h — the in-memory font shared by the whole font subsystem, and its file format.
//
// A font is a record of the 32-slot font table (font_cache.cpp): vertical metrics, an
// array of glyphs and one texture atlas that holds every glyph picture. A LATIN-1 font
// has 256 glyphs, glyph b belonging to byte value b; a UTF-8 font holds any number of
// glyphs, each naming its code point, and a hash index (built whenever the glyph array
// is filled) finds a glyph by code point in constant time.
//
// Font files (".mft") come in six versions, "ZIZ_Font_v1" to "ZIZ_Font_v6"; all six are
// read, version 6 is written. Integers are little-endian. Reading works on the whole file
// held in memory and checks every field against the bytes left, so a truncated or hostile
// file fails with a message instead of being read past its end.
//
// The glyph array and its pictures are owned by the font: ZYI_FontSetGlyphCount and
// ZYI_GlyphSetPicture allocate, ZYI_FontFreeData frees. Pictures hold 4-byte pixels in
// the engine's pixel order (ZYI_BgraPixels); files always store R, G, B, A.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "zylem.h"

#define ZYI_MAX_FONTS 32             // slots of the font table
#define ZYI_FONT_DEFAULT_GLYPHS 256  // glyphs of a new font and of every LATIN-1 file
#define ZYI_FONT_FILE_VERSION 6      // the version written

// One glyph. `picture` is a plain bitmap record owned by the glyph: width, height,
// pixels (malloc'd) and ZY_BITMAP_HAS_ALPHA; once an atlas is built its hw holds the
// picture's texture rectangle and the atlas texture.
struct ZyGlyph {
  int32_t code;       // Unicode code point (UTF-8 fonts)
  int16_t x_offset;   // added to the pen x when the picture is drawn
  int16_t y_offset;   // added to the line's y when the picture is drawn
  int16_t advance;    // the pen moves this far after the glyph
  int8_t *kern;       // glyph_count entries (entry p: added before this glyph after glyph p), or null
  ZY_Bitmap picture;  // the glyph's picture; no pixels when it is empty
};

// An entry of a UTF-8 font's code point index (a hash table): a code and its first
// glyph, or glyph -1 for an empty entry.
struct ZyGlyphIndexEntry {
  int32_t code;
  int32_t glyph;
};

// Font record: an entry of the font table; a handle is its address.
struct ZY_Font {
  char *name;                  // requested name (also the file read); null when the slot is free
  int16_t ref_count;           // references held by the program
  uint8_t cache_mode;          // default cache mode at creation
  uint8_t from_get_font;       // created by ZY_GetFont (later ZY_GetFont calls do not count)
  uint8_t utf8;                // strings are UTF-8 and glyphs are found by code point
  int32_t baseline;            // a line is drawn at y + (baseline - height / scale) * scale_y
  int32_t height;              // pixel height (the tallest glyph picture)
  int32_t line_height;         // distance between lines
  int32_t glyph_count;         // records in glyphs
  ZyGlyph *glyphs;             // glyph_count glyphs (calloc'd)
  ZY_Bitmap atlas;             // texture atlas of all glyph pictures (name and pixels malloc'd)
  float scale;                 // design size / displayed size (1.0 without a size override)

  // Engine bookkeeping
  ZyGlyphIndexEntry *index;    // UTF-8 fonts: code point hash table, or null
  int32_t index_count;         // its entries (a power of two)
  uint8_t generation_tried;    // loading generated the font from its source once already
  uint8_t own_textures;        // glyph pictures were uploaded as textures of their own
};

// ---------------------------------------------------------------------------------
// Glyphs and their memory
// ---------------------------------------------------------------------------------

// Frees every glyph's picture and kerning row, the glyph array, the index and the
// atlas's pixels and name, and sets glyph_count to 0. GPU textures must be released before.
void ZYI_FontFreeData(ZY_Font *font);
// Gives the font `count` zeroed glyphs, freeing the old ones (their pictures and rows
// too). False (glyph_count 0) when the memory cannot be had.
bool ZYI_FontSetGlyphCount(ZY_Font *font, int32_t count);
// Gives a glyph a zeroed picture of width x height pixels (replacing an old one) with
// ZY_BITMAP_HAS_ALPHA set; 0 x anything leaves it without pixels. False without memory.
bool ZYI_GlyphSetPicture(ZyGlyph *glyph, int32_t width, int32_t height);
// Gives a glyph a zeroed kerning row of glyph_count entries when it has none.
bool ZYI_GlyphEnsureKerning(ZY_Font *font, ZyGlyph *glyph);
// Rebuilds the code point index of a UTF-8 font (frees it for a LATIN-1 font). Call it
// after the glyphs or their codes change; reading a file does it.
bool ZYI_FontBuildIndex(ZY_Font *font);
// The glyph for a code point: a LATIN-1 font indexes by byte (0..glyph_count-1), a UTF-8
// font finds the first glyph with that code, as a search in glyph order would. Null
// when there is none.
const ZyGlyph *ZYI_FontFindGlyph(const ZY_Font *font, int32_t code);

// ---------------------------------------------------------------------------------
// Font files
// ---------------------------------------------------------------------------------

// Outcome of reading a font file from memory.
enum ZyFontReadResult {
  ZYI_FONT_READ_OK = 0,
  ZYI_FONT_READ_BAD_HEADER,  // the first 11 bytes are none of the six magics
  ZYI_FONT_READ_TRUNCATED,   // the data ends inside a field
  ZYI_FONT_READ_BAD_VALUE,   // a count or size no font can have (negative, absurd)
  ZYI_FONT_READ_NO_MEMORY,
};

// Reads a font file of any version from `size` bytes into the font, replacing its glyphs
// (a version-6 file of 256 glyphs reuses a 256-glyph array). Never reads past data+size.
// Fills `version` (1..6, 0 when unknown) when not null. A failed read leaves what was read.
ZyFontReadResult ZYI_ReadFontBytes(ZY_Font *font, const uint8_t *data, size_t size,
                                   int32_t *version);
// Reads the file named font->name through the file layer: "(not found)" when it does
// not open, the header popup for a bad magic, and a popup naming the fault for a
// truncated or hostile file. True when the font was read.
bool ZYI_ReadFontFile(ZY_Font *font);
// Encodes the font as a version-6 file into a malloc'd buffer (*data, *size); pictures
// are written R, G, B, A whatever the engine's pixel order. False without memory.
bool ZYI_EncodeFont(const ZY_Font *font, uint8_t **data, size_t *size);
// Writes the font as a version-6 file to a virtual name ("res://", "user://" or a
// relative name) or a native path, whole or not at all.
bool ZY_SaveFont(ZY_Font *font, const char *name);
