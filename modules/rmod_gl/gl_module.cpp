// gl_module.cpp — rmod_gl's entry point and the renderer's life: the probe at load,
// start-up, mode changes, frames, drawing state and value queries.
//
// Environment: ZYLEM_GL_BGRA=1 (read at Init) makes the module ask for B, G, R, A
// pixels and colour words as bytes R, G, B, A (pixel order 1, colour order 0) instead of
// R, G, B, A pixels and 0xAARRGGBB words, so both of the engine's conversion paths run.
#include <SDL.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "gl_renderer.h"

namespace gl {
namespace {

constexpr int32_t MAX_SCREEN_SIZE = 16384;

bool EnvFlag(const char *name) {
  const char *v = getenv(name);
  return v && *v && *v != '0' && *v != 'n' && *v != 'N' && *v != 'f' && *v != 'F';
}

bool ValidScreenSize(int32_t width, int32_t height) {
  return width >= 1 && height >= 1 && width <= MAX_SCREEN_SIZE && height <= MAX_SCREEN_SIZE;
}

// "<renderer> (OpenGL <version>)" of the current context, cut to fit.
void DescribeContext(char *out, size_t size) {
  const char *version = reinterpret_cast<const char *>(glGetString(GL_VERSION));
  const char *renderer = reinterpret_cast<const char *>(glGetString(GL_RENDERER));
  snprintf(out, size, "%s (OpenGL %s)", renderer ? renderer : "unknown GPU",
           version ? version : "?");
}

}  // namespace

void GlRenderer::Log(int32_t level, const char *format, ...) {
  if (!zy_ || !zy_->Log) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  zy_->Log(level, "%s", text);
}

// --- Identity and capabilities --------------------------------------------------------

bool GlRenderer::IsSupported() {
  // A throw-away context tells whether OpenGL 3.3 core can be had at all, and what it
  // runs on: surfaceless EGL first (no window needed), else a hidden SDL window.
  char error[256];
  Context probe;
  SDL_Window *window = nullptr;
  bool ok = ContextCreate(&probe, nullptr, error, sizeof error);
  if (!ok && SDL_WasInit(SDL_INIT_VIDEO)) {
    window = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ok = window && ContextCreate(&probe, window, error, sizeof error);
  }
  if (ok) {
    char gpu[200];
    DescribeContext(gpu, sizeof gpu);
    snprintf(description_, sizeof description_, "rmod_gl: %s", gpu);
    ContextDestroy(&probe);
  } else {
    Log(ZY_LOG_WARNING, "rmod_gl: %s.", error);
  }
  if (window) SDL_DestroyWindow(window);
  return ok;
}

bool GlRenderer::SupportsBackgroundUpload() { return false; }

const char *GlRenderer::GetDescription() { return description_; }

bool GlRenderer::IsModeSupported(int32_t width, int32_t height) {
  return ValidScreenSize(width, height);
}

int32_t GlRenderer::GetPixelOrder() {
  if (!orders_read_) bgra_ = EnvFlag("ZYLEM_GL_BGRA");
  return bgra_ ? ZY_PIXEL_ORDER_BGRA : ZY_PIXEL_ORDER_RGBA;
}

int32_t GlRenderer::GetColourOrder() {
  if (!orders_read_) bgra_ = EnvFlag("ZYLEM_GL_BGRA");
  return bgra_ ? ZY_COLOUR_ORDER_RGBA_BYTES : ZY_COLOUR_ORDER_ARGB_WORD;
}

void GlRenderer::SetEngineInterface(ZY_EngineInterface *zy) { zy_ = zy; }

// --- Start-up and shut-down -----------------------------------------------------------

bool GlRenderer::CreateScreens(int32_t width, int32_t height) {
  Texture *a = NewTexture(width, height, nullptr);
  Texture *b = a ? NewTexture(width, height, nullptr) : nullptr;
  if (!b || !BindTarget(a) || !BindTarget(b)) {
    if (a) DestroyTexture(a);
    if (b) DestroyTexture(b);
    return false;
  }
  for (Texture *t : {a, b}) {
    BindTarget(t);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  for (Texture *&old : screen_)
    if (old) DestroyTexture(old);
  // Screens are not textures the engine may name.
  textures_.erase(a);
  textures_.erase(b);
  screen_[0] = a;
  screen_[1] = b;
  drawing_ = 0;
  return true;
}

void GlRenderer::ResetDrawingState() {
  target_ = nullptr;
  for (int i = 0; i < 16; i++) transform_[i] = (i % 5 == 0) ? 1.0f : 0.0f;
  clip_on_ = false;
  blend_mode_ = BLEND_ALPHA;
  render_mode_ = 1;
  for (Texture *&s : stages_) s = nullptr;
  shader_ = nullptr;
  batch_vertices_.clear();
  batch_indices_.clear();
  batch_texture_ = nullptr;
}

void GlRenderer::ReleaseEverything() {
  if (context_.sdl_context || context_.egl_context) {
    for (const void *t : textures_) {
      Texture *texture = static_cast<Texture *>(const_cast<void *>(t));
      glDeleteFramebuffers(1, &texture->fbo);
      glDeleteTextures(1, &texture->id);
      delete texture;
    }
    for (Texture *&s : screen_) {
      if (!s) continue;
      glDeleteFramebuffers(1, &s->fbo);
      glDeleteTextures(1, &s->id);
      delete s;
      s = nullptr;
    }
    glDeleteSamplers(4, &samplers_[0][0]);
    glDeleteBuffers(1, &vbo_);
    glDeleteBuffers(1, &ebo_);
    glDeleteVertexArrays(1, &vao_);
    ProgramsDestroy(&programs_);
  }
  textures_.clear();
  for (const void *p : vertex_buffers_) {
    ZY_VertexBuffer *b = static_cast<ZY_VertexBuffer *>(const_cast<void *>(p));
    free(b->vertices);
    free(b);
  }
  vertex_buffers_.clear();
  for (const void *p : index_buffers_) {
    ZY_IndexBuffer *b = static_cast<ZY_IndexBuffer *>(const_cast<void *>(p));
    free(b->indices);
    free(b);
  }
  index_buffers_.clear();
  vao_ = vbo_ = ebo_ = 0;
  memset(samplers_, 0, sizeof samplers_);
  ContextDestroy(&context_);
  ResetDrawingState();
}

bool GlRenderer::Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *parms) {
  if (zy) zy_ = zy;
  host_ = host;
  if (!parms || !ValidScreenSize(parms->width, parms->height)) {
    Log(ZY_LOG_ERROR, "rmod_gl: a %dx%d screen cannot be used.", parms ? parms->width : 0,
        parms ? parms->height : 0);
    return false;
  }
  bgra_ = EnvFlag("ZYLEM_GL_BGRA");
  orders_read_ = true;
  if (initialised_) ReleaseEverything();  // a retry, or a new window after Shutdown
  char error[512];
  if (!ContextCreate(&context_, host ? host->window : nullptr, error, sizeof error) ||
      !ProgramsCreate(&programs_, error, sizeof error)) {
    Log(ZY_LOG_ERROR, "rmod_gl: %s.", error);
    ReleaseEverything();
    return false;
  }
  char gpu[200];
  DescribeContext(gpu, sizeof gpu);
  snprintf(description_, sizeof description_, "rmod_gl: %s", gpu);

  glGenVertexArrays(1, &vao_);
  glGenBuffers(1, &vbo_);
  glGenBuffers(1, &ebo_);
  glBindVertexArray(vao_);
  glBindBuffer(GL_ARRAY_BUFFER, vbo_);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ebo_);
  glEnableVertexAttribArray(0);
  glEnableVertexAttribArray(1);
  glEnableVertexAttribArray(2);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sizeof(ZY_Vertex), nullptr);
  glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(ZY_Vertex),
                        reinterpret_cast<void *>(offsetof(ZY_Vertex, color)));
  glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sizeof(ZY_Vertex),
                        reinterpret_cast<void *>(offsetof(ZY_Vertex, u)));
  glGenSamplers(4, &samplers_[0][0]);
  const float transparent[4] = {0, 0, 0, 0};
  for (int bilinear = 0; bilinear < 2; bilinear++)
    for (int border = 0; border < 2; border++) {
      GLuint s = samplers_[bilinear][border];
      const GLint filter = bilinear ? GL_LINEAR : GL_NEAREST;
      const GLint wrap = border ? GL_CLAMP_TO_BORDER : GL_CLAMP_TO_EDGE;
      glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, filter);
      glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, filter);
      glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrap);
      glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrap);
      glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, transparent);
    }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  if (!CreateScreens(parms->width, parms->height)) {
    Log(ZY_LOG_ERROR, "rmod_gl: no %dx%d screen can be made.", parms->width, parms->height);
    ReleaseEverything();
    return false;
  }
  ResetDrawingState();
  windowed_ = parms->windowed != 0;
  frames_finished_ = 0;
  draw_calls_ = last_draw_calls_ = 0;
  initialised_ = true;
  Log(ZY_LOG_INFO, "rmod_gl: %dx%d %s on %s, pixels %s.", parms->width, parms->height,
      context_.window ? "in the window" : "off-screen (EGL surfaceless)", gpu,
      bgra_ ? "BGRA" : "RGBA");
  return true;
}

