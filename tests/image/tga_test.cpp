// tga_test.cpp — TGA files made byte by byte: both row orders, mirrored rows, 24 and 32
// bits, run-length packets and their four overrun warnings, refused kinds, the writer's
// exact bytes, round trips, and damaged files (truncated, corrupted) failing cleanly.
#include <random>

#include "image_fixture.h"

namespace {

// File pixels are B, G, R (, A).
std::string Bgr(uint8_t r, uint8_t g, uint8_t b) { return {(char)b, (char)g, (char)r}; }
std::string Bgra(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  return {(char)b, (char)g, (char)r, (char)a};
}
std::string Repeat(int count) { return std::string(1, (char)(0x80 | (count - 1))); }
std::string Literal(int count) { return std::string(1, (char)(count - 1)); }

// The 2 x 2 picture used below, top row first: A B / C D.
const uint8_t A[3] = {1, 2, 3}, B[3] = {4, 5, 6}, C[3] = {7, 8, 9}, D[3] = {10, 11, 12};
std::string P(const uint8_t *c) { return Bgr(c[0], c[1], c[2]); }

std::string TopDown24() { return TgaHeader(2, 2, 2, 24, 0x20) + P(A) + P(B) + P(C) + P(D); }
std::string BottomUp24() { return TgaHeader(2, 2, 2, 24, 0x00) + P(C) + P(D) + P(A) + P(B); }

}  // namespace

// Row order (descriptor bit 5), mirrored rows (bit 4), 24 and 32 bits, the id field and
// run-length packets all give the same top-first buffer, in either pixel order. 24-bit
// files are flagged as having alpha all the same.
TEST_F(ImageTest, TgaLayoutsDecodeToTheSameTopFirstBuffer) {
  const Bytes a = {1, 2, 3, 255}, b = {4, 5, 6, 255}, c = {7, 8, 9, 255}, d = {10, 11, 12, 255};
  const Bytes red = {255, 0, 0, 200};
  struct Case { const char *what; std::string file; int32_t width; std::vector<Bytes> pixels; };
  const Case cases[] = {
      {"top-down", TopDown24(), 2, {a, b, c, d}},
      {"bottom-up", BottomUp24(), 2, {a, b, c, d}},
      {"mirrored top-down", TgaHeader(2, 2, 2, 24, 0x30) + P(B) + P(A) + P(D) + P(C), 2, {a, b, c, d}},
      {"mirrored bottom-up", TgaHeader(2, 3, 1, 24, 0x10) + Bgr(3, 0, 0) + Bgr(2, 0, 0) + Bgr(1, 0, 0),
       3, {{1, 0, 0, 255}, {2, 0, 0, 255}, {3, 0, 0, 255}}},
      {"32-bit", TgaHeader(2, 2, 1, 32, 0x28) + Bgra(10, 20, 30, 40) + Bgra(50, 60, 70, 0), 2,
       {{10, 20, 30, 40}, {50, 60, 70, 0}}},
      {"id field", TgaHeader(2, 1, 1, 24, 0x20, 5) + "hello" + Bgr(9, 8, 7), 1, {{9, 8, 7, 255}}},
      // Row 0: three repeated red, one literal green. Row 1: a literal pair, a repeated pair.
      {"rle 32-bit", TgaHeader(10, 4, 2, 32, 0x28) + Repeat(3) + Bgra(255, 0, 0, 200) + Literal(1) +
                         Bgra(0, 255, 0, 255) + Literal(2) + Bgra(1, 2, 3, 4) + Bgra(5, 6, 7, 8) +
                         Repeat(2) + Bgra(9, 9, 9, 9),
       4, {red, red, red, {0, 255, 0, 255}, {1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}, {9, 9, 9, 9}}},
      {"rle bottom-up", TgaHeader(10, 2, 2, 24, 0x00) + Repeat(2) + Bgr(7, 7, 7) + Literal(2) +
                            Bgr(1, 1, 1) + Bgr(2, 2, 2),
       2, {{1, 1, 1, 255}, {2, 2, 2, 255}, {7, 7, 7, 255}, {7, 7, 7, 255}}},
  };
  for (const Case &k : cases) {
    for (bool bgra : {false, true}) {
      SCOPED_TRACE(std::string(k.what) + (bgra ? " bgra" : " rgba"));
      UseBgra(bgra);
      ZY_Bitmap *bm = LoadBytes("layout.tga", k.file);
      ASSERT_NE(bm->pixels, nullptr);
      EXPECT_EQ(bm->width, k.width);
      EXPECT_EQ(bm->height, (int32_t)k.pixels.size() / k.width);
      EXPECT_EQ(bm->flags, ZY_BITMAP_HAS_ALPHA | ZY_BITMAP_RELOADABLE);
      for (size_t i = 0; i < k.pixels.size(); i++) {
        const Bytes &p = k.pixels[i];
        const Bytes want = bgra ? Bytes{p[2], p[1], p[0], p[3]} : p;
        EXPECT_EQ(PixelBytes(*bm, (int32_t)i % k.width, (int32_t)i / k.width), want) << "pixel " << i;
      }
    }
  }
}

