// rmod_soft_fixture.h — the fixture of the software renderer module's tests: the module
// loaded with dlopen and driven through its RendImp operations the way the render command
// layer drives it, with the pixels read back from its Screenshot query (a PNG decoded
// with libpng). Shared by rmod_soft_test.cpp and rmod_soft_frames_test.cpp.
#pragma once
#include <dirent.h>
#include <dlfcn.h>
#include <png.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "host/host.h"
#include "zylem_modules.h"
#include "zytest.h"

namespace rmodsoft {

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

inline Image ReadPng(const std::string &path) {
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
inline Image ReadBmp(const std::string &path) {
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

inline ::testing::AssertionResult Near(Rgba got, Rgba want, int tolerance = 0) {
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance && std::abs(got.a - want.a) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "got (" << got.r << "," << got.g << "," << got.b << "," << got.a << ") want ("
         << want.r << "," << want.g << "," << want.b << "," << want.a << ") +-" << tolerance;
}

// One expected pixel: position, colour and the difference allowed per channel.
struct Px {
  int x, y;
  Rgba want;
  int tolerance = 0;
};

// Checks every listed pixel of img; a mismatch names its position.
inline void ExpectPixels(const Image &img, std::initializer_list<Px> pixels) {
  for (const Px &p : pixels)
    EXPECT_TRUE(Near(img.At(p.x, p.y), p.want, p.tolerance)) << "pixel " << p.x << "," << p.y;
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
    const int pattern[6] = {0, 1, 2, 1, 2, 3};
    for (int i = 0; i < ZY_QUAD_INDEX_COUNT; i++)
      idx[i] = static_cast<uint16_t>(4 * (i / 6) + pattern[i % 6]);
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

  // A render target record of the given size, its surface made by the module.
  void MakeTarget(ZY_Bitmap *bm, int w, int h, int16_t pack_mode = ZY_PACK_PAD_EXPAND) {
    memset(bm, 0, sizeof *bm);
    bm->name = const_cast<char *>("target");
    bm->width = w;
    bm->height = h;
    bm->pack_mode = pack_mode;
    bm->flags = ZY_BITMAP_IS_RENDER_TARGET;
    bm->state = ZY_BITMAP_STATE_READY;
    r->UploadBitmap(bm);
    ASSERT_EQ(bm->hw.on_gpu, 1);
    ASSERT_NE(bm->hw.texture, nullptr);
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

}  // namespace rmodsoft
