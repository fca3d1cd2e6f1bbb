// generate_kerning.cpp — automatic kerning of a LATIN-1 font.
//
// For each ordered pair (previous p, current c) the two pictures are put side by side in
// one frame, aligned by their y offsets. On every row the gap between p's rightmost ink
// and c's leftmost ink is measured (a row without ink counts as W - 1, W the narrower
// width); the pair moves together by the smallest gap, so "AV" tucks the V under the A's
// slope while "HH" stays apart. Each picture's ink edges are found once per row first, so
// a pair costs one pass over the taller height.
#include <stdlib.h>
#include <string.h>

#include "base/popup.h"
#include "font/generate_internal.h"

namespace {

// Glyphs that never kern: the space, the hyphen and the underscore.
bool NeverKerns(int32_t code) { return code == 32 || code == 45 || code == 95; }

// Per row of a picture: the distance from its left edge to its leftmost ink pixel and
// from its right edge to its rightmost one; -1 on rows without ink.
struct InkEdges {
  int32_t *left = nullptr, *right = nullptr;
};

bool MeasureInk(const ZY_Bitmap &picture, uint32_t threshold_alpha, InkEdges *edges) {
  int32_t w = picture.width, h = picture.height;
  edges->left = (int32_t *)malloc(sizeof(int32_t) * 2 * (size_t)h);
  if (!edges->left) return false;
  edges->right = edges->left + h;
  const uint8_t *bytes = (const uint8_t *)picture.pixels;
  for (int32_t y = 0; y < h; y++) {
    edges->left[y] = edges->right[y] = -1;
    for (int32_t x = 0; x < w; x++) {
      if (bytes[((size_t)y * w + x) * 4 + 3] < threshold_alpha) continue;
      if (edges->left[y] < 0) edges->left[y] = x;
      edges->right[y] = w - 1 - x;
    }
  }
  return true;
}

// Gap on a row of one glyph, or `none` when the row lies outside it or has no ink.
int32_t Gap(const int32_t *side, int32_t rows, int32_t row, int32_t none) {
  return row >= 0 && row < rows && side[row] >= 0 ? side[row] : none;
}

}  // namespace

void ZYI_DetermineKernPairs(ZY_Font *font, int32_t padding, float threshold) {
  int32_t count = font->glyph_count;
  InkEdges *edges = (InkEdges *)calloc((size_t)count, sizeof(InkEdges));
  if (!edges) return;
  // alpha / 255 >= threshold, compared in whole alpha steps.
  float scaled = threshold * 255.0f;
  uint32_t threshold_alpha = !(scaled > 0) ? 0 : scaled > 255 ? 256 : (uint32_t)(scaled + 0.9999f);
  for (int32_t i = 0; i < count; i++) {
    const ZY_Bitmap &picture = font->glyphs[i].picture;
    if (picture.pixels && picture.width > 0 && picture.height > 0)
      MeasureInk(picture, threshold_alpha, &edges[i]);
  }

  for (int32_t c = 0; c < count; c++) {
    ZyGlyph &cur = font->glyphs[c];
    if (!cur.kern) continue;
    for (int32_t p = 0; p < count; p++) {
      const ZyGlyph &prev = font->glyphs[p];
      int32_t value = 0;
      if (!NeverKerns(p) && !NeverKerns(c) && edges[p].left && edges[c].left) {
        int32_t pw = prev.picture.width, cw = cur.picture.width;
        int32_t ph = prev.picture.height, ch = cur.picture.height;
        int32_t w = pw < cw ? pw : cw, h = ph > ch ? ph : ch;
        int32_t y = prev.y_offset < cur.y_offset ? prev.y_offset : cur.y_offset;
        int32_t smallest = w - 1;
        for (int32_t r = 0; r < h && smallest > 0; r++) {
          int32_t sum = Gap(edges[p].right, ph, r + y - prev.y_offset, w - 1) +
                        Gap(edges[c].left, ch, r + y - cur.y_offset, w - 1);
          if (sum < smallest) smallest = sum;
        }
        value = -smallest;
      }
      int32_t total = value + padding;
      if (abs(total) > 120) {
        ZY_Popup(ZY_LOG_WARNING,
                 "Sanity check fail: ZYI_DetermineKernPairs for chars #%d and #%d has too large padding (%d) and kern_padding (%d) total. Total needs to fit into 8-bit signed int in selected mft format!\n",
                 p, c, value, padding);
        // A signed byte cannot hold it: keep the largest move that fits rather than
        // letting the value wrap around into a jump the other way.
        total = total < 0 ? -120 : 120;
      }
      cur.kern[p] = (int8_t)total;
    }
  }
  for (int32_t i = 0; i < count; i++) free(edges[i].left);
  free(edges);
}
