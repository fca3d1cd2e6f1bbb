// image_save_test.cpp — saving images: names follow the rules of opening, so nothing is
// written outside the roots, and a failed save leaves the file it would replace as it was.
#include "image_fixture.h"

namespace {

std::vector<std::string> Entries(const std::string &dir) {
  std::vector<std::string> names;
  ZYH_ListDir(dir.c_str(), [](const char *name, bool, void *user) {
    ((std::vector<std::string> *)user)->push_back(name);
    return true;
  }, &names);
  return names;
}

}  // namespace

TEST_F(ImageTest, SaveRefusesNamesThatLeaveTheRoots) {
  ZY_Bitmap *bm = BitmapOf(1, 1, {Word(1, 2, 3, 255)}, false);
  struct Case {
    const char *name;
    std::string would_land;
  } cases[] = {{"user://../../../escaped.png", world.home() + "/.local/escaped.png"},
               {"res://../x.png", world.root() + "/x.png"},
               {"res://a/../../y.png", world.root() + "/y.png"},
               {"http://host/z.png", ""}};
  for (const Case &c : cases) {
    EXPECT_FALSE(loader->SaveImage(bm, c.name, 0)) << c.name;
    if (!c.would_land.empty()) {
      EXPECT_FALSE(zytest::FileExists(c.would_land)) << c.name;
    }
  }
  EXPECT_TRUE(Logged("[POPUP] SaveImage - illegal file name 'res://../x.png'"));
}

TEST_F(ImageTest, FailedSaveKeepsTheFileItWouldReplace) {
  // Too wide for TGA's 16-bit sides and for JPEG: both encoders fail part-way.
  ZY_Bitmap *wide = NewBitmap();
  loader->AllocateImagePixels(wide, 65536, 1);
  memset(wide->pixels, 0, 65536 * 4);
  for (const char *name : {"keep.tga", "keep.jpg"}) {
    zytest::WriteFile(UserRoot() + "/" + name, "old contents");
    EXPECT_FALSE(loader->SaveImage(wide, ("user://" + std::string(name)).c_str(), 50));
    EXPECT_EQ(zytest::ReadFile(UserRoot() + "/" + name), "old contents") << name;
  }
  ZY_Bitmap *small = BitmapOf(1, 1, {Word(1, 2, 3, 255)}, false);
  ASSERT_TRUE(loader->SaveImage(small, "user://keep.tga", 0));
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/keep.tga").size(), 18u + 4u);
  EXPECT_EQ(Entries(UserRoot()), (std::vector<std::string>{"keep.jpg", "keep.tga"}));
}
