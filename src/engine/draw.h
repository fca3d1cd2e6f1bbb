// draw.h — the render command layer: the drawing operations of the engine interface
// table turned into work for the renderer module.
//
// Quads (textured or not) are written straight into a locked vertex buffer of the
// renderer and drawn in batches of up to 64 quads sharing one texture, with one indexed
// draw against a fixed quad index buffer. Anything that changes renderer state first
// flushes the batch. Beside the batch the layer keeps the current colour, alpha and
// depth (in a four-vertex quad template), the transform stack, the render-target stack,
// the vertex hooks, the projection values and the blend and render modes.
//
// The code is split by concern: draw_batch.cpp (buffers, batching, flush, the overdraw
// view, indexed triangles and lines), draw_ops.cpp (the vertex formulas of each drawing
// operation), draw_stacks.cpp (transforms, render targets, vertex hooks) and
// draw_state.cpp (colour, depth, projection, modes, render states, clipping, the
// developer counters). Drawing belongs to the main thread; in developer mode a flush
// asked from another thread is refused with a popup.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"
#include "zylem_modules.h"

#define ZYI_DRAW_VERTEX_BUFFERS 32      // vertex buffers used in turn
#define ZYI_DRAW_BATCH_QUADS 64         // quads per batch (256 vertices)
#define ZYI_DRAW_TRIANGLE_VERTICES 256  // vertices one ZY_DrawTriangles call may pass
#define ZYI_TRANSFORM_STACK_SIZE 32     // entries of the transform stack
#define ZYI_VERTEX_HOOK_LIMIT 16        // vertex hooks (barriers included)
#define ZYI_RENDER_TARGETS_INITIAL 32   // first capacity of the render-target stack
#define ZYI_DRAW_MODE_UNSET 16          // mode value that no program uses: forces the next set

// One vertex hook; a null function is a barrier that hides the hooks below it.
struct ZyVertexHookEntry {
  ZY_VertexHook function;
  void *data;
};

// The drawing block of the engine state.
struct ZyDraw {
  // Current drawing state (kept across frames)
  ZY_Vertex quad[4];       // template TL, TR, BL, BR: z and colour always current
  float red, green, blue;  // last colour set (0..1 as given)
  float alpha;             // current alpha, 0..1
  uint32_t color;          // colour word in the renderer's order, alpha in the top byte
  float depth;             // z of later quads and lines
  float near_plane, middle, far_plane;  // projection values as last set
  int32_t blend_mode;      // last mode sent (ZYI_DRAW_MODE_UNSET at a pass start)
  int32_t render_mode;

  // Batch (the buffers belong to the renderer's device; null without one)
  ZY_VertexBuffer *vertex_buffers[ZYI_DRAW_VERTEX_BUFFERS];
  ZY_IndexBuffer *quad_indices;      // 384 indices: 64 quads of 4q, 4q+1, 4q+2, 4q+1, 4q+2, 4q+3
  ZY_IndexBuffer *triangle_indices;  // 3072 indices for ZY_DrawTriangles
  int32_t buffer_index;    // vertex buffer in use
  ZY_Vertex *write;        // its vertices, locked between flushes; null when unusable
  int32_t quads;           // quads in the batch
  ZY_BitmapHardware *texture;  // texture of the batch (null: untextured)

  // Transform stack
  float transforms[ZYI_TRANSFORM_STACK_SIZE][16];  // row-major 4x4, entry 0 at the bottom
  int32_t transform_count;  // entries in use (0: the identity applies)

  // Render targets
  ZY_Bitmap **targets;      // stack of targets, null = the screen (malloc'd)
  int32_t target_count;
  int32_t target_capacity;
  ZY_Bitmap *render_target; // current target (null: the screen)

  // Vertex hooks
  ZyVertexHookEntry hooks[ZYI_VERTEX_HOOK_LIMIT];
  int32_t hook_count;       // entries stored
  int32_t hook_first;       // first active entry: the one above the highest barrier
};
ZYI_STATE_PART(ZyDraw, draw)

// ---------------------------------------------------------------------------------
// Engine side (boot, frame loop, resources)
// ---------------------------------------------------------------------------------

// Drawing defaults after the state reset: white, opaque, depth 0, blend mode 0, render
// mode 1, empty transform stack and hooks.
void ZYI_DrawReset(void);
// Renderer initialisation: creates the 32 vertex buffers, the quad index buffer (filled)
// and the triangle index buffer, locks the first vertex buffer, clears the texture and
// sets blend mode 0 and render mode 1. False (nothing kept, logged) when the renderer
// could not give every buffer.
bool ZYI_DrawCreateBuffers(void);
// Renderer shut-down: unlocks and releases the vertex buffers and both index buffers.
void ZYI_DrawReleaseBuffers(void);
// After renderer initialisation: sends the kept draw depth and projection again.
void ZYI_DrawSendProjection(void);
// Core initialisation: the screen (null) becomes the bottom of the render-target stack
// and the current target.
void ZYI_DrawPushScreenTarget(void);
// Shut-down: frees the render-target stack.
void ZYI_DrawShutdown(void);
// Start of a render pass: the batch is emptied, no texture is current, and blend and
// render modes are forgotten so that the first set of each reaches the renderer.
void ZYI_DrawBeginPass(void);
// Draws the batch (when it holds quads) and moves on to the next vertex buffer. In
// developer mode a call from another thread than the main one is refused with a popup.
void ZYI_Flush(void);
// Developer mode with F10 held: the batch and triangle counts of the last pass in a
// black box at the top left, then a flush. Nothing otherwise.
void ZYI_DrawCounters(void);
// Applies the vertex hooks to the four vertices, chooses the texture and adds the quad
// to the batch, flushing a full batch.
void ZYI_DrawAddQuad(ZY_Vertex quad[4], ZY_BitmapHardware *texture);
// Entries on the transform stack (the frame reports a non-empty stack at its end).
int32_t ZYI_TransformDepth(void);
// The bitmap drawn into now, or null for the screen.
ZY_Bitmap *ZYI_CurrentRenderTarget(void);
// Whether a bitmap can be drawn: ready (state 3) and on the GPU.
bool ZYI_BitmapDrawable(const ZY_Bitmap *bitmap);
// The quad ZY_DrawBitmapEx draws (TL, TR, BL, BR: centred, turned, scaled, the current
// colour and depth, the bitmap's texture corners), before any vertex hook; false when
// the bitmap cannot be drawn.
bool ZYI_BitmapExQuad(ZY_Bitmap *bitmap, float x, float y, float angle, float scale,
                      ZY_Vertex q[4]);
