// gl_draw.cpp — rmod_gl's drawing: the staged batch, indexed triangles, lines, shaded
// quads and clears.
//
// DrawIndexed does not draw at once. It copies the vertices its indices use and the
// indices themselves (rebased, 32-bit) into the staged batch; every operation that
// changes what a draw looks like (texture of stage 0, blend or render mode, transform,
// clip, target) flushes the batch first, as do lines, shaded quads, clears, the end of
// the frame and read-backs. So the engine's 64-quad flushes of one texture and state
// become a single GL draw call.
#include <string.h>

#include "gl_renderer.h"

namespace gl {
namespace {

struct BlendFunction {
  GLenum colour_src, colour_dst, alpha_src, alpha_dst;
  int output;  // u_output of gl_programs.cpp
};

// How each blend mode is done onto the screen (straight colour) and onto a render target
// (premultiplied colour), giving rmod_soft's formulas.
BlendFunction BlendFor(int32_t mode, bool premultiplied_target) {
  const int colour = premultiplied_target ? 1 : 0;
  // Straight colour is weighted by alpha in the blend; premultiplied output already is.
  const GLenum src = premultiplied_target ? GL_ONE : GL_SRC_ALPHA;
  switch (mode) {
    case BLEND_ADD:
      return {src, GL_ONE, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, colour};
    case BLEND_MULTIPLY:
      return {GL_ZERO, GL_SRC_COLOR, GL_ZERO, GL_ONE, 2};
    case BLEND_REPLACE:
      return {GL_ONE, GL_ZERO, GL_ONE, GL_ZERO, colour};
    case BLEND_PREMULTIPLIED:
      return {GL_ONE, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, 0};
    default:
      return {src, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE_MINUS_SRC_ALPHA, colour};
  }
}

int32_t EffectOf(const ZY_Shader *shader) {
  const char *name = shader && shader->name ? shader->name : "";
  if (!strcmp(name, "greyscale")) return EFFECT_GREYSCALE;
  if (!strcmp(name, "tint")) return EFFECT_TINT;
  return EFFECT_PLAIN;  // "plain", and any name this renderer does not know
}

}  // namespace

bool GlRenderer::ApplyState(const Texture *texture, bool line, int32_t effect) {
  Texture *target = Target();
  if (!initialised_ || !target || !BindTarget(target)) return false;
  if (clip_on_) {
    // The clip inside the target (GL wants a non-negative size).
    const int32_t x0 = clip_[0] > 0 ? clip_[0] : 0, y0 = clip_[1] > 0 ? clip_[1] : 0;
    const int32_t x1 = clip_[2] < target->width ? clip_[2] : target->width;
    const int32_t y1 = clip_[3] < target->height ? clip_[3] : target->height;
    glEnable(GL_SCISSOR_TEST);
    glScissor(x0, y0, x1 > x0 ? x1 - x0 : 0, y1 > y0 ? y1 - y0 : 0);
  } else {
    glDisable(GL_SCISSOR_TEST);
  }
  const BlendFunction b = BlendFor(blend_mode_, target->render_target);
  glEnable(GL_BLEND);
  glBlendEquation(GL_FUNC_ADD);
  glBlendFuncSeparate(b.colour_src, b.colour_dst, b.alpha_src, b.alpha_dst);
  const Programs &p = programs_;
  glUseProgram(p.program);
  glUniformMatrix4fv(p.transform, 1, GL_TRUE, transform_);
  glUniform2f(p.target, static_cast<float>(target->width), static_cast<float>(target->height));
  glUniform1i(p.snap, line ? 1 : 0);
  glUniform1i(p.argb, bgra_ ? 0 : 1);
  glUniform1i(p.textured, texture ? 1 : 0);
  glUniform1i(p.output, b.output);
  glUniform1i(p.effect, effect);
  glUniform3fv(p.params, 1, shader_params_);
  glUniform1i(p.texture, 0);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, texture ? texture->id : 0);
  // Transparent beyond the edges for ZY_PACK_PAD_TRANSPARENT, the edge texels otherwise.
  const bool border = texture && texture->pack_mode == ZY_PACK_PAD_TRANSPARENT;
  glBindSampler(0, samplers_[render_mode_ != 0][border]);
  return true;
}

