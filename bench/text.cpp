// text.cpp — how fast text is drawn, next to yardsticks measured in the same run.
//
// 1. ZY_DrawText of a 1,000-character LATIN-1 text (one line, words of 3 to 7 letters)
//    against drawing the same glyph rectangles one by one with ZY_DrawBitmapPart from the
//    font's atlas: the layout, tag scanning and glyph lookup are what text adds over
//    plain quads (row text_vs_quads).
// 2. The same number of characters in a UTF-8 font of 3,000 glyphs (ideographs in
//    shuffled order) against the LATIN-1 text: decoding and looking up code points are
//    what UTF-8 adds (row utf8_vs_latin1).
// Both draw into a renderer whose draws do nothing, so only the engine's work is timed.
//
//   ./bench/bench_text [--benchmark_min_time=2]
#include <benchmark/benchmark.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "base/state.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "font/fonts.h"
#include "host/host.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/state.h"
#include "zylem_modules.h"

namespace {

struct NullBuffer {
  std::vector<ZY_Vertex> vertices;
  std::vector<uint16_t> indices;
};

// A renderer whose buffers are memory and whose every other operation does nothing.
class NullRenderer : public RendImp {
 public:
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
  bool LoadBitmapToGpu(ZY_Bitmap *b) override {
    b->hw.left = b->hw.top = 0, b->hw.right = b->hw.bottom = 1, b->hw.texture = b;
    return true;
  }
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
  void DrawIndexed(ZY_VertexBuffer *, int32_t, ZY_IndexBuffer *, int32_t) override {}
  ZY_VertexBuffer *CreateVertexBuffer(int32_t n) override {
    NullBuffer *b = new NullBuffer;
    b->vertices.resize((size_t)n);
    return reinterpret_cast<ZY_VertexBuffer *>(b);
  }
  void ReleaseVertexBuffer(ZY_VertexBuffer *b) override { delete reinterpret_cast<NullBuffer *>(b); }
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *b) override {
    return reinterpret_cast<NullBuffer *>(b)->vertices.data();
  }
  void UnlockVertexBuffer(ZY_VertexBuffer *) override {}
  ZY_IndexBuffer *CreateIndexBuffer(int32_t n) override {
    NullBuffer *b = new NullBuffer;
    b->indices.resize((size_t)n);
    return reinterpret_cast<ZY_IndexBuffer *>(b);
  }
  void ReleaseIndexBuffer(ZY_IndexBuffer *b) override { delete reinterpret_cast<NullBuffer *>(b); }
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *b) override {
    return reinterpret_cast<NullBuffer *>(b)->indices.data();
  }
  void UnlockIndexBuffer(ZY_IndexBuffer *) override {}
};

const int TEXT_LENGTH = 1000;

// The engine with the null renderer, the draw layer, the interface table and one font in
// slot 0 whose atlas is on the "GPU", for the length of one benchmark.
class TextBench {
 public:
  NullRenderer renderer;
  ZY_ProgramInterface prog;
  ZY_Font *font;
  std::string text;

  explicit TextBench(bool utf8) {
    ZYI_ResetState();
    memset(&prog, 0, sizeof prog);
    zy::core.prog = &prog;
    zy::core.main_thread_id = ZYH_ThreadId();
    zy::modules.renderer = &renderer;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    zy::core.renderer_ready = 1;
    ZYI_BuildEngineInterface();
    ZYI_DrawReset();
    ZYI_DrawCreateBuffers();
    ZYI_DrawPushScreenTarget();
    ZYI_FontsInit();
    ZY_SetTextMaxWidth(0);
    font = &zy::fonts.table[0];
    zy::fonts.count = 1;
    font->name = strdup(utf8 ? "cjk" : "latin");
    font->utf8 = utf8, font->scale = 1, font->height = 12, font->baseline = 10, font->line_height = 14;
    std::mt19937 rng(1);
    int count = utf8 ? 3000 : 256;
    ZYI_FontSetGlyphCount(font, count);
    std::vector<int> order((size_t)count);
    for (int i = 0; i < count; i++) order[(size_t)i] = i;
    std::shuffle(order.begin(), order.end(), rng);
    for (int i = 0; i < count; i++) {
      ZyGlyph &g = font->glyphs[i];
      g.code = utf8 ? 0x4E00 + order[(size_t)i] : i;
      g.advance = 9;
      if (utf8 || (i > 32 && i < 127)) ZYI_GlyphSetPicture(&g, 4 + i % 5, 6 + i % 6);
    }
    ZYI_FontBuildIndex(font);
    ZY_RecreateFontAtlas(font);
    for (int i = 0; i < TEXT_LENGTH; i++) {
      if (!utf8) {
        text += (i % 6 == 5) ? ' ' : (char)('a' + rng() % 26);
        continue;
      }
      uint32_t cp = 0x4E00 + rng() % 3000;
      text += (char)(0xE0 | cp >> 12), text += (char)(0x80 | (cp >> 6 & 0x3F)), text += (char)(0x80 | (cp & 0x3F));
    }
  }
  ~TextBench() {
    ZYI_ReleaseFontsDeviceData();
    ZYI_FontsFree();
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    zy::modules.renderer = nullptr;
    zy::core.prog = nullptr;
  }
};

void BM_DrawTextLatin1(benchmark::State &state) {
  TextBench b(false);
  for (auto _ : state) benchmark::DoNotOptimize(ZY_DrawText(b.font, 0, 0, "%s", b.text.c_str()));
  ZYI_Flush();
  state.SetItemsProcessed(state.iterations() * TEXT_LENGTH);
}
BENCHMARK(BM_DrawTextLatin1);

void BM_DrawTextUtf8(benchmark::State &state) {
  TextBench b(true);
  for (auto _ : state) benchmark::DoNotOptimize(ZY_DrawText(b.font, 0, 0, "%s", b.text.c_str()));
  ZYI_Flush();
  state.SetItemsProcessed(state.iterations() * TEXT_LENGTH);
}
BENCHMARK(BM_DrawTextUtf8);

// The yardstick: the LATIN-1 text's glyph rectangles, placed as the text places them,
// drawn from the atlas one ZY_DrawBitmapPart each.
void BM_DrawBitmapPartGlyphs(benchmark::State &state) {
  TextBench b(false);
  struct Part { float x, y, l, t, r, bottom; };
  std::vector<Part> parts;
  ZY_Bitmap *atlas = &b.font->atlas;
  float pen = 0, aw = (float)atlas->width, ah = (float)atlas->height;
  for (unsigned char c : b.text) {
    const ZyGlyph &g = b.font->glyphs[c];
    if (g.picture.pixels)
      parts.push_back({pen + g.x_offset, (float)g.y_offset, g.picture.hw.left * aw, g.picture.hw.top * ah,
                       g.picture.hw.right * aw, g.picture.hw.bottom * ah});
    pen += g.advance;
  }
  for (auto _ : state)
    for (const Part &p : parts) ZY_DrawBitmapPart(atlas, p.x, p.y, p.l, p.t, p.r, p.bottom);
  ZYI_Flush();
  state.SetItemsProcessed(state.iterations() * TEXT_LENGTH);
  state.counters["quads"] = (double)parts.size();
}
BENCHMARK(BM_DrawBitmapPartGlyphs);

}  // namespace

BENCHMARK_MAIN();
