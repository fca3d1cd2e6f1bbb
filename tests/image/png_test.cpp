// png_test.cpp — PNG loading by colour type and depth, gamma, both pixel orders, saving
// and reading back, and damaged files (truncated at every length, random corruption,
// impossible sizes) failing cleanly.
#include <zlib.h>

#include <random>

#include "image_fixture.h"

namespace {

PngDesc Rgba2x2() {
  return Png(2, PNG_COLOR_TYPE_RGB_ALPHA,
             {{10, 20, 30, 40, 50, 60, 70, 80}, {90, 100, 110, 120, 130, 140, 150, 160}});
}

// Appends a chunk with its length and CRC.
void AppendChunk(std::string &out, const char *type, const std::string &data) {
  uint8_t len[4] = {(uint8_t)(data.size() >> 24), (uint8_t)(data.size() >> 16),
                    (uint8_t)(data.size() >> 8), (uint8_t)data.size()};
  out.append((const char *)len, 4);
  std::string body = std::string(type, 4) + data;
  out += body;
  uLong crc = crc32(0, (const Bytef *)body.data(), (uInt)body.size());
  uint8_t c[4] = {(uint8_t)(crc >> 24), (uint8_t)(crc >> 16), (uint8_t)(crc >> 8), (uint8_t)crc};
  out.append((const char *)c, 4);
}

std::string BigEndian32(uint32_t v) {
  return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
}

}  // namespace

// Every colour type and depth becomes R, G, B, A bytes (or B, G, R, A), flagged with
// alpha exactly when the file has an alpha channel or transparency.
TEST_F(ImageTest, PngEachColourTypeLoadsInEitherPixelOrder) {
  PngDesc grey_trns = Png(2, PNG_COLOR_TYPE_GRAY, {{50, 60}});  // tRNS: alpha, grey colour
  grey_trns.has_trns_colour = true;
  grey_trns.trns_colour.gray = 60;
  PngDesc palette = Png(3, PNG_COLOR_TYPE_PALETTE, {{0x01, 0x20}}, 4);  // indices 0, 1, 2
  palette.palette = {{200, 10, 20}, {30, 40, 250}, {7, 8, 9}};
  PngDesc palette_trns = palette;
  palette_trns.trns_alpha = {0, 128};  // entry 2 stays opaque
  struct Case { const char *what; PngDesc desc; bool alpha; std::vector<Bytes> pixels; };
  const Case cases[] = {
      {"rgba", Rgba2x2(), true, {{10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120},
                                 {130, 140, 150, 160}}},
      {"rgb", Png(2, PNG_COLOR_TYPE_RGB, {{1, 2, 3, 4, 5, 6}}), false, {{1, 2, 3, 255}, {4, 5, 6, 255}}},
      // Grey becomes white with the grey as alpha; two bits are widened to eight first.
      {"grey", Png(3, PNG_COLOR_TYPE_GRAY, {{0, 128, 255}}), true,
       {{255, 255, 255, 0}, {255, 255, 255, 128}, {255, 255, 255, 255}}},
      {"grey 2-bit", Png(4, PNG_COLOR_TYPE_GRAY, {{0x1B}}, 2), true,  // 00 01 10 11
       {{255, 255, 255, 0}, {255, 255, 255, 85}, {255, 255, 255, 170}, {255, 255, 255, 255}}},
      {"grey+alpha", Png(2, PNG_COLOR_TYPE_GRAY_ALPHA, {{40, 200, 90, 10}}), true,
       {{40, 40, 40, 200}, {90, 90, 90, 10}}},
      {"grey tRNS", grey_trns, true, {{50, 50, 50, 255}, {60, 60, 60, 0}}},
      {"palette", palette, false, {{200, 10, 20, 255}, {30, 40, 250, 255}, {7, 8, 9, 255}}},
      {"palette tRNS", palette_trns, true, {{200, 10, 20, 0}, {30, 40, 250, 128}, {7, 8, 9, 255}}},
      // 16-bit big-endian samples: the high byte survives.
      {"16-bit", Png(2, PNG_COLOR_TYPE_RGB_ALPHA, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF,
                                                   0x00, 0x01, 0xFE, 0x00, 0x80, 0x7F, 0x01, 0x02}},
                 16),
       true, {{0x12, 0x56, 0x9A, 0xFF}, {0x00, 0xFE, 0x80, 0x01}}},
  };
  for (const Case &c : cases) {
    std::string png = MakePng(c.desc);
    for (bool bgra : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (bgra ? " bgra" : " rgba"));
      UseBgra(bgra);
      ZY_Bitmap *bm = LoadBytes("c.png", png);
      ASSERT_NE(bm->pixels, nullptr);
      EXPECT_EQ(bm->flags, (c.alpha ? ZY_BITMAP_HAS_ALPHA : 0) | ZY_BITMAP_RELOADABLE);
      for (size_t i = 0; i < c.pixels.size(); i++) {
        const Bytes &p = c.pixels[i];
        const Bytes want = bgra ? Bytes{p[2], p[1], p[0], p[3]} : p;
        int32_t x = (int32_t)(i % c.desc.width), y = (int32_t)(i / c.desc.width);
        EXPECT_EQ(PixelBytes(*bm, x, y), want) << "pixel " << i;
      }
    }
  }
}

