// image_loader_test.cpp — the loader object: start-up, choosing a format by name, the
// dimensions-only read, pixel buffer allocation and the rules of saving.
#include "image_fixture.h"

namespace {

// A small RGBA PNG whose pixel (x, y) is (x*40, y*40, 7, 200 + x).
std::string SamplePng(uint32_t width = 3, uint32_t height = 2) {
  PngDesc desc;
  desc.width = width;
  desc.height = height;
  for (uint32_t y = 0; y < height; y++) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < width; x++)
      row.insert(row.end(), {(uint8_t)(x * 40), (uint8_t)(y * 40), 7, (uint8_t)(200 + x)});
    desc.rows.push_back(row);
  }
  return MakePng(desc);
}

}  // namespace

TEST_F(ImageTest, InitialisationLogsAndPublishesTheLoader) {
  EXPECT_TRUE(Logged("Portable Image loader initializing.."));
  EXPECT_EQ(LoggedLevel("Portable Image loader initializing.."), 3);
  EXPECT_EQ(zy::image.loader, loader);
  // A second start-up (a new boot in the same process) gives the same object.
  ASSERT_TRUE(ZYI_InitImageLoader());
  EXPECT_EQ(ZYI_GetImageLoader(), loader);
  ZYI_ShutdownImageLoader();
  EXPECT_EQ(ZYI_GetImageLoader(), nullptr);
  ASSERT_TRUE(ZYI_InitImageLoader());
}

TEST_F(ImageTest, MissingBitmapOrNameSucceedsWithoutTouchingAnything) {
  ZY_Bitmap *bm = NewBitmap();
  bm->width = 7;
  EXPECT_TRUE(loader->LoadImage(nullptr, "res://a.png"));
  EXPECT_TRUE(loader->LoadImage(bm, nullptr));
  EXPECT_TRUE(loader->GetImageDimensions(bm, nullptr));
  EXPECT_EQ(bm->width, 7);
  EXPECT_EQ(bm->flags, 0);
}

TEST_F(ImageTest, FileThatDoesNotOpenFailsQuietly) {
  ZY_Bitmap *bm = NewBitmap();
  EXPECT_FALSE(loader->LoadImage(bm, "res://nothing.png"));
  EXPECT_FALSE(loader->GetImageDimensions(bm, "res://nothing.png"));
  EXPECT_FALSE(Logged("Unable to load image"));
  EXPECT_EQ(bm->flags & ZY_BITMAP_RELOADABLE, 0);
}

TEST_F(ImageTest, SuffixIsMatchedWithoutRegardToCaseAndNotByContent) {
  Loose("Photo.JPG", MakeJpeg(4, 4, 3, JCS_RGB, std::vector<uint8_t>(48, 120), 90));
  ZY_Bitmap *bm = NewBitmap();
  EXPECT_TRUE(loader->LoadImage(bm, "res://Photo.JPG"));
  EXPECT_EQ(bm->width, 4);

  // ".jpeg" is not a known suffix, whatever the file holds.
  Loose("photo.jpeg", MakeJpeg(4, 4, 3, JCS_RGB, std::vector<uint8_t>(48, 120), 90));
  ZY_Bitmap *other = NewBitmap();
  EXPECT_FALSE(loader->LoadImage(other, "res://photo.jpeg"));
  EXPECT_TRUE(Logged("[POPUP] Unsupported image format in file 'res://photo.jpeg'"));
  EXPECT_TRUE(Logged("Unable to load image 'res://photo.jpeg'"));
  EXPECT_EQ(LoggedLevel("Unable to load image"), 1);
  EXPECT_EQ(other->pixels, nullptr);
  EXPECT_NE(other->flags & ZY_BITMAP_RELOADABLE, 0);  // set once the file was read

  // A PNG named .tga goes to the TGA decoder and fails there.
  Loose("wrong.tga", SamplePng());
  EXPECT_FALSE(loader->LoadImage(NewBitmap(), "res://wrong.tga"));
  EXPECT_TRUE(Logged("Unable to load image 'res://wrong.tga'"));
}

