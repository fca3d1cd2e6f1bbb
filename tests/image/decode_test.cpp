// decode_test.cpp — what each decoder makes of sound files in both pixel orders (PNG
// colour types, depths, gamma and interlacing, TGA row orders, depths and run-length
// packets, JPEG colour spaces), and images saved and loaded back.
#include "image_fixture.h"

namespace {

// A JPEG of 16 x 8 pixels of one sample (of 1, 3 or 4 components).
std::string SolidJpeg(int components, const Bytes &sample, bool progressive = false) {
  std::vector<uint8_t> samples;
  for (int i = 0; i < 16 * 8; i++) samples.insert(samples.end(), sample.begin(), sample.end());
  return zytest::JpegBytes(16, 8, components, samples, 100, progressive);
}

}  // namespace

// Every file becomes R, G, B, A bytes (or B, G, R, A), flagged with alpha when the file can
// have it (TGA always). One pixel for a larger picture means all; JPEG is matched within 3.
TEST_F(ImageTest, EachFormatAndLayoutDecodesInEitherPixelOrder) {
  const uint8_t A = ZY_BITMAP_HAS_ALPHA | ZY_BITMAP_RELOADABLE, O = ZY_BITMAP_RELOADABLE;
  const int RGBA = PNG_COLOR_TYPE_RGB_ALPHA, RGB = PNG_COLOR_TYPE_RGB, PAL = PNG_COLOR_TYPE_PALETTE;
  const int GREY = PNG_COLOR_TYPE_GRAY, GREYA = PNG_COLOR_TYPE_GRAY_ALPHA;
  const std::string plte = Chunk("PLTE", "\xC8\x0A\x14\x1E\x28\xFA\x07\x08\x09");  // 3 entries
  const std::string a = Bgr(1, 2, 3), b = Bgr(4, 5, 6), c = Bgr(7, 8, 9), d = Bgr(10, 11, 12);
  const std::vector<Bytes> abcd = {{1, 2, 3, 255}, {4, 5, 6, 255}, {7, 8, 9, 255}, {10, 11, 12, 255}};
  const Bytes W = {255, 255, 255, 255}, red = {255, 0, 0, 200}, grey = {7, 7, 7, 255};
  struct Case { const char *name; std::string file; int32_t w, h; uint8_t flags; std::vector<Bytes> pixels; };
  const Case cases[] = {
      {"rgba.png", MakePng(2, RGBA, {{10, 20, 30, 40, 50, 60, 70, 80}}), 2, 1, A,
       {{10, 20, 30, 40}, {50, 60, 70, 80}}},
      {"rgb.png", MakePng(2, RGB, {{1, 2, 3, 4, 5, 6}}), 2, 1, O, {{1, 2, 3, 255}, {4, 5, 6, 255}}},
      // Grey becomes white with the grey as alpha; two bits are widened to eight first.
      {"grey.png", MakePng(3, GREY, {{0, 128, 255}}), 3, 1, A, {{255, 255, 255, 0}, {255, 255, 255, 128}, W}},
      {"grey2.png", MakePng(4, GREY, {{0x1B}}, 2), 4, 1, A,  // 00 01 10 11
       {{255, 255, 255, 0}, {255, 255, 255, 85}, {255, 255, 255, 170}, W}},
      {"greya.png", MakePng(2, GREYA, {{40, 200, 90, 10}}), 2, 1, A, {{40, 40, 40, 200}, {90, 90, 90, 10}}},
      {"greytrns.png", MakePng(2, GREY, {{50, 60}}, 8, Chunk("tRNS", std::string("\0\x3C", 2))), 2, 1, A,
       {{50, 50, 50, 255}, {60, 60, 60, 0}}},  // grey 60 is transparent
      {"pal.png", MakePng(3, PAL, {{0x01, 0x20}}, 4, plte), 3, 1, O,  // indices 0, 1, 2
       {{200, 10, 20, 255}, {30, 40, 250, 255}, {7, 8, 9, 255}}},
      {"paltrns.png", MakePng(3, PAL, {{0x01, 0x20}}, 4, plte + Chunk("tRNS", std::string("\0\x80", 2))),
       3, 1, A, {{200, 10, 20, 0}, {30, 40, 250, 128}, {7, 8, 9, 255}}},  // entry 2 stays opaque
      // 16-bit big-endian samples: the high byte survives.
      {"16.png", MakePng(2, RGBA, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF, 0x00, 0x01,
                                                       0xFE, 0x00, 0x80, 0x7F, 0x01, 0x02}}, 16),
       2, 1, A, {{0x12, 0x56, 0x9A, 0xFF}, {0x00, 0xFE, 0x80, 0x01}}},
      // gAMA 1/2.2 (the screen's) keeps samples; a linear file brightens: 255 (v / 255) ^ (1 / 2.2).
      {"g045.png", MakePng(2, RGB, {{0, 64, 255, 128, 32, 200}}, 8, Chunk("gAMA", BigEndian32(45455))),
       2, 1, O, {{0, 64, 255, 255}, {128, 32, 200, 255}}},
      {"g1.png", MakePng(2, RGB, {{0, 64, 255, 128, 32, 200}}, 8, Chunk("gAMA", BigEndian32(100000))),
       2, 1, O, {{0, 136, 255, 255}, {186, 99, 228, 255}}},
      // Interlaced 3 x 3: the seven passes put every pixel back in its place.
      {"adam7.png", MakePng(3, RGB, {{0, 0, 1, 80, 0, 2, 160, 0, 3}, {0, 80, 4, 80, 80, 5, 160, 80, 6},
                                                    {0, 160, 7, 80, 160, 8, 160, 160, 9}}, 8, "", true), 3, 3, O,
       {{0, 0, 1, 255}, {80, 0, 2, 255}, {160, 0, 3, 255}, {0, 80, 4, 255}, {80, 80, 5, 255}, {160, 80, 6, 255},
        {0, 160, 7, 255}, {80, 160, 8, 255}, {160, 160, 9, 255}}},
      // TGA: row order (descriptor bit 5), mirrored rows (bit 4), 24 and 32 bits, the id
      // field and run-length packets all give the same top-first buffer.
      {"down.tga", TgaHeader(2, 2, 2, 24, 0x20) + a + b + c + d, 2, 2, A, abcd},
      {"up.tga", TgaHeader(2, 2, 2, 24, 0x00) + c + d + a + b, 2, 2, A, abcd},
      {"mirror_down.tga", TgaHeader(2, 2, 2, 24, 0x30) + b + a + d + c, 2, 2, A, abcd},
      {"mirror_up.tga", TgaHeader(2, 2, 2, 24, 0x10) + d + c + b + a, 2, 2, A, abcd},
      {"32.tga", TgaHeader(2, 2, 1, 32, 0x28) + Bgra(10, 20, 30, 40) + Bgra(50, 60, 70, 0), 2, 1, A,
       {{10, 20, 30, 40}, {50, 60, 70, 0}}},
      {"id.tga", TgaHeader(2, 1, 1, 24, 0x20, 5) + "hello" + Bgr(9, 8, 7), 1, 1, A, {{9, 8, 7, 255}}},
      // Row 0: three repeated red, one literal green. Row 1: a literal pair, a repeated pair.
      {"rle.tga", TgaHeader(10, 4, 2, 32, 0x28) + Repeat(3) + Bgra(255, 0, 0, 200) + Literal(1) + Bgra(0, 255, 0, 255) +
                      Literal(2) + Bgra(1, 2, 3, 4) + Bgra(5, 6, 7, 8) + Repeat(2) + Bgra(9, 9, 9, 9),
       4, 2, A, {red, red, red, {0, 255, 0, 255}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}, {9, 9, 9, 9}}},
      {"rle_up.tga", TgaHeader(10, 2, 2, 24, 0x00) + Repeat(2) + Bgr(7, 7, 7) + Literal(2) + a + b, 2, 2, A,
       {{1, 2, 3, 255}, {4, 5, 6, 255}, grey, grey}},
      // A packet spilling into the next row is overwritten by that row's own first packet.
      {"spill.tga", TgaHeader(10, 2, 2, 24, 0x20) + Repeat(4) + Bgr(1, 1, 1) + Repeat(2) + Bgr(7, 7, 7), 2, 2, A,
       {{1, 1, 1, 255}, {1, 1, 1, 255}, grey, grey}},
      // JPEG: opaque; CMYK is stored the Adobe way (inverted: K = 255 keeps the colour).
      {"rgb.jpg", SolidJpeg(3, {200, 100, 50}), 16, 8, O, {{200, 100, 50, 255}}},
      {"prog.jpg", SolidJpeg(3, {30, 160, 220}, true), 16, 8, O, {{30, 160, 220, 255}}},
      {"grey.jpg", SolidJpeg(1, {120}), 16, 8, O, {{120, 120, 120, 255}}},
      {"cmyk.jpg", SolidJpeg(4, {200, 100, 50, 255}), 16, 8, O, {{200, 100, 50, 255}}},
  };
  for (const Case &k : cases) {
    for (bool bgra : {false, true}) {
      SCOPED_TRACE(std::string(k.name) + (bgra ? " bgra" : " rgba"));
      UseBgra(bgra);
      ZY_Bitmap *bm = LoadBytes(k.name, k.file);
      ASSERT_NE(bm->pixels, nullptr);
      EXPECT_EQ(std::make_pair(bm->width, bm->height), std::make_pair(k.w, k.h));
      EXPECT_EQ(bm->flags, k.flags);
      const int tolerance = strstr(k.name, ".jpg") ? 3 : 0;
      for (int32_t i = 0; i < k.w * k.h; i++) {
        const Bytes got = PixelBytes(*bm, i % k.w, i / k.w);
        const Bytes want = InOrder(k.pixels[k.pixels.size() > 1 ? i : 0], bgra);
        for (int ch = 0; ch < 4; ch++) ASSERT_NEAR(got[ch], want[ch], tolerance) << "pixel " << i << " channel " << ch;
      }
    }
  }
  EXPECT_FALSE(Logged("TGA buffer overrun"));
}

