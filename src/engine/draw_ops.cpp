// draw_ops.cpp — the quad drawing operations: where each one puts the four corners of
// its quad, which texture coordinates they get and which colour.
//
// Every operation starts from the quad template (the current depth and colour in all
// four vertices, top-left, top-right, bottom-left, bottom-right), fills in positions
// and texture coordinates and hands the quad to the batcher. An operation that takes a
// bitmap draws nothing unless the bitmap is ready and on the GPU; its texture
// coordinates come from the bitmap's texture rectangle (left u, top v, right u,
// bottom v), which the renderer filled when it uploaded the bitmap.
#include <math.h>
#include <string.h>

#include "base/state.h"
#include "engine/draw_internal.h"

namespace {

// The quad template: current depth and colour in four vertices.
void FromTemplate(ZY_Vertex q[4]) { memcpy(q, zy::draw.quad, 4 * sizeof(ZY_Vertex)); }

void Put(ZY_Vertex &v, float x, float y, float u, float tv) {
  v.x = x;
  v.y = y;
  v.u = u;
  v.v = tv;
}

// Texture rectangle corners on the quad: TL (left, top), TR (right, top), BL (left,
// bottom), BR (right, bottom).
void TextureCorners(ZY_Vertex q[4], float left, float top, float right, float bottom) {
  q[0].u = left;
  q[0].v = top;
  q[1].u = right;
  q[1].v = top;
  q[2].u = left;
  q[2].v = bottom;
  q[3].u = right;
  q[3].v = bottom;
}

// 1 / sqrt(d) from the bits of the float: the magic constant 0x5F3759DF minus half the
// bit pattern gives a first guess that one Newton step refines to about 0.2 %. The
// result is part of what ZY_DrawBitmapLine draws, so it is computed exactly this way.
float InverseSquareRoot(float d) {
  uint32_t bits;
  memcpy(&bits, &d, sizeof bits);
  bits = 0x5F3759DFu - (bits >> 1);
  float n;
  memcpy(&n, &bits, sizeof n);
  return n * (1.5f - 0.5f * d * n * n);
}

}  // namespace

bool ZYI_BitmapDrawable(const ZY_Bitmap *bitmap) {
  return bitmap && bitmap->state == ZY_BITMAP_STATE_READY && bitmap->hw.on_gpu;
}

void ZY_DrawBitmap(ZY_Bitmap *bitmap, float x, float y) {
  if (zy::draw.alpha <= 0.0f || !ZYI_BitmapDrawable(bitmap)) return;
  const ZY_BitmapHardware &hw = bitmap->hw;
  float w = (float)bitmap->width, h = (float)bitmap->height;
  ZY_Vertex q[4];
  FromTemplate(q);
  Put(q[0], x, y, hw.left, hw.top);
  Put(q[1], x + w, y, hw.right, hw.top);
  Put(q[2], x, y + h, hw.left, hw.bottom);
  Put(q[3], x + w, y + h, hw.right, hw.bottom);
  ZYI_DrawAddQuad(q, &bitmap->hw);
}

bool ZYI_BitmapExQuad(ZY_Bitmap *bitmap, float x, float y, float angle, float scale,
                      ZY_Vertex q[4]) {
  if (!ZYI_BitmapDrawable(bitmap)) return false;
  // An odd size has no pixel-exact centre: the quad moves half a (scaled) pixel up or
  // left so that its pixels stay on the grid.
  float cx = (bitmap->width & 1) ? x - scale / 2.0f : x;
  float cy = (bitmap->height & 1) ? y - scale / 2.0f : y;
  float h = (float)bitmap->width * scale / 2.0f;
  float k = (float)bitmap->height * scale / 2.0f;
  float s = sinf(angle), c = cosf(angle);
  const float dx[4] = {-h, h, -h, h};
  const float dy[4] = {-k, -k, k, k};
  FromTemplate(q);
  for (int i = 0; i < 4; i++) {
    q[i].x = cx + dx[i] * c - dy[i] * s;
    q[i].y = cy + dx[i] * s + dy[i] * c;
  }
  const ZY_BitmapHardware &hw = bitmap->hw;
  TextureCorners(q, hw.left, hw.top, hw.right, hw.bottom);
  return true;
}

void ZY_DrawBitmapEx(ZY_Bitmap *bitmap, float x, float y, float angle, float scale) {
  ZY_Vertex q[4];
  if (ZYI_BitmapExQuad(bitmap, x, y, angle, scale, q)) ZYI_DrawAddQuad(q, &bitmap->hw);
}

