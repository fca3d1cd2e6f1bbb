// soft_surface.cpp — surfaces of rmod_soft: creation, filling and taking in engine
// pixels. A surface always holds R, G, B, A bytes; the engine's pixel order (R, G, B, A
// or B, G, R, A, as the module reported it) is converted here, once, at upload.
#include <stdlib.h>
#include <string.h>

#include "soft_internal.h"

namespace soft {

Surface *SurfaceCreate(int32_t width, int32_t height) {
  if (width < 1 || height < 1 || width > MAX_TEXTURE_SIZE || height > MAX_TEXTURE_SIZE)
    return nullptr;
  // 65536 x 65536 x 4 does not fit 32 bits: refuse what a 32-bit size_t cannot hold.
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (pixels / static_cast<size_t>(width) != static_cast<size_t>(height) ||
      pixels > SIZE_MAX / 4)
    return nullptr;
  const size_t bytes = pixels * 4;
  Surface *s = static_cast<Surface *>(calloc(1, sizeof(Surface)));
  if (!s) return nullptr;
  s->pixels = static_cast<uint8_t *>(calloc(bytes, 1));
  if (!s->pixels) {
    free(s);
    return nullptr;
  }
  s->width = width;
  s->height = height;
  return s;
}

void SurfaceFree(Surface *surface) {
  if (!surface) return;
  free(surface->pixels);
  free(surface);
}

void SurfaceFill(Surface *surface, Rect rect, Colour colour) {
  if (!surface) return;
  if (rect.x0 < 0) rect.x0 = 0;
  if (rect.y0 < 0) rect.y0 = 0;
  if (rect.x1 > surface->width) rect.x1 = surface->width;
  if (rect.y1 > surface->height) rect.y1 = surface->height;
  if (rect.x0 >= rect.x1 || rect.y0 >= rect.y1) return;
  const uint8_t px[4] = {static_cast<uint8_t>(colour.r), static_cast<uint8_t>(colour.g),
                         static_cast<uint8_t>(colour.b), static_cast<uint8_t>(colour.a)};
  // The first row pixel by pixel, the others copied from it.
  const size_t stride = static_cast<size_t>(surface->width) * 4;
  const size_t bytes = static_cast<size_t>(rect.x1 - rect.x0) * 4;
  uint8_t *first = surface->pixels + static_cast<size_t>(rect.y0) * stride +
                   static_cast<size_t>(rect.x0) * 4;
  for (size_t at = 0; at < bytes; at += 4) memcpy(first + at, px, 4);
  for (int32_t y = rect.y0 + 1; y < rect.y1; y++)
    memcpy(first + static_cast<size_t>(y - rect.y0) * stride, first, bytes);
}

void SurfaceLoadPixels(Surface *surface, const uint8_t *pixels, int32_t width,
                       int32_t height, bool bgra) {
  if (!surface || !pixels || width < 1 || height < 1) return;
  const int32_t w = width < surface->width ? width : surface->width;
  const int32_t h = height < surface->height ? height : surface->height;
  for (int32_t y = 0; y < h; y++) {
    const uint8_t *src = pixels + static_cast<size_t>(y) * width * 4;
    uint8_t *dst = surface->pixels + static_cast<size_t>(y) * surface->width * 4;
    if (!bgra) {
      memcpy(dst, src, static_cast<size_t>(w) * 4);
      continue;
    }
    for (int32_t x = 0; x < w; x++, src += 4, dst += 4) {
      dst[0] = src[2];
      dst[1] = src[1];
      dst[2] = src[0];
      dst[3] = src[3];
    }
  }
}

}  // namespace soft
