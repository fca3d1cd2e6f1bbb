// draw_test.h — a recording renderer and the fixture the render command layer tests
// share.
//
// The recording renderer keeps real vertex and index storage, so what a draw call sees
// is exactly what the layer wrote. It writes one line per renderer call into `calls`
// (textures and buffers by name), keeps every indexed draw with a copy of its vertices
// and indices, and counts misuse of the lock protocol (drawing from a locked buffer,
// locking twice, unlocking an unlocked buffer, an index past the vertex count).
#pragma once

#include <string.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "lifecycle/input.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "zytest.h"
#include "zylem_modules.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/resolution.h"
#include "lifecycle/state.h"

namespace drawtest {

// Storage behind the renderer's opaque buffer handles (kept in this namespace so other
// tests in the executable may define their own).
struct VertexStore {
  int id;
  bool locked;
  std::vector<ZY_Vertex> vertices;
};

struct IndexStore {
  int id;
  bool locked;
  std::vector<uint16_t> indices;
};

inline VertexStore *Store(ZY_VertexBuffer *b) { return reinterpret_cast<VertexStore *>(b); }
inline IndexStore *Store(ZY_IndexBuffer *b) { return reinterpret_cast<IndexStore *>(b); }

struct Draw {
  std::string buffer;        // "vb3"
  int vertex_count;
  std::string index_buffer;  // "quads" or "triangles"
  int triangles;
  std::string texture;       // name of the bound texture, "-" for none
  std::vector<ZY_Vertex> vertices;
  std::vector<uint16_t> indices;
};

class RecordingRenderer : public RendImp {
 public:
  std::vector<std::string> calls;
  std::vector<Draw> draws;
  std::vector<std::array<ZY_Vertex, 2>> lines;
  std::vector<std::array<float, 16>> transforms;
  std::vector<std::unique_ptr<VertexStore>> vertex_buffers;
  std::vector<std::unique_ptr<IndexStore>> index_buffers;
  std::map<const void *, std::string> names;  // textures by address
  int misuse = 0;
  int released = 0;              // buffers given back
  int fail_vertex_buffer = -1;   // CreateVertexBuffer answers null for this index
  bool clip_answer = true;
  bool target_answer = true;
  const ZY_BitmapHardware *bound = nullptr;

  std::string Name(const void *texture) const {
    if (!texture) return "-";
    auto it = names.find(texture);
    return it == names.end() ? "?" : it->second;
  }
  static std::string Buf(ZY_VertexBuffer *b) {
    return b ? "vb" + std::to_string(Store(b)->id) : "null";
  }
  static std::string IndexName(ZY_IndexBuffer *b) {
    if (!b) return "null";
    return Store(b)->indices.size() == ZY_QUAD_INDEX_COUNT ? "quads" : "triangles";
  }
  // The calls whose text starts with prefix.
  std::vector<std::string> Calls(const std::string &prefix) const {
    std::vector<std::string> out;
    for (const auto &c : calls)
      if (c.compare(0, prefix.size(), prefix) == 0) out.push_back(c);
    return out;
  }
  void Note(const std::string &s) { calls.push_back(s); }

