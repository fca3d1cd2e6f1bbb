// draw.cpp — how fast drawing goes: the render command layer's quad batching, and the
// software renderer module drawing a sprite scene, each next to a yardstick measured in
// the same run.
//
// 1. Batching. ZY_DrawRect and ZY_DrawQuad fill the layer's quad batch, which is flushed
//    every 64 quads into a renderer whose draws do nothing (its buffers are plain
//    memory), so only the layer's own work is timed. The yardstick copies the same 96
//    bytes per quad into the same ring of 32 buffers of 64 quads with memcpy. The summary
//    gives quads per second and the layer's share of that copy rate.
// 2. Sprites. 10,000 alpha-blended 32x32 sprites per frame on a 1280x720 screen, drawn by
//    rmod_soft (loaded with dlopen and driven as the layer drives it: 64-quad batches of
//    one texture, bilinear filtering as the engine's default render mode, blend mode 0;
//    once with its default threads, once with ZYLEM_SOFT_THREADS=1) and by SDL2's
//    software renderer (SDL_RenderCopy with SDL_BLENDMODE_BLEND from a 32x32 texture onto
//    a surface of the same size). Same texture, same positions. The summary gives
//    milliseconds per frame and their ratios.
//
//   ./bench/bench_draw [--benchmark_min_time=2]
//
// With ZYLEM_BENCH_DRAW_SAVE=DIR the last sprite frame of each renderer is written to
// DIR (rmod_soft.png, sdl.png) so the two pictures can be compared by eye.
#include "engine/draw.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/state.h"
#include "zylem_modules.h"
#include "engine/modules.h"
#include "lifecycle/state.h"

namespace {

// ---------------------------------------------------------------------------------
// 1. Batching into a renderer that draws nothing
// ---------------------------------------------------------------------------------

struct NullVertexBuffer {
  std::vector<ZY_Vertex> vertices;
};
struct NullIndexBuffer {
  std::vector<uint16_t> indices;
};

// A renderer whose buffers are memory and whose every other operation does nothing.
class NullRenderer : public RendImp {
 public:
  int64_t draws = 0;  // DrawIndexed calls, to check the batching happened

  bool IsSupported() override { return true; }
  bool SupportsBackgroundUpload() override { return false; }
  const char *GetDescription() override { return "null renderer"; }
  bool IsModeSupported(int32_t, int32_t) override { return true; }
  int32_t GetPixelOrder() override { return ZY_PIXEL_ORDER_RGBA; }
  int32_t GetColourOrder() override { return ZY_COLOUR_ORDER_ARGB_WORD; }
  bool Init(ZY_EngineInterface *, ZY_HostInfo *, ZY_DisplaySettings *) override { return true; }
  bool Reinit(int32_t, int32_t, bool) override { return true; }
  void Shutdown() override {}
  void SetActive(bool) override {}
  bool SetRenderTarget(ZY_Bitmap *) override { return true; }
  void RefreshBitmap(ZY_Bitmap *) override {}
  void UploadBitmap(ZY_Bitmap *) override {}
  bool LoadBitmapToGpu(ZY_Bitmap *) override { return true; }
  void FreeBitmapFromGpu(ZY_BitmapHardware *) override {}
  void CreateShader(ZY_Shader *) override {}
  void SetShader(ZY_Shader *) override {}
  void SetShaderParameter(int32_t, float, const void *) override {}
  void DrawShaded(ZY_Bitmap *, const ZY_Vertex *) override {}
  void BeginFrame(int32_t) override {}
  void EndFrame() override {}
  void Forward3(int32_t, float, int32_t) override {}
  void Forward1(int32_t) override {}
  void SetTransform(const float *) override {}
  bool SetClipRect(int32_t, int32_t, int32_t, int32_t) override { return true; }
  void ResetClipRect() override {}
  void SetBlendMode(int32_t) override {}
  void SetRenderMode(int32_t) override {}
  void DrawLine(const ZY_Vertex *, const ZY_Vertex *) override {}
  void SetEngineInterface(ZY_EngineInterface *) override {}
  const char *QueryValue(const char *, const char *) override { return nullptr; }
  void SetProjection(float, float, float) override {}
  void SetRenderState10(bool) override {}
  void SetRenderState11(bool) override {}
  void SetRenderState12(int32_t) override {}
  void SetTexture(int32_t, ZY_BitmapHardware *) override {}
  void DrawIndexed(ZY_VertexBuffer *, int32_t, ZY_IndexBuffer *, int32_t) override { draws++; }
  ZY_VertexBuffer *CreateVertexBuffer(int32_t count) override {
    return reinterpret_cast<ZY_VertexBuffer *>(
        new NullVertexBuffer{std::vector<ZY_Vertex>(static_cast<size_t>(count))});
  }
  void ReleaseVertexBuffer(ZY_VertexBuffer *b) override {
    delete reinterpret_cast<NullVertexBuffer *>(b);
  }
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *b) override {
    return reinterpret_cast<NullVertexBuffer *>(b)->vertices.data();
  }
  void UnlockVertexBuffer(ZY_VertexBuffer *) override {}
  ZY_IndexBuffer *CreateIndexBuffer(int32_t count) override {
    return reinterpret_cast<ZY_IndexBuffer *>(
        new NullIndexBuffer{std::vector<uint16_t>(static_cast<size_t>(count))});
  }
  void ReleaseIndexBuffer(ZY_IndexBuffer *b) override {
    delete reinterpret_cast<NullIndexBuffer *>(b);
  }
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *b) override {
    return reinterpret_cast<NullIndexBuffer *>(b)->indices.data();
  }
  void UnlockIndexBuffer(ZY_IndexBuffer *) override {}
};