// PNG and TGA give back every byte; JPEG gives back the colours closely and no alpha.
TEST_F(ImageTest, SavedImagesLoadBackInBothPixelOrders) {
  std::vector<uint32_t> words;
  for (int i = 0; i < 24 * 20; i++)
    words.push_back(Word((uint8_t)(40 + i % 24 * 4), (uint8_t)(60 + i / 24 * 3), 180, (uint8_t)(i * 5)));
  for (const char *file : {"user://round.png", "user://round.tga", "user://round.jpg"}) {
    const bool jpeg = strstr(file, ".jpg") != nullptr;
    for (bool bgra : {false, true}) {
      SCOPED_TRACE(std::string(file) + (bgra ? " bgra" : " rgba"));
      UseBgra(bgra);
      ZY_Bitmap *bm = BitmapOf(24, 20, words, true), *back = NewBitmap();
      ASSERT_TRUE(loader->SaveImage(bm, file, 95));
      ASSERT_TRUE(loader->LoadImage(back, file));
      ASSERT_EQ(std::make_pair(back->width, back->height), std::make_pair(24, 20));
      for (int i = 0; i < 24 * 20; i++) {
        Bytes got = PixelBytes(*back, i % 24, i / 24), put = PixelBytes(*bm, i % 24, i / 24);
        for (int c = 0; c < 3; c++) ASSERT_NEAR(got[c], put[c], jpeg ? 6 : 0) << "pixel " << i;
        ASSERT_EQ(got[3], jpeg ? 255 : put[3]) << "pixel " << i;
      }
    }
  }
  // Files are R, G, B, A whatever the buffers: B, G, R, A saved reads back swapped in R, G,
  // B, A; the TGA writer makes bottom-up B, G, R, A rows under its header in either order.
  UseBgra(true);
  ASSERT_TRUE(loader->SaveImage(BitmapOf(1, 1, {Word(1, 2, 3, 4)}, true), "user://order.png", 0));
  ASSERT_TRUE(loader->SaveImage(BitmapOf(2, 2, {Word(3, 2, 1, 4), Word(7, 6, 5, 8), Word(11, 10, 9, 12),
                                                Word(15, 14, 13, 16)}, true), "user://b.tga", 0));
  UseBgra(false);
  ZY_Bitmap *back = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(back, "user://order.png"));
  EXPECT_EQ(PixelBytes(*back, 0, 0), (Bytes{3, 2, 1, 4}));
  ASSERT_TRUE(loader->SaveImage(BitmapOf(2, 2, {Word(1, 2, 3, 4), Word(5, 6, 7, 8), Word(9, 10, 11, 12),
                                                Word(13, 14, 15, 16)}, true), "user://r.tga", 0));
  const std::string tga = TgaHeader(2, 2, 2, 32, 8) + Bgra(9, 10, 11, 12) + Bgra(13, 14, 15, 16) + Bgra(1, 2, 3, 4) +
                          Bgra(5, 6, 7, 8);
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/r.tga"), tga);
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/b.tga"), tga);
}
