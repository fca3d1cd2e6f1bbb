// The image-test program: draws one fixed scene, named on the command line as
// "scene=NAME", every frame through the engine interface table, so that a screenshot of
// it can be compared with a reference image in tests/golden/.
//
// The first scenes use untextured drawing only (rectangles, quads, indexed triangles,
// lines) with colours, alpha, blend modes, transforms and clip rectangles. The bitmap
// scenes draw the small images of tests/data/images, which the test copies into the game
// folder's data/ folder: they are loaded in init (on the main thread a bitmap is on the
// GPU as soon as it is loaded, so the first frame can draw it) and released at shutdown.
// Nothing depends on time or on the frame, and rotations use fixed angles or fixed sine
// and cosine constants, so every frame and every machine gives the same picture. Most
// scenes draw on 160x120; the letterbox and pillarbox scenes draw in a reference
// resolution that the engine scales onto a window of another shape (the game folder's
// prog.xml sets that up).
//
// An unknown scene name, or a bitmap that cannot be loaded, is logged and makes init
// fail, which ends the run with an error.
#include "scenes.h"

#include <stdio.h>
#include <string.h>

ZY_EngineInterface *zy;
static ZY_ProgramInterface *prog;

// ---------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------

ZY_Vertex V(float x, float y, uint32_t argb) {
  ZY_Vertex v;
  memset(&v, 0, sizeof v);
  v.x = x;
  v.y = y;
  v.color = argb;
  return v;
}

ZY_Vertex VT(float x, float y, uint32_t argb, float u, float v) {
  ZY_Vertex t = V(x, y, argb);
  t.u = u;
  t.v = v;
  return t;
}

