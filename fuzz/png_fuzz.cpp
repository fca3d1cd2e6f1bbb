// png_fuzz.cpp — libFuzzer target: the image loader's PNG decoder over arbitrary files.
//
// Each input is decoded, checked and round-tripped as lossless_image_fuzz.h describes.
// The log is silenced for speed.
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

#include "base/state.h"
#include "lossless_image_fuzz.h"

// A one-bit PNG of a few kilobytes can honestly hold more pixels than the run's 128 MiB
// allocation limit allows; those are valid, so only they skip the full decode.
static const uint64_t MAX_PIXELS = 24u << 20;
static const uint64_t MAX_ROUND_TRIP = 1u << 20;  // pixels re-encoded after decoding

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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy::log.verbose_level = 8;  // every line and popup is dropped before formatting
  FuzzLosslessCodec(ZYI_PNG_CODEC, "fuzz.png", MAX_PIXELS, MAX_ROUND_TRIP, data, size);
  if (size == 0) return 0;
  std::vector<uint8_t> fixed(data, data + size);
  FixChunkCrcs(fixed.data(), size);
  if (memcmp(fixed.data(), data, size) != 0) FuzzLosslessCodec(ZYI_PNG_CODEC, "fuzz.png", MAX_PIXELS, MAX_ROUND_TRIP, fixed.data(), size);
  return 0;
}
