// lossless_image_fuzz.h — the body shared by the fuzz targets of the lossless image
// codecs (PNG, TGA).
//
// An input is decoded as a file image, the way LoadImage hands a file read through the
// file layer to the decoder: first its dimensions, then all of its pixels, whatever size
// the header claims (the decoder must refuse what the file cannot hold; the fuzz run's
// allocation limit catches one that does not) up to max_pixels, in the pixel order
// picked by the input's size. max_pixels is only for formats whose small files can
// honestly hold more than the allocation limit allows (PNG's one-bit pixels). A decoded picture is checked byte by byte (so the sanitizers see its whole size);
// one of at most max_round_trip pixels is written back with the codec's encoder into
// memory and decoded again: the codec is lossless, so both buffers must be equal. Any
// broken promise aborts, which libFuzzer reports.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "image/image_loader_codecs.h"

static volatile unsigned g_sink;  // keeps the reads of every pixel byte

// Reads every byte of a decoded buffer and checks the record a decoder left.
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

// Decodes one input with the codec and checks the lossless round trip.
static void FuzzLosslessCodec(const ZyiImageCodec &codec, const char *name, uint64_t max_pixels,
                              uint64_t max_round_trip, const uint8_t *data, size_t size) {
  bool bgra = (size & 1) != 0;
  ZY_Bitmap dims = {};
  if (!codec.Decode(&dims, name, data, size, ZYI_DECODE_DIMENSIONS, bgra)) return;
  if (dims.pixels) abort();
  if ((uint64_t)(uint32_t)dims.width * (uint32_t)dims.height > max_pixels) return;

  ZY_Bitmap bm = {};
  bool ok = codec.Decode(&bm, name, data, size, ZYI_DECODE_PIXELS, bgra);
  CheckDecoded(bm, ok);
  if (!ok) return;
  if (bm.width != dims.width || bm.height != dims.height) abort();
  if ((uint64_t)bm.width * (uint64_t)bm.height > max_round_trip) {
    free(bm.pixels);
    return;
  }

  char *file = NULL;
  size_t file_size = 0;
  FILE *stream = open_memstream(&file, &file_size);
  bool written = stream && codec.Encode(stream, &bm, 0, bgra);
  if (stream) fclose(stream);
  if (!written) abort();
  ZY_Bitmap again = {};
  if (!codec.Decode(&again, name, (const uint8_t *)file, file_size, ZYI_DECODE_PIXELS, bgra))
    abort();
  if (again.width != bm.width || again.height != bm.height ||
      memcmp(again.pixels, bm.pixels, (size_t)bm.width * bm.height * 4) != 0)
    abort();
  free(again.pixels);
  free(file);
  free(bm.pixels);
}
