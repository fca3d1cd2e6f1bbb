// The drawing operations' vertices: positions, texture coordinates, colour words in both
// colour orders, the odd-size offset of DrawBitmapEx and the bit-level inverse square
// root of DrawBitmapLine.
#include <math.h>

#include "draw_test.h"

using drawtest::ReadyBitmap;

namespace {

// The same approximation written independently: 0x5F3759DF minus half the bits, one
// Newton step.
float ReferenceInverseRoot(float d) {
  union {
    float f;
    uint32_t i;
  } u;
  u.f = d;
  u.i = 0x5F3759DFu - u.i / 2;
  return u.f * (1.5f - 0.5f * d * u.f * u.f);
}

void ExpectCorner(const ZY_Vertex &v, float x, float y, float u, float tv) {
  EXPECT_NEAR(v.x, x, 1e-4);
  EXPECT_NEAR(v.y, y, 1e-4);
  EXPECT_NEAR(v.u, u, 1e-6);
  EXPECT_NEAR(v.v, tv, 1e-6);
}

// The four corners of a quad as x, y, u, v each, top-left, top-right, bottom-left,
// bottom-right.
void ExpectQuad(const std::vector<ZY_Vertex> &q,
                const std::array<std::array<float, 4>, 4> &want) {
  ASSERT_EQ(q.size(), 4u);
  for (int i = 0; i < 4; i++) {
    SCOPED_TRACE("corner " + std::to_string(i));
    ExpectCorner(q[i], want[i][0], want[i][1], want[i][2], want[i][3]);
  }
}

}  // namespace

TEST_F(DrawLayerTest, DrawRectIsAnUntexturedQuadWithTheCurrentColourAndDepth) {
  ZY_SetColor(1.0f, 0.5f, 0.25f);
  ZY_SetAlpha(0.5f);
  ZY_SetDrawDepth(0.75f);
  ZY_DrawRect(10, 20, 30, 40);
  ZYI_Flush();
  ASSERT_NO_FATAL_FAILURE(ExpectQuad(
      OnlyDraw(),
      {{{10, 20, 0.5f, 0.5f}, {40, 20, 0.5f, 0.5f}, {10, 60, 0.5f, 0.5f}, {40, 60, 0.5f, 0.5f}}}));
  for (const ZY_Vertex &v : rec.draws[0].vertices) {
    EXPECT_EQ(v.color, 0x7FFF7F3Fu);  // alpha 127, red 255, green 127, blue 63
    EXPECT_EQ(v.z, 0.75f);
  }
  EXPECT_EQ(rec.draws[0].texture, "-");
  EXPECT_EQ(ZY_GetDrawDepth(), 0.75f);
}

TEST_F(DrawLayerTest, ColourWordsFollowTheRendererOrder) {
  ZY_SetColor(1.0f, 0.5f, 0.25f);
  EXPECT_EQ(zy::draw.color, 0xFFFF7F3Fu);
  ZY_SetColorRGBA(1.0f, 0.5f, 0.25f);
  const uint8_t *bytes = (const uint8_t *)&zy::draw.color;
  EXPECT_EQ(bytes[0], 255);  // red first in memory
  EXPECT_EQ(bytes[1], 127);
  EXPECT_EQ(bytes[2], 63);
  EXPECT_EQ(bytes[3], 255);  // alpha last, the top byte of the word
  ZY_SetAlpha(0.5f);
  EXPECT_EQ(bytes[3], 127);
  EXPECT_EQ(bytes[0], 255);
  for (int i = 0; i < 4; i++) EXPECT_EQ(zy::draw.quad[i].color, zy::draw.color);

  // Channels outside 0..1 are clamped instead of spilling into their neighbours.
  ZY_SetColor(2.0f, -1.0f, 0.0f);
  EXPECT_EQ(zy::draw.color, 0x7FFF0000u);
}

