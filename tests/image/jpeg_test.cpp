// jpeg_test.cpp — JPEG loading (colour, grey, CMYK, progressive), both pixel orders,
// saving with a quality, library errors and warnings, and damaged files (truncated at
// every length, random corruption) failing cleanly.
#include <random>

#include "image_fixture.h"

namespace {

// Packed samples of a smooth colour picture: gentle gradients survive JPEG well.
std::vector<uint8_t> SmoothRgb(uint32_t width, uint32_t height) {
  std::vector<uint8_t> s;
  for (uint32_t y = 0; y < height; y++)
    for (uint32_t x = 0; x < width; x++)
      s.insert(s.end(), {(uint8_t)(40 + x * 4), (uint8_t)(60 + y * 3), (uint8_t)(180 - x - y)});
  return s;
}

// Largest difference of any colour byte between a buffer and packed RGB samples.
int MaxError(const ZY_Bitmap &bm, const std::vector<uint8_t> &rgb, bool bgra) {
  int worst = 0;
  const uint8_t *p = (const uint8_t *)bm.pixels;
  for (size_t i = 0; i < (size_t)bm.width * bm.height; i++) {
    int r = p[i * 4 + (bgra ? 2 : 0)], g = p[i * 4 + 1], b = p[i * 4 + (bgra ? 0 : 2)];
    worst = std::max(worst, std::abs(r - rgb[i * 3]));
    worst = std::max(worst, std::abs(g - rgb[i * 3 + 1]));
    worst = std::max(worst, std::abs(b - rgb[i * 3 + 2]));
  }
  return worst;
}

// Sum of the differences of every colour byte (R, G, B buffers).
long TotalError(const ZY_Bitmap &bm, const std::vector<uint8_t> &rgb) {
  long total = 0;
  const uint8_t *p = (const uint8_t *)bm.pixels;
  for (size_t i = 0; i < (size_t)bm.width * bm.height; i++)
    for (int c = 0; c < 3; c++) total += std::abs(p[i * 4 + c] - rgb[i * 3 + c]);
  return total;
}

bool AllOpaque(const ZY_Bitmap &bm) {
  const uint8_t *p = (const uint8_t *)bm.pixels;
  for (size_t i = 0; i < (size_t)bm.width * bm.height; i++)
    if (p[i * 4 + 3] != 255) return false;
  return true;
}

}  // namespace

TEST_F(ImageTest, JpegColourLoadsOpaqueInEitherPixelOrder) {
  std::vector<uint8_t> solid;
  for (int i = 0; i < 16 * 16; i++) solid.insert(solid.end(), {200, 100, 50});
  std::string jpg = MakeJpeg(16, 16, 3, JCS_RGB, solid, 100);
  ZY_Bitmap *bm = LoadBytes("solid.jpg", jpg);
  ASSERT_NE(bm->pixels, nullptr);
  EXPECT_EQ(bm->width, 16);
  EXPECT_EQ(bm->height, 16);
  EXPECT_EQ(bm->flags, ZY_BITMAP_RELOADABLE);  // no alpha
  EXPECT_LE(MaxError(*bm, solid, false), 2);
  EXPECT_TRUE(AllOpaque(*bm));

  UseBgra(true);
  ZY_Bitmap *bgra = LoadBytes("solid.jpg", jpg);
  Bytes p = PixelBytes(*bgra, 5, 5);
  EXPECT_NEAR(p[0], 50, 2);
  EXPECT_NEAR(p[1], 100, 2);
  EXPECT_NEAR(p[2], 200, 2);
  EXPECT_EQ(p[3], 255);
}

TEST_F(ImageTest, JpegGreyBecomesOpaqueGrey) {
  std::vector<uint8_t> grey;
  for (int y = 0; y < 8; y++)
    for (int x = 0; x < 8; x++) grey.push_back((uint8_t)(100 + x * 2));
  for (bool bgra : {false, true}) {
    UseBgra(bgra);
    ZY_Bitmap *bm = LoadBytes("grey.jpg", MakeJpeg(8, 8, 1, JCS_GRAYSCALE, grey, 100));
    ASSERT_NE(bm->pixels, nullptr);
    EXPECT_EQ(bm->flags & ZY_BITMAP_HAS_ALPHA, 0);
    for (int x = 0; x < 8; x++) {
      Bytes p = PixelBytes(*bm, x, 3);
      EXPECT_NEAR(p[0], 100 + x * 2, 2);
      EXPECT_EQ(p[0], p[1]);
      EXPECT_EQ(p[1], p[2]);
      EXPECT_EQ(p[3], 255);
    }
  }
}

