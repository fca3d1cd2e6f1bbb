// fonts.h — the font table, the text settings and the engine's font and text operations.
//
// Fonts are found by exact name in a table of 32 records (font_cache.cpp), counted by
// reference like bitmaps: ZY_GetFont counts a font it created once, ZY_LoadFont counts
// every call, a name beginning with "!" is never counted again, and releasing the last
// reference hibernates the font (it stays loaded in its slot and is found again by name)
// while the program uses reference counting, or frees it at once otherwise. A font loads
// from its ".mft" file, or is generated from its source, saved and read back.
//
// Each font's glyph pictures are packed into one texture atlas (font_atlas.cpp), so a
// text is drawn as quads of one texture. Atlases are uploaded on the main thread; a font
// loaded on another thread puts its atlas in the bitmap upload queue.
//
// Text layout (text_layout.cpp) breaks a formatted text into lines: in place for LATIN-1
// fonts, over decoded code points for UTF-8 fonts; text_draw.cpp draws and measures the
// lines with their inline tags. The text settings below apply to every later text call.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "font/font.h"

#define ZYI_TEXT_FORMAT_SIZE 2048  // formatted text of one call, with its zero
#define ZYI_TEXT_MAX_LINES 1024    // a text has at most 1023 lines (the rest joins the last)
#define ZYI_TEXT_NO_WRAP 64000.0f  // wrap width that a width below 0.1 stands for

// The fonts block of the engine state.
struct ZyFonts {
  // The table (GET_FONT)
  ZY_Font table[ZYI_MAX_FONTS];  // a record without a name is free
  int32_t count;                 // high-water mark: records 0..count-1 have been used

  // Settings fixed at start-up
  uint8_t print_reference_changes;  // PRINT_REFERENCE_COUNT_CHANGES: print every count change
  uint8_t reference_counting;       // the program's flag: released fonts hibernate
  uint8_t initialized;              // ZYI_FontsInit ran (the text settings have defaults)

  // Text settings (main thread)
  float text_max_width;          // wrap width; 0 wraps at every word
  uint32_t text_flags;           // ZY_TEXT_ALIGN_... bits
  float text_scale_x, text_scale_y;
  float text_angle;              // radians
  char format[ZYI_TEXT_FORMAT_SIZE];  // the formatted text of the current call
};
ZYI_STATE_PART(ZyFonts, fonts)

// ---------------------------------------------------------------------------------
// Engine side: start-up, renderer and shut-down
// ---------------------------------------------------------------------------------

// The font the engine carries in itself, found by the name ZYI_BUILTIN_FONT: a font file
// in memory that outlives every boot (the data is not copied).
#define ZYI_BUILTIN_FONT "!builtin"
void ZYI_SetBuiltinFont(const uint8_t *data, size_t size);

// Pre-initialisation (after the configuration is read): text defaults (scale 1, no
// angle) and whether PRINT_REFERENCE_COUNT_CHANGES prints every count change.
void ZYI_FontsInit(void);
// Core initialisation: the program's reference_counting flag (off: released fonts go).
void ZYI_FontsSetReferenceCounting(bool on);
// Renderer initialisation, after the device exists: uploads every loaded font's atlas.
void ZYI_RecreateFontAtlases(void);
// Renderer shut-down: frees every font's textures on the device that goes away (pixels
// stay, so the atlases can be uploaded again).
void ZYI_ReleaseFontsDeviceData(void);
// Shut-down: reports every font still referenced ("Font '%s' Reference count %d at exit,
// releasing...") and frees it.
void ZYI_ReleaseLeakedFonts(void);
// End of shut-down: frees every remaining font record, leaving an empty table.
void ZYI_FontsFree(void);
// Frees a font now (GET_FONT held or the table not shared yet): its textures, glyphs,
// atlas and name; the slot becomes free.
void ZYI_FreeFont(ZY_Font *font);
// Frees the font's textures: the atlas's (or every glyph's own), now on a thread that
// may do GPU work, else through the hardware release queue; a queued upload is dropped.
void ZYI_ReleaseFontTextures(ZY_Font *font);
// Uploads the font's atlas (or glyph textures) now on a thread that may do GPU work,
// else queues it for the main thread.
void ZYI_UploadFontAtlas(ZY_Font *font);

// ---------------------------------------------------------------------------------
// Engine interface operations (slots 15 to 19, 103 to 105, 110, 116 to 118)
// ---------------------------------------------------------------------------------

ZY_Font *ZY_GetFont(const char *name);   // finds or loads; a font it created counts once
ZY_Font *ZY_LoadFont(const char *name);  // finds or loads; every call counts
bool ZY_RecreateFontAtlas(ZY_Font *font);  // packs the glyph pictures and uploads the atlas
void ZY_ReleaseFont(ZY_Font *font);      // drops one reference
// ZY_SaveFont is declared in font.h.
void ZY_SetTextFlags(uint32_t flags);    // ZY_TEXT_ALIGN_... bits
void ZY_SetTextMaxWidth(float width);    // below 0.1: 64000
void ZY_SetTextTransform(float scale_x, float scale_y, float angle);
// Formats (printf rules, at most 2047 bytes) and draws the text with its first line's
// top-left at (x, y); the widest line's width in font units. 0 for a missing font.
float ZY_DrawText(ZY_Font *font, float x, float y, const char *format, ...) ZY_PRINTF_FORMAT(4, 5);
void ZY_GetTextSize(ZY_Font *font, float *width, float *height, const char *format, ...)
    ZY_PRINTF_FORMAT(4, 5);
float ZY_GetTextWidth(ZY_Font *font, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);
float ZY_GetTextHeight(ZY_Font *font, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);

// The same drawing and measuring on a text that is already formatted (no printf).
float ZYI_DrawTextString(ZY_Font *font, float x, float y, const char *text);
void ZYI_MeasureTextString(ZY_Font *font, const char *text, float *width, float *height);
