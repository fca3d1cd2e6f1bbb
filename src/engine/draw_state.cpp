// draw_state.cpp — the drawing state beside the batch: colour and alpha, depth and
// projection, blend and render modes, the renderer states and forwards, the clip
// rectangle, and the developer counters overlay.
//
// Colour words follow the renderer's colour order: 0xAARRGGBB words, or bytes R, G, B,
// A in memory (on this little-endian build the word 0xAABBGGRR). Alpha is the top byte
// in both, so only setting the colour has two variants; the engine interface table
// holds the one that matches the loaded renderer. Every state change that reaches the
// renderer first flushes the batch, so quads already collected are drawn with the state
// they were made under.
#include <string.h>

#include "config/config.h"
#include "base/engine_table.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "engine/draw_internal.h"
#include "engine/modules.h"

ZyDraw zy::draw;  // engine state: render command layer: batch, colour, stacks, hooks

namespace {

// A colour channel 0..1 as a byte: clamped (so no channel spills into its neighbour,
// NaN counts as 0), then scaled by 255 and truncated.
uint32_t ChannelByte(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 1.0f) return 255;
  return (uint32_t)(value * 255.0f);
}

uint32_t ArgbWord(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return a << 24 | r << 16 | g << 8 | b;
}

// Bytes R, G, B, A in memory, read as a little-endian word.
uint32_t RgbaBytes(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return a << 24 | b << 16 | g << 8 | r;
}

// Puts the current colour word into the quad template.
void UpdateTemplateColor(void) {
  ZyDraw &d = zy::draw;
  for (int i = 0; i < 4; i++) d.quad[i].color = d.color;
}

// Keeps the floats and writes the new colour word (the alpha byte stays).
void SetColorWord(float red, float green, float blue, bool argb) {
  ZyDraw &d = zy::draw;
  d.red = red;
  d.green = green;
  d.blue = blue;
  uint32_t r = ChannelByte(red), g = ChannelByte(green), b = ChannelByte(blue);
  uint32_t word = argb ? ArgbWord(r, g, b, 0) : RgbaBytes(r, g, b, 0);
  d.color = (d.color & 0xFF000000u) | word;
  UpdateTemplateColor();
}

// The colour operation that matches the renderer in use.
void SetColorCurrentOrder(float red, float green, float blue) {
  SetColorWord(red, green, blue, ZYI_DrawArgbWords());
}

}  // namespace

// ---------------------------------------------------------------------------------
// Defaults and colour
// ---------------------------------------------------------------------------------

void ZYI_DrawReset(void) {
  ZyDraw &d = zy::draw;
  memset(d.quad, 0, sizeof d.quad);
  d.red = d.green = d.blue = d.alpha = 1.0f;
  d.color = 0xFFFFFFFFu;  // opaque white in either order
  UpdateTemplateColor();
  d.depth = 0.0f;
  d.blend_mode = 0;
  d.render_mode = 1;
  d.transform_count = 0;
  d.hook_count = d.hook_first = 0;
}

bool ZYI_DrawArgbWords(void) { return !ZYI_Renderer() || zy::modules.colour_order != 0; }

uint32_t ZYI_DrawColorWord(float red, float green, float blue, float alpha) {
  uint32_t r = ChannelByte(red), g = ChannelByte(green), b = ChannelByte(blue);
  uint32_t a = ChannelByte(alpha);
  return ZYI_DrawArgbWords() ? ArgbWord(r, g, b, a) : RgbaBytes(r, g, b, a);
}

uint32_t ZYI_DrawSwapRedBlue(uint32_t color) {
  return (color & 0xFF00FF00u) | (color & 0x00FF0000u) >> 16 | (color & 0x000000FFu) << 16;
}

void ZY_SetColor(float red, float green, float blue) { SetColorWord(red, green, blue, true); }

void ZY_SetColorRGBA(float red, float green, float blue) {
  SetColorWord(red, green, blue, false);
}

void ZY_SetAlpha(float alpha) {
  ZyDraw &d = zy::draw;
  if (!(alpha > 0.0f)) alpha = 0.0f;  // NaN too
  if (alpha > 1.0f) alpha = 1.0f;
  d.alpha = alpha;
  d.color = (d.color & 0x00FFFFFFu) | (uint32_t)(alpha * 255.0f) << 24;
  UpdateTemplateColor();
}

// ---------------------------------------------------------------------------------
// Depth and projection
// ---------------------------------------------------------------------------------

void ZY_SetDrawDepth(float z) {
  ZyDraw &d = zy::draw;
  d.depth = z;
  for (int i = 0; i < 4; i++) d.quad[i].z = z;
}

float ZY_GetDrawDepth(void) { return zy::draw.depth; }

void ZY_SetProjection(float near_plane, float middle, float far_plane) {
  ZyDraw &d = zy::draw;
  ZYI_Flush();
  if (!(near_plane > 0.1f)) near_plane = 0.1f;
  if (!(far_plane > near_plane)) far_plane = near_plane;
  d.near_plane = near_plane;
  d.middle = middle;
  d.far_plane = far_plane;
  RendImp *r = ZYI_Renderer();
  if (r) r->SetProjection(near_plane, middle, far_plane);
}

