// gl_resources.cpp — what rmod_gl hands out to the engine: vertex and index buffers in
// memory (copied into GL buffers when drawn), textures made from bitmap pixels, and
// render targets (a texture with a framebuffer).
//
// A texture handle (hw.texture) is a Texture *, with the texture rectangle set to the
// whole texture (0, 0, 1, 1): the texture is exactly the bitmap's pixel buffer. Handles
// are looked up before use, so a stale or foreign handle is ignored.
#include <stdlib.h>

#include "gl_renderer.h"

namespace gl {
namespace {

void FillHardware(ZY_BitmapHardware *hw, Texture *texture) {
  hw->on_gpu = 1;
  hw->left = 0.0f;
  hw->top = 0.0f;
  hw->right = 1.0f;
  hw->bottom = 1.0f;
  hw->renderer_data[0] = hw->renderer_data[1] = nullptr;
  hw->texture = texture;
}

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

Texture *GlRenderer::LiveTexture(const void *handle) const {
  if (!handle || !textures_.count(handle)) return nullptr;
  return static_cast<Texture *>(const_cast<void *>(handle));
}

void GlRenderer::DestroyTexture(Texture *texture) {
  if (batch_texture_ == texture) Flush();
  textures_.erase(texture);
  for (Texture *&s : stages_)
    if (s == texture) s = nullptr;
  if (target_ == texture) target_ = nullptr;  // drawing falls back to the screen
  glDeleteFramebuffers(1, &texture->fbo);
  glDeleteTextures(1, &texture->id);
  delete texture;
}

void GlRenderer::UploadPixels(Texture *texture, const uint32_t *pixels, int32_t width,
                              int32_t height, int32_t stride) {
  // Premultiplied, so that filtering weights colours by alpha.
  std::vector<uint8_t> premultiplied(static_cast<size_t>(width) * height * 4);
  uint8_t *out = premultiplied.data();
  for (int32_t y = 0; y < height; y++) {
    const uint8_t *in = reinterpret_cast<const uint8_t *>(pixels + static_cast<size_t>(y) * stride);
    for (int32_t x = 0; x < width; x++, in += 4, out += 4) {
      const uint32_t a = in[3];
      for (int c = 0; c < 3; c++) out[c] = static_cast<uint8_t>((in[c] * a + 127) / 255);
      out[3] = static_cast<uint8_t>(a);
    }
  }
  glBindTexture(GL_TEXTURE_2D, texture->id);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, bgra_ ? GL_BGRA : GL_RGBA,
                  GL_UNSIGNED_BYTE, premultiplied.data());
}

Texture *GlRenderer::NewTexture(int32_t width, int32_t height, const uint32_t *pixels) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  if (width < 1 || height < 1 || width > largest || height > largest) return nullptr;
  Texture *t = new Texture;
  t->width = width;
  t->height = height;
  glGenTextures(1, &t->id);
  glBindTexture(GL_TEXTURE_2D, t->id);
  while (glGetError() != GL_NO_ERROR) {
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  if (glGetError() != GL_NO_ERROR) {  // out of memory
    glDeleteTextures(1, &t->id);
    delete t;
    return nullptr;
  }
  if (pixels) {
    UploadPixels(t, pixels, width, height, width);
  } else {
    std::vector<uint8_t> clear(static_cast<size_t>(width) * height * 4, 0);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
                    clear.data());
  }
  textures_.insert(t);
  return t;
}

bool GlRenderer::BindTarget(Texture *texture) {
  if (!texture->fbo) {
    glGenFramebuffers(1, &texture->fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, texture->fbo);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture->id, 0);
  } else {
    glBindFramebuffer(GL_FRAMEBUFFER, texture->fbo);
  }
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return false;
  glViewport(0, 0, texture->width, texture->height);
  return true;
}

bool GlRenderer::LoadBitmapToGpu(ZY_Bitmap *bitmap) {
  if (!bitmap || !bitmap->pixels || !initialised_) return false;
  int32_t width, height;
  PixelSize(bitmap, &width, &height);
  Texture *texture = NewTexture(width, height, bitmap->pixels);
  if (!texture) {
    Log(ZY_LOG_WARNING, "rmod_gl: no %dx%d texture can be made for bitmap '%s'.", width,
        height, NameOf(bitmap));
    return false;
  }
  texture->pack_mode = bitmap->pack_mode;
  if (Texture *old = LiveTexture(bitmap->hw.texture)) DestroyTexture(old);
  FillHardware(&bitmap->hw, texture);
  return true;
}

