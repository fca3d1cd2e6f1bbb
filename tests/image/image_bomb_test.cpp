// image_bomb_test.cpp — files claiming more pixels than they hold, or whose pixel data
// breaks off, are refused; saves stay inside the roots and a failed one harms nothing.
#include "image_fixture.h"

#include "host/host.h"

static std::string Source(const char *rel) { return zytest::ReadFile(zytest::SourceDir() + rel); }

TEST_F(ImageTest, FilesThatCannotHoldTheirPicturesAreRefused) {
  std::string jpg = Source("/tests/data/images/photo.jpg"), packet("\xFF\x01\x02\x03\x04", 5);
  struct Case { const char *name; std::string data; bool loads; } cases[] = {
      {"claims65500.jpg", Source("/fuzz/corpus/jpeg/grey_claims_65500.jpg"), false},
      {"cut_scan.jpg", jpg.substr(0, (jpg.find("\xFF\xDA") + jpg.size()) / 2) + "\xFF\xD9", false},
      {"uniform.jpg", MakeJpeg(1024, 1024, 1, JCS_GRAYSCALE, Bytes(1 << 20, 9), 75, true), true},
      {"claims1x65535.tga", TgaHeader(10, 1, 65535, 32, 0) + packet, false},
      {"one_packet.tga", TgaHeader(10, 128, 1, 32, 0) + packet, true}};
  for (const Case &c : cases) {
    bool ok = !c.loads;
    EXPECT_EQ(LoadBytes(c.name, c.data, &ok)->pixels != nullptr, c.loads) << c.name;
    EXPECT_EQ(ok, c.loads) << c.name;
  }
  EXPECT_TRUE(Logged("Load JPG - 65500x65500 pixels cannot come from a file of 340 bytes"));
  EXPECT_TRUE(Logged("libjpeg: Corrupt JPEG data: premature end of data segment"));
}

TEST_F(ImageTest, SavesStayInsideTheRootsAndFailWithoutHarm) {
  ZY_Bitmap *bm = BitmapOf(1, 1, {Word(1, 2, 3, 4)}, true), *wide = NewBitmap();
  for (const char *name : {"user://../../../up.png", "res://../up.png", "res://a/../../up.png"})
    EXPECT_FALSE(loader->SaveImage(bm, name, 0)) << name;
  EXPECT_FALSE(zytest::FileExists(world.home() + "/.local/up.png"));
  EXPECT_FALSE(zytest::FileExists(world.root() + "/up.png"));
  loader->AllocateImagePixels(wide, 65536, 1);  // too wide for TGA's 16-bit sides and JPEG
  memset(wide->pixels, 0, 65536 * 4);
  for (std::string name : {"keep.tga", "keep.jpg"}) {
    zytest::WriteFile(UserRoot() + "/" + name, "old");
    EXPECT_FALSE(loader->SaveImage(wide, ("user://" + name).c_str(), 50));
    EXPECT_EQ(zytest::ReadFile(UserRoot() + "/" + name), "old") << name;
  }
  ASSERT_TRUE(loader->SaveImage(bm, "user://keep.tga", 0));
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/keep.tga").size(), 18u + 4u);
  std::string names;  // and no temporary file is left beside them
  ZYH_ListDir(UserRoot().c_str(), [](const char *n, bool, void *u) {
    return !!((std::string *)u)->append(n).size();
  }, &names);
  EXPECT_EQ(names, "keep.jpgkeep.tga");
}
