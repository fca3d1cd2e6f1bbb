// rmod_soft, the software renderer module: coverage, blending and textures.
#include "rmod_soft_fixture.h"

namespace {

using namespace rmodsoft;

// --- Coverage -----------------------------------------------------------------------

TEST_F(RmodSoft, QuadsCoverExactlyThePixelCentresInsideThemOnce) {
  Start();
  Rect(8, 8, 16, 12, RED);
  Rect(34.5f, 4.5f, 10, 4, GREEN);  // fractional: centres on the left and top edges are in
  Rect(40.6f, 30.6f, 0.5f, 0.5f, RED);  // covers no pixel centre
  // The shared diagonal of a square quad passes through pixel centres; with blending,
  // a pixel covered by both triangles (or by neither) would show.
  Rect(8, 28, 16, 16, Rgba{255, 255, 255, 128});
  Image img = Finish();
  ASSERT_EQ(img.width, 64);
  ASSERT_EQ(img.height, 48);
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 64; x++) {
      Rgba want = BLACK;
      if (x >= 8 && x < 24 && y >= 8 && y < 20) want = RED;
      if (x >= 34 && x < 44 && y >= 4 && y < 8) want = GREEN;
      if (x >= 8 && x < 24 && y >= 28 && y < 44) want = Rgba{128, 128, 128, 255};
      ASSERT_TRUE(Near(img.At(x, y), want)) << x << "," << y;
    }
}

TEST_F(RmodSoft, TransformIsRowMajorWithTranslationInTheLastColumn) {
  Start();
  const float m[16] = {2, 0, 0, 10, 0, 1, 0, 5, 0, 0, 1, 0, 0, 0, 0, 1};
  r->SetTransform(m);
  Rect(0, 0, 4, 4, BLUE);  // becomes x 10..18, y 5..9
  r->SetTransform(nullptr);  // identity again
  Rect(0, 0, 2, 2, RED);
  ExpectPixels(Finish(), {{10, 5, BLUE}, {17, 8, BLUE}, {18, 8, BLACK}, {9, 5, BLACK},
                          {17, 9, BLACK}, {1, 1, RED}});
}

TEST_F(RmodSoft, ColoursInterpolateAcrossTheQuad) {
  Start();
  const ZY_Vertex q[4] = {V(0, 0, BLACK), V(64, 0, WHITE), V(0, 48, BLACK), V(64, 48, WHITE)};
  DrawQuad(q);
  Image img = Finish();
  for (int y = 0; y < 48; y++) {
    EXPECT_LE(img.At(0, y).r, 4);
    EXPECT_GE(img.At(63, y).r, 251);
    for (int x = 1; x < 64; x++) {
      ASSERT_LE(img.At(x - 1, y).r, img.At(x, y).r) << x << "," << y;
      ASSERT_TRUE(Near(img.At(x, y), img.At(x, 0))) << "rows differ at " << x << "," << y;
    }
  }
  EXPECT_TRUE(Near(img.At(32, 20), Rgba{130, 130, 130, 255}, 2));  // (32.5 / 64) x 255
}

// --- Blending -----------------------------------------------------------------------