bool GlRenderer::Reinit(int32_t width, int32_t height, bool windowed) {
  // Fullscreen and windowed need different windows, and the context belongs to the
  // window: answering false makes the engine shut the renderer down, make a new window
  // and initialise again (its renderer-lost path). A new size alone is taken in place.
  if (!initialised_ || !ValidScreenSize(width, height)) return false;
  if (context_.window && windowed != windowed_) return false;
  if (context_.window && host_ && host_->window != context_.window) return false;
  Flush();
  target_ = nullptr;
  if (!CreateScreens(width, height)) {
    Log(ZY_LOG_ERROR, "rmod_gl: no %dx%d screen can be made.", width, height);
    return false;
  }
  clip_on_ = false;
  frames_finished_ = 0;
  return true;
}

void GlRenderer::Shutdown() {
  if (!textures_.empty() || !vertex_buffers_.empty() || !index_buffers_.empty())
    Log(ZY_LOG_WARNING,
        "rmod_gl: freeing %d textures, %d vertex buffers and %d index buffers still held "
        "at shut-down.",
        static_cast<int>(textures_.size()), static_cast<int>(vertex_buffers_.size()),
        static_cast<int>(index_buffers_.size()));
  ReleaseEverything();
  initialised_ = false;
}

void GlRenderer::SetActive(bool active) { active_ = active; }

