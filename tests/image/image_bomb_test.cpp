// image_bomb_test.cpp — small files that claim huge pictures, or whose pixel data ends
// early, are refused before a buffer of their claimed size exists; pictures that really
// compress that well still load.
#include "image_fixture.h"

namespace {

// A JPEG of one grey level; with `width`/`height` set, the frame header claims that size.
std::string GreyJpeg(uint32_t side, bool progressive, uint16_t width = 0, uint16_t height = 0) {
  std::string jpg = MakeJpeg(side, side, 1, JCS_GRAYSCALE,
                             std::vector<uint8_t>((size_t)side * side, 128), 75, progressive);
  size_t sof = jpg.find(progressive ? "\xFF\xC2" : "\xFF\xC0");
  std::string size = {(char)(height >> 8), (char)height, (char)(width >> 8), (char)width};
  if (width) jpg.replace(sof + 5, 4, size);
  return jpg;
}

// The scan of a 64 x 64 picture cut in half, with the end marker after it.
std::string CutScan() {
  std::vector<uint8_t> noise(64 * 64);
  for (size_t i = 0; i < noise.size(); i++) noise[i] = (uint8_t)(i * 37 % 251);
  std::string jpg = MakeJpeg(64, 64, 1, JCS_GRAYSCALE, noise, 90);
  size_t sos = jpg.find("\xFF\xDA");
  return jpg.substr(0, sos + (jpg.size() - sos) / 2) + "\xFF\xD9";
}

// A run-length TGA whose only packet repeats one pixel 128 times.
std::string OnePacketTga(uint16_t width, uint16_t height) {
  return TgaHeader(10, width, height, 32, 0x00) + std::string("\xFF\x01\x02\x03\x04", 5);
}

}  // namespace

TEST_F(ImageTest, FilesThatCannotHoldTheirPicturesAreRefused) {
  struct Case {
    const char *name;
    std::string data;
    bool loads;
  } cases[] = {
      {"claims65500.jpg", GreyJpeg(8, false, 65500, 65500), false},
      {"claims2000.jpg", GreyJpeg(8, true, 2000, 2000), false},
      {"cut_scan.jpg", CutScan(), false},
      {"uniform.jpg", GreyJpeg(1024, false), true},
      {"uniform_progressive.jpg", GreyJpeg(1024, true), true},
      {"claims65535.tga", OnePacketTga(65535, 65535), false},
      {"claims1x65535.tga", OnePacketTga(1, 65535), false},
      {"one_packet.tga", OnePacketTga(128, 1), true},
  };
  for (const Case &c : cases) {
    bool ok = !c.loads;
    ZY_Bitmap *bm = LoadBytes(c.name, c.data, &ok);
    EXPECT_EQ(ok, c.loads) << c.name << " (" << c.data.size() << " bytes)";
    EXPECT_EQ(bm->pixels != nullptr, c.loads) << c.name;
  }
  EXPECT_TRUE(Logged("Load JPG - 65500x65500 pixels cannot come from a file of "));
  EXPECT_TRUE(Logged("libjpeg: Corrupt JPEG data: premature end of data segment"));
}