  bool IsSupported() override { return true; }
  bool SupportsBackgroundUpload() override { return false; }
  const char *GetDescription() override { return "recording renderer"; }
  bool IsModeSupported(int32_t, int32_t) override { return true; }
  int32_t GetPixelOrder() override { return 0; }
  int32_t GetColourOrder() override { return 1; }
  bool Init(ZY_EngineInterface *, ZY_HostInfo *, ZY_DisplaySettings *) override { return true; }
  bool Reinit(int32_t, int32_t, bool) override { return true; }
  void Shutdown() override { Note("Shutdown"); }
  void SetActive(bool) override {}
  bool SetRenderTarget(ZY_Bitmap *bitmap) override {
    Note("SetRenderTarget " + Name(bitmap ? &bitmap->hw : nullptr));
    return target_answer;
  }
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
  void Forward3(int32_t c, float v, int32_t a) override {
    Note("Forward3 " + std::to_string(c) + " " + std::to_string(v) + " " + std::to_string(a));
  }
  void Forward1(int32_t v) override { Note("Forward1 " + std::to_string(v)); }
  void SetTransform(const float *m) override {
    Note("SetTransform");
    std::array<float, 16> copy;
    for (int i = 0; i < 16; i++) copy[i] = m[i];
    transforms.push_back(copy);
  }
  bool SetClipRect(int32_t x, int32_t y, int32_t w, int32_t h) override {
    Note("SetClipRect " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) +
         " " + std::to_string(h));
    return clip_answer;
  }
  void ResetClipRect() override { Note("ResetClipRect"); }
  void SetBlendMode(int32_t m) override { Note("SetBlendMode " + std::to_string(m)); }
  void SetRenderMode(int32_t m) override { Note("SetRenderMode " + std::to_string(m)); }
  void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) override {
    Note("DrawLine");
    lines.push_back({*a, *b});
  }
  void SetEngineInterface(ZY_EngineInterface *) override {}
  const char *QueryValue(const char *, const char *) override { return nullptr; }
  void SetProjection(float n, float m, float f) override {
    Note("SetProjection " + std::to_string(n) + " " + std::to_string(m) + " " + std::to_string(f));
  }
  void SetRenderState10(bool v) override { Note(std::string("SetRenderState10 ") + (v ? "1" : "0")); }
  void SetRenderState11(bool v) override { Note(std::string("SetRenderState11 ") + (v ? "1" : "0")); }
  void SetRenderState12(int32_t v) override { Note("SetRenderState12 " + std::to_string(v)); }
  void SetTexture(int32_t stage, ZY_BitmapHardware *t) override {
    Note("SetTexture " + std::to_string(stage) + " " + Name(t));
    bound = t;
  }
  void DrawIndexed(ZY_VertexBuffer *vertex_buffer, int32_t vertex_count,
                   ZY_IndexBuffer *index_buffer, int32_t triangles) override {
    VertexStore *vb = Store(vertex_buffer);
    IndexStore *ib = Store(index_buffer);
    Note("DrawIndexed " + Buf(vertex_buffer) + " " + std::to_string(vertex_count) + " " +
         IndexName(index_buffer) + " " + std::to_string(triangles));
    if (!vb || !ib || vb->locked || ib->locked) misuse++;
    Draw d{Buf(vertex_buffer), vertex_count, IndexName(index_buffer), triangles, Name(bound),
           {}, {}};
    if (vb)
      for (int i = 0; i < vertex_count && i < (int)vb->vertices.size(); i++)
        d.vertices.push_back(vb->vertices[i]);
    if (ib)
      for (int i = 0; i < triangles * 3 && i < (int)ib->indices.size(); i++) {
        d.indices.push_back(ib->indices[i]);
        if (ib->indices[i] >= vertex_count) misuse++;
      }
    draws.push_back(d);
  }
  ZY_VertexBuffer *CreateVertexBuffer(int32_t count) override {
    int id = (int)vertex_buffers.size();
    if (id == fail_vertex_buffer) return nullptr;
    vertex_buffers.emplace_back(new VertexStore{id, false, std::vector<ZY_Vertex>((size_t)count)});
    return reinterpret_cast<ZY_VertexBuffer *>(vertex_buffers.back().get());
  }
  void ReleaseVertexBuffer(ZY_VertexBuffer *b) override {
    if (Store(b)->locked) misuse++;
    released++;
  }
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *b) override {
    Note("Lock " + Buf(b));
    if (Store(b)->locked) misuse++;
    Store(b)->locked = true;
    return Store(b)->vertices.data();
  }
  void UnlockVertexBuffer(ZY_VertexBuffer *b) override {
    Note("Unlock " + Buf(b));
    if (!Store(b)->locked) misuse++;
    Store(b)->locked = false;
  }
  ZY_IndexBuffer *CreateIndexBuffer(int32_t count) override {
    index_buffers.emplace_back(
        new IndexStore{(int)index_buffers.size(), false, std::vector<uint16_t>((size_t)count)});
    return reinterpret_cast<ZY_IndexBuffer *>(index_buffers.back().get());
  }
  void ReleaseIndexBuffer(ZY_IndexBuffer *b) override {
    if (Store(b)->locked) misuse++;
    released++;
  }
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *b) override {
    if (Store(b)->locked) misuse++;
    Store(b)->locked = true;
    return Store(b)->indices.data();
  }
  void UnlockIndexBuffer(ZY_IndexBuffer *b) override {
    if (!Store(b)->locked) misuse++;
    Store(b)->locked = false;
  }
};

// A bitmap that is ready and on the GPU, with a texture rectangle.
inline ZY_Bitmap ReadyBitmap(int32_t width, int32_t height, float left = 0.0f, float top = 0.0f,
                             float right = 1.0f, float bottom = 1.0f) {
  ZY_Bitmap b;
  memset(&b, 0, sizeof b);
  b.width = width;
  b.height = height;
  b.state = ZY_BITMAP_STATE_READY;
  b.hw.on_gpu = 1;
  b.hw.left = left;
  b.hw.top = top;
  b.hw.right = right;
  b.hw.bottom = bottom;
  return b;
}

}  // namespace drawtest

// The engine state with the recording renderer loaded and ready, the drawing buffers
// created and the screen on the render-target stack. Developer popups are on: the
// headless backend answers them and echoes "[popup] caption: text" to stderr, which the
// fixture captures so their texts can be checked.
class DrawLayerTest : public ZyTest {
 protected:
  drawtest::RecordingRenderer rec;
  ZY_ProgramInterface prog;
  std::string stderr_text;

  void SetUp() override {
    testing::internal::CaptureStderr();
    ZYI_ResetState();
    zy::core.main_thread_id = ZY_GetCurrentThreadId();
    memset(&prog, 0, sizeof prog);
    prog.parms.developer_mode = 1;
    zy::core.prog = &prog;
    zy::modules.renderer = &rec;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    ZYI_DrawSetAutoscaleSource(ZYI_AutoscaleTransform);
    ZYI_BuildEngineInterface();  // developer keys are read through the table
    ASSERT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();
    rec.calls.clear();
  }
  void TearDown() override {
    stderr_text += testing::internal::GetCapturedStderr();
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    zy::core.prog = nullptr;
    zy::modules.renderer = nullptr;
    ZYI_ForgetEngineInterface();
  }
  // Everything written to stderr since the test began (capture goes on).
  const std::string &StderrSoFar() {
    stderr_text += testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    return stderr_text;
  }
  // Whether a developer popup with exactly this text was shown (queued ones from other
  // threads are shown here first, as the frame would).
  bool PopupShown(const std::string &text) {
    ZYI_ShowQueuedPopups();
    return StderrSoFar().find(": " + text + "\n") != std::string::npos;
  }
  // Names a bitmap's texture in the recorded calls.
  void Name(ZY_Bitmap &b, const char *name) { rec.names[&b.hw] = name; }
  // The vertices of the only draw so far.
  const std::vector<ZY_Vertex> &OnlyDraw() {
    EXPECT_EQ(rec.draws.size(), 1u);
    static const std::vector<ZY_Vertex> none;
    return rec.draws.empty() ? none : rec.draws[0].vertices;
  }
};
