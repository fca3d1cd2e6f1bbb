// atlas.h — atlas packing: many small bitmaps copied into one power-of-two bitmap, and
// the pixel comparison that finds repeated pictures.
//
// Packing places the bitmaps in the order given on shelves: rows as high as the tallest
// bitmap, with a 2-pixel gap around every bitmap and along the atlas's top and left
// edges. The atlas size is the smallest power-of-two rectangle (the squarer one among
// equals, the later one among equally square) that takes every bitmap, searched among
// sides of 32 to 1024 first, then up to 2048, then up to 4096. Each packed bitmap gets
// its place as a texture rectangle (fractions of the atlas size) in its hardware data;
// font glyphs and sequence frames are then drawn from the atlas's single texture.
#pragma once

#include <stdint.h>

#include "zylem.h"

// How one candidate atlas size is judged; exposed for tests and tools.
struct ZyAtlasCandidate {
  int32_t width, height;
};

// Whether the bitmaps, in order, fit on shelves of an atlas of width x height: each shelf
// is tallest + 2 pixels high, every bitmap takes its width + 2 pixels, and the first
// shelf and bitmap start at (2, 2).
bool ZYI_AtlasShelvesFit(ZY_Bitmap *const *bitmaps, int32_t count, int32_t width, int32_t height);
// The atlas size the candidate search picks for the bitmaps; false when none of sides up
// to 4096 (and area up to 2048 x 2048) takes them. Prints "Fits into ..." per fit.
bool ZYI_AtlasChooseSize(ZY_Bitmap *const *bitmaps, int32_t count, ZyAtlasCandidate *chosen);

// Packs the bitmaps, in the given order, into the atlas: the atlas gets a new zeroed
// pixel buffer of the chosen size, no name and pack mode NO_PADDING; every bitmap's
// pixels are copied to its place and its texture rectangle set. False (with a popup)
// when no atlas size takes them, and false for no bitmaps; the atlas then has no pixels.
bool ZYI_PackBitmaps(ZY_Bitmap *atlas, ZY_Bitmap *const *bitmaps, int32_t count);

// True when both bitmaps have pixels of the same size and no byte of any pixel differs
// by more than the tolerance (a fraction of full scale: a difference d counts as
// d / 255.5). A tolerance of 1.0 or more accepts any pixels of the same size.
bool BitmapPixelsMatch(const ZY_Bitmap *a, const ZY_Bitmap *b, float tolerance);

// The pack mode a configuration word selects: "NO_PADDING" 3, "PAD_EXPAND " (with its
// trailing space) 0, "PAD_TRANSPARENT" 2; any other word (or null) gives `current`.
int16_t ZYI_PackModeFromWord(const char *word, int16_t current);
