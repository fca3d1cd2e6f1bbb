// resize_test.cpp — resizing against hand-computed values: bilinear weights, the clamped
// transparent edge, the averaging filter and its colour-from-visible-samples rule, the
// choice between them, and the filling of transparent pixels' colours.
#include "image_fixture.h"

namespace {

uint32_t Grey(uint8_t v) { return Word(v, v, v, 255); }

}  // namespace

TEST_F(ImageTest, ResizeRefusesMissingInput) {
  ZY_Bitmap *target = NewBitmap();
  ZY_Bitmap *source = NewBitmap("sheet");
  EXPECT_FALSE(ZYI_CreateImageResized(nullptr, source, 4, 4));
  EXPECT_TRUE(Logged("[POPUP] ZYI_CreateImageResized bm_target is null."));
  EXPECT_FALSE(ZYI_CreateImageResized(target, nullptr, 4, 4));
  EXPECT_TRUE(Logged("[POPUP] ZYI_CreateImageResized bm_source is null."));
  EXPECT_FALSE(ZYI_CreateImageResized(target, source, 4, 4));
  EXPECT_TRUE(Logged("[POPUP] ZYI_CreateImageResized bm_source 'sheet' has no pixels."));
  source->name = nullptr;
  EXPECT_FALSE(ZYI_CreateImageResized(target, source, 4, 4));
  EXPECT_TRUE(Logged("bm_source '(null)' has no pixels."));
  EXPECT_EQ(target->pixels, nullptr);
  // A size of nothing is refused rather than divided by.
  ZY_Bitmap *real = BitmapOf(1, 1, {Grey(1)}, false);
  EXPECT_FALSE(ZYI_CreateImageResized(target, real, 0, 3));
  EXPECT_EQ(target->pixels, nullptr);
}

TEST_F(ImageTest, ResizeBilinearEnlargementMatchesHandComputedValues) {
  // 2 x 2 -> 4 x 4: source positions 0, 0.5, 1, 1.5 along each axis.
  ZY_Bitmap *src = BitmapOf(2, 2, {Word(0, 0, 0, 255), Word(200, 0, 0, 255),
                                   Word(0, 100, 0, 255), Word(200, 100, 40, 255)}, false);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 4, 4));
  EXPECT_EQ(dst->width, 4);
  EXPECT_EQ(dst->alloc_height, 4);
  EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{0, 0, 0, 255}));
  // Halfway in both directions: each weight 1024 x 1024, the mean of the four.
  EXPECT_EQ(PixelBytes(*dst, 1, 1), (Bytes{100, 50, 10, 255}));
  EXPECT_EQ(PixelBytes(*dst, 2, 0), (Bytes{200, 0, 0, 255}));
  EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{100, 0, 0, 255}));
  // Past the last column the edge pixel is used again; without alpha it stays opaque.
  EXPECT_EQ(PixelBytes(*dst, 3, 3), (Bytes{200, 100, 40, 255}));
  EXPECT_EQ(PixelBytes(*dst, 3, 0), (Bytes{200, 0, 0, 255}));
  EXPECT_EQ(dst->flags & ZY_BITMAP_HAS_ALPHA, 0);
}

TEST_F(ImageTest, ResizeBilinearEdgesFadeInAnImageWithAlpha) {
  ZY_Bitmap *src = BitmapOf(2, 2, {Word(0, 0, 0, 255), Word(200, 0, 0, 255),
                                   Word(0, 100, 0, 255), Word(200, 100, 40, 255)}, true);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 4, 4));
  EXPECT_NE(dst->flags & ZY_BITMAP_HAS_ALPHA, 0);
  // Inside, nothing changes.
  EXPECT_EQ(PixelBytes(*dst, 1, 1), (Bytes{100, 50, 10, 255}));
  // x = 1.5: the clamped right neighbour brings its colour but alpha 0: 255 / 2.
  EXPECT_EQ(PixelBytes(*dst, 3, 0), (Bytes{200, 0, 0, 127}));
  // Corner: three of four clamped, 255 / 4 truncated.
  EXPECT_EQ(PixelBytes(*dst, 3, 3), (Bytes{200, 100, 40, 63}));
}

