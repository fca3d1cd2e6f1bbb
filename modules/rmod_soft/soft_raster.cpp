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
#include <math.h>

#include "soft_internal.h"
#include "soft_pixel.h"

namespace soft {
namespace {

constexpr int32_t SUBPIXEL = 256;           // subpixel steps per pixel
constexpr double COORD_LIMIT = 1048576.0;   // positions clamp to +-2^20 pixels
constexpr double FIXED_ONE = 4294967296.0;  // 2^32: attribute fixed point
constexpr double ORIGIN_LIMIT = 281474976710656.0;  // 2^48 in fixed units: 65536 texels
constexpr double STEP_LIMIT = 17592186044416.0;     // 2^44 in fixed units per pixel

struct Attrs {
  int64_t r, g, b, a, u, v;
};

int64_t FloorDiv(int64_t a, int64_t b) {  // b > 0
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }  // b > 0

bool ToSubpixel(double v, int64_t *out) {
  if (!isfinite(v)) return false;
  if (v < -COORD_LIMIT) v = -COORD_LIMIT;
  if (v > COORD_LIMIT) v = COORD_LIMIT;
  *out = static_cast<int64_t>(floor(v * SUBPIXEL + 0.5));
  return true;
}

int64_t ToFixed(double v, double limit) {
  v *= FIXED_ONE;
  if (!(v > -limit)) v = -limit;  // also catches NaN
  if (v > limit) v = limit;
  return static_cast<int64_t>(floor(v + 0.5));
}

inline int32_t Channel(int64_t x) {
  int64_t c = (x + (int64_t{1} << 31)) >> 32;
  return c < 0 ? 0 : (c > 255 ? 255 : static_cast<int32_t>(c));
}

// Shades `count` pixels from dst on, stepping the attributes.
template <bool TEXTURED, bool BILINEAR, bool GOURAUD>
void ShadeSpan(const DrawState &st, uint8_t *dst, int64_t count, Attrs at, const Attrs &step,
               Colour flat) {
  // Texels modulated by opaque white stay as they are (the usual sprite colour).
  const bool plain = !GOURAUD && flat.r == 255 && flat.g == 255 && flat.b == 255 && flat.a == 255;
  for (; count > 0; count--, dst += 4) {
    Colour c = flat;
    if (GOURAUD) {
      c = Colour{Channel(at.r), Channel(at.g), Channel(at.b), Channel(at.a)};
      at.r += step.r, at.g += step.g, at.b += step.b, at.a += step.a;
    }
    if (TEXTURED) {
      Colour t = BILINEAR ? SampleBilinear(st.texture, at.u, at.v)
                          : SampleNearest(st.texture, at.u, at.v);
      c = plain ? t : Modulate(t, c);
      at.u += step.u, at.v += step.v;
    }
    BlendPixel(dst, c, st.blend_mode);
  }
}

using SpanFunc = void (*)(const DrawState &, uint8_t *, int64_t, Attrs, const Attrs &, Colour);

SpanFunc ChooseSpan(bool textured, bool bilinear, bool gouraud) {
  if (!textured) return gouraud ? ShadeSpan<false, false, true> : ShadeSpan<false, false, false>;
  if (bilinear) return gouraud ? ShadeSpan<true, true, true> : ShadeSpan<true, true, false>;
  return gouraud ? ShadeSpan<true, false, true> : ShadeSpan<true, false, false>;
}

bool SameColour(const Colour &a, const Colour &b) {
  return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

}  // namespace

void FillTriangle(const DrawState &st, const RasterVertex &a, const RasterVertex &b,
                  const RasterVertex &c) {
  if (!st.target || st.clip.x0 >= st.clip.x1 || st.clip.y0 >= st.clip.y1) return;
  const RasterVertex *v[3] = {&a, &b, &c};
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; i++)
    if (!ToSubpixel(v[i]->x, &X[i]) || !ToSubpixel(v[i]->y, &Y[i])) return;