void ZY_DrawBitmapLine(ZY_Bitmap *bitmap, const ZY_Point *a, const ZY_Point *b, float width_a,
                       float width_b, const ZY_ColorF *color_a, const ZY_ColorF *color_b) {
  if (!ZYI_BitmapDrawable(bitmap) || !a || !b || !color_a || !color_b) return;
  float ex = a->x - b->x, ey = a->y - b->y;
  float n = InverseSquareRoot(ex * ex + ey * ey);
  float nx = -ey * n, ny = ex * n;  // unit normal of the segment
  float ha = width_a / 2.0f, hb = width_b / 2.0f;
  ZY_Vertex q[4];
  FromTemplate(q);
  q[0].x = a->x - nx * ha;
  q[0].y = a->y - ny * ha;
  q[1].x = a->x + nx * ha;
  q[1].y = a->y + ny * ha;
  q[2].x = b->x - nx * hb;
  q[2].y = b->y - ny * hb;
  q[3].x = b->x + nx * hb;
  q[3].y = b->y + ny * hb;
  // The end colours are written in the renderer's colour order, like every other colour.
  q[0].color = q[1].color = ZYI_DrawColorWord(color_a->r, color_a->g, color_a->b, color_a->a);
  q[2].color = q[3].color = ZYI_DrawColorWord(color_b->r, color_b->g, color_b->b, color_b->a);
  const ZY_BitmapHardware &hw = bitmap->hw;
  TextureCorners(q, hw.left, hw.top, hw.right, hw.bottom);
  ZYI_DrawAddQuad(q, &bitmap->hw);
}

void ZY_DrawBitmapPart(ZY_Bitmap *bitmap, float x, float y, float left, float top, float right,
                       float bottom) {
  if (!ZYI_BitmapDrawable(bitmap)) return;
  // A ready bitmap of no size has nothing to show (and would divide by zero).
  if (bitmap->width <= 0 || bitmap->height <= 0) return;
  const ZY_BitmapHardware &hw = bitmap->hw;
  float fw = (float)bitmap->width, fh = (float)bitmap->height;
  float du = hw.right - hw.left, dv = hw.bottom - hw.top;
  float u0 = hw.left + left / fw * du, u1 = hw.left + right / fw * du;
  float v0 = hw.top + top / fh * dv, v1 = hw.top + bottom / fh * dv;
  float w = right - left, h = bottom - top;
  ZY_Vertex q[4];
  FromTemplate(q);
  Put(q[0], x, y, u0, v0);
  Put(q[1], x + w, y, u1, v0);
  Put(q[2], x, y + h, u0, v1);
  Put(q[3], x + w, y + h, u1, v1);
  ZYI_DrawAddQuad(q, &bitmap->hw);
}

void ZY_DrawRect(float x, float y, float width, float height) {
  if (zy::draw.alpha <= 0.0f) return;
  ZY_Vertex q[4];
  FromTemplate(q);
  Put(q[0], x, y, 0.5f, 0.5f);
  Put(q[1], x + width, y, 0.5f, 0.5f);
  Put(q[2], x, y + height, 0.5f, 0.5f);
  Put(q[3], x + width, y + height, 0.5f, 0.5f);
  ZYI_DrawAddQuad(q, nullptr);
}

void ZY_DrawQuad(ZY_Bitmap *bitmap, const ZY_Vertex vertices[4]) {
  if (!vertices || (bitmap && !ZYI_BitmapDrawable(bitmap))) return;
  ZY_Vertex q[4];
  memcpy(q, vertices, sizeof q);
  // The program writes 0xAARRGGBB words; a renderer that wants bytes R, G, B, A gets
  // red and blue swapped.
  if (!ZYI_DrawArgbWords())
    for (int i = 0; i < 4; i++) q[i].color = ZYI_DrawSwapRedBlue(q[i].color);
  if (bitmap) {
    // The program's 0..1 coordinates address the bitmap within its texture rectangle.
    const ZY_BitmapHardware &hw = bitmap->hw;
    for (int i = 0; i < 4; i++) {
      q[i].u = hw.left + q[i].u * (hw.right - hw.left);
      q[i].v = hw.top + q[i].v * (hw.bottom - hw.top);
    }
  }
  ZYI_DrawAddQuad(q, bitmap ? &bitmap->hw : nullptr);
}
