// rmod_soft, the software renderer module: clipping, render targets, lines; frames,
// screenshots, presenting and robustness; fast paths (sprites drawn one to one against
// the general rasteriser).
#include "rmod_soft_fixture.h"

namespace {

using namespace rmodsoft;

TEST_F(RmodSoft, ClipRectCutsTrianglesLinesAndClears) {
  Start();
  EXPECT_FALSE(r->SetClipRect(0, 0, -1, 5));
  ASSERT_TRUE(r->SetClipRect(10, 5, 20, 10));
  Rect(0, 0, 64, 48, RED);
  Line(0, 12, 64, 12, GREEN, GREEN);
  r->ResetClipRect();
  Rect(0, 40, 64, 8, BLUE);
  ASSERT_TRUE(r->SetClipRect(50, 0, 100, 10));  // reaching past the screen is cut there
  r->Forward3(0, 1.0f, static_cast<int32_t>(Word(WHITE)));
  r->ResetClipRect();
  Image img = Finish();
  for (int y = 0; y < 40; y++)
    for (int x = 0; x < 50; x++) {
      Rgba want = BLACK;
      if (x >= 10 && x < 30 && y >= 5 && y < 15) want = (y == 12) ? GREEN : RED;
      ASSERT_TRUE(Near(img.At(x, y), want)) << x << "," << y;
    }
  ExpectPixels(img, {{0, 47, BLUE}, {63, 47, BLUE}, {50, 0, WHITE}, {63, 9, WHITE},
                     {63, 10, BLACK}});
}

TEST_F(RmodSoft, RenderTargetKeepsAlphaAndDrawsLikeDirectDrawing) {
  Start();
  ZY_Bitmap target;
  MakeTarget(&target, 16, 16);

  ASSERT_TRUE(r->SetRenderTarget(&target));
  Rect(0, 0, 8, 16, Rgba{255, 0, 0, 128});  // into transparent black
  Rect(8, 0, 8, 8, GREEN);
  ASSERT_TRUE(r->SetRenderTarget(nullptr));

  Rect(0, 0, 64, 48, BLUE);
  r->SetRenderMode(0);
  Textured(&target, 20, 10, 16, 16);  // the target as a texture
  Rect(40, 10, 8, 16, Rgba{255, 0, 0, 128});  // the same drawn directly
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(20, 10), img.At(40, 10), 1));
  // (35, 25) was never drawn in the target: transparent.
  ExpectPixels(img, {{27, 25, Rgba{128, 0, 127, 255}, 1}, {28, 10, GREEN}, {35, 25, BLUE},
                     {19, 10, BLUE}});

  // A bitmap that is neither on the GPU nor a render target cannot be drawn into.
  ZY_Bitmap plain;
  memset(&plain, 0, sizeof plain);
  plain.width = plain.height = 4;
  EXPECT_FALSE(r->SetRenderTarget(&plain));
  r->FreeBitmapFromGpu(&target.hw);
  EXPECT_EQ(target.hw.on_gpu, 0);
  EXPECT_EQ(target.hw.texture, nullptr);
}

TEST_F(RmodSoft, FreeingTheCurrentRenderTargetSendsDrawingToTheScreen) {
  Start();
  ZY_Bitmap target;
  memset(&target, 0, sizeof target);
  target.width = target.height = 8;
  target.flags = ZY_BITMAP_IS_RENDER_TARGET;
  ASSERT_TRUE(r->SetRenderTarget(&target));  // made on demand
  ASSERT_NE(target.hw.texture, nullptr);
  r->FreeBitmapFromGpu(&target.hw);
  Rect(0, 0, 4, 4, GREEN);
  EXPECT_TRUE(Near(Finish().At(1, 1), GREEN));
}

