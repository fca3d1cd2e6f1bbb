// rmod_soft, the software renderer module: loaded with dlopen and driven through its
// RendImp operations the way the render command layer drives it, with the pixels read
// back from its Screenshot query (a PNG decoded with libpng).
//
// Sections: helpers (PNG and BMP readers, the RmodSoft fixture); coverage; blending;
// textures; clipping, render targets, lines; frames, screenshots, presenting, robustness;
// fast paths (sprites drawn one to one against the general rasteriser).
#include <dirent.h>
#include <dlfcn.h>
#include <png.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/host.h"
#include "zylem_modules.h"
#include "zytest.h"

namespace {

struct Rgba {
  int r, g, b, a;
};

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> bytes;
  Rgba At(int x, int y) const {
    const uint8_t *p = &bytes[(static_cast<size_t>(y) * width + x) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
  }
};

Image ReadPng(const std::string &path) {
  Image img;
  png_image png;
  memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    ADD_FAILURE() << "cannot read " << path << ": " << png.message;
    return img;
  }
  png.format = PNG_FORMAT_RGBA;
  img.bytes.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, img.bytes.data(), 0, nullptr)) {
    ADD_FAILURE() << "cannot decode " << path << ": " << png.message;
    return img;
  }
  img.width = static_cast<int>(png.width);
  img.height = static_cast<int>(png.height);
  return img;
}

// A BMP file as SDL saves window frames (24 or 32 bits, B, G, R order, bottom-up rows).
Image ReadBmp(const std::string &path) {
  Image img;
  const std::string f = zytest::ReadFile(path);
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(f[at]) | static_cast<uint8_t>(f[at + 1]) << 8 |
                                 static_cast<uint8_t>(f[at + 2]) << 16 |
                                 static_cast<uint32_t>(static_cast<uint8_t>(f[at + 3])) << 24);
  };
  if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') {
    ADD_FAILURE() << path << " is not a BMP file";
    return img;
  }
  const uint32_t offset = u32(10);
  const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
  const int bpp = static_cast<uint8_t>(f[28]) | static_cast<uint8_t>(f[29]) << 8;
  const int rows = height < 0 ? -height : height;
  const size_t stride = ((static_cast<size_t>(width) * bpp / 8) + 3) & ~size_t{3};
  if ((bpp != 24 && bpp != 32) || f.size() < offset + stride * rows) {
    ADD_FAILURE() << path << ": unexpected BMP layout (" << bpp << " bits)";
    return img;
  }
  img.width = width;
  img.height = rows;
  img.bytes.resize(static_cast<size_t>(width) * rows * 4);
  for (int y = 0; y < rows; y++) {
    const size_t row = offset + stride * (height < 0 ? y : rows - 1 - y);
    for (int x = 0; x < width; x++) {
      const size_t at = row + static_cast<size_t>(x) * bpp / 8;
      uint8_t *p = &img.bytes[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(f[at + 2]);
      p[1] = static_cast<uint8_t>(f[at + 1]);
      p[2] = static_cast<uint8_t>(f[at]);
      p[3] = 255;
    }
  }
  return img;
}

::testing::AssertionResult Near(Rgba got, Rgba want, int tolerance = 0) {
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << got.r << "," << got.g << "," << got.b << "," << got.a << ") want ("
         << want.r << "," << want.g << "," << want.b << "," << want.a << ") +-" << tolerance;
}

const Rgba BLACK = {0, 0, 0, 255};
const Rgba RED = {255, 0, 0, 255};
const Rgba GREEN = {0, 255, 0, 255};
const Rgba BLUE = {0, 0, 255, 255};
const Rgba WHITE = {255, 255, 255, 255};

