// gl.cpp — the sprite scene through the OpenGL renderer module, next to the software one.
//
// 10,000 alpha-blended 32x32 sprites from one texture per frame on a 1280x720 screen,
// driven as the render command layer drives a renderer: 64-quad DrawIndexed calls (the
// engine's flushes, 157 a frame) from a ring of 32 vertex buffers, bilinear filtering,
// blend mode 0. rmod_gl runs off-screen on whatever OpenGL the machine has (Mesa's
// software rasteriser llvmpipe in CI, through surfaceless EGL); each frame ends with
// glFinish so the time is the GPU's too. Counters per frame: `flushes` (the engine's
// DrawIndexed calls) and `draw_calls` (what reached GL: rmod_gl merges consecutive draws
// of one texture and state; rmod_soft draws every call). The summary names the device.
//
//   ./bench/bench_gl [--benchmark_min_time=2]
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <epoxy/gl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zylem_modules.h"

namespace {

const int SCREEN_W = 1280, SCREEN_H = 720, SPRITE = 32, SPRITES = 10000;
const int BATCH_QUADS = 64, RING = 32;
std::string device = "unknown";  // the renderer's description, for the summary

// A disc with a soft edge shading from orange to blue, transparent corners (R, G, B, A).
std::vector<uint32_t> SpriteTexels(bool bgra) {
  std::vector<uint32_t> px(SPRITE * SPRITE);
  for (int y = 0; y < SPRITE; y++)
    for (int x = 0; x < SPRITE; x++) {
      const float dx = x + 0.5f - SPRITE / 2.0f, dy = y + 0.5f - SPRITE / 2.0f;
      const float a = std::min(1.0f, std::max(0.0f, (256.0f - dx * dx - dy * dy) / 135.0f));
      uint8_t p[4] = {static_cast<uint8_t>(255 - 6 * y), static_cast<uint8_t>(128 + 2 * x),
                      static_cast<uint8_t>(40 + 6 * y), static_cast<uint8_t>(a * 255.0f + 0.5f)};
      if (bgra) std::swap(p[0], p[2]);
      memcpy(&px[y * SPRITE + x], p, 4);
    }
  return px;
}

void Sprites(benchmark::State &state, const char *module, bool finish) {
  const std::string path = std::string(ZYLEM_BENCH_MODULE_DIR "/") + module + ".so";
  void *lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  auto get = lib ? reinterpret_cast<ZYLEM_RendImp_GetInterfaceFunc>(
                       dlsym(lib, ZYLEM_RENDIMP_GET_INTERFACE_NAME))
                 : nullptr;
  RendImp *r = get ? get() : nullptr;
  ZY_EngineInterface table;
  ZY_HostInfo host;
  ZY_DisplaySettings parms;
  memset(&table, 0, sizeof table);
  memset(&host, 0, sizeof host);
  memset(&parms, 0, sizeof parms);
  host.zy = &table;
  parms.width = SCREEN_W, parms.height = SCREEN_H, parms.windowed = 1;
  if (r) r->SetEngineInterface(&table);
  if (!r || !r->IsSupported() || !r->Init(&table, &host, &parms)) {
    state.SkipWithError((std::string(module) + " cannot run here").c_str());
    if (lib) dlclose(lib);
    return;
  }
  if (finish) device = r->GetDescription() + strlen(module) + 2;  // after "rmod_gl: "
  std::vector<uint32_t> texels = SpriteTexels(r->GetPixelOrder() == ZY_PIXEL_ORDER_BGRA);
  ZY_Bitmap bitmap;
  memset(&bitmap, 0, sizeof bitmap);
  bitmap.name = const_cast<char *>("sprite");
  bitmap.width = bitmap.height = SPRITE;
  bitmap.pixels = texels.data();
  bitmap.state = ZY_BITMAP_STATE_READY;
  bitmap.pack_mode = ZY_PACK_PAD_TRANSPARENT;
  r->LoadBitmapToGpu(&bitmap);
  std::vector<ZY_VertexBuffer *> ring;
  for (int i = 0; i < RING; i++) ring.push_back(r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES));
  ZY_IndexBuffer *quads = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
  uint16_t *idx = r->LockIndexBuffer(quads);
  for (int q = 0; q < BATCH_QUADS; q++) {
    const uint16_t six[6] = {0, 1, 2, 1, 2, 3};
    for (int k = 0; k < 6; k++) idx[6 * q + k] = static_cast<uint16_t>(4 * q + six[k]);
  }
  r->UnlockIndexBuffer(quads);

  uint32_t seed = 12345;  // the same positions every run
  std::vector<float> xy;
  for (int i = 0; i < 2 * SPRITES; i++) {
    seed = seed * 1664525u + 1013904223u;
    xy.push_back(static_cast<float>((seed >> 8) % ((i % 2 ? SCREEN_H : SCREEN_W) - SPRITE)));
  }
  const uint32_t white = 0xFFFFFFFFu;
  int next = 0;
  int64_t flushes = 0;
  for (auto _ : state) {
    r->BeginFrame(ZY_EYE_MONO);
    r->SetBlendMode(0);
    r->SetRenderMode(1);
    for (int first = 0; first < SPRITES; first += BATCH_QUADS) {
      const int count = std::min(BATCH_QUADS, SPRITES - first);
      ZY_VertexBuffer *vb = ring[next];
      next = (next + 1) % RING;
      ZY_Vertex *v = r->LockVertexBuffer(vb);
      for (int i = 0; i < count; i++) {
        const float x = xy[2 * (first + i)], y = xy[2 * (first + i) + 1];
        v[4 * i + 0] = {x, y, 0, white, 0, 0};
        v[4 * i + 1] = {x + SPRITE, y, 0, white, 1, 0};
        v[4 * i + 2] = {x, y + SPRITE, 0, white, 0, 1};
        v[4 * i + 3] = {x + SPRITE, y + SPRITE, 0, white, 1, 1};
      }
      r->UnlockVertexBuffer(vb);
      r->SetTexture(0, &bitmap.hw);  // the layer sets it before every batched draw
      r->DrawIndexed(vb, count * 4, quads, count * 2);
      flushes++;
    }
    r->EndFrame();
    if (finish) glFinish();
  }
  const double frames = static_cast<double>(state.iterations());
  state.counters["flushes"] = static_cast<double>(flushes) / frames;
  const char *calls = r->QueryValue("DrawCalls", nullptr);
  state.counters["draw_calls"] = calls ? atof(calls) : static_cast<double>(flushes) / frames;
  r->SetTexture(0, nullptr);
  r->FreeBitmapFromGpu(&bitmap.hw);
  for (ZY_VertexBuffer *vb : ring) r->ReleaseVertexBuffer(vb);
  r->ReleaseIndexBuffer(quads);
  r->Shutdown();
  dlclose(lib);
}

void BM_SpritesRmodGl(benchmark::State &state) { Sprites(state, "rmod_gl", true); }
void BM_SpritesRmodSoft(benchmark::State &state) { Sprites(state, "rmod_soft", false); }
BENCHMARK(BM_SpritesRmodGl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpritesRmodSoft)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  printf("\nrmod_gl ran on: %s\n", device.c_str());
  return 0;
}
