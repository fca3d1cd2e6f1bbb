// scenes_bitmaps.cpp — the image-test scenes that draw bitmaps: whole bitmaps, parts of
// them, rotated and scaled ones, bitmaps stretched along lines, textured quads and
// triangles, and a render target drawn into and then drawn from.
//
// The bitmaps are the images of tests/data/images in the game folder's data/ folder,
// asked for without their extension so that the engine's search finds each format:
//   data/sprite  16x16 PNG: a round badge with red, green, blue and yellow quarters
//                (top-left, top-right, bottom-left, bottom-right), a white rim, a
//                half-transparent outer ring and transparent corners;
//   data/photo   16x16 JPEG: a sky from dark blue to orange with a pale sun upper right;
//   data/tile    15x9 run-length TGA: a red top edge, dark blue other edges, cyan left
//                half, magenta right half and a white middle column;
//   data/beam    8x8 PNG: white, transparent at both sides, with a grey first row.
// Rotations are given as fixed angles in radians.
#include <stddef.h>

#include "scenes.h"

static ZY_Bitmap *sprite, *photo, *tile, *beam, *target;

static const float DEG30 = 0.52359878f, DEG45 = 0.78539816f;
static const float DEG90 = 1.57079633f, DEG180 = 3.14159265f;

static ZY_Bitmap *Load(const char *name) {
  ZY_Bitmap *b = zy->GetBitmap(name);
  if (!b || b->state != ZY_BITMAP_STATE_READY || b->width <= 0) {
    zy->Log(ZY_LOG_ERROR, "[scenes] cannot load bitmap '%s'", name);
    return NULL;
  }
  return b;
}

bool LoadSceneBitmaps(void) {
  sprite = Load("data/sprite");
  photo = Load("data/photo");
  tile = Load("data/tile");
  beam = Load("data/beam");
  return sprite && photo && tile && beam;
}

bool LoadRenderTargetScene(void) {
  if (!LoadSceneBitmaps()) return false;
  target = zy->CreateBitmap("scene target", 24, 16, ZY_BITMAP_RENDER_TARGET);
  if (!target) zy->Log(ZY_LOG_ERROR, "[scenes] cannot create the render target");
  return target != NULL;
}

void ReleaseSceneBitmaps(void) {
  ZY_Bitmap **all[] = {&sprite, &photo, &tile, &beam, &target};
  for (ZY_Bitmap **b : all) {
    if (*b) zy->ReleaseBitmap(*b);
    *b = NULL;
  }
}

// Whole bitmaps: the sprite at whole and half-pixel positions and partly off the right
// edge; the JPEG and the TGA; the three at alpha 0.5 across a white band; a sprite at
// alpha 0 over a red square (nothing drawn); the three tinted by the current colour; the
// sprite in the additive and multiplying blend modes over a grey block.
void SceneBitmaps(void) {
  Rect(0, 0, 160, 120, 0.15f, 0.18f, 0.25f);
  Plain();
  zy->DrawBitmap(sprite, 6, 6);
  zy->DrawBitmap(sprite, 28.5f, 6);     // blurred sideways by half a pixel
  zy->DrawBitmap(sprite, 50, 6.5f);     // blurred downwards
  zy->DrawBitmap(sprite, 72.5f, 6.5f);  // both
  zy->DrawBitmap(sprite, 150, 6);       // cut by the right edge of the screen

  zy->DrawBitmap(photo, 6, 30);
  zy->DrawBitmap(tile, 28, 30);
  // Drawn twice, overlapping: the later one is in front.
  zy->DrawBitmap(sprite, 100, 28);
  zy->DrawBitmap(sprite, 108, 34);

  // Half-transparent over the dark background (top half) and a white band (bottom half).
  Rect(0, 62, 96, 16, 1, 1, 1);
  Plain();
  zy->SetAlpha(0.5f);
  zy->DrawBitmap(sprite, 6, 54);
  zy->DrawBitmap(photo, 28, 54);
  zy->DrawBitmap(tile, 50, 58);
  // Alpha 0: the red square stays whole.
  Rect(72, 54, 16, 16, 1, 0, 0);
  zy->SetColor(1, 1, 1);
  zy->SetAlpha(0);
  zy->DrawBitmap(sprite, 72, 54);

  // Tinted: texel times colour (white parts take the colour itself).
  zy->SetAlpha(1);
  zy->SetColor(1, 0.5f, 0);
  zy->DrawBitmap(sprite, 6, 90);
  zy->SetColor(0.4f, 0.6f, 1);
  zy->DrawBitmap(photo, 28, 90);
  zy->SetColor(1, 0.2f, 0.2f);
  zy->DrawBitmap(tile, 50, 94);
  zy->SetColor(0, 1, 0.5f);
  zy->SetAlpha(0.75f);
  zy->DrawBitmap(sprite, 72, 90);

  // Blend modes 1 (additive) and 2 (multiply) over grey.
  Rect(100, 84, 56, 28, 0.5f, 0.5f, 0.5f);
  Plain();
  zy->SetBlendMode(1);
  zy->DrawBitmap(sprite, 106, 90);
  zy->SetBlendMode(2);
  zy->DrawBitmap(sprite, 132, 90);
  Plain();
}

