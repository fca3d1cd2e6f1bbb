// soft_quad.cpp — quads as the engine batches them (triangles a, b, c and b, c, d), with
// a shortcut for the common sprite: an axis-aligned rectangle after the transform, one
// colour, its texels mapped one to one onto pixels, mirrored or not (or no texture).
//
// Such a quad covers exactly the pixels whose centres lie in the rectangle, left and top
// edges included, right and bottom edges excluded: the top-left rule gives the shared
// diagonal's pixels to one of the two triangles and the rectangle's own edges by their
// direction alone. So the rectangle can be drawn row by row with BlendRow and no edge
// functions. Which texel each pixel gets is read from the two triangles' own set-up
// (SetupTriangle and AlignedTexels, the rasteriser's code), and the shortcut is taken
// only when both triangles agree, so it gives the bytes the two triangles would give.
// PlanRectangle makes that decision once (the band queue plans a quad when it is queued)
// and DrawRectangle draws the plan's rows inside a band.
// Anything else, and everything when the fast paths are off, is drawn as two triangles.
#include <stddef.h>
#include <string.h>

#include "soft_pixel.h"
#include "soft_raster.h"

namespace soft {
namespace {

bool SameColour(const Colour &a, const Colour &b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

constexpr int32_t FLAT_CHUNK = 64;  // pixels of one colour handed to BlendRow at a time

}  // namespace

RectKind PlanRectangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                       const RasterVertex &c, const RasterVertex &d, RectPlan *plan,
                       RectCache *cache) {
  if (!st.target || st.clip.x0 >= st.clip.x1 || st.clip.y0 >= st.clip.y1) return RECT_NONE;
  if (!SameColour(a.colour, b.colour) || !SameColour(a.colour, c.colour) ||
      !SameColour(a.colour, d.colour))
    return RECT_NONE;
  int64_t X[4], Y[4];
  const RasterVertex *v[4] = {&a, &b, &c, &d};
  for (int i = 0; i < 4; i++)
    if (!ToSubpixel(v[i]->x, &X[i]) || !ToSubpixel(v[i]->y, &Y[i])) return RECT_NONE;
  // a-b horizontal, a-c vertical, d opposite a: the diagonal b-c splits the rectangle.
  if (Y[0] != Y[1] || X[0] != X[2] || X[3] != X[1] || Y[3] != Y[2] || X[0] == X[1] ||
      Y[0] == Y[2])
    return RECT_NONE;

  // Pixels with min <= centre < max on both axes (cut by the clip below).
  const int64_t min_x = X[0] < X[1] ? X[0] : X[1], max_x = X[0] < X[1] ? X[1] : X[0];
  const int64_t min_y = Y[0] < Y[2] ? Y[0] : Y[2], max_y = Y[0] < Y[2] ? Y[2] : Y[0];
  int64_t px0 = CeilDiv(min_x - SUBPIXEL / 2, SUBPIXEL);
  int64_t px1 = CeilDiv(max_x - SUBPIXEL / 2, SUBPIXEL) - 1;
  int64_t py0 = CeilDiv(min_y - SUBPIXEL / 2, SUBPIXEL);
  int64_t py1 = CeilDiv(max_y - SUBPIXEL / 2, SUBPIXEL) - 1;

  TexelMap map = {};
  if (const Surface *texture = st.texture) {
    // The triangles' set-up is the same for the same shape moved by whole pixels, as
    // long as the clip does not move the first pixel of their box: the edge functions
    // at that pixel, the steps and the texture planes do not change, and the texel of
    // that pixel stays. So a run of equal sprites is set up once.
    const bool unclipped = px0 >= st.clip.x0 && py0 >= st.clip.y0;
    RectShape shape;
    for (int i = 0; i < 4; i++) shape.u[i] = v[i]->u, shape.v[i] = v[i]->v;
    shape.w = texture->width, shape.h = texture->height, shape.bilinear = st.bilinear;
    shape.dx = X[1] - X[0], shape.dy = Y[2] - Y[0];
    shape.fx = X[0] & (SUBPIXEL - 1), shape.fy = Y[0] & (SUBPIXEL - 1);
    if (unclipped && cache && cache->valid && memcmp(&cache->shape, &shape, sizeof shape) == 0) {
      map.dir_x = cache->dir_x, map.dir_y = cache->dir_y;
      map.cx = cache->tx - map.dir_x * px0, map.cy = cache->ty - map.dir_y * py0;
    } else {
      TriangleSetup t1, t2;
      TexelMap map2;
      if (!SetupTriangle(st, a, b, c, &t1) || !SetupTriangle(st, b, c, d, &t2) ||
          !AlignedTexels(st, t1, &map) || !AlignedTexels(st, t2, &map2) || map.cx != map2.cx ||
          map.cy != map2.cy || map.dir_x != map2.dir_x || map.dir_y != map2.dir_y)
        return RECT_NONE;
      if (unclipped && cache) {
        cache->valid = true;
        cache->shape = shape;
        cache->dir_x = map.dir_x, cache->dir_y = map.dir_y;
        cache->tx = map.cx + map.dir_x * px0, cache->ty = map.cy + map.dir_y * py0;
      }
    }
  }

  if (px0 < st.clip.x0) px0 = st.clip.x0;
  if (py0 < st.clip.y0) py0 = st.clip.y0;
  if (px1 > st.clip.x1 - 1) px1 = st.clip.x1 - 1;
  if (py1 > st.clip.y1 - 1) py1 = st.clip.y1 - 1;
  if (px0 > px1 || py0 > py1) return RECT_EMPTY;  // nothing of it inside the clip
  if (st.texture && !TexelsInside(st.texture, map, px0, px1, py0, py1)) return RECT_NONE;
  // Inside the clip, so inside the target: every value fits 32 bits.
  plan->x0 = static_cast<int32_t>(px0), plan->x1 = static_cast<int32_t>(px1);
  plan->y0 = static_cast<int32_t>(py0), plan->y1 = static_cast<int32_t>(py1);
  plan->tx = st.texture ? static_cast<int32_t>(map.cx + map.dir_x * px0) : 0;
  plan->ty = st.texture ? static_cast<int32_t>(map.cy + map.dir_y * py0) : 0;
  plan->dir_x = map.dir_x, plan->dir_y = map.dir_y;
  plan->colour = a.colour;
  return RECT_DRAW;
}

void DrawRectangle(const DrawState &st, const RectPlan &plan) {
  // The rows of the band: texels follow pixels, so the rows drawn do not change any.
  const int32_t py0 = plan.y0 > st.band_y0 ? plan.y0 : st.band_y0;
  const int32_t py1 = plan.y1 < st.band_y1 - 1 ? plan.y1 : st.band_y1 - 1;
  if (py0 > py1) return;

  Surface *target = st.target;
  const size_t stride = static_cast<size_t>(target->width) * 4;
  const int32_t width = plan.x1 - plan.x0 + 1, rows = py1 - py0 + 1;
  uint8_t *dst = target->pixels + static_cast<size_t>(py0) * stride + static_cast<size_t>(plan.x0) * 4;
  if (const Surface *texture = st.texture) {
    const int64_t ty = plan.ty + static_cast<int64_t>(plan.dir_y) * (py0 - plan.y0);
    const uint8_t *src =
        texture->pixels + (static_cast<size_t>(ty) * texture->width + static_cast<size_t>(plan.tx)) * 4;
    const ptrdiff_t src_step = plan.dir_y * static_cast<ptrdiff_t>(texture->width) * 4;
    BlendTexelRect(dst, stride, src, src_step, plan.dir_x, width, rows, plan.colour,
                   st.blend_mode);
    return;
  }
  // Untextured: the colour itself is the "texel", times opaque white.
  uint8_t chunk[FLAT_CHUNK * 4];
  for (int32_t i = 0; i < FLAT_CHUNK; i++) {
    chunk[4 * i + 0] = static_cast<uint8_t>(plan.colour.r);
    chunk[4 * i + 1] = static_cast<uint8_t>(plan.colour.g);
    chunk[4 * i + 2] = static_cast<uint8_t>(plan.colour.b);
    chunk[4 * i + 3] = static_cast<uint8_t>(plan.colour.a);
  }
  const Colour white = {255, 255, 255, 255};
  for (int32_t y = 0; y < rows; y++, dst += stride)
    for (int32_t x = 0; x < width; x += FLAT_CHUNK)
      BlendRow(dst + static_cast<size_t>(x) * 4, chunk,
               width - x < FLAT_CHUNK ? width - x : FLAT_CHUNK, white, st.blend_mode);
}

void FillQuad(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
              const RasterVertex &c, const RasterVertex &d) {
  if (st.fast_paths) {
    RectPlan plan;
    switch (PlanRectangle(st, a, b, c, d, &plan)) {
      case RECT_EMPTY: return;
      case RECT_DRAW: DrawRectangle(st, plan); return;
      case RECT_NONE: break;
    }
  }
  FillTriangle(st, a, b, c);
  FillTriangle(st, b, c, d);
}

}  // namespace soft