class RmodSoft : public ZyTest {
 protected:
  void SetUp() override {
    unsetenv("ZYLEM_SOFT_BGRA");
    unsetenv("ZYLEM_SOFT_NO_FASTPATH");
    lib_ = dlopen(ZYTEST_BUILD_DIR "/modules/rmod_soft.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib_, nullptr) << dlerror();
    auto get = reinterpret_cast<ZYLEM_RendImp_GetInterfaceFunc>(
        dlsym(lib_, ZYLEM_RENDIMP_GET_INTERFACE_NAME));
    ASSERT_NE(get, nullptr);
    r = get();
    ASSERT_NE(r, nullptr);
    memset(&zy_, 0, sizeof zy_);
    memset(&host_, 0, sizeof host_);
    host_.zy = &zy_;
    r->SetEngineInterface(&zy_);
  }

  void TearDown() override {
    if (r && started_) Stop();
    unsetenv("ZYLEM_SOFT_BGRA");
    unsetenv("ZYLEM_SOFT_NO_FASTPATH");
    if (lib_) dlclose(lib_);
  }

  // Init with a small screen, the engine's buffers (a vertex buffer and the quad index
  // buffer 4q, 4q+1, 4q+2, 4q+1, 4q+2, 4q+3) and the first frame begun.
  void Start(int width = 64, int height = 48) {
    memset(&parms_, 0, sizeof parms_);
    parms_.width = width;
    parms_.height = height;
    parms_.windowed = 1;
    ASSERT_TRUE(r->Init(&zy_, &host_, &parms_));
    started_ = true;
    colour_order_ = r->GetColourOrder();
    pixel_order_ = r->GetPixelOrder();
    vb_ = r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES);
    ib_ = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
    ASSERT_NE(vb_, nullptr);
    ASSERT_NE(ib_, nullptr);
    uint16_t *idx = r->LockIndexBuffer(ib_);
    ASSERT_NE(idx, nullptr);
    for (int q = 0; q < 64; q++) {
      const uint16_t base = static_cast<uint16_t>(4 * q);
      const uint16_t pattern[6] = {base, static_cast<uint16_t>(base + 1),
                                   static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 1),
                                   static_cast<uint16_t>(base + 2), static_cast<uint16_t>(base + 3)};
      memcpy(idx + 6 * q, pattern, sizeof pattern);
    }
    r->UnlockIndexBuffer(ib_);
    r->BeginFrame(ZY_EYE_MONO);
  }

  void Stop() {
    r->ReleaseVertexBuffer(vb_);
    r->ReleaseIndexBuffer(ib_);
    r->Shutdown();
    started_ = false;
  }

  // A colour word in the order the module asked for.
  uint32_t Word(Rgba c) const {
    if (colour_order_ != ZY_COLOUR_ORDER_RGBA_BYTES)
      return (uint32_t(c.a) << 24) | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | uint32_t(c.b);
    const uint8_t bytes[4] = {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b), uint8_t(c.a)};
    uint32_t w;
    memcpy(&w, bytes, 4);
    return w;
  }

  ZY_Vertex V(float x, float y, Rgba c, float u = 0, float v = 0) const {
    return ZY_Vertex{x, y, 0.0f, Word(c), u, v};
  }

  // Four vertices top-left, top-right, bottom-left, bottom-right as one batched quad.
  void DrawQuad(const ZY_Vertex q[4]) {
    ZY_Vertex *v = r->LockVertexBuffer(vb_);
    ASSERT_NE(v, nullptr);
    memcpy(v, q, 4 * sizeof(ZY_Vertex));
    r->UnlockVertexBuffer(vb_);
    r->DrawIndexed(vb_, 4, ib_, 2);
  }

  void Rect(float x, float y, float w, float h, Rgba c) {
    const ZY_Vertex q[4] = {V(x, y, c, 0, 0), V(x + w, y, c, 1, 0), V(x, y + h, c, 0, 1),
                            V(x + w, y + h, c, 1, 1)};
    DrawQuad(q);
  }

  void Line(float x1, float y1, float x2, float y2, Rgba c1, Rgba c2) {
    const ZY_Vertex a = V(x1, y1, c1), b = V(x2, y2, c2);
    r->DrawLine(&a, &b);
  }

  // A bitmap record with pixels in the module's pixel order, uploaded as a texture.
  void MakeTexture(ZY_Bitmap *bm, int w, int h, const std::vector<Rgba> &texels,
                   int16_t pack_mode = ZY_PACK_PAD_EXPAND) {
    memset(bm, 0, sizeof *bm);
    bm->name = const_cast<char *>("texture");
    bm->width = w;
    bm->height = h;
    bm->pack_mode = pack_mode;
    bm->state = ZY_BITMAP_STATE_READY;
    pixels_.emplace_back(static_cast<size_t>(w) * h);
    std::vector<uint32_t> &px = pixels_.back();
    for (size_t i = 0; i < px.size(); i++) {
      const Rgba c = texels[i];
      const uint8_t bytes[4] = {uint8_t(pixel_order_ ? c.b : c.r), uint8_t(c.g),
                                uint8_t(pixel_order_ ? c.r : c.b), uint8_t(c.a)};
      memcpy(&px[i], bytes, 4);
    }
    bm->pixels = px.data();
    ASSERT_TRUE(r->LoadBitmapToGpu(bm));
  }

  void Textured(ZY_Bitmap *bm, float x, float y, float w, float h, Rgba c = WHITE) {
    r->SetTexture(0, &bm->hw);
    Rect(x, y, w, h, c);
    r->SetTexture(0, nullptr);
  }

  // Ends the frame and reads the finished frame back.
  Image Finish(const char *name = "shot.png") {
    r->EndFrame();
    Image img = Shot(name);
    r->BeginFrame(ZY_EYE_MONO);
    return img;
  }

  Image Shot(const char *name = "shot.png") {
    const std::string path = world.root() + "/" + name;
    const char *answer = r->QueryValue("Screenshot", path.c_str());
    EXPECT_STREQ(answer, "1");
    return ReadPng(path);
  }

  void *lib_ = nullptr;
  RendImp *r = nullptr;
  ZY_EngineInterface zy_;
  ZY_HostInfo host_;
  ZY_DisplaySettings parms_;
  ZY_VertexBuffer *vb_ = nullptr;
  ZY_IndexBuffer *ib_ = nullptr;
  int colour_order_ = 1, pixel_order_ = 0;
  bool started_ = false;
  std::vector<std::vector<uint32_t>> pixels_;
};