void GlRenderer::Submit(const ZY_Vertex *vertices, size_t vertex_count, const uint32_t *indices,
                        size_t index_count, GLenum primitive) {
  glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBufferData(GL_ARRAY_BUFFER, vertex_count * sizeof(ZY_Vertex), vertices, GL_STREAM_DRAW);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, index_count * sizeof(uint32_t), indices, GL_STREAM_DRAW);
  glDrawElements(primitive, static_cast<GLsizei>(index_count), GL_UNSIGNED_INT, nullptr);
  draw_calls_++;
}

void GlRenderer::Flush() {
  if (batch_indices_.empty()) return;
  if (ApplyState(batch_texture_, false, EFFECT_PLAIN))
    Submit(batch_vertices_.data(), batch_vertices_.size(), batch_indices_.data(),
           batch_indices_.size(), GL_TRIANGLES);
  batch_vertices_.clear();
  batch_indices_.clear();
  batch_texture_ = nullptr;
}

void GlRenderer::DrawIndexed(ZY_VertexBuffer *vertices, int32_t, ZY_IndexBuffer *indices,
                             int32_t triangle_count) {
  // The vertex count is not needed: indices are checked against the buffer itself (the
  // engine passes 0 for its DrawTriangles path); a triangle with an index past the
  // buffer is skipped.
  if (!initialised_ || !vertex_buffers_.count(vertices) || !index_buffers_.count(indices)) return;
  if (triangle_count > indices->count / 3) triangle_count = indices->count / 3;
  if (triangle_count <= 0) return;
  if (!batch_indices_.empty() && batch_texture_ != stages_[0]) Flush();
  batch_texture_ = stages_[0];
  const uint16_t *idx = indices->indices;
  int32_t used = 0;  // vertices 0..used-1 are referenced
  for (int32_t i = 0; i < triangle_count * 3; i++)
    if (idx[i] < vertices->count && idx[i] >= used) used = idx[i] + 1;
  const uint32_t base = static_cast<uint32_t>(batch_vertices_.size());
  batch_vertices_.insert(batch_vertices_.end(), vertices->vertices, vertices->vertices + used);
  for (int32_t t = 0; t < triangle_count; t++, idx += 3) {
    if (idx[0] >= vertices->count || idx[1] >= vertices->count || idx[2] >= vertices->count)
      continue;
    batch_indices_.push_back(base + idx[0]);
    batch_indices_.push_back(base + idx[1]);
    batch_indices_.push_back(base + idx[2]);
  }
}

void GlRenderer::DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) {
  if (!a || !b || !initialised_) return;
  Flush();
  const ZY_Vertex ends[2] = {*a, *b};
  const uint32_t order[2] = {0, 1};
  if (ApplyState(nullptr, true, EFFECT_PLAIN)) Submit(ends, 2, order, 2, GL_LINES);
}

void GlRenderer::DrawShaded(ZY_Bitmap *bitmap, const ZY_Vertex *vertices) {
  // Four vertices top-left, top-right, bottom-left, bottom-right, with the bitmap's
  // texture (stage 0's without a bitmap) and the current shader's effect.
  if (!vertices || !initialised_) return;
  const Texture *texture = bitmap ? LiveTexture(bitmap->hw.texture) : stages_[0];
  if (bitmap && !texture) return;  // not on the GPU: nothing to draw
  Flush();
  const uint32_t quad[6] = {0, 1, 2, 1, 2, 3};
  if (ApplyState(texture, false, EffectOf(shader_))) Submit(vertices, 4, quad, 6, GL_TRIANGLES);
}

void GlRenderer::Forward3(int32_t command, float, int32_t argument) {
  // Command 0 clears the current target (inside the clip rectangle) to the colour word
  // in `argument`; the depth value has no use without a depth buffer. Others are ignored.
  if (command != 0 || !initialised_) return;
  Flush();
  if (!ApplyState(nullptr, false, EFFECT_PLAIN)) return;
  const uint32_t word = static_cast<uint32_t>(argument);
  uint8_t c[4];  // R, G, B, A
  if (bgra_) {
    memcpy(c, &word, 4);
  } else {
    c[0] = (word >> 16) & 255, c[1] = (word >> 8) & 255, c[2] = word & 255, c[3] = word >> 24;
  }
  const float a = c[3] / 255.0f;
  const float scale = Target()->render_target ? a : 1.0f;  // targets keep premultiplied colour
  glClearColor(c[0] / 255.0f * scale, c[1] / 255.0f * scale, c[2] / 255.0f * scale, a);
  glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace gl
