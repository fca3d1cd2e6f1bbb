// scenes.h — what the files of the image-test program share: the engine interface
// table, small drawing helpers and the bitmap scenes (scenes_bitmaps.cpp).
#pragma once

#include <stdint.h>

#include "zylem.h"

// The engine interface table, set in init.
extern ZY_EngineInterface *zy;

// Sine and cosine of the few angles the untextured scenes turn by.
static const float COS30 = 0.8660254f, SIN30 = 0.5f;
static const float COS45 = 0.70710678f, SIN45 = 0.70710678f;

// A vertex with a colour word 0xAARRGGBB (texture coordinates 0).
ZY_Vertex V(float x, float y, uint32_t argb);
// A vertex with a colour word 0xAARRGGBB and texture coordinates u, v.
ZY_Vertex VT(float x, float y, uint32_t argb, float u, float v);

// Push a translation, a rotation (by the given cosine and sine) or a scaling on top of
// the current transform (row-major, translation in the last column).
void PushTranslate(float x, float y);
void PushRotate(float c, float s);
void PushScale(float sx, float sy);

// Sets the colour and alpha and draws an untextured rectangle.
void Rect(float x, float y, float w, float h, float r, float g, float b, float a = 1.0f);

// Restores the state every scene starts from and leaves behind: blend mode 0, render
// mode 1 (bilinear), white, alpha 1.
void Plain(void);

// Bitmap scenes. Loads the test images (data/sprite, data/photo, data/tile, data/beam);
// false, with a message in the log, when one cannot be loaded.
bool LoadSceneBitmaps(void);
// LoadSceneBitmaps and the render target of SceneRenderTarget.
bool LoadRenderTargetScene(void);
// Releases whatever the two loaders got.
void ReleaseSceneBitmaps(void);

void SceneBitmaps(void);
void SceneBitmapParts(void);
void SceneBitmapEx(void);
void SceneBitmapLines(void);
void SceneTexturedQuads(void);
void SceneRenderTarget(void);