const std::vector<Rgba> CHECKER = {RED, GREEN, BLUE, WHITE};  // 2x2, rows top first

// --- Coverage -----------------------------------------------------------------------

TEST_F(RmodSoft, SolidQuadCoversExactlyItsPixels) {
  Start();
  Rect(8, 8, 16, 12, RED);
  Image img = Finish();
  ASSERT_EQ(img.width, 64);
  ASSERT_EQ(img.height, 48);
  for (int y = 0; y < 48; y++)
    for (int x = 0; x < 64; x++) {
      const bool inside = x >= 8 && x < 24 && y >= 8 && y < 20;
      ASSERT_TRUE(Near(img.At(x, y), inside ? RED : BLACK)) << x << "," << y;
    }
}

TEST_F(RmodSoft, QuadDiagonalThroughPixelCentresIsCoveredOnce) {
  // The shared diagonal of a square quad passes through pixel centres; with blending,
  // a pixel covered by both triangles (or by neither) would show.
  Start();
  Rect(8, 8, 16, 16, Rgba{255, 255, 255, 128});
  Image img = Finish();
  for (int y = 8; y < 24; y++)
    for (int x = 8; x < 24; x++)
      ASSERT_TRUE(Near(img.At(x, y), Rgba{128, 128, 128, 255})) << x << "," << y;
}

TEST_F(RmodSoft, FractionalEdgesFollowTheTopLeftRule) {
  Start();
  Rect(10.5f, 4.5f, 10, 4, GREEN);  // centres on the left and top edges are in
  Rect(40.6f, 30.6f, 0.5f, 0.5f, RED);  // covers no pixel centre
  Image img = Finish();
  for (int y = 0; y < 16; y++)
    for (int x = 0; x < 32; x++) {
      const bool inside = x >= 10 && x < 20 && y >= 4 && y < 8;
      ASSERT_TRUE(Near(img.At(x, y), inside ? GREEN : BLACK)) << x << "," << y;
    }
  EXPECT_TRUE(Near(img.At(40, 30), BLACK));
}

TEST_F(RmodSoft, TransformIsRowMajorWithTranslationInTheLastColumn) {
  Start();
  const float m[16] = {2, 0, 0, 10, 0, 1, 0, 5, 0, 0, 1, 0, 0, 0, 0, 1};
  r->SetTransform(m);
  Rect(0, 0, 4, 4, BLUE);  // becomes x 10..18, y 5..9
  r->SetTransform(nullptr);  // identity again
  Rect(0, 0, 2, 2, RED);
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(10, 5), BLUE));
  EXPECT_TRUE(Near(img.At(17, 8), BLUE));
  EXPECT_TRUE(Near(img.At(18, 8), BLACK));
  EXPECT_TRUE(Near(img.At(9, 5), BLACK));
  EXPECT_TRUE(Near(img.At(17, 9), BLACK));
  EXPECT_TRUE(Near(img.At(1, 1), RED));
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

