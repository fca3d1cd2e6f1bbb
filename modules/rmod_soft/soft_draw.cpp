// soft_draw.cpp — rmod_soft's drawing operations: the engine's vertices through the
// current transform and colour order into device-pixel triangles and lines.
//
// The transform is the 4x4 row-major matrix last given to SetTransform, applied to
// column vectors: x' = m[0] x + m[1] y + m[2] z + m[3], y' = m[4] x + m[5] y + m[6] z + m[7]
// (translation in m[3] and m[7]). The bottom row is not used: drawing is orthographic and
// x', y' are device pixels of the current target.
#include <string.h>

#include "soft_renderer.h"

namespace soft {

DrawState SoftRenderer::MakeDrawState(const Surface *texture) const {
  DrawState st = {};
  st.target = Target();
  if (!st.target) return st;  // not initialised: the empty clip draws nothing
  st.clip = Rect{0, 0, st.target->width, st.target->height};
  if (clip_on_) {
    if (clip_.x0 > st.clip.x0) st.clip.x0 = clip_.x0;
    if (clip_.y0 > st.clip.y0) st.clip.y0 = clip_.y0;
    if (clip_.x1 < st.clip.x1) st.clip.x1 = clip_.x1;
    if (clip_.y1 < st.clip.y1) st.clip.y1 = clip_.y1;
  }
  st.blend_mode = blend_mode_;
  st.bilinear = render_mode_ != RENDER_MODE_NEAREST;
  st.texture = texture;
  st.fast_paths = fast_paths_;
  return st;
}

Colour SoftRenderer::DecodeColour(uint32_t word) const {
  if (bgra_) {  // colour order 0: the bytes in memory are R, G, B, A
    uint8_t b[4];
    memcpy(b, &word, 4);
    return Colour{b[0], b[1], b[2], b[3]};
  }
  return Colour{static_cast<int32_t>((word >> 16) & 255), static_cast<int32_t>((word >> 8) & 255),
                static_cast<int32_t>(word & 255), static_cast<int32_t>(word >> 24)};
}

RasterVertex SoftRenderer::ToRaster(const ZY_Vertex &v) const {
  const double *m = transform_;
  const double x = v.x, y = v.y, z = v.z;
  RasterVertex r;
  r.x = m[0] * x + m[1] * y + m[2] * z + m[3];
  r.y = m[4] * x + m[5] * y + m[6] * z + m[7];
  r.colour = DecodeColour(v.color);
  r.u = v.u;
  r.v = v.v;
  return r;
}

void SoftRenderer::DrawIndexed(ZY_VertexBuffer *vertices, int32_t, ZY_IndexBuffer *indices,
                               int32_t triangle_count) {
  // The vertex count is not needed: indices are checked against the buffer itself (the
  // engine passes 0 for its DrawTriangles path).
  if (!vertex_buffers_.count(vertices) || !index_buffers_.count(indices)) return;
  if (triangle_count > indices->count / 3) triangle_count = indices->count / 3;
  const DrawState st = MakeDrawState(stages_[0]);
  if (!st.target) return;
  const uint16_t *idx = indices->indices;
  const int32_t count = vertices->count;
  const ZY_Vertex *vx = vertices->vertices;
  for (int32_t t = 0; t < triangle_count; t++, idx += 3) {
    if (idx[0] >= count || idx[1] >= count || idx[2] >= count)
      continue;  // an index past the buffer skips its triangle
    // The engine's quads come as the triangle pair a, b, c and b, c, d.
    if (t + 1 < triangle_count && idx[3] == idx[1] && idx[4] == idx[2] && idx[5] < count) {
      FillQuad(st, ToRaster(vx[idx[0]]), ToRaster(vx[idx[1]]), ToRaster(vx[idx[2]]),
               ToRaster(vx[idx[5]]));
      t++, idx += 3;
      continue;
    }
    FillTriangle(st, ToRaster(vx[idx[0]]), ToRaster(vx[idx[1]]), ToRaster(vx[idx[2]]));
  }
}

void SoftRenderer::DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) {
  if (!a || !b) return;
  const DrawState st = MakeDrawState(nullptr);
  soft::DrawLine(st, ToRaster(*a), ToRaster(*b));
}

void SoftRenderer::Forward3(int32_t command, float, int32_t argument) {
  // Command 0 clears the current target (inside the clip rectangle) to the colour word
  // in `argument`; the value (a depth to clear to) has no use without a depth buffer.
  // Other commands are ignored.
  if (command != 0) return;
  const DrawState st = MakeDrawState(nullptr);
  if (st.target) SurfaceFill(st.target, st.clip, DecodeColour(static_cast<uint32_t>(argument)));
}

}  // namespace soft
