// rmod_gl loaded with dlopen (off-screen through surfaceless EGL, or in no context at
// all: then every case is skipped with the reason) and driven as the draw layer drives
// it. Pictures are the golden tests' business (GlGolden); here: how many GL draw calls a
// frame of engine flushes becomes, and hostile calls.
#include <dlfcn.h>
#include <png.h>

#include <functional>
#include <string>

#include "zylem_modules.h"
#include "zytest.h"

namespace {

class RmodGl : public ZyTest {
 protected:
  void SetUp() override {
    lib_ = dlopen(ZYTEST_BUILD_DIR "/modules/rmod_gl.so", RTLD_NOW | RTLD_LOCAL);
    if (!lib_) GTEST_SKIP() << "rmod_gl is not built: " << dlerror();
    auto get = (ZYLEM_RendImp_GetInterfaceFunc)dlsym(lib_, ZYLEM_RENDIMP_GET_INTERFACE_NAME);
    ASSERT_NE(get, nullptr);
    r = get();
    host_.zy = &zy_;
    r->SetEngineInterface(&zy_);
    ZY_DisplaySettings parms = {};
    parms.width = 64, parms.height = 48, parms.windowed = 1;
    if (!r->IsSupported() || !r->Init(&zy_, &host_, &parms))
      GTEST_SKIP() << "no OpenGL 3.3 core context without a display (surfaceless EGL)";
    vb_ = r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES);
    ib_ = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
    uint16_t *idx = r->LockIndexBuffer(ib_);
    const int six[6] = {0, 1, 2, 1, 2, 3};
    for (int i = 0; i < ZY_QUAD_INDEX_COUNT; i++) idx[i] = (uint16_t)(4 * (i / 6) + six[i % 6]);
    for (int i = 0; i < 2; i++) {
      bitmaps_[i].width = bitmaps_[i].height = 1, bitmaps_[i].pixels = &texels_[i];
      ASSERT_TRUE(r->LoadBitmapToGpu(&bitmaps_[i]));
    }
    r->BeginFrame(ZY_EYE_MONO);
  }
  void TearDown() override {
    if (vb_) {
      for (ZY_Bitmap &b : bitmaps_) r->FreeBitmapFromGpu(&b.hw);
      r->ReleaseVertexBuffer(vb_);
      r->ReleaseIndexBuffer(ib_);
      r->Shutdown();
    }
    // The module stays loaded: the GL libraries it brought in cannot be unloaded cleanly.
  }
  // One engine flush: `quads` opaque white quads of 8x8 from (x, y) rightwards.
  void Flush(float x, float y, int quads = 64) {
    ZY_Vertex *v = r->LockVertexBuffer(vb_);
    for (int q = 0; q < quads; q++, x += 1) {
      v[4 * q] = {x, y, 0, 0xFFFFFFFFu, 0, 0}, v[4 * q + 1] = {x + 8, y, 0, 0xFFFFFFFFu, 1, 0};
      v[4 * q + 2] = {x, y + 8, 0, 0xFFFFFFFFu, 0, 1}, v[4 * q + 3] = {x + 8, y + 8, 0, 0xFFFFFFFFu, 1, 1};
    }
    r->DrawIndexed(vb_, 4 * quads, ib_, 2 * quads);
  }
  int FinishedDrawCalls() {
    r->EndFrame();
    return atoi(r->QueryValue("DrawCalls", nullptr));
  }
  // Pixel (x, y) of the last finished frame, bytes R, G, B, A.
  uint32_t Pixel(int x, int y) {
    const std::string path = world.root() + "/gl.png";
    EXPECT_STREQ(r->QueryValue("Screenshot", path.c_str()), "1");
    png_image png = {};
    png.version = PNG_IMAGE_VERSION;
    std::vector<uint32_t> px;
    if (png_image_begin_read_from_file(&png, path.c_str())) {
      png.format = PNG_FORMAT_RGBA;
      px.resize(png.width * png.height);
      png_image_finish_read(&png, nullptr, px.data(), 0, nullptr);
    }
    return px.empty() ? 0 : px[y * png.width + x];
  }

  void *lib_ = nullptr;
  RendImp *r = nullptr;
  ZY_EngineInterface zy_ = {};
  ZY_HostInfo host_ = {};
  ZY_VertexBuffer *vb_ = nullptr;
  ZY_IndexBuffer *ib_ = nullptr;
  uint32_t texels_[2] = {0xFF0000FFu, 0xFF00FF00u};  // red, green (bytes R, G, B, A)
  ZY_Bitmap bitmaps_[2] = {};
};