TEST_F(RmodSoft, LinesStepPixelByPixelAndLeaveOutTheEndPixel) {
  Start();
  Line(2, 5, 12, 5, WHITE, WHITE);
  Line(20.5f, 20.5f, 30.5f, 30.5f, RED, RED);
  Line(40, 2, 42, 12, GREEN, GREEN);  // steep: one pixel per row
  Line(50, 40, 50, 40, WHITE, WHITE);  // a point: nothing
  Line(0, 44, 64, 44, BLACK, WHITE);
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 30, 0, 0, 1, 0, 0, 0, 0, 1};
  r->SetTransform(m);
  Line(2, 5, 6, 5, BLUE, BLUE);  // moved down 30 rows
  Image img = Finish();
  for (int x = 0; x < 16; x++)
    ASSERT_TRUE(Near(img.At(x, 5), (x >= 2 && x < 12) ? WHITE : BLACK)) << x;
  ExpectPixels(img, {{2, 4, BLACK}, {2, 6, BLACK}, {30, 30, BLACK}, {21, 20, BLACK},
                     {50, 40, BLACK}});
  for (int i = 0; i < 10; i++) ASSERT_TRUE(Near(img.At(20 + i, 20 + i), RED)) << i;
  int lit = 0;
  for (int y = 0; y < 16; y++)
    for (int x = 38; x < 46; x++) lit += img.At(x, y).g == 255;
  EXPECT_EQ(lit, 10);
  for (int y = 2; y < 12; y++) {
    const int x = 40 + ((y - 2) * 2 * 2 + 10) / 20;  // rounded position along the slope
    ASSERT_TRUE(Near(img.At(x, y), GREEN)) << y;
  }
  for (int x = 1; x < 64; x++) ASSERT_LE(img.At(x - 1, 44).r, img.At(x, 44).r);
  EXPECT_LE(img.At(0, 44).r, 4);
  EXPECT_GE(img.At(63, 44).r, 250);
  for (int x = 2; x < 6; x++) EXPECT_TRUE(Near(img.At(x, 35), BLUE)) << x;
}

// --- Frames, screenshots, presenting, robustness -----------------------------------------

TEST_F(RmodSoft, ScreenshotIsTheLastFinishedFrame) {
  Start();
  Rect(0, 0, 64, 48, RED);
  r->EndFrame();
  r->BeginFrame(ZY_EYE_MONO);  // clears the frame being drawn
  Rect(0, 0, 8, 8, GREEN);      // not finished yet
  ExpectPixels(Shot(), {{1, 1, RED}});
  ExpectPixels(Finish(), {{1, 1, GREEN}, {20, 20, BLACK}});

  EXPECT_STREQ(r->QueryValue("Screenshot", "/nonexistent-dir/x/shot.png"), "0");
  EXPECT_FALSE(zytest::FileExists("/nonexistent-dir/x/shot.png"));
  EXPECT_STREQ(r->QueryValue("Screenshot", nullptr), "0");
  EXPECT_EQ(r->QueryValue("NoSuchKey", "x"), nullptr);
  EXPECT_EQ(r->QueryValue(nullptr, nullptr), nullptr);

  ASSERT_TRUE(r->Reinit(32, 16, true));
  Image img = Finish();
  EXPECT_EQ(img.width, 32);
  EXPECT_EQ(img.height, 16);
}

TEST_F(RmodSoft, PresentsFinishedFramesIntoTheSdlWindowScaledToItsSize) {
  // SDL's dummy video driver saves every presented window frame as a BMP file in the
  // working folder.
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_VIDEO_DUMMY_SAVE_FRAMES", "1", 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(world.root().c_str()), 0);
  if (!ZYH_SelectBackend(ZYH_BACKEND_SDL)) {
    ASSERT_EQ(chdir(cwd), 0);
    GTEST_SKIP() << "SDL video cannot start: " << ZYH_LastErrorText();
  }
  ZyhWindowDesc desc = {};
  desc.title = "Game";
  desc.width = 128;  // twice the renderer's screen
  desc.height = 96;
  desc.windowed = true;
  ASSERT_TRUE(ZYH_WindowCreate(&desc)) << ZYH_LastErrorText();
  host_.window = ZYH_WindowNative();
  ASSERT_NE(host_.window, nullptr);
  Start(64, 48);
  Rect(0, 0, 32, 48, RED);
  Rect(32, 0, 32, 24, GREEN);
  r->EndFrame();
  Stop();
  ZYH_WindowDestroy();
  ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  ASSERT_EQ(chdir(cwd), 0);

  std::string frame;
  if (DIR *d = opendir(world.root().c_str())) {
    while (dirent *e = readdir(d))
      if (!strncmp(e->d_name, "SDL_window", 10)) frame = world.root() + "/" + e->d_name;
    closedir(d);
  }
  ASSERT_FALSE(frame.empty()) << "nothing was presented";
  Image img = ReadBmp(frame);
  ASSERT_EQ(img.width, 128);
  ASSERT_EQ(img.height, 96);
  ExpectPixels(img, {{0, 0, RED}, {63, 95, RED}, {64, 0, GREEN}, {127, 47, GREEN},
                     {127, 48, BLACK}});
}