TEST_F(RmodSoft, BlendModeZeroIsStraightAlpha) {
  Start();
  Rect(0, 0, 64, 48, BLUE);
  Rect(0, 0, 32, 48, Rgba{255, 0, 0, 128});
  Rect(32, 0, 32, 48, Rgba{255, 0, 0, 0});  // fully transparent: no change
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(10, 10), Rgba{128, 0, 127, 255}, 1));
  EXPECT_TRUE(Near(img.At(40, 10), BLUE));
}

TEST_F(RmodSoft, BlendModesCombineAsDocumented) {
  Start();
  const Rgba grey = {100, 150, 200, 255};
  Rect(0, 0, 64, 48, grey);
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
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(5, 5), Rgba{150, 175, 205, 255}, 1));
  EXPECT_TRUE(Near(img.At(15, 5), Rgba{50, 150, 0, 255}, 1));
  EXPECT_TRUE(Near(img.At(25, 5), Rgba{10, 20, 30, 255}));
  EXPECT_TRUE(Near(img.At(35, 5), Rgba{100, 75, 100, 255}, 1));
  EXPECT_TRUE(Near(img.At(45, 5), Rgba{50, 75, 100, 255}, 1));
  EXPECT_TRUE(Near(img.At(55, 5), grey));
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
    for (int x = 0; x < 32; x++) {
      const Rgba want = CHECKER[(y >= 16) * 2 + (x >= 16)];
      ASSERT_TRUE(Near(img.At(x, y), want)) << x << "," << y;
    }
  EXPECT_TRUE(Near(img.At(40, 0), Rgba{128, 0, 0, 255}, 1));
  EXPECT_TRUE(Near(img.At(47, 7), Rgba{128, 128, 128, 255}, 1));
}

TEST_F(RmodSoft, BilinearSamplingIsExactAtOneToOneAndBlendsWhenStretched) {
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  r->SetRenderMode(1);
  Textured(&bm, 40, 40, 2, 2);    // texel centres on pixel centres
  Textured(&bm, 0, 0, 32, 32);    // magnified 16 times
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(40, 40), RED));
  EXPECT_TRUE(Near(img.At(41, 40), GREEN));
  EXPECT_TRUE(Near(img.At(40, 41), BLUE));
  EXPECT_TRUE(Near(img.At(41, 41), WHITE));
  EXPECT_TRUE(Near(img.At(0, 0), RED));  // clamped to the edge (pack mode 0)
  EXPECT_TRUE(Near(img.At(31, 31), WHITE));
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
  EXPECT_TRUE(Near(img.At(0, 0), RED));
  const Rgba corner = img.At(20, 0);
  EXPECT_LT(corner.r, 200);  // partly transparent over black
  EXPECT_EQ(corner.g, 0);    // no colour from outside the texture
  EXPECT_TRUE(Near(img.At(40, 0), RED));
  EXPECT_TRUE(Near(img.At(41, 1), WHITE));
}

TEST_F(RmodSoft, LogicalSizeDiffersFromPixelBufferSize) {
  // A bitmap whose manifest gives it a logical size keeps its full pixel buffer
  // (alloc_width x alloc_height) as the texture.
  Start();
  ZY_Bitmap bm;
  MakeTexture(&bm, 2, 2, CHECKER);
  r->FreeBitmapFromGpu(&bm.hw);
  bm.alloc_width = 2;
  bm.alloc_height = 2;
  bm.width = 1;
  bm.height = 1;
  ASSERT_TRUE(r->LoadBitmapToGpu(&bm));
  r->SetRenderMode(0);
  Textured(&bm, 0, 0, 4, 4);
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(0, 0), RED));
  EXPECT_TRUE(Near(img.At(3, 3), WHITE));
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
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(10, 10), RED));
  EXPECT_TRUE(Near(img.At(13, 10), GREEN));
  EXPECT_TRUE(Near(img.At(10, 13), BLUE));
  EXPECT_TRUE(Near(img.At(13, 13), WHITE));
  EXPECT_TRUE(Near(img.At(21, 11), BLACK));
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

// --- Clipping, render targets, lines --------------------------------------------------

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
  EXPECT_TRUE(Near(img.At(0, 47), BLUE));
  EXPECT_TRUE(Near(img.At(63, 47), BLUE));
  EXPECT_TRUE(Near(img.At(50, 0), WHITE));
  EXPECT_TRUE(Near(img.At(63, 9), WHITE));
  EXPECT_TRUE(Near(img.At(63, 10), BLACK));
}

