// Atlas packing: the candidate search, shelf placement and texture rectangles, the pixel
// copy and gap filling, the soft failure when nothing fits, and the pixel comparison.
#include "image/atlas.h"

#include "image_fixture.h"

namespace {

// The log lines that start with prefix, in order.
std::vector<std::string> LinesStartingWith(const std::string &prefix) {
  std::vector<std::string> lines;
  ZYI_Lock(ZYI_LOCK_PRINT);
  for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++) {
    std::string t = ZYI_LogHistoryRecord(i)->text;
    if (t.compare(0, prefix.size(), prefix) == 0) lines.push_back(t);
  }
  ZYI_Unlock(ZYI_LOCK_PRINT);
  return lines;
}

uint32_t Rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return (uint32_t)r | (uint32_t)g << 8 | (uint32_t)b << 16 | (uint32_t)a << 24;
}

}  // namespace

class AtlasTest : public ImageTest {
 protected:
  // An opaque bitmap of one colour.
  ZY_Bitmap *Solid(int32_t width, int32_t height, uint32_t color) {
    return BitmapOf(width, height, std::vector<uint32_t>((size_t)width * height, color), true);
  }
  // An empty record to pack into, with an owned name (packing clears it).
  ZY_Bitmap *Atlas() {
    ZY_Bitmap *atlas = NewBitmap();
    atlas->name = strdup("atlas");
    return atlas;
  }
  static uint32_t At(const ZY_Bitmap *atlas, int32_t x, int32_t y) {
    return atlas->pixels[(size_t)y * atlas->width + x];
  }
};

TEST_F(AtlasTest, SixteenSmallBitmapsGoIntoTheLaterOfTwoEquallySquareFits) {
  std::vector<ZY_Bitmap *> in;
  for (int i = 0; i < 16; i++) in.push_back(Solid(30, 30, Rgba((uint8_t)(i * 15), 100, 200, 255)));
  ZY_Bitmap *atlas = Atlas();
  ASSERT_TRUE(ZYI_PackBitmaps(atlas, in.data(), 16));

  EXPECT_EQ(LinesStartingWith("Fits into"),
            std::vector<std::string>({"Fits into 1024x64 (25 % full)",
                                      "Fits into 256x128 (50 % full)",
                                      "Fits into 128x256 (50 % full)"}));
  EXPECT_TRUE(Logged("Choosing 128x256, packing pixels... (ratio 0.50 vs single images)"));
  EXPECT_TRUE(Logged("Successfully packed 16 bitmaps into 128x256 atlas."));
  EXPECT_EQ(atlas->width, 128);
  EXPECT_EQ(atlas->height, 256);
  EXPECT_EQ(atlas->name, nullptr);
  EXPECT_EQ(atlas->pack_mode, ZY_PACK_NO_PADDING);

  // Three to a shelf, shelves 32 pixels apart, 2 pixels from the top-left edges.
  for (int i = 0; i < 16; i++) {
    int x = 2 + 32 * (i % 3), y = 2 + 32 * (i / 3);
    EXPECT_FLOAT_EQ(in[i]->hw.left, x / 128.0f) << i;
    EXPECT_FLOAT_EQ(in[i]->hw.top, y / 256.0f) << i;
    EXPECT_FLOAT_EQ(in[i]->hw.right, (x + 30) / 128.0f) << i;
    EXPECT_FLOAT_EQ(in[i]->hw.bottom, (y + 30) / 256.0f) << i;
    EXPECT_EQ(At(atlas, x, y), in[i]->pixels[0]) << i;
    EXPECT_EQ(At(atlas, x + 29, y + 29), in[i]->pixels[0]) << i;
  }
  // The gaps stay transparent but take their colour from the picture beside them.
  uint32_t gap = At(atlas, 32, 2);  // right of bitmap 0
  EXPECT_EQ(gap >> 24, 0u);
  EXPECT_EQ(gap & 0xFFFFFFu, in[0]->pixels[0] & 0xFFFFFFu);
  EXPECT_EQ(At(atlas, 127, 255), 0u);  // far from every picture
}

TEST_F(AtlasTest, AWideBitmapNeedsTheSecondLimitExponent) {
  ZY_Bitmap *wide = Solid(2000, 10, Rgba(1, 2, 3, 255));
  ZY_Bitmap *atlas = Atlas();
  ASSERT_TRUE(ZYI_PackBitmaps(atlas, &wide, 1));
  EXPECT_EQ(atlas->width, 2048);
  EXPECT_EQ(atlas->height, 64);
  EXPECT_EQ(LinesStartingWith("Fits into").front(), "Fits into 2048x64 (25 % full)");
  EXPECT_FLOAT_EQ(wide->hw.right, 2002 / 2048.0f);
}