TEST_F(RmodSoft, RefusesUnusableModesAndStartsAgainAfterShutdown) {
  EXPECT_TRUE(r->IsSupported());
  EXPECT_FALSE(r->SupportsBackgroundUpload());
  EXPECT_TRUE(r->IsModeSupported(640, 480));
  EXPECT_FALSE(r->IsModeSupported(0, 480));
  EXPECT_FALSE(r->IsModeSupported(100000, 480));
  EXPECT_STREQ(r->QueryValue("Screenshot", (world.root() + "/x.png").c_str()), "0");
  ZY_DisplaySettings bad;
  memset(&bad, 0, sizeof bad);
  EXPECT_FALSE(r->Init(&zy_, &host_, &bad));
  EXPECT_FALSE(r->Init(&zy_, &host_, nullptr));
  Start(16, 16);
  Rect(0, 0, 16, 16, RED);
  Stop();
  Start(16, 16);  // a new device starts black
  EXPECT_TRUE(Near(Finish().At(5, 5), BLACK));
}

TEST_F(RmodSoft, BadHandlesAndIndicesAreIgnored) {
  Start();
  EXPECT_EQ(r->CreateVertexBuffer(0), nullptr);
  EXPECT_EQ(r->CreateIndexBuffer(-5), nullptr);
  int bogus = 0;
  EXPECT_EQ(r->LockVertexBuffer(reinterpret_cast<ZY_VertexBuffer *>(&bogus)), nullptr);
  r->DrawIndexed(reinterpret_cast<ZY_VertexBuffer *>(&bogus), 4, ib_, 2);

  // The second triangle of this buffer points past the vertex buffer: only the first
  // one is drawn.
  ZY_IndexBuffer *ib = r->CreateIndexBuffer(6);
  uint16_t *idx = r->LockIndexBuffer(ib);
  const uint16_t tris[6] = {0, 1, 2, 1, 2, 60000};
  memcpy(idx, tris, sizeof tris);
  r->UnlockIndexBuffer(ib);
  ZY_Vertex *v = r->LockVertexBuffer(vb_);
  v[0] = V(0, 0, RED), v[1] = V(20, 0, RED), v[2] = V(0, 20, RED);
  r->DrawIndexed(vb_, 0, ib, 5);  // more triangles than the index buffer holds
  r->ReleaseIndexBuffer(ib);
  r->ReleaseIndexBuffer(ib);  // twice: ignored

  // A freed texture, also freed again through a copy of its hardware data, draws as
  // no texture.
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  ZY_BitmapHardware copy = bm.hw;
  r->SetTexture(0, &bm.hw);
  r->FreeBitmapFromGpu(&bm.hw);
  r->FreeBitmapFromGpu(&copy);
  r->SetTexture(0, &copy);
  Rect(40, 40, 4, 4, WHITE);
  ZY_Bitmap empty;
  memset(&empty, 0, sizeof empty);
  EXPECT_FALSE(r->LoadBitmapToGpu(&empty));
  EXPECT_FALSE(r->LoadBitmapToGpu(nullptr));
  // Non-finite positions drop their triangles; huge ones still draw what is on screen.
  const ZY_Vertex nan_quad[4] = {V(NAN, 0, RED), V(10, 0, RED), V(0, INFINITY, RED),
                                 V(10, 10, RED)};
  DrawQuad(nan_quad);
  ASSERT_TRUE(r->SetClipRect(60, 0, 4, 4));
  const ZY_Vertex huge[4] = {V(-1e30f, -1e30f, GREEN), V(1e30f, -1e30f, GREEN),
                             V(-1e30f, 1e30f, GREEN), V(1e30f, 1e30f, GREEN)};
  DrawQuad(huge);
  r->ResetClipRect();
  ExpectPixels(Finish(), {{61, 1, GREEN}, {59, 1, BLACK}, {2, 2, RED}, {18, 18, BLACK},
                          {41, 41, WHITE}});
}

