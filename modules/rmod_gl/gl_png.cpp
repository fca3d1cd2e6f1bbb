// gl_png.cpp — screenshots as PNG files (libpng's simplified writer).
#include <png.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "gl_renderer.h"

namespace gl {

bool WritePng(const char *path, const uint8_t *pixels, int32_t width, int32_t height,
              char *error, size_t error_size) {
  if (!path || !*path) {
    snprintf(error, error_size, "no file name given");
    return false;
  }
  // As on screen: every pixel opaque.
  std::vector<uint8_t> opaque(pixels, pixels + static_cast<size_t>(width) * height * 4);
  for (size_t i = 3; i < opaque.size(); i += 4) opaque[i] = 255;
  png_image image;
  memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  if (!png_image_write_to_file(&image, path, 0, opaque.data(), width * 4, nullptr)) {
    snprintf(error, error_size, "'%s': %s", path, image.message);
    return false;
  }
  return true;
}

}  // namespace gl
