// soft_raster.cpp — the triangle rasteriser of rmod_soft.
//
// Vertex positions are snapped to 1/256 pixel (24.8 fixed point) and coverage is decided
// with integer edge functions at pixel centres, using the top-left fill rule: a pixel
// whose centre lies exactly on an edge belongs to the triangle only when that edge is a
// top edge (horizontal, the triangle below it) or a left edge. Two triangles sharing an
// edge therefore never both cover a pixel and never leave a gap, which matters for the
// two triangles of every quad when they are drawn with blending.
//
// Colours and texture coordinates are interpolated linearly (affine, no perspective)
// across the screen. Each attribute becomes a plane with 32 fractional bits, set up once
// per triangle; per pixel only integer additions remain. The set-up divides in double
// precision, which IEEE arithmetic rounds identically on every machine (the module is
// built without contraction or fast-math). Equal values at the three vertices give
// exactly that value at every pixel.
//
// Spans are shaded by one of a set of functions specialised for texturing, filtering,
// colour interpolation and blend mode, chosen once per triangle, so the per-pixel loop
// has no decisions left but the blend's own. A triangle whose texels map one to one onto
// pixels (AlignedTexels) skips sampling altogether and blends texel rows (BlendRow).
#include "soft_raster.h"

#include <math.h>

#include "soft_pixel.h"

namespace soft {
namespace {

constexpr double COORD_LIMIT = 1048576.0;   // positions clamp to +-2^20 pixels
constexpr double FIXED_ONE = 4294967296.0;  // 2^32: attribute fixed point
constexpr double ORIGIN_LIMIT = 281474976710656.0;  // 2^48 in fixed units: 65536 texels
constexpr double STEP_LIMIT = 17592186044416.0;     // 2^44 in fixed units per pixel

// floor(v) for |v| < 2^62, exact like floor() itself, without a call into the maths
// library (which the compiler cannot inline for the baseline x86-64 instruction set).
inline int64_t FloorToInt(double v) {
  const int64_t i = static_cast<int64_t>(v);  // truncates towards zero, exactly
  return v < static_cast<double>(i) ? i - 1 : i;
}

int64_t ToFixed(double v, double limit) {
  v *= FIXED_ONE;
  if (!(v > -limit)) v = -limit;  // also catches NaN
  if (v > limit) v = limit;
  return FloorToInt(v + 0.5);
}

inline int32_t Channel(int64_t x) {
  int64_t c = (x + (int64_t{1} << 31)) >> 32;
  return c < 0 ? 0 : (c > 255 ? 255 : static_cast<int32_t>(c));
}

bool SameColour(const Colour &a, const Colour &b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// The texel index a texture coordinate selects when it lies within 1/512 texel of a
// texel centre, as bilinear filtering rounds it (SampleBilinear); false when it does not.
bool CentredTexel(int64_t coordinate, int64_t *index) {
  const int64_t c = coordinate - (int64_t{1} << 31);
  int64_t i = c >> 32;
  const int64_t f = ((c & 0xFFFFFFFF) + (1 << 23)) >> 24;
  if (f == 256) i++;
  else if (f != 0) return false;
  *index = i;
  return true;
}

// Shades `count` pixels from dst on, stepping the attributes.
template <bool TEXTURED, bool BILINEAR, bool GOURAUD, int32_t MODE>
void ShadeSpan(const DrawState &st, uint8_t *dst, int64_t count, Attrs at, const Attrs &step,
               Colour flat) {
  // Texels modulated by opaque white stay as they are (the usual sprite colour).
  const bool plain = !GOURAUD && flat.r == 255 && flat.g == 255 && flat.b == 255 && flat.a == 255;
  const Surface *texture = st.texture;
  for (; count > 0; count--, dst += 4) {
    Colour c = flat;
    if (GOURAUD) {
      c = Colour{Channel(at.r), Channel(at.g), Channel(at.b), Channel(at.a)};
      at.r += step.r, at.g += step.g, at.b += step.b, at.a += step.a;
    }
    if (TEXTURED) {
      Colour t = BILINEAR ? SampleBilinear(texture, at.u, at.v) : SampleNearest(texture, at.u, at.v);
      c = plain ? t : Modulate(t, c);
      at.u += step.u, at.v += step.v;
    }
    BlendPixel(dst, c, MODE);
  }
}

using SpanFunc = void (*)(const DrawState &, uint8_t *, int64_t, Attrs, const Attrs &, Colour);

template <bool TEXTURED, bool BILINEAR, bool GOURAUD>
SpanFunc ChooseBlend(int32_t mode) {
  switch (mode) {
    case BLEND_ADD: return ShadeSpan<TEXTURED, BILINEAR, GOURAUD, BLEND_ADD>;
    case BLEND_MULTIPLY: return ShadeSpan<TEXTURED, BILINEAR, GOURAUD, BLEND_MULTIPLY>;
    case BLEND_REPLACE: return ShadeSpan<TEXTURED, BILINEAR, GOURAUD, BLEND_REPLACE>;
    case BLEND_PREMULTIPLIED: return ShadeSpan<TEXTURED, BILINEAR, GOURAUD, BLEND_PREMULTIPLIED>;
    default: return ShadeSpan<TEXTURED, BILINEAR, GOURAUD, BLEND_ALPHA>;
  }
}

SpanFunc ChooseSpan(bool textured, bool bilinear, bool gouraud, int32_t mode) {
  if (!textured) return gouraud ? ChooseBlend<false, false, true>(mode)
                                : ChooseBlend<false, false, false>(mode);
  if (bilinear) return gouraud ? ChooseBlend<true, true, true>(mode)
                               : ChooseBlend<true, true, false>(mode);
  return gouraud ? ChooseBlend<true, false, true>(mode) : ChooseBlend<true, false, false>(mode);
}

}  // namespace

bool ToSubpixel(double v, int64_t *out) {
  if (!isfinite(v)) return false;
  if (v < -COORD_LIMIT) v = -COORD_LIMIT;
  if (v > COORD_LIMIT) v = COORD_LIMIT;
  *out = FloorToInt(v * SUBPIXEL + 0.5);
  return true;
}

bool SetupTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                   const RasterVertex &c, TriangleSetup *t) {
  if (!st.target || st.clip.x0 >= st.clip.x1 || st.clip.y0 >= st.clip.y1) return false;
  const RasterVertex *v[3] = {&a, &b, &c};
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; i++)
    if (!ToSubpixel(v[i]->x, &X[i]) || !ToSubpixel(v[i]->y, &Y[i])) return false;

