// soft_internal.h — the shared pieces of rmod_soft, the software renderer module.
//
// Everything the renderer draws lives in surfaces: plain arrays of R, G, B, A bytes with
// straight (not premultiplied) alpha. The screen is a pair of surfaces (the frame being
// drawn and the last finished one); textures and render targets are surfaces too, so a
// render target can be drawn from like any texture. The module object (soft_renderer.h)
// turns the engine's calls into device-pixel triangles and lines with decoded colours and
// hands them, with one DrawState, to the rasteriser (soft_raster.cpp) and the line
// drawer (soft_line.cpp). Those use only integer arithmetic per pixel, so the same calls
// give the same bytes on every machine.
//
// Coordinates: device pixels, (0,0) at the top-left corner of the target, x to the
// right, y down. Pixel (i, j) is the square [i, i+1) x [j, j+1) and is sampled at its
// centre (i + 0.5, j + 0.5).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace soft {

constexpr int32_t MAX_SCREEN_SIZE = 16384;   // largest screen or window side accepted
constexpr int32_t MAX_TEXTURE_SIZE = 65536;  // largest texture side (the image loader's limit)

// Blend modes (SetBlendMode); any other value blends like BLEND_ALPHA.
constexpr int32_t BLEND_ALPHA = 0;          // straight-alpha "over"
constexpr int32_t BLEND_ADD = 1;            // adds colour x alpha
constexpr int32_t BLEND_MULTIPLY = 2;       // multiplies by the colour, faded by alpha
constexpr int32_t BLEND_REPLACE = 3;        // writes all four channels unblended
constexpr int32_t BLEND_PREMULTIPLIED = 4;  // source colour already multiplied by alpha

// Render modes (SetRenderMode): texture filtering. Any value other than 0 is bilinear.
constexpr int32_t RENDER_MODE_NEAREST = 0;
constexpr int32_t RENDER_MODE_BILINEAR = 1;

// A texture, render target or screen buffer.
struct Surface {
  int32_t width, height;
  uint8_t *pixels;        // width x height x 4 bytes R, G, B, A, rows top first
  int16_t pack_mode;      // ZY_PACK_...: what bilinear filtering sees beyond the edges
  bool render_target;     // created by UploadBitmap (or SetRenderTarget) for drawing into
};

// A colour with channels 0..255.
struct Colour {
  int32_t r, g, b, a;
};

// A half-open pixel rectangle [x0, x1) x [y0, y1).
struct Rect {
  int32_t x0, y0, x1, y1;
};

// A vertex after the transform: device pixels, decoded colour, texture coordinates
// (0..1 across the texture).
struct RasterVertex {
  double x, y;
  Colour colour;
  double u, v;
};

// Everything a triangle or line needs besides its vertices.
struct DrawState {
  Surface *target;          // where pixels go
  Rect clip;                // pixels that may be written, already inside the target
  int32_t blend_mode;       // BLEND_...
  bool bilinear;            // texture filtering of the render mode
  const Surface *texture;   // null draws the vertex colours alone
  bool fast_paths;          // take the exact shortcuts (off: ZYLEM_SOFT_NO_FASTPATH=1)
  // Rows band_y0 .. band_y1 - 1 are the only ones written (soft_bands.h). Unlike the
  // clip, the band never changes a draw's set-up, only which of its rows are drawn.
  int32_t band_y0, band_y1;
};

// Surfaces (soft_surface.cpp).
// New surface of width x height, every byte 0; null for a size outside 1..MAX_TEXTURE_SIZE
// or when memory runs out.
Surface *SurfaceCreate(int32_t width, int32_t height);
// Frees the surface and its pixels; null is ignored.
void SurfaceFree(Surface *surface);
// Sets every pixel of the rectangle (clipped to the surface) to the colour.
void SurfaceFill(Surface *surface, Rect rect, Colour colour);
// Copies width x height engine pixels (bytes R, G, B, A, or B, G, R, A when bgra is set)
// into the surface's top-left corner, as far as both are large enough.
void SurfaceLoadPixels(Surface *surface, const uint8_t *pixels, int32_t width,
                       int32_t height, bool bgra);

// Drawing (soft_raster.cpp, soft_quad.cpp, soft_line.cpp).
// Fills one triangle (either winding) with the top-left fill rule; degenerate, non-finite
// and fully clipped triangles draw nothing.
void FillTriangle(const DrawState &state, const RasterVertex &a, const RasterVertex &b,
                  const RasterVertex &c);
// Fills the triangles a, b, c and b, c, d (a quad as the engine batches it); the same
// pixels as two FillTriangle calls, drawn row by row from the texture when the quad is an
// axis-aligned rectangle whose texels map one to one onto pixels (soft_quad.cpp).
void FillQuad(const DrawState &state, const RasterVertex &a, const RasterVertex &b,
              const RasterVertex &c, const RasterVertex &d);
// Draws the line from a to b, untextured, colour interpolated, the end pixel excluded.
void DrawLine(const DrawState &state, const RasterVertex &a, const RasterVertex &b);

// Output (soft_png.cpp, soft_present.cpp).
// Writes the surface as an 8-bit RGBA PNG file; opaque writes every alpha as 255. On
// failure returns false with a reason in error.
bool WritePng(const char *path, const Surface *surface, bool opaque, char *error,
              size_t error_size);
// Shows the surface in the SDL window, scaled to the window's size. False (with a reason)
// when the window cannot take it.
bool Present(void *sdl_window, const Surface *surface, char *error, size_t error_size);

}  // namespace soft