TEST_F(DrawLayerTest, AlphaIsClampedAndZeroAlphaHidesBitmapsAndRectangles) {
  ZY_SetAlpha(1.5f);
  EXPECT_EQ(zy::draw.alpha, 1.0f);
  EXPECT_EQ(zy::draw.color >> 24, 255u);
  ZY_SetAlpha(-3.0f);
  EXPECT_EQ(zy::draw.alpha, 0.0f);
  EXPECT_EQ(zy::draw.color >> 24, 0u);

  ZY_Bitmap a = ReadyBitmap(4, 4);
  ZY_DrawBitmap(&a, 0, 0);
  ZY_DrawRect(0, 0, 4, 4);
  ZYI_Flush();
  EXPECT_TRUE(rec.draws.empty());
  // The other operations do not look at alpha.
  ZY_DrawBitmapEx(&a, 0, 0, 0, 1);
  ZYI_Flush();
  EXPECT_EQ(rec.draws.size(), 1u);
}

TEST_F(DrawLayerTest, DrawBitmapCoversItsSizeWithTheTextureRectangle) {
  ZY_Bitmap a = ReadyBitmap(64, 32, 0.125f, 0.25f, 0.625f, 0.5f);
  ZY_DrawBitmap(&a, 5, 7);
  ZYI_Flush();
  ExpectQuad(OnlyDraw(), {{{5, 7, 0.125f, 0.25f}, {69, 7, 0.625f, 0.25f}, {5, 39, 0.125f, 0.5f},
                           {69, 39, 0.625f, 0.5f}}});
}

TEST_F(DrawLayerTest, DrawBitmapExShiftsOddSizesByHalfAScaledPixel) {
  ZY_Bitmap odd_width = ReadyBitmap(5, 4);
  ZY_DrawBitmapEx(&odd_width, 100, 50, 0.0f, 2.0f);
  ZYI_Flush();
  // X = 100 - 2 / 2 = 99, Y stays 50; half sizes 5 and 4.
  ExpectQuad(OnlyDraw(), {{{94, 46, 0, 0}, {104, 46, 1, 0}, {94, 54, 0, 1}, {104, 54, 1, 1}}});

  rec.draws.clear();
  ZY_Bitmap odd_both = ReadyBitmap(3, 3);
  ZY_DrawBitmapEx(&odd_both, 10, 10, 0.0f, 1.0f);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 1u);
  ExpectCorner(rec.draws[0].vertices[0], 8, 8, 0, 0);
  ExpectCorner(rec.draws[0].vertices[3], 11, 11, 1, 1);
}

TEST_F(DrawLayerTest, DrawBitmapExRotatesAboutItsCentre) {
  ZY_Bitmap a = ReadyBitmap(10, 4);
  ZY_DrawBitmapEx(&a, 100, 50, 1.5707963268f, 1.0f);
  ZYI_Flush();
  // A quarter turn: offset (dx, dy) goes to (-dy, dx); offsets (-5, -2), (5, -2), (-5, 2),
  // (5, 2).
  ExpectQuad(OnlyDraw(), {{{102, 45, 0, 0}, {102, 55, 1, 0}, {98, 45, 0, 1}, {98, 55, 1, 1}}});
}

TEST_F(DrawLayerTest, DrawBitmapLineUsesTheBitLevelInverseSquareRoot) {
  ZY_Bitmap a = ReadyBitmap(16, 16);
  ZY_Point from = {0, 0}, to = {1, 1};
  ZY_ColorF red = {1, 0, 0, 1}, blue = {0, 0, 1, 0.5f};
  ZY_DrawBitmapLine(&a, &from, &to, 4.0f, 2.0f, &red, &blue);
  ZYI_Flush();
  const std::vector<ZY_Vertex> &q = OnlyDraw();
  ASSERT_EQ(q.size(), 4u);
  float n = ReferenceInverseRoot(2.0f);
  // The approximation, not the exact 1 / sqrt(2), is what places the corners.
  ASSERT_GT(fabsf(n - 1.0f / sqrtf(2.0f)), 1e-4f);
  // Normal (-(a.y - b.y) n, (a.x - b.x) n) = (n, -n); half widths 2 and 1.
  EXPECT_FLOAT_EQ(q[0].x, -2 * n);
  EXPECT_FLOAT_EQ(q[0].y, 2 * n);
  EXPECT_FLOAT_EQ(q[1].x, 2 * n);
  EXPECT_FLOAT_EQ(q[1].y, -2 * n);
  EXPECT_FLOAT_EQ(q[2].x, 1 - n);
  EXPECT_FLOAT_EQ(q[2].y, 1 + n);
  EXPECT_FLOAT_EQ(q[3].x, 1 + n);
  EXPECT_FLOAT_EQ(q[3].y, 1 - n);
  EXPECT_EQ(q[0].color, 0xFFFF0000u);
  EXPECT_EQ(q[1].color, 0xFFFF0000u);
  EXPECT_EQ(q[2].color, 0x7F0000FFu);
  EXPECT_EQ(q[3].color, 0x7F0000FFu);
  EXPECT_EQ(q[1].u, 1.0f);
  EXPECT_EQ(q[2].v, 1.0f);

  // A renderer that takes bytes R, G, B, A gets the end colours in that order too.
  zy::modules.colour_order = ZY_COLOUR_ORDER_RGBA_BYTES;
  rec.draws.clear();
  ZY_DrawBitmapLine(&a, &from, &to, 4.0f, 2.0f, &red, &blue);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.draws[0].vertices[0].color, 0xFF0000FFu);
  EXPECT_EQ(rec.draws[0].vertices[3].color, 0x7FFF0000u);
}