TEST_F(RmodSoft, SameCallsGiveTheSameBytes) {
  auto scene = [this](const char *name) {
    ZY_Bitmap bm;
    std::vector<Rgba> texels;
    for (int i = 0; i < 64; i++) texels.push_back(Rgba{i * 4, 255 - i * 3, (i * 37) & 255, 128 + i});
    MakeTexture(&bm, 8, 8, texels, ZY_PACK_PAD_TRANSPARENT);
    Rect(0, 0, 64, 48, Rgba{30, 60, 90, 255});
    r->SetTexture(0, &bm.hw);
    for (int k = 0; k < 12; k++) {
      const float a = 0.37f * k, c = std::cos(a) * 14, s = std::sin(a) * 14;
      const float cx = 10.3f + 4.1f * k, cy = 20.7f + (k % 3) * 5.3f;
      const ZY_Vertex q[4] = {V(cx - c + s, cy - s - c, WHITE, 0, 0),
                              V(cx + c + s, cy + s - c, Rgba{255, 200, 200, 220}, 1, 0),
                              V(cx - c - s, cy - s + c, Rgba{200, 255, 200, 180}, 0, 1),
                              V(cx + c - s, cy + s + c, Rgba{200, 200, 255, 255}, 1, 1)};
      r->SetBlendMode(k % 5);
      r->SetRenderMode(k % 2);
      DrawQuad(q);
    }
    r->SetTexture(0, nullptr);
    r->SetBlendMode(0);
    Line(0.3f, 47.6f, 63.2f, 0.9f, RED, Rgba{0, 0, 255, 100});
    r->FreeBitmapFromGpu(&bm.hw);
    r->EndFrame();
    const std::string path = world.root() + "/" + name;
    EXPECT_STREQ(r->QueryValue("Screenshot", path.c_str()), "1");
    r->BeginFrame(ZY_EYE_MONO);
    return zytest::ReadFile(path);
  };
  Start();
  const std::string first = scene("a.png");
  const std::string second = scene("b.png");
  Stop();
  Start();
  const std::string third = scene("c.png");
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(first == second);
  EXPECT_TRUE(first == third);
  EXPECT_NE(ReadPng(world.root() + "/a.png").At(32, 24).r, 30) << "the scene drew something";
}

// --- Fast paths ---------------------------------------------------------------------

// x / 255 rounded to nearest, as the documented blends round.
int Div255(int x) { return (x + 127) / 255; }

// A texture whose texels cover every case of the straight-alpha blend: transparent,
// opaque and partly transparent texels, in runs and alone; with 256 texels or more every
// channel takes every value, so each rounding case of the blends comes up.
std::vector<Rgba> MixedTexels(int w, int h) {
  std::vector<Rgba> texels;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const int i = y * w + x, k = (x * 7 + y * 13) % 11;
      const int a = k < 3 ? 0 : (k < 7 ? 255 : (i * 23 + 40) % 254 + 1);
      texels.push_back(Rgba{i & 255, (i * 7 + 3) & 255, (i * 13 + 5) & 255, a});
    }
  return texels;
}

