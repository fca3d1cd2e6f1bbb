// shaders.h — named shader effects: a small table of records the renderer fills in.
//
// The engine only keeps the records by name (32 of them, never released or counted) and
// forwards the shader operations to the renderer module, which decides what an effect
// does. The program reaches them through the shader sub-table in the last slot of the
// engine interface table. The GET_SHADER lock guards the table.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

#define ZYI_MAX_SHADERS 32  // records in the shader table

struct ZyShaders {
  ZY_Shader table[ZYI_MAX_SHADERS];  // a record without a name is free (GET_SHADER)
  int32_t count;                     // high-water mark: records 0..count-1 have been used
  ZY_Shader *current;                // last shader made current with ZY_SetShader
};
ZYI_STATE_PART(ZyShaders, shaders)

// Finds a shader by exact name (null: "!NONE") or makes a record for it and hands it to
// the renderer's CreateShader. Null, with the popup " ! Zylem out of free shaders.",
// when all 32 records are taken.
ZY_Shader *ZY_GetShader(const char *name);
// Remembers the shader as current and makes it current in the renderer (null: none).
void ZY_SetShader(ZY_Shader *shader);
// Binds a texture (a bitmap's &hw, or null) to a stage of the renderer directly; the
// batch's own texture is not changed.
void ZY_SetShaderTexture(int32_t stage, ZY_BitmapHardware *texture);
// Passes a parameter to the renderer (index, value and data as given).
void ZY_SetShaderParameter(int32_t index, float value, const void *data);
// Draws the bitmap as ZY_DrawBitmapEx would place it, with the current shader, at once:
// the batch is flushed first so the draw keeps its place in the drawing order, the vertex
// hooks apply, and the renderer's DrawShaded draws the quad. Main thread only.
void ZY_DrawBitmapShaded(ZY_Bitmap *bitmap, float x, float y, float angle, float scale);

// Frees the shader names and empties the table (shut-down and a new boot).
void ZYI_ShadersForget(void);
