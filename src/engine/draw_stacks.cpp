// draw_stacks.cpp — the three stacks of the render command layer: transforms, render
// targets and vertex hooks.
//
// The transform stack holds up to 32 row-major 4x4 matrices; each push multiplies onto
// the current top, and the renderer is sent the new top whenever it changes (or the
// identity once the stack is empty). The render-target stack starts with the screen
// (null) at its bottom; drawing into a bitmap starts from an identity transform pushed
// on the way in and popped on the way back to the screen. Vertex hooks are program
// functions run on every quad's vertices before batching; a null function is a barrier
// that hides every hook below it until it is popped.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "engine/draw_internal.h"
#include "engine/modules.h"

namespace {

const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// out = a x b (row-major); out may not alias a or b.
void Multiply(float out[16], const float a[16], const float b[16]) {
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++) {
      float sum = 0.0f;
      for (int k = 0; k < 4; k++) sum += a[i * 4 + k] * b[k * 4 + j];
      out[i * 4 + j] = sum;
    }
}

// Gives the render-target stack room for `needed` entries (doubling from 32). False when
// memory is short.
bool ReserveTargets(int32_t needed) {
  ZyDraw &d = zy::draw;
  if (needed <= d.target_capacity) return true;
  int32_t capacity = d.target_capacity > 0 ? d.target_capacity : ZYI_RENDER_TARGETS_INITIAL;
  while (capacity < needed) capacity *= 2;
  void *grown = realloc(d.targets, sizeof(ZY_Bitmap *) * (size_t)capacity);
  if (!grown) return false;
  d.targets = (ZY_Bitmap **)grown;
  d.target_capacity = capacity;
  return true;
}

// Halves the stack's storage once the count has fallen to a quarter of it.
void ShrinkTargets(void) {
  ZyDraw &d = zy::draw;
  if (d.target_capacity <= 1 || d.target_count > d.target_capacity / 4) return;
  int32_t capacity = d.target_capacity / 2;
  if (capacity < d.target_count) capacity = d.target_count;
  void *shrunk = realloc(d.targets, sizeof(ZY_Bitmap *) * (size_t)capacity);
  if (!shrunk) return;  // the larger block is still valid
  d.targets = (ZY_Bitmap **)shrunk;
  d.target_capacity = capacity;
}

