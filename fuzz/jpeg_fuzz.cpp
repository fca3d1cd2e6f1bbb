// jpeg_fuzz.cpp — libFuzzer target: the image loader's JPEG decoder over arbitrary files.
//
// Each input is decoded as a file image, the way LoadImage hands a file read through the
// file layer to the decoder: first its dimensions, then all of its pixels, whatever size
// the header claims (the decoder must refuse what the file cannot hold; the fuzz run's
// allocation limit catches one that does not), in the pixel order picked by the input's
// size. A decoded picture must be opaque and fully readable; a small one is written back
// with the JPEG encoder into memory and must decode again at the same size. The
// sanitizers catch any read outside the input or the pixel buffer, and any jump out of
// libjpeg that skips a release. The log is silenced for speed.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "image/image_loader_codecs.h"

static const uint64_t MAX_ROUND_TRIP = 1u << 16;  // pixels re-encoded after decoding

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy::log.verbose_level = 8;  // every line and popup is dropped before formatting
  const ZyiImageCodec &codec = ZYI_JPEG_CODEC;
  bool bgra = (size & 1) != 0;

  ZY_Bitmap dims = {};
  if (!codec.Decode(&dims, "fuzz.jpg", data, size, ZYI_DECODE_DIMENSIONS, bgra)) return 0;
  if (dims.pixels) abort();
  uint64_t pixels = (uint64_t)(uint32_t)dims.width * (uint32_t)dims.height;

  ZY_Bitmap bm = {};
  bool ok = codec.Decode(&bm, "fuzz.jpg", data, size, ZYI_DECODE_PIXELS, bgra);
  if (ok != (bm.pixels != NULL)) abort();
  if (!ok) return 0;
  if (bm.width <= 0 || bm.height <= 0 || (bm.flags & ZY_BITMAP_HAS_ALPHA)) abort();
  // Output sizes can differ from the header's only through scaling, which is not used.
  if (bm.width != dims.width || bm.height != dims.height) abort();
  const uint8_t *p = (const uint8_t *)bm.pixels;
  for (size_t i = 0; i < (size_t)bm.width * bm.height; i++)
    if (p[i * 4 + 3] != 255) abort();

  if (pixels <= MAX_ROUND_TRIP) {
    char *file = NULL;
    size_t file_size = 0;
    FILE *stream = open_memstream(&file, &file_size);
    bool written = stream && codec.Encode(stream, &bm, 75, bgra);
    if (stream) fclose(stream);
    if (!written) abort();
    ZY_Bitmap again = {};
    if (!codec.Decode(&again, "again.jpg", (const uint8_t *)file, file_size, ZYI_DECODE_PIXELS, bgra))
      abort();
    if (again.width != bm.width || again.height != bm.height) abort();
    free(again.pixels);
    free(file);
  }
  free(bm.pixels);
  return 0;
}
