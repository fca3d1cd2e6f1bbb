// generate.h — making a font from its source description when its .mft cannot be read.
//
// The source of a font named N is the Didodoz database N.xml (TrueType input through
// FreeType, or a bitmap sheet). The font cache (font_cache.cpp) calls the one entry point
// below when reading the font file fails, saves the result with ZY_SaveFont under the
// name's search-path location and reads it back. Generation itself never writes files.
//
// The generator fills the font's glyphs (ZYI_FontSetGlyphCount, ZYI_GlyphSetPicture,
// ZYI_GlyphEnsureKerning), metrics and `utf8`; the atlas is built afterwards by
// ZY_RecreateFontAtlas (font_atlas.cpp) from the font read back.
#pragma once

#include "font/font.h"

// Fills the font record from the source of font->name at the requested scale (the cache
// asks for 1.0). False, after the generator's own popup, when there is no usable source.
// Defined in generate.cpp; the declaration is strong so that every program linking the
// font cache also links the generator (a weak reference pulls no archive member in, and
// the cache would then silently never generate).
bool ZYI_GenerateFontFromSource(ZY_Font *font, float scale);