  // Twice the signed area in subpixel units; make it positive so "inside" means every
  // edge function is >= 0 (both windings are drawn: quads use both).
  int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  if (area == 0) return false;
  if (area < 0) {
    const RasterVertex *tv = v[1];
    v[1] = v[2], v[2] = tv;
    int64_t s = X[1];
    X[1] = X[2], X[2] = s;
    s = Y[1];
    Y[1] = Y[2], Y[2] = s;
    area = -area;
  }

  // Pixels whose centres (i * 256 + 128) fall in the bounding box, cut by the clip.
  int64_t min_x = X[0], max_x = X[0], min_y = Y[0], max_y = Y[0];
  for (int i = 1; i < 3; i++) {
    if (X[i] < min_x) min_x = X[i];
    if (X[i] > max_x) max_x = X[i];
    if (Y[i] < min_y) min_y = Y[i];
    if (Y[i] > max_y) max_y = Y[i];
  }
  int64_t px0 = CeilDiv(min_x - SUBPIXEL / 2, SUBPIXEL);
  int64_t px1 = FloorDiv(max_x - SUBPIXEL / 2, SUBPIXEL);
  int64_t py0 = CeilDiv(min_y - SUBPIXEL / 2, SUBPIXEL);
  int64_t py1 = FloorDiv(max_y - SUBPIXEL / 2, SUBPIXEL);
  if (px0 < st.clip.x0) px0 = st.clip.x0;
  if (py0 < st.clip.y0) py0 = st.clip.y0;
  if (px1 > st.clip.x1 - 1) px1 = st.clip.x1 - 1;
  if (py1 > st.clip.y1 - 1) py1 = st.clip.y1 - 1;
  if (px0 > px1 || py0 > py1) return false;
  t->px0 = px0, t->px1 = px1, t->py0 = py0, t->py1 = py1;

