// shaders.cpp — the shader table and the shader operations of the sub-table.
//
// Records are handed to the renderer when first named and stay for the rest of the run:
// a shader is identified by its record, so a record is never reused for another name.
#include "engine/shaders.h"

#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/threads.h"
#include "engine/draw_internal.h"
#include "engine/modules.h"

ZyShaders zy::shaders;  // engine state: the shader table

namespace {

const char *const NO_SHADER = "!NONE";       // the name a null name stands for
const char *const DOT3 = "!DOT3_DIRECTIONAL";  // the one name of kind 1

}  // namespace

ZY_Shader *ZY_GetShader(const char *name) {
  if (!name) name = NO_SHADER;
  ZyShaders &s = zy::shaders;
  ZYI_Lock(ZYI_LOCK_GET_SHADER);
  for (int32_t i = 0; i < s.count; i++) {
    if (s.table[i].name && strcmp(s.table[i].name, name) == 0) {
      ZYI_Unlock(ZYI_LOCK_GET_SHADER);
      return &s.table[i];
    }
  }
  ZY_Print("..caching shader '%s'\n", name);
  int32_t slot = 0;
  while (slot < s.count && s.table[slot].name) slot++;
  char *copy = slot < ZYI_MAX_SHADERS ? strdup(name) : nullptr;
  if (!copy) {
    ZYI_Unlock(ZYI_LOCK_GET_SHADER);
    ZY_Popup(ZY_LOG_WARNING, " ! Zylem out of free shaders.\n");
    return nullptr;
  }
  if (slot == s.count) s.count++;
  ZY_Shader *shader = &s.table[slot];
  memset(shader, 0, sizeof *shader);
  shader->name = copy;
  shader->active = 1;
  shader->kind = strcmp(name, DOT3) == 0 ? 1 : 0;
  ZYI_Unlock(ZYI_LOCK_GET_SHADER);
  if (RendImp *r = ZYI_Renderer()) r->CreateShader(shader);
  ZY_Print("\n");
  return shader;
}

void ZY_SetShader(ZY_Shader *shader) {
  zy::shaders.current = shader;
  if (RendImp *r = ZYI_Renderer()) r->SetShader(shader);
}

void ZY_SetShaderTexture(int32_t stage, ZY_BitmapHardware *texture) {
  if (RendImp *r = ZYI_Renderer()) r->SetTexture(stage, texture);
}

void ZY_SetShaderParameter(int32_t index, float value, const void *data) {
  if (RendImp *r = ZYI_Renderer()) r->SetShaderParameter(index, value, data);
}

void ZY_DrawBitmapShaded(ZY_Bitmap *bitmap, float x, float y, float angle, float scale) {
  RendImp *r = ZYI_Renderer();
  if (!r) return;
  if (!ZY_IsMainThread()) {
    ZY_Popup(ZY_LOG_WARNING, "Call to zy->shader->DrawBitmapShaded from non-renderer thread.");
    return;
  }
  ZY_Vertex q[4];
  if (!ZYI_BitmapExQuad(bitmap, x, y, angle, scale, q)) return;
  if (zy::draw.hook_first < zy::draw.hook_count) ZYI_DrawApplyHooks(q, 4);
  // Quads batched before this one are drawn first, so it lands on top of them.
  ZYI_Flush();
  r->DrawShaded(bitmap, q);
}

void ZYI_ShadersForget(void) {
  for (ZY_Shader &shader : zy::shaders.table) free(shader.name);
  memset(&zy::shaders, 0, sizeof zy::shaders);
}