TEST_F(ImageTest, ResizeChoosesBilinearUpToOneAndAHalf) {
  // 3 -> 2 is ratio 1.5 exactly: bilinear, so x = 1 samples 1.5 alone: (90 + 180) / 2.
  ZY_Bitmap *src = BitmapOf(3, 1, {Grey(0), Grey(90), Grey(180)}, false);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 2, 1));
  EXPECT_EQ(PixelBytes(*dst, 0, 0)[0], 0);
  EXPECT_EQ(PixelBytes(*dst, 1, 0)[0], 135);  // averaging would give 157

  // 4 -> 2 is ratio 2: averaging over samples at 0 and 1, and at 2 and 3.
  ZY_Bitmap *four = BitmapOf(4, 1, {Grey(0), Grey(90), Grey(180), Grey(240)}, false);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, four, 2, 1));  // the old buffer is replaced
  EXPECT_EQ(dst->width, 2);
  EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{45, 45, 45, 255}));  // bilinear would give 0
  EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{210, 210, 210, 255}));

  // The 64 x 64 cases: to 48 x 48 is bilinear (pixel 1 reads position 1.33), to 32 x 32
  // averages pairs.
  std::vector<uint32_t> ramp;
  for (int y = 0; y < 64; y++)
    for (int x = 0; x < 64; x++) ramp.push_back(Grey((uint8_t)(x * 3)));
  ZY_Bitmap *big = BitmapOf(64, 64, ramp, false);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, big, 48, 48));
  // 1.3333 -> x0 = 1, weight 682: (3 * 1366 + 6 * 682) * 2048 >> 22 = 3.
  EXPECT_EQ(PixelBytes(*dst, 1, 5)[0], 3);
  ASSERT_TRUE(ZYI_CreateImageResized(dst, big, 32, 32));
  EXPECT_EQ(PixelBytes(*dst, 1, 5)[0], (6 + 9) / 2);
}

TEST_F(ImageTest, ResizeAveragingTakesColourFromVisibleSamplesOnly) {
  // 4 x 2 -> 2 x 1: target 0 averages A B / C D, target 1 sees only transparent pixels.
  std::vector<uint32_t> words = {
      Word(100, 0, 0, 255), Word(0, 200, 0, 0), Word(0, 0, 0, 0), Word(0, 0, 0, 0),
      Word(50, 50, 50, 255), Word(0, 0, 0, 128), Word(0, 0, 0, 0), Word(0, 0, 0, 0)};
  ZY_Bitmap *src = BitmapOf(4, 2, words, true);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 2, 1));
  // Colour: (100 + 50 + 0) / 3, (0 + 50 + 0) / 3, (0 + 50 + 0) / 3; alpha 638 / 4.
  EXPECT_EQ(PixelBytes(*dst, 0, 0), (Bytes{50, 16, 16, 159}));
  // Nothing visible: alpha 0, colour then filled from the visible neighbour on its left.
  EXPECT_EQ(PixelBytes(*dst, 1, 0), (Bytes{50, 16, 16, 0}));
}

TEST_F(ImageTest, ResizeHalvingKeepsOpaqueColoursExact) {
  std::vector<uint32_t> solid(64 * 64, Word(13, 77, 200, 255));
  ZY_Bitmap *src = BitmapOf(64, 64, solid, false);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 32, 32));
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++) ASSERT_EQ(dst->pixels[y * 32 + x], Word(13, 77, 200, 255));
  // Averaging with a ratio that is not whole: 64 -> 20 samples 4 x 4 per pixel.
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 20, 20));
  for (int i = 0; i < 400; i++) ASSERT_EQ(dst->pixels[i], Word(13, 77, 200, 255));
}