// Parts of bitmaps: the sprite whole and as four quarters pulled apart, the quarters
// swapped diagonally, its middle 8x8, and the middle taken from half-texel bounds; the
// TGA in two overlapping halves and its one-pixel middle column; the JPEG with its
// halves swapped; and parts magnified four times by a transform, with nearest and with
// bilinear filtering.
void SceneBitmapParts(void) {
  Rect(0, 0, 160, 120, 0.12f, 0.12f, 0.16f);
  Plain();
  zy->DrawBitmap(sprite, 6, 6);
  zy->DrawBitmapPart(sprite, 28, 6, 0, 0, 8, 8);
  zy->DrawBitmapPart(sprite, 38, 6, 8, 0, 16, 8);
  zy->DrawBitmapPart(sprite, 28, 16, 0, 8, 8, 16);
  zy->DrawBitmapPart(sprite, 38, 16, 8, 8, 16, 16);

  zy->DrawBitmapPart(sprite, 54, 6, 8, 8, 16, 16);
  zy->DrawBitmapPart(sprite, 62, 6, 0, 8, 8, 16);
  zy->DrawBitmapPart(sprite, 54, 14, 8, 0, 16, 8);
  zy->DrawBitmapPart(sprite, 62, 14, 0, 0, 8, 8);

  zy->DrawBitmapPart(sprite, 78, 10, 4, 4, 12, 12);
  zy->DrawBitmapPart(sprite, 92, 10, 3.5f, 3.5f, 11.5f, 11.5f);  // each pixel mixes four texels

  zy->DrawBitmapPart(tile, 6, 32, 0, 0, 8, 9);
  zy->DrawBitmapPart(tile, 18, 32, 7, 0, 15, 9);
  zy->DrawBitmapPart(tile, 30, 32, 7, 0, 8, 9);
  zy->DrawBitmapPart(photo, 40, 32, 8, 0, 16, 16);
  zy->DrawBitmapPart(photo, 48, 32, 0, 0, 8, 16);

  // Four times larger: the sprite's middle with nearest texels and with bilinear
  // filtering (which takes in the texels around the part at its edges), the sun corner of
  // the JPEG with nearest texels, and a piece of the TGA three times larger, bilinear.
  PushTranslate(6, 56);
  PushScale(4, 4);
  zy->SetRenderMode(0);
  zy->DrawBitmapPart(sprite, 0, 0, 4, 4, 12, 12);
  zy->SetRenderMode(1);
  zy->DrawBitmapPart(sprite, 9, 0, 4, 4, 12, 12);
  zy->SetRenderMode(0);
  zy->DrawBitmapPart(photo, 18, 0, 8, 0, 16, 8);
  zy->PopTransform();
  zy->PopTransform();
  zy->SetRenderMode(1);
  PushTranslate(124, 56);
  PushScale(3, 3);
  zy->DrawBitmapPart(tile, 0, 0, 5, 1, 10, 8);
  zy->PopTransform();
  zy->PopTransform();
  Plain();
}