void ZYI_DrawSendProjection(void) {
  const ZyDraw &d = zy::draw;
  ZY_SetDrawDepth(d.depth);
  ZY_SetProjection(d.near_plane, d.middle, d.far_plane);
}

// ---------------------------------------------------------------------------------
// Modes, renderer states, forwards
// ---------------------------------------------------------------------------------

void ZY_SetBlendMode(int32_t mode) {
  ZyDraw &d = zy::draw;
  if (ZYI_DrawOverdrawOn()) mode = 1;
  if (mode == d.blend_mode) return;
  ZYI_Flush();
  d.blend_mode = mode;
  RendImp *r = ZYI_Renderer();
  if (r) r->SetBlendMode(mode);
}

void ZY_SetRenderMode(int32_t mode) {
  ZyDraw &d = zy::draw;
  if (mode == d.render_mode) return;
  ZYI_Flush();
  d.render_mode = mode;
  RendImp *r = ZYI_Renderer();
  if (r) r->SetRenderMode(mode);
}

void ZY_SetRenderStateb(int32_t state, bool value) {
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  if (state == 10) {
    if (r) r->SetRenderState10(value);
  } else if (state == 11) {
    if (r) r->SetRenderState11(value);
  } else {
    ZY_Popup(ZY_LOG_WARNING, "SetRenderStateb (%d, %s) state not supported with this method.",
             state, value ? "true" : "false");
  }
}

void ZY_SetRenderStatef(int32_t state, float value) {
  ZY_Popup(ZY_LOG_WARNING, "SetRenderStatef (%d, %g) state not supported with this method.",
           state, (double)value);
}

void ZY_SetRenderStatei(int32_t state, int32_t value) {
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  if (state == 12) {
    if (r) r->SetRenderState12(value);
  } else {
    ZY_Popup(ZY_LOG_WARNING, "SetRenderStatei (%d, %d) state not supported with this method.",
             state, value);
  }
}

void ZY_Forward3(int32_t command, float value, int32_t argument) {
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  if (r) r->Forward3(command, value, argument);
}

void ZY_Forward1(int32_t value) {
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  if (r) r->Forward1(value);
}

// ---------------------------------------------------------------------------------
// Clip rectangle
// ---------------------------------------------------------------------------------

// Autoscaling is decided where the resolution is (a layer above); it hands the render
// command layer a function that answers the transform. It survives state resets.
static ZyAutoscaleSource autoscale_source;

void ZYI_DrawSetAutoscaleSource(ZyAutoscaleSource source) { autoscale_source = source; }

bool ZYI_DrawAutoscale(float *scale_x, float *scale_y, float *offset_x, float *offset_y) {
  if (autoscale_source && autoscale_source(scale_x, scale_y, offset_x, offset_y)) return true;
  *scale_x = *scale_y = 1.0f;
  *offset_x = *offset_y = 0.0f;
  return false;
}

bool ZYI_DeveloperKeyHeld(int32_t key) {
  ZY_EngineInterface *t = ZYI_EngineInterface();
  return t && t->GetKeyState && t->GetKeyState(key) != 0;
}

bool ZY_SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height) {
  ZYI_Flush();
  float sx, sy, ox, oy;
  if (ZYI_DrawAutoscale(&sx, &sy, &ox, &oy)) {
    // The program gives its reference coordinates; the renderer clips in window pixels.
    x = (int32_t)((float)x * sx + ox);
    y = (int32_t)((float)y * sy + oy);
    width = (int32_t)((float)width * sx);
    height = (int32_t)((float)height * sy);
  }
  RendImp *r = ZYI_Renderer();
  if (!r) return false;
  bool answer = r->SetClipRect(x, y, width, height);
  if (answer) ZYI_DrawSendTransform();
  return answer;
}

void ZY_ResetClipRect(void) {
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  if (!r) return;
  r->ResetClipRect();
  ZYI_DrawSendTransform();
}

// ---------------------------------------------------------------------------------
// Developer counters (F10)
// ---------------------------------------------------------------------------------

void ZYI_DrawCounters(void) {
  if (!zy::config.developer_mode || !ZYI_DeveloperKeyHeld(ZY_KEY_F10)) return;
  // The numbers of the pass just drawn, before this box adds its own batch.
  int32_t batches = zy::core.batches, triangles = zy::core.triangles;
  SetColorCurrentOrder(0.0f, 0.0f, 0.0f);
  ZY_DrawRect(45.0f, 5.0f, 400.0f, 30.0f);
  SetColorCurrentOrder(1.0f, 1.0f, 1.0f);
  ZY_EngineInterface *t = ZYI_EngineInterface();
  if (t && t->GetFont && t->DrawText) {
    ZY_Font *font = t->GetFont("core/console.mft");
    if (font) t->DrawText(font, 50.0f, 10.0f, "%d batches, %d triangles", batches, triangles);
  }
  ZYI_Flush();
}
