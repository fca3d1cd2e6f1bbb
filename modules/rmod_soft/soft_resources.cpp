// soft_resources.cpp — what rmod_soft hands out to the engine: vertex and index buffers
// in memory, textures made from bitmap pixels, and render-target surfaces.
//
// A texture is a Surface; its address is the handle stored in the bitmap's hardware data
// (hw.texture), with the texture rectangle set to the whole texture (0, 0, 1, 1): the
// texture is exactly the bitmap's pixel buffer, never padded. A bitmap whose logical size
// differs from its pixel buffer (alloc_width x alloc_height, set from a manifest) is
// drawn stretched to its logical size. Buffers are locked by handing out their memory;
// unlocking has nothing to do.
#include <stdlib.h>

#include "soft_renderer.h"

namespace soft {
namespace {

void FillHardware(ZY_BitmapHardware *hw, Surface *texture) {
  hw->on_gpu = 1;
  hw->left = 0.0f;
  hw->top = 0.0f;
  hw->right = 1.0f;
  hw->bottom = 1.0f;
  hw->renderer_data[0] = hw->renderer_data[1] = nullptr;
  hw->texture = texture;
}

// Size of a bitmap's pixel buffer.
void PixelSize(const ZY_Bitmap *bitmap, int32_t *width, int32_t *height) {
  *width = bitmap->width;
  *height = bitmap->height;
  if (bitmap->alloc_width > 0 && bitmap->alloc_height > 0) {
    *width = bitmap->alloc_width;
    *height = bitmap->alloc_height;
  }
}

const char *NameOf(const ZY_Bitmap *bitmap) { return bitmap->name ? bitmap->name : "null"; }

}  // namespace

// --- Textures -------------------------------------------------------------------------

Surface *SoftRenderer::LiveTexture(const void *handle) const {
  if (!handle || !textures_.count(handle)) return nullptr;
  return static_cast<Surface *>(const_cast<void *>(handle));
}

void SoftRenderer::DestroyTexture(Surface *texture) {
  FlushDraws();  // queued draws may read it or draw into it
  textures_.erase(texture);
  for (Surface *&s : stages_)
    if (s == texture) s = nullptr;
  if (target_ == texture) target_ = nullptr;  // drawing falls back to the screen
  SurfaceFree(texture);
}

bool SoftRenderer::LoadBitmapToGpu(ZY_Bitmap *bitmap) {
  if (!bitmap || !bitmap->pixels) return false;
  int32_t width, height;
  PixelSize(bitmap, &width, &height);
  Surface *texture = SurfaceCreate(width, height);
  if (!texture) {
    Log(ZY_LOG_WARNING, "rmod_soft: no %dx%d texture can be made for bitmap '%s'.", width,
        height, NameOf(bitmap));
    return false;
  }
  texture->pack_mode = bitmap->pack_mode;
  SurfaceLoadPixels(texture, reinterpret_cast<const uint8_t *>(bitmap->pixels), width, height,
                    GetPixelOrder() == ZY_PIXEL_ORDER_BGRA);
  if (Surface *old = LiveTexture(bitmap->hw.texture)) DestroyTexture(old);
  textures_.insert(texture);
  FillHardware(&bitmap->hw, texture);
  return true;
}

void SoftRenderer::FreeBitmapFromGpu(ZY_BitmapHardware *hw) {
  if (!hw) return;
  // Frames of a sequence share one texture: the first free destroys it, later ones find
  // nothing left to free.
  if (Surface *texture = LiveTexture(hw->texture)) DestroyTexture(texture);
  hw->texture = nullptr;
  hw->on_gpu = 0;
}

void SoftRenderer::SetTexture(int32_t stage, ZY_BitmapHardware *texture) {
  if (stage < 0 || stage >= TEXTURE_STAGES) return;
  stages_[stage] = texture ? LiveTexture(texture->texture) : nullptr;
}

// --- Render targets -------------------------------------------------------------------

bool SoftRenderer::MakeRenderTarget(ZY_Bitmap *bitmap) {
  Surface *old = LiveTexture(bitmap->hw.texture);
  if (old && old->width == bitmap->width && old->height == bitmap->height) {
    old->render_target = true;  // same size: the contents stay
    FillHardware(&bitmap->hw, old);
    return true;
  }
  Surface *surface = SurfaceCreate(bitmap->width, bitmap->height);  // transparent black
  if (!surface) {
    Log(ZY_LOG_WARNING, "rmod_soft: no %dx%d render target can be made for bitmap '%s'.",
        bitmap->width, bitmap->height, NameOf(bitmap));
    return false;
  }
  surface->render_target = true;
  surface->pack_mode = bitmap->pack_mode;
  if (old) {
    const bool was_target = target_ == old;
    DestroyTexture(old);
    if (was_target) target_ = surface;
  }
  textures_.insert(surface);
  FillHardware(&bitmap->hw, surface);
  return true;
}

void SoftRenderer::UploadBitmap(ZY_Bitmap *bitmap) {
  FlushDraws();
  if (bitmap) MakeRenderTarget(bitmap);
}

void SoftRenderer::RefreshBitmap(ZY_Bitmap *bitmap) {
  if (!bitmap) return;
  FlushDraws();  // queued draws read the texture as it was
  Surface *texture = LiveTexture(bitmap->hw.texture);
  const bool render_target =
      (bitmap->flags & ZY_BITMAP_IS_RENDER_TARGET) || (texture && texture->render_target);
  if (!render_target) {
    if (bitmap->pixels) LoadBitmapToGpu(bitmap);
    return;
  }
  // A render target follows its bitmap's size; pixels in memory, when it has any,
  // become its contents.
  if (!MakeRenderTarget(bitmap) || !bitmap->pixels) return;
  int32_t width, height;
  PixelSize(bitmap, &width, &height);
  SurfaceLoadPixels(LiveTexture(bitmap->hw.texture),
                    reinterpret_cast<const uint8_t *>(bitmap->pixels), width, height,
                    GetPixelOrder() == ZY_PIXEL_ORDER_BGRA);
}

bool SoftRenderer::SetRenderTarget(ZY_Bitmap *bitmap) {
  FlushDraws();  // the old target is finished before anything reads it
  if (!bitmap) {
    target_ = nullptr;
    return true;
  }
  Surface *surface = LiveTexture(bitmap->hw.texture);
  if (!surface) {
    // A render target whose surface is still waiting in the engine's upload queue gets
    // it now; a bitmap that is neither is refused.
    if (!(bitmap->flags & ZY_BITMAP_IS_RENDER_TARGET) || !MakeRenderTarget(bitmap))
      return false;
    surface = LiveTexture(bitmap->hw.texture);
  }
  target_ = surface;
  return true;
}

// --- Vertex and index buffers ---------------------------------------------------------

ZY_VertexBuffer *SoftRenderer::CreateVertexBuffer(int32_t vertex_count) {
  if (vertex_count < 1 || vertex_count > MAX_BUFFER_ELEMENTS) {
    Log(ZY_LOG_WARNING, "rmod_soft: a vertex buffer of %d vertices cannot be made.",
        vertex_count);
    return nullptr;
  }
  ZY_VertexBuffer *b = static_cast<ZY_VertexBuffer *>(calloc(1, sizeof(ZY_VertexBuffer)));
  ZY_Vertex *v = b ? static_cast<ZY_Vertex *>(calloc(vertex_count, sizeof(ZY_Vertex))) : nullptr;
  if (!v) {
    free(b);
    return nullptr;
  }
  b->count = vertex_count;
  b->vertices = v;
  vertex_buffers_.insert(b);
  return b;
}

void SoftRenderer::ReleaseVertexBuffer(ZY_VertexBuffer *buffer) {
  if (!vertex_buffers_.erase(buffer)) return;
  free(buffer->vertices);
  free(buffer);
}

ZY_Vertex *SoftRenderer::LockVertexBuffer(ZY_VertexBuffer *buffer) {
  return vertex_buffers_.count(buffer) ? buffer->vertices : nullptr;
}

void SoftRenderer::UnlockVertexBuffer(ZY_VertexBuffer *) {}

ZY_IndexBuffer *SoftRenderer::CreateIndexBuffer(int32_t index_count) {
  if (index_count < 1 || index_count > MAX_BUFFER_ELEMENTS) {
    Log(ZY_LOG_WARNING, "rmod_soft: an index buffer of %d indices cannot be made.",
        index_count);
    return nullptr;
  }
  ZY_IndexBuffer *b = static_cast<ZY_IndexBuffer *>(calloc(1, sizeof(ZY_IndexBuffer)));
  uint16_t *i = b ? static_cast<uint16_t *>(calloc(index_count, sizeof(uint16_t))) : nullptr;
  if (!i) {
    free(b);
    return nullptr;
  }
  b->count = index_count;
  b->indices = i;
  index_buffers_.insert(b);
  return b;
}

void SoftRenderer::ReleaseIndexBuffer(ZY_IndexBuffer *buffer) {
  if (!index_buffers_.erase(buffer)) return;
  free(buffer->indices);
  free(buffer);
}

uint16_t *SoftRenderer::LockIndexBuffer(ZY_IndexBuffer *buffer) {
  return index_buffers_.count(buffer) ? buffer->indices : nullptr;
}

void SoftRenderer::UnlockIndexBuffer(ZY_IndexBuffer *) {}

}  // namespace soft
