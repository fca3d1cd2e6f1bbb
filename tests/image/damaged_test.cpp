// damaged_test.cpp — files truncated at every length, randomly corrupted, claiming sizes
// their data cannot hold, with TGA packets running past the buffer, or of kinds no decoder
// takes: each fails cleanly with its message, or loads a whole picture.
#include <random>

#include "image_fixture.h"

namespace {

struct Damaged {
  const char *name;   // file name; its suffix picks the decoder
  std::string bytes;  // a sound file
  size_t lossable;    // trailing bytes that may go missing without losing the picture
  size_t keep;        // leading bytes the corruption leaves alone (the signature)
};

// Sound files of every decoder and layout, made without the engine's writers.
std::vector<Damaged> SoundFiles() {
  zytest::Image img(24, 16);
  std::vector<uint8_t> rgb;
  std::vector<Bytes> rows(16);
  for (int i = 0; i < 24 * 16; i++) {
    uint8_t *p = img.At(i % 24, i / 24);
    p[0] = (uint8_t)(40 + i % 24 * 4), p[1] = (uint8_t)(60 + i / 24 * 3), p[2] = 90, p[3] = (uint8_t)i;
    rgb.insert(rgb.end(), p, p + 3);
    rows[i / 24].insert(rows[i / 24].end(), p, p + 4);
  }
  std::string rle = TgaHeader(10, 8, 8, 32, 0x28);
  for (int y = 0; y < 8; y++) rle += "\x83\x01\x02\x03\x04\x03" + std::string(16, '\x7f');  // 4 repeated, 4 literal
  return {{"a.png", MakePng(24, PNG_COLOR_TYPE_RGB_ALPHA, rows, 8, "", true), 12, 8},  // the end chunk may go
          {"a.tga", zytest::TgaBytes(img), 0, 0},
          {"rle.tga", rle, 0, 0},
          {"a.jpg", zytest::JpegBytes(24, 16, 3, rgb, 80), 2, 2},  // the end marker may go
          {"p.jpg", zytest::JpegBytes(24, 16, 3, rgb, 80, true), 2, 2}};
}

// Peak virtual memory of this process in kB.
long VmPeakKb() {
  std::string status = zytest::ReadFile("/proc/self/status");
  size_t at = status.find("VmPeak:");
  return at == std::string::npos ? -1 : atol(status.c_str() + at + 7);
}

}  // namespace

TEST_F(ImageTest, ImagesTruncatedAtEveryLengthFailCleanly) {
  for (const Damaged &f : SoundFiles()) {
    bool ok = false;
    ZY_Bitmap *full = LoadBytes(f.name, f.bytes, &ok);
    ASSERT_TRUE(ok) << f.name;
    const size_t size = (size_t)full->width * full->height * 4;
    for (size_t length = 0; length < f.bytes.size(); length++) {
      ZY_Bitmap *bm = LoadBytes(f.name, f.bytes.substr(0, length), &ok);
      ASSERT_EQ(ok, bm->pixels != nullptr) << f.name << " length " << length;
      // Only the lossable tail may go missing, and then the picture is whole.
      EXPECT_TRUE(ok ? length >= f.bytes.size() - f.lossable && !memcmp(bm->pixels, full->pixels, size)
                     : true)
          << f.name << " length " << length;
    }
  }
  EXPECT_TRUE(Logged("libpng error: "));
  EXPECT_TRUE(Logged("libjpeg: Premature end of JPEG file"));
  // A truncated TGA header fails the dimensions read instead of reading past the end.
  Loose("short.tga", std::string(10, '\0'));
  EXPECT_FALSE(loader->GetImageDimensions(NewBitmap(), "res://short.tga"));
}

TEST_F(ImageTest, ImagesWithRandomCorruptionFailOrLoadWholePictures) {
  std::mt19937 rng(1234);
  for (const Damaged &f : SoundFiles()) {
    int loaded = 0;
    for (int round = 0; round < 200; round++) {
      std::string bad = f.bytes;
      for (int i = 0, flips = 1 + (int)(rng() % 4); i < flips; i++)
        bad[f.keep + rng() % (bad.size() - f.keep)] ^= (char)(1 + rng() % 255);
      bool ok = false;
      ZY_Bitmap *bm = LoadBytes(f.name, bad, &ok);
      ASSERT_EQ(ok, bm->pixels != nullptr) << f.name << " round " << round;
      EXPECT_TRUE(!ok || (bm->width > 0 && bm->height > 0)) << f.name;
      loaded += ok;
    }
    // PNG checksums catch nearly every flip; JPEG has none: damaged data still decodes.
    EXPECT_TRUE(strstr(f.name, ".png") ? loaded < 60 : strstr(f.name, ".jpg") ? loaded > 0 : true)
        << f.name << " loaded " << loaded << " of 200";
  }
}

// A 2x2 image header and a suggested-palette chunk claiming 1.8 GB, for which libpng would
// allocate before reading a byte: the load fails at the end, never asking for the memory.
TEST_F(ImageTest, PngChunkLongerThanTheFileGetsNoBufferOfThatSize) {
  const std::string hostile = MakePng(2, PNG_COLOR_TYPE_RGB_ALPHA, {{10, 20, 30, 40, 50, 60, 70, 80}}).substr(0, 33) +
                              BigEndian32(0x6d280c00) + "sPLT" + std::string(16, 'x');
  zytest::RunResult r = zytest::RunInChild([&] {
    long before = VmPeakKb();
    bool ok = true;
    ZY_Bitmap *bm = LoadBytes("hostile.png", hostile, &ok);
    printf("%d %d %d %ld", ok, bm->pixels != nullptr, Logged("libpng error: Read beyond end of data"),
           (VmPeakKb() - before) / 1024);
  });
  int ok = -1, pixels = -1, logged = -1;
  long grew_mib = -1;
  ASSERT_EQ(sscanf(r.out.c_str(), "%d %d %d %ld", &ok, &pixels, &logged, &grew_mib), 4) << r.err;
  EXPECT_EQ(ok + pixels, 0);
  EXPECT_EQ(logged, 1);
  EXPECT_LT(grew_mib, 64);
}