TEST_F(DrawLayerTest, DrawBitmapPartMapsPixelsIntoTheTextureRectangle) {
  ZY_Bitmap a = ReadyBitmap(100, 50, 0.25f, 0.5f, 0.75f, 1.0f);
  ZY_DrawBitmapPart(&a, 200, 300, 10, 5, 60, 25);
  ZYI_Flush();
  ExpectQuad(OnlyDraw(), {{{200, 300, 0.30f, 0.55f}, {250, 300, 0.55f, 0.55f},
                           {200, 320, 0.30f, 0.75f}, {250, 320, 0.55f, 0.75f}}});
}

TEST_F(DrawLayerTest, DrawQuadMapsCoordinatesAndSwapsColoursForByteOrderRenderers) {
  ZY_Bitmap a = ReadyBitmap(8, 8, 0.5f, 0.0f, 1.0f, 0.5f);
  ZY_Vertex v[4] = {{0, 0, 0, 0x80112233u, 0, 0},
                    {1, 0, 0, 0x80112233u, 1, 0},
                    {0, 1, 0, 0x80112233u, 0, 1},
                    {1, 1, 0, 0x80112233u, 0.5f, 0.5f}};
  ZY_DrawQuad(&a, v);
  zy::modules.colour_order = ZY_COLOUR_ORDER_RGBA_BYTES;
  ZY_DrawQuad(nullptr, v);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  const std::vector<ZY_Vertex> &textured = rec.draws[0].vertices;
  EXPECT_EQ(textured[0].color, 0x80112233u);
  ExpectCorner(textured[1], 1, 0, 1.0f, 0.0f);
  ExpectCorner(textured[2], 0, 1, 0.5f, 0.5f);
  ExpectCorner(textured[3], 1, 1, 0.75f, 0.25f);
  const std::vector<ZY_Vertex> &plain = rec.draws[1].vertices;
  EXPECT_EQ(plain[0].color, 0x80332211u);
  EXPECT_EQ(plain[3].u, 0.5f);  // no bitmap: coordinates as given
  EXPECT_EQ(rec.draws[1].texture, "-");
}

TEST_F(DrawLayerTest, BitmapsThatAreNotReadyDrawNothing) {
  ZY_Bitmap waiting = ReadyBitmap(8, 8);
  waiting.state = ZY_BITMAP_STATE_WAITING;
  ZY_Bitmap off_gpu = ReadyBitmap(8, 8);
  off_gpu.hw.on_gpu = 0;
  ZY_Point a = {0, 0}, b = {5, 5};
  ZY_ColorF c = {1, 1, 1, 1};
  ZY_Vertex v[4] = {};
  for (ZY_Bitmap *bm : {&waiting, &off_gpu, (ZY_Bitmap *)nullptr}) {
    ZY_DrawBitmap(bm, 0, 0);
    ZY_DrawBitmapEx(bm, 0, 0, 0, 1);
    ZY_DrawBitmapLine(bm, &a, &b, 1, 1, &c, &c);
    ZY_DrawBitmapPart(bm, 0, 0, 0, 0, 4, 4);
    if (bm) ZY_DrawQuad(bm, v);
  }
  ZYI_Flush();
  EXPECT_TRUE(rec.draws.empty());
  EXPECT_TRUE(rec.calls.empty());
}
