// atlas.cpp — atlas packing (candidate search, shelf placement, pixel copy) and the
// pixel comparison of two bitmaps.
//
// The candidate search walks three limit exponents e = 10, 11, 12. For each it tries
// every height 2^a and, within it, every width 2^b with a and b from e - 5 to e. A
// candidate larger than the best fit so far, or as large but less square, is skipped;
// the others are tried with the shelf placement and a fit becomes the new best (so
// among fits of equal area and squareness the later one wins). The search starts with
// 2048 x 2048 as the best and stops after the first exponent that found a fit.
//
// No size fitting is not fatal: the packing fails with its popup and the caller keeps
// running without the atlas.
#include "image/atlas.h"

#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "image/image_loader.h"
#include "image/resize.h"

int16_t ZYI_PackModeFromWord(const char *word, int16_t current) {
  if (!word) return current;
  // The words compare exactly; "PAD_EXPAND " carries its trailing space, so a manifest
  // must write it that way to select it.
  if (strcmp(word, "NO_PADDING") == 0) return ZY_PACK_NO_PADDING;
  if (strcmp(word, "PAD_EXPAND ") == 0) return ZY_PACK_PAD_EXPAND;
  if (strcmp(word, "PAD_TRANSPARENT") == 0) return ZY_PACK_PAD_TRANSPARENT;
  return current;
}

namespace {

const int32_t GAP = 2;                   // pixels around every bitmap and at the edges
const int64_t START_BEST_SIDE = 2048;    // the best before any fit: 2048 x 2048

int32_t Width(const ZY_Bitmap *b) { return b && b->width > 0 ? b->width : 0; }
int32_t Height(const ZY_Bitmap *b) { return b && b->height > 0 ? b->height : 0; }

int32_t Tallest(ZY_Bitmap *const *bitmaps, int32_t count) {
  int32_t m = 0;
  for (int32_t i = 0; i < count; i++)
    if (Height(bitmaps[i]) > m) m = Height(bitmaps[i]);
  return m;
}

int64_t RoundUpPowerOfTwo(int64_t v) {
  if (v <= 0) return 0;
  int64_t p = 1;
  while (p < v) p <<= 1;
  return p;
}

// Sum of the bitmaps' areas with each side rounded up to a power of two: what they
// would take as single textures.
int64_t SingleTextureArea(ZY_Bitmap *const *bitmaps, int32_t count) {
  int64_t area = 0;
  for (int32_t i = 0; i < count; i++)
    area += RoundUpPowerOfTwo(Width(bitmaps[i])) * RoundUpPowerOfTwo(Height(bitmaps[i]));
  return area;
}

// Whether candidate (w, h) is less square than (bw, bh): its smaller side over its larger
// side is smaller (compared without division).
bool LessSquare(int64_t w, int64_t h, int64_t bw, int64_t bh) {
  int64_t small = w < h ? w : h, large = w < h ? h : w;
  int64_t best_small = bw < bh ? bw : bh, best_large = bw < bh ? bh : bw;
  return small * best_large < best_small * large;
}

// Copies a bitmap's pixels into the atlas at (x, y). A bitmap whose buffer is smaller
// than its logical size (a manifest size) gives only what its buffer holds.
void CopyPixels(ZY_Bitmap *atlas, const ZY_Bitmap *b, int32_t x, int32_t y) {
  if (!b->pixels) return;
  int32_t stride = b->alloc_width > 0 ? b->alloc_width : b->width;
  int32_t rows = b->alloc_height > 0 && b->alloc_height < b->height ? b->alloc_height : b->height;
  int32_t columns = stride < b->width ? stride : b->width;
  for (int32_t row = 0; row < rows; row++)
    memcpy(atlas->pixels + (size_t)(y + row) * (size_t)atlas->width + (size_t)x,
           b->pixels + (size_t)row * (size_t)stride, (size_t)columns * 4);
}

}  // namespace

bool ZYI_AtlasShelvesFit(ZY_Bitmap *const *bitmaps, int32_t count, int32_t width, int32_t height) {
  int64_t shelf = (int64_t)Tallest(bitmaps, count) + GAP;
  int64_t x = GAP, y = GAP;
  for (int32_t i = 0; i < count; i++) {
    if (y + shelf > height) return false;
    if (x + Width(bitmaps[i]) + GAP > width) return false;
    x += Width(bitmaps[i]) + GAP;
    if (i + 1 < count && x + Width(bitmaps[i + 1]) + GAP > width) {
      x = GAP;
      y += shelf;
    }
  }
  return true;
}