TEST_F(RmodSoft, RenderTargetKeepsAlphaAndDrawsLikeDirectDrawing) {
  Start();
  ZY_Bitmap target;
  memset(&target, 0, sizeof target);
  target.name = const_cast<char *>("target");
  target.width = 16;
  target.height = 16;
  target.flags = ZY_BITMAP_IS_RENDER_TARGET;
  target.state = ZY_BITMAP_STATE_READY;
  r->UploadBitmap(&target);
  ASSERT_EQ(target.hw.on_gpu, 1);
  ASSERT_NE(target.hw.texture, nullptr);

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
  EXPECT_TRUE(Near(img.At(27, 25), Rgba{128, 0, 127, 255}, 1));
  EXPECT_TRUE(Near(img.At(28, 10), GREEN));
  EXPECT_TRUE(Near(img.At(35, 25), BLUE));  // never drawn: transparent
  EXPECT_TRUE(Near(img.At(19, 10), BLUE));

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
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(1, 1), GREEN));
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
  EXPECT_TRUE(Near(img.At(2, 4), BLACK));
  EXPECT_TRUE(Near(img.At(2, 6), BLACK));
  for (int i = 0; i < 10; i++) ASSERT_TRUE(Near(img.At(20 + i, 20 + i), RED)) << i;
  EXPECT_TRUE(Near(img.At(30, 30), BLACK));
  EXPECT_TRUE(Near(img.At(21, 20), BLACK));
  int lit = 0;
  for (int y = 0; y < 16; y++)
    for (int x = 38; x < 46; x++) lit += img.At(x, y).g == 255;
  EXPECT_EQ(lit, 10);
  for (int y = 2; y < 12; y++) {
    const int x = 40 + ((y - 2) * 2 * 2 + 10) / 20;  // rounded position along the slope
    ASSERT_TRUE(Near(img.At(x, y), GREEN)) << y;
  }
  EXPECT_TRUE(Near(img.At(50, 40), BLACK));
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
  Image img = Shot();
  EXPECT_TRUE(Near(img.At(1, 1), RED));
  img = Finish();
  EXPECT_TRUE(Near(img.At(1, 1), GREEN));
  EXPECT_TRUE(Near(img.At(20, 20), BLACK));

  EXPECT_STREQ(r->QueryValue("Screenshot", "/nonexistent-dir/x/shot.png"), "0");
  EXPECT_FALSE(zytest::FileExists("/nonexistent-dir/x/shot.png"));
  EXPECT_STREQ(r->QueryValue("Screenshot", nullptr), "0");
  EXPECT_EQ(r->QueryValue("NoSuchKey", "x"), nullptr);
  EXPECT_EQ(r->QueryValue(nullptr, nullptr), nullptr);

  ASSERT_TRUE(r->Reinit(32, 16, true));
  img = Finish();
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
  EXPECT_TRUE(Near(img.At(0, 0), RED));
  EXPECT_TRUE(Near(img.At(63, 95), RED));
  EXPECT_TRUE(Near(img.At(64, 0), GREEN));
  EXPECT_TRUE(Near(img.At(127, 47), GREEN));
  EXPECT_TRUE(Near(img.At(127, 48), BLACK));
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
  Image img = Finish();
  EXPECT_TRUE(Near(img.At(61, 1), GREEN));
  EXPECT_TRUE(Near(img.At(59, 1), BLACK));
  EXPECT_TRUE(Near(img.At(2, 2), RED));
  EXPECT_TRUE(Near(img.At(18, 18), BLACK));
  EXPECT_TRUE(Near(img.At(41, 41), WHITE));
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
  EXPECT_TRUE(Near(img.At(1, 3), bg));
  EXPECT_TRUE(Near(img.At(2 + w, 3), bg));
  EXPECT_TRUE(Near(img.At(2, 3 + h), bg));
  EXPECT_TRUE(Near(img.At(46, 24), bg));
  EXPECT_TRUE(Near(img.At(60, 24), bg));
  EXPECT_TRUE(Near(img.At(19, 24), bg));
  EXPECT_TRUE(Near(img.At(20, 44), bg));
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
    memset(&target, 0, sizeof target);
    target.name = const_cast<char *>("target");
    target.width = 40;
    target.height = 30;
    target.flags = ZY_BITMAP_IS_RENDER_TARGET;
    target.state = ZY_BITMAP_STATE_READY;
    target.pack_mode = ZY_PACK_PAD_TRANSPARENT;
    r->UploadBitmap(&target);
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
