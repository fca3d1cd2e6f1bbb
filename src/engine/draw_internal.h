// draw_internal.h — what the files of the render command layer share among themselves
// (the rest of the engine uses draw.h).
#pragma once

#include <stdint.h>

#include "engine/draw.h"

// Whether vertex colours are 0xAARRGGBB words: the renderer's colour order answer is
// non-zero, or no renderer is loaded. Otherwise they are bytes R, G, B, A in memory.
bool ZYI_DrawArgbWords(void);
// A colour word in the renderer's order from four floats, each clamped to 0..1 and
// scaled by 255 (truncated).
uint32_t ZYI_DrawColorWord(float red, float green, float blue, float alpha);
// Swaps the red and blue bytes of a colour word (0xAARRGGBB <-> bytes R, G, B, A).
uint32_t ZYI_DrawSwapRedBlue(uint32_t color);
// The overdraw view: developer mode with F9 down. Every call reads the key state.
bool ZYI_DrawOverdrawOn(void);
// Makes a texture the batch's texture (null while the overdraw view is on), flushing
// first and telling the renderer when it changes. False when the batch still holds
// quads of another texture because the flush was refused.
bool ZYI_DrawUseTexture(ZY_BitmapHardware *texture);
// Runs the active vertex hooks (first active to top) on the vertices.
void ZYI_DrawApplyHooks(ZY_Vertex *vertices, int32_t count);
// Sends the top of the transform stack (identity when empty) to the renderer.
void ZYI_DrawSendTransform(void);