bool ZYI_AtlasChooseSize(ZY_Bitmap *const *bitmaps, int32_t count, ZyAtlasCandidate *chosen) {
  int64_t single_area = SingleTextureArea(bitmaps, count);
  int64_t best_w = START_BEST_SIDE, best_h = START_BEST_SIDE;
  bool found = false;
  for (int e = 10; e <= 12 && !found; e++) {
    for (int a = e - 5; a <= e; a++) {
      for (int b = e - 5; b <= e; b++) {
        int64_t w = (int64_t)1 << b, h = (int64_t)1 << a;
        int64_t area = w * h, best_area = best_w * best_h;
        if (area > best_area) continue;
        if (area == best_area && LessSquare(w, h, best_w, best_h)) continue;
        if (!ZYI_AtlasShelvesFit(bitmaps, count, (int32_t)w, (int32_t)h)) continue;
        ZY_Print("Fits into %dx%d (%d %% full)", (int)w, (int)h, (int)(single_area * 100 / area));
        best_w = w;
        best_h = h;
        found = true;
      }
    }
  }
  if (found && chosen) {
    chosen->width = (int32_t)best_w;
    chosen->height = (int32_t)best_h;
  }
  return found;
}

bool ZYI_PackBitmaps(ZY_Bitmap *atlas, ZY_Bitmap *const *bitmaps, int32_t count) {
  if (!atlas) return false;
  ImageLoader *loader = ZYI_GetImageLoader();
  if (atlas->pixels) {
    if (loader)
      loader->FreeImagePixels(atlas);
    else
      free(atlas->pixels);
    atlas->pixels = nullptr;
  }
  free(atlas->name);
  atlas->name = nullptr;
  atlas->pack_mode = ZYI_PackModeFromWord("NO_PADDING", atlas->pack_mode);

  bool usable = bitmaps && count > 0;
  for (int32_t i = 0; usable && i < count; i++) usable = bitmaps[i] != nullptr;
  if (!usable) {
    ZY_Print("WARNING: Failed to tile %d bitmaps into any atlas.", count > 0 ? count : 0);
    return false;
  }

  ZyAtlasCandidate size;
  if (!ZYI_AtlasChooseSize(bitmaps, count, &size)) {
    ZY_Popup(ZY_LOG_WARNING,
             "ZYI_PackBitmaps unable to find large enough atlas size for %d bitmaps (first bm "
             "size %dx%d). All bitmaps need to fit into 1024x1024 atlas for 100%% "
             "cross-platform compatibility.",
             count, bitmaps[0]->width, bitmaps[0]->height);
    return false;
  }
  double ratio = (double)SingleTextureArea(bitmaps, count) / ((double)size.width * size.height);
  ZY_Print("Choosing %dx%d, packing pixels... (ratio %.2f vs single images)", size.width,
           size.height, ratio);

  if (loader)
    loader->AllocateImagePixels(atlas, size.width, size.height);
  else
    atlas->pixels = (uint32_t *)malloc((size_t)size.width * (size_t)size.height * 4);
  if (!atlas->pixels) return false;
  atlas->width = atlas->alloc_width = size.width;
  atlas->height = atlas->alloc_height = size.height;
  memset(atlas->pixels, 0, (size_t)size.width * (size_t)size.height * 4);

  int32_t shelf = Tallest(bitmaps, count) + GAP;
  int32_t x = GAP, y = GAP;
  float fw = (float)size.width, fh = (float)size.height;
  for (int32_t i = 0; i < count; i++) {
    ZY_Bitmap *b = bitmaps[i];
    int32_t w = Width(b), h = Height(b);
    if (x + w + GAP <= size.width) {
      CopyPixels(atlas, b, x, y);
      b->hw.left = (float)x / fw;
      b->hw.top = (float)y / fh;
      b->hw.right = (float)(x + w) / fw;
      b->hw.bottom = (float)(y + h) / fh;
      x += w + GAP;
    }
    if (i + 1 < count && x + Width(bitmaps[i + 1]) + GAP > size.width) {
      x = GAP;
      y += shelf;
    }
  }

  // The gaps are transparent; their colours come from the neighbouring pictures so that
  // filtering at a picture's edge does not blend in black.
  atlas->flags |= ZY_BITMAP_HAS_ALPHA;
  ZYI_FillTransparentPixels(atlas);
  ZY_Print("Successfully packed %d bitmaps into %dx%d atlas.", count, size.width, size.height);
  return true;
}

bool BitmapPixelsMatch(const ZY_Bitmap *a, const ZY_Bitmap *b, float tolerance) {
  if (!a || !b || !a->pixels || !b->pixels) {
    ZY_Log(ZY_LOG_WARNING, "BitmapPixelsMatch got bad parameters.");
    return false;
  }
  if (a->width != b->width || a->height != b->height) return false;
  if (tolerance >= 1.0f) return true;
  const uint8_t *pa = (const uint8_t *)a->pixels;
  const uint8_t *pb = (const uint8_t *)b->pixels;
  size_t width = (size_t)(a->width > 0 ? a->width : 0);
  size_t bytes = width * (size_t)(a->height > 0 ? a->height : 0) * 4;
  if (memcmp(pa, pb, bytes) == 0) return true;  // repeated frames are mostly exact copies
  double total = 0.0;
  for (size_t i = 0; i < bytes; i++) {
    int d = pa[i] > pb[i] ? pa[i] - pb[i] : pb[i] - pa[i];
    double difference = d * 0.0039138943;  // 1 / 255.5
    if (difference > tolerance) return false;
    total += difference;
  }
  if (total > 0.0) ZY_Log(ZY_LOG_INFO, "Total difference is %d units", (int)total);
  return true;
}