TEST_F(ImageTest, LoadsThroughSearchPathsAndUserRoot) {
  Loose("gfx/ui/button.png", SamplePng());
  ZY_AddSearchPath("res://gfx/", false);
  ZY_Bitmap *bm = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(bm, "ui/button.png"));
  EXPECT_EQ(bm->width, 3);
  EXPECT_EQ(bm->height, 2);
  EXPECT_EQ(PixelBytes(*bm, 2, 1), (Bytes{80, 40, 7, 202}));
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);  // the file was closed again
}

TEST_F(ImageTest, ReloadReleasesThePreviousBuffer) {
  Loose("a.png", SamplePng(3, 2));
  Loose("b.png", SamplePng(5, 4));
  ZY_Bitmap *bm = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(bm, "res://a.png"));
  // Under LeakSanitizer a forgotten buffer would fail the suite; here the result shows.
  ASSERT_TRUE(loader->LoadImage(bm, "res://b.png"));
  EXPECT_EQ(bm->width, 5);
  EXPECT_EQ(PixelBytes(*bm, 4, 3), (Bytes{160, 120, 7, 204}));
}

TEST_F(ImageTest, DimensionsComeFromTheHeaderAndLeaveNoPixels) {
  Loose("a.png", SamplePng(3, 2));
  Loose("b.jpg", MakeJpeg(9, 5, 3, JCS_RGB, std::vector<uint8_t>(9 * 5 * 3, 60), 80));
  std::string tga = TgaHeader(2, 6, 4, 24, 0);  // header only: no pixel check is made
  Loose("c.tga", tga);
  struct Case { const char *name; int32_t w, h; uint8_t flags; };
  for (Case c : {Case{"res://a.png", 3, 2, ZY_BITMAP_RELOADABLE},
                 Case{"res://b.jpg", 9, 5, ZY_BITMAP_RELOADABLE},
                 Case{"res://c.tga", 6, 4, ZY_BITMAP_RELOADABLE | ZY_BITMAP_HAS_ALPHA}}) {
    ZY_Bitmap *bm = NewBitmap();
    loader->AllocateImagePixels(bm, 2, 2);  // a buffer held before is released
    EXPECT_TRUE(loader->GetImageDimensions(bm, c.name)) << c.name;
    EXPECT_EQ(bm->width, c.w) << c.name;
    EXPECT_EQ(bm->height, c.h) << c.name;
    EXPECT_EQ(bm->flags, c.flags) << c.name;
    EXPECT_EQ(bm->pixels, nullptr) << c.name;
  }
  // Unknown suffix: the decoder's answer is false, and still no pixels are left.
  Loose("d.bmp", "BM");
  ZY_Bitmap *bm = NewBitmap();
  loader->AllocateImagePixels(bm, 2, 2);
  EXPECT_FALSE(loader->GetImageDimensions(bm, "res://d.bmp"));
  EXPECT_EQ(bm->pixels, nullptr);
  // Not a PNG: the dimensions read fails silently.
  Loose("e.png", "GIF89a.......");
  EXPECT_FALSE(loader->GetImageDimensions(NewBitmap(), "res://e.png"));
  EXPECT_FALSE(Logged("not proper png"));
}

TEST_F(ImageTest, AllocateReportsOddSizesAndClamps) {
  ZY_Bitmap *bm = NewBitmap();
  loader->AllocateImagePixels(bm, 0, 10);
  EXPECT_TRUE(Logged("[POPUP] ImageLoaderImp::AllocateImagePixels dimensions (010) seem weird."));
  EXPECT_NE(bm->pixels, nullptr);  // a zero-size buffer
  EXPECT_EQ(bm->width, 0);
  EXPECT_EQ(bm->alloc_height, 10);

  loader->AllocateImagePixels(bm, 70000, 10);
  EXPECT_TRUE(Logged("dimensions (7000010) seem weird."));
  EXPECT_TRUE(Logged("ImageLoaderImp::AllocateImagePixels bitmap already has pixels allocated!"));
  EXPECT_EQ(bm->width, 65536);
  EXPECT_EQ(bm->alloc_width, 65536);
  EXPECT_EQ(bm->height, 10);
  ASSERT_NE(bm->pixels, nullptr);
  bm->pixels[65536 * 10 - 1] = 1;  // the whole clamped size is there

  int before = LoggedCount("seem weird");
  loader->AllocateImagePixels(bm, 3, 2);
  EXPECT_EQ(LoggedCount("seem weird"), before);
  EXPECT_EQ(bm->alloc_width, 3);
}

