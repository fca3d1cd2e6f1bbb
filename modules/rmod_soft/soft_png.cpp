// soft_png.cpp — the screenshot writer of rmod_soft: a surface as an 8-bit RGBA PNG.
//
// libpng reports errors by jumping back to a recovery point; WritePng sets one and owns
// no C++ objects, so the jump skips no destructors. Settings are fixed (no filters chosen
// per row by heuristics, fixed compression level, no time chunk), so the same pixels give
// the same file with the same libpng and zlib.
#include <errno.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "soft_internal.h"

namespace soft {
namespace {

struct ErrorSink {
  char *text;
  size_t size;
};

void OnPngError(png_structp png, png_const_charp message) {
  ErrorSink *sink = static_cast<ErrorSink *>(png_get_error_ptr(png));
  if (sink && sink->text && sink->size) snprintf(sink->text, sink->size, "libpng: %s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

}  // namespace

bool WritePng(const char *path, const Surface *surface, bool opaque, char *error,
              size_t error_size) {
  if (error && error_size) error[0] = 0;
  if (!path || !*path) {
    snprintf(error, error_size, "no file name given");
    return false;
  }
  if (!surface || !surface->pixels) {
    snprintf(error, error_size, "nothing to write");
    return false;
  }
  uint8_t *row = static_cast<uint8_t *>(malloc(static_cast<size_t>(surface->width) * 4));
  if (!row) {
    snprintf(error, error_size, "out of memory");
    return false;
  }
  FILE *file = fopen(path, "wb");
  if (!file) {
    snprintf(error, error_size, "cannot open '%s' for writing: %s", path, strerror(errno));
    free(row);
    return false;
  }
  ErrorSink sink = {error, error_size};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    snprintf(error, error_size, "libpng could not start");
    png_destroy_write_struct(png ? &png : nullptr, nullptr);
    fclose(file);
    remove(path);
    free(row);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {  // every libpng error comes back here
    png_destroy_write_struct(&png, &info);
    fclose(file);
    remove(path);
    free(row);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface->width),
               static_cast<png_uint_32>(surface->height), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(surface->width) * 4;
  for (int32_t y = 0; y < surface->height; y++) {
    memcpy(row, surface->pixels + y * stride, stride);
    if (opaque)
      for (size_t i = 3; i < stride; i += 4) row[i] = 255;
    png_write_row(png, row);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  free(row);
  if (fclose(file) != 0) {
    snprintf(error, error_size, "cannot finish '%s': %s", path, strerror(errno));
    remove(path);
    return false;
  }
  return true;
}

}  // namespace soft