// Bottom-up 2 x 2: a packet of four in the first file row (the last buffer row) runs off
// the end of the buffer after two. Each decoding path has its warning.
TEST_F(ImageTest, TgaOverrunsStopWithTheirWarningAndStillLoad) {
  const std::string repeated = TgaHeader(10, 2, 2, 24, 0x00) + Repeat(4) + Bgr(5, 5, 5);
  const std::string literal = TgaHeader(10, 2, 2, 24, 0x00) + Literal(4) + std::string(12, '\x07');
  for (int path = 0; path < 4; path++) {  // repeated, literal; R, G, B, A then B, G, R, A
    const std::string message = "TGA buffer overrun #" + std::to_string(path + 1) + ": (1)";
    UseBgra(path >= 2);
    ZY_Bitmap *bm = LoadBytes("over.tga", path % 2 ? literal : repeated);
    ASSERT_NE(bm->pixels, nullptr) << message;
    EXPECT_EQ(LoggedCount(message), 1) << message;
    EXPECT_EQ(LoggedLevel(message), 2);
    // What was written stays; the rows never reached are transparent black.
    EXPECT_EQ(PixelBytes(*bm, 1, 1)[3], 255);
    EXPECT_EQ(PixelBytes(*bm, 0, 0), (Bytes{0, 0, 0, 0}));
  }
  // The count is of the packet's pixels still to come after the refused one.
  LoadBytes("long.tga", TgaHeader(10, 1, 1, 24, 0x00) + Repeat(100) + Bgr(5, 5, 5));
  EXPECT_TRUE(Logged("TGA buffer overrun #3: (98)"));
}

// Files that no decoder takes fail with their own message, then "Unable to load image"
// as a warning, and leave no pixels.
TEST_F(ImageTest, RefusedFilesFailWithTheirMessage) {
  std::string half = MakePng(2, PNG_COLOR_TYPE_RGB_ALPHA, {{10, 20, 30, 40, 50, 60, 70, 80}});
  half[6] = 'X';  // the first four bytes match, the rest of the signature does not
  // A sound header for 60000 x 60000 RGBA (14 GB of pixels) and one tiny IDAT chunk.
  const std::string huge = half.substr(0, 6) + "\x1a\n" +
                           Chunk("IHDR", BigEndian32(60000) + BigEndian32(60000) + std::string("\x08\x06\0\0\0", 5)) +
                           Chunk("IDAT", std::string("\x78\x9c\x03\x00\x00\x00\x00\x01", 8)) + Chunk("IEND", "");
  const std::string jpg = MakeJpeg(8, 8, 3, JCS_RGB, std::vector<uint8_t>(8 * 8 * 3, 90), 90), px = Bgr(1, 2, 3);
  struct Case { const char *name; std::string file; const char *message; };
  const Case cases[] = {
      {"fake.png", "GIF89a and so on", "PNG ERROR: Image 'res://fake.png' not proper png."},
      {"half.png", half, "PNG ERROR: Image 'res://half.png' load failed."},
      {"huge.png", huge, "libpng error: Image data cannot fit in the file"},
      {"broken.jpg", jpg.substr(0, 2) + "\xFF\xC0" + std::string("\0\x02", 2) + jpg.substr(2),
       "[POPUP] Load JPG - setjmp failed."},  // a frame header too short
      // TGA: a colour map, types 1, 3, 9 and 11, 16 bits, no pixels, a short header.
      {"map.tga", TgaHeader(2, 1, 1, 24, 0, 0, 1) + px, ""}, {"t1.tga", TgaHeader(1, 1, 1, 24, 0) + px, ""},
      {"t3.tga", TgaHeader(3, 1, 1, 24, 0) + px, ""}, {"t9.tga", TgaHeader(9, 1, 1, 24, 0) + px, ""},
      {"t11.tga", TgaHeader(11, 1, 1, 24, 0) + px, ""}, {"16.tga", TgaHeader(2, 1, 1, 16, 0) + px, ""},
      {"empty.tga", TgaHeader(2, 0, 5, 24, 0), ""}, {"short.tga", std::string(17, '\0'), ""}};
  for (const Case &c : cases) {
    EXPECT_EQ(LoadBytes(c.name, c.file)->pixels, nullptr) << c.name;
    EXPECT_TRUE(Logged(c.message)) << c.name;
    EXPECT_EQ(LoggedLevel(std::string("Unable to load image 'res://") + c.name + "'"), 1) << c.name;
  }
  // Only the dimensions: the huge header is sound; the broken JPEG fails with its popup.
  ZY_Bitmap *dims = NewBitmap();
  EXPECT_TRUE(loader->GetImageDimensions(dims, "res://huge.png"));
  EXPECT_EQ(dims->width, 60000);
  EXPECT_FALSE(loader->GetImageDimensions(NewBitmap(), "res://broken.jpg"));
  EXPECT_TRUE(Logged("[POPUP] ZYI_GetImageDimensionsJPG - setjmp failed."));
}