TEST_F(ImageTest, ResizeHalvedRedGlyphGainsNoDarkEdges) {
  // A 4 x 4 red block on an 8 x 8 transparent black background, offset by one so the
  // block's edges fall inside averaging footprints.
  std::vector<uint32_t> words(64, Word(0, 0, 0, 0));
  for (int y = 1; y < 5; y++)
    for (int x = 1; x < 5; x++) words[y * 8 + x] = Word(255, 0, 0, 255);
  ZY_Bitmap *src = BitmapOf(8, 8, words, true);
  ZY_Bitmap *dst = NewBitmap();
  ASSERT_TRUE(ZYI_CreateImageResized(dst, src, 4, 4));
  int partial = 0;
  for (int y = 0; y < 4; y++) {
    for (int x = 0; x < 4; x++) {
      Bytes p = PixelBytes(*dst, x, y);
      if (p[3] == 0) continue;
      EXPECT_EQ(p[0], 255) << x << "," << y;
      EXPECT_EQ(p[1], 0);
      EXPECT_EQ(p[2], 0);
      partial += p[3] < 255;
    }
  }
  EXPECT_GT(partial, 0);  // the edges did become partly transparent
  EXPECT_EQ(PixelBytes(*dst, 0, 0)[3], 63);  // one visible sample of four
}

TEST_F(ImageTest, FillTransparentTakesTheLastVisibleNeighbourInOrder) {
  // Centre transparent; neighbours above, right, below (transparent), left.
  std::vector<uint32_t> words = {
      Word(0, 0, 0, 0), Word(10, 0, 0, 255), Word(0, 0, 0, 0),
      Word(40, 40, 40, 255), Word(1, 1, 1, 0), Word(0, 20, 0, 255),
      Word(0, 0, 0, 0), Word(0, 0, 30, 0), Word(0, 0, 0, 0)};
  ZY_Bitmap *bm = BitmapOf(3, 3, words, true);
  ZYI_FillTransparentPixels(bm);
  // Left comes last: its colour wins; alpha stays 0.
  EXPECT_EQ(PixelBytes(*bm, 1, 1), (Bytes{40, 40, 40, 0}));
  // Corner (0, 0): above and left clamp to itself; right is visible (10, 0, 0), below
  // (40, 40, 40) comes after it.
  EXPECT_EQ(PixelBytes(*bm, 0, 0), (Bytes{40, 40, 40, 0}));
  // (2, 0): right clamps to itself; left (10, 0, 0) comes after below (0, 20, 0).
  EXPECT_EQ(PixelBytes(*bm, 2, 0), (Bytes{10, 0, 0, 0}));
  // (1, 2): above is the centre (transparent, even though filled), and right and left
  // are transparent too: unchanged.
  EXPECT_EQ(PixelBytes(*bm, 1, 2), (Bytes{0, 0, 30, 0}));
  // Visible pixels are never touched.
  EXPECT_EQ(PixelBytes(*bm, 1, 0), (Bytes{10, 0, 0, 255}));

  // A bitmap without the alpha flag is left alone.
  ZY_Bitmap *plain = BitmapOf(2, 1, {Word(0, 0, 0, 0), Word(9, 9, 9, 255)}, false);
  ZYI_FillTransparentPixels(plain);
  EXPECT_EQ(PixelBytes(*plain, 0, 0), (Bytes{0, 0, 0, 0}));
  ZYI_FillTransparentPixels(nullptr);
}

TEST_F(ImageTest, ResizeIntoItselfReplacesTheBuffer) {
  ZY_Bitmap *bm = BitmapOf(2, 1, {Grey(10), Grey(30)}, false);
  ASSERT_TRUE(ZYI_CreateImageResized(bm, bm, 4, 1));
  EXPECT_EQ(bm->width, 4);
  EXPECT_EQ(PixelBytes(*bm, 1, 0)[0], 20);
  EXPECT_EQ(PixelBytes(*bm, 3, 0)[0], 30);
}
