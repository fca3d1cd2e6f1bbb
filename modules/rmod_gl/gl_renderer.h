// gl_renderer.h — the RendImp object of rmod_gl, the OpenGL 3.3 renderer module.
//
// rmod_gl draws what rmod_soft draws, on the GPU. Every target is a framebuffer object:
// the screen is a pair of colour textures (the frame being drawn and the last finished
// one, as rmod_soft keeps two surfaces), render targets are textures with a framebuffer
// of their own. EndFrame copies the finished frame into the host's window when there is
// one; without a window the context is an EGL one on Mesa's surfaceless platform and the
// frames stay off-screen. Either way the `Screenshot` query reads back the last finished
// frame.
//
// Device pixels map to framebuffer pixels without a flip: device row 0 is texture row 0,
// so render targets are sampled like uploaded bitmaps (v = 0 at the top row) and a read
// back gives rows top first. Only presenting to the window turns the picture over.
//
// Textures hold premultiplied alpha, so bilinear filtering weights colours by alpha (a
// transparent texel never bleeds its colour); the fragment program divides it out again
// and blends in straight alpha as rmod_soft does. Render targets store premultiplied
// colour too, which makes "over" onto a transparent target exact. The screen stores
// straight colour.
//
// The engine flushes 64 quads at a time. DrawIndexed copies each flush into a staging
// batch; consecutive flushes that share texture and state become one GL draw call,
// issued when the state changes or the frame ends (gl_draw.cpp).
//
// The operations are spread over gl_module.cpp (life, frames, state, queries),
// gl_resources.cpp (buffers, textures, render targets), gl_draw.cpp (batching and
// drawing), gl_context.cpp (the GL context) and gl_programs.cpp (GLSL).
#pragma once

#include <epoxy/gl.h>
#include <stdint.h>

#include <unordered_set>
#include <vector>

#include "zylem_modules.h"

// The buffers behind the engine's opaque handles: plain memory, copied at draw time.
struct ZY_VertexBuffer {
  int32_t count;
  ZY_Vertex *vertices;
};

struct ZY_IndexBuffer {
  int32_t count;
  uint16_t *indices;
};

namespace gl {

constexpr int32_t MAX_BUFFER_ELEMENTS = 1 << 20;  // largest vertex or index buffer
constexpr int32_t TEXTURE_STAGES = 8;             // stages SetTexture accepts (0 is drawn with)

// Blend modes (SetBlendMode), as rmod_soft documents them; others blend like 0.
constexpr int32_t BLEND_ALPHA = 0, BLEND_ADD = 1, BLEND_MULTIPLY = 2, BLEND_REPLACE = 3,
                  BLEND_PREMULTIPLIED = 4;

// Shader effects of DrawShaded.
enum Effect { EFFECT_PLAIN = 0, EFFECT_GREYSCALE = 1, EFFECT_TINT = 2 };

// A texture, render target or screen buffer.
struct Texture {
  GLuint id = 0;
  GLuint fbo = 0;           // made on first use as a target
  int32_t width = 0, height = 0;
  int16_t pack_mode = 0;    // ZY_PACK_...: what bilinear filtering sees beyond the edges
  bool render_target = false;
};

// The GL context: a window's (SDL) or a surfaceless EGL one (gl_context.cpp).
struct Context {
  void *window = nullptr;   // SDL_Window * when drawing into the host's window
  void *sdl_context = nullptr;
  void *egl_display = nullptr, *egl_context = nullptr;
};

// Makes a 3.3 core context for the window, or a surfaceless one without a window, and
// makes it current. False with a reason in error.
bool ContextCreate(Context *c, void *sdl_window, char *error, size_t error_size);
// Destroys the context (nothing when none was made).
void ContextDestroy(Context *c);
// Size of the window's drawable in pixels; false without a window.
bool ContextDrawableSize(const Context *c, int *width, int *height);
// Shows the window's back buffer.
void ContextSwap(const Context *c);

// The compiled programs (gl_programs.cpp).
struct Programs {
  GLuint program = 0;
  GLint transform = -1, target = -1, snap = -1, argb = -1, textured = -1, texture = -1,
        output = -1, effect = -1, params = -1;
};
// Compiles and links the drawing program; false with the GL log in error.
bool ProgramsCreate(Programs *p, char *error, size_t error_size);
void ProgramsDestroy(Programs *p);

// Writes width x height RGBA pixels, rows top first, as an 8-bit RGBA PNG with every
// alpha 255 (gl_png.cpp). False with a reason in error.
bool WritePng(const char *path, const uint8_t *pixels, int32_t width, int32_t height,
              char *error, size_t error_size);

class GlRenderer final : public RendImp {
 public:
  // gl_module.cpp
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
  void CreateShader(ZY_Shader *shader) override;
  void SetShader(ZY_Shader *shader) override;
  void SetShaderParameter(int32_t index, float value, const void *data) override;
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