TEST_F(ImageTest, TgaPacketsRestartAtEveryRow) {
  // A packet longer than its row runs on into the next buffer row; that row then starts
  // with a fresh packet of its own, which overwrites the spill.
  std::string tga = TgaHeader(10, 2, 2, 24, 0x20) + Repeat(4) + Bgr(1, 1, 1) + Repeat(2) + Bgr(2, 2, 2);
  ZY_Bitmap *bm = LoadBytes("spill.tga", tga);
  ASSERT_NE(bm->pixels, nullptr);
  EXPECT_EQ(PixelBytes(*bm, 1, 0), (Bytes{1, 1, 1, 255}));
  EXPECT_EQ(PixelBytes(*bm, 0, 1), (Bytes{2, 2, 2, 255}));
  EXPECT_FALSE(Logged("TGA buffer overrun"));
}

TEST_F(ImageTest, TgaOverrunsStopWithTheirWarningAndStillLoad) {
  // Bottom-up 2 x 2: the first file row is the last buffer row, so a packet of four
  // pixels there runs off the end of the buffer after two.
  std::string repeated = TgaHeader(10, 2, 2, 24, 0x00) + Repeat(4) + Bgr(5, 5, 5);
  std::string literal = TgaHeader(10, 2, 2, 24, 0x00) + Literal(4) + Bgr(1, 1, 1) +
                        Bgr(2, 2, 2) + Bgr(3, 3, 3) + Bgr(4, 4, 4);
  struct Case { bool bgra; const std::string *file; const char *message; };
  for (Case c : {Case{false, &repeated, "TGA buffer overrun #1: (1)"},
                 Case{false, &literal, "TGA buffer overrun #2: (1)"},
                 Case{true, &repeated, "TGA buffer overrun #3: (1)"},
                 Case{true, &literal, "TGA buffer overrun #4: (1)"}}) {
    UseBgra(c.bgra);
    bool ok = false;
    ZY_Bitmap *bm = LoadBytes("over.tga", *c.file, &ok);
    EXPECT_TRUE(ok) << c.message;
    ASSERT_NE(bm->pixels, nullptr);
    EXPECT_EQ(LoggedCount(c.message), 1) << c.message;
    EXPECT_EQ(LoggedLevel(c.message), 2);
    // What was written stays; the rows never reached are transparent black.
    EXPECT_EQ(PixelBytes(*bm, 1, 1)[3], 255);
    EXPECT_EQ(PixelBytes(*bm, 0, 0), (Bytes{0, 0, 0, 0}));
  }
  // The count is of the packet's pixels still to come after the refused one.
  std::string longer = TgaHeader(10, 1, 1, 24, 0x00) + Repeat(100) + Bgr(5, 5, 5);
  UseBgra(false);
  LoadBytes("long.tga", longer);
  EXPECT_TRUE(Logged("TGA buffer overrun #1: (98)"));
}

TEST_F(ImageTest, TgaOfUnsupportedKindsFailToLoad) {
  struct Case { const char *why; std::string file; };
  std::string px = Bgr(1, 2, 3);
  for (const Case &c : {Case{"colour map", TgaHeader(2, 1, 1, 24, 0, 0, 1) + px},
                        Case{"type 1", TgaHeader(1, 1, 1, 24, 0) + px},
                        Case{"type 3", TgaHeader(3, 1, 1, 24, 0) + px},
                        Case{"type 9", TgaHeader(9, 1, 1, 24, 0) + px},
                        Case{"type 11", TgaHeader(11, 1, 1, 24, 0) + px},
                        Case{"16-bit", TgaHeader(2, 1, 1, 16, 0) + px},
                        Case{"no pixels", TgaHeader(2, 0, 5, 24, 0)},
                        Case{"short header", std::string(17, '\0')}}) {
    bool ok = true;
    ZY_Bitmap *bm = LoadBytes("bad.tga", c.file, &ok);
    EXPECT_FALSE(ok) << c.why;
    EXPECT_EQ(bm->pixels, nullptr) << c.why;
  }
  EXPECT_EQ(LoggedCount("Unable to load image 'res://bad.tga'"), 8);
}