// Rotated and scaled bitmaps, each centred on its point: the sprite turned by 0, 30, 45,
// 90 and 180 degrees and at half size; twice as large upright and turned by 30 degrees
// (bilinear, then nearest), one and a half times as large turned by -45 degrees. The
// 15x9 TGA (odd sides: its centre lies half a scaled pixel up and left of the point, so
// its pixels stay on the grid) at scale 1, 2 and 3 (nearest) and turned by 90 degrees at
// scale 2, with a plain DrawBitmap copy below the scale-1 one that must look the same.
void SceneBitmapEx(void) {
  Rect(0, 0, 160, 120, 0.1f, 0.12f, 0.18f);
  Plain();
  zy->DrawBitmapEx(sprite, 14, 14, 0, 1);
  zy->DrawBitmapEx(sprite, 38, 14, DEG30, 1);
  zy->DrawBitmapEx(sprite, 62, 14, DEG45, 1);
  zy->DrawBitmapEx(sprite, 86, 14, DEG90, 1);
  zy->DrawBitmapEx(sprite, 110, 14, DEG180, 1);
  zy->DrawBitmapEx(sprite, 134, 14, 0, 0.5f);

  zy->DrawBitmapEx(sprite, 20, 48, 0, 2);
  zy->DrawBitmapEx(sprite, 60, 48, DEG30, 2);
  zy->SetRenderMode(0);
  zy->DrawBitmapEx(sprite, 100, 48, DEG30, 2);
  zy->SetRenderMode(1);
  zy->DrawBitmapEx(sprite, 140, 48, -DEG45, 1.5f);

  zy->DrawBitmapEx(tile, 20, 84, 0, 1);  // covers x 12..26, y 79..87
  zy->DrawBitmap(tile, 12, 100);
  zy->DrawBitmapEx(tile, 56, 84, 0, 2);  // covers x 40..69, y 74..91
  zy->SetRenderMode(0);
  zy->DrawBitmapEx(tile, 104, 90, 0, 3);  // covers x 80..124, y 75..101
  zy->SetRenderMode(1);
  zy->DrawBitmapEx(tile, 140, 90, DEG90, 2);  // covers x 130..147, y 74..103
  Plain();
}

// Bitmaps stretched along lines, each with a width and a colour at either end: the beam
// from thin white to thick cyan across the top, from thick red to thin half-transparent
// yellow on a diagonal, from green to blue downwards at the right edge; the sprite along
// a diagonal at a constant 16 pixels; the TGA from 9 to 18 pixels wide, white to
// half-transparent magenta.
void SceneBitmapLines(void) {
  Rect(0, 0, 160, 120, 0.08f, 0.08f, 0.12f);
  Plain();
  const ZY_ColorF white = {1, 1, 1, 1}, cyan = {0, 1, 1, 1}, red = {1, 0.2f, 0.2f, 1};
  const ZY_ColorF yellow = {1, 1, 0, 0.5f}, green = {0.2f, 1, 0.2f, 1}, blue = {0.3f, 0.4f, 1, 1};
  const ZY_ColorF magenta = {1, 0, 1, 0.5f};

  ZY_Point a = {10, 14}, b = {150, 14};
  zy->DrawBitmapLine(beam, &a, &b, 4, 12, &white, &cyan);
  a = {10, 30};
  b = {70, 100};
  zy->DrawBitmapLine(beam, &a, &b, 12, 4, &red, &yellow);
  a = {150, 30};
  b = {150, 110};
  zy->DrawBitmapLine(beam, &a, &b, 8, 8, &green, &blue);
  a = {86, 36};
  b = {126, 86};
  zy->DrawBitmapLine(sprite, &a, &b, 16, 16, &white, &white);
  a = {70, 108};
  b = {136, 108};
  zy->DrawBitmapLine(tile, &a, &b, 9, 18, &white, &magenta);
  Plain();
}

