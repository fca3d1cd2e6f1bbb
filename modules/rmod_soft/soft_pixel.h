// soft_pixel.h — per-pixel work of rmod_soft: texel fetch, texture filtering, colour
// modulation and the blend modes. Inline because the rasteriser and the line drawer call
// these once per pixel; integer arithmetic only, so results are the same everywhere.
//
// Texture coordinates arrive in texel units with 32 fractional bits (u x width, v x
// height): texel i spans [i, i+1), its centre is i + 0.5.
#pragma once

#include "soft_internal.h"
#include "zylem.h"

// The span loops need these inlined to run at a usable speed.
#define SOFT_INLINE inline __attribute__((always_inline))

namespace soft {

// x / 255 rounded to nearest, for 0 <= x (255 is odd, so there are no ties).
inline int32_t Div255(int32_t x) { return (x + 127) / 255; }

// Texel times vertex colour, channel by channel (255 x 255 = 255).
inline Colour Modulate(Colour t, Colour v) {
  return Colour{Div255(t.r * v.r), Div255(t.g * v.g), Div255(t.b * v.b), Div255(t.a * v.a)};
}

// The texel at (x, y), with the surface's edge rule outside it: coordinates clamp to the
// edge; with ZY_PACK_PAD_TRANSPARENT the texels beyond the edge are transparent.
SOFT_INLINE Colour FetchTexel(const Surface *t, int64_t x, int64_t y) {
  bool outside = false;
  if (x < 0) x = 0, outside = true;
  if (x >= t->width) x = t->width - 1, outside = true;
  if (y < 0) y = 0, outside = true;
  if (y >= t->height) y = t->height - 1, outside = true;
  const uint8_t *p = t->pixels + (static_cast<size_t>(y) * t->width + x) * 4;
  int32_t a = (outside && t->pack_mode == ZY_PACK_PAD_TRANSPARENT) ? 0 : p[3];
  return Colour{p[0], p[1], p[2], a};
}

// Point sampling: the texel the coordinate falls in, clamped to the texture.
SOFT_INLINE Colour SampleNearest(const Surface *t, int64_t u, int64_t v) {
  int64_t x = u >> 32, y = v >> 32;
  if (x < 0) x = 0;
  if (x >= t->width) x = t->width - 1;
  if (y < 0) y = 0;
  if (y >= t->height) y = t->height - 1;
  const uint8_t *p = t->pixels + (static_cast<size_t>(y) * t->width + x) * 4;
  return Colour{p[0], p[1], p[2], p[3]};
}

// Bilinear filtering between the four nearest texel centres with 8-bit weights (rounded,
// so a coordinate within 1/512 texel of a centre gives that texel exactly). Colours are
// weighted by alpha, so the colour of transparent texels never bleeds into the result.
SOFT_INLINE Colour SampleBilinear(const Surface *t, int64_t u, int64_t v) {
  u -= int64_t{1} << 31;  // texel centres at whole numbers
  v -= int64_t{1} << 31;
  int64_t x = u >> 32, y = v >> 32;
  int32_t fx = static_cast<int32_t>(((u & 0xFFFFFFFF) + (1 << 23)) >> 24);
  int32_t fy = static_cast<int32_t>(((v & 0xFFFFFFFF) + (1 << 23)) >> 24);
  if (fx == 256) x++, fx = 0;
  if (fy == 256) y++, fy = 0;
  if (fx == 0 && fy == 0) return FetchTexel(t, x, y);
  Colour c[4];
  if (x >= 0 && y >= 0 && x + 1 < t->width && y + 1 < t->height) {  // inside: no edge rule
    const size_t stride = static_cast<size_t>(t->width) * 4;
    const uint8_t *p = t->pixels + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 4;
    c[0] = Colour{p[0], p[1], p[2], p[3]};
    c[1] = Colour{p[4], p[5], p[6], p[7]};
    p += stride;
    c[2] = Colour{p[0], p[1], p[2], p[3]};
    c[3] = Colour{p[4], p[5], p[6], p[7]};
  } else {
    c[0] = FetchTexel(t, x, y), c[1] = FetchTexel(t, x + 1, y);
    c[2] = FetchTexel(t, x, y + 1), c[3] = FetchTexel(t, x + 1, y + 1);
  }
  const int32_t w[4] = {(256 - fx) * (256 - fy), fx * (256 - fy), (256 - fx) * fy, fx * fy};
  if (c[0].a == c[1].a && c[0].a == c[2].a && c[0].a == c[3].a) {
    // Equal alphas cancel out of the weighting: the same result without dividing.
    auto mix = [&](int32_t Colour::*ch) {
      return (c[0].*ch * w[0] + c[1].*ch * w[1] + c[2].*ch * w[2] + c[3].*ch * w[3] + 32768) >> 16;
    };
    return Colour{mix(&Colour::r), mix(&Colour::g), mix(&Colour::b), c[0].a};
  }
  int64_t aw = 0, r = 0, g = 0, b = 0;  // weights sum to 65536
  for (int i = 0; i < 4; i++) {
    int64_t k = w[i] * c[i].a;
    aw += k;
    r += k * c[i].r;
    g += k * c[i].g;
    b += k * c[i].b;
  }
  if (aw == 0) return Colour{c[0].r, c[0].g, c[0].b, 0};
  return Colour{static_cast<int32_t>((r + aw / 2) / aw), static_cast<int32_t>((g + aw / 2) / aw),
                static_cast<int32_t>((b + aw / 2) / aw),
                static_cast<int32_t>((aw + 32768) >> 16)};
}

// Saturates a channel sum at 255.
inline int32_t Min255(int32_t x) { return x > 255 ? 255 : x; }

// Combines the source colour s into the destination pixel d (R, G, B, A bytes).
SOFT_INLINE void BlendPixel(uint8_t *d, Colour s, int32_t mode) {
  const int32_t sa = s.a, da = d[3];
  switch (mode) {
    case BLEND_REPLACE:
      d[0] = static_cast<uint8_t>(s.r), d[1] = static_cast<uint8_t>(s.g);
      d[2] = static_cast<uint8_t>(s.b), d[3] = static_cast<uint8_t>(sa);
      return;
    case BLEND_ADD:
      d[0] = static_cast<uint8_t>(Min255(d[0] + Div255(s.r * sa)));
      d[1] = static_cast<uint8_t>(Min255(d[1] + Div255(s.g * sa)));
      d[2] = static_cast<uint8_t>(Min255(d[2] + Div255(s.b * sa)));
      d[3] = static_cast<uint8_t>(Div255(sa * 255 + da * (255 - sa)));
      return;
    case BLEND_MULTIPLY: {
      // The source colour faded towards white by its transparency; alpha stays.
      const int32_t k = 255 - sa;
      d[0] = static_cast<uint8_t>(Div255(d[0] * (Div255(s.r * sa) + k)));
      d[1] = static_cast<uint8_t>(Div255(d[1] * (Div255(s.g * sa) + k)));
      d[2] = static_cast<uint8_t>(Div255(d[2] * (Div255(s.b * sa) + k)));
      return;
    }
    case BLEND_PREMULTIPLIED:
      d[0] = static_cast<uint8_t>(Min255(s.r + Div255(d[0] * (255 - sa))));
      d[1] = static_cast<uint8_t>(Min255(s.g + Div255(d[1] * (255 - sa))));
      d[2] = static_cast<uint8_t>(Min255(s.b + Div255(d[2] * (255 - sa))));
      d[3] = static_cast<uint8_t>(Div255(sa * 255 + da * (255 - sa)));
      return;
    default:
      break;
  }
  // Straight-alpha "over". Over an opaque pixel this is the familiar
  // src x a + dst x (1 - a); over a transparent one (a cleared render target) the source
  // is kept as it is, so drawing into a target and then drawing the target gives what
  // drawing directly would have given.
  if (sa == 0) return;
  if (sa == 255 || da == 0) {
    d[0] = static_cast<uint8_t>(s.r), d[1] = static_cast<uint8_t>(s.g);
    d[2] = static_cast<uint8_t>(s.b), d[3] = static_cast<uint8_t>(sa);
    return;
  }
  const int32_t ia = 255 - sa;
  if (da == 255) {
    d[0] = static_cast<uint8_t>(Div255(s.r * sa + d[0] * ia));
    d[1] = static_cast<uint8_t>(Div255(s.g * sa + d[1] * ia));
    d[2] = static_cast<uint8_t>(Div255(s.b * sa + d[2] * ia));
    return;
  }
  const int32_t out = sa * 255 + da * ia;  // resulting alpha x 255, not rounded
  const int32_t ks = sa * 255, kd = da * ia;
  d[0] = static_cast<uint8_t>((s.r * ks + d[0] * kd + out / 2) / out);
  d[1] = static_cast<uint8_t>((s.g * ks + d[1] * kd + out / 2) / out);
  d[2] = static_cast<uint8_t>((s.b * ks + d[2] * kd + out / 2) / out);
  d[3] = static_cast<uint8_t>(Div255(out));
}

}  // namespace soft