TEST_F(ImageTest, FreeClearsThePixelsAndReportsANullBitmap) {
  ZY_Bitmap *bm = NewBitmap();
  loader->AllocateImagePixels(bm, 4, 4);
  loader->FreeImagePixels(bm);
  EXPECT_EQ(bm->pixels, nullptr);
  loader->FreeImagePixels(bm);  // nothing to free is harmless
  loader->FreeImagePixels(nullptr);
  EXPECT_TRUE(Logged("ImageLoader trying to free null bitmap."));
  EXPECT_EQ(LoggedLevel("ImageLoader trying to free null bitmap."), 1);
}

TEST_F(ImageTest, SaveChoosesTheFormatByTheCaseSensitiveEnding) {
  ZY_Bitmap *bm = BitmapOf(2, 1, {Word(1, 2, 3, 4), Word(5, 6, 7, 8)}, true);
  std::string dir = world.root() + "/out";
  zytest::MakeDirs(dir);

  EXPECT_FALSE(loader->SaveImage(bm, (dir + "/shot.PNG").c_str(), 90));
  EXPECT_TRUE(Logged("[POPUP] SaveImage - file format for '" + dir +
                     "/shot.PNG' not supported. Use .png format."));
  EXPECT_FALSE(zytest::FileExists(dir + "/shot.PNG"));

  // An ending without a dot is enough.
  ASSERT_TRUE(loader->SaveImage(bm, (dir + "/shotpng").c_str(), 90));
  EXPECT_TRUE(Logged("Saving image to file '" + dir + "/shotpng'.."));
  std::string png = zytest::ReadFile(dir + "/shotpng");
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  ASSERT_TRUE(loader->SaveImage(bm, (dir + "/shot.jpg").c_str(), 90));
  EXPECT_EQ((uint8_t)zytest::ReadFile(dir + "/shot.jpg")[0], 0xFF);
  ASSERT_TRUE(loader->SaveImage(bm, (dir + "/shot.tga").c_str(), 90));
  EXPECT_EQ(zytest::ReadFile(dir + "/shot.tga").size(), 18u + 8u);
}

TEST_F(ImageTest, SaveMapsVirtualNamesAndRefusesEmptyInput) {
  ZY_Bitmap *bm = BitmapOf(1, 1, {Word(9, 9, 9, 255)}, false);
  ASSERT_TRUE(loader->SaveImage(bm, "user://pic.png", 0));
  EXPECT_TRUE(zytest::FileExists(UserRoot() + "/pic.png"));
  ZY_Bitmap *back = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(back, "user://pic.png"));
  EXPECT_EQ(PixelBytes(*back, 0, 0), (Bytes{9, 9, 9, 255}));

  EXPECT_FALSE(loader->SaveImage(nullptr, "user://x.png", 0));
  EXPECT_FALSE(loader->SaveImage(bm, nullptr, 0));
  EXPECT_FALSE(loader->SaveImage(NewBitmap(), "user://x.png", 0));  // no pixels
  EXPECT_FALSE(zytest::FileExists(UserRoot() + "/x.png"));
  // A folder that does not exist: the native file cannot be created.
  EXPECT_FALSE(loader->SaveImage(bm, (world.root() + "/no/such/dir/x.png").c_str(), 0));
}

TEST_F(ImageTest, FailedSaveLeavesNoPartialFile) {
  // A TGA header holds 16-bit sides: a wider image is refused, not written wrongly.
  ZY_Bitmap *bm = NewBitmap();
  loader->AllocateImagePixels(bm, 65536, 1);
  memset(bm->pixels, 0, 65536 * 4);
  std::string path = world.root() + "/wide.tga";
  EXPECT_FALSE(loader->SaveImage(bm, path.c_str(), 0));
  EXPECT_FALSE(zytest::FileExists(path));
  EXPECT_TRUE(Logged("does not fit in a TGA file"));
  // JPEG cannot hold more than 65500 pixels a side: the library's error ends the save.
  std::string jpg = world.root() + "/wide.jpg";
  EXPECT_FALSE(loader->SaveImage(bm, jpg.c_str(), 50));
  EXPECT_FALSE(zytest::FileExists(jpg));
  EXPECT_TRUE(Logged("libjpeg: "));
}
