// image_loader_codecs.h — the loader's file formats, one table entry per format.
//
// Each format supplies a decoder over a whole file held in memory and an encoder to an
// open stdio stream. The loader picks a format by the name's suffix (".tga", ".png",
// ".jpg" without regard to case when reading; "png", "jpg", "tga" case-sensitively when
// saving) and never by the file's content. Decoders honour `bgra_pixels` and must not
// read outside [data, data + size).
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "zylem.h"

// What the caller wants from a decoder.
enum ZyiDecodeMode {
  ZYI_DECODE_PIXELS = 0,      // the whole image into a new pixel buffer (LoadImage)
  ZYI_DECODE_DIMENSIONS = 1,  // width, height and flags from the header only
};

// Decodes one file image. `name` is the name used in messages; `bitmap` already holds no
// pixel buffer. True when the decoder succeeded (the loader decides from the bitmap's
// pixels whether a full load worked).
typedef bool (*ZyiImageDecodeFn)(ZY_Bitmap *bitmap, const char *name, const uint8_t *data,
                                 size_t size, ZyiDecodeMode mode, bool bgra_pixels);
// Writes the bitmap's pixels to an open stream; quality is used by JPEG only. True when
// the whole file was written.
typedef bool (*ZyiImageEncodeFn)(FILE *stream, const ZY_Bitmap *bitmap, int32_t quality,
                                 bool bgra_pixels);

struct ZyiImageCodec {
  const char *read_suffix;   // ".png": the last four characters of a name to read
  const char *save_ending;   // "png": how a name to save ends
  ZyiImageDecodeFn Decode;
  ZyiImageEncodeFn Encode;
};

extern const ZyiImageCodec ZYI_TGA_CODEC;
extern const ZyiImageCodec ZYI_PNG_CODEC;
extern const ZyiImageCodec ZYI_JPEG_CODEC;

// Writes the bitmap as an 8-bit RGBA PNG with the fastest settings (deflate level 1, the
// "up" filter on every row): for large pictures the engine writes for itself.
bool ZYI_EncodePngFast(FILE *stream, const ZY_Bitmap *bitmap, bool bgra_pixels);

// Allocates width x height pixels (4 bytes each) for a decoder; null when the size does
// not fit in memory.
uint32_t *ZYI_AllocPixelBuffer(uint32_t width, uint32_t height);