// The entry above the highest barrier, 0 when there is none.
int32_t FirstActiveHook(void) {
  const ZyDraw &d = zy::draw;
  for (int32_t i = d.hook_count - 1; i >= 0; i--)
    if (!d.hooks[i].function) return i + 1;
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------------
// Transform stack
// ---------------------------------------------------------------------------------

void ZYI_DrawSendTransform(void) {
  RendImp *r = ZYI_Renderer();
  if (!r) return;
  float top[16];
  r->SetTransform(ZY_GetTransform(top));
}

void ZY_PushTransform(const float *matrix) {
  ZyDraw &d = zy::draw;
  if (d.transform_count >= ZYI_TRANSFORM_STACK_SIZE) return;
  ZYI_Flush();
  float *top = d.transforms[d.transform_count];
  if (!matrix)
    memcpy(top, IDENTITY, sizeof IDENTITY);  // null starts afresh from the identity
  else if (d.transform_count == 0)
    memcpy(top, matrix, sizeof IDENTITY);
  else
    Multiply(top, d.transforms[d.transform_count - 1], matrix);
  d.transform_count++;
  RendImp *r = ZYI_Renderer();
  if (r) r->SetTransform(top);
}

void ZY_PopTransform(void) {
  ZyDraw &d = zy::draw;
  if (d.transform_count <= 0) {
    ZY_Popup(ZY_LOG_WARNING, "Calling ZY_PopTransform() too many times! Check your code!");
    return;
  }
  d.transform_count--;
  ZYI_Flush();
  ZYI_DrawSendTransform();
}

float *ZY_GetTransform(float matrix[16]) {
  if (!matrix) return nullptr;
  const ZyDraw &d = zy::draw;
  memcpy(matrix, d.transform_count > 0 ? d.transforms[d.transform_count - 1] : IDENTITY,
         sizeof IDENTITY);
  return matrix;
}

int32_t ZYI_TransformDepth(void) { return zy::draw.transform_count; }

// ---------------------------------------------------------------------------------
// Render targets
// ---------------------------------------------------------------------------------

void ZYI_DrawPushScreenTarget(void) {
  ZyDraw &d = zy::draw;
  if (ReserveTargets(1)) {
    d.targets[0] = nullptr;
    d.target_count = 1;
  }
  d.render_target = nullptr;
}

void ZYI_DrawShutdown(void) {
  ZyDraw &d = zy::draw;
  free(d.targets);
  d.targets = nullptr;
  d.target_count = d.target_capacity = 0;
  d.render_target = nullptr;
}

ZY_Bitmap *ZYI_CurrentRenderTarget(void) { return zy::draw.render_target; }

bool ZY_SetRenderTarget(ZY_Bitmap *bitmap) {
  ZyDraw &d = zy::draw;
  if (bitmap == d.render_target) return true;
  ZYI_Flush();
  RendImp *r = ZYI_Renderer();
  bool answer = r && zy::core.renderer_ready ? r->SetRenderTarget(bitmap) : false;
  // A bitmap is drawn into from its own top-left corner: the screen's transform is set
  // aside on the way in and comes back on the way out.
  if (!d.render_target && bitmap)
    ZY_PushTransform(nullptr);
  else if (d.render_target && !bitmap)
    ZY_PopTransform();
  d.render_target = bitmap;
  ZYI_DrawSendTransform();
  return answer;
}

bool ZY_PushRenderTarget(ZY_Bitmap *bitmap) {
  ZyDraw &d = zy::draw;
  bool answer = ZY_SetRenderTarget(bitmap);
  if (ReserveTargets(d.target_count + 1))
    d.targets[d.target_count++] = bitmap;
  else
    ZY_Log(ZY_LOG_ERROR, "PushRenderTarget: out of memory for the render target stack.");
  return answer;
}

bool ZY_PopRenderTarget(void) {
  ZyDraw &d = zy::draw;
  if (d.target_count <= 1) {
    ZY_Popup(ZY_LOG_WARNING,
             "PopRenderTarget: Render Target Stack is empty! You're calling too many times "
             "PopRenderStack. Make sure you're calling same amount of PushRenderTarget and "
             "PopRenderTarget calls during a render frame.");
    return false;
  }
  ZYI_Flush();
  bool answer = ZY_SetRenderTarget(d.targets[d.target_count - 2]);
  d.target_count--;
  ShrinkTargets();
  return answer;
}

// ---------------------------------------------------------------------------------
// Vertex hooks
// ---------------------------------------------------------------------------------

void ZY_PushVertexHook(ZY_VertexHook function, void *data) {
  ZyDraw &d = zy::draw;
  if (d.hook_count >= ZYI_VERTEX_HOOK_LIMIT) return;
  d.hooks[d.hook_count].function = function;
  d.hooks[d.hook_count].data = data;
  d.hook_count++;
  if (!function) d.hook_first = d.hook_count;  // a barrier: only hooks above it apply
}

void ZY_PopVertexHook(void) {
  ZyDraw &d = zy::draw;
  if (d.hook_count <= 0) return;
  d.hook_count--;
  d.hook_first = FirstActiveHook();
}

bool ZY_RemoveVertexHook(ZY_VertexHook function, void *data) {
  ZyDraw &d = zy::draw;
  for (int32_t i = d.hook_first; i < d.hook_count; i++) {
    if (d.hooks[i].function == function && d.hooks[i].data == data) {
      memmove(&d.hooks[i], &d.hooks[i + 1], sizeof(ZyVertexHookEntry) * (size_t)(d.hook_count - i - 1));
      d.hook_count--;
      d.hook_first = FirstActiveHook();
      return true;
    }
  }
  return false;
}

void ZYI_DrawApplyHooks(ZY_Vertex *vertices, int32_t count) {
  const ZyDraw &d = zy::draw;
  for (int32_t i = d.hook_first; i < d.hook_count; i++)
    if (d.hooks[i].function) d.hooks[i].function(vertices, count, d.hooks[i].data);
}

void ZY_ApplyVertexHooks(ZY_Vertex *vertex) {
  if (vertex) ZYI_DrawApplyHooks(vertex, 1);
}
