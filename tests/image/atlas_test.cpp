// atlas_test.cpp — atlas packing: the candidate search, shelf placement and texture
// rectangles, the pixel copy and gap filling, and the soft failure when nothing fits.
#include "base/log.h"
#include "image/atlas.h"
#include "image_fixture.h"

class AtlasTest : public ImageTest {
 protected:
  ZY_Bitmap *Solid(int32_t width, int32_t height, uint32_t color) {
    return BitmapOf(width, height, std::vector<uint32_t>((size_t)width * height, color), true);
  }
  // An empty record to pack into, with an owned name (packing clears it).
  ZY_Bitmap *Atlas() {
    ZY_Bitmap *atlas = NewBitmap();
    atlas->name = strdup("atlas");
    return atlas;
  }
  static uint32_t At(const ZY_Bitmap *a, int32_t x, int32_t y) { return a->pixels[(size_t)y * a->width + x]; }
  // The sizes tried, in order, from the log lines "Fits into ...".
  static std::vector<std::string> Fits() {
    std::vector<std::string> lines;
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
      if (!strncmp(ZYI_LogHistoryRecord(i)->text, "Fits into", 9)) lines.push_back(ZYI_LogHistoryRecord(i)->text);
    return lines;
  }
};

TEST_F(AtlasTest, SixteenSmallBitmapsGoIntoTheLaterOfTwoEquallySquareFits) {
  std::vector<ZY_Bitmap *> in;
  for (int i = 0; i < 16; i++) in.push_back(Solid(30, 30, Word((uint8_t)(i * 15), 100, 200, 255)));
  ZY_Bitmap *atlas = Atlas();
  ASSERT_TRUE(ZYI_PackBitmaps(atlas, in.data(), 16));
  EXPECT_EQ(Fits(), std::vector<std::string>({"Fits into 1024x64 (25 % full)", "Fits into 256x128 (50 % full)",
                                              "Fits into 128x256 (50 % full)"}));
  EXPECT_TRUE(Logged("Successfully packed 16 bitmaps into 128x256 atlas."));
  EXPECT_EQ(std::make_pair(atlas->width, atlas->height), std::make_pair(128, 256));
  EXPECT_EQ(atlas->name, nullptr);
  EXPECT_EQ(atlas->pack_mode, ZY_PACK_NO_PADDING);
  // Three to a shelf, shelves 32 pixels apart, 2 pixels from the top-left edges.
  for (int i = 0; i < 16; i++) {
    int x = 2 + 32 * (i % 3), y = 2 + 32 * (i / 3);
    EXPECT_FLOAT_EQ(in[i]->hw.left, x / 128.0f) << i;
    EXPECT_FLOAT_EQ(in[i]->hw.bottom, (y + 30) / 256.0f) << i;
    EXPECT_EQ(At(atlas, x, y), in[i]->pixels[0]) << i;
    EXPECT_EQ(At(atlas, x + 29, y + 29), in[i]->pixels[0]) << i;
  }
  // The gaps stay transparent but take their colour from the picture beside them.
  EXPECT_EQ(At(atlas, 32, 2), in[0]->pixels[0] & 0xFFFFFFu);
  EXPECT_EQ(At(atlas, 127, 255), 0u);  // far from every picture
  ZY_Bitmap *wide = Solid(2000, 10, Word(1, 2, 3, 255));  // needs the second limit exponent
  ASSERT_TRUE(ZYI_PackBitmaps(atlas = Atlas(), &wide, 1));
  EXPECT_EQ(Fits().back(), "Fits into 2048x64 (25 % full)");
}

TEST_F(AtlasTest, ShelvesAreAsHighAsTheTallestBitmap) {
  std::vector<ZY_Bitmap *> in = {Solid(20, 5, Word(9, 0, 0, 255)), Solid(20, 40, Word(0, 9, 0, 255)),
                                 Solid(20, 5, Word(0, 0, 9, 255))};
  // 64 wide: two fit on a shelf (2 + 22 + 22 = 46, a third would end at 68).
  EXPECT_TRUE(ZYI_AtlasShelvesFit(in.data(), 3, 64, 2 + 42 + 42));
  EXPECT_FALSE(ZYI_AtlasShelvesFit(in.data(), 3, 64, 2 + 42 + 41));
  EXPECT_TRUE(ZYI_AtlasShelvesFit(in.data(), 3, 68, 44));  // all on one shelf
  EXPECT_FALSE(ZYI_AtlasShelvesFit(in.data(), 3, 67, 44));
  ZY_Bitmap *wide = Solid(61, 1, 0);  // a bitmap wider than the atlas never fits
  EXPECT_TRUE(ZYI_AtlasShelvesFit(&wide, 1, 65, 32));
  EXPECT_FALSE(ZYI_AtlasShelvesFit(&wide, 1, 64, 32));
  // 128 x 64 takes them on one shelf, but 32 x 128 (one per shelf) is smaller.
  ZY_Bitmap *atlas = Atlas();
  ASSERT_TRUE(ZYI_PackBitmaps(atlas, in.data(), 3));
  EXPECT_EQ(Fits(), std::vector<std::string>({"Fits into 128x64 (31 % full)", "Fits into 32x128 (62 % full)"}));
  EXPECT_EQ(std::make_pair(atlas->width, atlas->height), std::make_pair(32, 128));
  for (int i = 0; i < 3; i++) {
    EXPECT_FLOAT_EQ(in[i]->hw.top, (2 + 42 * i) / 128.0f) << i;
    EXPECT_EQ(At(atlas, 2, 2 + 42 * i), in[i]->pixels[0]) << i;
  }
}

TEST_F(AtlasTest, PackingThatFindsNoSizeFailsSoftlyWithItsPopup) {
  ZY_Bitmap *huge = Solid(5000, 10, Word(1, 1, 1, 255));
  ZY_Bitmap *atlas = Atlas();
  atlas->pixels = (uint32_t *)malloc(16);  // an old buffer goes first
  EXPECT_FALSE(ZYI_PackBitmaps(atlas, &huge, 1));
  EXPECT_EQ(LoggedCount("[POPUP] ZYI_PackBitmaps unable to find large enough atlas size for 1 bitmaps (first bm "
                        "size 5000x10). All bitmaps need to fit into 1024x1024 atlas for 100% cross-platform "
                        "compatibility."), 1);
  EXPECT_EQ(atlas->pixels, nullptr);
  EXPECT_FALSE(ZYI_PackBitmaps(atlas, nullptr, 0));
  EXPECT_TRUE(Logged("WARNING: Failed to tile 0 bitmaps into any atlas."));
  EXPECT_TRUE(Fits().empty());
}
