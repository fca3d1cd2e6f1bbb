// bitmaps_sequence_frames.cpp — numbered images as frames, and finding repeated frames.
//
// Counting frames tries the numbers 0 to 999 through the file layer. Counting starts at
// the first number found and stops after a run of missing numbers longer than the gap
// limit: 5, or 100 once the found frames have shown gaps of two different lengths (an
// animation numbered in steps).
//
// Repeated frames: every frame is compared with every earlier one, so the comparison
// must be cheap. Two frames can only match when they have the same size and no byte
// differs by more than the tolerance allows (d levels), so the sums of any block of
// their bytes differ by at most d times the block's size. Each frame gets such sums for
// a 4 x 4 grid of blocks per channel once; pixels are compared only for pairs whose sums
// all agree that closely. The test is a necessary condition, so the frames found are
// exactly those a pixel-by-pixel comparison finds.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "base/popup.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "fs/fs.h"
#include "image/atlas.h"
#include "image/image_loader.h"

namespace {

const int32_t LAST_NUMBER = 999;
const int32_t NARROW_GAP_LIMIT = 5;
const int32_t WIDE_GAP_LIMIT = 100;
const int32_t PROGRESS_STEP = 50;
const float REPEAT_TOLERANCE = 3.0f / 255.0f;  // a channel may differ by 3 levels
const int32_t GRID = 4;                       // blocks per side of a frame's signature

bool Exists(const std::string &name) {
  ZY_File *file = ZYFS_OpenFileInternal(name.c_str(), "rb");
  if (file) ZYFS_CloseFileInternal(file);
  return file != nullptr;
}

// The frame numbers the gap rule takes, in order.
std::vector<int32_t> CountFrames(const std::string &prefix, const std::string &suffix) {
  std::vector<int32_t> found;
  int32_t missing = 0, limit = NARROW_GAP_LIMIT, last_gap = 0;
  for (int32_t n = 0; n <= LAST_NUMBER; n++) {
    char digits[16];
    snprintf(digits, sizeof digits, "%.4d", n);
    if (Exists(prefix + digits + suffix)) {
      if (!found.empty() && missing > 0) {
        if (last_gap > 0 && missing != last_gap) limit = WIDE_GAP_LIMIT;
        last_gap = missing;
      }
      found.push_back(n);
      missing = 0;
    } else if (!found.empty() && ++missing > limit) {
      break;
    }
  }
  return found;
}

// Per-channel sums of a frame's bytes over a grid of blocks, and each block's pixels.
struct Signature {
  int32_t width = 0, height = 0;
  std::vector<int64_t> sums;    // GRID x GRID blocks x 4 channels
  std::vector<int64_t> pixels;  // pixels per block
};

Signature Sign(const ZY_Bitmap &f) {
  Signature s;
  if (!f.pixels || f.width <= 0 || f.height <= 0) return s;
  s.width = f.width, s.height = f.height;
  s.sums.assign(GRID * GRID * 4, 0);
  s.pixels.assign(GRID * GRID, 0);
  // Each row adds its pixels to the sums of the blocks it crosses, one span per block.
  std::vector<int32_t> start(GRID + 1);
  for (int32_t b = 0; b <= GRID; b++)
    start[(size_t)b] = (int32_t)(((int64_t)f.width * b + GRID - 1) / GRID);  // first x of b
  const uint8_t *p = (const uint8_t *)f.pixels;
  for (int32_t y = 0; y < f.height; y++) {
    int32_t by = (int32_t)((int64_t)y * GRID / f.height);
    for (int32_t bx = 0; bx < GRID; bx++) {
      int64_t sum[4] = {0, 0, 0, 0};
      for (int32_t x = start[(size_t)bx]; x < start[(size_t)bx + 1]; x++, p += 4)
        sum[0] += p[0], sum[1] += p[1], sum[2] += p[2], sum[3] += p[3];
      int32_t block = by * GRID + bx;
      for (int c = 0; c < 4; c++) s.sums[(size_t)block * 4 + (size_t)c] += sum[c];
      s.pixels[(size_t)block] += start[(size_t)bx + 1] - start[(size_t)bx];
    }
  }
  return s;
}

// Whether the frames of two signatures may match with bytes at most `levels` apart.
bool MayMatch(const Signature &a, const Signature &b, int64_t levels) {
  if (a.sums.empty() || b.sums.empty() || a.width != b.width || a.height != b.height)
    return false;
  for (size_t i = 0; i < a.sums.size(); i++) {
    int64_t d = a.sums[i] > b.sums[i] ? a.sums[i] - b.sums[i] : b.sums[i] - a.sums[i];
    if (d > levels * a.pixels[i / 4]) return false;
  }
  return true;
}

// The largest byte difference the pixel comparison accepts at a tolerance.
int64_t LevelsWithin(float tolerance) {
  int64_t levels = 0;
  while (levels < 255 && (double)(levels + 1) * 0.0039138943 <= tolerance) levels++;
  return levels;
}

}  // namespace

