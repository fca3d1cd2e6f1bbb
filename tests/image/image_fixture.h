// image_fixture.h — the engine core (tests/support StartCore) with the image loader, and
// test files made independently of the engine's own writers: PNGs of any colour type,
// depth and interlace and TGAs byte by byte, JPEGs through libjpeg.
#pragma once

#include <png.h>
#include <stdio.h>
#include <string.h>
#include <zlib.h>

#include <jpeglib.h>

#include <string>
#include <vector>

#include "fs/fs.h"
#include "image/image_loader.h"
#include "image/resize.h"
#include "zytest.h"

using Bytes = std::vector<uint8_t>;

inline std::string BigEndian32(uint32_t v) {
  return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
}
// A PNG chunk with its length and CRC.
inline std::string Chunk(const char *type, const std::string &data) {
  std::string body = std::string(type, 4) + data;
  return BigEndian32((uint32_t)data.size()) + body +
         BigEndian32((uint32_t)crc32(0, (const Bytef *)body.data(), (uInt)body.size()));
}
// A PNG made chunk by chunk: header, the chunks given (PLTE, tRNS, gAMA...), the packed rows
// with filter 0 (in Adam7 passes when asked, for 8-bit samples and up) in one IDAT, end.
inline std::string MakePng(uint32_t width, int colour_type, const std::vector<Bytes> &rows, int depth = 8,
                           const std::string &chunks = "", bool adam7 = false) {
  const uint32_t height = (uint32_t)rows.size();
  const size_t bpp = (size_t)depth / 8 * (colour_type == 2 ? 3 : colour_type == 4 ? 2 : colour_type == 6 ? 4 : 1);
  std::string raw;
  for (auto &row : rows) raw += adam7 ? "" : '\0' + std::string(row.begin(), row.end());
  static const uint32_t X0[7] = {0, 4, 0, 2, 0, 1, 0}, Y0[7] = {0, 0, 4, 0, 2, 0, 1};
  static const uint32_t DX[7] = {8, 8, 4, 4, 2, 2, 1}, DY[7] = {8, 8, 8, 4, 4, 2, 2};
  for (int p = 0; adam7 && p < 7; p++)
    for (uint32_t y = Y0[p]; y < height && X0[p] < width; y += DY[p]) {
      raw += '\0';
      for (uint32_t x = X0[p]; x < width; x += DX[p]) raw.append((const char *)&rows[y][x * bpp], bpp);
    }
  uLongf size = compressBound((uLong)raw.size());
  std::string idat(size, '\0');
  compress((Bytef *)&idat[0], &size, (const Bytef *)raw.data(), (uLong)raw.size());
  const char ihdr[5] = {(char)depth, (char)colour_type, 0, 0, (char)adam7};
  return std::string("\x89PNG\r\n\x1a\n", 8) +
         Chunk("IHDR", BigEndian32(width) + BigEndian32(height) + std::string(ihdr, 5)) + chunks +
         Chunk("IDAT", idat.substr(0, size)) + Chunk("IEND", "");
}

// A JPEG written with libjpeg from packed samples (the colour space follows components).
inline std::string MakeJpeg(uint32_t width, uint32_t height, int components, J_COLOR_SPACE,
                            const std::vector<uint8_t> &samples, int quality,
                            bool progressive = false) {
  return zytest::JpegBytes((int)width, (int)height, components, samples, quality, progressive);
}

// An 18-byte TGA header followed by nothing.
inline std::string TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth,
                             uint8_t descriptor, uint8_t id_length = 0, uint8_t colour_map = 0) {
  std::string h(18, '\0');
  h[0] = (char)id_length, h[1] = (char)colour_map, h[2] = (char)type;
  h[12] = (char)(width & 0xff), h[13] = (char)(width >> 8);
  h[14] = (char)(height & 0xff), h[15] = (char)(height >> 8);
  h[16] = (char)depth, h[17] = (char)descriptor;
  return h;
}

