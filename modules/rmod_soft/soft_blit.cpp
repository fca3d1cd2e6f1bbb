// soft_blit.cpp — blending whole rows of texels, for triangles and rectangles whose
// texels map one to one onto pixels, mirrored or not (and for flat-coloured rectangles).
//
// BlendRow gives exactly the bytes of the per-pixel path (Modulate, then BlendPixel of
// soft_pixel.h) and gets there with less work. Straight alpha (blend mode 0), the usual
// sprite blend, goes eight pixels at a time with AVX2 when the processor has it (chosen
// once, at run time), else four at a time with SSE2 where the compiler offers it:
// groups of fully transparent texels are skipped, groups of opaque ones copied, and the
// rest blended in 16-bit lanes with the identity x / 255 = (x x 0x8081) >> 23 (exact
// for every x below 65536). The lane formula
//   out = (s' x a + d x (255 - a) + 127) / 255, s' = (r, g, b, 255)
// is the "over" blend for a pixel whose texel is transparent (out = d), opaque
// (out = s) or drawn over an opaque destination; a group with any other pixel (a partly
// transparent texel over a partly transparent render-target pixel) goes pixel by pixel.
// Other blend modes go pixel by pixel through the same inline functions, with the mode
// fixed at compile time.
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define SOFT_HAVE_AVX2_PATH 1
#define SOFT_AVX2 __attribute__((target("avx2")))
#define SOFT_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))
#endif

#include "soft_pixel.h"
#include "soft_raster.h"

namespace soft {
namespace {

constexpr int32_t CHUNK_PIXELS = 64;  // texels of a mirrored row put in order at a time

SOFT_INLINE Colour LoadTexel(const uint8_t *p) { return Colour{p[0], p[1], p[2], p[3]}; }

// The per-pixel path with the mode fixed: texel times colour, then the blend.
template <int32_t MODE, bool PLAIN>
void BlendPixels(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour) {
  for (; count > 0; count--, src += 4, dst += 4) {
    const Colour t = LoadTexel(src);
    BlendPixel(dst, PLAIN ? t : Modulate(t, colour), MODE);
  }
}

#if defined(__SSE2__)

// Four R, G, B, A pixels times the colour (given as 16-bit lanes r, g, b, a, r, g, b, a),
// rounded as Div255 rounds.
SOFT_INLINE __m128i Modulate4(__m128i s, __m128i colour16) {
  const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi16(127);
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), colour16), round);
  __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), colour16), round);
  lo = _mm_srli_epi16(_mm_mulhi_epu16(lo, magic), 7);
  hi = _mm_srli_epi16(_mm_mulhi_epu16(hi, magic), 7);
  return _mm_packus_epi16(lo, hi);
}

// Two pixels of the "over" lane formula (16-bit lanes r, g, b, a, r, g, b, a).
SOFT_INLINE __m128i Over2(__m128i s, __m128i d) {
  const __m128i c255 = _mm_set1_epi16(255), round = _mm_set1_epi16(127);
  const __m128i magic = _mm_set1_epi16(static_cast<int16_t>(0x8081));
  const __m128i alpha_lanes = _mm_set_epi16(255, 0, 0, 0, 255, 0, 0, 0);
  const __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, 0xFF), 0xFF);
  const __m128i sc = _mm_or_si128(s, alpha_lanes);  // alpha lanes blend 255 with d.a
  __m128i x = _mm_add_epi16(_mm_mullo_epi16(sc, a), _mm_mullo_epi16(d, _mm_sub_epi16(c255, a)));
  x = _mm_add_epi16(x, round);
  return _mm_srli_epi16(_mm_mulhi_epu16(x, magic), 7);
}