const int QUADS_PER_ROUND = 6400;  // 100 full batches per benchmark iteration

// The engine state with the null renderer in place and the layer's buffers made, for
// the length of one benchmark.
class BatchLayer {
 public:
  NullRenderer renderer;
  ZY_ProgramInterface prog;

  BatchLayer() {
    ZYI_ResetState();
    memset(&prog, 0, sizeof prog);
    zy::core.prog = &prog;
    zy::modules.renderer = &renderer;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    ok = ZYI_DrawCreateBuffers();
    ZYI_DrawPushScreenTarget();
  }
  ~BatchLayer() {
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    zy::modules.renderer = nullptr;
    zy::core.prog = nullptr;
  }
  bool ok = false;
};

void BM_BatchDrawRect(benchmark::State &state) {
  BatchLayer layer;
  if (!layer.ok) {
    state.SkipWithError("the layer could not create its buffers");
    return;
  }
  ZY_SetColor(1.0f, 0.5f, 0.25f);
  ZY_SetAlpha(0.75f);
  for (auto _ : state) {
    for (int i = 0; i < QUADS_PER_ROUND; i++)
      ZY_DrawRect(static_cast<float>(i & 1023), static_cast<float>(i >> 4), 32.0f, 32.0f);
    ZYI_Flush();
  }
  state.SetItemsProcessed(state.iterations() * QUADS_PER_ROUND);
  state.counters["batches"] =
      static_cast<double>(layer.renderer.draws) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BatchDrawRect);

void BM_BatchDrawQuad(benchmark::State &state) {
  BatchLayer layer;
  if (!layer.ok) {
    state.SkipWithError("the layer could not create its buffers");
    return;
  }
  ZY_Vertex q[4] = {{0, 0, 0, 0xFFFF8040u, 0, 0},
                    {32, 0, 0, 0xFFFF8040u, 1, 0},
                    {0, 32, 0, 0xFFFF8040u, 0, 1},
                    {32, 32, 0, 0xFFFF8040u, 1, 1}};
  for (auto _ : state) {
    for (int i = 0; i < QUADS_PER_ROUND; i++) {
      q[0].x = q[2].x = static_cast<float>(i & 1023);
      q[1].x = q[3].x = q[0].x + 32.0f;
      ZY_DrawQuad(nullptr, q);
    }
    ZYI_Flush();
  }
  state.SetItemsProcessed(state.iterations() * QUADS_PER_ROUND);
}
BENCHMARK(BM_BatchDrawQuad);

// The yardstick: 96 bytes per quad copied into a ring of 32 buffers of 64 quads.
void BM_Copy96BytesPerQuad(benchmark::State &state) {
  std::vector<ZY_Vertex> ring(static_cast<size_t>(ZYI_DRAW_VERTEX_BUFFERS) *
                              ZY_VERTEX_BUFFER_VERTICES);
  const ZY_Vertex quad[4] = {{0, 0, 0, 0xBFFF8040u, 0.5f, 0.5f},
                             {32, 0, 0, 0xBFFF8040u, 0.5f, 0.5f},
                             {0, 32, 0, 0xBFFF8040u, 0.5f, 0.5f},
                             {32, 32, 0, 0xBFFF8040u, 0.5f, 0.5f}};
  int buffer = 0;
  for (auto _ : state) {
    for (int batch = 0; batch < QUADS_PER_ROUND / ZYI_DRAW_BATCH_QUADS; batch++) {
      ZY_Vertex *write = &ring[static_cast<size_t>(buffer) * ZY_VERTEX_BUFFER_VERTICES];
      for (int q = 0; q < ZYI_DRAW_BATCH_QUADS; q++) memcpy(write + 4 * q, quad, sizeof quad);
      benchmark::ClobberMemory();
      buffer = (buffer + 1) % ZYI_DRAW_VERTEX_BUFFERS;
    }
  }
  state.SetItemsProcessed(state.iterations() * QUADS_PER_ROUND);
  state.SetBytesProcessed(state.iterations() * QUADS_PER_ROUND * static_cast<int64_t>(sizeof quad));
}
BENCHMARK(BM_Copy96BytesPerQuad);