  // Twice the signed area in subpixel units; make it positive so "inside" means every
  // edge function is >= 0 (both windings are drawn: quads use both).
  int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  if (area == 0) return;
  if (area < 0) {
    const RasterVertex *tv = v[1];
    v[1] = v[2], v[2] = tv;
    int64_t t = X[1];
    X[1] = X[2], X[2] = t;
    t = Y[1];
    Y[1] = Y[2], Y[2] = t;
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
  if (px0 > px1 || py0 > py1) return;

  // Edge k runs between the two vertices other than k; its function is vertex k's
  // barycentric weight times the area.
  const int64_t ox = px0 * SUBPIXEL + SUBPIXEL / 2, oy = py0 * SUBPIXEL + SUBPIXEL / 2;
  int64_t e[3], sx[3], sy[3], bias[3];
  for (int k = 0; k < 3; k++) {
    const int f = (k + 1) % 3, t = (k + 2) % 3;
    const int64_t dx = X[t] - X[f], dy = Y[t] - Y[f];
    e[k] = dx * (oy - Y[f]) - dy * (ox - X[f]);
    sx[k] = -dy * SUBPIXEL;
    sy[k] = dx * SUBPIXEL;
    const bool top_left = dy < 0 || (dy == 0 && dx > 0);
    bias[k] = top_left ? 0 : -1;  // E > 0 becomes E - 1 >= 0
  }

  // Attribute planes: value at the box's first pixel centre and per-pixel steps.
  const bool textured = st.texture != nullptr;
  const bool gouraud = !SameColour(v[0]->colour, v[1]->colour) ||
                       !SameColour(v[0]->colour, v[2]->colour);
  const double fa = static_cast<double>(area);
  auto plane = [&](double a0, double a1, double a2, int64_t *origin, int64_t *step_x,
                   int64_t *step_y) {
    const double d1 = a1 - a0, d2 = a2 - a0;
    *origin = ToFixed(a0 + (static_cast<double>(e[1]) * d1 + static_cast<double>(e[2]) * d2) / fa,
                      ORIGIN_LIMIT);
    *step_x = ToFixed((static_cast<double>(sx[1]) * d1 + static_cast<double>(sx[2]) * d2) / fa,
                      STEP_LIMIT);
    *step_y = ToFixed((static_cast<double>(sy[1]) * d1 + static_cast<double>(sy[2]) * d2) / fa,
                      STEP_LIMIT);
  };
  Attrs origin = {}, step_x = {}, step_y = {};
  if (gouraud) {
    plane(v[0]->colour.r, v[1]->colour.r, v[2]->colour.r, &origin.r, &step_x.r, &step_y.r);
    plane(v[0]->colour.g, v[1]->colour.g, v[2]->colour.g, &origin.g, &step_x.g, &step_y.g);
    plane(v[0]->colour.b, v[1]->colour.b, v[2]->colour.b, &origin.b, &step_x.b, &step_y.b);
    plane(v[0]->colour.a, v[1]->colour.a, v[2]->colour.a, &origin.a, &step_x.a, &step_y.a);
  }
  if (textured) {
    const double w = st.texture->width, h = st.texture->height;
    plane(v[0]->u * w, v[1]->u * w, v[2]->u * w, &origin.u, &step_x.u, &step_y.u);
    plane(v[0]->v * h, v[1]->v * h, v[2]->v * h, &origin.v, &step_x.v, &step_y.v);
  }
  const SpanFunc span = ChooseSpan(textured, st.bilinear, gouraud);
  const Colour flat = v[0]->colour;

  for (int64_t row = 0; py0 + row <= py1; row++) {
    // The span of this row where every edge function is >= 0, found by division
    // instead of testing pixel by pixel.
    int64_t t_min = 0, t_max = px1 - px0;
    bool empty = false;
    for (int k = 0; k < 3 && !empty; k++) {
      const int64_t ek = e[k] + sy[k] * row + bias[k];
      if (sx[k] > 0) {
        if (ek < 0) {
          const int64_t t = CeilDiv(-ek, sx[k]);
          if (t > t_min) t_min = t;
        }
      } else if (sx[k] < 0) {
        if (ek < 0) empty = true;
        else if (ek / -sx[k] < t_max) t_max = ek / -sx[k];
      } else if (ek < 0) {
        empty = true;
      }
    }
    if (empty || t_min > t_max) continue;
    Attrs at;
    at.r = origin.r + step_y.r * row + step_x.r * t_min;
    at.g = origin.g + step_y.g * row + step_x.g * t_min;
    at.b = origin.b + step_y.b * row + step_x.b * t_min;
    at.a = origin.a + step_y.a * row + step_x.a * t_min;
    at.u = origin.u + step_y.u * row + step_x.u * t_min;
    at.v = origin.v + step_y.v * row + step_x.v * t_min;
    uint8_t *dst = st.target->pixels +
                   (static_cast<size_t>(py0 + row) * st.target->width + (px0 + t_min)) * 4;
    span(st, dst, t_max - t_min + 1, at, step_x, flat);
  }
}

}  // namespace soft