struct Frame {
  const char *name;
  std::function<void(RendImp *, ZY_Bitmap *, int)> before_flush;  // called before flush i
  int draw_calls;                                                  // of 157 flushes
};

void PrintTo(const Frame &frame, std::ostream *out) { *out << frame.name; }

class RmodGlFrames : public RmodGl, public ::testing::WithParamInterface<Frame> {};

TEST_P(RmodGlFrames, ConsecutiveFlushesOfOneStateBecomeOneDrawCall) {
  for (int i = 0; i < 157; i++) {
    GetParam().before_flush(r, bitmaps_, i);
    Flush(0, 0);
  }
  EXPECT_EQ(FinishedDrawCalls(), GetParam().draw_calls);
}

const Frame FRAMES[] = {
    {"one_texture", [](RendImp *r, ZY_Bitmap *b, int) { r->SetTexture(0, &b[0].hw); }, 1},
    {"textures_alternate", [](RendImp *r, ZY_Bitmap *b, int i) { r->SetTexture(0, &b[i % 2].hw); }, 157},
    {"blend_every_tenth", [](RendImp *r, ZY_Bitmap *, int i) { r->SetBlendMode(i / 10 % 2); }, 16},
    {"filter_and_clip_once", [](RendImp *r, ZY_Bitmap *, int i) {
       if (i == 50) r->SetRenderMode(0);
       if (i == 100) r->SetClipRect(0, 0, 10, 10);
     }, 3},
    {"line_between", [](RendImp *r, ZY_Bitmap *, int i) {
       const ZY_Vertex a = {0, 0, 0, 0xFFFFFFFFu, 0, 0}, b = {9, 9, 0, 0xFFFFFFFFu, 0, 0};
       if (i == 78) r->DrawLine(&a, &b);
     }, 3},
};
INSTANTIATE_TEST_SUITE_P(Frames, RmodGlFrames, ::testing::ValuesIn(FRAMES),
                         [](const ::testing::TestParamInfo<Frame> &info) { return std::string(info.param.name); });

TEST_F(RmodGl, MergedFlushesKeepTheirOwnTextureAndOrder) {
  r->SetTexture(0, &bitmaps_[0].hw);
  Flush(0, 0, 1);
  r->SetTexture(0, &bitmaps_[1].hw);
  Flush(4, 0, 1);  // green over the right half of the red quad
  r->SetTexture(0, &bitmaps_[1].hw);
  Flush(0, 20, 1);
  EXPECT_EQ(FinishedDrawCalls(), 2);
  EXPECT_EQ(Pixel(1, 1), texels_[0]);
  EXPECT_EQ(Pixel(6, 1), texels_[1]);
  EXPECT_EQ(Pixel(1, 21), texels_[1]);
}

TEST_F(RmodGl, HostileCallsAreRefusedOrIgnored) {
  uint16_t *idx = r->LockIndexBuffer(ib_);
  idx[0] = 60000;  // the first triangle points past the vertex buffer: skipped
  r->SetTexture(0, reinterpret_cast<ZY_BitmapHardware *>(&texels_));  // no texture of ours
  Flush(0, 0, 1);
  r->DrawLine(nullptr, nullptr);
  r->DrawIndexed(nullptr, 4, ib_, 2);
  r->DrawIndexed(vb_, 4, ib_, 1 << 30);  // more triangles than indices
  EXPECT_EQ(r->CreateVertexBuffer(0), nullptr);
  EXPECT_EQ(r->CreateIndexBuffer(-1), nullptr);
  EXPECT_FALSE(r->SetClipRect(0, 0, -1, 5));
  EXPECT_STREQ(r->QueryValue("Screenshot", "/nonexistent-folder/shot.png"), "0");
  EXPECT_STREQ(r->QueryValue("Screenshot", nullptr), "0");
  EXPECT_EQ(r->QueryValue("NoSuchKey", nullptr), nullptr);
  r->EndFrame();
  EXPECT_EQ(Pixel(6, 6), 0xFFFFFFFFu);  // the second triangle of the quad, untextured
  EXPECT_EQ(Pixel(1, 1), 0xFF000000u);  // the first one was not drawn
}

}  // namespace