TEST_F(ImageTest, TgaTruncatedAtEveryLengthFailsCleanly) {
  std::string raw = TgaHeader(2, 3, 2, 32, 0x00, 2) + "id";
  for (int i = 0; i < 6; i++) raw += Bgra((uint8_t)i, 1, 2, 3);
  std::string rle = TgaHeader(10, 3, 2, 24, 0x20) + Repeat(2) + Bgr(1, 1, 1) + Literal(1) +
                    Bgr(2, 2, 2) + Literal(3) + Bgr(3, 3, 3) + Bgr(4, 4, 4) + Bgr(5, 5, 5);
  for (const std::string *file : {&raw, &rle}) {
    bool ok = false;
    LoadBytes("whole.tga", *file, &ok);
    EXPECT_TRUE(ok);
    for (size_t length = 0; length < file->size(); length++) {
      ZY_Bitmap *bm = LoadBytes("cut.tga", file->substr(0, length), &ok);
      EXPECT_FALSE(ok) << "length " << length;
      EXPECT_EQ(bm->pixels, nullptr) << "length " << length;
    }
  }
  // A truncated header still fails the dimensions read instead of reading past the end.
  Loose("short.tga", std::string(10, '\0'));
  EXPECT_FALSE(loader->GetImageDimensions(NewBitmap(), "res://short.tga"));
}

TEST_F(ImageTest, TgaWithRandomCorruptionNeverCrashes) {
  std::string rle = TgaHeader(10, 8, 8, 32, 0x28);
  for (int y = 0; y < 8; y++) rle += Repeat(4) + Bgra(1, 2, 3, 4) + Literal(4) + std::string(16, '\x7f');
  std::mt19937 rng(5);
  for (int round = 0; round < 500; round++) {
    std::string bad = rle;
    int flips = 1 + (int)(rng() % 4);
    for (int i = 0; i < flips; i++) bad[rng() % bad.size()] ^= (char)(1 + rng() % 255);
    bool ok = false;
    ZY_Bitmap *bm = LoadBytes("bad.tga", bad, &ok);
    ASSERT_EQ(ok, bm->pixels != nullptr);
    if (ok) {
      EXPECT_GT(bm->width, 0);
      EXPECT_GT(bm->height, 0);
    }
  }
}

TEST_F(ImageTest, TgaWriterProducesBottomUpBgraWithItsHeader) {
  ZY_Bitmap *bm = BitmapOf(2, 2, {Word(1, 2, 3, 4), Word(5, 6, 7, 8), Word(9, 10, 11, 12),
                                  Word(13, 14, 15, 16)}, true);
  ASSERT_TRUE(loader->SaveImage(bm, "user://w.tga", 0));
  std::string file = zytest::ReadFile(UserRoot() + "/w.tga");
  std::string expected = TgaHeader(2, 2, 2, 32, 8) + Bgra(9, 10, 11, 12) + Bgra(13, 14, 15, 16) +
                         Bgra(1, 2, 3, 4) + Bgra(5, 6, 7, 8);
  EXPECT_EQ(file, expected);

  // Under B, G, R, A buffers the file is the same picture.
  UseBgra(true);
  ZY_Bitmap *swapped = BitmapOf(2, 2, {Word(3, 2, 1, 4), Word(7, 6, 5, 8), Word(11, 10, 9, 12),
                                       Word(15, 14, 13, 16)}, true);
  ASSERT_TRUE(loader->SaveImage(swapped, "user://s.tga", 0));
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/s.tga"), expected);
}

TEST_F(ImageTest, TgaSavedAndLoadedBackIsIdenticalInBothOrders) {
  for (bool bgra : {false, true}) {
    UseBgra(bgra);
    std::vector<uint32_t> words;
    for (int i = 0; i < 5 * 3; i++)
      words.push_back(Word((uint8_t)i, (uint8_t)(i * 9), (uint8_t)(250 - i), (uint8_t)(i * 17)));
    ZY_Bitmap *bm = BitmapOf(5, 3, words, true);
    ASSERT_TRUE(loader->SaveImage(bm, "user://round.tga", 0));
    ZY_Bitmap *back = NewBitmap();
    ASSERT_TRUE(loader->LoadImage(back, "user://round.tga"));
    ASSERT_EQ(back->width, 5);
    EXPECT_EQ(memcmp(back->pixels, bm->pixels, 5 * 3 * 4), 0) << "bgra " << bgra;
  }
}
