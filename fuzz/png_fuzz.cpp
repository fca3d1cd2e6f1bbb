// png_fuzz.cpp — libFuzzer target: the image loader's PNG decoder over arbitrary files.
//
// Each input is decoded as a file image, the way LoadImage hands a file read through the
// file layer to the decoder: first its dimensions, then (when the picture is small
// enough to be worth it) all of its pixels, in the pixel order picked by the input's
// size. A decoded picture is checked, written back with the PNG encoder into memory and
// decoded again: PNG is lossless, so both buffers must be equal. The sanitizers catch
// any read outside the input or the pixel buffer. The log is silenced for speed.
//
// Most mutations would only break a chunk's CRC, which libpng rejects at once; so the
// CRC of every complete chunk is recomputed first and the mutation reaches the chunk's
// contents. (The untouched input is decoded too, so CRC errors stay covered.)
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <zlib.h>

#include <vector>

#include "core/state.h"
#include "image/image_loader_codecs.h"

static const uint64_t MAX_PIXELS = 1u << 22;  // bigger pictures only get their header read
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

// Rewrites the CRC of every complete chunk after the 8-byte signature.
static void FixChunkCrcs(uint8_t *data, size_t size) {
  size_t at = 8;
  while (at + 12 <= size) {
    uint32_t length = (uint32_t)data[at] << 24 | (uint32_t)data[at + 1] << 16 |
                      (uint32_t)data[at + 2] << 8 | data[at + 3];
    if (length > size - at - 12) break;
    uLong crc = crc32(0, data + at + 4, (uInt)(length + 4));
    uint8_t *out = data + at + 8 + length;
    out[0] = (uint8_t)(crc >> 24);
    out[1] = (uint8_t)(crc >> 16);
    out[2] = (uint8_t)(crc >> 8);
    out[3] = (uint8_t)crc;
    at += 12 + (size_t)length;
  }
}

static void DecodeOne(const uint8_t *data, size_t size) {
  const ZyiImageCodec &codec = ZYI_PNG_CODEC;
  bool bgra = (size & 1) != 0;

  ZY_Bitmap dims = {};
  if (!codec.Decode(&dims, "fuzz.png", data, size, ZYI_DECODE_DIMENSIONS, bgra)) return;
  if (dims.pixels) abort();
  if ((uint64_t)(uint32_t)dims.width * (uint32_t)dims.height > MAX_PIXELS) return;

  ZY_Bitmap bm = {};
  bool ok = codec.Decode(&bm, "fuzz.png", data, size, ZYI_DECODE_PIXELS, bgra);
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
    if (!codec.Decode(&again, "again.png", (const uint8_t *)file, file_size, ZYI_DECODE_PIXELS, bgra))
      abort();
    if (again.width != bm.width || again.height != bm.height ||
        memcmp(again.pixels, bm.pixels, (size_t)bm.width * bm.height * 4) != 0)
      abort();
    free(again.pixels);
    free(file);
  }
  free(bm.pixels);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy.log.verbose_level = 8;  // every line and popup is dropped before formatting
  DecodeOne(data, size);
  if (size == 0) return 0;
  std::vector<uint8_t> fixed(data, data + size);
  FixChunkCrcs(fixed.data(), size);
  if (memcmp(fixed.data(), data, size) != 0) DecodeOne(fixed.data(), size);
  return 0;
}