  // Edge k runs between the two vertices other than k; its function is vertex k's
  // barycentric weight times the area.
  const int64_t ox = px0 * SUBPIXEL + SUBPIXEL / 2, oy = py0 * SUBPIXEL + SUBPIXEL / 2;
  for (int k = 0; k < 3; k++) {
    const int f = (k + 1) % 3, to = (k + 2) % 3;
    const int64_t dx = X[to] - X[f], dy = Y[to] - Y[f];
    t->e[k] = dx * (oy - Y[f]) - dy * (ox - X[f]);
    t->sx[k] = -dy * SUBPIXEL;
    t->sy[k] = dx * SUBPIXEL;
    const bool top_left = dy < 0 || (dy == 0 && dx > 0);
    t->bias[k] = top_left ? 0 : -1;  // E > 0 becomes E - 1 >= 0
  }

  // Attribute planes: value at the box's first pixel centre and per-pixel steps.
  t->gouraud = !SameColour(v[0]->colour, v[1]->colour) || !SameColour(v[0]->colour, v[2]->colour);
  t->flat = v[0]->colour;
  const double fa = static_cast<double>(area);
  auto plane = [&](double a0, double a1, double a2, int64_t *origin, int64_t *step_x,
                   int64_t *step_y) {
    const double d1 = a1 - a0, d2 = a2 - a0;
    *origin = ToFixed(a0 + (static_cast<double>(t->e[1]) * d1 + static_cast<double>(t->e[2]) * d2) / fa,
                      ORIGIN_LIMIT);
    *step_x = ToFixed((static_cast<double>(t->sx[1]) * d1 + static_cast<double>(t->sx[2]) * d2) / fa,
                      STEP_LIMIT);
    *step_y = ToFixed((static_cast<double>(t->sy[1]) * d1 + static_cast<double>(t->sy[2]) * d2) / fa,
                      STEP_LIMIT);
  };
  t->origin = Attrs{}, t->step_x = Attrs{}, t->step_y = Attrs{};
  if (t->gouraud) {
    plane(v[0]->colour.r, v[1]->colour.r, v[2]->colour.r, &t->origin.r, &t->step_x.r, &t->step_y.r);
    plane(v[0]->colour.g, v[1]->colour.g, v[2]->colour.g, &t->origin.g, &t->step_x.g, &t->step_y.g);
    plane(v[0]->colour.b, v[1]->colour.b, v[2]->colour.b, &t->origin.b, &t->step_x.b, &t->step_y.b);
    plane(v[0]->colour.a, v[1]->colour.a, v[2]->colour.a, &t->origin.a, &t->step_x.a, &t->step_y.a);
  }
  if (st.texture) {
    const double w = st.texture->width, h = st.texture->height;
    plane(v[0]->u * w, v[1]->u * w, v[2]->u * w, &t->origin.u, &t->step_x.u, &t->step_y.u);
    plane(v[0]->v * h, v[1]->v * h, v[2]->v * h, &t->origin.v, &t->step_x.v, &t->step_y.v);
  }
  return true;
}

bool TriangleRowSpan(const TriangleSetup &t, int64_t row, int64_t *first, int64_t *last) {
  // The span of this row where every edge function is >= 0, found by division instead
  // of testing pixel by pixel.
  int64_t t_min = 0, t_max = t.px1 - t.px0;
  for (int k = 0; k < 3; k++) {
    const int64_t ek = t.e[k] + t.sy[k] * row + t.bias[k];
    if (t.sx[k] > 0) {
      if (ek < 0) {
        const int64_t s = CeilDiv(-ek, t.sx[k]);
        if (s > t_min) t_min = s;
      }
    } else if (t.sx[k] < 0) {
      if (ek < 0) return false;
      if (ek / -t.sx[k] < t_max) t_max = ek / -t.sx[k];
    } else if (ek < 0) {
      return false;
    }
  }
  *first = t_min;
  *last = t_max;
  return t_min <= t_max;
}

