// rmod_soft loaded with dlopen and driven as the draw layer drives it, pixels read back
// from its Screenshot query. Whole scenes in both colour orders are the golden image
// tests' business; here: the fill rule, transform, clip and line ends, the blend modes,
// frames and screenshots, bad input, and the fast paths against the general rasteriser.
#include <dlfcn.h>
#include <math.h>
#include <png.h>

#include <string>
#include <vector>

#include "zylem_modules.h"
#include "zytest.h"

namespace {

struct Rgba {
  int r, g, b, a;
  bool operator==(const Rgba &o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
std::ostream &operator<<(std::ostream &out, const Rgba &c) {
  return out << "(" << c.r << "," << c.g << "," << c.b << "," << c.a << ")";
}

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> bytes;  // R, G, B, A, rows top first
  Rgba At(int x, int y) const {
    const uint8_t *p = &bytes[(static_cast<size_t>(y) * width + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
  }
};

const Rgba BLACK = {0, 0, 0, 255}, RED = {255, 0, 0, 255}, GREEN = {0, 255, 0, 255};
const Rgba BLUE = {0, 0, 255, 255}, WHITE = {255, 255, 255, 255};

// A texture whose texels cover every case of the straight-alpha blend: transparent,
// opaque and partly transparent texels, in runs and alone, every channel value.
std::vector<Rgba> MixedTexels(int w, int h) {
  std::vector<Rgba> texels;
  for (int i = 0; i < w * h; i++) {
    const int k = (i % w * 7 + i / w * 13) % 11;
    const int a = k < 3 ? 0 : (k < 7 ? 255 : (i * 23 + 40) % 254 + 1);
    texels.push_back(Rgba{i & 255, (i * 7 + 3) & 255, (i * 13 + 5) & 255, a});
  }
  return texels;
}

class RmodSoft : public ZyTest {
 protected:
  void SetUp() override {
    unsetenv("ZYLEM_SOFT_BGRA");
    unsetenv("ZYLEM_SOFT_NO_FASTPATH");
    lib_ = dlopen(ZYTEST_BUILD_DIR "/modules/rmod_soft.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    auto get = (ZYLEM_RendImp_GetInterfaceFunc)dlsym(lib_, ZYLEM_RENDIMP_GET_INTERFACE_NAME);
    ASSERT_NE(get, nullptr);
    r = get();
    host_.zy = &zy_;
    r->SetEngineInterface(&zy_);
  }
  void TearDown() override {
    if (vb_) Stop();
    unsetenv("ZYLEM_SOFT_NO_FASTPATH");
    unsetenv("ZYLEM_SOFT_THREADS");
    if (lib_) dlclose(lib_);
  }
  // Init with a small screen, the engine's buffers (a vertex buffer and the quad index
  // buffer 4q, 4q+1, 4q+2, 4q+1, 4q+2, 4q+3) and the first frame begun.
  void Start(int width = 64, int height = 48) {
    ZY_DisplaySettings parms = {};
    parms.width = width, parms.height = height, parms.windowed = 1;
    ASSERT_TRUE(r->Init(&zy_, &host_, &parms));
    vb_ = r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES);
    ib_ = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
    uint16_t *idx = r->LockIndexBuffer(ib_);
    const int six[6] = {0, 1, 2, 1, 2, 3};
    for (int i = 0; i < ZY_QUAD_INDEX_COUNT; i++) idx[i] = (uint16_t)(4 * (i / 6) + six[i % 6]);
    r->UnlockIndexBuffer(ib_);
    r->BeginFrame(ZY_EYE_MONO);
  }
  void Stop() {
    r->ReleaseVertexBuffer(vb_);
    r->ReleaseIndexBuffer(ib_);
    r->Shutdown();
    vb_ = nullptr;
  }
  // A vertex with its colour as a 0xAARRGGBB word, the module's default colour order.
  static ZY_Vertex V(float x, float y, Rgba c, float u = 0, float v = 0) {
    const uint32_t word = uint32_t(c.a) << 24 | c.r << 16 | c.g << 8 | c.b;
    return ZY_Vertex{x, y, 0, word, u, v};
  }
  void DrawQuad(const ZY_Vertex q[4]) {  // top-left, top-right, bottom-left, bottom-right
    memcpy(r->LockVertexBuffer(vb_), q, 4 * sizeof(ZY_Vertex));
    r->UnlockVertexBuffer(vb_);
    r->DrawIndexed(vb_, 4, ib_, 2);
  }
  void Rect(float x, float y, float w, float h, Rgba c) {
    const ZY_Vertex q[4] = {V(x, y, c, 0, 0), V(x + w, y, c, 1, 0), V(x, y + h, c, 0, 1),
                            V(x + w, y + h, c, 1, 1)};
    DrawQuad(q);
  }
  // A bitmap record with pixels R, G, B, A uploaded as a texture, or a render target.
  void MakeTexture(ZY_Bitmap *bm, int w, int h, const std::vector<Rgba> &texels, int16_t pack,
                   bool target = false) {
    *bm = ZY_Bitmap{};
    bm->width = w, bm->height = h, bm->pack_mode = pack, bm->state = ZY_BITMAP_STATE_READY;
    bm->flags = target ? ZY_BITMAP_IS_RENDER_TARGET : 0;
    if (target) return r->UploadBitmap(bm);
    pixels_.emplace_back();
    for (const Rgba &c : texels) pixels_.back().push_back(uint32_t(c.a) << 24 | c.b << 16 | c.g << 8 | c.r);
    bm->pixels = pixels_.back().data();
    ASSERT_TRUE(r->LoadBitmapToGpu(bm));
  }
  void Textured(ZY_Bitmap *bm, float x, float y, float w, float h, Rgba c = WHITE) {
    r->SetTexture(0, &bm->hw);
    Rect(x, y, w, h, c);
    r->SetTexture(0, nullptr);
  }
  // The last finished frame; with `finish` the frame being drawn is finished first.
  Image Shot(bool finish = true) {
    if (finish) r->EndFrame();
    Image img;
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    const std::string path = world.root() + "/shot.png";
    EXPECT_STREQ(r->QueryValue("Screenshot", path.c_str()), "1");
    if (png_image_begin_read_from_file(&png, path.c_str())) {
      png.format = PNG_FORMAT_RGBA;
      img.bytes.resize(PNG_IMAGE_SIZE(png));
      if (png_image_finish_read(&png, nullptr, img.bytes.data(), 0, nullptr))
        img.width = (int)png.width, img.height = (int)png.height;
    }
    EXPECT_GT(img.width, 0) << png.message;
    if (finish) r->BeginFrame(ZY_EYE_MONO);
    return img;
  }

  void *lib_ = nullptr;
  RendImp *r = nullptr;
  ZY_EngineInterface zy_ = {};
  ZY_HostInfo host_ = {};
  ZY_VertexBuffer *vb_ = nullptr;
  ZY_IndexBuffer *ib_ = nullptr;
  std::vector<std::vector<uint32_t>> pixels_;
};

}  // namespace

TEST_F(RmodSoft, QuadsCoverExactlyThePixelCentresInsideThemOnceInsideTheClip) {
  Start();
  Rect(8, 8, 16, 12, RED);
  Rect(34.5f, 4.5f, 10, 4, GREEN);      // fractional: centres on the left and top edges are in
  Rect(40.6f, 30.6f, 0.5f, 0.5f, RED);  // covers no pixel centre
  // The shared diagonal of a square quad passes through pixel centres; with blending, a
  // pixel covered by both triangles (or by neither) would show.
  Rect(8, 28, 16, 16, Rgba{255, 255, 255, 128});
  const float m[16] = {2, 0, 0, 50, 0, 1, 0, 20, 0, 0, 1, 0, 0, 0, 0, 1};  // row-major
  r->SetTransform(m);
  Rect(0, 0, 4, 4, BLUE);  // x 50..58, y 20..24
  r->SetTransform(nullptr);
  const ZY_Vertex a = V(2, 46, WHITE), b = V(12, 46, WHITE);
  r->DrawLine(&a, &b);  // the end pixel is left out
  EXPECT_FALSE(r->SetClipRect(0, 0, -1, 5));
  ASSERT_TRUE(r->SetClipRect(30, 30, 20, 10));
  Rect(0, 0, 64, 48, Rgba{255, 255, 0, 255});
  ASSERT_TRUE(r->SetClipRect(60, 44, 100, 100));  // reaching past the screen is cut there
  r->Forward3(0, 1.0f, (int32_t)V(0, 0, WHITE).color);  // clears the clip
  r->ResetClipRect();
  const Image img = Shot();
  ASSERT_TRUE(img.width == 64 && img.height == 48);
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 64; x++) {
      Rgba want = BLACK;
      if (x >= 8 && x < 24 && y >= 8 && y < 20) want = RED;
      if (x >= 34 && x < 44 && y >= 4 && y < 8) want = GREEN;
      if (x >= 8 && x < 24 && y >= 28 && y < 44) want = Rgba{128, 128, 128, 255};
      if (x >= 50 && x < 58 && y >= 20 && y < 24) want = BLUE;
      if (x >= 30 && x < 50 && y >= 30 && y < 40) want = Rgba{255, 255, 0, 255};
      if ((x >= 60 && y >= 44) || (x >= 2 && x < 12 && y == 46)) want = WHITE;
      ASSERT_EQ(img.At(x, y), want) << x << "," << y;
    }
}

TEST_F(RmodSoft, BlendModesCombineAsDocumented) {
  Start();
  const Rgba grey = {100, 150, 200, 255};
  const struct {
    int32_t mode;
    Rgba dst, src, want;
  } cases[] = {{0, BLUE, {255, 0, 0, 128}, {128, 0, 127, 255}},     // straight alpha
               {0, BLUE, {255, 0, 0, 0}, BLUE},                      // transparent: no change
               {1, grey, {100, 50, 10, 128}, {150, 175, 205, 255}},  // additive: + src x alpha
               {1, grey, WHITE, WHITE},                              // saturates
               {2, grey, {128, 255, 0, 255}, {50, 150, 0, 255}},     // multiply
               {2, grey, {0, 0, 0, 128}, {50, 75, 100, 255}},        // faded to white by alpha
               {3, grey, {10, 20, 30, 40}, {10, 20, 30, 255}},       // replace (opaque screen)
               {4, grey, {50, 0, 0, 128}, {100, 75, 100, 255}},      // premultiplied
               {77, grey, {0, 0, 0, 128}, {50, 75, 100, 255}}};      // unknown: like 0
  const int n = sizeof cases / sizeof cases[0];
  for (int i = 0; i < n; i++) {
    r->SetBlendMode(3);
    Rect(4.0f * i, 0, 4, 4, cases[i].dst);
    r->SetBlendMode(cases[i].mode);
    Rect(4.0f * i, 0, 4, 4, cases[i].src);
  }
  const Image img = Shot();
  for (int i = 0; i < n; i++) EXPECT_EQ(img.At(4 * i + 1, 1), cases[i].want) << "case " << i;
}

TEST_F(RmodSoft, ScreenshotsShowTheLastFinishedFrameAndBadInputIsRefusedOrIgnored) {
  const std::string early = world.root() + "/x.png";
  EXPECT_STREQ(r->QueryValue("Screenshot", early.c_str()), "0");  // no frame yet
  ZY_DisplaySettings bad = {};
  EXPECT_FALSE(r->Init(&zy_, &host_, &bad) || r->Init(&zy_, &host_, nullptr));
  EXPECT_FALSE(r->IsModeSupported(0, 480) || r->IsModeSupported(100000, 480));
  Start();
  Rect(0, 0, 64, 48, BLUE);
  r->EndFrame();
  r->BeginFrame(ZY_EYE_MONO);  // clears the frame being drawn, not yet the finished one
  EXPECT_EQ(Shot(false).At(1, 1), BLUE);
  EXPECT_STREQ(r->QueryValue("Screenshot", "/nonexistent-dir/x/shot.png"), "0");
  EXPECT_TRUE(!strcmp(r->QueryValue("Screenshot", nullptr), "0") && !r->QueryValue("No", "x"));
  ASSERT_TRUE(r->Reinit(32, 16, true));
  EXPECT_EQ(Shot().width, 32);
  Stop();
  Start();  // a new device starts black
  EXPECT_TRUE(!r->CreateVertexBuffer(0) && !r->CreateIndexBuffer(-5));
  int bogus = 0;  // a handle the module never gave out
  EXPECT_EQ(r->LockVertexBuffer((ZY_VertexBuffer *)&bogus), nullptr);
  r->DrawIndexed((ZY_VertexBuffer *)&bogus, 4, ib_, 2);
  ZY_IndexBuffer *ib = r->CreateIndexBuffer(6);  // its second triangle points past the vertices
  const uint16_t tris[6] = {0, 1, 2, 1, 2, 60000};
  memcpy(r->LockIndexBuffer(ib), tris, sizeof tris);
  r->UnlockIndexBuffer(ib);
  ZY_Vertex *v = r->LockVertexBuffer(vb_);
  v[0] = V(0, 0, RED), v[1] = V(20, 0, RED), v[2] = V(0, 20, RED);
  r->UnlockVertexBuffer(vb_);
  r->DrawIndexed(vb_, 0, ib, 5);  // more triangles than the index buffer holds
  r->ReleaseIndexBuffer(ib);
  r->ReleaseIndexBuffer(ib);  // twice: ignored
  ZY_Bitmap bm, empty = {};  // a freed texture, freed again through a copy, draws as none
  MakeTexture(&bm, 2, 2, MixedTexels(2, 2), ZY_PACK_PAD_EXPAND);
  ZY_BitmapHardware copy = bm.hw;
  r->SetTexture(0, &bm.hw);
  r->FreeBitmapFromGpu(&bm.hw);
  r->FreeBitmapFromGpu(&copy);
  r->SetTexture(0, &copy);
  Rect(40, 40, 4, 4, WHITE);
  EXPECT_FALSE(r->LoadBitmapToGpu(&empty) || r->LoadBitmapToGpu(nullptr));
  EXPECT_FALSE(r->SetRenderTarget(&empty));  // neither on the GPU nor a render target
  empty.width = empty.height = 8, empty.flags = ZY_BITMAP_IS_RENDER_TARGET;
  ASSERT_TRUE(r->SetRenderTarget(&empty));  // made on demand; freed while current: the screen
  r->FreeBitmapFromGpu(&empty.hw);
  // Non-finite positions drop their triangles; huge ones still draw what is on screen.
  const ZY_Vertex nan_quad[4] = {V(NAN, 0, RED), V(10, 0, RED), V(0, INFINITY, RED),
                                 V(10, 10, RED)};
  DrawQuad(nan_quad);
  ASSERT_TRUE(r->SetClipRect(60, 0, 4, 4));
  Rect(-1e30f, -1e30f, 2e30f, 2e30f, GREEN);
  const Image img = Shot();
  EXPECT_TRUE(img.At(61, 1) == GREEN && img.At(59, 1) == BLACK && img.At(2, 2) == RED);
  EXPECT_TRUE(img.At(18, 18) == BLACK && img.At(41, 41) == WHITE && img.At(30, 30) == BLACK);
}

class RmodSoftThreads : public RmodSoft {};

TEST_F(RmodSoftThreads, FastPathsOnFourThreadsGiveTheBytesOfTheGeneralRasteriserOnOne) {
  // The same scene drawn twice: with the shortcuts for one-to-one sprites and flat
  // rectangles, queued and drawn in bands by four threads, and with
  // ZYLEM_SOFT_NO_FASTPATH=1 on one thread, which sends every triangle through the
  // general rasteriser as it arrives. Every byte must agree, render-target alpha too.
  auto scene = [this]() {
    ZY_Bitmap sprite, atlas, target;
    MakeTexture(&sprite, 16, 16, MixedTexels(16, 16), ZY_PACK_PAD_TRANSPARENT);
    MakeTexture(&atlas, 24, 20, MixedTexels(24, 20), ZY_PACK_PAD_EXPAND);
    MakeTexture(&target, 40, 30, {}, ZY_PACK_PAD_TRANSPARENT, true);
    int pen = 0;  // moves the sprites over the area
    auto sprites = [&](int area_w, int area_h) {
      const Rgba tints[3] = {WHITE, Rgba{255, 128, 64, 200}, Rgba{90, 255, 255, 255}};
      for (int m : {0, 1, 2, 3, 4, 9})
        for (int f = 0; f < 2; f++, pen++) {
          r->SetBlendMode(m);
          r->SetRenderMode(f);
          const Rgba tint = tints[(m + f) % 3];
          const float x = (float)((pen * 7) % (area_w + 10) - 8);
          const float y = (float)((pen * 5) % (area_h + 8) - 6);
          Textured(&sprite, x, y, 16, 16, tint);               // one to one
          Textured(&sprite, x + 3.5f, y + 1, 16, 16, tint);    // half a pixel off
          Textured(&sprite, x + 1, y + 2.25f, -16, 16, tint);  // mirrored in x
          Textured(&sprite, x + 2, y + 14, 16, -16, tint);     // mirrored in y
          Textured(&sprite, x + 6, y + 4, 17, 16, tint);       // scaled
          r->SetTexture(0, &atlas.hw);  // a piece of an atlas
          const float u0 = 5 / 24.0f, u1 = 17 / 24.0f, v0 = 3 / 20.0f, v1 = 15 / 20.0f;
          const ZY_Vertex piece[4] = {V(x + 9, y + 6, tint, u0, v0), V(x + 21, y + 6, tint, u1, v0),
                                      V(x + 9, y + 18, tint, u0, v1), V(x + 21, y + 18, tint, u1, v1)};
          DrawQuad(piece);
          r->SetTexture(0, nullptr);
          Rect(x + 12, y + 2, 7, 5, Rgba{200, 40, 90, 60 + 30 * m});
          ASSERT_TRUE(r->SetClipRect((int)x + 3, (int)y + 2, 9, 7));
          Textured(&sprite, x, y + 3, 16, 16, tint);  // cut by the clip
          r->ResetClipRect();
        }
      r->SetBlendMode(0);
      r->SetRenderMode(1);
    };
    EXPECT_TRUE(r->SetRenderTarget(&target));  // half partly transparent, half untouched
    r->SetBlendMode(3);
    Rect(0, 0, 20, 30, Rgba{30, 160, 90, 120});
    sprites(40, 30);
    EXPECT_TRUE(r->SetRenderTarget(nullptr));
    const ZY_Vertex ground[4] = {V(0, 0, Rgba{20, 40, 60, 255}), V(96, 0, Rgba{250, 200, 30, 255}),
                                 V(0, 64, Rgba{90, 10, 200, 255}), V(96, 64, WHITE)};
    DrawQuad(ground);
    sprites(96, 64);
    r->SetBlendMode(3);
    Textured(&target, 50, 30, 40, 30);
    std::vector<Image> shots = {Shot()};
    // The target's alpha: its texels times black, premultiplied, over white: 255 - alpha.
    r->SetBlendMode(0);
    Rect(0, 0, 96, 64, WHITE);
    r->SetBlendMode(4);
    Textured(&target, 0, 0, 40, 30, Rgba{0, 0, 0, 255});
    shots.push_back(Shot());
    for (ZY_Bitmap *b : {&sprite, &atlas, &target}) r->FreeBitmapFromGpu(&b->hw);
    return shots;
  };
  setenv("ZYLEM_SOFT_THREADS", "4", 1);
  Start(96, 64);
  const std::vector<Image> fast = scene();
  Stop();
  setenv("ZYLEM_SOFT_NO_FASTPATH", "1", 1);
  setenv("ZYLEM_SOFT_THREADS", "1", 1);
  Start(96, 64);
  const std::vector<Image> general = scene();
  for (size_t i = 0; i < 2; i++)
    for (int y = 0; y < 64; y++)
      for (int x = 0; x < 96; x++)
        ASSERT_EQ(fast[i].At(x, y), general[i].At(x, y)) << i << ": " << x << "," << y;
  int alphas[3] = {0, 0, 0};  // the target holds opaque, partly and fully transparent pixels
  for (int y = 0; y < 30; y++)
    for (int x = 0; x < 40; x++) alphas[(fast[1].At(x, y).r < 255) + (fast[1].At(x, y).r == 0)]++;
  EXPECT_TRUE(alphas[0] > 20 && alphas[1] > 100 && alphas[2] > 20);
}

TEST_F(RmodSoft, SpriteRowsBlendEveryAlphaOverEveryValueAsTheGeneralRasteriserDoes) {
  // A strip whose texel x has alpha x, drawn one to one over rows of every channel
  // value: every alpha meets every destination value in the sprite rows' blending.
  auto scene = [this]() {
    std::vector<Rgba> texels;
    for (int x = 0; x < 256; x++) texels.push_back(Rgba{(x * 37) & 255, (x * 11 + 3) & 255, 255 - x, x});
    ZY_Bitmap strip;
    MakeTexture(&strip, 256, 1, texels, ZY_PACK_PAD_TRANSPARENT);
    r->SetBlendMode(3);
    for (int y = 0; y < 256; y++) Rect(0, (float)y, 256, 1, Rgba{y, 255 - y, (y * 5) & 255, 255});
    r->SetBlendMode(0);
    for (int y = 0; y < 256; y++) Textured(&strip, 0, (float)y, 256, 1);
    const Image shot = Shot();
    r->FreeBitmapFromGpu(&strip.hw);
    Stop();
    return shot;
  };
  setenv("ZYLEM_SOFT_THREADS", "1", 1);
  Start(256, 256);
  const Image fast = scene();
  setenv("ZYLEM_SOFT_NO_FASTPATH", "1", 1);
  Start(256, 256);
  const Image general = scene();
  for (int y = 0; y < 256; y++)
    for (int x = 0; x < 256; x++) ASSERT_EQ(fast.At(x, y), general.At(x, y)) << x << "," << y;
}
