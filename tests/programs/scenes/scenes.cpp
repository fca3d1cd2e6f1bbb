// The image-test program: draws the scene named on the command line as "scene=NAME" every
// frame, for comparison with tests/golden/NAME.png (its README says what each one shows).
// Nothing depends on time or on the frame; rotations use fixed angles. Each line of a
// scene draws one element of the picture with the state it needs. Init loads the images
// the test copies into data/ (on the main thread a bitmap is on the GPU once loaded); an
// unknown scene or a missing image fails init.
#include <stdio.h>
#include <string.h>

#include <initializer_list>

#include "zylem.h"

static ZY_ProgramInterface *prog;
static ZY_EngineInterface *zy;
static ZY_Bitmap *sprite, *photo, *tile, *beam, *target;

static const float COS30 = 0.8660254f, SIN30 = 0.5f, COS45 = 0.70710678f, SIN45 = 0.70710678f;
static const float DEG30 = 0.52359878f, DEG45 = 0.78539816f, DEG90 = 1.57079633f, DEG180 = 3.14159265f;
static const float HX[6] = {1, 0.5f, -0.5f, -1, -0.5f, 0.5f};  // hexagon corners
static const float HY[6] = {0, 0.8660254f, 0.8660254f, 0, -0.8660254f, -0.8660254f};
static const uint32_t W = 0xFFFFFFFFu, RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu;

// --- Helpers ----------------------------------------------------------------------

// A vertex with a colour word 0xAARRGGBB and texture coordinates u, v.
static ZY_Vertex V(float x, float y, uint32_t argb, float u = 0, float v = 0) {
  ZY_Vertex t;
  memset(&t, 0, sizeof t);
  t.x = x, t.y = y, t.color = argb, t.u = u, t.v = v;
  return t;
}
// Pushes [a b x; c d y] on the transform stack (row-major, translation last).
static void Push(float a, float b, float c, float d, float x, float y) {
  const float m[16] = {a, b, 0, x, c, d, 0, y, 0, 0, 1, 0, 0, 0, 0, 1};
  zy->PushTransform(m);
}
static void Move(float x, float y) { Push(1, 0, 0, 1, x, y); }
static void Scale(float sx, float sy) { Push(sx, 0, 0, sy, 0, 0); }
static void Rotate(float c, float s) { Push(c, -s, s, c, 0, 0); }
static void Turn(float x, float y, float c, float s) { Move(x, y), Rotate(c, s); }
static void Pop(int n) {
  while (n--) zy->PopTransform();
}
static void Tint(float r, float g, float b, float a = 1) { zy->SetColor(r, g, b), zy->SetAlpha(a); }
// Untextured rectangles, each with its colour and alpha.
struct R { float x, y, w, h, r, g, b, a = 1; };
static void Rects(std::initializer_list<R> rects) {
  for (const R &q : rects) Tint(q.r, q.g, q.b, q.a), zy->DrawRect(q.x, q.y, q.w, q.h);
}
// The state every scene starts from: blend mode 0, render mode 1 (bilinear), white, alpha 1.
static void Plain(void) { zy->SetBlendMode(0), zy->SetRenderMode(1), Tint(1, 1, 1); }
static void Background(float r, float g, float b) { Rects({{0, 0, 160, 120, r, g, b}}), Plain(); }
static void Quad(ZY_Bitmap *b, ZY_Vertex tl, ZY_Vertex tr, ZY_Vertex bl, ZY_Vertex br) {
  const ZY_Vertex q[4] = {tl, tr, bl, br};
  zy->DrawQuad(b, q);
}
// An untextured quad whose corners carry their own colours.
static void Gradient(float x, float y, float w, float h, uint32_t tl, uint32_t tr, uint32_t bl, uint32_t br) {
  Quad(NULL, V(x, y, tl), V(x + w, y, tr), V(x, y + h, bl), V(x + w, y + h, br));
}
// Triangles (0, i, i + 1) around vertex 0 of a ring of n further vertices.
static void Fan(ZY_Bitmap *b, const ZY_Vertex *v, int n) {
  uint16_t idx[30];
  for (int i = 0; i < n; i++)
    idx[i * 3] = 0, idx[i * 3 + 1] = (uint16_t)(i + 1), idx[i * 3 + 2] = (uint16_t)((i + 1) % n + 1);
  zy->DrawTriangles(b, v, n + 1, idx, n * 3);
}
static void Triangle(ZY_Bitmap *b, ZY_Vertex p, ZY_Vertex q, ZY_Vertex r) {
  const ZY_Vertex v[3] = {p, q, r};
  const uint16_t idx[3] = {0, 1, 2};
  zy->DrawTriangles(b, v, 3, idx, 3);
}
// A closed outline of four lines, clockwise from the top-left corner.
static void Outline(float x0, float y0, float x1, float y1) {
  zy->DrawLine(x0, y0, x1, y0), zy->DrawLine(x1, y0, x1, y1);
  zy->DrawLine(x1, y1, x0, y1), zy->DrawLine(x0, y1, x0, y0);
}
static void VertexLine(ZY_Vertex a, ZY_Vertex b) {
  const ZY_Vertex v[2] = {a, b};
  zy->DrawLineVertices(v);
}
static void BitmapLine(ZY_Bitmap *b, ZY_Point from, ZY_Point to, float w0, float w1, ZY_ColorF c0, ZY_ColorF c1) {
  zy->DrawBitmapLine(b, &from, &to, w0, w1, &c0, &c1);
}

