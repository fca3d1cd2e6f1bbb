// soft_raster.h — triangle set-up shared by the rasteriser (soft_raster.cpp) and the
// rectangle fast path (soft_quad.cpp).
//
// A triangle becomes a box of candidate pixels, three integer edge functions that decide
// coverage with the top-left fill rule, and one plane per attribute (colour channels,
// texture coordinates in texel units) with 32 fractional bits. Both files draw from the
// same set-up, so a pixel gets the same coverage and the same attribute values whichever
// of them draws it: the fast paths only skip work whose result they can predict exactly.
#pragma once

#include <stddef.h>

#include "soft_internal.h"

namespace soft {

constexpr int32_t SUBPIXEL = 256;                 // subpixel steps per pixel
constexpr int64_t FIXED_ONE_INT = int64_t{1} << 32;  // 1.0 in attribute fixed point

// Interpolated attributes: colour channels 0..255 and texture coordinates in texels,
// all with 32 fractional bits.
struct Attrs {
  int64_t r, g, b, a, u, v;
};

// A triangle ready to draw.
struct TriangleSetup {
  int64_t px0, px1, py0, py1;  // candidate pixels, already cut by the clip rectangle
  int64_t e[3];                // edge functions at the centre of pixel (px0, py0)
  int64_t sx[3], sy[3];        // their steps per pixel in x and y
  int64_t bias[3];             // 0 for top-left edges, -1 for the others
  Attrs origin;                // attributes at the centre of pixel (px0, py0)
  Attrs step_x, step_y;        // and their steps per pixel
  bool gouraud;                // the vertex colours differ: colours are interpolated
  Colour flat;                 // the colour of every pixel when not gouraud
};

// Snaps a device coordinate to subpixels (clamped to +-2^20 pixels); false when it is
// not finite.
bool ToSubpixel(double v, int64_t *out);

// Floor and ceiling of a / b for b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}
inline int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// Sets up the triangle a, b, c (either winding) for drawing with the state; false when
// it draws nothing (no target, degenerate, not finite, or outside the clip).
bool SetupTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                   const RasterVertex &c, TriangleSetup *t);

// The covered pixels of row py0 + row: columns px0 + *first .. px0 + *last. False when
// the row has none.
bool TriangleRowSpan(const TriangleSetup &t, int64_t row, int64_t *first, int64_t *last);

// How the pixels of a triangle map onto texels when they do so one to one: pixel (x, y)
// samples texel (cx + dir_x x, cy + dir_y y), the directions +1 or -1 (mirrored).
struct TexelMap {
  int64_t cx, cy;
  int32_t dir_x, dir_y;
};

// True when every pixel of the textured triangle samples exactly one texel with the
// state's filtering, and fills *map: texture coordinates step one texel per pixel along
// x and y (either direction) and bilinear samples fall on texel centres. Such a triangle
// can be drawn from texel rows directly, where TexelsInside holds.
bool AlignedTexels(const DrawState &st, const TriangleSetup &t, TexelMap *map);

// True when the pixels x0..x1 x y0..y1 all map to texels inside the texture (no
// clamping, no edge rule).
bool TexelsInside(const Surface *texture, const TexelMap &map, int64_t x0, int64_t x1,
                  int64_t y0, int64_t y1);

// A quad FillQuad draws as a rectangle, planned once (a queued quad is drawn in every
// band it reaches): pixels x0..x1 x y0..y1, already cut by the clip but not by a band,
// one colour, and pixel (x0, y0)'s texel (tx, ty) with the steps of TexelMap.
struct RectPlan {
  int32_t x0, x1, y0, y1;
  int32_t tx, ty, dir_x, dir_y;
  Colour colour;
};
enum RectKind : uint8_t {
  RECT_NONE,   // not such a rectangle: draw it as two triangles
  RECT_EMPTY,  // such a rectangle, but nothing of it is inside the clip
  RECT_DRAW,   // draw the plan with DrawRectangle
};
// What the triangles' set-up of a textured rectangle depends on, apart from where it
// lies in whole pixels (no padding: compared as bytes).
struct RectShape {
  double u[4], v[4];       // texture coordinates of the corners
  int64_t w, h, bilinear;  // texture size and filtering
  int64_t dx, dy;          // width and height in subpixels, signed (mirrored corners)
  int64_t fx, fy;          // the first corner's subpixel offset inside its pixel
};
// The set-up of the last unclipped textured rectangle planned with this cache: its shape
// and the texel of its box's first pixel.
struct RectCache {
  bool valid = false;
  RectShape shape;
  int64_t tx, ty;
  int32_t dir_x, dir_y;
};
// Plans the quad a, b, c, d (triangles a, b, c and b, c, d). A cache (one thread's own)
// saves setting up the same textured shape again.
RectKind PlanRectangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                       const RasterVertex &c, const RasterVertex &d, RectPlan *plan,
                       RectCache *cache = nullptr);
// Draws the rows of the plan inside the state's band.
void DrawRectangle(const DrawState &st, const RectPlan &plan);

// Blends `count` texels from src (R, G, B, A bytes, one after another) into the pixels
// from dst on, each texel first multiplied by the colour: the same bytes as the
// per-pixel Modulate and BlendPixel of soft_pixel.h, only faster (soft_blit.cpp).
void BlendRow(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour,
              int32_t blend_mode);

// BlendRow for the texels of the texture row from src on, taken to the right (dir 1) or
// to the left (dir -1, a mirrored sprite).
void BlendTexelRow(uint8_t *dst, const uint8_t *src, int32_t dir, int32_t count,
                   const Colour &colour, int32_t blend_mode);

// BlendTexelRow for `rows` rows, dst and src moving on by their strides (in bytes) after
// each; the way to blend is chosen once for all of them.
void BlendTexelRect(uint8_t *dst, size_t dst_stride, const uint8_t *src, ptrdiff_t src_stride,
                    int32_t dir, int32_t count, int32_t rows, const Colour &colour,
                    int32_t blend_mode);

// Blends the pixels x .. x + count - 1 of the target's row y with their texels under
// the map (all inside the texture), as BlendRow does.
void BlendAlignedSpan(const DrawState &st, const TexelMap &map, int64_t x, int64_t y,
                      int64_t count, const Colour &colour);

}  // namespace soft