TEST_F(RmodSoft, OneToOneSpritesBlendTheirTexelsExactly) {
  // Sprites whose texels land one to one on pixels are drawn from texel rows; the bytes
  // must be those of the documented blend, texel by texel, mirrored or not.
  Start(64, 48);
  const int w = 13, h = 20;
  const std::vector<Rgba> texels = MixedTexels(w, h);
  ZY_Bitmap bm;
  MakeTexture(&bm, w, h, texels, ZY_PACK_PAD_TRANSPARENT);
  const Rgba bg = {10, 120, 230, 255};
  Rect(0, 0, 64, 48, bg);
  Textured(&bm, 2, 3, w, h);                         // bilinear, texel centres on pixels
  r->SetRenderMode(0);
  Textured(&bm, 20.5f, 3.25f, w, h, Rgba{255, 128, 64, 200});  // nearest, tinted
  r->SetRenderMode(1);
  const float mirror[16] = {-1, 0, 0, 60, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  r->SetTransform(mirror);
  Textured(&bm, 0, 24, w, h);                        // x mirrored: pixels 47..59
  r->SetTransform(nullptr);
  Textured(&bm, 20, 44, w, -h);                      // y mirrored: rows 24..43
  Image img = Finish();

  auto over = [&](Rgba t, Rgba tint) {
    const Rgba s = {Div255(t.r * tint.r), Div255(t.g * tint.g), Div255(t.b * tint.b),
                    Div255(t.a * tint.a)};
    return Rgba{Div255(s.r * s.a + bg.r * (255 - s.a)), Div255(s.g * s.a + bg.g * (255 - s.a)),
                Div255(s.b * s.a + bg.b * (255 - s.a)), 255};
  };
  int transparent = 0, opaque = 0, partial = 0;
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      const Rgba t = texels[static_cast<size_t>(y) * w + x];
      transparent += t.a == 0, opaque += t.a == 255, partial += t.a > 0 && t.a < 255;
      ASSERT_TRUE(Near(img.At(2 + x, 3 + y), over(t, WHITE))) << x << "," << y;
      ASSERT_TRUE(Near(img.At(20 + x, 3 + y), over(t, Rgba{255, 128, 64, 200}))) << x << "," << y;
      ASSERT_TRUE(Near(img.At(59 - x, 24 + y), over(t, WHITE))) << x << "," << y;
      ASSERT_TRUE(Near(img.At(20 + x, 43 - y), over(t, WHITE))) << x << "," << y;
    }
  EXPECT_GT(transparent, 10);
  EXPECT_GT(opaque, 10);
  EXPECT_GT(partial, 10);
  // Around the sprites nothing was touched.
  ExpectPixels(img, {{1, 3, bg}, {2 + w, 3, bg}, {2, 3 + h, bg}, {46, 24, bg}, {60, 24, bg},
                     {19, 24, bg}, {20, 44, bg}});
}

