// resize.cpp — bilinear and averaging resampling of pixel buffers.
//
// Sample positions follow the target grid without a half-pixel offset: target column x
// reads from source column x / new_width * source_width. A bilinear sample blends the
// four pixels around a position with 11-bit weights (2048 = 1.0); neighbours beyond the
// last row or column are the edge pixels again, and in an image with alpha they count
// as fully transparent, so the right and bottom edges fade out instead of smearing.
//
// The averaging filter covers each target pixel's footprint in the source (ratio x
// ratio source pixels) with bilinear samples one source pixel apart. Colour is the mean
// of the samples that are not fully transparent and alpha the mean of all of them, so a
// glyph on a transparent background keeps its colour up to its edge. Means are exact
// integer divisions: an opaque area of one colour keeps exactly that colour.
//
// The per-axis sample positions are worked out once per column and once per row.
#include "image/resize.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "base/popup.h"

namespace {

const uint32_t WEIGHT_ONE = 2048;  // 11-bit fixed point
const int WEIGHT_SHIFT = 22;       // two weights multiplied: 2048 * 2048
const float BILINEAR_LIMIT = 1.5f;

// Where one sample falls along an axis: the two source indices it blends, the weight
// of the second, and whether either index had to be clamped to the image.
struct AxisTap {
  int32_t i0, i1;
  uint32_t weight;   // 0..2047 for i1; i0 gets WEIGHT_ONE - weight
  bool clamped0, clamped1;
};

AxisTap TapAt(float position, int32_t size) {
  AxisTap tap;
  int32_t whole = (int32_t)position;
  tap.weight = (uint32_t)((position - (float)whole) * (float)WEIGHT_ONE);
  if (tap.weight >= WEIGHT_ONE) tap.weight = WEIGHT_ONE - 1;
  tap.clamped0 = whole > size - 1 || whole < 0;
  tap.i0 = whole < 0 ? 0 : whole > size - 1 ? size - 1 : whole;
  tap.clamped1 = whole + 1 > size - 1 || whole + 1 < 0;
  tap.i1 = whole + 1 < 0 ? 0 : whole + 1 > size - 1 ? size - 1 : whole + 1;
  return tap;
}

// Source of samples: the pixels as bytes, their size and whether clamped pixels count
// as transparent.
struct Source {
  const uint8_t *pixels;
  int32_t width, height;
  bool has_alpha;
};

// One bilinear sample at the crossing of a column tap and a row tap.
inline void Sample(const Source &s, const AxisTap &tx, const AxisTap &ty, uint32_t out[4]) {
  if (tx.weight == 0 && ty.weight == 0) {
    // On a pixel exactly (the averaging filter at whole ratios): the other three weigh
    // nothing, and the blend below would give this pixel unchanged.
    const uint8_t *p = s.pixels + ((size_t)ty.i0 * s.width + tx.i0) * 4;
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    out[3] = s.has_alpha && (tx.clamped0 || ty.clamped0) ? 0 : p[3];
    return;
  }
  const uint8_t *row0 = s.pixels + (size_t)ty.i0 * s.width * 4;
  const uint8_t *row1 = s.pixels + (size_t)ty.i1 * s.width * 4;
  const uint8_t *p00 = row0 + (size_t)tx.i0 * 4, *p10 = row0 + (size_t)tx.i1 * 4;
  const uint8_t *p01 = row1 + (size_t)tx.i0 * 4, *p11 = row1 + (size_t)tx.i1 * 4;
  uint32_t fx = tx.weight, fy = ty.weight;
  uint32_t w00 = (WEIGHT_ONE - fx) * (WEIGHT_ONE - fy), w10 = fx * (WEIGHT_ONE - fy);
  uint32_t w01 = (WEIGHT_ONE - fx) * fy, w11 = fx * fy;
  for (int c = 0; c < 3; c++)
    out[c] = (p00[c] * w00 + p10[c] * w10 + p01[c] * w01 + p11[c] * w11) >> WEIGHT_SHIFT;
  uint32_t a00 = p00[3], a10 = p10[3], a01 = p01[3], a11 = p11[3];
  if (s.has_alpha) {
    if (tx.clamped0 || ty.clamped0) a00 = 0;
    if (tx.clamped1 || ty.clamped0) a10 = 0;
    if (tx.clamped0 || ty.clamped1) a01 = 0;
    if (tx.clamped1 || ty.clamped1) a11 = 0;
  }
  out[3] = (a00 * w00 + a10 * w10 + a01 * w01 + a11 * w11) >> WEIGHT_SHIFT;
  // Weights add up to 2048 * 2048, so no channel can exceed 255.
}

// The source position of target index t along an axis.
inline float Position(int32_t t, int32_t target_size, int32_t source_size) {
  return (float)t / (float)target_size * (float)source_size;
}

void ResizeBilinear(const Source &s, uint8_t *out, int32_t width, int32_t height) {
  std::vector<AxisTap> columns((size_t)width);
  for (int32_t x = 0; x < width; x++) columns[(size_t)x] = TapAt(Position(x, width, s.width), s.width);
  for (int32_t y = 0; y < height; y++) {
    AxisTap ty = TapAt(Position(y, height, s.height), s.height);
    for (int32_t x = 0; x < width; x++, out += 4) {
      uint32_t v[4];
      Sample(s, columns[(size_t)x], ty, v);
      out[0] = (uint8_t)v[0];
      out[1] = (uint8_t)v[1];
      out[2] = (uint8_t)v[2];
      out[3] = (uint8_t)v[3];
    }
  }
}

// The taps of every target index along an axis, `count` per index: the footprint starts
// at the index's position and is sampled at steps of one source pixel while inside it.
std::vector<AxisTap> FootprintTaps(int32_t target_size, int32_t source_size, int count) {
  std::vector<AxisTap> taps((size_t)target_size * count);
  for (int32_t t = 0; t < target_size; t++) {
    float start = Position(t, target_size, source_size);
    for (int i = 0; i < count; i++)
      taps[(size_t)t * count + i] = TapAt(start + (float)i, source_size);
  }
  return taps;
}

void ResizeAveraging(const Source &s, uint8_t *out, int32_t width, int32_t height, float rx,
                     float ry) {
  // Samples at start + i for every i with i < ratio: ceil(ratio) of them.
  int nx = (int)ceilf(rx), ny = (int)ceilf(ry);
  if (nx < 1) nx = 1;
  if (ny < 1) ny = 1;
  std::vector<AxisTap> columns = FootprintTaps(width, s.width, nx);
  std::vector<AxisTap> rows = FootprintTaps(height, s.height, ny);
  uint32_t samples = (uint32_t)nx * (uint32_t)ny;
  for (int32_t y = 0; y < height; y++) {
    const AxisTap *ty = &rows[(size_t)y * ny];
    for (int32_t x = 0; x < width; x++, out += 4) {
      const AxisTap *tx = &columns[(size_t)x * nx];
      uint64_t colour[3] = {0, 0, 0}, alpha = 0;
      uint32_t seen = 0;  // samples with alpha above 0
      for (int j = 0; j < ny; j++) {
        for (int i = 0; i < nx; i++) {
          uint32_t v[4];
          Sample(s, tx[i], ty[j], v);
          alpha += v[3];
          if (v[3] > 0) {
            colour[0] += v[0];
            colour[1] += v[1];
            colour[2] += v[2];
            seen++;
          }
        }
      }
      // A footprint with no visible sample has no colour of its own; it stays 0 here and
      // is filled from its neighbours afterwards, like every transparent pixel.
      for (int c = 0; c < 3; c++) out[c] = seen ? (uint8_t)(colour[c] / seen) : 0;
      out[3] = (uint8_t)(alpha / samples);
    }
  }
}

}  // namespace

