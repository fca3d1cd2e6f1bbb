// engine_test.h — the fixture of the draw layer and bitmap tests: the engine in-process
// with locks, a file system over the test's game folder, the log with its history (popups
// logged as "[POPUP] ..."), the image loader, the engine interface table (the draw layer
// reads the keys F9 and F10 through it), the draw layer and the bitmap table with
// reference counting, on a recording renderer. The recorder keeps real vertex and index
// storage, notes state calls (textures by name), indexed draws with their vertices, bitmap
// calls and live textures, and counts misuse: drawing from a locked buffer, locking twice,
// an index past the vertex count, freeing a texture that is not alive.
#pragma once


#include <algorithm>
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/state.h"
#include "config/config.h"
#include "config/didodoz.h"
#include "engine/bitmaps_internal.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "image/image_loader.h"
#include "lifecycle/input.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/log_file.h"
#include "lifecycle/resolution.h"
#include "lifecycle/state.h"
#include "zytest.h"

namespace enginetest {

struct Store {  // behind the renderer's vertex and index buffer handles
  int id;
  bool locked;
  std::vector<ZY_Vertex> vertices;
  std::vector<uint16_t> indices;
};
inline Store *S(const void *buffer) { return (Store *)buffer; }

struct Draw {
  std::string buffer, texture;  // "vb3"; the bound texture's name, "-" for none
  int vertex_count, triangles;
  std::vector<ZY_Vertex> vertices;
  std::vector<uint16_t> indices;
};

class Recorder : public RendImp {
 public:
  std::vector<std::string> calls, bitmap_calls;
  std::vector<Draw> draws;
  std::vector<std::array<ZY_Vertex, 2>> lines;
  std::vector<std::array<float, 16>> transforms;
  std::vector<std::unique_ptr<Store>> stores;
  std::map<const void *, std::string> names;  // textures by their hardware record
  std::set<void *> live;                      // textures handed out and not freed
  std::vector<uint32_t> first_pixels;         // first pixel of every upload
  std::atomic<bool> background{false};        // answer of SupportsBackgroundUpload
  std::atomic<int> off_main{0};               // bitmap calls made off the main thread
  int misuse = 0, released = 0, fail_store = -1;  // no vertex buffer at this store index
  bool clip_answer = true, target_answer = true, fail_loads = false;
  uint32_t upload_cost_ms = 0;  // manual clock advanced per upload
  intptr_t next_texture = 1;
  const ZY_BitmapHardware *bound = nullptr;