template <bool PLAIN>
void BlendRowAlpha(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i alpha = _mm_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m128i colour16 = _mm_set_epi16(
      static_cast<int16_t>(colour.a), static_cast<int16_t>(colour.b),
      static_cast<int16_t>(colour.g), static_cast<int16_t>(colour.r),
      static_cast<int16_t>(colour.a), static_cast<int16_t>(colour.b),
      static_cast<int16_t>(colour.g), static_cast<int16_t>(colour.r));
  for (; count >= 4; count -= 4, src += 16, dst += 16) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    if (!PLAIN) s = Modulate4(s, colour16);
    const __m128i sa = _mm_and_si128(s, alpha);
    const __m128i clear = _mm_cmpeq_epi32(sa, zero), opaque = _mm_cmpeq_epi32(sa, alpha);
    if (_mm_movemask_epi8(clear) == 0xFFFF) continue;
    if (_mm_movemask_epi8(opaque) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), s);
      continue;
    }
    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(dst));
    const __m128i lane_ok =
        _mm_or_si128(_mm_or_si128(clear, opaque), _mm_cmpeq_epi32(_mm_and_si128(d, alpha), alpha));
    if (_mm_movemask_epi8(lane_ok) != 0xFFFF) {
      // A partly transparent texel over a partly transparent pixel: the exact division.
      uint8_t texels[16];
      _mm_storeu_si128(reinterpret_cast<__m128i *>(texels), s);
      BlendPixels<BLEND_ALPHA, true>(dst, texels, 4, colour);
      continue;
    }
    const __m128i lo = Over2(_mm_unpacklo_epi8(s, zero), _mm_unpacklo_epi8(d, zero));
    const __m128i hi = Over2(_mm_unpackhi_epi8(s, zero), _mm_unpackhi_epi8(d, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_packus_epi16(lo, hi));
  }
  if (count > 0) BlendPixels<BLEND_ALPHA, PLAIN>(dst, src, count, colour);
}

#else

template <bool PLAIN>
void BlendRowAlpha(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour) {
  BlendPixels<BLEND_ALPHA, PLAIN>(dst, src, count, colour);
}

#endif

#if defined(SOFT_HAVE_AVX2_PATH)

// The SSE2 lane arithmetic above on eight pixels: each 128-bit half of a register is
// unpacked, blended and packed again on its own, so the results are the same bytes.
SOFT_AVX2_INLINE __m256i Modulate8(__m256i s, __m256i colour16) {
  const __m256i zero = _mm256_setzero_si256(), round = _mm256_set1_epi16(127);
  const __m256i magic = _mm256_set1_epi16(static_cast<int16_t>(0x8081));
  __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), colour16), round);
  __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), colour16), round);
  lo = _mm256_srli_epi16(_mm256_mulhi_epu16(lo, magic), 7);
  hi = _mm256_srli_epi16(_mm256_mulhi_epu16(hi, magic), 7);
  return _mm256_packus_epi16(lo, hi);
}

SOFT_AVX2_INLINE __m256i Over4(__m256i s, __m256i d) {
  const __m256i c255 = _mm256_set1_epi16(255), round = _mm256_set1_epi16(127);
  const __m256i magic = _mm256_set1_epi16(static_cast<int16_t>(0x8081));
  const __m256i alpha_lanes = _mm256_set1_epi64x(static_cast<int64_t>(0x00FF000000000000ull));
  const __m256i a = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s, 0xFF), 0xFF);
  const __m256i sc = _mm256_or_si256(s, alpha_lanes);
  __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(sc, a),
                               _mm256_mullo_epi16(d, _mm256_sub_epi16(c255, a)));
  x = _mm256_add_epi16(x, round);
  return _mm256_srli_epi16(_mm256_mulhi_epu16(x, magic), 7);
}

template <bool PLAIN>
SOFT_AVX2 void BlendRowAlphaAvx2(uint8_t *dst, const uint8_t *src, int32_t count,
                                 const Colour &colour) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  const __m256i colour16 = _mm256_set1_epi64x(static_cast<int64_t>(
      static_cast<uint64_t>(colour.a) << 48 | static_cast<uint64_t>(colour.b) << 32 |
      static_cast<uint64_t>(colour.g) << 16 | static_cast<uint64_t>(colour.r)));
  for (; count >= 8; count -= 8, src += 32, dst += 32) {
    __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src));
    if (!PLAIN) s = Modulate8(s, colour16);
    const __m256i sa = _mm256_and_si256(s, alpha);
    const __m256i clear = _mm256_cmpeq_epi32(sa, zero), opaque = _mm256_cmpeq_epi32(sa, alpha);
    if (_mm256_movemask_epi8(clear) == -1) continue;
    if (_mm256_movemask_epi8(opaque) == -1) {
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), s);
      continue;
    }
    const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(dst));
    const __m256i lane_ok = _mm256_or_si256(
        _mm256_or_si256(clear, opaque), _mm256_cmpeq_epi32(_mm256_and_si256(d, alpha), alpha));
    if (_mm256_movemask_epi8(lane_ok) != -1) {
      // A partly transparent texel over a partly transparent pixel: the exact division.
      uint8_t texels[32];
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(texels), s);
      BlendPixels<BLEND_ALPHA, true>(dst, texels, 8, colour);
      continue;
    }
    const __m256i lo = Over4(_mm256_unpacklo_epi8(s, zero), _mm256_unpacklo_epi8(d, zero));
    const __m256i hi = Over4(_mm256_unpackhi_epi8(s, zero), _mm256_unpackhi_epi8(d, zero));
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), _mm256_packus_epi16(lo, hi));
  }
  if (count > 0) BlendRowAlpha<PLAIN>(dst, src, count, colour);
}