// --- Frames ---------------------------------------------------------------------------

void GlRenderer::BeginFrame(int32_t eye) {
  if (!initialised_) return;
  draw_calls_ = 0;
  // The second pass of stereo rendering draws over the first.
  if (eye == ZY_EYE_RIGHT) return;
  BindTarget(screen_[drawing_]);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
}

void GlRenderer::EndFrame() {
  if (!initialised_) return;
  Flush();
  Texture *finished = screen_[drawing_];
  drawing_ ^= 1;
  frames_finished_++;
  last_draw_calls_ = draw_calls_;
  int width = 0, height = 0;
  if (ContextDrawableSize(&context_, &width, &height)) {
    // Device row 0 is framebuffer row 0; the window shows row 0 at the top.
    BindTarget(finished);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, finished->fbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, finished->width, finished->height, 0, height, width, 0,
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    ContextSwap(&context_);
  }
}

// --- Drawing state --------------------------------------------------------------------

void GlRenderer::SetTransform(const float *matrix) {
  float m[16];
  for (int i = 0; i < 16; i++) m[i] = matrix ? matrix[i] : ((i % 5 == 0) ? 1.0f : 0.0f);
  if (memcmp(m, transform_, sizeof m) == 0) return;
  Flush();
  memcpy(transform_, m, sizeof m);
}