void PushTranslate(float x, float y) {
  const float m[16] = {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, 0, 0, 0, 0, 1};
  zy->PushTransform(m);
}
void PushRotate(float c, float s) {
  const float m[16] = {c, -s, 0, 0, s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  zy->PushTransform(m);
}
void PushScale(float sx, float sy) {
  const float m[16] = {sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  zy->PushTransform(m);
}

void Rect(float x, float y, float w, float h, float r, float g, float b, float a) {
  zy->SetColor(r, g, b);
  zy->SetAlpha(a);
  zy->DrawRect(x, y, w, h);
}

// A quad whose corners carry their own colours (top-left, top-right, bottom-left,
// bottom-right).
static void GradientQuad(float x, float y, float w, float h, uint32_t tl, uint32_t tr, uint32_t bl,
                         uint32_t br) {
  const ZY_Vertex q[4] = {V(x, y, tl), V(x + w, y, tr), V(x, y + h, bl), V(x + w, y + h, br)};
  zy->DrawQuad(NULL, q);
}

void Plain(void) {
  zy->SetBlendMode(0);
  zy->SetRenderMode(1);
  zy->SetColor(1, 1, 1);
  zy->SetAlpha(1);
}

// ---------------------------------------------------------------------------------
// Scenes
// ---------------------------------------------------------------------------------

// Opaque colours, alpha steps over two backgrounds, overlapping translucent rectangles,
// alpha clamping and fractional edges.
static void SceneRects(void) {
  const float colours[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
  for (int i = 0; i < 6; i++)
    Rect(8 + 24.0f * i, 8, 20, 20, colours[i][0], colours[i][1], colours[i][2]);

  // White over blue strips, crossed by red squares of alpha 1, 0.8, 0.6, 0.4, 0.2 and 0
  // (the last draws nothing).
  Rect(8, 36, 144, 12, 1, 1, 1);
  Rect(8, 48, 144, 12, 0, 0, 1);
  for (int i = 0; i < 6; i++) Rect(10 + 24.0f * i, 38, 20, 20, 1, 0, 0, 1.0f - 0.2f * i);

  // Three half-transparent rectangles overlapping like a Venn diagram.
  Rect(8, 68, 40, 28, 1, 0, 0, 0.5f);
  Rect(28, 68, 40, 28, 0, 1, 0, 0.5f);
  Rect(18, 84, 40, 28, 0, 0, 1, 0.5f);

  // Alpha above 1 is taken as 1: an opaque orange block hides the grey under it.
  Rect(84, 68, 60, 20, 0.5f, 0.5f, 0.5f);
  Rect(94, 72, 40, 12, 1, 0.5f, 0, 1.5f);
  // Half-pixel edges: pixel centres on the left and top edges are covered, those on the
  // right and bottom edges are not, so this covers x 99..119, y 93..103.
  Rect(99.5f, 93.5f, 21, 11, 0.6f, 0.8f, 1);
  Plain();
}

// Blend modes 0 to 4 in columns from left to right, each an orange rectangle at alpha
// 0.5 with a small opaque sky-blue square in it, over a grey band and a blue-to-yellow
// gradient.
static void SceneBlend(void) {
  Rect(0, 0, 160, 60, 0.5f, 0.5f, 0.5f);
  GradientQuad(0, 60, 160, 60, 0xFF2040C0u, 0xFF2040C0u, 0xFFF0E040u, 0xFFF0E040u);
  for (int mode = 0; mode < 5; mode++) {
    const float x = 6 + 31.0f * mode;
    zy->SetBlendMode(mode);
    Rect(x, 6, 24, 108, 1, 0.6f, 0.2f, 0.5f);
    Rect(x + 6, 20, 12, 12, 0.2f, 0.8f, 1);
    Rect(x + 6, 80, 12, 12, 0.2f, 0.8f, 1);
  }
  Plain();
}

// Nested transforms. Left: a translation, a rotation by 30 degrees, a scaling by one
// half and a further translation, with a rectangle drawn at each level. Right: a
// horizontal stretch by 2 and, inside it, a rotation by 45 degrees.
static void SceneTransforms(void) {
  PushTranslate(44, 60);
  PushRotate(COS30, SIN30);
  Rect(-36, -18, 72, 36, 0.9f, 0.2f, 0.2f);  // red bar turned by 30 degrees
  PushScale(0.5f, 0.5f);
  Rect(-36, -18, 72, 36, 0.2f, 0.9f, 0.2f);  // the same bar, half size, same turn
  PushTranslate(48, 0);
  Rect(-8, -8, 16, 16, 0.3f, 0.4f, 1);  // blue square 24 pixels along the turned axis
  zy->PopTransform();
  zy->PopTransform();
  zy->PopTransform();
  Rect(-2, -2, 4, 4, 1, 1, 1);  // white mark on the group's origin
  zy->PopTransform();

  PushTranslate(120, 60);
  PushScale(2, 1);
  Rect(-10, -20, 20, 40, 0.3f, 0.4f, 1);  // a 40x40 blue square
  PushRotate(COS45, SIN45);
  Rect(-10, -10, 20, 20, 1, 0.9f, 0.2f, 0.75f);  // a diamond twice as wide as tall
  zy->PopTransform();
  zy->PopTransform();
  zy->PopTransform();

  // Identity again: a plain square in the bottom-left corner.
  Rect(4, 104, 12, 12, 1, 1, 1);
  Plain();
}

// Clip rectangles: a full-screen gradient seen through a clip with a white frame around
// it, a rotated bar cut by a clip, a clip reaching past the screen, and a clip with a
// negative width that is refused and leaves drawing unclipped.
static void SceneClip(void) {
  zy->SetClipRect(16, 16, 56, 40);
  GradientQuad(0, 0, 160, 120, 0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u, 0xFFFFFFFFu);
  zy->ResetClipRect();
  Rect(15, 15, 58, 1, 1, 1, 1);
  Rect(15, 56, 58, 1, 1, 1, 1);
  Rect(15, 16, 1, 40, 1, 1, 1);
  Rect(72, 16, 1, 40, 1, 1, 1);

  // The clip is in screen pixels, whatever the transform.
  zy->SetClipRect(96, 16, 48, 48);
  PushTranslate(120, 40);
  PushRotate(COS30, SIN30);
  Rect(-50, -8, 100, 16, 1, 0.9f, 0.2f);
  zy->PopTransform();
  zy->PopTransform();
  zy->ResetClipRect();

  // Clipped to the part on screen: x 120..159, y 88..119.
  zy->SetClipRect(120, 88, 100, 100);
  Rect(0, 0, 160, 120, 0.2f, 0.9f, 0.4f, 0.5f);
  zy->ResetClipRect();

  // Refused: the cyan rectangle is drawn whole.
  bool accepted = zy->SetClipRect(16, 80, -5, 10);
  if (accepted) zy->Log(ZY_LOG_ERROR, "[scenes] a negative clip width was accepted");
  Rect(16, 72, 56, 32, 0, 0.8f, 0.8f);
  zy->ResetClipRect();
  Plain();
}

// Indexed triangles: a hexagon fan with a white centre and green and magenta corners, a
// concave five-pointed star, a kite of two triangles with opposite windings under a
// scaled and rotated transform, a half-transparent triangle over the hexagon, and a quad
// with red, green, blue and yellow corners. Triangle colours are chosen so that their
// red and blue parts are equal.
static void SceneTriangles(void) {
  // Hexagon fan around (36, 36), radius 28.
  ZY_Vertex hex[7];
  uint16_t hex_idx[18];
  const float hx[6] = {1, 0.5f, -0.5f, -1, -0.5f, 0.5f};
  const float hy[6] = {0, 0.8660254f, 0.8660254f, 0, -0.8660254f, -0.8660254f};
  hex[0] = V(36, 36, 0xFFFFFFFFu);
  for (int i = 0; i < 6; i++) {
    hex[i + 1] = V(36 + 28 * hx[i], 36 + 28 * hy[i], (i & 1) ? 0xFFFF00FFu : 0xFF00FF00u);
    hex_idx[i * 3] = 0;
    hex_idx[i * 3 + 1] = (uint16_t)(i + 1);
    hex_idx[i * 3 + 2] = (uint16_t)((i + 1) % 6 + 1);
  }
  zy->DrawTriangles(NULL, hex, 7, hex_idx, 18);

  // Five-pointed star around (116, 38): outer radius 32, inner 13, point upwards.
  ZY_Vertex star[11];
  uint16_t star_idx[30];
  const float sx[10] = {0, 0.5878f,  0.9511f,  0.9511f,  0.5878f,
                        0, -0.5878f, -0.9511f, -0.9511f, -0.5878f};
  const float sy[10] = {-1, -0.8090f, -0.3090f, 0.3090f,  0.8090f,
                        1,  0.8090f,  0.3090f,  -0.3090f, -0.8090f};
  star[0] = V(116, 38, 0xFF808080u);
  for (int i = 0; i < 10; i++) {
    const float radius = (i & 1) ? 13.0f : 32.0f;
    star[i + 1] = V(116 + radius * sx[i], 38 + radius * sy[i], (i & 1) ? 0xFF40C040u : 0xFFFFFFFFu);
    star_idx[i * 3] = 0;
    star_idx[i * 3 + 1] = (uint16_t)(i + 1);
    star_idx[i * 3 + 2] = (uint16_t)((i + 1) % 10 + 1);
  }
  zy->DrawTriangles(NULL, star, 11, star_idx, 30);

  // Half-transparent white triangle across the hexagon's lower right.
  const ZY_Vertex veil[3] = {V(30, 40, 0x80FFFFFFu), V(70, 44, 0x80FFFFFFu),
                             V(44, 70, 0x80FFFFFFu)};
  const uint16_t veil_idx[3] = {0, 1, 2};
  zy->DrawTriangles(NULL, veil, 3, veil_idx, 3);

  // A kite: the first triangle clockwise, the second anticlockwise on screen.
  PushTranslate(116, 94);
  PushRotate(COS30, SIN30);
  PushScale(1.5f, 1.5f);
  const ZY_Vertex kite[4] = {V(-16, 0, 0xFF00FF00u), V(0, -10, 0xFFFFFFFFu), V(0, 10, 0xFF000000u),
                             V(20, 0, 0xFFFF00FFu)};
  const uint16_t kite_idx[6] = {0, 1, 2, 1, 2, 3};
  zy->DrawTriangles(NULL, kite, 4, kite_idx, 6);
  zy->PopTransform();
  zy->PopTransform();
  zy->PopTransform();

  GradientQuad(8, 76, 64, 36, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u);
  Plain();
}

// Lines: a burst of 16 lines from one point, a square outline of four joined lines with
// a square turned by 30 degrees inside it, colour-graded lines given as vertices,
// half-transparent diagonals across a grey block, and a zero-length line that draws
// nothing.
static void SceneLines(void) {
  // cos(k x 22.5 degrees), k = 0..15
  const float c[16] = {1,           0.9238795f,  0.7071068f,  0.3826834f,
                       0,           -0.3826834f, -0.7071068f, -0.9238795f,
                       -1,          -0.9238795f, -0.7071068f, -0.3826834f,
                       0,           0.3826834f,  0.7071068f,  0.9238795f};
  for (int i = 0; i < 16; i++) {
    const float s = c[(i + 12) % 16];  // sin(a) = cos(a - 90 degrees)
    if (i & 1)
      zy->SetColor(1, 0.8f, 0.2f);
    else
      zy->SetColor(1, 1, 1);
    zy->DrawLine(40, 40, 40 + 30 * c[i], 40 + 30 * s);
  }

  zy->SetColor(0.3f, 0.6f, 1);
  zy->DrawLine(90, 10, 150, 10);
  zy->DrawLine(150, 10, 150, 70);
  zy->DrawLine(150, 70, 90, 70);
  zy->DrawLine(90, 70, 90, 10);
  PushTranslate(120, 40);
  PushRotate(COS30, SIN30);
  zy->SetColor(1, 0.4f, 0.4f);
  zy->DrawLine(-18, -18, 18, -18);
  zy->DrawLine(18, -18, 18, 18);
  zy->DrawLine(18, 18, -18, 18);
  zy->DrawLine(-18, 18, -18, -18);
  zy->PopTransform();
  zy->PopTransform();

  // Vertex colours graded along each line (colours with equal red and blue).
  for (int i = 0; i < 6; i++) {
    const float y = 82 + 5.0f * i;
    const ZY_Vertex a[2] = {V(8, y, 0xFF00FF00u), V(72, y + 4 * (i - 2.5f), 0xFFFFFFFFu)};
    zy->DrawLineVertices(a);
  }

  Rect(92, 80, 56, 32, 0.4f, 0.4f, 0.4f);
  zy->SetColor(1, 1, 1);
  zy->SetAlpha(0.5f);
  zy->DrawLine(84, 76, 156, 116);
  zy->DrawLine(84, 116, 156, 76);
  zy->SetAlpha(1);
  zy->DrawLine(5, 5, 5, 5);
  Plain();
}

// Letterboxing: the program draws in 160x80, scaled by 1.25 onto a 200x150 window, so
// black bars of 25 pixels stay above and below. It paints far past its own area (the
// bars must cover that), frames its area in white, draws a diagonal line, an orange
// square and a magenta rectangle clipped by a clip rectangle given in program
// coordinates.
static void SceneLetterbox(void) {
  Rect(-100, -100, 360, 280, 0.1f, 0.4f, 0.5f);
  Rect(0, 0, 160, 2, 1, 1, 1);
  Rect(0, 78, 160, 2, 1, 1, 1);
  Rect(0, 0, 2, 80, 1, 1, 1);
  Rect(158, 0, 2, 80, 1, 1, 1);
  zy->SetClipRect(16, 16, 40, 24);
  Rect(0, 0, 160, 80, 1, 0.2f, 0.8f);
  zy->ResetClipRect();
  Rect(96, 24, 32, 32, 1, 0.6f, 0.1f);
  zy->SetColor(1, 1, 0.4f);
  zy->DrawLine(4, 4, 156, 76);
  Plain();
}

// Pillarboxing: the program draws in 100x100, scaled by 1.2 onto a 160x120 window, so
// black bars of 20 pixels stay left and right. It paints far past its own area in dark
// red, then a 2x2 checker of yellow and blue squares with a green square turned by 45
// degrees in the middle.
static void ScenePillarbox(void) {
  Rect(-60, -60, 220, 220, 0.5f, 0.1f, 0.1f);
  Rect(5, 5, 45, 45, 1, 0.9f, 0.2f);
  Rect(50, 50, 45, 45, 1, 0.9f, 0.2f);
  Rect(50, 5, 45, 45, 0.2f, 0.3f, 1);
  Rect(5, 50, 45, 45, 0.2f, 0.3f, 1);
  PushTranslate(50, 50);
  PushRotate(COS45, SIN45);
  Rect(-15, -15, 30, 30, 0.2f, 0.9f, 0.3f);
  zy->PopTransform();
  zy->PopTransform();
  Plain();
}

// Vertex colours with red and blue parts that differ, given as 0xAARRGGBB words to
// DrawTriangles and DrawLineVertices, beside the same colours drawn as quads: on the
// left a triangle with red, green and blue corners and red-to-blue lines, on the right
// the same colours as a quad and as thin rectangles. Both halves must look alike with
// either colour order of the renderer.
static void SceneVertexColours(void) {
  const ZY_Vertex tri[3] = {V(40, 8, 0xFFFF0000u), V(72, 64, 0xFF00FF00u), V(8, 64, 0xFF0000FFu)};
  const uint16_t idx[3] = {0, 1, 2};
  zy->DrawTriangles(NULL, tri, 3, idx, 3);
  GradientQuad(88, 8, 64, 56, 0xFFFF0000u, 0xFFFF0000u, 0xFF0000FFu, 0xFF00FF00u);
  for (int i = 0; i < 4; i++) {
    const float y = 76 + 10.0f * i;
    const ZY_Vertex line[2] = {V(8, y, 0xFFFF0000u), V(72, y, 0xFF0000FFu)};
    zy->DrawLineVertices(line);
    GradientQuad(88, y, 64, 1, 0xFFFF0000u, 0xFF0000FFu, 0xFFFF0000u, 0xFF0000FFu);
  }
  Plain();
}

// ---------------------------------------------------------------------------------
// Program module
// ---------------------------------------------------------------------------------

struct Scene {
  const char *name;
  void (*draw)(void);
  bool (*load)(void);  // gets the scene's bitmaps in init, or null
};

static const Scene SCENES[] = {
    {"rects", SceneRects, NULL},
    {"blend", SceneBlend, NULL},
    {"transforms", SceneTransforms, NULL},
    {"clip", SceneClip, NULL},
    {"triangles", SceneTriangles, NULL},
    {"lines", SceneLines, NULL},
    {"letterbox", SceneLetterbox, NULL},
    {"pillarbox", ScenePillarbox, NULL},
    {"vertex_colours", SceneVertexColours, NULL},
    {"bitmaps", SceneBitmaps, LoadSceneBitmaps},
    {"bitmap_parts", SceneBitmapParts, LoadSceneBitmaps},
    {"bitmap_ex", SceneBitmapEx, LoadSceneBitmaps},
    {"bitmap_lines", SceneBitmapLines, LoadSceneBitmaps},
    {"textured_quads", SceneTexturedQuads, LoadSceneBitmaps},
    {"render_target", SceneRenderTarget, LoadRenderTargetScene},
};

static const Scene *scene;

// The scene named by "scene=NAME" on the command line.
static const Scene *FindScene(const char *command_line) {
  const char *at = command_line ? strstr(command_line, "scene=") : NULL;
  if (!at) return NULL;
  at += 6;
  size_t len = strcspn(at, " \t");
  for (const Scene &s : SCENES)
    if (strlen(s.name) == len && strncmp(s.name, at, len) == 0) return &s;
  return NULL;
}

static bool Init(void) {
  zy = prog->zy;
  scene = FindScene(prog->parms.command_line);
  if (!scene) {
    zy->Log(ZY_LOG_ERROR, "[scenes] no known scene in '%s'",
            prog->parms.command_line ? prog->parms.command_line : "");
    return false;
  }
  if (scene->load && !scene->load()) return false;
  zy->Log(ZY_LOG_INFO, "[scenes] drawing scene '%s' at %dx%d", scene->name, prog->parms.width,
          prog->parms.height);
  return true;
}

static void Shutdown(void) { ReleaseSceneBitmaps(); }

// Scenes do not move: nothing to update.
static void Update(float) {}

static void Draw(float) {
  if (scene && zy->DrawRect) scene->draw();
}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *p, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog = p;
  p->interface_version = ZY_INTERFACE_VERSION;
  snprintf(p->id, sizeof p->id, "zytest.scenes");
  snprintf(p->title, sizeof p->title, "Image Test Scenes");
  snprintf(p->version, sizeof p->version, "1.0");
  snprintf(p->developer_name, sizeof p->developer_name, "ZytestStudio");
  p->parms.width = 160;
  p->parms.height = 120;
  p->parms.windowed = 1;
  p->parms.reference_counting = 1;
  p->init = Init;
  p->shutdown = Shutdown;
  p->update = Update;
  p->draw = Draw;
  return true;
}