// ---------------------------------------------------------------------------------
// 2. A sprite scene: rmod_soft against SDL2's software renderer
// ---------------------------------------------------------------------------------

const int SCREEN_W = 1280, SCREEN_H = 720;
const int SPRITE = 32;
const int SPRITES = 10000;

struct Sprite {
  int x, y;
};

// Fixed pseudo-random positions (the same for both renderers), all fully on screen.
const std::vector<Sprite> &Positions() {
  static std::vector<Sprite> sprites;
  if (sprites.empty()) {
    uint32_t seed = 12345;
    auto next = [&seed]() {
      seed = seed * 1664525u + 1013904223u;
      return seed >> 8;
    };
    for (int i = 0; i < SPRITES; i++)
      sprites.push_back({static_cast<int>(next() % (SCREEN_W - SPRITE)),
                         static_cast<int>(next() % (SCREEN_H - SPRITE))});
  }
  return sprites;
}

// The sprite: a disc with a soft edge, its colour shading from orange to blue,
// transparent in the corners. Bytes R, G, B, A.
std::vector<uint8_t> SpriteTexels() {
  std::vector<uint8_t> px(static_cast<size_t>(SPRITE) * SPRITE * 4);
  for (int y = 0; y < SPRITE; y++)
    for (int x = 0; x < SPRITE; x++) {
      const float dx = x + 0.5f - SPRITE / 2.0f, dy = y + 0.5f - SPRITE / 2.0f;
      const float d = dx * dx + dy * dy;
      float a = (16.0f * 16.0f - d) / (16.0f * 16.0f - 11.0f * 11.0f);
      a = a < 0 ? 0 : (a > 1 ? 1 : a);
      uint8_t *p = &px[(static_cast<size_t>(y) * SPRITE + x) * 4];
      p[0] = static_cast<uint8_t>(255 - 6 * y);
      p[1] = static_cast<uint8_t>(128 + 2 * x);
      p[2] = static_cast<uint8_t>(40 + 6 * y);
      p[3] = static_cast<uint8_t>(a * 255.0f + 0.5f);
    }
  return px;
}

// The folder named by ZYLEM_BENCH_DRAW_SAVE, or null. Google Benchmark runs each
// function more than once; each renderer's frame is saved by its first run only.
const char *SaveFolder(bool *saved) {
  const char *dir = getenv("ZYLEM_BENCH_DRAW_SAVE");
  if (!dir || !dir[0] || *saved) return nullptr;
  *saved = true;
  return dir;
}