TEST_F(RmodSoft, BlendModesCombineAsDocumented) {
  Start();
  const Rgba grey = {100, 150, 200, 255};
  Rect(0, 0, 64, 40, grey);
  Rect(0, 40, 64, 8, BLUE);
  Rect(0, 40, 32, 8, Rgba{255, 0, 0, 128});  // mode 0: straight alpha
  Rect(32, 40, 32, 8, Rgba{255, 0, 0, 0});   // fully transparent: no change
  r->SetBlendMode(1);  // additive: dst + src x alpha
  Rect(0, 0, 10, 10, Rgba{100, 50, 10, 128});
  r->SetBlendMode(2);  // multiply
  Rect(10, 0, 10, 10, Rgba{128, 255, 0, 255});
  r->SetBlendMode(3);  // replace, alpha ignored for blending
  Rect(20, 0, 10, 10, Rgba{10, 20, 30, 40});
  r->SetBlendMode(4);  // premultiplied: src + dst x (1 - alpha)
  Rect(30, 0, 10, 10, Rgba{50, 0, 0, 128});
  r->SetBlendMode(77);  // unknown: like 0
  Rect(40, 0, 10, 10, Rgba{0, 0, 0, 128});
  r->SetBlendMode(0);
  ExpectPixels(Finish(), {{10, 44, Rgba{128, 0, 127, 255}, 1}, {40, 44, BLUE},
                          {5, 5, Rgba{150, 175, 205, 255}, 1}, {15, 5, Rgba{50, 150, 0, 255}, 1},
                          {25, 5, Rgba{10, 20, 30, 255}}, {35, 5, Rgba{100, 75, 100, 255}, 1},
                          {45, 5, Rgba{50, 75, 100, 255}, 1}, {55, 5, grey}});
}

// --- Textures -----------------------------------------------------------------------

TEST_F(RmodSoft, NearestSamplingStretchesTexelsIntoBlocks) {
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  EXPECT_EQ(bm.hw.on_gpu, 1);
  EXPECT_NE(bm.hw.texture, nullptr);
  EXPECT_EQ(bm.hw.left, 0.0f);
  EXPECT_EQ(bm.hw.top, 0.0f);
  EXPECT_EQ(bm.hw.right, 1.0f);
  EXPECT_EQ(bm.hw.bottom, 1.0f);
  r->SetRenderMode(0);
  Textured(&bm, 0, 0, 32, 32);
  Textured(&bm, 40, 0, 8, 8, Rgba{255, 255, 255, 128});  // modulated by the vertex colour
  Image img = Finish();
  for (int y = 0; y < 32; y++)
    for (int x = 0; x < 32; x++)
      ASSERT_TRUE(Near(img.At(x, y), CHECKER[(y >= 16) * 2 + (x >= 16)])) << x << "," << y;
  ExpectPixels(img, {{40, 0, Rgba{128, 0, 0, 255}, 1}, {47, 7, Rgba{128, 128, 128, 255}, 1}});
}

TEST_F(RmodSoft, BilinearSamplingIsExactAtOneToOneAndBlendsWhenStretched) {
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  r->SetRenderMode(1);
  Textured(&bm, 40, 40, 2, 2);    // texel centres on pixel centres
  Textured(&bm, 0, 0, 32, 32);    // magnified 16 times
  Image img = Finish();
  ExpectPixels(img, {{40, 40, RED}, {41, 40, GREEN}, {40, 41, BLUE}, {41, 41, WHITE},
                     {0, 0, RED} /* clamped to the edge (pack mode 0) */, {31, 31, WHITE}});
  // Across the middle of the top row red fades into green.
  const Rgba mid = img.At(15, 2);
  EXPECT_GT(mid.r, 40);
  EXPECT_LT(mid.r, 215);
  EXPECT_GT(mid.g, 40);
  EXPECT_LT(mid.g, 215);
  for (int x = 1; x < 32; x++) ASSERT_LE(img.At(x, 2).r, img.At(x - 1, 2).r) << x;
  EXPECT_TRUE(Near(img.At(15, 2), Rgba{255 - img.At(16, 2).r, 255 - img.At(16, 2).g, 0, 255}, 1))
      << "the blend is symmetric about the middle";
}