void GlRenderer::FreeBitmapFromGpu(ZY_BitmapHardware *hw) {
  if (!hw) return;
  // Frames of a sequence share one texture: the first free destroys it.
  if (Texture *texture = LiveTexture(hw->texture)) DestroyTexture(texture);
  hw->texture = nullptr;
  hw->on_gpu = 0;
}

void GlRenderer::SetTexture(int32_t stage, ZY_BitmapHardware *texture) {
  if (stage < 0 || stage >= TEXTURE_STAGES) return;
  // The staged batch keeps its own texture: a change is seen by the next draw.
  stages_[stage] = texture ? LiveTexture(texture->texture) : nullptr;
}

// --- Render targets -------------------------------------------------------------------

bool GlRenderer::MakeRenderTarget(ZY_Bitmap *bitmap) {
  if (!initialised_) return false;
  Texture *old = LiveTexture(bitmap->hw.texture);
  if (old && old->width == bitmap->width && old->height == bitmap->height) {
    old->render_target = true;  // same size: the contents stay
    FillHardware(&bitmap->hw, old);
    return true;
  }
  Texture *surface = NewTexture(bitmap->width, bitmap->height, nullptr);  // transparent
  if (!surface || !BindTarget(surface)) {
    if (surface) DestroyTexture(surface);
    Log(ZY_LOG_WARNING, "rmod_gl: no %dx%d render target can be made for bitmap '%s'.",
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
  FillHardware(&bitmap->hw, surface);
  return true;
}

void GlRenderer::UploadBitmap(ZY_Bitmap *bitmap) {
  if (bitmap) MakeRenderTarget(bitmap);
}

void GlRenderer::RefreshBitmap(ZY_Bitmap *bitmap) {
  if (!bitmap) return;
  Texture *texture = LiveTexture(bitmap->hw.texture);
  const bool render_target =
      (bitmap->flags & ZY_BITMAP_IS_RENDER_TARGET) || (texture && texture->render_target);
  if (!render_target) {
    if (bitmap->pixels) LoadBitmapToGpu(bitmap);
    return;
  }
  if (!MakeRenderTarget(bitmap) || !bitmap->pixels) return;
  int32_t width, height;
  PixelSize(bitmap, &width, &height);
  const int32_t stride = width;
  Texture *t = LiveTexture(bitmap->hw.texture);
  Flush();
  // Only the part both cover.
  UploadPixels(t, bitmap->pixels, width < t->width ? width : t->width,
               height < t->height ? height : t->height, stride);
}

bool GlRenderer::SetRenderTarget(ZY_Bitmap *bitmap) {
  Texture *surface = bitmap ? LiveTexture(bitmap->hw.texture) : nullptr;
  if (bitmap && !surface) {
    // A render target still waiting in the engine's upload queue gets its surface now.
    if (!(bitmap->flags & ZY_BITMAP_IS_RENDER_TARGET) || !MakeRenderTarget(bitmap))
      return false;
    surface = LiveTexture(bitmap->hw.texture);
  }
  if (surface != target_) Flush();
  target_ = surface;
  return true;
}

// --- Vertex and index buffers ---------------------------------------------------------

ZY_VertexBuffer *GlRenderer::CreateVertexBuffer(int32_t vertex_count) {
  if (vertex_count < 1 || vertex_count > MAX_BUFFER_ELEMENTS) {
    Log(ZY_LOG_WARNING, "rmod_gl: a vertex buffer of %d vertices cannot be made.", vertex_count);
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

void GlRenderer::ReleaseVertexBuffer(ZY_VertexBuffer *buffer) {
  if (!vertex_buffers_.erase(buffer)) return;
  free(buffer->vertices);
  free(buffer);
}

ZY_Vertex *GlRenderer::LockVertexBuffer(ZY_VertexBuffer *buffer) {
  return vertex_buffers_.count(buffer) ? buffer->vertices : nullptr;
}

void GlRenderer::UnlockVertexBuffer(ZY_VertexBuffer *) {}

ZY_IndexBuffer *GlRenderer::CreateIndexBuffer(int32_t index_count) {
  if (index_count < 1 || index_count > MAX_BUFFER_ELEMENTS) {
    Log(ZY_LOG_WARNING, "rmod_gl: an index buffer of %d indices cannot be made.", index_count);
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

void GlRenderer::ReleaseIndexBuffer(ZY_IndexBuffer *buffer) {
  if (!index_buffers_.erase(buffer)) return;
  free(buffer->indices);
  free(buffer);
}

uint16_t *GlRenderer::LockIndexBuffer(ZY_IndexBuffer *buffer) {
  return index_buffers_.count(buffer) ? buffer->indices : nullptr;
}

void GlRenderer::UnlockIndexBuffer(ZY_IndexBuffer *) {}

}  // namespace gl
