// rmod_record: a renderer module for the tests. It draws nothing; it records one line per
// call it receives (record.h), so tests can check the engine's call sequences.
// ZYLEM_RECORD_INIT_FAIL controls Init: "always" fails every call, a number N fails the
// first N calls, "windowed-ok" fails while the display settings ask for fullscreen.
// ZYLEM_RECORD_UNSUPPORTED makes IsSupported answer false.
#include <string.h>

#include "../record.h"
#include "zylem_modules.h"

namespace {

using I = int32_t;

class RecordingRenderer final : public RendImp {
 public:
  bool IsSupported() override { return !getenv("ZYLEM_RECORD_UNSUPPORTED"); }
  bool SupportsBackgroundUpload() override { return false; }
  const char *GetDescription() override { return "Recording renderer"; }
  bool IsModeSupported(int32_t w, int32_t h) override { return Record("IsModeSupported %dx%d", w, h); }
  int32_t GetPixelOrder() override { return 0; }
  int32_t GetColourOrder() override { return 1; }
  bool Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *p) override {
    const char *fail = getenv("ZYLEM_RECORD_INIT_FAIL");
    bool ok = ++inits_ > (fail && *fail ? atoi(fail) : 0);
    if (fail && !strcmp(fail, "always")) ok = false;
    if (fail && !strcmp(fail, "windowed-ok")) ok = p->windowed != 0;
    Record("Init %dx%d windowed=%d table=%d host=%d -> %d", p->width, p->height, p->windowed,
           zy != nullptr, host != nullptr && host->zy == zy, ok);
    return ok;
  }
  bool Reinit(int32_t w, int32_t h, bool win) override { return Record("Reinit %dx%d windowed=%d", w, h, win); }
  void Shutdown() override { Record("Shutdown"); }
  void SetActive(bool a) override { Record("SetActive %d", a); }
  bool SetRenderTarget(ZY_Bitmap *b) override { return Record("SetRenderTarget %s", b ? "bitmap" : "screen"); }
  void RefreshBitmap(ZY_Bitmap *) override { Record("RefreshBitmap"); }
  void UploadBitmap(ZY_Bitmap *) override { Record("UploadBitmap"); }
  bool LoadBitmapToGpu(ZY_Bitmap *) override { return Record("LoadBitmapToGpu"); }
  void FreeBitmapFromGpu(ZY_BitmapHardware *) override { Record("FreeBitmapFromGpu"); }
  void CreateShader(ZY_Shader *) override { Record("CreateShader"); }
  void SetShader(ZY_Shader *) override { Record("SetShader"); }
  void SetShaderParameter(int32_t i, float v, const void *) override { Record("SetShaderParameter %d %g", i, v); }
  void DrawShaded(ZY_Bitmap *, const ZY_Vertex *) override { Record("DrawShaded"); }
  void BeginFrame(int32_t eye) override { Record("BeginFrame %d", eye); }
  void EndFrame() override { Record("EndFrame"); }
  void Forward3(int32_t a, float b, int32_t c) override { Record("Forward3 %d %g %d", a, b, c); }
  void Forward1(int32_t v) override { Record("Forward1 %d", v); }
  void SetTransform(const float *m) override { Record("SetTransform %g %g %g %g", m[0], m[5], m[3], m[7]); }
  bool SetClipRect(I x, I y, I w, I h) override { return Record("SetClipRect %d %d %d %d", x, y, w, h); }
  void ResetClipRect() override { Record("ResetClipRect"); }
  void SetBlendMode(int32_t m) override { Record("SetBlendMode %d", m); }
  void SetRenderMode(int32_t m) override { Record("SetRenderMode %d", m); }
  void DrawLine(const ZY_Vertex *a, const ZY_Vertex *b) override {
    Record("DrawLine %g,%g %g,%g", a->x, a->y, b->x, b->y);
  }
  void SetEngineInterface(ZY_EngineInterface *zy) override { Record("SetEngineInterface %d", zy != nullptr); }
  const char *QueryValue(const char *name, const char *arg) override {
    Record("QueryValue %s %s", name ? name : "(null)", arg ? arg : "(null)");
    return name && !strcmp(name, "Screenshot") ? "1" : nullptr;  // recorded, taken as done
  }
  void SetProjection(float n, float m, float f) override { Record("SetProjection %g %g %g", n, m, f); }
  void SetRenderState10(bool v) override { Record("SetRenderState10 %d", v); }
  void SetRenderState11(bool v) override { Record("SetRenderState11 %d", v); }
  void SetRenderState12(int32_t v) override { Record("SetRenderState12 %d", v); }
  void SetTexture(I stage, ZY_BitmapHardware *t) override { Record("SetTexture %d %s", stage, t ? "texture" : "none"); }
  void DrawIndexed(ZY_VertexBuffer *, I vc, ZY_IndexBuffer *, I tc) override { Record("DrawIndexed %d %d", vc, tc); }
  // Vertex and index buffers are plain arrays the engine fills between lock and unlock.
  ZY_VertexBuffer *CreateVertexBuffer(int32_t n) override { return (ZY_VertexBuffer *)new ZY_Vertex[n](); }
  ZY_IndexBuffer *CreateIndexBuffer(int32_t n) override { return (ZY_IndexBuffer *)new uint16_t[n](); }
  void ReleaseVertexBuffer(ZY_VertexBuffer *vb) override { delete[] (ZY_Vertex *)vb; }
  void ReleaseIndexBuffer(ZY_IndexBuffer *ib) override { delete[] (uint16_t *)ib; }
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *vb) override { return (ZY_Vertex *)vb; }
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *ib) override { return (uint16_t *)ib; }
  void UnlockVertexBuffer(ZY_VertexBuffer *) override {}
  void UnlockIndexBuffer(ZY_IndexBuffer *) override {}

 private:
  int inits_ = 0;
};

RecordingRenderer renderer;

}  // namespace

extern "C" ZY_EXPORT RendImp *ZYLEM_RendImp_GetInterface(void) { return &renderer; }