bool GlRenderer::SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width < 0 || height < 0) return false;
  auto clamp = [](int64_t v) {
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
  };
  Flush();
  clip_[0] = x, clip_[1] = y;
  clip_[2] = clamp(int64_t{x} + width), clip_[3] = clamp(int64_t{y} + height);
  clip_on_ = true;
  return true;
}

void GlRenderer::ResetClipRect() {
  Flush();
  clip_on_ = false;
}

void GlRenderer::SetBlendMode(int32_t mode) {
  if (mode == blend_mode_) return;
  Flush();
  blend_mode_ = mode;
}

void GlRenderer::SetRenderMode(int32_t mode) {
  if (mode == render_mode_) return;
  Flush();
  render_mode_ = mode;
}

void GlRenderer::SetProjection(float near_plane, float middle, float far_plane) {
  projection_[0] = near_plane, projection_[1] = middle, projection_[2] = far_plane;
}

void GlRenderer::SetRenderState10(bool value) { render_state10_ = value; }
void GlRenderer::SetRenderState11(bool value) { render_state11_ = value; }
void GlRenderer::SetRenderState12(int32_t value) { render_state12_ = value; }
void GlRenderer::Forward1(int32_t) {}

// --- Shaders --------------------------------------------------------------------------
// Effects are chosen by the shader's name when it is drawn with; parameters 0, 1 and 2
// (SetShaderParameter's index) are a, b and c of the effect.

void GlRenderer::CreateShader(ZY_Shader *shader) {
  const char *name = shader && shader->name ? shader->name : "";
  if (strcmp(name, "plain") && strcmp(name, "greyscale") && strcmp(name, "tint"))
    Log(ZY_LOG_INFO, "rmod_gl: shader '%s' is not an effect of this renderer; it draws plain.",
        name);
}

void GlRenderer::SetShader(ZY_Shader *shader) { shader_ = shader; }

void GlRenderer::SetShaderParameter(int32_t index, float value, const void *) {
  if (index >= 0 && index < 3) shader_params_[index] = value;
}

// --- Value queries --------------------------------------------------------------------

const char *GlRenderer::QueryValue(const char *name, const char *argument) {
  if (!name) return nullptr;
  if (!strcmp(name, "DrawCalls")) {
    snprintf(answer_, sizeof answer_, "%lld", static_cast<long long>(last_draw_calls_));
    return answer_;
  }
  if (!strcmp(name, "GPUDesc") ||
      (!strcmp(name, "PlatformInfo") && argument && !strcmp(argument, "GPUDesc"))) {
    // At most 127 characters, the engine's limit for a GPU description.
    static char gpu[128];
    snprintf(gpu, sizeof gpu, "%s", description_ + strlen("rmod_gl: "));
    return gpu;
  }
  if (strcmp(name, "Screenshot") != 0) return nullptr;
  if (!initialised_) {
    Log(ZY_LOG_WARNING, "rmod_gl: no screenshot, the renderer is not initialised.");
    return "0";
  }
  Flush();
  // Before the first finished frame the frame in progress is all there is.
  const Texture *frame = screen_[frames_finished_ > 0 ? drawing_ ^ 1 : drawing_];
  std::vector<uint8_t> pixels(static_cast<size_t>(frame->width) * frame->height * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, frame->fbo);
  glReadPixels(0, 0, frame->width, frame->height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  char error[512];
  if (!WritePng(argument, pixels.data(), frame->width, frame->height, error, sizeof error)) {
    Log(ZY_LOG_WARNING, "rmod_gl: screenshot not written: %s", error);
    return "0";
  }
  return "1";
}

}  // namespace gl

namespace {
gl::GlRenderer renderer;
}

extern "C" ZY_EXPORT RendImp *ZYLEM_RendImp_GetInterface(void) { return &renderer; }