// TGA file pixels are B, G, R (, A); run-length packets start with a count byte.
inline std::string Bgr(uint8_t r, uint8_t g, uint8_t b) { return {(char)b, (char)g, (char)r}; }
inline std::string Bgra(uint8_t r, uint8_t g, uint8_t b, uint8_t a) { return {(char)b, (char)g, (char)r, (char)a}; }
inline std::string Repeat(int count) { return std::string(1, (char)(0x80 | (count - 1))); }
inline std::string Literal(int count) { return std::string(1, (char)(count - 1)); }

// A pixel as the four bytes of the buffer, and a buffer word made of four bytes.
inline Bytes PixelBytes(const ZY_Bitmap &bm, int32_t x, int32_t y) {
  const uint8_t *p = (const uint8_t *)bm.pixels + ((size_t)y * bm.width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}
inline uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {  // little-endian, as the tests run
  return (uint32_t)b0 | (uint32_t)b1 << 8 | (uint32_t)b2 << 16 | (uint32_t)b3 << 24;
}
// A pixel of R, G, B, A bytes as the buffer holds it in the chosen order.
inline Bytes InOrder(const Bytes &p, bool bgra) { return bgra ? Bytes{p[2], p[1], p[0], p[3]} : p; }

class ImageTest : public ZyTest {
 protected:
  ImageLoader *loader = nullptr;
  std::vector<ZY_Bitmap *> bitmaps;  // made by NewBitmap, freed at tear-down

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(zytest::StartCore(world));
    ASSERT_TRUE(ZYI_InitImageLoader());
    ASSERT_NE(loader = ZYI_GetImageLoader(), nullptr);
  }
  void TearDown() override {
    for (ZY_Bitmap *bm : bitmaps) free(bm->pixels), delete bm;
    ZYI_ShutdownImageLoader(), zytest::StopCore();
  }
  // Selects the pixel order the renderer asked for: true for B, G, R, A.
  static void UseBgra(bool bgra) { ZYI_SetImagePixelOrder(bgra); }
  // A zeroed bitmap record named for messages, freed with its pixels at tear-down.
  ZY_Bitmap *NewBitmap(const char *name = "test") {
    bitmaps.push_back(new ZY_Bitmap());
    bitmaps.back()->name = (char *)name;
    return bitmaps.back();
  }
  // A bitmap holding a copy of the given pixel words.
  ZY_Bitmap *BitmapOf(int32_t width, int32_t height, const std::vector<uint32_t> &words, bool has_alpha) {
    ZY_Bitmap *bm = NewBitmap();
    loader->AllocateImagePixels(bm, width, height);
    memcpy(bm->pixels, words.data(), (size_t)width * height * 4);
    if (has_alpha) bm->flags |= ZY_BITMAP_HAS_ALPHA;
    return bm;
  }
  std::string UserRoot() const { return world.data() + "/TestDev/TestGame"; }
  // Writes a file below the game folder, making its folders.
  void Loose(const std::string &rel, const std::string &data) const {
    const std::string path = world.game() + "/" + rel;
    zytest::MakeDirs(path.substr(0, path.rfind('/')));
    zytest::WriteFile(path, data);
  }
  // Writes bytes as res://<rel> and loads them into a fresh bitmap.
  ZY_Bitmap *LoadBytes(const std::string &rel, const std::string &data, bool *ok = nullptr) {
    Loose(rel, data);
    ZY_Bitmap *bm = NewBitmap();
    bool loaded = loader->LoadImage(bm, ("res://" + rel).c_str());
    if (ok) *ok = loaded;
    return bm;
  }
  static int LoggedCount(const std::string &text) { return zytest::LoggedCount(text); }
  static int LoggedLevel(const std::string &text) { return zytest::LoggedLevel(text); }
  static bool Logged(const std::string &text) { return LoggedCount(text) > 0; }
};