bool AlignedTexels(const DrawState &st, const TriangleSetup &t, TexelMap *map) {
  const Surface *tex = st.texture;
  if (!tex || t.step_y.u != 0 || t.step_x.v != 0) return false;
  const int64_t sx = t.step_x.u, sy = t.step_y.v;
  if ((sx != FIXED_ONE_INT && sx != -FIXED_ONE_INT) || (sy != FIXED_ONE_INT && sy != -FIXED_ONE_INT))
    return false;
  // The steps are whole texels, so every pixel's coordinate has the fraction of the
  // box's first one and the texel index simply follows the pixel.
  int64_t x, y;
  if (st.bilinear) {
    if (!CentredTexel(t.origin.u, &x) || !CentredTexel(t.origin.v, &y)) return false;
  } else {
    x = t.origin.u >> 32;
    y = t.origin.v >> 32;
  }
  map->dir_x = sx > 0 ? 1 : -1;
  map->dir_y = sy > 0 ? 1 : -1;
  map->cx = x - map->dir_x * t.px0;
  map->cy = y - map->dir_y * t.py0;
  return true;
}

bool TexelsInside(const Surface *texture, const TexelMap &map, int64_t x0, int64_t x1,
                  int64_t y0, int64_t y1) {
  // The map is monotonic, so the corners decide.
  const int64_t tx0 = map.cx + map.dir_x * x0, tx1 = map.cx + map.dir_x * x1;
  const int64_t ty0 = map.cy + map.dir_y * y0, ty1 = map.cy + map.dir_y * y1;
  return tx0 >= 0 && tx1 >= 0 && ty0 >= 0 && ty1 >= 0 && tx0 < texture->width &&
         tx1 < texture->width && ty0 < texture->height && ty1 < texture->height;
}

void FillTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                  const RasterVertex &c) {
  TriangleSetup t;
  if (!SetupTriangle(st, a, b, c, &t)) return;
  TexelMap map;
  // Rows of the band only; the set-up above is the same whatever the band.
  const int64_t first_row = st.band_y0 > t.py0 ? st.band_y0 - t.py0 : 0;
  const int64_t end_row = (st.band_y1 < t.py1 + 1 ? st.band_y1 : t.py1 + 1) - t.py0;
  if (st.fast_paths && !t.gouraud && AlignedTexels(st, t, &map) &&
      TexelsInside(st.texture, map, t.px0, t.px1, t.py0, t.py1)) {
    for (int64_t row = first_row; row < end_row; row++) {
      int64_t first, last;
      if (TriangleRowSpan(t, row, &first, &last))
        BlendAlignedSpan(st, map, t.px0 + first, t.py0 + row, last - first + 1, t.flat);
    }
    return;
  }

  Surface *target = st.target;
  const size_t stride = static_cast<size_t>(target->width) * 4;
  const SpanFunc span = ChooseSpan(st.texture != nullptr, st.bilinear, t.gouraud, st.blend_mode);
  for (int64_t row = first_row; row < end_row; row++) {
    int64_t first, last;
    if (!TriangleRowSpan(t, row, &first, &last)) continue;
    Attrs at;
    at.r = t.origin.r + t.step_y.r * row + t.step_x.r * first;
    at.g = t.origin.g + t.step_y.g * row + t.step_x.g * first;
    at.b = t.origin.b + t.step_y.b * row + t.step_x.b * first;
    at.a = t.origin.a + t.step_y.a * row + t.step_x.a * first;
    at.u = t.origin.u + t.step_y.u * row + t.step_x.u * first;
    at.v = t.origin.v + t.step_y.v * row + t.step_x.v * first;
    uint8_t *dst = target->pixels + static_cast<size_t>(t.py0 + row) * stride +
                   static_cast<size_t>(t.px0 + first) * 4;
    span(st, dst, last - first + 1, at, t.step_x, t.flat);
  }
}

}  // namespace soft
