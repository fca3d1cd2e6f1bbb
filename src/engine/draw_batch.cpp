// draw_batch.cpp — the quad batcher: the renderer's vertex and index buffers, adding
// quads, flushing, the overdraw view, and the two kinds of drawing that bypass the batch
// (indexed triangles and lines).
//
// The renderer gives 32 vertex buffers of 256 vertices. One of them is always locked and
// its vertices are written directly, 4 per quad; a flush unlocks it, binds the batch's
// texture, draws quads x 2 triangles through the shared quad index buffer and moves on
// to the next buffer in the ring, so the renderer never waits for a buffer still in use.
// A batch holds at most 64 quads of one texture: a different texture, a full batch or
// any state change draws what is collected first.
#include <string.h>

#include "config/config.h"
#include "base/engine_table.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/draw_internal.h"
#include "engine/modules.h"

namespace {

// Vertices of every batched quad while the overdraw view is on: bytes 255, 255, 255, 25
// (white at alpha 25), the same word in both colour orders.
const uint32_t OVERDRAW_COLOR = 0x19FFFFFFu;

// Moves to the next vertex buffer of the ring and locks it; the batch is then empty.
void NextVertexBuffer(RendImp *r) {
  ZyDraw &d = zy::draw;
  d.buffer_index = (d.buffer_index + 1) % ZYI_DRAW_VERTEX_BUFFERS;
  d.write = r->LockVertexBuffer(d.vertex_buffers[d.buffer_index]);
  d.quads = 0;
}

// The renderer-thread rule: in developer mode only the main thread may draw.
bool FlushAllowed(void) {
  if (zy::config.developer_mode && !ZY_IsMainThread()) {
    ZY_Popup(ZY_LOG_WARNING, "Call to Flush from non-renderer thread.");
    return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Buffers
// ---------------------------------------------------------------------------------

bool ZYI_DrawCreateBuffers(void) {
  ZyDraw &d = zy::draw;
  RendImp *r = ZYI_Renderer();
  if (!r) return false;
  if (d.quad_indices || d.triangle_indices || d.vertex_buffers[0]) ZYI_DrawReleaseBuffers();

  bool complete = true;
  for (int i = 0; i < ZYI_DRAW_VERTEX_BUFFERS; i++) {
    d.vertex_buffers[i] = r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES);
    if (!d.vertex_buffers[i]) complete = false;
  }
  d.quad_indices = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
  if (d.quad_indices) {
    uint16_t *index = r->LockIndexBuffer(d.quad_indices);
    if (index) {
      for (int q = 0; q < ZYI_DRAW_BATCH_QUADS; q++) {
        uint16_t base = (uint16_t)(4 * q);
        uint16_t *six = index + 6 * q;
        six[0] = base;
        six[1] = (uint16_t)(base + 1);
        six[2] = (uint16_t)(base + 2);
        six[3] = (uint16_t)(base + 1);
        six[4] = (uint16_t)(base + 2);
        six[5] = (uint16_t)(base + 3);
      }
      r->UnlockIndexBuffer(d.quad_indices);
    } else {
      complete = false;
    }
  } else {
    complete = false;
  }
  d.triangle_indices = r->CreateIndexBuffer(ZY_TRIANGLE_INDEX_COUNT);
  if (!d.triangle_indices) complete = false;

  d.buffer_index = 0;
  d.quads = 0;
  d.texture = nullptr;
  d.blend_mode = 0;
  d.render_mode = 1;
  d.write = complete ? r->LockVertexBuffer(d.vertex_buffers[0]) : nullptr;
  if (!d.write) {
    // Without every buffer nothing can be drawn safely; give back what was made.
    ZY_Log(ZY_LOG_ERROR, "Unable to create the vertex and index buffers for drawing.");
    ZYI_DrawReleaseBuffers();
    return false;
  }
  return true;
}

void ZYI_DrawReleaseBuffers(void) {
  ZyDraw &d = zy::draw;
  RendImp *r = ZYI_Renderer();
  if (r) {
    if (d.write) r->UnlockVertexBuffer(d.vertex_buffers[d.buffer_index]);
    for (int i = 0; i < ZYI_DRAW_VERTEX_BUFFERS; i++)
      if (d.vertex_buffers[i]) r->ReleaseVertexBuffer(d.vertex_buffers[i]);
    if (d.quad_indices) r->ReleaseIndexBuffer(d.quad_indices);
    if (d.triangle_indices) r->ReleaseIndexBuffer(d.triangle_indices);
  }
  memset(d.vertex_buffers, 0, sizeof d.vertex_buffers);
  d.quad_indices = d.triangle_indices = nullptr;
  d.write = nullptr;
  d.buffer_index = 0;
  d.quads = 0;
  d.texture = nullptr;
}

void ZYI_DrawBeginPass(void) {
  ZyDraw &d = zy::draw;
  d.quads = 0;
  d.texture = nullptr;
  d.blend_mode = ZYI_DRAW_MODE_UNSET;
  d.render_mode = ZYI_DRAW_MODE_UNSET;
}

// ---------------------------------------------------------------------------------
// Batching
// ---------------------------------------------------------------------------------

bool ZYI_DrawOverdrawOn(void) {
  return zy::config.developer_mode && ZYI_DeveloperKeyHeld(ZY_KEY_F9);
}

void ZYI_Flush(void) {
  if (!FlushAllowed()) return;
  ZyDraw &d = zy::draw;
  if (d.quads <= 0) return;
  RendImp *r = ZYI_Renderer();
  if (!r || !d.write) {
    d.quads = 0;
    return;
  }
  zy::core.triangles += 2 * d.quads;
  zy::core.batches += 1;
  if (ZYI_DrawOverdrawOn())
    for (int i = 0; i < d.quads * 4; i++) d.write[i].color = OVERDRAW_COLOR;

  ZY_VertexBuffer *vb = d.vertex_buffers[d.buffer_index];
  r->UnlockVertexBuffer(vb);
  r->SetTexture(0, d.texture);
  r->DrawIndexed(vb, d.quads * 4, d.quad_indices, d.quads * 2);
  NextVertexBuffer(r);
}

bool ZYI_DrawUseTexture(ZY_BitmapHardware *texture) {
  ZyDraw &d = zy::draw;
  if (ZYI_DrawOverdrawOn()) texture = nullptr;
  if (texture == d.texture) return true;
  ZYI_Flush();
  // A refused flush leaves quads of the old texture behind: they must not be drawn
  // with another one.
  if (d.quads > 0) return false;
  d.texture = texture;
  RendImp *r = ZYI_Renderer();
  if (r) r->SetTexture(0, texture);
  return true;
}

void ZYI_DrawAddQuad(ZY_Vertex quad[4], ZY_BitmapHardware *texture) {
  ZyDraw &d = zy::draw;
  if (d.hook_first < d.hook_count) ZYI_DrawApplyHooks(quad, 4);
  if (!ZYI_DrawUseTexture(texture)) return;
  // No buffers (no renderer yet), or a full batch whose flush was refused: the quad
  // has nowhere to go.
  if (!d.write || d.quads >= ZYI_DRAW_BATCH_QUADS) return;
  memcpy(d.write + 4 * d.quads, quad, 4 * sizeof(ZY_Vertex));
  if (++d.quads == ZYI_DRAW_BATCH_QUADS) ZYI_Flush();
}

// ---------------------------------------------------------------------------------
// Drawing outside the batch
// ---------------------------------------------------------------------------------

void ZY_DrawTriangles(ZY_Bitmap *bitmap, const ZY_Vertex *vertices, int32_t vertex_count,
                      const uint16_t *indices, int32_t index_count) {
  if (bitmap && !ZYI_BitmapDrawable(bitmap)) return;
  ZyDraw &d = zy::draw;
  ZYI_Flush();
  if (!ZYI_DrawUseTexture(bitmap ? &bitmap->hw : nullptr)) return;
  if (vertex_count > ZYI_DRAW_TRIANGLE_VERTICES) {
    ZY_Popup(ZY_LOG_WARNING,
             "Too many vertices (%d) for DrawTriangles call. Maximum is %d. Not drawing "
             "anything for this call.",
             vertex_count, ZYI_DRAW_TRIANGLE_VERTICES);
    return;
  }
  if (index_count > ZY_TRIANGLE_INDEX_COUNT) {
    ZY_Popup(ZY_LOG_WARNING,
             "Too many indices (%d) for DrawTriangles call. Maximum is %d. Not drawing "
             "anything for this call.",
             index_count, ZY_TRIANGLE_INDEX_COUNT);
    return;
  }
  if (vertex_count <= 0 || index_count < 3 || !vertices || !indices) return;
  // An index past the vertices given would make the renderer read stale or foreign
  // vertex data.
  for (int32_t i = 0; i < index_count; i++) {
    if (indices[i] >= vertex_count) {
      ZY_Popup(ZY_LOG_WARNING,
               "Index %d out of range (%d vertices) for DrawTriangles call. Not drawing "
               "anything for this call.",
               (int)indices[i], vertex_count);
      return;
    }
  }
  RendImp *r = ZYI_Renderer();
  // The vertices go to the start of the current buffer, which must be empty (a flush
  // refused on another thread keeps its quads there).
  if (!r || !d.write || d.quads > 0) return;

  uint16_t *target = r->LockIndexBuffer(d.triangle_indices);
  if (!target) return;
  memcpy(target, indices, sizeof(uint16_t) * (size_t)index_count);
  r->UnlockIndexBuffer(d.triangle_indices);
  memcpy(d.write, vertices, sizeof(ZY_Vertex) * (size_t)vertex_count);
  // The program writes 0xAARRGGBB words, as for ZY_DrawQuad: a renderer that wants bytes
  // R, G, B, A gets red and blue swapped.
  if (!ZYI_DrawArgbWords())
    for (int32_t i = 0; i < vertex_count; i++)
      d.write[i].color = ZYI_DrawSwapRedBlue(d.write[i].color);

  // Drawn like a batch: from an unlocked buffer, with the real vertex count, and the
  // ring moves on so the next batch does not overwrite vertices still being drawn.
  ZY_VertexBuffer *vb = d.vertex_buffers[d.buffer_index];
  r->UnlockVertexBuffer(vb);
  r->DrawIndexed(vb, vertex_count, d.triangle_indices, index_count / 3);
  zy::core.triangles += index_count / 3;
  zy::core.batches += 1;
  NextVertexBuffer(r);
}

// Lines are drawn at once with the texture stage cleared.
static void DrawLineNow(const ZY_Vertex *a, const ZY_Vertex *b) {
  ZyDraw &d = zy::draw;
  ZYI_Flush();
  if (d.quads == 0) d.texture = nullptr;  // else the batch keeps its texture for later
  RendImp *r = ZYI_Renderer();
  if (!r) return;
  r->SetTexture(0, nullptr);
  r->DrawLine(a, b);
}

void ZY_DrawLine(float x1, float y1, float x2, float y2) {
  const ZyDraw &d = zy::draw;
  ZY_Vertex v[2];
  memset(v, 0, sizeof v);
  v[0].x = x1;
  v[0].y = y1;
  v[1].x = x2;
  v[1].y = y2;
  v[0].z = v[1].z = d.depth;
  v[0].color = v[1].color = d.color;
  DrawLineNow(&v[0], &v[1]);
}

void ZY_DrawLineVertices(const ZY_Vertex vertices[2]) {
  if (!vertices) return;
  ZY_Vertex v[2] = {vertices[0], vertices[1]};
  // Colours come as 0xAARRGGBB words, converted for the renderer like ZY_DrawQuad's.
  if (!ZYI_DrawArgbWords())
    for (ZY_Vertex &each : v) each.color = ZYI_DrawSwapRedBlue(each.color);
  DrawLineNow(&v[0], &v[1]);
}