bool ZYI_CreateImageResized(ZY_Bitmap *target, ZY_Bitmap *source, int32_t new_width,
                            int32_t new_height) {
  if (!target) {
    ZY_Popup(1, "ZYI_CreateImageResized bm_target is null.");
    return false;
  }
  if (!source) {
    ZY_Popup(1, "ZYI_CreateImageResized bm_source is null.");
    return false;
  }
  if (!source->pixels || source->width < 1 || source->height < 1) {
    ZY_Popup(1, "ZYI_CreateImageResized bm_source '%s' has no pixels.",
             source->name ? source->name : "(null)");
    return false;
  }
  if (new_width < 1 || new_height < 1) {
    ZY_Popup(1, "ZYI_CreateImageResized size %dx%d for '%s' is not valid.", new_width,
             new_height, source->name ? source->name : "(null)");
    return false;
  }
  uint8_t *result = (uint8_t *)malloc((size_t)new_width * (size_t)new_height * 4);
  if (!result) return false;

  ZYI_FillTransparentPixels(source);
  bool has_alpha = (source->flags & ZY_BITMAP_HAS_ALPHA) != 0;
  Source s = {(const uint8_t *)source->pixels, source->width, source->height, has_alpha};
  float rx = (float)source->width / (float)new_width;
  float ry = (float)source->height / (float)new_height;
  if (rx <= BILINEAR_LIMIT && ry <= BILINEAR_LIMIT)
    ResizeBilinear(s, result, new_width, new_height);
  else
    ResizeAveraging(s, result, new_width, new_height, rx, ry);

  // The old buffer goes only now: the target may be the source itself.
  free(target->pixels);
  target->pixels = (uint32_t *)result;
  target->width = target->alloc_width = new_width;
  target->height = target->alloc_height = new_height;
  target->flags = (uint8_t)((target->flags & ~ZY_BITMAP_HAS_ALPHA) |
                            (has_alpha ? ZY_BITMAP_HAS_ALPHA : 0));
  ZYI_FillTransparentPixels(target);
  return true;
}