// threads: the ZYLEM_SOFT_THREADS the module starts with (null: its default, one per CPU).
void SpritesRmodSoft(benchmark::State &state, const char *threads) {
  if (threads)
    setenv("ZYLEM_SOFT_THREADS", threads, 1);
  else
    unsetenv("ZYLEM_SOFT_THREADS");
  void *lib = dlopen(ZYLEM_BENCH_MODULE_DIR "/rmod_soft.so", RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    state.SkipWithError(dlerror());
    return;
  }
  auto get = reinterpret_cast<ZYLEM_RendImp_GetInterfaceFunc>(
      dlsym(lib, ZYLEM_RENDIMP_GET_INTERFACE_NAME));
  RendImp *r = get ? get() : nullptr;
  ZY_EngineInterface table;
  ZY_HostInfo host;
  ZY_DisplaySettings parms;
  memset(&table, 0, sizeof table);
  memset(&host, 0, sizeof host);
  memset(&parms, 0, sizeof parms);
  host.zy = &table;
  parms.width = SCREEN_W;
  parms.height = SCREEN_H;
  parms.windowed = 1;
  if (!r) {
    state.SkipWithError("rmod_soft has no renderer entry point");
    dlclose(lib);
    return;
  }
  r->SetEngineInterface(&table);
  if (!r->Init(&table, &host, &parms)) {
    state.SkipWithError("rmod_soft did not initialise");
    dlclose(lib);
    return;
  }

  // The texture in the module's pixel order, uploaded from a hand-made bitmap record.
  std::vector<uint8_t> texels = SpriteTexels();
  if (r->GetPixelOrder() == ZY_PIXEL_ORDER_BGRA)
    for (size_t i = 0; i < texels.size(); i += 4) std::swap(texels[i], texels[i + 2]);
  ZY_Bitmap bitmap;
  memset(&bitmap, 0, sizeof bitmap);
  bitmap.name = const_cast<char *>("sprite");
  bitmap.width = bitmap.height = SPRITE;
  bitmap.pixels = reinterpret_cast<uint32_t *>(texels.data());
  bitmap.state = ZY_BITMAP_STATE_READY;
  bitmap.pack_mode = ZY_PACK_PAD_TRANSPARENT;
  r->LoadBitmapToGpu(&bitmap);

  // The layer's buffers: a ring of vertex buffers and the fixed quad index buffer.
  std::vector<ZY_VertexBuffer *> buffers;
  for (int i = 0; i < ZYI_DRAW_VERTEX_BUFFERS; i++)
    buffers.push_back(r->CreateVertexBuffer(ZY_VERTEX_BUFFER_VERTICES));
  ZY_IndexBuffer *quads = r->CreateIndexBuffer(ZY_QUAD_INDEX_COUNT);
  uint16_t *idx = r->LockIndexBuffer(quads);
  for (int q = 0; q < ZYI_DRAW_BATCH_QUADS; q++) {
    const uint16_t b = static_cast<uint16_t>(4 * q);
    const uint16_t six[6] = {b,
                             static_cast<uint16_t>(b + 1),
                             static_cast<uint16_t>(b + 2),
                             static_cast<uint16_t>(b + 1),
                             static_cast<uint16_t>(b + 2),
                             static_cast<uint16_t>(b + 3)};
    memcpy(idx + 6 * q, six, sizeof six);
  }
  r->UnlockIndexBuffer(quads);

  const std::vector<Sprite> &sprites = Positions();
  const uint32_t white = 0xFFFFFFFFu;  // the same word in both colour orders
  int ring = 0;
  for (auto _ : state) {
    r->BeginFrame(ZY_EYE_MONO);
    r->SetBlendMode(0);
    r->SetRenderMode(1);
    r->SetTexture(0, &bitmap.hw);
    for (int first = 0; first < SPRITES; first += ZYI_DRAW_BATCH_QUADS) {
      const int count = std::min(ZYI_DRAW_BATCH_QUADS, SPRITES - first);
      ZY_VertexBuffer *vb = buffers[static_cast<size_t>(ring)];
      ring = (ring + 1) % ZYI_DRAW_VERTEX_BUFFERS;
      ZY_Vertex *v = r->LockVertexBuffer(vb);
      for (int i = 0; i < count; i++) {
        const float x = static_cast<float>(sprites[static_cast<size_t>(first + i)].x);
        const float y = static_cast<float>(sprites[static_cast<size_t>(first + i)].y);
        v[4 * i + 0] = {x, y, 0, white, 0, 0};
        v[4 * i + 1] = {x + SPRITE, y, 0, white, 1, 0};
        v[4 * i + 2] = {x, y + SPRITE, 0, white, 0, 1};
        v[4 * i + 3] = {x + SPRITE, y + SPRITE, 0, white, 1, 1};
      }
      r->UnlockVertexBuffer(vb);
      r->DrawIndexed(vb, count * 4, quads, count * 2);
    }
    r->EndFrame();
  }
  state.SetItemsProcessed(state.iterations() * SPRITES);

  static bool saved = false;
  if (const char *dir = SaveFolder(&saved)) {
    const std::string path = std::string(dir) + "/rmod_soft.png";
    const char *answer = r->QueryValue("Screenshot", path.c_str());
    printf("rmod_soft frame: %s (%s)\n", path.c_str(), answer ? answer : "null");
  }
  r->SetTexture(0, nullptr);
  r->FreeBitmapFromGpu(&bitmap.hw);
  for (ZY_VertexBuffer *vb : buffers) r->ReleaseVertexBuffer(vb);
  r->ReleaseIndexBuffer(quads);
  r->Shutdown();
  dlclose(lib);
  unsetenv("ZYLEM_SOFT_THREADS");
}
void BM_SpritesRmodSoft(benchmark::State &state) { SpritesRmodSoft(state, nullptr); }
BENCHMARK(BM_SpritesRmodSoft)->Unit(benchmark::kMillisecond);
void BM_SpritesRmodSoftOneThread(benchmark::State &state) { SpritesRmodSoft(state, "1"); }
BENCHMARK(BM_SpritesRmodSoftOneThread)->Unit(benchmark::kMillisecond);