  void Note(const char *format, ...) {
    char text[200];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    calls.push_back(text);
  }
  // Named textures by name, the others by their handle ("#2").
  std::string Name(const ZY_BitmapHardware *t) const {
    if (!t) return "-";
    auto it = names.find(t);
    return it != names.end() ? it->second : "#" + std::to_string((intptr_t)t->texture);
  }
  std::vector<std::string> Calls(const std::string &prefix) const {
    std::vector<std::string> out;
    for (const auto &c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }
  void Bitmap(const char *what, const ZY_Bitmap *b) {
    off_main += !ZY_IsMainThread();
    bitmap_calls.push_back(b ? std::string(what) + " " + b->name : what);
  }
  void Fill(ZY_BitmapHardware *hw) {
    live.insert(hw->texture = (void *)next_texture++);
    hw->on_gpu = 1, hw->left = hw->top = 0, hw->right = hw->bottom = 1;
  }
  Store *New(int32_t vertices, int32_t indices) {
    stores.emplace_back(new Store{(int)stores.size(), false, std::vector<ZY_Vertex>(vertices),
                                  std::vector<uint16_t>(indices)});
    return stores.back().get();
  }
  Store *Lock(void *b, bool lock) {
    misuse += S(b)->locked == lock;
    S(b)->locked = lock;
    return S(b);
  }

  bool IsSupported() override { return true; }
  bool SupportsBackgroundUpload() override { return background; }
  const char *GetDescription() override { return "recorder"; }
  bool IsModeSupported(int32_t, int32_t) override { return true; }
  int32_t GetPixelOrder() override { return 0; }
  int32_t GetColourOrder() override { return 1; }
  bool Init(ZY_EngineInterface *, ZY_HostInfo *, ZY_DisplaySettings *) override { return true; }
  bool Reinit(int32_t, int32_t, bool) override { return true; }
  void Shutdown() override {}
  void SetActive(bool) override {}
  bool SetRenderTarget(ZY_Bitmap *b) override {
    return Note("SetRenderTarget %s", Name(b ? &b->hw : nullptr).c_str()), target_answer;
  }
  void RefreshBitmap(ZY_Bitmap *b) override { Bitmap("refresh", b); }
  void UploadBitmap(ZY_Bitmap *b) override {
    Bitmap("upload", b), live.erase(b->hw.texture), Fill(&b->hw);
  }
  bool LoadBitmapToGpu(ZY_Bitmap *b) override {
    Bitmap("load", b);
    if (upload_cost_ms) ZYH_ClockAdvance(upload_cost_ms);
    if (fail_loads) return false;
    first_pixels.push_back(b->pixels[0]);
    if (b->hw.texture) misuse += live.erase(b->hw.texture) == 0;
    Fill(&b->hw);
    return true;
  }
  void FreeBitmapFromGpu(ZY_BitmapHardware *hw) override {
    Bitmap("free", nullptr);
    misuse += live.erase(hw->texture) == 0;
    hw->texture = nullptr, hw->on_gpu = 0;
  }
  void CreateShader(ZY_Shader *s) override { Note("CreateShader %s", s->name); }
  void SetShader(ZY_Shader *s) override { Note("SetShader %s", s ? s->name : "-"); }
  void SetShaderParameter(int32_t i, float v, const void *) override { Note("SetShaderParameter %d %g", i, v); }
  void DrawShaded(ZY_Bitmap *b, const ZY_Vertex *v) override {
    Note("DrawShaded %s", Name(b ? &b->hw : nullptr).c_str()), shaded.assign(v, v + 4);
  }
  std::vector<ZY_Vertex> shaded;  // the vertices of the last DrawShaded
  void BeginFrame(int32_t) override {}
  void EndFrame() override {}
  void Forward3(int32_t c, float v, int32_t a) override { Note("Forward3 %d %g %d", c, v, a); }
  void Forward1(int32_t v) override { Note("Forward1 %d", v); }
  void SetTransform(const float *m) override {
    Note("SetTransform");
    transforms.emplace_back();
    std::copy(m, m + 16, transforms.back().begin());
  }
  bool SetClipRect(int32_t x, int32_t y, int32_t w, int32_t h) override {
    return Note("SetClipRect %d %d %d %d", x, y, w, h), clip_answer;
  }
  void ResetClipRect() override { Note("ResetClipRect"); }
  void SetBlendMode(int32_t m) override { Note("SetBlendMode %d", m); }
  void SetRenderMode(int32_t m) override { Note("SetRenderMode %d", m); }
  void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) override {
    Note("DrawLine"), lines.push_back({*a, *b});
  }
  void SetEngineInterface(ZY_EngineInterface *) override {}
  const char *QueryValue(const char *, const char *) override { return nullptr; }
  void SetProjection(float n, float m, float f) override { Note("SetProjection %g %g %g", n, m, f); }
  void SetRenderState10(bool v) override { Note("SetRenderState10 %d", v); }
  void SetRenderState11(bool v) override { Note("SetRenderState11 %d", v); }
  void SetRenderState12(int32_t v) override { Note("SetRenderState12 %d", v); }
  void SetTexture(int32_t stage, ZY_BitmapHardware *t) override {
    Note("SetTexture %d %s", stage, Name(bound = t).c_str());
  }
  void DrawIndexed(ZY_VertexBuffer *vb, int32_t count, ZY_IndexBuffer *ib, int32_t triangles) override {
    Store *v = S(vb), *x = S(ib);
    const bool quads = x->indices.size() == ZY_QUAD_INDEX_COUNT;
    Note("DrawIndexed vb%d %d %s %d", v->id, count, quads ? "quads" : "triangles", triangles);
    draws.push_back({"vb" + std::to_string(v->id), Name(bound), count, triangles,
                     std::vector<ZY_Vertex>(v->vertices.begin(), v->vertices.begin() + count),
                     std::vector<uint16_t>(x->indices.begin(), x->indices.begin() + 3 * triangles)});
    misuse += v->locked || x->locked;
    for (uint16_t i : draws.back().indices) misuse += i >= count;
  }
  ZY_VertexBuffer *CreateVertexBuffer(int32_t n) override {
    return (int)stores.size() == fail_store ? nullptr : (ZY_VertexBuffer *)New(n, 0);
  }
  ZY_IndexBuffer *CreateIndexBuffer(int32_t n) override { return (ZY_IndexBuffer *)New(0, n); }
  void ReleaseVertexBuffer(ZY_VertexBuffer *b) override { misuse += S(b)->locked, released++; }
  void ReleaseIndexBuffer(ZY_IndexBuffer *b) override { misuse += S(b)->locked, released++; }
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *b) override { return Lock(b, true)->vertices.data(); }
  void UnlockVertexBuffer(ZY_VertexBuffer *b) override { Lock(b, false); }
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *b) override { return Lock(b, true)->indices.data(); }
  void UnlockIndexBuffer(ZY_IndexBuffer *b) override { Lock(b, false); }
};

