// module_usage.cpp — the three implementation modules written against zylem_modules.h:
// every operation overridden (a renamed or re-typed one fails here), placeholders left
// alone, the objects created (none left abstract). Built natively and for 32-bit.
#include "zylem_modules.h"

namespace {

class CheckRend final : public RendImp {
 public:
  bool IsSupported() override { return true; }
  bool SupportsBackgroundUpload() override { return false; }
  const char *GetDescription() override { return "check renderer"; }
  bool IsModeSupported(int32_t width, int32_t height) override { return width > 0 && height > 0; }
  int32_t GetPixelOrder() override { return ZY_PIXEL_ORDER_RGBA; }
  int32_t GetColourOrder() override { return ZY_COLOUR_ORDER_ARGB_WORD; }
  bool Init(ZY_EngineInterface *zy, ZY_HostInfo *host, ZY_DisplaySettings *parms) override {
    return host->zy == zy && parms->width > 0;
  }
  bool Reinit(int32_t, int32_t, bool) override { return false; }
  void Shutdown() override {}
  void SetActive(bool) override {}
  bool SetRenderTarget(ZY_Bitmap *bitmap) override { return bitmap == nullptr || bitmap->hw.on_gpu; }
  void RefreshBitmap(ZY_Bitmap *) override {}
  void UploadBitmap(ZY_Bitmap *) override {}
  bool LoadBitmapToGpu(ZY_Bitmap *bitmap) override { return (bitmap->hw.texture = bitmap->pixels); }
  void FreeBitmapFromGpu(ZY_BitmapHardware *hw) override { hw->texture = nullptr; }
  void CreateShader(ZY_Shader *shader) override { shader->renderer_data[0] = this; }
  void SetShader(ZY_Shader *) override {}
  void SetShaderParameter(int32_t, float, const void *) override {}
  void DrawShaded(ZY_Bitmap *, const ZY_Vertex *) override {}
  void BeginFrame(int32_t eye) override { (void)eye; }
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
  ZY_VertexBuffer *CreateVertexBuffer(int32_t) override { return nullptr; }
  void ReleaseVertexBuffer(ZY_VertexBuffer *) override {}
  ZY_Vertex *LockVertexBuffer(ZY_VertexBuffer *) override { return nullptr; }
  void UnlockVertexBuffer(ZY_VertexBuffer *) override {}
  ZY_IndexBuffer *CreateIndexBuffer(int32_t) override { return nullptr; }
  void ReleaseIndexBuffer(ZY_IndexBuffer *) override {}
  uint16_t *LockIndexBuffer(ZY_IndexBuffer *) override { return nullptr; }
  void UnlockIndexBuffer(ZY_IndexBuffer *) override {}
};

class CheckInput final : public InputImp {
 public:
  bool IsSupported() override { return true; }
  void Init(ZY_HostInfo *host) override { zy_ = host->zy; }
  void Shutdown() override {}
  void SetActive(bool) override {}
  void BeginFrame() override { zy_->SetAxis(ZY_ACCELEROMETER_X, 0.0f); }
  void EndFrame() override {}
  const char *QueryValue(const char *, const char *) override { return nullptr; }

 private:
  ZY_EngineInterface *zy_ = nullptr;
};

class CheckSound final : public SoundImp {
 public:
  bool IsSupported() override { return true; }
  const char *GetName() override { return "check sound"; }
  bool Init(ZY_HostInfo *, ZY_DisplaySettings *parms) override { return !parms->no_sound; }
  void Shutdown() override {}
  bool LoadSound(ZY_Sound *sound, const char *) override { return (sound->module_data[0] = sound); }
  void FreeSound(ZY_Sound *sound) override { sound->module_data[0] = nullptr; }
  void StopSound(ZY_Sound *) override {}
  int32_t PlaySound(ZY_Sound *, float, float, int32_t) override { return 0; }
  void StopChannel(int32_t) override {}
  void SetChannelParam1(int32_t, float) override {}
  void SetChannelParam2(int32_t, float) override {}
  void SetChannelParam3(int32_t, float) override {}
  void SetChannelParam4(int32_t, float) override {}
  void SetChannelParam5(int32_t, float) override {}
  bool IsChannelPlaying(int32_t) override { return false; }
  float GetChannelValue(int32_t) override { return 0.0f; }
  void SetSoundParams(ZY_Sound *, float, float) override {}
  void PlayMusic(ZY_Sound *, float, float) override {}
  void StopMusic(float) override {}
  void SetMusicValue(float) override {}
  ZY_Sound *GetMusicValue() override { return nullptr; }
  void SlideMusicVolume(float, float) override {}
  void BeginFrame() override {}
  void EndFrame() override {}
};

CheckRend check_rend;
CheckInput check_input;
CheckSound check_sound;

}  // namespace

// The module entry points, with the types the engine looks them up as.
extern "C" ZY_EXPORT RendImp *ZYLEM_RendImp_GetInterface() { return &check_rend; }
extern "C" ZY_EXPORT InputImp *ZYLEM_InputImp_GetInterface() { return &check_input; }
extern "C" ZY_EXPORT SoundImp *ZYLEM_SoundImp_GetInterface() { return &check_sound; }

ZYLEM_RendImp_GetInterfaceFunc check_rend_entry = ZYLEM_RendImp_GetInterface;
ZYLEM_InputImp_GetInterfaceFunc check_input_entry = ZYLEM_InputImp_GetInterface;
ZYLEM_SoundImp_GetInterfaceFunc check_sound_entry = ZYLEM_SoundImp_GetInterface;
