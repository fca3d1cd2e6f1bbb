// tga_fuzz.cpp — libFuzzer target: the image loader's TGA decoder over arbitrary files.
//
// Each input is decoded as a file image, the way LoadImage hands a file read through the
// file layer to the decoder: first its dimensions, then (when the picture is small
// enough to be worth it) all of its pixels, in the pixel order picked by the input's
// size. A decoded picture is checked, written back with the TGA encoder into memory and
// decoded again: the 32-bit files it writes are lossless, so both buffers must be equal.
// The sanitizers catch any read outside the input or the pixel buffer. The log is
// silenced for speed.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "core/state.h"
#include "image/image_loader_codecs.h"

static const uint64_t MAX_PIXELS = 1u << 18;  // bigger pictures only get their header read
static volatile unsigned g_sink;              // keeps the reads of every pixel byte

// Reads every byte of a decoded buffer (so ASan checks its full size) and checks the
// record a decoder left.
static void CheckDecoded(const ZY_Bitmap &bm, bool ok) {
  if (ok != (bm.pixels != NULL)) abort();
  if (!bm.pixels) return;
  if (bm.width <= 0 || bm.height <= 0) abort();
  const uint8_t *p = (const uint8_t *)bm.pixels;
  size_t bytes = (size_t)bm.width * bm.height * 4;
  unsigned sum = 0;
  for (size_t i = 0; i < bytes; i++) sum += p[i];
  g_sink = sum;
  if (!(bm.flags & ZY_BITMAP_RELOADABLE)) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy.log.verbose_level = 8;  // every line and popup is dropped before formatting
  const ZyiImageCodec &codec = ZYI_TGA_CODEC;
  bool bgra = (size & 1) != 0;

  ZY_Bitmap dims = {};
  if (!codec.Decode(&dims, "fuzz.tga", data, size, ZYI_DECODE_DIMENSIONS, bgra)) return 0;
  if (dims.pixels) abort();
  if ((uint64_t)(uint32_t)dims.width * (uint32_t)dims.height > MAX_PIXELS) return 0;

  ZY_Bitmap bm = {};
  bool ok = codec.Decode(&bm, "fuzz.tga", data, size, ZYI_DECODE_PIXELS, bgra);
  CheckDecoded(bm, ok);
  if (ok && (bm.width != dims.width || bm.height != dims.height)) abort();

  if (ok) {
    char *file = NULL;
    size_t file_size = 0;
    FILE *stream = open_memstream(&file, &file_size);
    bool written = stream && codec.Encode(stream, &bm, 0, bgra);
    if (stream) fclose(stream);
    if (!written) abort();
    ZY_Bitmap again = {};
    if (!codec.Decode(&again, "again.tga", (const uint8_t *)file, file_size, ZYI_DECODE_PIXELS, bgra))
      abort();
    if (again.width != bm.width || again.height != bm.height ||
        memcmp(again.pixels, bm.pixels, (size_t)bm.width * bm.height * 4) != 0)
      abort();
    free(again.pixels);
    free(file);
  }
  free(bm.pixels);
  return 0;
}