TEST_F(ImageTest, PngInterlacedMatchesTheSameImagePlain) {
  PngDesc s;
  s.width = 13;
  s.height = 11;
  for (uint32_t y = 0; y < s.height; y++) {
    std::vector<uint8_t> row;
    for (uint32_t x = 0; x < s.width; x++)
      row.insert(row.end(), {(uint8_t)(x * 17), (uint8_t)(y * 23), (uint8_t)(x ^ y), (uint8_t)(x + y)});
    s.rows.push_back(row);
  }
  ZY_Bitmap *plain = LoadBytes("plain.png", MakePng(s));
  s.interlace = PNG_INTERLACE_ADAM7;
  ZY_Bitmap *adam7 = LoadBytes("adam7.png", MakePng(s));
  ASSERT_NE(plain->pixels, nullptr);
  ASSERT_NE(adam7->pixels, nullptr);
  EXPECT_EQ(memcmp(plain->pixels, adam7->pixels, 13 * 11 * 4), 0);
  EXPECT_EQ(PixelBytes(*adam7, 12, 10), (Bytes{204, 230, 12 ^ 10, 22}));
}

TEST_F(ImageTest, PngGammaChunkIsAppliedAgainstScreenGamma) {
  PngDesc s = Png(3, PNG_COLOR_TYPE_RGB, {{0, 64, 255, 128, 32, 200, 10, 20, 30}});
  // A file gamma of 1/2.2 against the 2.2 screen leaves samples as they are.
  s.gamma = 0.45455;
  ZY_Bitmap *same = LoadBytes("g045.png", MakePng(s));
  EXPECT_EQ(PixelBytes(*same, 0, 0), (Bytes{0, 64, 255, 255}));
  EXPECT_EQ(PixelBytes(*same, 1, 0), (Bytes{128, 32, 200, 255}));
  // A linear file is brightened: 255 * (v / 255) ^ (1 / 2.2).
  s.gamma = 1.0;
  ZY_Bitmap *linear = LoadBytes("g1.png", MakePng(s));
  Bytes p = PixelBytes(*linear, 0, 0);
  EXPECT_EQ(p[0], 0);
  EXPECT_NEAR(p[1], 136, 1);
  EXPECT_EQ(p[2], 255);
  EXPECT_NEAR(PixelBytes(*linear, 1, 0)[1], 99, 1);  // 32 -> 99.3
}

TEST_F(ImageTest, PngSavedAndLoadedBackIsIdenticalInBothOrders) {
  for (bool bgra : {false, true}) {
    UseBgra(bgra);
    std::vector<uint32_t> words;
    for (int i = 0; i < 7 * 5; i++)
      words.push_back(Word((uint8_t)(i * 7), (uint8_t)(255 - i), (uint8_t)(i * 3), (uint8_t)(i * 5)));
    ZY_Bitmap *bm = BitmapOf(7, 5, words, true);
    ASSERT_TRUE(loader->SaveImage(bm, "user://round.png", 0));
    ZY_Bitmap *back = NewBitmap();
    ASSERT_TRUE(loader->LoadImage(back, "user://round.png"));
    ASSERT_EQ(back->width, 7);
    ASSERT_EQ(back->height, 5);
    EXPECT_EQ(memcmp(back->pixels, bm->pixels, 7 * 5 * 4), 0) << "bgra " << bgra;
  }
  // The file itself is always R, G, B, A: a buffer saved in B, G, R, A order reads back
  // in R, G, B, A order with red and blue exchanged.
  UseBgra(true);
  ZY_Bitmap *bm = BitmapOf(1, 1, {Word(1, 2, 3, 4)}, true);
  ASSERT_TRUE(loader->SaveImage(bm, "user://order.png", 0));
  UseBgra(false);
  ZY_Bitmap *back = NewBitmap();
  ASSERT_TRUE(loader->LoadImage(back, "user://order.png"));
  EXPECT_EQ(PixelBytes(*back, 0, 0), (Bytes{3, 2, 1, 4}));
}