TEST_F(RmodSoft, TransparentPaddingSoftensStretchedEdgesOnly) {
  Start();
  ZY_Bitmap expand, transparent;
  MakeTexture(&expand, 2, 2, CHECKER, ZY_PACK_PAD_EXPAND);
  MakeTexture(&transparent, 2, 2, CHECKER, ZY_PACK_PAD_TRANSPARENT);
  Textured(&expand, 0, 0, 16, 16);
  Textured(&transparent, 20, 0, 16, 16);
  Textured(&transparent, 40, 0, 2, 2);  // one to one: no edge softening at all
  Image img = Finish();
  ExpectPixels(img, {{0, 0, RED}, {40, 0, RED}, {41, 1, WHITE}});
  const Rgba corner = img.At(20, 0);
  EXPECT_LT(corner.r, 200);  // partly transparent over black
  EXPECT_EQ(corner.g, 0);    // no colour from outside the texture
}

TEST_F(RmodSoft, LogicalSizeDiffersFromPixelBufferSize) {
  // A bitmap whose manifest gives it a logical size keeps its full pixel buffer
  // (alloc_width x alloc_height) as the texture.
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  r->FreeBitmapFromGpu(&bm.hw);
  bm.alloc_width = bm.alloc_height = 2;
  bm.width = bm.height = 1;
  ASSERT_TRUE(r->LoadBitmapToGpu(&bm));
  r->SetRenderMode(0);
  Textured(&bm, 0, 0, 4, 4);
  ExpectPixels(Finish(), {{0, 0, RED}, {3, 3, WHITE}});
}

TEST_F(RmodSoft, DrawShadedDrawsTheBitmapAsATexturedQuad) {
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  const ZY_Vertex q[4] = {V(10, 10, WHITE, 0, 0), V(14, 10, WHITE, 1, 0), V(10, 14, WHITE, 0, 1),
                          V(14, 14, WHITE, 1, 1)};
  r->SetRenderMode(0);
  r->DrawShaded(&bm, q);
  r->FreeBitmapFromGpu(&bm.hw);
  const ZY_Vertex later[4] = {V(20, 10, WHITE), V(24, 10, WHITE), V(20, 14, WHITE),
                              V(24, 14, WHITE)};
  r->DrawShaded(&bm, later);  // no longer on the GPU: nothing
  ExpectPixels(Finish(), {{10, 10, RED}, {13, 10, GREEN}, {10, 13, BLUE}, {13, 13, WHITE},
                          {21, 11, BLACK}});
}

TEST_F(RmodSoft, BothPixelAndColourOrdersGiveTheSameImage) {
  auto scene = [this]() {
    ZY_Bitmap bm;
    MakeTexture(&bm, 2, 2, CHECKER);
    Rect(0, 0, 64, 48, Rgba{20, 40, 60, 255});
    Textured(&bm, 4, 4, 24, 24, Rgba{255, 200, 100, 200});
    const ZY_Vertex q[4] = {V(30, 20, RED), V(60, 20, GREEN), V(30, 44, BLUE),
                            V(60, 44, Rgba{255, 255, 0, 160})};
    DrawQuad(q);
    Line(0, 47, 63, 30, Rgba{255, 128, 0, 255}, Rgba{0, 128, 255, 255});
    r->FreeBitmapFromGpu(&bm.hw);
    return Finish();
  };
  Start();
  EXPECT_EQ(r->GetPixelOrder(), ZY_PIXEL_ORDER_RGBA);
  EXPECT_EQ(r->GetColourOrder(), ZY_COLOUR_ORDER_ARGB_WORD);
  Image rgba = scene();
  Stop();
  setenv("ZYLEM_SOFT_BGRA", "1", 1);
  Start();
  EXPECT_EQ(r->GetPixelOrder(), ZY_PIXEL_ORDER_BGRA);
  EXPECT_EQ(r->GetColourOrder(), ZY_COLOUR_ORDER_RGBA_BYTES);
  Image bgra = scene();
  ASSERT_EQ(rgba.bytes.size(), bgra.bytes.size());
  EXPECT_TRUE(rgba.bytes == bgra.bytes);
  // The checker's red corner, tinted (255, 200, 100, 200), over the background.
  EXPECT_TRUE(Near(bgra.At(6, 6), Rgba{204, 9, 13, 255}, 1));
}

}  // namespace