void ZYI_FillTransparentPixels(ZY_Bitmap *bitmap) {
  if (!bitmap || !bitmap->pixels || !(bitmap->flags & ZY_BITMAP_HAS_ALPHA)) return;
  ZYI_FillTransparentColours(bitmap->pixels, bitmap->width, bitmap->height);
}

void ZYI_FillTransparentColours(uint32_t *pixels, int32_t width, int32_t height) {
  if (!pixels || width < 1 || height < 1) return;
  // Pixels are four bytes with alpha last; as a word, alpha is its top or bottom byte.
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  const uint32_t ALPHA = 0x000000FFu;
#else
  const uint32_t ALPHA = 0xFF000000u;
#endif
  // A transparent pixel takes the colour of its last visible neighbour in the order up,
  // right, down, left, so the neighbours are tried backwards and the first visible one
  // wins; neighbours past the edge do not count. A pixel filled earlier in this pass
  // keeps alpha 0, so it never passes its borrowed colour on, and visible pixels are
  // never written: working in place equals working on a copy.
  const size_t w = (size_t)width;
  for (int32_t y = 0; y < height; y++) {
    uint32_t *row = pixels + (size_t)y * w;
    const uint32_t *above = y > 0 ? row - w : nullptr;
    const uint32_t *below = y + 1 < height ? row + w : nullptr;
    for (int32_t x = 0; x < width; x++) {
      if (row[x] & ALPHA) continue;
      const uint32_t *from = nullptr;
      if (x > 0 && (row[x - 1] & ALPHA)) from = &row[x - 1];
      else if (below && (below[x] & ALPHA)) from = &below[x];
      else if (x + 1 < width && (row[x + 1] & ALPHA)) from = &row[x + 1];
      else if (above && (above[x] & ALPHA)) from = &above[x];
      if (from) row[x] = *from & ~ALPHA;
    }
  }
}