// --- Untextured scenes ------------------------------------------------------------

static void SceneRects(void) {
  const float c[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
  for (int i = 0; i < 6; i++) Rects({{8 + 24.0f * i, 8, 20, 20, c[i][0], c[i][1], c[i][2]}});
  Rects({{8, 36, 144, 12, 1, 1, 1}, {8, 48, 144, 12, 0, 0, 1}});
  for (int i = 0; i < 6; i++) Rects({{10 + 24.0f * i, 38, 20, 20, 1, 0, 0, 1.0f - 0.2f * i}});  // 0 draws nothing
  Rects({{8, 68, 40, 28, 1, 0, 0, 0.5f}, {28, 68, 40, 28, 0, 1, 0, 0.5f}, {18, 84, 40, 28, 0, 0, 1, 0.5f},
         {84, 68, 60, 20, 0.5f, 0.5f, 0.5f}, {94, 72, 40, 12, 1, 0.5f, 0, 1.5f} /* alpha above 1 is 1 */,
         // Pixel centres on the left and top edges are covered, on the right and bottom not.
         {99.5f, 93.5f, 21, 11, 0.6f, 0.8f, 1}});
}

static void SceneBlend(void) {
  Rects({{0, 0, 160, 60, 0.5f, 0.5f, 0.5f}});
  Gradient(0, 60, 160, 60, 0xFF2040C0u, 0xFF2040C0u, 0xFFF0E040u, 0xFFF0E040u);
  for (int mode = 0; mode < 5; mode++) {
    const float x = 6 + 31.0f * mode;
    zy->SetBlendMode(mode);
    Rects({{x, 6, 24, 108, 1, 0.6f, 0.2f, 0.5f}, {x + 6, 20, 12, 12, 0.2f, 0.8f, 1},
           {x + 6, 80, 12, 12, 0.2f, 0.8f, 1}});
  }
}

static void SceneTransforms(void) {
  Turn(44, 60, COS30, SIN30), Rects({{-36, -18, 72, 36, 0.9f, 0.2f, 0.2f}});
  Scale(0.5f, 0.5f), Rects({{-36, -18, 72, 36, 0.2f, 0.9f, 0.2f}});
  Move(48, 0), Rects({{-8, -8, 16, 16, 0.3f, 0.4f, 1}});
  Pop(3), Rects({{-2, -2, 4, 4, 1, 1, 1}}), Pop(1);
  Move(120, 60), Scale(2, 1), Rects({{-10, -20, 20, 40, 0.3f, 0.4f, 1}});
  Rotate(COS45, SIN45), Rects({{-10, -10, 20, 20, 1, 0.9f, 0.2f, 0.75f}}), Pop(3);
  Rects({{4, 104, 12, 12, 1, 1, 1}});
}

static void SceneClip(void) {
  zy->SetClipRect(16, 16, 56, 40), Gradient(0, 0, 160, 120, RED, BLUE, GREEN, W), zy->ResetClipRect();
  Rects({{15, 15, 58, 1, 1, 1, 1}, {15, 56, 58, 1, 1, 1, 1}, {15, 16, 1, 40, 1, 1, 1}, {72, 16, 1, 40, 1, 1, 1}});
  // In screen pixels whatever the transform; reaching past the screen; refused.
  zy->SetClipRect(96, 16, 48, 48), Turn(120, 40, COS30, SIN30), Rects({{-50, -8, 100, 16, 1, 0.9f, 0.2f}}), Pop(2);
  zy->ResetClipRect();
  zy->SetClipRect(120, 88, 100, 100), Rects({{0, 0, 160, 120, 0.2f, 0.9f, 0.4f, 0.5f}}), zy->ResetClipRect();
  if (zy->SetClipRect(16, 80, -5, 10)) zy->Log(ZY_LOG_ERROR, "[scenes] a negative clip width was accepted");
  Rects({{16, 72, 56, 32, 0, 0.8f, 0.8f}}), zy->ResetClipRect();
}

// Triangle colours have equal red and blue parts, so both colour orders agree.
static void SceneTriangles(void) {
  ZY_Vertex hex[7] = {V(36, 36, W)};
  for (int i = 0; i < 6; i++) hex[i + 1] = V(36 + 28 * HX[i], 36 + 28 * HY[i], (i & 1) ? 0xFFFF00FFu : GREEN);
  Fan(NULL, hex, 6);
  const float sx[10] = {0, 0.5878f, 0.9511f, 0.9511f, 0.5878f, 0, -0.5878f, -0.9511f, -0.9511f, -0.5878f};
  const float sy[10] = {-1, -0.8090f, -0.3090f, 0.3090f, 0.8090f, 1, 0.8090f, 0.3090f, -0.3090f, -0.8090f};
  ZY_Vertex star[11] = {V(116, 38, 0xFF808080u)};
  for (int i = 0; i < 10; i++) {
    const float r = (i & 1) ? 13.0f : 32.0f;
    star[i + 1] = V(116 + r * sx[i], 38 + r * sy[i], (i & 1) ? 0xFF40C040u : W);
  }
  Fan(NULL, star, 10);
  Triangle(NULL, V(30, 40, 0x80FFFFFFu), V(70, 44, 0x80FFFFFFu), V(44, 70, 0x80FFFFFFu));
  // A kite: the first triangle clockwise, the second anticlockwise on screen.
  const ZY_Vertex kite[4] = {V(-16, 0, GREEN), V(0, -10, W), V(0, 10, 0xFF000000u), V(20, 0, 0xFFFF00FFu)};
  const uint16_t kite_idx[6] = {0, 1, 2, 1, 2, 3};
  Turn(116, 94, COS30, SIN30), Scale(1.5f, 1.5f), zy->DrawTriangles(NULL, kite, 4, kite_idx, 6), Pop(3);
  Gradient(8, 76, 64, 36, RED, GREEN, BLUE, 0xFFFFFF00u);
}

static void SceneLines(void) {
  const float c[16] = {1, 0.9238795f, 0.7071068f, 0.3826834f, 0, -0.3826834f, -0.7071068f, -0.9238795f,
                       -1, -0.9238795f, -0.7071068f, -0.3826834f, 0, 0.3826834f, 0.7071068f, 0.9238795f};
  for (int i = 0; i < 16; i++) {  // sin(a) = cos(a - 90 degrees)
    zy->SetColor(1, (i & 1) ? 0.8f : 1, (i & 1) ? 0.2f : 1);
    zy->DrawLine(40, 40, 40 + 30 * c[i], 40 + 30 * c[(i + 12) % 16]);
  }
  zy->SetColor(0.3f, 0.6f, 1), Outline(90, 10, 150, 70);
  Turn(120, 40, COS30, SIN30), zy->SetColor(1, 0.4f, 0.4f), Outline(-18, -18, 18, 18), Pop(2);
  for (int i = 0; i < 6; i++) VertexLine(V(8, 82 + 5.0f * i, GREEN), V(72, 82 + 5.0f * i + 4 * (i - 2.5f), W));
  Rects({{92, 80, 56, 32, 0.4f, 0.4f, 0.4f}});
  Tint(1, 1, 1, 0.5f), zy->DrawLine(84, 76, 156, 116), zy->DrawLine(84, 116, 156, 76);
  zy->SetAlpha(1), zy->DrawLine(5, 5, 5, 5);  // draws nothing
}

// 160x80 scaled by 1.25 onto 200x150: the bars above and below hide what is drawn past it.
static void SceneLetterbox(void) {
  Rects({{-100, -100, 360, 280, 0.1f, 0.4f, 0.5f}, {0, 0, 160, 2, 1, 1, 1}, {0, 78, 160, 2, 1, 1, 1},
         {0, 0, 2, 80, 1, 1, 1}, {158, 0, 2, 80, 1, 1, 1}});
  zy->SetClipRect(16, 16, 40, 24), Rects({{0, 0, 160, 80, 1, 0.2f, 0.8f}}), zy->ResetClipRect();  // program pixels
  Rects({{96, 24, 32, 32, 1, 0.6f, 0.1f}});
  zy->SetColor(1, 1, 0.4f), zy->DrawLine(4, 4, 156, 76);
}

// 100x100 scaled by 1.2 onto 160x120, with bars left and right.
static void ScenePillarbox(void) {
  Rects({{-60, -60, 220, 220, 0.5f, 0.1f, 0.1f}, {5, 5, 45, 45, 1, 0.9f, 0.2f}, {50, 50, 45, 45, 1, 0.9f, 0.2f},
         {50, 5, 45, 45, 0.2f, 0.3f, 1}, {5, 50, 45, 45, 0.2f, 0.3f, 1}});
  Turn(50, 50, COS45, SIN45), Rects({{-15, -15, 30, 30, 0.2f, 0.9f, 0.3f}}), Pop(2);
}

// Colours whose red and blue differ, as vertex words (left) and as quads (right): both
// halves must look alike in either colour order of the renderer.
static void SceneVertexColours(void) {
  Triangle(NULL, V(40, 8, RED), V(72, 64, GREEN), V(8, 64, BLUE));
  Gradient(88, 8, 64, 56, RED, RED, BLUE, GREEN);
  for (float y = 76; y < 116; y += 10)
    VertexLine(V(8, y, RED), V(72, y, BLUE)), Gradient(88, y, 64, 1, RED, BLUE, RED, BLUE);
}

// --- Bitmap scenes ----------------------------------------------------------------

static ZY_Bitmap *Load(const char *name) {
  ZY_Bitmap *b = zy->GetBitmap(name);
  if (b && b->state == ZY_BITMAP_STATE_READY && b->width > 0) return b;
  zy->Log(ZY_LOG_ERROR, "[scenes] cannot load bitmap '%s'", name);
  return NULL;
}

static void SceneBitmaps(void) {
  Background(0.15f, 0.18f, 0.25f);
  const float at[7][2] = {{6, 6}, {28.5f, 6}, {50, 6.5f}, {72.5f, 6.5f}, {150, 6}, {100, 28}, {108, 34}};
  for (int i = 0; i < 7; i++) zy->DrawBitmap(sprite, at[i][0], at[i][1]);  // half pixels blur
  zy->DrawBitmap(photo, 6, 30), zy->DrawBitmap(tile, 28, 30);
  Rects({{0, 62, 96, 16, 1, 1, 1}}), Plain();
  zy->SetAlpha(0.5f), zy->DrawBitmap(sprite, 6, 54), zy->DrawBitmap(photo, 28, 54), zy->DrawBitmap(tile, 50, 58);
  Rects({{72, 54, 16, 16, 1, 0, 0}}), Tint(1, 1, 1, 0), zy->DrawBitmap(sprite, 72, 54);  // leaves the square whole
  Tint(1, 0.5f, 0), zy->DrawBitmap(sprite, 6, 90);  // tinted: texel times colour
  zy->SetColor(0.4f, 0.6f, 1), zy->DrawBitmap(photo, 28, 90);
  zy->SetColor(1, 0.2f, 0.2f), zy->DrawBitmap(tile, 50, 94);
  Tint(0, 1, 0.5f, 0.75f), zy->DrawBitmap(sprite, 72, 90);
  Rects({{100, 84, 56, 28, 0.5f, 0.5f, 0.5f}}), Plain();
  zy->SetBlendMode(1), zy->DrawBitmap(sprite, 106, 90);
  zy->SetBlendMode(2), zy->DrawBitmap(sprite, 132, 90);
}

static void SceneBitmapParts(void) {
  Background(0.12f, 0.12f, 0.16f);
  zy->DrawBitmap(sprite, 6, 6);
  const float q[4][4] = {{0, 0, 8, 8}, {8, 0, 16, 8}, {0, 8, 8, 16}, {8, 8, 16, 16}};
  for (int i = 0; i < 4; i++) {  // the four quarters pulled apart, and swapped diagonally
    zy->DrawBitmapPart(sprite, 28 + 10.0f * (i % 2), 6 + 10.0f * (i / 2), q[i][0], q[i][1], q[i][2], q[i][3]);
    const float *s = q[3 - i];
    zy->DrawBitmapPart(sprite, 54 + 8.0f * (i % 2), 6 + 8.0f * (i / 2), s[0], s[1], s[2], s[3]);
  }
  zy->DrawBitmapPart(sprite, 78, 10, 4, 4, 12, 12);
  zy->DrawBitmapPart(sprite, 92, 10, 3.5f, 3.5f, 11.5f, 11.5f);  // each pixel mixes four texels
  zy->DrawBitmapPart(tile, 6, 32, 0, 0, 8, 9), zy->DrawBitmapPart(tile, 18, 32, 7, 0, 15, 9);
  zy->DrawBitmapPart(tile, 30, 32, 7, 0, 8, 9);
  zy->DrawBitmapPart(photo, 40, 32, 8, 0, 16, 16), zy->DrawBitmapPart(photo, 48, 32, 0, 0, 8, 16);
  Move(6, 56), Scale(4, 4);  // four times larger, nearest and bilinear
  zy->SetRenderMode(0), zy->DrawBitmapPart(sprite, 0, 0, 4, 4, 12, 12);
  zy->SetRenderMode(1), zy->DrawBitmapPart(sprite, 9, 0, 4, 4, 12, 12);
  zy->SetRenderMode(0), zy->DrawBitmapPart(photo, 18, 0, 8, 0, 16, 8), Pop(2), zy->SetRenderMode(1);
  Move(124, 56), Scale(3, 3), zy->DrawBitmapPart(tile, 0, 0, 5, 1, 10, 8), Pop(2);
}

static void SceneBitmapEx(void) {
  Background(0.1f, 0.12f, 0.18f);
  const float turns[5] = {0, DEG30, DEG45, DEG90, DEG180};
  for (int i = 0; i < 5; i++) zy->DrawBitmapEx(sprite, 14 + 24.0f * i, 14, turns[i], 1);
  zy->DrawBitmapEx(sprite, 134, 14, 0, 0.5f);
  zy->DrawBitmapEx(sprite, 20, 48, 0, 2), zy->DrawBitmapEx(sprite, 60, 48, DEG30, 2);
  zy->SetRenderMode(0), zy->DrawBitmapEx(sprite, 100, 48, DEG30, 2), zy->SetRenderMode(1);
  zy->DrawBitmapEx(sprite, 140, 48, -DEG45, 1.5f);
  zy->DrawBitmapEx(tile, 20, 84, 0, 1), zy->DrawBitmap(tile, 12, 100);  // odd sides: pixel for pixel the same
  zy->DrawBitmapEx(tile, 56, 84, 0, 2);
  zy->SetRenderMode(0), zy->DrawBitmapEx(tile, 104, 90, 0, 3), zy->SetRenderMode(1);
  zy->DrawBitmapEx(tile, 140, 90, DEG90, 2);
}

static void SceneBitmapLines(void) {
  Background(0.08f, 0.08f, 0.12f);
  const ZY_ColorF white = {1, 1, 1, 1};
  BitmapLine(beam, {10, 14}, {150, 14}, 4, 12, white, {0, 1, 1, 1});
  BitmapLine(beam, {10, 30}, {70, 100}, 12, 4, {1, 0.2f, 0.2f, 1}, {1, 1, 0, 0.5f});
  BitmapLine(beam, {150, 30}, {150, 110}, 8, 8, {0.2f, 1, 0.2f, 1}, {0.3f, 0.4f, 1, 1});
  BitmapLine(sprite, {86, 36}, {126, 86}, 16, 16, white, white);
  BitmapLine(tile, {70, 108}, {136, 108}, 9, 18, white, {1, 0, 1, 0.5f});
}

static void SceneTexturedQuads(void) {
  Background(0.1f, 0.1f, 0.1f);
  Quad(photo, V(6, 6, W, 0, 0), V(54, 6, W, 1, 0), V(6, 54, W, 0, 1), V(54, 54, W, 1, 1));
  Quad(sprite, V(60, 6, W, 0.25f, 0.25f), V(92, 6, W, 0.75f, 0.25f), V(60, 38, W, 0.25f, 0.75f),
       V(92, 38, W, 0.75f, 0.75f));
  Quad(sprite, V(98, 6, W, 1, 0), V(130, 6, W, 0, 0), V(98, 38, W, 1, 1), V(130, 38, W, 0, 1));  // mirrored
  Quad(sprite, V(60, 44, 0xFFFF4040u, 0, 0), V(92, 44, 0xFF40FF40u, 1, 0), V(60, 76, 0xFF4040FFu, 0, 1),
       V(92, 76, 0x80FFFFFFu, 1, 1));
  Quad(tile, V(104, 48, W, 0, 0), V(150, 44, W, 1, 0), V(98, 78, W, 0, 1), V(156, 84, W, 1, 1));
  ZY_Vertex hex[7] = {V(30, 88, W, 0.5f, 0.5f)};  // each corner takes the photo's texel under it
  for (int i = 0; i < 6; i++)
    hex[i + 1] = V(30 + 24 * HX[i], 88 + 24 * HY[i], W, 0.5f + 0.5f * HX[i], 0.5f + 0.5f * HY[i]);
  Fan(photo, hex, 6);
  Triangle(sprite, V(62, 84, W, 0, 0), V(94, 84, W, 1, 0), V(78, 116, 0x00FFFFFFu, 0.5f, 1));
}

// A 24x16 target drawn into every frame (a translation pushed before must not move what
// is drawn into it), then drawn at 1:1, twice and three times as large.
static void SceneRenderTarget(void) {
  Rects({{0, 0, 80, 120, 0.2f, 0.25f, 0.35f}, {80, 0, 80, 120, 0.85f, 0.85f, 0.8f}}), Plain();
  Move(6, 96), zy->PushRenderTarget(target), zy->Forward3(0, 0, 0);  // transparent black
  Rects({{0, 0, 12, 16, 0.1f, 0.6f, 0.6f}}), Plain(), zy->DrawBitmap(sprite, 4, 0);
  Rects({{18, 2, 5, 12, 1, 0, 0, 0.5f}}), Plain(), zy->SetColor(1, 1, 0), zy->DrawLine(0, 15.5f, 24, 15.5f);
  zy->PopRenderTarget(), Plain(), zy->DrawBitmap(target, 0, 0), Pop(1);
  zy->DrawBitmap(target, 6, 6), zy->DrawBitmap(target, 86, 6);
  zy->DrawBitmapEx(target, 40, 56, 0, 2), zy->DrawBitmapEx(target, 120, 70, 0, 3);
}

// Frames of two sequences made of the same numbered images (data/walk_NNNN.png, frames 4
// and 5 repeating 1 and 2): the .bms the engine builds from them (one atlas) and the
// images loaded one by one. Each is drawn frame by frame, then frames 7 and -2.
static ZY_Bitmap *walk_bms, *walk_frames;
static void SceneSequence(void) {
  Background(0.2f, 0.2f, 0.22f);
  ZY_Bitmap *rows[2] = {walk_bms, walk_frames};
  for (int r = 0; r < 2; r++) {
    for (int i = 0; i < 6; i++) zy->SelectBitmapFrame(rows[r], i), zy->DrawBitmap(rows[r], 6 + 20.0f * i, 6 + 24.0f * r);
    zy->SelectBitmapFrame(rows[r], 7), zy->DrawBitmap(rows[r], 130, 6 + 24.0f * r);  // wraps to 1
    zy->SelectBitmapFrame(rows[r], -2), zy->DrawBitmap(rows[r], 146, 6 + 24.0f * r);  // counts as 0
  }
  zy->SelectBitmapFrame(walk_bms, 2), zy->DrawBitmapEx(walk_bms, 40, 90, 0, 3);
  zy->SelectBitmapFrame(walk_frames, 3), zy->DrawBitmapEx(walk_frames, 110, 90, 0, 3);
}

// The photo through the shader sub-table: plain, greyscale (full and half), tint, a name
// no renderer knows (plain), turned and scaled with a colour, and a shaded draw between
// two batched rectangles (it lands between them). Parameters are a, b, c at 0, 1, 2.
static void SceneShaders(void) {
  Background(0.2f, 0.2f, 0.25f);
  ZY_ShaderInterface *sh = zy->shader;
  auto Shade = [sh](const char *name, float a, float b, float c) {
    sh->SetShader(sh->GetShader(name));
    sh->SetShaderParameter(0, a, NULL), sh->SetShaderParameter(1, b, NULL), sh->SetShaderParameter(2, c, NULL);
  };
  Shade("plain", 1, 1, 1), sh->DrawBitmapShaded(photo, 22, 22, 0, 2);
  Shade("greyscale", 1, 1, 1), sh->DrawBitmapShaded(photo, 58, 22, 0, 2);
  Shade("greyscale", 0.5f, 1, 1), sh->DrawBitmapShaded(photo, 94, 22, 0, 2);
  Shade("tint", 1, 0.3f, 0.3f), sh->DrawBitmapShaded(photo, 130, 22, 0, 2);
  Shade("no such effect", 0.2f, 0.2f, 0.2f), sh->DrawBitmapShaded(photo, 22, 62, 0, 2);
  Shade("greyscale", 1, 1, 1), zy->SetColor(1, 0.6f, 0.2f), sh->DrawBitmapShaded(sprite, 62, 64, DEG30, 2), Plain();
  Rects({{96, 50, 40, 40, 0, 0.6f, 0}}), Plain();
  Shade("tint", 0.2f, 0.4f, 2), sh->DrawBitmapShaded(photo, 116, 70, 0, 2);
  Rects({{120, 74, 30, 30, 1, 1, 1, 0.5f}}), Plain();
  sh->SetShader(NULL), sh->DrawBitmapShaded(tile, 40, 100, DEG90, 2);
}

// --- Program module ---------------------------------------------------------------

struct Scene { const char *name; void (*draw)(void); };
static const Scene SCENES[] = {
    {"rects", SceneRects}, {"blend", SceneBlend}, {"transforms", SceneTransforms}, {"clip", SceneClip},
    {"triangles", SceneTriangles}, {"lines", SceneLines}, {"letterbox", SceneLetterbox},
    {"pillarbox", ScenePillarbox}, {"vertex_colours", SceneVertexColours}, {"bitmaps", SceneBitmaps},
    {"bitmap_parts", SceneBitmapParts}, {"bitmap_ex", SceneBitmapEx}, {"bitmap_lines", SceneBitmapLines},
    {"textured_quads", SceneTexturedQuads}, {"render_target", SceneRenderTarget}, {"sequence", SceneSequence},
    {"shaders", SceneShaders},
};
static const Scene *scene;

static bool Init(void) {
  zy = prog->zy;
  const char *line = prog->parms.command_line ? prog->parms.command_line : "";
  const char *at = strstr(line, "scene=");
  for (const Scene &s : SCENES)
    if (at && !strncmp(at + 6, s.name, strlen(s.name)) && strchr(" \t", at[6 + strlen(s.name)])) scene = &s;
  if (!scene) zy->Log(ZY_LOG_ERROR, "[scenes] no known scene in '%s'", line);
  sprite = Load("data/sprite"), photo = Load("data/photo"), tile = Load("data/tile"), beam = Load("data/beam");
  target = zy->CreateBitmap("scene target", 24, 16, ZY_BITMAP_RENDER_TARGET);
  if (!scene || !sprite || !photo || !tile || !beam || !target) return false;
  if (scene->draw == SceneSequence && (!(walk_bms = Load("data/walk.bms")) || !(walk_frames = Load("data/walk_*.png"))))
    return false;
  zy->Log(ZY_LOG_INFO, "[scenes] drawing scene '%s' at %dx%d", scene->name, prog->parms.width, prog->parms.height);
  return true;
}
static void Shutdown(void) {
  for (ZY_Bitmap **b : {&sprite, &photo, &tile, &beam, &target, &walk_bms, &walk_frames})
    if (*b) zy->ReleaseBitmap(*b), *b = NULL;
}
static void Update(float) {}  // scenes do not move
static void Draw(float) {
  if (scene && zy->DrawRect) scene->draw(), Plain();  // scenes start from the plain state
}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *p, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog = p;
  p->interface_version = ZY_INTERFACE_VERSION;
  snprintf(p->id, sizeof p->id, "zytest.scenes");
  snprintf(p->title, sizeof p->title, "Image Test Scenes");
  snprintf(p->version, sizeof p->version, "1.0");
  snprintf(p->developer_name, sizeof p->developer_name, "ZytestStudio");
  p->parms.width = 160, p->parms.height = 120, p->parms.windowed = 1, p->parms.reference_counting = 1;
  p->init = Init, p->shutdown = Shutdown, p->update = Update, p->draw = Draw;
  return true;
}
