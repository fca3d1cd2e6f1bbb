// image_loader_test.cpp — the loader object: choosing a format by name, finding files
// through search paths and paks, the dimensions-only read, and saves that fail leaving
// nothing behind.
#include <tuple>

#include "image_fixture.h"

namespace {

// A small RGBA picture whose pixel (x, y) is (x*40, y*40, 7, 200 + x).
std::string SamplePng(int width = 3, int height = 2) {
  zytest::Image img(width, height);
  for (int i = 0; i < width * height; i++) {
    uint8_t *p = img.At(i % width, i / width);
    p[0] = (uint8_t)(i % width * 40), p[1] = (uint8_t)(i / width * 40), p[2] = 7, p[3] = (uint8_t)(200 + i % width);
  }
  return zytest::PngBytes(img);
}

}  // namespace

TEST_F(ImageTest, SuffixIsMatchedWithoutRegardToCaseAndNotByContent) {
  std::string jpg = MakeJpeg(4, 4, 3, JCS_RGB, std::vector<uint8_t>(48, 120), 90);
  EXPECT_EQ(LoadBytes("Photo.JPG", jpg)->width, 4);
  // ".jpeg" is not a known suffix, whatever the file holds.
  ZY_Bitmap *other = LoadBytes("photo.jpeg", jpg);
  EXPECT_EQ(other->pixels, nullptr);
  EXPECT_TRUE(Logged("[POPUP] Unsupported image format in file 'res://photo.jpeg'"));
  EXPECT_EQ(LoggedLevel("Unable to load image 'res://photo.jpeg'"), 1);
  // A PNG named .tga goes to the TGA decoder and fails there.
  EXPECT_EQ(LoadBytes("wrong.tga", SamplePng())->pixels, nullptr);
  // A file that does not open fails quietly.
  EXPECT_FALSE(loader->LoadImage(NewBitmap(), "res://nothing.png"));
  EXPECT_FALSE(Logged("Unable to load image 'res://nothing.png'"));
}

TEST_F(ImageTest, LoadsThroughSearchPathsAndPaksAndReplacesTheBuffer) {
  Loose("gfx.pak", zytest::CraftPak({{"ui/button.png", SamplePng()}, {"ui/big.png", SamplePng(5, 4)}}).bytes);
  ZY_AddSearchPath("res://gfx/", false);
  ZY_Bitmap *bm = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(bm, "ui/button.png"));
  EXPECT_EQ(std::make_pair(bm->width, bm->height), std::make_pair(3, 2));
  EXPECT_EQ(PixelBytes(*bm, 2, 1), (Bytes{80, 40, 7, 202}));
  // Loading again releases the previous buffer (LeakSanitizer would tell).
  ASSERT_TRUE(loader->LoadImage(bm, "res://gfx/ui/big.png"));
  EXPECT_EQ(PixelBytes(*bm, 4, 3), (Bytes{160, 120, 7, 204}));
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);  // the files were closed again
}

TEST_F(ImageTest, DimensionsComeFromTheHeaderAndLeaveNoPixels) {
  Loose("a.png", SamplePng(3, 2));
  Loose("b.jpg", MakeJpeg(9, 5, 3, JCS_RGB, std::vector<uint8_t>(9 * 5 * 3, 60), 80));
  Loose("c.tga", TgaHeader(2, 6, 4, 24, 0));  // header only: no pixel check is made
  Loose("d.bmp", "BM");
  Loose("e.png", "GIF89a.......");
  struct Case { const char *name; int32_t w, h; uint8_t flags; };
  for (Case c : {Case{"res://a.png", 3, 2, ZY_BITMAP_RELOADABLE}, Case{"res://b.jpg", 9, 5, ZY_BITMAP_RELOADABLE},
                 Case{"res://c.tga", 6, 4, ZY_BITMAP_RELOADABLE | ZY_BITMAP_HAS_ALPHA},
                 Case{"res://d.bmp", 0, 0, 0} /* unknown suffix */, Case{"res://e.png", 0, 0, 0}}) {
    ZY_Bitmap *bm = NewBitmap();
    loader->AllocateImagePixels(bm, 2, 2);  // a buffer held before is released
    EXPECT_EQ(loader->GetImageDimensions(bm, c.name), c.w > 0) << c.name;
    EXPECT_EQ(bm->pixels, nullptr) << c.name;
    if (c.w == 0) continue;
    EXPECT_EQ(std::make_tuple(bm->width, bm->height, bm->flags), std::make_tuple(c.w, c.h, c.flags)) << c.name;
  }
  EXPECT_FALSE(Logged("not proper png"));  // silently, unlike a load
}

// The format follows the case-sensitive ending; a save that cannot be done leaves no file.
TEST_F(ImageTest, SavesChooseTheFormatByTheEndingAndFailWithoutPartialFiles) {
  const std::string dir = world.root();
  ZY_Bitmap *bm = BitmapOf(2, 1, {Word(1, 2, 3, 4), Word(5, 6, 7, 8)}, true);
  ASSERT_TRUE(loader->SaveImage(bm, (dir + "/shotpng").c_str(), 90));  // no dot is needed
  EXPECT_EQ(zytest::ReadFile(dir + "/shotpng").substr(1, 3), "PNG");
  EXPECT_FALSE(loader->SaveImage(bm, (dir + "/shot.PNG").c_str(), 90));
  EXPECT_TRUE(Logged("[POPUP] SaveImage - file format for '" + dir + "/shot.PNG' not supported. Use .png format."));
  EXPECT_FALSE(loader->SaveImage(NewBitmap(), (dir + "/empty.png").c_str(), 0));  // no pixels
  // A TGA header holds 16-bit sides and JPEG at most 65500 pixels a side: a wider image
  // is refused (by the library's error for JPEG), not written wrongly.
  ZY_Bitmap *wide = NewBitmap();
  loader->AllocateImagePixels(wide, 65536, 1);
  memset(wide->pixels, 0, 65536 * 4);
  EXPECT_FALSE(loader->SaveImage(wide, (dir + "/wide.tga").c_str(), 0));
  EXPECT_TRUE(Logged("does not fit in a TGA file"));
  EXPECT_FALSE(loader->SaveImage(wide, (dir + "/wide.jpg").c_str(), 50));
  EXPECT_TRUE(Logged("libjpeg: "));
  for (const char *name : {"/shot.PNG", "/empty.png", "/wide.tga", "/wide.jpg"})
    EXPECT_FALSE(zytest::FileExists(dir + name)) << name;
}