TEST_F(ImageTest, JpegCmykIsConvertedToColour) {
  // Stored the Adobe way (inverted): 255 means no ink, so K = 255 leaves the colour.
  std::vector<uint8_t> cmyk;
  for (int i = 0; i < 8 * 8; i++) cmyk.insert(cmyk.end(), {200, 100, 50, 255});
  ZY_Bitmap *bm = LoadBytes("cmyk.jpg", MakeJpeg(8, 8, 4, JCS_CMYK, cmyk, 100));
  ASSERT_NE(bm->pixels, nullptr);
  Bytes p = PixelBytes(*bm, 3, 3);
  EXPECT_NEAR(p[0], 200, 3);
  EXPECT_NEAR(p[1], 100, 3);
  EXPECT_NEAR(p[2], 50, 3);
  EXPECT_EQ(p[3], 255);
}

TEST_F(ImageTest, JpegProgressiveDecodesLikeBaseline) {
  std::vector<uint8_t> rgb = SmoothRgb(33, 17);
  ZY_Bitmap *baseline = LoadBytes("base.jpg", MakeJpeg(33, 17, 3, JCS_RGB, rgb, 85));
  ZY_Bitmap *progressive = LoadBytes("prog.jpg", MakeJpeg(33, 17, 3, JCS_RGB, rgb, 85, true));
  ASSERT_NE(baseline->pixels, nullptr);
  ASSERT_NE(progressive->pixels, nullptr);
  EXPECT_EQ(memcmp(baseline->pixels, progressive->pixels, 33 * 17 * 4), 0);
}

TEST_F(ImageTest, JpegSavedAndLoadedBackIsCloseInBothOrders) {
  std::vector<uint8_t> rgb = SmoothRgb(24, 20);
  for (bool bgra : {false, true}) {
    UseBgra(bgra);
    std::vector<uint32_t> words;
    for (size_t i = 0; i < 24 * 20; i++) {
      uint8_t r = rgb[i * 3], g = rgb[i * 3 + 1], b = rgb[i * 3 + 2];
      words.push_back(bgra ? Word(b, g, r, 17) : Word(r, g, b, 17));  // alpha is dropped
    }
    ZY_Bitmap *bm = BitmapOf(24, 20, words, true);
    ASSERT_TRUE(loader->SaveImage(bm, "user://round.jpg", 95));
    ZY_Bitmap *back = NewBitmap();
    ASSERT_TRUE(loader->LoadImage(back, "user://round.jpg"));
    ASSERT_EQ(back->width, 24);
    ASSERT_EQ(back->height, 20);
    EXPECT_LE(MaxError(*back, rgb, bgra), 6) << "bgra " << bgra;
    EXPECT_TRUE(AllOpaque(*back));
  }
}

TEST_F(ImageTest, JpegQualityTradesSizeForFidelity) {
  std::vector<uint8_t> rgb;
  std::mt19937 rng(7);
  // Grey detail: chroma subsampling plays no part, so the error is the quantisation's.
  for (int i = 0; i < 64 * 64; i++) rgb.insert(rgb.end(), 3, (uint8_t)(96 + rng() % 64));
  std::vector<uint32_t> words;
  for (size_t i = 0; i < 64 * 64; i++) words.push_back(Word(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2], 255));
  ZY_Bitmap *bm = BitmapOf(64, 64, words, false);
  ASSERT_TRUE(loader->SaveImage(bm, "user://low.jpg", 10));
  ASSERT_TRUE(loader->SaveImage(bm, "user://high.jpg", 95));
  size_t low = zytest::ReadFile(UserRoot() + "/low.jpg").size();
  size_t high = zytest::ReadFile(UserRoot() + "/high.jpg").size();
  EXPECT_LT(low * 2, high);
  ZY_Bitmap *a = NewBitmap(), *b = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(a, "user://low.jpg"));
  ASSERT_TRUE(loader->LoadImage(b, "user://high.jpg"));
  EXPECT_GT(TotalError(*a, rgb), TotalError(*b, rgb) * 3 / 2);
}

