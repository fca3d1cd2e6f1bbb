// soft_module.cpp — rmod_soft's entry point and the renderer's life: start-up, mode
// changes, frames, drawing state and value queries.
//
// The screen is two surfaces: BeginFrame clears the one being drawn to opaque black,
// EndFrame swaps it with the last finished one and shows that in the host's window when
// the host info record carries one (SDL backend); without a window the frames stay
// off-screen. The `Screenshot` query writes the last finished frame as PNG.
//
// Environment: ZYLEM_SOFT_BGRA=1 makes the module ask for B, G, R, A pixels and colour
// words as bytes R, G, B, A (pixel order 1, colour order 0) instead of the default
// R, G, B, A pixels and 0xAARRGGBB words (pixel order 0, colour order 1), so that both
// of the engine's conversion paths can be run. It is read once, at Init.
// ZYLEM_SOFT_NO_FASTPATH=1 (also read at Init) draws everything through the general
// per-pixel rasteriser, without the exact shortcuts for sprites drawn one to one, so
// tests can check that both give the same bytes.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "soft_renderer.h"

namespace soft {
namespace {

bool EnvFlag(const char *name) {
  const char *v = getenv(name);
  return v && *v && *v != '0' && *v != 'n' && *v != 'N' && *v != 'f' && *v != 'F';
}

bool ValidScreenSize(int32_t width, int32_t height) {
  return width >= 1 && height >= 1 && width <= MAX_SCREEN_SIZE && height <= MAX_SCREEN_SIZE;
}

const Colour OPAQUE_BLACK = {0, 0, 0, 255};

}  // namespace

void SoftRenderer::Log(int32_t level, const char *format, ...) {
  if (!zy_ || !zy_->Log) return;
  char text[512];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  zy_->Log(level, "%s", text);
}

// --- Identity and capabilities --------------------------------------------------------

bool SoftRenderer::IsSupported() { return true; }

bool SoftRenderer::SupportsBackgroundUpload() { return false; }

const char *SoftRenderer::GetDescription() {
  return "rmod_soft: deterministic software renderer";
}

bool SoftRenderer::IsModeSupported(int32_t width, int32_t height) {
  return ValidScreenSize(width, height);
}

int32_t SoftRenderer::GetPixelOrder() {
  if (!orders_read_) bgra_ = EnvFlag("ZYLEM_SOFT_BGRA");
  return bgra_ ? ZY_PIXEL_ORDER_BGRA : ZY_PIXEL_ORDER_RGBA;
}

int32_t SoftRenderer::GetColourOrder() {
  if (!orders_read_) bgra_ = EnvFlag("ZYLEM_SOFT_BGRA");
  return bgra_ ? ZY_COLOUR_ORDER_RGBA_BYTES : ZY_COLOUR_ORDER_ARGB_WORD;
}

void SoftRenderer::SetEngineInterface(ZY_EngineInterface *zy) { zy_ = zy; }

// --- Start-up and shut-down -----------------------------------------------------------

bool SoftRenderer::CreateScreens(int32_t width, int32_t height) {
  Surface *a = SurfaceCreate(width, height);
  Surface *b = a ? SurfaceCreate(width, height) : nullptr;
  if (!b) {
    SurfaceFree(a);
    return false;
  }
  SurfaceFill(a, Rect{0, 0, width, height}, OPAQUE_BLACK);
  SurfaceFill(b, Rect{0, 0, width, height}, OPAQUE_BLACK);
  SurfaceFree(screen_);
  SurfaceFree(shown_);
  screen_ = a;
  shown_ = b;
  return true;
}

void SoftRenderer::ResetDrawingState() {
  target_ = nullptr;
  for (int i = 0; i < 16; i++) transform_[i] = (i % 5 == 0) ? 1.0 : 0.0;
  clip_on_ = false;
  clip_ = Rect{};
  blend_mode_ = BLEND_ALPHA;
  render_mode_ = RENDER_MODE_BILINEAR;
  for (Surface *&s : stages_) s = nullptr;
  ResetShaders();
}

void SoftRenderer::ReleaseEverything() {
  for (const void *t : textures_) SurfaceFree(static_cast<Surface *>(const_cast<void *>(t)));
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
  SurfaceFree(screen_);
  SurfaceFree(shown_);
  screen_ = shown_ = nullptr;
  ResetDrawingState();
}

bool SoftRenderer::Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *parms) {
  if (zy) zy_ = zy;
  host_ = host;
  if (!parms || !ValidScreenSize(parms->width, parms->height)) {
    Log(ZY_LOG_ERROR, "rmod_soft: a %dx%d screen cannot be used.", parms ? parms->width : 0,
        parms ? parms->height : 0);
    return false;
  }
  bgra_ = EnvFlag("ZYLEM_SOFT_BGRA");
  orders_read_ = true;
  fast_paths_ = !EnvFlag("ZYLEM_SOFT_NO_FASTPATH");
  // A repeated Init (a retry, or a new device after Shutdown) starts from nothing.
  if (initialised_) ReleaseEverything();
  if (!CreateScreens(parms->width, parms->height)) {
    Log(ZY_LOG_ERROR, "rmod_soft: out of memory for a %dx%d screen.", parms->width,
        parms->height);
    return false;
  }
  ResetDrawingState();
  frames_finished_ = 0;
  present_failed_ = false;
  initialised_ = true;
  Log(ZY_LOG_INFO, "rmod_soft: %dx%d %s, pixels %s, colour words %s.", parms->width,
      parms->height, host_ && host_->window ? "in the window" : "off-screen",
      bgra_ ? "BGRA" : "RGBA", bgra_ ? "RGBA bytes" : "0xAARRGGBB");
  return true;
}