TEST_F(ImageTest, PngThatIsNotAPngIsReported) {
  bool ok = true;
  ZY_Bitmap *bm = LoadBytes("fake.png", "GIF89a and so on");
  EXPECT_EQ(bm->pixels, nullptr);
  EXPECT_TRUE(Logged("PNG ERROR: Image 'res://fake.png' not proper png."));
  EXPECT_TRUE(Logged("Unable to load image 'res://fake.png'"));
  // The first four bytes match but the rest of the signature does not: libpng's own
  // check fails the load.
  std::string png = MakePng(Rgba2x2());
  png[6] = 'X';
  LoadBytes("half.png", png, &ok);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Logged("PNG ERROR: Image 'res://half.png' load failed."));
}

TEST_F(ImageTest, PngTruncatedAtEveryLengthFailsCleanly) {
  PngDesc s = Rgba2x2();
  s.width = 6;
  s.height = 5;
  s.rows.clear();
  for (int y = 0; y < 5; y++) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 24; x++) row.push_back((uint8_t)(x * 31 + y * 7));
    s.rows.push_back(row);
  }
  std::string png = MakePng(s);
  ZY_Bitmap *full = LoadBytes("full.png", png);
  ASSERT_NE(full->pixels, nullptr);
  const size_t iend = 12;  // only the end chunk is lost below this many missing bytes
  for (size_t length = 0; length < png.size(); length++) {
    bool ok = true;
    ZY_Bitmap *bm = LoadBytes("cut.png", png.substr(0, length), &ok);
    if (length < png.size() - iend) {
      EXPECT_FALSE(ok) << "length " << length;
      EXPECT_EQ(bm->pixels, nullptr) << "length " << length;
    } else if (ok) {
      EXPECT_EQ(memcmp(bm->pixels, full->pixels, 6 * 5 * 4), 0) << "length " << length;
    }
  }
  EXPECT_TRUE(Logged("libpng error: "));
}

TEST_F(ImageTest, PngWithRandomCorruptionNeverCrashes) {
  PngDesc s;
  s.width = 16;
  s.height = 16;
  s.color_type = PNG_COLOR_TYPE_RGB_ALPHA;
  s.interlace = PNG_INTERLACE_ADAM7;
  for (int y = 0; y < 16; y++) {
    std::vector<uint8_t> row;
    for (int x = 0; x < 64; x++) row.push_back((uint8_t)((x * y) ^ 0x5A));
    s.rows.push_back(row);
  }
  std::string png = MakePng(s);
  std::mt19937 rng(1234);
  int loaded = 0, failed = 0;
  for (int round = 0; round < 300; round++) {
    std::string bad = png;
    int flips = 1 + (int)(rng() % 4);
    for (int i = 0; i < flips; i++) bad[8 + rng() % (bad.size() - 8)] ^= (char)(1 + rng() % 255);
    bool ok = false;
    ZY_Bitmap *bm = LoadBytes("bad.png", bad, &ok);
    EXPECT_EQ(ok, bm->pixels != nullptr);
    if (ok) {
      loaded++;
      EXPECT_GT(bm->width, 0);
      EXPECT_GT(bm->height, 0);
    } else {
      failed++;
    }
  }
  // CRCs catch nearly every flipped byte; a flip in the ignored end chunk still loads.
  EXPECT_GT(failed, 200);
  EXPECT_EQ(loaded + failed, 300);
}

TEST_F(ImageTest, PngClaimingMorePixelsThanItsDataCanHoldIsRefusedBeforeAllocating) {
  // A valid header for 60000 x 60000 RGBA (14 GB of pixels) and one tiny IDAT chunk.
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string ihdr = BigEndian32(60000) + BigEndian32(60000) + std::string("\x08\x06\x00\x00\x00", 5);
  AppendChunk(png, "IHDR", ihdr);
  AppendChunk(png, "IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8));
  AppendChunk(png, "IEND", "");
  bool ok = true;
  ZY_Bitmap *bm = LoadBytes("huge.png", png, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(bm->pixels, nullptr);
  EXPECT_TRUE(Logged("libpng error: Image data cannot fit in the file"));
  // Its dimensions still read: the header is sound.
  ZY_Bitmap *dims = NewBitmap();
  EXPECT_TRUE(loader->GetImageDimensions(dims, "res://huge.png"));
  EXPECT_EQ(dims->width, 60000);
}

TEST_F(ImageTest, PngChunkLongerThanTheFileIsRefusedAtItsHeader) {
  // A sound 2x2 image followed by a suggested-palette chunk whose header claims 1.8 GB.
  // (That its buffer is never allocated is checked by the PNG fuzz target's memory
  // limit on the seed corpus, which holds the same file.)
  std::string png = MakePng(Rgba2x2());
  std::string hostile = png.substr(0, 33) + BigEndian32(0x6d280c00) + "sPLT" + std::string(16, 'x');
  bool ok = true;
  ZY_Bitmap *bm = LoadBytes("hostile.png", hostile, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(bm->pixels, nullptr);
  EXPECT_TRUE(Logged("libpng error: Read beyond end of data"));
}