TEST_F(ImageTest, JpegLibraryErrorsBecomeFailedLoads) {
  std::string jpg = MakeJpeg(8, 8, 3, JCS_RGB, SmoothRgb(8, 8), 90);
  std::string broken = jpg.substr(0, 2) + std::string("\xFF\xC0\x00\x02", 4) + jpg.substr(2);
  bool ok = true;
  ZY_Bitmap *bm = LoadBytes("broken.jpg", broken, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(bm->pixels, nullptr);
  EXPECT_TRUE(Logged("libjpeg: "));
  EXPECT_TRUE(Logged("[POPUP] Load JPG - setjmp failed."));
  EXPECT_TRUE(Logged("Unable to load image 'res://broken.jpg'"));
  EXPECT_FALSE(loader->GetImageDimensions(NewBitmap(), "res://broken.jpg"));
  EXPECT_TRUE(Logged("[POPUP] ZYI_GetImageDimensionsJPG - setjmp failed."));
}

TEST_F(ImageTest, JpegWarningsAreCountedAndTheImageStillLoads) {
  std::string jpg = MakeJpeg(8, 8, 3, JCS_RGB, SmoothRgb(8, 8), 90);
  size_t dqt = jpg.find("\xFF\xDB");
  ASSERT_NE(dqt, std::string::npos);
  std::string noisy = jpg.substr(0, dqt) + std::string(3, '\0') + jpg.substr(dqt);
  bool ok = false;
  ZY_Bitmap *bm = LoadBytes("noisy.jpg", noisy, &ok);
  EXPECT_TRUE(ok);
  EXPECT_NE(bm->pixels, nullptr);
  EXPECT_TRUE(Logged("WARNING: 1 warnings while loading JPEG"));
  EXPECT_EQ(LoggedLevel("WARNING: 1 warnings while loading JPEG"), 1);
  EXPECT_FALSE(Logged("[POPUP] WARNING: 1 warnings"));
  ZY_Bitmap *dims = NewBitmap();
  EXPECT_TRUE(loader->GetImageDimensions(dims, "res://noisy.jpg"));
  EXPECT_EQ(dims->width, 8);
  EXPECT_TRUE(Logged("[POPUP] WARNING: 1 warnings while loading JPEG"));
}

TEST_F(ImageTest, JpegTruncatedAtEveryLengthFailsCleanly) {
  for (bool progressive : {false, true}) {
    std::string jpg = MakeJpeg(20, 12, 3, JCS_RGB, SmoothRgb(20, 12), 80, progressive);
    ZY_Bitmap *full = LoadBytes("full.jpg", jpg);
    ASSERT_NE(full->pixels, nullptr);
    for (size_t length = 0; length < jpg.size(); length++) {
      bool ok = true;
      ZY_Bitmap *bm = LoadBytes("cut.jpg", jpg.substr(0, length), &ok);
      EXPECT_EQ(ok, bm->pixels != nullptr) << "length " << length;
      // Only the two bytes of the end marker may go missing without losing the image.
      if (length < jpg.size() - 2) {
        EXPECT_FALSE(ok) << "length " << length << " progressive " << progressive;
      } else if (ok) {
        EXPECT_EQ(memcmp(bm->pixels, full->pixels, 20 * 12 * 4), 0);
      }
    }
  }
  EXPECT_TRUE(Logged("libjpeg: Premature end of JPEG file"));
}

TEST_F(ImageTest, JpegWithRandomCorruptionNeverCrashes) {
  std::string jpg = MakeJpeg(24, 16, 3, JCS_RGB, SmoothRgb(24, 16), 75);
  std::mt19937 rng(99);
  int loaded = 0;
  for (int round = 0; round < 300; round++) {
    std::string bad = jpg;
    int flips = 1 + (int)(rng() % 4);
    for (int i = 0; i < flips; i++) bad[2 + rng() % (bad.size() - 2)] ^= (char)(1 + rng() % 255);
    bool ok = false;
    ZY_Bitmap *bm = LoadBytes("bad.jpg", bad, &ok);
    ASSERT_EQ(ok, bm->pixels != nullptr);
    if (ok) {
      loaded++;
      EXPECT_GT(bm->width, 0);
      EXPECT_GT(bm->height, 0);
      EXPECT_TRUE(AllOpaque(*bm));
    }
  }
  // JPEG has no checksums: most damaged entropy data still decodes to some picture.
  EXPECT_GT(loaded, 0);
}