// A bitmap record that is ready and on the GPU, with a texture rectangle.
inline ZY_Bitmap Ready(int32_t w, int32_t h, float left = 0, float top = 0, float right = 1,
                       float bottom = 1) {
  ZY_Bitmap b = {};
  b.width = w, b.height = h, b.state = ZY_BITMAP_STATE_READY, b.hw.on_gpu = 1;
  b.hw.left = left, b.hw.top = top, b.hw.right = right, b.hw.bottom = bottom;
  return b;
}

}  // namespace enginetest

class EngineTest : public ZyTest {
 protected:
  enginetest::Recorder rec;
  ZY_ProgramInterface prog = {};

  void SetUp() override {
    unsetenv("ZYLEM_POPUP_ANSWER");
    testing::internal::CaptureStderr();  // the headless popups echo there
    ZYI_ResetState();
    ASSERT_TRUE(ZYI_ThreadsInit());
    zy::core.main_thread_id = ZYH_ThreadId();
    zy::core.start_time = ZYH_TimeMs();
    ZYI_CreateLocks();
    zy::config.console = zy::config.developer_mode = 1;  // the log keeps its history
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
    ZY_AddSearchPath(ZY_GetPath(ZY_ROOT_RES, "%s", ""), true);
    prog.parms.developer_mode = prog.parms.reference_counting = 1;
    zy::core.prog = &prog;
    zy::core.core_initialized = 1;  // popups are logged
    ZYI_LogOpen();
    ASSERT_TRUE(ZYI_InitImageLoader());
    zy::modules.renderer = &rec;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    ZYI_DrawSetAutoscaleSource(ZYI_AutoscaleTransform);
    ZYI_BuildEngineInterface();
    ASSERT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();
    ZYI_BitmapsInit();
    ZYI_BitmapsSetReferenceCounting(true);
    rec.calls.clear();
  }
  void TearDown() override {
    testing::internal::GetCapturedStderr();
    ZYH_ClockSetManual(false, 0);
    ZYI_BitmapsFree();
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    ZYI_LogClose();
    ZYI_DidodozFree();
    ZYI_ConfigFree();
    ZYFS_Shutdown();
    ZYI_InputShutdown();
    ZYI_ForgetEngineInterface();
    zy::core.prog = nullptr, zy::modules.renderer = nullptr;
    ZYI_DeleteLocks();
  }

  void Name(ZY_Bitmap &b, const char *name) { rec.names[&b.hw] = name; }
  const std::vector<ZY_Vertex> &OnlyDraw() {  // the vertices of the only draw so far
    EXPECT_EQ(rec.draws.size(), 1u);
    rec.draws.resize(1);
    return rec.draws[0].vertices;
  }
  std::string BitmapCalls() const {  // joined by ", "
    std::string all;
    for (const auto &c : rec.bitmap_calls) all += (all.empty() ? "" : ", ") + c;
    return all;
  }
  // Writes a width x height image of one colour (bytes R, G, B, A) into the game folder;
  // the name's ending picks the format.
  void WriteImage(const std::string &name, int32_t width, int32_t height, uint32_t rgba) {
    const std::string path = world.game() + "/" + name;
    zytest::MakeDirs(path.substr(0, path.rfind('/')));
    std::vector<uint32_t> pixels((size_t)width * (size_t)height, rgba);
    ZY_Bitmap b = {};
    b.width = b.alloc_width = width, b.height = b.alloc_height = height;
    b.pixels = pixels.data(), b.flags = ZY_BITMAP_HAS_ALPHA;
    ASSERT_TRUE(ZYI_GetImageLoader()->SaveImage(&b, path.c_str(), 100)) << path;
  }
  // The application feature string, with the bitmap settings read from it again.
  void SetFeatures(const char *features) {
    free(zy::config.app_features);
    zy::config.app_features = strdup(features);
    ZYI_BitmapsInit();
  }
  // How many log lines read exactly text (a line feed ending them ignored).
  static int Logged(const std::string &text) {
    int n = 0;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++) {
      std::string t = ZYI_LogHistoryRecord(i)->text;
      n += t == text || t == text + "\n";
    }
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return n;
  }
  // How many times this popup was raised (the ones queued by other threads shown first).
  static int Popups(const std::string &text) {
    ZYI_ShowQueuedPopups();
    return Logged("[POPUP] " + text);
  }
};
