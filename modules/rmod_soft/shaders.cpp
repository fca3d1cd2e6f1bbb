// shaders.cpp — rmod_soft's shaders: a few per-texel effects chosen by the shader's name.
//
// DrawShaded draws one quad like a batched textured quad, but with the current shader's
// effect applied to the texture's colours before they are sampled and multiplied by the
// vertex colour. The effects are linear in the colour channels, so applying them to the
// texels first gives the colours a per-pixel shader would (up to rounding and to tint
// factors above 1, which saturate per texel). Alpha is never changed.
//
//   "plain"      the texture as it is (also any name this module does not know)
//   "greyscale"  parameter a (0..1, default 1) mixes towards the luma 0.299R+0.587G+0.114B
//   "tint"       multiplies R, G and B by parameters a, b and c (default 1; negative as 0)
//
// Parameters are set with SetShaderParameter(index, value, data): index 0 is a, 1 is b,
// 2 is c (data is not used). They stay until set again or the renderer is initialised.
#include <math.h>
#include <string.h>

#include "soft_renderer.h"

namespace soft {

namespace {

ShaderEffect EffectOf(const ZY_Shader *shader) {
  if (!shader || !shader->name) return ShaderEffect::PLAIN;
  if (strcmp(shader->name, "greyscale") == 0) return ShaderEffect::GREYSCALE;
  if (strcmp(shader->name, "tint") == 0) return ShaderEffect::TINT;
  return ShaderEffect::PLAIN;
}

// A factor as 16.16 fixed point, clamped to 0..limit.
int32_t Fixed(float value, float limit) {
  if (!(value > 0)) return 0;  // negative and not-a-number
  if (value > limit) value = limit;
  return (int32_t)lrintf(value * 65536.0f);
}

uint8_t Saturate(int64_t fixed) {
  int64_t v = (fixed + 32768) >> 16;
  return (uint8_t)(v > 255 ? 255 : v);
}

}  // namespace

void SoftRenderer::ResetShaders() {
  effect_ = ShaderEffect::PLAIN;
  for (float &p : shader_params_) p = 1.0f;
}

void SoftRenderer::CreateShader(ZY_Shader *) {}  // effects are found by name when set

void SoftRenderer::SetShader(ZY_Shader *shader) { effect_ = EffectOf(shader); }

void SoftRenderer::SetShaderParameter(int32_t index, float value, const void *) {
  if (index >= 0 && index < 3) shader_params_[index] = value;
}

const Surface *SoftRenderer::ShadedTexture(const Surface *texture) {
  if (!texture || effect_ == ShaderEffect::PLAIN) return texture;
  const size_t bytes = (size_t)texture->width * (size_t)texture->height * 4;
  shaded_texels_.resize(bytes);
  shaded_ = *texture;
  shaded_.pixels = shaded_texels_.data();
  const uint8_t *src = texture->pixels;
  uint8_t *dst = shaded_.pixels;
  if (effect_ == ShaderEffect::GREYSCALE) {
    // c + a (luma - c), with the luma weights in 16.16 (they sum to exactly 1.0).
    const int64_t a = Fixed(shader_params_[0], 1.0f), wr = 19595, wg = 38470, wb = 7471;
    for (size_t i = 0; i < bytes; i += 4) {
      const int64_t luma = wr * src[i] + wg * src[i + 1] + wb * src[i + 2];  // 16.16
      for (int c = 0; c < 3; c++) {
        const int64_t own = (int64_t)src[i + c] << 16;
        dst[i + c] = Saturate(own + ((luma - own) * a >> 16));
      }
      dst[i + 3] = src[i + 3];
    }
  } else {
    // Factors up to 256 keep the products inside 64 bits; anything larger saturates.
    const int64_t k[3] = {Fixed(shader_params_[0], 256.0f), Fixed(shader_params_[1], 256.0f),
                          Fixed(shader_params_[2], 256.0f)};
    for (size_t i = 0; i < bytes; i += 4) {
      for (int c = 0; c < 3; c++) dst[i + c] = Saturate(k[c] * src[i + c]);
      dst[i + 3] = src[i + 3];
    }
  }
  return &shaded_;
}

void SoftRenderer::DrawShaded(ZY_Bitmap *bitmap, const ZY_Vertex *vertices) {
  // Four vertices top-left, top-right, bottom-left, bottom-right, drawn as the two
  // triangles of a quad with the bitmap's texture (stage 0's without a bitmap).
  if (!vertices) return;
  const Surface *texture = bitmap ? LiveTexture(bitmap->hw.texture) : stages_[0];
  if (bitmap && !texture) return;  // not on the GPU: nothing to draw
  const DrawState st = MakeDrawState(ShadedTexture(texture));
  if (!st.target) return;
  const RasterVertex q[4] = {ToRaster(vertices[0]), ToRaster(vertices[1]), ToRaster(vertices[2]),
                             ToRaster(vertices[3])};
  FillQuad(st, q[0], q[1], q[2], q[3]);
}

}  // namespace soft