bool SoftRenderer::Reinit(int32_t width, int32_t height, bool) {
  if (!initialised_ || !ValidScreenSize(width, height)) return false;
  if (!CreateScreens(width, height)) {
    Log(ZY_LOG_ERROR, "rmod_soft: out of memory for a %dx%d screen.", width, height);
    return false;
  }
  clip_on_ = false;  // a clip in the old mode's pixels means nothing now
  frames_finished_ = 0;
  return true;
}

void SoftRenderer::Shutdown() {
  // The engine releases its buffers and textures first; anything left is freed here so
  // that a later Init starts clean.
  if (!textures_.empty() || !vertex_buffers_.empty() || !index_buffers_.empty())
    Log(ZY_LOG_WARNING,
        "rmod_soft: freeing %d textures, %d vertex buffers and %d index buffers still held "
        "at shut-down.",
        static_cast<int>(textures_.size()), static_cast<int>(vertex_buffers_.size()),
        static_cast<int>(index_buffers_.size()));
  ReleaseEverything();
  initialised_ = false;
}

void SoftRenderer::SetActive(bool active) { active_ = active; }

// --- Frames ---------------------------------------------------------------------------

void SoftRenderer::BeginFrame(int32_t eye) {
  // The second pass of stereo rendering draws over the first: one screen shows both.
  if (!screen_ || eye == ZY_EYE_RIGHT) return;
  SurfaceFill(screen_, Rect{0, 0, screen_->width, screen_->height}, OPAQUE_BLACK);
}

void SoftRenderer::EndFrame() {
  if (!screen_) return;
  Surface *finished = screen_;
  screen_ = shown_;
  shown_ = finished;
  frames_finished_++;
  if (host_ && host_->window) {
    char error[256];
    if (!Present(host_->window, shown_, error, sizeof error)) {
      if (!present_failed_) Log(ZY_LOG_WARNING, "rmod_soft: %s", error);
      present_failed_ = true;
    }
  }
}

// --- Drawing state --------------------------------------------------------------------

void SoftRenderer::SetTransform(const float *matrix) {
  for (int i = 0; i < 16; i++)
    transform_[i] = matrix ? static_cast<double>(matrix[i]) : ((i % 5 == 0) ? 1.0 : 0.0);
}

bool SoftRenderer::SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  if (width < 0 || height < 0) return false;
  auto clamp = [](int64_t v) {
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
  };
  clip_ = Rect{x, y, clamp(int64_t{x} + width), clamp(int64_t{y} + height)};
  clip_on_ = true;
  return true;
}

void SoftRenderer::ResetClipRect() { clip_on_ = false; }

void SoftRenderer::SetBlendMode(int32_t mode) { blend_mode_ = mode; }

void SoftRenderer::SetRenderMode(int32_t mode) { render_mode_ = mode; }

void SoftRenderer::SetProjection(float near_plane, float middle, float far_plane) {
  projection_[0] = near_plane, projection_[1] = middle, projection_[2] = far_plane;
}

void SoftRenderer::SetRenderState10(bool value) { render_state10_ = value; }
void SoftRenderer::SetRenderState11(bool value) { render_state11_ = value; }
void SoftRenderer::SetRenderState12(int32_t value) { render_state12_ = value; }
void SoftRenderer::Forward1(int32_t) {}

// --- Value queries --------------------------------------------------------------------

const char *SoftRenderer::QueryValue(const char *name, const char *argument) {
  // The engine's platform information asks the renderer what draws the frames.
  if (name && argument && !strcmp(name, "PlatformInfo") && !strcmp(argument, "GPUDesc"))
    return "rmod_soft software rasteriser";
  if (!name || strcmp(name, "Screenshot") != 0) return nullptr;
  if (!screen_) {
    Log(ZY_LOG_WARNING, "rmod_soft: no screenshot, the renderer is not initialised.");
    return "0";
  }
  // Before the first finished frame the frame in progress is all there is.
  const Surface *frame = frames_finished_ > 0 ? shown_ : screen_;
  char error[512];
  if (!WritePng(argument, frame, true, error, sizeof error)) {
    Log(ZY_LOG_WARNING, "rmod_soft: screenshot not written: %s", error);
    return "0";
  }
  return "1";
}

}  // namespace soft

namespace {
soft::SoftRenderer renderer;
}

extern "C" ZY_EXPORT RendImp *ZYLEM_RendImp_GetInterface(void) { return &renderer; }