TEST_F(RmodSoft, FastPathsGiveTheBytesOfTheGeneralRasteriser) {
  // The same scene drawn twice: with the shortcuts for one-to-one sprites and flat
  // rectangles, and with ZYLEM_SOFT_NO_FASTPATH=1, which sends every triangle through
  // the general per-pixel rasteriser. Every byte must agree, render-target alpha too.
  auto scene = [this](const char *name) -> std::vector<Image> {
    std::vector<Image> shots;
    const int w = 16, h = 16;
    ZY_Bitmap sprite, atlas, target;
    MakeTexture(&sprite, w, h, MixedTexels(w, h), ZY_PACK_PAD_TRANSPARENT);
    MakeTexture(&atlas, 24, 20, MixedTexels(24, 20), ZY_PACK_PAD_EXPAND);
    MakeTarget(&target, 40, 30, ZY_PACK_PAD_TRANSPARENT);
    ZY_IndexBuffer *one = r->CreateIndexBuffer(3);
    uint16_t *idx = r->LockIndexBuffer(one);
    idx[0] = 0, idx[1] = 1, idx[2] = 2;

    // Everything a sprite may meet, drawn at a pen position that moves over the target.
    int pen = 0;
    auto sprites = [&](int area_w, int area_h) {
      const Rgba tints[3] = {WHITE, Rgba{255, 128, 64, 200}, Rgba{90, 255, 255, 255}};
      const int modes[6] = {0, 1, 2, 3, 4, 9};
      for (int m = 0; m < 6; m++)
        for (int f = 0; f < 2; f++) {
          r->SetBlendMode(modes[m]);
          r->SetRenderMode(f);
          const Rgba tint = tints[(m + f) % 3];
          const float x = static_cast<float>((pen * 7) % (area_w + 10) - 8);
          const float y = static_cast<float>((pen * 5) % (area_h + 8) - 6);
          pen++;
          Textured(&sprite, x, y, w, h, tint);                  // one to one
          Textured(&sprite, x + 3.5f, y + 1, w, h, tint);       // half a pixel off
          Textured(&sprite, x + 1, y + 2.25f, -w, h, tint);     // mirrored in x
          Textured(&sprite, x + 2, y + 14, w, -h, tint);        // mirrored in y
          Textured(&sprite, x + 6, y + 4, w + 1, h, tint);      // scaled
          r->SetTexture(0, &atlas.hw);                          // a piece of an atlas
          const ZY_Vertex piece[4] = {V(x + 9, y + 6, tint, 5 / 24.0f, 3 / 20.0f),
                                      V(x + 21, y + 6, tint, 17 / 24.0f, 3 / 20.0f),
                                      V(x + 9, y + 18, tint, 5 / 24.0f, 15 / 20.0f),
                                      V(x + 21, y + 18, tint, 17 / 24.0f, 15 / 20.0f)};
          DrawQuad(piece);
          ZY_Vertex *v = r->LockVertexBuffer(vb_);  // one triangle, one to one
          v[0] = piece[0], v[1] = piece[3], v[2] = piece[2];
          v[0].x += 5, v[1].x += 5, v[2].x += 5;
          r->DrawIndexed(vb_, 3, one, 1);
          r->SetTexture(0, nullptr);
          const ZY_Vertex shaded[4] = {V(x + 4, y + 9, tint, 0, 0), V(x + 4 + w, y + 9, tint, 1, 0),
                                       V(x + 4, y + 9 + h, tint, 0, 1),
                                       V(x + 4 + w, y + 9 + h, tint, 1, 1)};
          r->DrawShaded(&sprite, shaded);
          Rect(x + 12, y + 2, 7, 5, Rgba{200, 40, 90, static_cast<int>(60 + 30 * m)});
          ASSERT_TRUE(r->SetClipRect(static_cast<int>(x) + 3, static_cast<int>(y) + 2, 9, 7));
          Textured(&sprite, x, y + 3, w, h, tint);              // cut by the clip
          r->ResetClipRect();
        }
      r->SetBlendMode(0);
      r->SetRenderMode(1);
    };

    // Into the render target: half of it partly transparent, half untouched.
    EXPECT_TRUE(r->SetRenderTarget(&target));
    r->SetBlendMode(3);
    Rect(0, 0, 20, 30, Rgba{30, 160, 90, 120});
    r->SetBlendMode(0);
    sprites(40, 30);
    EXPECT_TRUE(r->SetRenderTarget(nullptr));

    // On the screen: varied opaque ground, sprites, then the target itself.
    const ZY_Vertex ground[4] = {V(0, 0, Rgba{20, 40, 60, 255}), V(96, 0, Rgba{250, 200, 30, 255}),
                                 V(0, 64, Rgba{90, 10, 200, 255}), V(96, 64, WHITE)};
    DrawQuad(ground);
    sprites(96, 64);
    r->SetBlendMode(3);
    Textured(&target, 50, 30, 40, 30);
    r->SetBlendMode(0);
    shots.push_back(Finish(name));

    // The target's alpha: its texels times black, premultiplied, over white give
    // 255 - alpha in every channel.
    Rect(0, 0, 96, 64, WHITE);
    r->SetBlendMode(4);
    Textured(&target, 0, 0, 40, 30, Rgba{0, 0, 0, 255});
    r->SetBlendMode(0);
    shots.push_back(Finish(name));

    r->ReleaseIndexBuffer(one);
    r->FreeBitmapFromGpu(&sprite.hw);
    r->FreeBitmapFromGpu(&atlas.hw);
    r->FreeBitmapFromGpu(&target.hw);
    return shots;
  };

  Start(96, 64);
  const std::vector<Image> fast = scene("fast.png");
  Stop();
  setenv("ZYLEM_SOFT_NO_FASTPATH", "1", 1);
  Start(96, 64);
  const std::vector<Image> general = scene("general.png");
  ASSERT_EQ(fast.size(), 2u);
  ASSERT_EQ(general.size(), 2u);
  for (size_t i = 0; i < fast.size(); i++) {
    ASSERT_EQ(fast[i].bytes.size(), static_cast<size_t>(96 * 64 * 4));
    ASSERT_EQ(fast[i].bytes.size(), general[i].bytes.size());
    for (int y = 0; y < 64; y++)
      for (int x = 0; x < 96; x++)
        ASSERT_TRUE(Near(fast[i].At(x, y), general[i].At(x, y)))
            << "shot " << i << ", pixel " << x << "," << y;
  }
  // The scene is not empty: the target holds opaque, partly and fully transparent pixels.
  int alphas[3] = {0, 0, 0};
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 40; x++) {
      const int a = 255 - fast[1].At(x, y).r;
      alphas[a == 0 ? 0 : (a == 255 ? 2 : 1)]++;
    }
  EXPECT_GT(alphas[0], 20);
  EXPECT_GT(alphas[1], 100);
  EXPECT_GT(alphas[2], 20);
}

}  // namespace
