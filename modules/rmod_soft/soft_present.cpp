// soft_present.cpp — showing a finished frame in the host's SDL window.
//
// The frame is copied into the window's own surface (SDL's software framebuffer, no GPU
// needed) and stretched with nearest-pixel scaling when the window's size differs from
// the frame's. Only called on the main thread, at the end of a frame.
#include <SDL.h>
#include <stdio.h>

#include "soft_internal.h"

namespace soft {

bool Present(void *sdl_window, const Surface *surface, char *error, size_t error_size) {
  SDL_Window *window = static_cast<SDL_Window *>(sdl_window);
  if (!window || !surface) return false;
  SDL_Surface *dst = SDL_GetWindowSurface(window);
  if (!dst) {
    snprintf(error, error_size, "no window surface: %s", SDL_GetError());
    return false;
  }
  SDL_Surface *src = SDL_CreateRGBSurfaceWithFormatFrom(
      surface->pixels, surface->width, surface->height, 32, surface->width * 4,
      SDL_PIXELFORMAT_RGBA32);
  if (!src) {
    snprintf(error, error_size, "cannot wrap the frame: %s", SDL_GetError());
    return false;
  }
  SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);  // copy, the window has no alpha
  int result = (dst->w == src->w && dst->h == src->h)
                   ? SDL_BlitSurface(src, nullptr, dst, nullptr)
                   : SDL_BlitScaled(src, nullptr, dst, nullptr);
  SDL_FreeSurface(src);
  if (result == 0) result = SDL_UpdateWindowSurface(window);
  if (result != 0) {
    snprintf(error, error_size, "cannot show the frame: %s", SDL_GetError());
    return false;
  }
  return true;
}

}  // namespace soft