// Answers the autoscale factors and offsets (program -> window pixels); false while
// autoscaling is off.
typedef bool (*ZyAutoscaleSource)(float *scale_x, float *scale_y, float *offset_x, float *offset_y);
// Installs where the autoscale transform comes from (null: never autoscaled).
void ZYI_DrawSetAutoscaleSource(ZyAutoscaleSource source);
// The autoscale factors and offsets; scale 1, offset 0 and false while autoscaling is off.
bool ZYI_DrawAutoscale(float *scale_x, float *scale_y, float *offset_x, float *offset_y);
// Whether a developer key is held, read through the engine interface table.
bool ZYI_DeveloperKeyHeld(int32_t key);

// ---------------------------------------------------------------------------------
// Engine interface operations
// ---------------------------------------------------------------------------------

// Transform stack and vertex hooks
void ZY_PushTransform(const float *matrix);  // pushes top x matrix (null: identity); ignored when full
void ZY_PopTransform(void);                  // pops; a popup when empty
float *ZY_GetTransform(float matrix[16]);    // copies the top (identity when empty); returns matrix
void ZY_PushVertexHook(ZY_VertexHook function, void *data);  // null function: barrier
void ZY_PopVertexHook(void);                                  // removes the top entry
bool ZY_RemoveVertexHook(ZY_VertexHook function, void *data); // first matching active entry
void ZY_ApplyVertexHooks(ZY_Vertex *vertex);                  // active hooks on one vertex

// Render targets, clipping, forwards
void ZY_Forward3(int32_t command, float value, int32_t argument);  // flush, then the renderer's Forward3
bool ZY_SetClipRect(int32_t x, int32_t y, int32_t width, int32_t height);  // autoscaled; renderer's answer
void ZY_ResetClipRect(void);                 // no clipping
bool ZY_SetRenderTarget(ZY_Bitmap *bitmap);  // null: the screen; the renderer's answer
bool ZY_PushRenderTarget(ZY_Bitmap *bitmap); // sets and remembers the target
bool ZY_PopRenderTarget(void);               // back to the previous target; false when none

// Modes, colour
void ZY_SetBlendMode(int32_t mode);          // renderer blend mode (the overdraw view forces 1)
void ZY_SetRenderMode(int32_t mode);         // renderer render mode
void ZY_SetColor(float red, float green, float blue);      // colour as 0xAARRGGBB words
void ZY_SetColorRGBA(float red, float green, float blue);  // colour as bytes R, G, B, A
void ZY_SetAlpha(float alpha);               // clamped to 0..1

// Drawing. Bitmaps are drawn only when ready and on the GPU; DrawBitmap and DrawRect draw
// nothing while alpha is 0.
void ZY_DrawBitmap(ZY_Bitmap *bitmap, float x, float y);  // top-left at (x, y), its own size
void ZY_DrawBitmapEx(ZY_Bitmap *bitmap, float x, float y, float angle,
                     float scale);  // centred on (x, y), turned by angle (radians), scaled
void ZY_DrawBitmapLine(ZY_Bitmap *bitmap, const ZY_Point *a, const ZY_Point *b, float width_a,
                       float width_b, const ZY_ColorF *color_a,
                       const ZY_ColorF *color_b);  // stretched from a to b, widths and colours per end
void ZY_DrawBitmapPart(ZY_Bitmap *bitmap, float x, float y, float left, float top, float right,
                       float bottom);  // the pixel rectangle left..right x top..bottom at (x, y)
void ZY_DrawRect(float x, float y, float width, float height);  // untextured, current colour
void ZY_DrawLine(float x1, float y1, float x2, float y2);      // unbatched line, current colour
void ZY_DrawLineVertices(const ZY_Vertex vertices[2]);         // unbatched line, vertices as given
void ZY_DrawQuad(ZY_Bitmap *bitmap, const ZY_Vertex vertices[4]);  // TL, TR, BL, BR; uv 0..1 of the bitmap
void ZY_DrawTriangles(ZY_Bitmap *bitmap, const ZY_Vertex *vertices, int32_t vertex_count,
                      const uint16_t *indices,
                      int32_t index_count);  // at once; up to 256 vertices and 3072 indices

// Depth, projection, forwards and renderer states
void ZY_SetProjection(float near_plane, float middle, float far_plane);  // near >= 0.1, far >= near
void ZY_SetDrawDepth(float z);   // z of later quads and lines
float ZY_GetDrawDepth(void);    // the current z
void ZY_Forward1(int32_t value);             // flush, then the renderer's Forward1
void ZY_SetRenderStateb(int32_t state, bool value);   // states 10 and 11
void ZY_SetRenderStatef(int32_t state, float value);  // none supported
void ZY_SetRenderStatei(int32_t state, int32_t value);  // state 12