void BM_SpritesSdlSoftware(benchmark::State &state) {
  SDL_Surface *screen =
      SDL_CreateRGBSurfaceWithFormat(0, SCREEN_W, SCREEN_H, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer *renderer = screen ? SDL_CreateSoftwareRenderer(screen) : nullptr;
  std::vector<uint8_t> texels = SpriteTexels();
  SDL_Surface *source = SDL_CreateRGBSurfaceWithFormatFrom(texels.data(), SPRITE, SPRITE, 32,
                                                           SPRITE * 4, SDL_PIXELFORMAT_RGBA32);
  SDL_Texture *texture =
      renderer && source ? SDL_CreateTextureFromSurface(renderer, source) : nullptr;
  if (!texture) {
    state.SkipWithError(SDL_GetError());
  } else {
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const std::vector<Sprite> &sprites = Positions();
    for (auto _ : state) {
      SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
      SDL_RenderClear(renderer);
      for (const Sprite &s : sprites) {
        const SDL_Rect dst = {s.x, s.y, SPRITE, SPRITE};
        SDL_RenderCopy(renderer, texture, nullptr, &dst);
      }
      SDL_RenderPresent(renderer);
    }
    state.SetItemsProcessed(state.iterations() * SPRITES);
    static bool saved = false;
    if (const char *dir = SaveFolder(&saved)) {
      // ARGB8888 words are bytes B, G, R, A in memory.
      const std::string path = std::string(dir) + "/sdl.png";
      png_image png;
      memset(&png, 0, sizeof png);
      png.version = PNG_IMAGE_VERSION;
      png.width = SCREEN_W;
      png.height = SCREEN_H;
      png.format = PNG_FORMAT_BGRA;
      const bool written = png_image_write_to_file(&png, path.c_str(), 0, screen->pixels,
                                                   screen->pitch, nullptr) != 0;
      printf("SDL frame: %s (%s)\n", path.c_str(), written ? "1" : "0");
    }
  }
  if (texture) SDL_DestroyTexture(texture);
  if (source) SDL_FreeSurface(source);
  if (renderer) SDL_DestroyRenderer(renderer);
  if (screen) SDL_FreeSurface(screen);
}
BENCHMARK(BM_SpritesSdlSoftware)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------------
// Summary
// ---------------------------------------------------------------------------------

// Console output as usual, and the rates kept for the summary.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  RateReporter() : ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}
  std::map<std::string, double> items;       // items per second by benchmark name
  std::map<std::string, double> ms_per_run;  // real milliseconds per iteration
  void ReportRuns(const std::vector<Run> &runs) override {
    for (const Run &run : runs) {
      if (run.error_occurred || run.iterations == 0) continue;
      auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) items[run.benchmark_name()] = it->second;
      ms_per_run[run.benchmark_name()] =
          run.real_accumulated_time * 1e3 / static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  const double rect = reporter.items["BM_BatchDrawRect"], quad = reporter.items["BM_BatchDrawQuad"];
  const double copy = reporter.items["BM_Copy96BytesPerQuad"];
  printf("\nBatching (renderer draws nothing):\n");
  printf("  ZY_DrawRect:             %6.1f M quads/s\n", rect / 1e6);
  printf("  ZY_DrawQuad:             %6.1f M quads/s\n", quad / 1e6);
  printf("  memcpy of 96 bytes/quad: %6.1f M quads/s (%.1f GB/s)\n", copy / 1e6, copy * 96 / 1e9);
  if (copy > 0)
    printf("  share of the copy rate: DrawRect %.2f, DrawQuad %.2f\n", rect / copy, quad / copy);

  const double soft = reporter.ms_per_run["BM_SpritesRmodSoft"];
  const double soft1 = reporter.ms_per_run["BM_SpritesRmodSoftOneThread"];
  const double sdl = reporter.ms_per_run["BM_SpritesSdlSoftware"];
  printf("\nSprites (%d alpha-blended %dx%d quads, %dx%d screen):\n", SPRITES, SPRITE, SPRITE,
         SCREEN_W, SCREEN_H);
  printf("  rmod_soft:             %7.2f ms/frame (one thread: %.2f)\n", soft, soft1);
  printf("  SDL2 software renderer: %6.2f ms/frame\n", sdl);
  if (sdl > 0) printf("  ratio rmod_soft / SDL2: %.2f (one thread: %.2f)\n", soft / sdl, soft1 / sdl);
  return 0;
}
