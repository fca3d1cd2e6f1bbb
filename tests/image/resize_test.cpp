// resize_test.cpp — resizing against hand-computed values: bilinear weights, the clamped
// transparent edge, the averaging filter and its colour-from-visible-samples rule and the
// choice between them.
#include "image_fixture.h"

namespace {

uint32_t Grey(uint8_t v) { return Word(v, v, v, 255); }

}  // namespace

TEST_F(ImageTest, ResizeRefusesEmptySizesAndSources) {
  ZY_Bitmap *target = NewBitmap();
  EXPECT_FALSE(ZYI_CreateImageResized(target, BitmapOf(1, 1, {Grey(1)}, false), 0, 3));  // not divided by
  EXPECT_FALSE(ZYI_CreateImageResized(target, NewBitmap("sheet"), 4, 4));
  EXPECT_EQ(target->pixels, nullptr);
}

// 2 x 2 -> 4 x 4 samples source positions 0, 0.5, 1, 1.5 along each axis. Past the last
// column the edge pixel is used again: opaque without alpha, fading out with it.
TEST_F(ImageTest, ResizeBilinearEnlargementMatchesHandComputedValues) {
  const std::vector<uint32_t> words = {Word(0, 0, 0, 255), Word(200, 0, 0, 255),
                                       Word(0, 100, 0, 255), Word(200, 100, 40, 255)};
  for (bool alpha : {false, true}) {
    SCOPED_TRACE(alpha ? "with alpha" : "opaque");
    ZY_Bitmap *dst = NewBitmap();
    ASSERT_TRUE(ZYI_CreateImageResized(dst, BitmapOf(2, 2, words, alpha), 4, 4));
    EXPECT_EQ(dst->width, 4);
    EXPECT_EQ(dst->alloc_height, 4);
    EXPECT_EQ(dst->flags & ZY_BITMAP_HAS_ALPHA, alpha ? ZY_BITMAP_HAS_ALPHA : 0);
    EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{0, 0, 0, 255}));
    EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{100, 0, 0, 255}));
    EXPECT_EQ(PixelBytes(*dst, 1, 1), (Bytes{100, 50, 10, 255}));  // the mean of the four
    EXPECT_EQ(PixelBytes(*dst, 2, 0), (Bytes{200, 0, 0, 255}));
    // x = 1.5: the clamped neighbour brings its colour but alpha 0 (255 / 2); in the
    // corner three of four are clamped (255 / 4).
    EXPECT_EQ(PixelBytes(*dst, 3, 0), (Bytes{200, 0, 0, (uint8_t)(alpha ? 127 : 255)}));
    EXPECT_EQ(PixelBytes(*dst, 3, 3), (Bytes{200, 100, 40, (uint8_t)(alpha ? 63 : 255)}));
  }
}

TEST_F(ImageTest, ResizeChoosesBilinearUpToOneAndAHalf) {
  // 3 -> 2 is ratio 1.5 exactly: bilinear, so x = 1 samples 1.5 alone: (90 + 180) / 2.
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, BitmapOf(3, 1, {Grey(0), Grey(90), Grey(180)}, false), 2, 1));
  EXPECT_EQ(PixelBytes(*dst, 0, 0)[0], 0);
  EXPECT_EQ(PixelBytes(*dst, 1, 0)[0], 135);  // averaging would give 157
  // 4 -> 2 is ratio 2: averaging over samples at 0 and 1, and at 2 and 3.
  ZY_Bitmap *four = BitmapOf(4, 1, {Grey(0), Grey(90), Grey(180), Grey(240)}, false);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, four, 2, 1));  // the old buffer is replaced
  EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{45, 45, 45, 255}));  // bilinear would give 0
  EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{210, 210, 210, 255}));
  // 64 -> 48 is bilinear: pixel 1 reads position 1.3333, x0 = 1 with weight 682:
  // (3 * 1366 + 6 * 682) * 2048 >> 22 = 3. 64 -> 32 averages pairs; 64 -> 20 averages
  // 4 x 4 samples and keeps an opaque colour exact.
  std::vector<uint32_t> ramp;
  for (int i = 0; i < 64 * 64; i++) ramp.push_back(Grey((uint8_t)(i % 64 * 3)));
  ZY_Bitmap *big = BitmapOf(64, 64, ramp, false);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, big, 48, 48));
  EXPECT_EQ(PixelBytes(*dst, 1, 5)[0], 3);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, big, 32, 32));
  EXPECT_EQ(PixelBytes(*dst, 1, 5)[0], (6 + 9) / 2);
  ZY_Bitmap *solid = BitmapOf(64, 64, std::vector<uint32_t>(64 * 64, Word(13, 77, 200, 255)), false);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, solid, 20, 20));
  for (int i = 0; i < 400; i++) ASSERT_EQ(dst->pixels[i], Word(13, 77, 200, 255)) << i;
  ZY_Bitmap *self = BitmapOf(2, 1, {Grey(10), Grey(30)}, false);  // into itself: the new buffer
  ASSERT_TRUE(ZYI_CreateImageResized(self, self, 4, 1));
  EXPECT_EQ(std::make_pair(+PixelBytes(*self, 1, 0)[0], +PixelBytes(*self, 3, 0)[0]), std::make_pair(20, 30));
}

TEST_F(ImageTest, ResizeAveragingTakesColourFromVisibleSamplesOnly) {
  // 4 x 2 -> 2 x 1: target 0 averages A B / C D, target 1 sees only transparent pixels.
  std::vector<uint32_t> words = {
      Word(100, 0, 0, 255), Word(0, 200, 0, 0), Word(0, 0, 0, 0), Word(0, 0, 0, 0),
      Word(50, 50, 50, 255), Word(0, 0, 0, 128), Word(0, 0, 0, 0), Word(0, 0, 0, 0)};
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, BitmapOf(4, 2, words, true), 2, 1));
  // Colour: (100 + 50 + 0) / 3, (0 + 50 + 0) / 3, (0 + 50 + 0) / 3; alpha 638 / 4.
  EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{50, 16, 16, 159}));
  // Nothing visible: alpha 0, colour then filled from the visible neighbour on its left.
  EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{50, 16, 16, 0}));
}

TEST_F(ImageTest, TransparentPixelsTakeTheLastVisibleNeighbourInOrderUpRightDownLeft) {
  const uint32_t R = Word(200, 0, 0, 255), G = Word(0, 200, 0, 255), B = Word(0, 0, 200, 255),
                 T = Word(1, 2, 3, 0);
  // 3 x 3: the centre sees R above, G right, B below and nothing left: B (down) wins over
  // the earlier up and right; the top-left corner sees R right and T below: R; the pixel
  // left of the centre sees only T and the filled corner above it: it keeps its colour.
  std::vector<uint32_t> words = {T, R, T,
                                 T, T, G,
                                 T, B, T};
  ZYI_FillTransparentColours(words.data(), 3, 3);
  const std::vector<uint32_t> want = {Word(200, 0, 0, 0), R, Word(200, 0, 0, 0),
                                      T, Word(0, 0, 200, 0), G,
                                      Word(0, 0, 200, 0), B, Word(0, 0, 200, 0)};
  EXPECT_EQ(words, want);
  std::vector<uint32_t> row = {G, T, R};  // left beats right
  ZYI_FillTransparentColours(row.data(), 3, 1);
  EXPECT_EQ(row[1], Word(0, 200, 0, 0));
}
