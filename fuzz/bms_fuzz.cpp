// bms_fuzz.cpp — libFuzzer target: the bitmap sequence reader over arbitrary files.
//
// An input is parsed as a whole .bms file in the pixel order its size picks. A refused
// file must leave nothing allocated and say why; an accepted one must have frames and an
// atlas whose every byte is readable. An accepted file of at most a megapixel is written
// back with the sequence writer (its atlas as PNG, which is lossless) and read again: the
// frame table and the atlas must come back equal. The log is silenced for speed.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "image/bms_format.h"

static volatile unsigned g_sink;  // keeps the reads of every atlas byte
static const uint64_t MAX_ROUND_TRIP = 1u << 20;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy::log.verbose_level = 8;  // every line is dropped before formatting
  const bool bgra = (size & 1) != 0;
  ZyBmsContents c;
  char why[512];
  if (!ZYI_BmsParse("fuzz.bms", data, size, bgra, &c, why, sizeof why)) {
    if (c.frames || c.atlas.pixels || !why[0]) abort();
    return 0;
  }
  if (c.frame_count < 1 || !c.frames || !c.atlas.pixels || c.atlas.width < 1 || c.atlas.height < 1)
    abort();
  const uint64_t pixels = (uint64_t)c.atlas.width * (uint64_t)c.atlas.height;
  unsigned sum = 0;
  for (uint64_t i = 0; i < pixels * 4; i++) sum += ((const uint8_t *)c.atlas.pixels)[i];
  g_sink = sum;

  if (pixels <= MAX_ROUND_TRIP) {
    char *file = NULL;
    size_t file_size = 0;
    FILE *stream = open_memstream(&file, &file_size);
    if (!stream) abort();
    bool written = ZYI_BmsWrite(stream, c.frames, c.frame_count, &c.atlas, bgra);
    fclose(stream);
    ZyBmsContents again;
    if (!written || !ZYI_BmsParse("again.bms", (const uint8_t *)file, file_size, bgra, &again, why,
                                  sizeof why))
      abort();
    if (again.frame_count != c.frame_count ||
        memcmp(again.frames, c.frames, sizeof(ZyBmsFrame) * (size_t)c.frame_count) != 0 ||
        again.atlas.width != c.atlas.width || again.atlas.height != c.atlas.height ||
        memcmp(again.atlas.pixels, c.atlas.pixels, (size_t)pixels * 4) != 0)
      abort();
    ZYI_BmsFree(&again);
    free(file);
  }
  ZYI_BmsFree(&c);
  return 0;
}