bool LoadNumberedFrames(ZY_Bitmap *seq, const char *pattern) {
  return ZYI_LoadNumberedFramesEx(seq, pattern, nullptr, nullptr);
}

bool ZYI_LoadNumberedFramesEx(ZY_Bitmap *seq, const char *pattern, ZyFrameProgress progress,
                              void *user) {
  const char *star = pattern ? strchr(pattern, '*') : nullptr;
  ImageLoader *loader = ZYI_GetImageLoader();
  if (!seq || !star || !loader) return false;
  const std::string prefix(pattern, (size_t)(star - pattern)), suffix(star + 1);
  std::vector<int32_t> numbers = CountFrames(prefix, suffix);
  if (numbers.empty()) {
    ZY_Popup(ZY_LOG_WARNING, "Bitmap files '%s' not found.", pattern);
    return false;
  }
  int32_t count = (int32_t)numbers.size();
  ZY_Bitmap *frames = (ZY_Bitmap *)calloc((size_t)count, sizeof(ZY_Bitmap));
  if (!frames) return false;
  ZYI_BitmapDropFrames(seq);
  seq->frames = frames;
  seq->frame_count = count;
  for (int32_t i = 0; i < count; i++) {
    char digits[16];
    snprintf(digits, sizeof digits, "%.4d", numbers[(size_t)i]);
    const std::string name = prefix + digits + suffix;
    ZY_Bitmap &f = frames[i];
    f.name = strdup(name.c_str());
    if (!f.name || !loader->LoadImage(&f, f.name) || !f.pixels) {
      ZYI_BitmapDropFrames(seq);  // a frame that cannot be read fails the sequence
      return false;
    }
    f.alloc_width = f.width, f.alloc_height = f.height;
    f.frame_rate = 30.0f;
    f.state = ZY_BITMAP_STATE_READY;
    ZYI_SetFrameNumber(&f, numbers[(size_t)i]);
    if (progress && ((i + 1) % PROGRESS_STEP == 0 || i + 1 == count)) progress(i + 1, count, user);
  }
  ZY_SelectBitmapFrame(seq, 0);
  return true;
}

void OptimizeSequence(ZY_Bitmap *seq) {
  if (!seq || !seq->frames) return;
  ZY_Print("Optimizing sequence '%s'...", seq->name ? seq->name : "");
  const int64_t levels = LevelsWithin(REPEAT_TOLERANCE);
  std::vector<Signature> signs((size_t)seq->frame_count);
  for (int32_t i = 0; i < seq->frame_count; i++) signs[(size_t)i] = Sign(seq->frames[i]);
  uint64_t saved = 0;
  for (int32_t i = seq->frame_count - 1; i >= 0; i--) {
    ZY_Bitmap &f = seq->frames[i];
    for (int32_t j = 0; j < i; j++) {
      if (!MayMatch(signs[(size_t)i], signs[(size_t)j], levels) ||
          !BitmapPixelsMatch(&f, &seq->frames[j], REPEAT_TOLERANCE))
        continue;
      ZY_Print("Frames #%.4d and #%.4d match.", i, j);
      f.duplicate_of = &seq->frames[j];
      saved += (uint64_t)f.width * (uint64_t)f.height * 4;
      break;
    }
  }
  if (saved)
    ZY_Print("Saved %.2fMB by removing similar frames from sequence %s.",
             (double)saved / 1048576.0, seq->name ? seq->name : "");
}