// Textured quads and triangles (texture coordinates 0..1 across the bitmap, colour words
// 0xAARRGGBB): the JPEG three times larger; the middle half of the sprite four times
// larger; the sprite mirrored left to right; the sprite with red, green, blue and
// half-transparent white corners; the TGA on a trapezoid (two triangles, so its stripes
// bend at the diagonal); a hexagon fan cut from the JPEG; a triangle of the sprite fading
// to transparent at its bottom point.
void SceneTexturedQuads(void) {
  Rect(0, 0, 160, 120, 0.1f, 0.1f, 0.1f);
  Plain();
  const uint32_t W = 0xFFFFFFFFu;
  const ZY_Vertex big[4] = {VT(6, 6, W, 0, 0), VT(54, 6, W, 1, 0), VT(6, 54, W, 0, 1),
                            VT(54, 54, W, 1, 1)};
  zy->DrawQuad(photo, big);
  const ZY_Vertex middle[4] = {VT(60, 6, W, 0.25f, 0.25f), VT(92, 6, W, 0.75f, 0.25f),
                               VT(60, 38, W, 0.25f, 0.75f), VT(92, 38, W, 0.75f, 0.75f)};
  zy->DrawQuad(sprite, middle);
  const ZY_Vertex mirrored[4] = {VT(98, 6, W, 1, 0), VT(130, 6, W, 0, 0), VT(98, 38, W, 1, 1),
                                 VT(130, 38, W, 0, 1)};
  zy->DrawQuad(sprite, mirrored);
  const ZY_Vertex tinted[4] = {VT(60, 44, 0xFFFF4040u, 0, 0), VT(92, 44, 0xFF40FF40u, 1, 0),
                               VT(60, 76, 0xFF4040FFu, 0, 1), VT(92, 76, 0x80FFFFFFu, 1, 1)};
  zy->DrawQuad(sprite, tinted);
  const ZY_Vertex trapezoid[4] = {VT(104, 48, W, 0, 0), VT(150, 44, W, 1, 0),
                                  VT(98, 78, W, 0, 1), VT(156, 84, W, 1, 1)};
  zy->DrawQuad(tile, trapezoid);

  // Hexagon fan around (30, 88), radius 24; each corner takes the JPEG's texel under it.
  const float hx[6] = {1, 0.5f, -0.5f, -1, -0.5f, 0.5f};
  const float hy[6] = {0, 0.8660254f, 0.8660254f, 0, -0.8660254f, -0.8660254f};
  ZY_Vertex hex[7];
  uint16_t hex_idx[18];
  hex[0] = VT(30, 88, W, 0.5f, 0.5f);
  for (int i = 0; i < 6; i++) {
    hex[i + 1] = VT(30 + 24 * hx[i], 88 + 24 * hy[i], W, 0.5f + 0.5f * hx[i], 0.5f + 0.5f * hy[i]);
    hex_idx[i * 3] = 0;
    hex_idx[i * 3 + 1] = (uint16_t)(i + 1);
    hex_idx[i * 3 + 2] = (uint16_t)((i + 1) % 6 + 1);
  }
  zy->DrawTriangles(photo, hex, 7, hex_idx, 18);

  const ZY_Vertex fade[3] = {VT(62, 84, W, 0, 0), VT(94, 84, W, 1, 0),
                             VT(78, 116, 0x00FFFFFFu, 0.5f, 1)};
  const uint16_t fade_idx[3] = {0, 1, 2};
  zy->DrawTriangles(sprite, fade, 3, fade_idx, 3);
  Plain();
}

// A 24x16 render target, cleared to transparent and drawn into every frame: an opaque
// teal left half, the sprite across the middle (its transparent corners leave the target
// transparent), a half-transparent red bar on the transparent right part and a yellow
// line along the bottom row. A translation pushed on the screen before must not move
// what is drawn into the target, and is back in force after. On a screen whose left half
// is dark and right half light the target is drawn at 1:1 twice, twice and three times
// as large, and once at 1:1 under that translation (bottom left).
void SceneRenderTarget(void) {
  Rect(0, 0, 80, 120, 0.2f, 0.25f, 0.35f);
  Rect(80, 0, 80, 120, 0.85f, 0.85f, 0.8f);
  Plain();

  PushTranslate(6, 96);
  zy->PushRenderTarget(target);
  zy->Forward3(0, 0, 0);  // transparent black
  Rect(0, 0, 12, 16, 0.1f, 0.6f, 0.6f);
  Plain();
  zy->DrawBitmap(sprite, 4, 0);
  Rect(18, 2, 5, 12, 1, 0, 0, 0.5f);
  Plain();
  zy->SetColor(1, 1, 0);
  zy->DrawLine(0, 15.5f, 24, 15.5f);
  zy->PopRenderTarget();
  Plain();
  zy->DrawBitmap(target, 0, 0);  // at (6, 96) on the screen
  zy->PopTransform();

  zy->DrawBitmap(target, 6, 6);
  zy->DrawBitmap(target, 86, 6);
  zy->DrawBitmapEx(target, 40, 56, 0, 2);   // covers x 16..63, y 40..71
  zy->DrawBitmapEx(target, 120, 70, 0, 3);  // covers x 84..155, y 46..93
  Plain();
}