const bool have_avx2 = __builtin_cpu_supports("avx2");

// BlendRowAlphaAvx2 on a rectangle of texels opaque white leaves as they are, the
// constants set once for all rows. Whole groups are told apart with VPTEST alone, and
// the destination's alpha is looked at only when it is not opaque throughout.
SOFT_AVX2 void BlendRectPlainAvx2(uint8_t *dst, size_t dst_stride, const uint8_t *src,
                                  ptrdiff_t src_stride, int32_t count, int32_t rows,
                                  const Colour &colour) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i alpha = _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u));
  __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80)), ones = _mm256_set1_epi8(-1);
  __m256i offset = _mm256_set1_epi16(128 * 255 + 127);  // undoes the bias, then rounds
  __m256i magic = _mm256_set1_epi16(static_cast<int16_t>(0x8081));
  __m256i alpha_bytes = _mm256_set_epi8(15, 15, 15, 15, 11, 11, 11, 11, 7, 7, 7, 7, 3, 3, 3, 3,
                                        15, 15, 15, 15, 11, 11, 11, 11, 7, 7, 7, 7, 3, 3, 3, 3);
  // Opaque to the compiler, so it keeps them in registers instead of building them
  // again inside the loop.
  __asm__("" : "+x"(bias), "+x"(ones), "+x"(offset), "+x"(magic), "+x"(alpha_bytes));
  const int32_t groups = count / 8, rest = count % 8;
  for (; rows > 0; rows--, dst += dst_stride, src += src_stride) {
    const uint8_t *s8 = src;
    uint8_t *d8 = dst;
    for (int32_t g = 0; g < groups; g++, s8 += 32, d8 += 32) {
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(s8));
      if (_mm256_testz_si256(s, alpha)) continue;  // every texel transparent
      if (_mm256_testc_si256(s, alpha)) {          // every texel opaque
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(d8), s);
        continue;
      }
      const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(d8));
      if (!_mm256_testc_si256(d, alpha)) {
        const __m256i sa = _mm256_and_si256(s, alpha);
        const __m256i lane_ok = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpeq_epi32(sa, zero), _mm256_cmpeq_epi32(sa, alpha)),
            _mm256_cmpeq_epi32(_mm256_and_si256(d, alpha), alpha));
        if (_mm256_movemask_epi8(lane_ok) != -1) {
          // A partly transparent texel over a partly transparent pixel: the exact division.
          BlendPixels<BLEND_ALPHA, true>(d8, s8, 8, colour);
          continue;
        }
      }
      // Per channel a x s + (255 - a) x d as one multiply-add of byte pairs: the values
      // less 128 fit signed bytes, and the sum less 128 x 255 fits a signed 16-bit lane.
      const __m256i sv = _mm256_xor_si256(_mm256_or_si256(s, alpha), bias);  // alpha as 255
      const __m256i dv = _mm256_xor_si256(d, bias);
      const __m256i a8 = _mm256_shuffle_epi8(s, alpha_bytes);
      const __m256i na8 = _mm256_xor_si256(a8, ones);
      __m256i out[2];
      for (int half = 0; half < 2; half++) {
        const __m256i pairs = half ? _mm256_unpackhi_epi8(sv, dv) : _mm256_unpacklo_epi8(sv, dv);
        const __m256i weights = half ? _mm256_unpackhi_epi8(a8, na8) : _mm256_unpacklo_epi8(a8, na8);
        const __m256i x = _mm256_add_epi16(_mm256_maddubs_epi16(weights, pairs), offset);
        out[half] = _mm256_srli_epi16(_mm256_mulhi_epu16(x, magic), 7);
      }
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(d8), _mm256_packus_epi16(out[0], out[1]));
    }
    if (rest > 0) BlendRowAlpha<true>(d8, s8, rest, colour);
  }
}