  // gl_resources.cpp
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

  // gl_draw.cpp
  void DrawShaded(ZY_Bitmap *bitmap, const ZY_Vertex *vertices) override;
  void Forward3(int32_t command, float value, int32_t argument) override;
  void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) override;
  void DrawIndexed(ZY_VertexBuffer *vertices, int32_t vertex_count, ZY_IndexBuffer *indices,
                   int32_t triangle_count) override;

 private:
  // gl_module.cpp
  void Log(int32_t level, const char *format, ...) __attribute__((format(printf, 3, 4)));
  // Frees every texture, buffer and GL object and the context.
  void ReleaseEverything();
  void ResetDrawingState();
  // Replaces both screen buffers with new black ones of the size.
  bool CreateScreens(int32_t width, int32_t height);

  // gl_resources.cpp
  Texture *LiveTexture(const void *handle) const;
  void DestroyTexture(Texture *texture);
  bool MakeRenderTarget(ZY_Bitmap *bitmap);
  // A new texture of the size, its pixels (engine order, straight alpha) premultiplied
  // and uploaded, or transparent black when pixels is null. Null when GL refuses it.
  Texture *NewTexture(int32_t width, int32_t height, const uint32_t *pixels);
  // Replaces the top-left width x height of a texture from engine pixels, rows of
  // `stride` pixels apart.
  void UploadPixels(Texture *texture, const uint32_t *pixels, int32_t width, int32_t height,
                    int32_t stride);
  // Binds the texture's framebuffer, making it when needed; false when incomplete.
  bool BindTarget(Texture *texture);

  // gl_draw.cpp
  Texture *Target() const { return target_ ? target_ : screen_[drawing_]; }
  // Draws the staged batch as one call (nothing when it is empty).
  void Flush();
  // Sends every piece of drawing state to GL for a draw with this texture.
  bool ApplyState(const Texture *texture, bool line, int32_t effect);
  // Uploads vertices and 32-bit indices and draws them (triangles or lines).
  void Submit(const ZY_Vertex *vertices, size_t vertex_count, const uint32_t *indices,
              size_t index_count, GLenum primitive);

  ZY_EngineInterface *zy_ = nullptr;
  ZY_HostInfo *host_ = nullptr;
  bool initialised_ = false;
  bool bgra_ = false;           // ZYLEM_GL_BGRA: pixel order 1, colour order 0
  bool orders_read_ = false;
  bool windowed_ = true;        // the mode the window was made for
  char description_[256] = "rmod_gl: OpenGL 3.3 renderer";

  Context context_;
  Programs programs_;
  GLuint vao_ = 0, vbo_ = 0, ebo_ = 0;
  GLuint samplers_[2][2] = {};  // [bilinear][transparent border]

  Texture *screen_[2] = {};     // the frame being drawn is screen_[drawing_]
  int drawing_ = 0;
  int64_t frames_finished_ = 0;

  // Drawing state, as the engine last set it.
  Texture *target_ = nullptr;
  float transform_[16] = {};
  bool clip_on_ = false;
  int32_t clip_[4] = {};        // x0, y0, x1, y1 in device pixels
  int32_t blend_mode_ = BLEND_ALPHA;
  int32_t render_mode_ = 1;
  Texture *stages_[TEXTURE_STAGES] = {};
  ZY_Shader *shader_ = nullptr;
  float shader_params_[3] = {1.0f, 1.0f, 1.0f};

  // Kept without effect (no depth buffer; painter's order as in rmod_soft).
  bool active_ = true;
  float projection_[3] = {};
  bool render_state10_ = false, render_state11_ = false;
  int32_t render_state12_ = 0;

  // The staged batch: vertices and indices of consecutive DrawIndexed calls.
  std::vector<ZY_Vertex> batch_vertices_;
  std::vector<uint32_t> batch_indices_;
  const Texture *batch_texture_ = nullptr;
  int64_t draw_calls_ = 0;        // GL draw calls of the frame being drawn
  int64_t last_draw_calls_ = 0;   // of the last finished frame
  char answer_[32] = {};          // text of the last numeric query answer

  std::unordered_set<const void *> textures_;
  std::unordered_set<const void *> vertex_buffers_;
  std::unordered_set<const void *> index_buffers_;
};

}  // namespace gl
