// soft_renderer.h — the RendImp object of rmod_soft and the buffers it hands out.
//
// One SoftRenderer exists per loaded module. Its operations are spread over four files:
// soft_module.cpp (lifecycle, frames, state, queries and the entry point),
// soft_resources.cpp (vertex and index buffers, textures, render targets),
// soft_draw.cpp (indexed triangles, lines, clears) and shaders.cpp (shaded quads and
// their effects). Every operation runs on the main thread (SupportsBackgroundUpload
// answers false).
//
// Handles given to the engine (buffers, textures) are remembered in sets and looked up
// before use, so a handle that was already freed, or never came from this module, is
// ignored instead of being dereferenced.
#pragma once

#include <stdarg.h>

#include <unordered_set>
#include <vector>

#include "soft_internal.h"
#include "zylem_modules.h"

// The buffers behind the engine's opaque handles.
struct ZY_VertexBuffer {
  int32_t count;          // vertices allocated
  ZY_Vertex *vertices;
};

struct ZY_IndexBuffer {
  int32_t count;          // indices allocated
  uint16_t *indices;
};

namespace soft {

// Per-texel effects of DrawShaded, chosen by the shader's name (README.md).
enum class ShaderEffect { PLAIN, GREYSCALE, TINT };

constexpr int32_t TEXTURE_STAGES = 8;         // stages SetTexture accepts (0 is drawn with)
constexpr int32_t MAX_BUFFER_ELEMENTS = 1 << 20;  // largest vertex or index buffer

class SoftRenderer final : public RendImp {
 public:
  // soft_module.cpp
  bool IsSupported() override;
  bool SupportsBackgroundUpload() override;
  const char *GetDescription() override;
  bool IsModeSupported(int32_t width, int32_t height) override;
  int32_t GetPixelOrder() override;
  int32_t GetColourOrder() override;
  bool Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *parms) override;
  bool Reinit(int32_t width, int32_t height, bool windowed) override;
  void Shutdown() override;
  void SetActive(bool active) override;
  void BeginFrame(int32_t eye) override;
  void EndFrame() override;
  void Forward1(int32_t value) override;
  void SetTransform(const float *matrix) override;
  bool SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) override;
  void ResetClipRect() override;
  void SetBlendMode(int32_t mode) override;
  void SetRenderMode(int32_t mode) override;
  void SetEngineInterface(ZY_EngineInterface *zy) override;
  const char *QueryValue(const char *name, const char *argument) override;
  void SetProjection(float near_plane, float middle, float far_plane) override;
  void SetRenderState10(bool value) override;
  void SetRenderState11(bool value) override;
  void SetRenderState12(int32_t value) override;

  // soft_resources.cpp
  bool SetRenderTarget(ZY_Bitmap *bitmap) override;
  void RefreshBitmap(ZY_Bitmap *bitmap) override;
  void UploadBitmap(ZY_Bitmap *bitmap) override;
  bool LoadBitmapToGpu(ZY_Bitmap *bitmap) override;
  void FreeBitmapFromGpu(ZY_BitmapHardware *hw) override;
  void SetTexture(int32_t stage, ZY_BitmapHardware *texture) override;
  ZY_VertexBuffer *CreateVertexBuffer(int32_t vertex_count) override;
  void ReleaseVertexBuffer(ZY_VertexBuffer *buffer) override;
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *buffer) override;
  void UnlockVertexBuffer(ZY_VertexBuffer *buffer) override;
  ZY_IndexBuffer *CreateIndexBuffer(int32_t index_count) override;
  void ReleaseIndexBuffer(ZY_IndexBuffer *buffer) override;
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *buffer) override;
  void UnlockIndexBuffer(ZY_IndexBuffer *buffer) override;

  // shaders.cpp
  void CreateShader(ZY_Shader *shader) override;
  void SetShader(ZY_Shader *shader) override;
  void SetShaderParameter(int32_t index, float value, const void *data) override;
  void DrawShaded(ZY_Bitmap *bitmap, const ZY_Vertex *vertices) override;

  // soft_draw.cpp
  void Forward3(int32_t command, float value, int32_t argument) override;
  void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) override;
  void DrawIndexed(ZY_VertexBuffer *vertices, int32_t vertex_count, ZY_IndexBuffer *indices,
                   int32_t triangle_count) override;

 private:
  // soft_module.cpp
  // Logs through the engine when it gave us its table (tests may give an empty one).
  void Log(int32_t level, const char *format, ...) __attribute__((format(printf, 3, 4)));
  // Frees the screens, every texture and every buffer; drawing state back to defaults.
  void ReleaseEverything();
  // Default drawing state: identity transform, no clip, blend 0, render mode 1, no
  // textures, the screen as target.
  void ResetDrawingState();
  // Replaces both screen surfaces with new black ones of the size; false when impossible.
  bool CreateScreens(int32_t width, int32_t height);

  // soft_resources.cpp
  // The texture behind a handle, or null when the handle is not a live texture of ours.
  Surface *LiveTexture(const void *handle) const;
  // Frees a texture and forgets every reference to it (stages, render target).
  void DestroyTexture(Surface *texture);
  // Gives a bitmap a render-target surface of its size (kept when it already has one of
  // that size) and fills its hardware data; false when the size is unusable.
  bool MakeRenderTarget(ZY_Bitmap *bitmap);

  // shaders.cpp
  // No shader current, parameters back to 1, 1, 1.
  void ResetShaders();
  // The texture with the current effect applied to every texel, in shaded_texels_ (the
  // texture itself for the plain effect).
  const Surface *ShadedTexture(const Surface *texture);

  // soft_draw.cpp
  // The surface drawing goes to: the render target, else the screen being drawn.
  Surface *Target() const { return target_ ? target_ : screen_; }
  // Target, clip, blend and filtering for a draw with this texture.
  DrawState MakeDrawState(const Surface *texture) const;
  // A colour word in the colour order reported to the engine.
  Colour DecodeColour(uint32_t word) const;
  // A vertex through the current transform.
  RasterVertex ToRaster(const ZY_Vertex &v) const;

  ZY_EngineInterface *zy_ = nullptr;  // for logging; may be null or have null entries
  ZY_HostInfo *host_ = nullptr;       // its window (SDL_Window *) is read at every present
  bool initialised_ = false;          // between a successful Init and Shutdown
  bool bgra_ = false;                 // ZYLEM_SOFT_BGRA: pixel order 1, colour order 0
  bool orders_read_ = false;          // bgra_ was read (at Init, or at the first question)
  bool fast_paths_ = true;            // off with ZYLEM_SOFT_NO_FASTPATH (read at Init)

  Surface *screen_ = nullptr;         // the frame being drawn
  Surface *shown_ = nullptr;          // the last finished frame (swapped in EndFrame)
  int64_t frames_finished_ = 0;       // EndFrame calls since Init
  bool present_failed_ = false;       // a failed present was logged (once per Init)

  Surface *target_ = nullptr;         // render target, null = screen
  double transform_[16] = {};         // row-major; x' = m0 x + m1 y + m2 z + m3 ...
  bool clip_on_ = false;
  Rect clip_ = {};                    // device pixels of the target, when clip_on_
  int32_t blend_mode_ = BLEND_ALPHA;
  int32_t render_mode_ = RENDER_MODE_BILINEAR;
  Surface *stages_[TEXTURE_STAGES] = {};  // textures set per stage

  // Shaders (shaders.cpp)
  ShaderEffect effect_ = ShaderEffect::PLAIN;  // effect of the current shader
  float shader_params_[3] = {1, 1, 1};      // a, b, c: parameters 0, 1 and 2
  Surface shaded_ = {};                      // the effect's copy of the texture drawn
  std::vector<uint8_t> shaded_texels_;       // its pixels

  // Accepted and kept, without effect on the pixels (see README.md).
  bool active_ = true;
  float projection_[3] = {};
  bool render_state10_ = false, render_state11_ = false;
  int32_t render_state12_ = 0;

  std::unordered_set<const void *> textures_;       // live Surface * handed out as textures
  std::unordered_set<const void *> vertex_buffers_;
  std::unordered_set<const void *> index_buffers_;
};

}  // namespace soft