#endif

// Straight alpha with the widest lanes the processor offers.
template <bool PLAIN>
void BlendRowOver(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour) {
#if defined(SOFT_HAVE_AVX2_PATH)
  if (have_avx2) return BlendRowAlphaAvx2<PLAIN>(dst, src, count, colour);
#endif
  BlendRowAlpha<PLAIN>(dst, src, count, colour);
}

template <bool PLAIN>
void BlendRowMode(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour,
                  int32_t mode) {
  switch (mode) {
    case BLEND_ADD: return BlendPixels<BLEND_ADD, PLAIN>(dst, src, count, colour);
    case BLEND_MULTIPLY: return BlendPixels<BLEND_MULTIPLY, PLAIN>(dst, src, count, colour);
    case BLEND_PREMULTIPLIED:
      return BlendPixels<BLEND_PREMULTIPLIED, PLAIN>(dst, src, count, colour);
    case BLEND_REPLACE:
      if (PLAIN) {
        memcpy(dst, src, static_cast<size_t>(count) * 4);
        return;
      }
      return BlendPixels<BLEND_REPLACE, PLAIN>(dst, src, count, colour);
    default: return BlendRowOver<PLAIN>(dst, src, count, colour);
  }
}

}  // namespace

void BlendRow(uint8_t *dst, const uint8_t *src, int32_t count, const Colour &colour,
              int32_t blend_mode) {
  // Texels times opaque white stay as they are (the usual sprite colour).
  // (Channels are 0..255: all four are 255 exactly when their bits and to 255. Testing
  // it this way keeps the compiler from reloading the colour as one vector, which costs
  // a store-forwarding stall on every row.)
  if ((colour.r & colour.g & colour.b & colour.a) == 255)
    BlendRowMode<true>(dst, src, count, colour, blend_mode);
  else
    BlendRowMode<false>(dst, src, count, colour, blend_mode);
}

void BlendTexelRow(uint8_t *dst, const uint8_t *src, int32_t dir, int32_t count,
                   const Colour &colour, int32_t blend_mode) {
  if (dir > 0) {
    BlendRow(dst, src, count, colour, blend_mode);
    return;
  }
  // Mirrored: the texels in pixel order, a chunk at a time.
  uint8_t chunk[CHUNK_PIXELS * 4];
  while (count > 0) {
    const int32_t n = count < CHUNK_PIXELS ? count : CHUNK_PIXELS;
    for (int32_t i = 0; i < n; i++) memcpy(chunk + 4 * i, src - 4 * i, 4);
    BlendRow(dst, chunk, n, colour, blend_mode);
    dst += 4 * n, src -= 4 * n, count -= n;
  }
}

void BlendTexelRect(uint8_t *dst, size_t dst_stride, const uint8_t *src, ptrdiff_t src_stride,
                    int32_t dir, int32_t count, int32_t rows, const Colour &colour,
                    int32_t blend_mode) {
#if defined(SOFT_HAVE_AVX2_PATH)
  // The usual sprite: straight alpha, texels to the right, opaque white.
  const bool over = blend_mode < BLEND_ADD || blend_mode > BLEND_PREMULTIPLIED;
  if (have_avx2 && over && dir > 0 && (colour.r & colour.g & colour.b & colour.a) == 255) {
    BlendRectPlainAvx2(dst, dst_stride, src, src_stride, count, rows, colour);
    return;
  }
#endif
  for (; rows > 0; rows--, dst += dst_stride, src += src_stride)
    BlendTexelRow(dst, src, dir, count, colour, blend_mode);
}

void BlendAlignedSpan(const DrawState &st, const TexelMap &map, int64_t x, int64_t y,
                      int64_t count, const Colour &colour) {
  const Surface *texture = st.texture;
  Surface *target = st.target;
  const int64_t tx = map.cx + map.dir_x * x, ty = map.cy + map.dir_y * y;
  BlendTexelRow(target->pixels + (static_cast<size_t>(y) * target->width + x) * 4,
                texture->pixels + (static_cast<size_t>(ty) * texture->width + tx) * 4, map.dir_x,
                static_cast<int32_t>(count), colour, st.blend_mode);
}

}  // namespace soft
