// resize.h — resized copies of pixel buffers, and the colour filling of transparent
// pixels that keeps resized, packed and generated images from darkening at their edges.
//
// Enlargements and mild reductions (at most 1.5 times in both directions) are sampled
// bilinearly; stronger reductions average the bilinear samples under each target pixel,
// taking colour from non-transparent samples only. Both work on the four bytes of a
// pixel alike, so they serve either pixel order; alpha is always the fourth byte.
#pragma once

#include <stdint.h>

#include "zylem.h"

// Gives target a new pixel buffer of new_width x new_height (releasing the one it had)
// holding source resized; the target's size and alpha flag follow. The source's fully
// transparent pixels get their colours filled first. A null bitmap or a source without
// pixels is reported by popup; false then, true when the target holds the result.
bool ZYI_CreateImageResized(ZY_Bitmap *target, ZY_Bitmap *source, int32_t new_width,
                            int32_t new_height);

// For a bitmap flagged ZY_BITMAP_HAS_ALPHA with pixels: every pixel of alpha 0 takes the
// colour (not the alpha) of its non-transparent neighbours, tried above, right, below,
// left (clamped to the picture), the last one found winning. Others are left alone.
void ZYI_FillTransparentPixels(ZY_Bitmap *bitmap);
// The same over a bare buffer of width x height pixels.
void ZYI_FillTransparentColours(uint32_t *pixels, int32_t width, int32_t height);
