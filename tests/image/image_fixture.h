// image_fixture.h — the engine brought up far enough to load and save images: locks,
// a file system over the test's game folder, the log (history in memory) with popups on
// (developer mode, answered OK headlessly and logged as "[POPUP] ..."), and the loader.
//
// Helpers make test files independently of the engine's own writers: PNGs of any colour
// type, depth and interlace through libpng, JPEGs through libjpeg, TGAs byte by byte.
#pragma once

#include <setjmp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <png.h>

#include <jpeglib.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "image/resize.h"
#include "zytest.h"
#include "lifecycle/log_file.h"
#include "config/config.h"
#include "engine/modules.h"
#include "lifecycle/state.h"

// ---------------------------------------------------------------------------------
// File makers
// ---------------------------------------------------------------------------------

// A PNG to write with libpng: raw rows in the file's own sample layout.
struct PngDesc {
  uint32_t width = 1, height = 1;
  int bit_depth = 8;
  int color_type = PNG_COLOR_TYPE_RGB_ALPHA;
  int interlace = PNG_INTERLACE_NONE;
  std::vector<std::vector<uint8_t>> rows;  // packed as the file stores them
  std::vector<png_color> palette;          // colour type 3
  std::vector<uint8_t> trns_alpha;         // palette alpha entries (colour type 3)
  bool has_trns_colour = false;            // tRNS for grey / RGB
  png_color_16 trns_colour{};
  double gamma = 0;                        // gAMA chunk when > 0
};

// A PNG of the given width, colour type and packed rows (one row, one line of pixels).
inline PngDesc Png(uint32_t width, int color_type, std::vector<std::vector<uint8_t>> rows,
                   int bit_depth = 8) {
  PngDesc s;
  s.width = width;
  s.height = (uint32_t)rows.size();
  s.color_type = color_type;
  s.bit_depth = bit_depth;
  s.rows = std::move(rows);
  return s;
}

namespace pngmake {
// The libpng part, with no C++ objects in the frame (libpng leaves by longjmp).
inline bool Write(FILE *f, const PngDesc *s, png_bytep *rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, s->width, s->height, s->bit_depth, s->color_type, s->interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!s->palette.empty())
    png_set_PLTE(png, info, s->palette.data(), (int)s->palette.size());
  if (!s->trns_alpha.empty())
    png_set_tRNS(png, info, s->trns_alpha.data(), (int)s->trns_alpha.size(), NULL);
  if (s->has_trns_colour) png_set_tRNS(png, info, NULL, 0, (png_color_16p)&s->trns_colour);
  if (s->gamma > 0) png_set_gAMA(png, info, s->gamma);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, NULL);
  png_destroy_write_struct(&png, &info);
  return true;
}
}  // namespace pngmake

inline std::string MakePng(const PngDesc &desc) {
  std::vector<png_bytep> rows;
  for (auto &r : desc.rows) rows.push_back((png_bytep)r.data());
  FILE *f = tmpfile();
  EXPECT_NE(f, nullptr);
  EXPECT_TRUE(pngmake::Write(f, &desc, rows.data()));
  std::string bytes;
  rewind(f);
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) bytes.append(buf, n);
  fclose(f);
  return bytes;
}

// A JPEG written with libjpeg from packed samples of `components` per pixel.
inline std::string MakeJpeg(uint32_t width, uint32_t height, int components, J_COLOR_SPACE space,
                            const std::vector<uint8_t> &samples, int quality,
                            bool progressive = false) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *out = NULL;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < height) {
    JSAMPROW row = (JSAMPROW)&samples[(size_t)cinfo.next_scanline * width * components];
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::string bytes((const char *)out, out_size);
  free(out);
  return bytes;
}

// An 18-byte TGA header followed by nothing.
inline std::string TgaHeader(uint8_t type, uint16_t width, uint16_t height, uint8_t depth,
                             uint8_t descriptor, uint8_t id_length = 0, uint8_t colour_map = 0) {
  std::string h(18, '\0');
  h[0] = (char)id_length;
  h[1] = (char)colour_map;
  h[2] = (char)type;
  h[12] = (char)(width & 0xff);
  h[13] = (char)(width >> 8);
  h[14] = (char)(height & 0xff);
  h[15] = (char)(height >> 8);
  h[16] = (char)depth;
  h[17] = (char)descriptor;
  return h;
}

