// tga_fuzz.cpp — libFuzzer target: the image loader's TGA decoder over arbitrary files.
//
// Each input is decoded, checked and round-tripped as lossless_image_fuzz.h describes
// (the 32-bit files the encoder writes are lossless). The log is silenced for speed.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "lossless_image_fuzz.h"

static const uint64_t MAX_ROUND_TRIP = 1u << 20;  // pixels re-encoded after decoding

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy::log.verbose_level = 8;  // every line and popup is dropped before formatting
  FuzzLosslessCodec(ZYI_TGA_CODEC, "fuzz.tga", UINT64_MAX, MAX_ROUND_TRIP, data, size);
  return 0;
}