TEST_F(AtlasTest, ShelvesAreAsHighAsTheTallestBitmap) {
  std::vector<ZY_Bitmap *> in = {Solid(20, 5, Rgba(9, 0, 0, 255)),
                                 Solid(20, 40, Rgba(0, 9, 0, 255)),
                                 Solid(20, 5, Rgba(0, 0, 9, 255))};
  // 64 wide: two fit on a shelf (2 + 22 + 22 = 46, a third would end at 68).
  EXPECT_TRUE(ZYI_AtlasShelvesFit(in.data(), 3, 64, 2 + 42 + 42));
  EXPECT_FALSE(ZYI_AtlasShelvesFit(in.data(), 3, 64, 2 + 42 + 41));
  EXPECT_TRUE(ZYI_AtlasShelvesFit(in.data(), 3, 68, 44));  // all on one shelf
  EXPECT_FALSE(ZYI_AtlasShelvesFit(in.data(), 3, 67, 44));
  // A bitmap wider than the atlas never fits.
  ZY_Bitmap *wide = Solid(61, 1, 0);
  EXPECT_TRUE(ZYI_AtlasShelvesFit(&wide, 1, 65, 32));
  EXPECT_FALSE(ZYI_AtlasShelvesFit(&wide, 1, 64, 32));

  // 128 x 64 takes them on one shelf, but 32 x 128 (one per shelf) is smaller.
  ZyAtlasCandidate chosen;
  ASSERT_TRUE(ZYI_AtlasChooseSize(in.data(), 3, &chosen));
  EXPECT_EQ(chosen.width, 32);
  EXPECT_EQ(chosen.height, 128);
  EXPECT_EQ(LinesStartingWith("Fits into"),
            std::vector<std::string>(
                {"Fits into 128x64 (31 % full)", "Fits into 32x128 (62 % full)"}));
  ZY_Bitmap *atlas = Atlas();
  ASSERT_TRUE(ZYI_PackBitmaps(atlas, in.data(), 3));
  EXPECT_EQ(atlas->width, 32);
  EXPECT_EQ(atlas->height, 128);
  for (int i = 0; i < 3; i++) {
    EXPECT_FLOAT_EQ(in[i]->hw.top, (2 + 42 * i) / 128.0f) << i;
    EXPECT_FLOAT_EQ(in[i]->hw.left, 2 / 32.0f) << i;
    EXPECT_EQ(At(atlas, 2, 2 + 42 * i), in[i]->pixels[0]) << i;
  }
}

TEST_F(AtlasTest, PackingThatFindsNoSizeFailsSoftlyWithItsPopup) {
  ZY_Bitmap *huge = Solid(5000, 10, Rgba(1, 1, 1, 255));
  ZY_Bitmap *atlas = Atlas();
  atlas->pixels = (uint32_t *)malloc(16);  // an old buffer goes first
  EXPECT_FALSE(ZYI_PackBitmaps(atlas, &huge, 1));
  EXPECT_EQ(LoggedCount("[POPUP] ZYI_PackBitmaps unable to find large enough atlas size for 1 "
                        "bitmaps (first bm size 5000x10). All bitmaps need to fit into 1024x1024 "
                        "atlas for 100% cross-platform compatibility."),
            1);
  EXPECT_EQ(atlas->pixels, nullptr);
  EXPECT_EQ(LinesStartingWith("Fits into").size(), 0u);

  // Too many large ones: no candidate of area up to 2048 x 2048 takes them.
  std::vector<ZY_Bitmap *> many;
  for (int i = 0; i < 5; i++) many.push_back(Solid(1000, 1000, 0));
  EXPECT_FALSE(ZYI_PackBitmaps(atlas, many.data(), 5));
  EXPECT_TRUE(Logged("(first bm size 1000x1000)"));
}

TEST_F(AtlasTest, NoBitmapsIsAFailedTiling) {
  ZY_Bitmap *atlas = Atlas();
  EXPECT_FALSE(ZYI_PackBitmaps(atlas, nullptr, 0));
  EXPECT_TRUE(Logged("WARNING: Failed to tile 0 bitmaps into any atlas."));
  EXPECT_EQ(atlas->pixels, nullptr);
  EXPECT_FALSE(ZYI_PackBitmaps(nullptr, nullptr, 0));
}

TEST_F(AtlasTest, PixelComparisonUsesTheToleranceOfFullScale) {
  ZY_Bitmap *a = Solid(4, 4, Rgba(10, 20, 30, 255));
  ZY_Bitmap *b = Solid(4, 4, Rgba(10, 20, 30, 255));
  EXPECT_TRUE(BitmapPixelsMatch(a, b, 0.0f));
  EXPECT_FALSE(Logged("Total difference"));

  b->pixels[5] = Rgba(11, 20, 30, 255);  // one level in one channel
  EXPECT_FALSE(BitmapPixelsMatch(a, b, 0.0f));
  EXPECT_TRUE(BitmapPixelsMatch(a, b, 0.004f));
  EXPECT_TRUE(Logged("Total difference is 0 units"));

  b->pixels[5] = Rgba(13, 20, 30, 255);  // three levels: the repeated-frame tolerance
  EXPECT_TRUE(BitmapPixelsMatch(a, b, 3.0f / 255.0f));
  b->pixels[5] = Rgba(14, 20, 30, 255);
  EXPECT_FALSE(BitmapPixelsMatch(a, b, 3.0f / 255.0f));

  ZY_Bitmap *other = Solid(4, 5, Rgba(10, 20, 30, 255));
  EXPECT_FALSE(BitmapPixelsMatch(a, other, 1.0f));  // sizes differ
  ZY_Bitmap *black = Solid(4, 4, 0);
  EXPECT_TRUE(BitmapPixelsMatch(a, black, 1.0f));   // any pixels at full tolerance

  EXPECT_FALSE(BitmapPixelsMatch(a, nullptr, 0.5f));
  ZY_Bitmap *empty = NewBitmap();
  EXPECT_FALSE(BitmapPixelsMatch(empty, a, 0.5f));
  EXPECT_EQ(LoggedCount("BitmapPixelsMatch got bad parameters."), 2);
}