// Pixel helpers: a pixel as the four bytes of the buffer, and building buffer words.
inline std::vector<uint8_t> PixelBytes(const ZY_Bitmap &bm, int32_t x, int32_t y) {
  const uint8_t *p = (const uint8_t *)bm.pixels + ((size_t)y * bm.width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

inline uint32_t Word(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  uint32_t w;
  uint8_t bytes[4] = {b0, b1, b2, b3};
  memcpy(&w, bytes, 4);
  return w;
}

using Bytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------
// Fixture
// ---------------------------------------------------------------------------------

class ImageTest : public ZyTest {
 protected:
  ZY_ProgramInterface prog{};
  ImageLoader *loader = nullptr;
  std::vector<ZY_Bitmap *> bitmaps;  // made by NewBitmap, freed at tear-down

  void SetUp() override {
    setenv("ZYLEM_POPUP_ANSWER", "ok", 1);
    ZYI_ResetState();
    ASSERT_TRUE(ZYI_ThreadsInit());
    zy::core.main_thread_id = ZYH_ThreadId();
    ZYI_CreateLocks();
    strcpy(prog.title, "Test Game");
    prog.parms.developer_mode = 1;
    zy::core.prog = &prog;
    zy::core.core_initialized = 1;  // popups are logged as "[POPUP] ..."
    zy::config.console = 1;         // the log keeps its history in memory, no file
    zy::config.logging = 0;
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
    ZYI_LogOpen();
    ASSERT_TRUE(ZYI_InitImageLoader());
    loader = ZYI_GetImageLoader();
    ASSERT_NE(loader, nullptr);
  }

  void TearDown() override {
    for (ZY_Bitmap *bm : bitmaps) {
      free(bm->pixels);
      delete bm;
    }
    ZYI_ShutdownImageLoader();
    ZYI_LogClose();
    ZYFS_Shutdown();
    ZYI_DeleteLocks();
  }

  // Selects the pixel order the renderer asked for: true for B, G, R, A.
  static void UseBgra(bool bgra) { ZYI_SetImagePixelOrder(bgra); }

  // A zeroed bitmap record named for messages, freed with its pixels at tear-down.
  ZY_Bitmap *NewBitmap(const char *name = "test") {
    ZY_Bitmap *bm = new ZY_Bitmap();
    bm->name = (char *)name;
    bitmaps.push_back(bm);
    return bm;
  }

  // A bitmap holding a copy of the given pixel words.
  ZY_Bitmap *BitmapOf(int32_t width, int32_t height, const std::vector<uint32_t> &words,
                      bool has_alpha) {
    ZY_Bitmap *bm = NewBitmap();
    loader->AllocateImagePixels(bm, width, height);
    memcpy(bm->pixels, words.data(), (size_t)width * height * 4);
    if (has_alpha) bm->flags |= ZY_BITMAP_HAS_ALPHA;
    return bm;
  }

  std::string Game(const std::string &rel) const { return world.game() + "/" + rel; }
  std::string UserRoot() const { return world.data() + "/TestDev/TestGame"; }

  // Writes a file below the game folder, making its folders.
  void Loose(const std::string &rel, const std::string &data) const {
    std::string path = Game(rel);
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

  // How many lines of the log history contain text.
  static int LoggedCount(const std::string &text) {
    int n = 0;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
      n += strstr(ZYI_LogHistoryRecord(i)->text, text.c_str()) != nullptr;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return n;
  }
  static bool Logged(const std::string &text) { return LoggedCount(text) > 0; }

  // The level of the last log line containing text, or -1.
  static int LoggedLevel(const std::string &text) {
    int level = -1;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
      if (strstr(ZYI_LogHistoryRecord(i)->text, text.c_str()))
        level = ZYI_LogHistoryRecord(i)->level;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return level;
  }
};
