// abi_test.cpp — the slot order a game or module built elsewhere relies on: each
// operation of the engine interface table and of the module interfaces named in its
// place. Record offsets are checked at compile time (zylem_layout.h, compile/c_usage.c).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "zylem_modules.h"
#include "zytest.h"

namespace {

struct Place {
  const char *name;
  size_t at;  // byte offset in the table, or index in the virtual table
};

// Operation i is slot first_slot + i; slot s sits at (s + shift) * step.
void ExpectInOrder(const Place *places, size_t count, size_t first_slot, size_t shift, size_t step) {
  for (size_t i = 0, slot = first_slot; i < count; i++, slot++)
    EXPECT_EQ(places[i].at, (slot + shift) * step) << places[i].name << " is not in slot " << slot;
}

#define ENGINE_OPS(X) \
  X(Print) X(Log) X(Popup) X(Sleep) X(GetTime) X(GetDateTime) X(GetMutex) X(DestroyMutex) \
  X(LockMutex) X(UnlockMutex) X(CreateThread) X(GetCurrentThreadId) X(IsMainThread) \
  X(LockMainLoop) X(UnlockMainLoop) X(GetFont) X(LoadFont) X(RecreateFontAtlas) X(ReleaseFont) \
  X(SaveFont) X(SetCursor) X(Quit) X(Reinitialize) X(GetSystemValue) X(GetPath) X(GetPathEx) \
  X(CreateDir) X(AddSearchPath) X(RemoveSearchPath) X(GetSearchPath) X(GetSearchPathCount) \
  X(DeleteFile) X(OpenFile) X(CloseFile) X(ReadFile) X(WriteFile) X(FlushFile) X(TellFile) \
  X(SeekFile) X(ReadByte) X(SeekFile2) X(TellFile2) X(ReadItems) X(WriteItems) X(FindFiles) \
  X(FreeFileList) X(HttpRequest) X(AllocData) X(FreeData) X(GetKeyState) X(SetKeyState) X(GetAxis) \
  X(SetAxis) X(GetSound) X(LoadSound) X(GetSoundEx) X(ReleaseSound) X(SetSoundCacheMode) \
  X(StopSound) X(PlaySound) X(StopChannel) X(SetChannelParam1) X(SetChannelParam2) \
  X(SetChannelParam3) X(SetChannelParam4) X(SetChannelParam5) X(IsChannelPlaying) \
  X(GetChannelValue) X(SetSoundParams) X(SetSoundParamsDefault) X(PlayMusic) X(StopMusic) \
  X(SetMusicValue) X(SetMusicLooping) X(GetMusicValue) X(SlideMusicVolume) X(PushTransform) \
  X(PopTransform) X(GetTransform) X(PushVertexHook) X(PopVertexHook) X(RemoveVertexHook) \
  X(ApplyVertexHooks) X(GetBitmap) X(GetBitmapEx) X(LoadBitmap) X(ReleaseBitmap) X(SaveBitmap) \
  X(RefreshBitmap) X(ResizeBitmap) X(SetBitmapCacheMode) X(CreateBitmap) X(SelectBitmapFrame) \
  X(Forward3) X(SetClipRect) X(ResetClipRect) X(SetRenderTarget) X(PushRenderTarget) \
  X(PopRenderTarget) X(SetBlendMode) X(SetRenderMode) X(SetColor) X(SetAlpha) X(SetTextFlags) \
  X(SetTextMaxWidth) X(SetTextTransform) X(DrawBitmap) X(DrawBitmapEx) X(DrawBitmapLine) \
  X(DrawBitmapPart) X(DrawText) X(DrawRect) X(DrawLine) X(DrawLineVertices) X(DrawQuad) \
  X(DrawTriangles) X(GetTextSize) X(GetTextWidth) X(GetTextHeight) X(SetProjection) \
  X(SetDrawDepth) X(GetDrawDepth) X(Forward1) X(SetRenderStateb) X(SetRenderStatef) \
  X(SetRenderStatei) X(shader)
#define SHADER_OPS(X) X(GetShader) X(SetShader) X(SetShaderTexture) X(SetShaderParameter) X(DrawBitmapShaded)
#define ENGINE_AT(op) {#op, offsetof(ZY_EngineInterface, op)},
#define SHADER_AT(op) {#op, offsetof(ZY_ShaderInterface, op)},
const Place kEngineTable[] = {ENGINE_OPS(ENGINE_AT)};
const Place kShaderTable[] = {SHADER_OPS(SHADER_AT)};

}  // namespace

TEST(EngineInterfaceTable, EveryOperationSitsInItsSlot) {
  ASSERT_EQ(sizeof kEngineTable / sizeof kEngineTable[0], (size_t)ZY_ENGINE_INTERFACE_SLOTS);
  ExpectInOrder(kEngineTable, ZY_ENGINE_INTERFACE_SLOTS, 0, 0, sizeof(void *));
  ExpectInOrder(kShaderTable, 5, 0, 0, sizeof(void *));
}

#if defined(__x86_64__) || defined(__i386__)
namespace {

// Index in the virtual table of a virtual member function (Itanium C++ ABI on x86: a
// pointer to a virtual member holds 1 + the byte offset of its entry).
template <typename Member>
size_t VtableIndex(Member member) {
  struct {
    uintptr_t ptr;
    ptrdiff_t adj;
  } raw;
  static_assert(sizeof(member) == sizeof(raw), "unexpected member pointer layout");
  memcpy(&raw, &member, sizeof raw);
  if ((raw.ptr & 1) == 0) return SIZE_MAX;  // not a virtual function
  return (raw.ptr - 1) / sizeof(void *);
}

#define REND_OPS(X) \
  X(IsSupported) X(SupportsBackgroundUpload) X(GetDescription) X(IsModeSupported) X(GetPixelOrder) \
  X(GetColourOrder) X(Unused7) X(Init) X(Reinit) X(Shutdown) X(SetActive) X(SetRenderTarget) \
  X(RefreshBitmap) X(UploadBitmap) X(LoadBitmapToGpu) X(FreeBitmapFromGpu) X(CreateShader) \
  X(Unused18) X(SetShader) X(SetShaderParameter) X(DrawShaded) X(BeginFrame) X(EndFrame) \
  X(Forward3) X(Forward1) X(SetTransform) X(SetClipRect) X(ResetClipRect) X(SetBlendMode) \
  X(SetRenderMode) X(DrawLine) X(SetEngineInterface) X(QueryValue) X(Unused34) X(Unused35) \
  X(SetProjection) X(Unused37) X(SetRenderState10) X(SetRenderState11) X(SetRenderState12) \
  X(SetTexture) X(DrawIndexed) X(CreateVertexBuffer) X(ReleaseVertexBuffer) X(LockVertexBuffer) \
  X(UnlockVertexBuffer) X(CreateIndexBuffer) X(ReleaseIndexBuffer) X(LockIndexBuffer) \
  X(UnlockIndexBuffer)
#define INPUT_OPS(X) \
  X(IsSupported) X(Unused2) X(Init) X(Shutdown) X(SetActive) X(BeginFrame) X(EndFrame) X(Unused8) \
  X(QueryValue)
#define SOUND_OPS(X) \
  X(IsSupported) X(GetName) X(Init) X(Shutdown) X(LoadSound) X(FreeSound) X(StopSound) \
  X(PlaySound) X(StopChannel) X(SetChannelParam1) X(SetChannelParam2) X(SetChannelParam3) \
  X(SetChannelParam4) X(SetChannelParam5) X(IsChannelPlaying) X(GetChannelValue) X(SetSoundParams) \
  X(PlayMusic) X(StopMusic) X(SetMusicValue) X(GetMusicValue) X(SlideMusicVolume) X(Unused23) \
  X(BeginFrame) X(EndFrame) X(Unused26)
#define REND_AT(op) {#op, VtableIndex(&RendImp::op)},
#define INPUT_AT(op) {#op, VtableIndex(&InputImp::op)},
#define SOUND_AT(op) {#op, VtableIndex(&SoundImp::op)},

}  // namespace

TEST(ModuleInterfaces, OperationsSitInSlotOrder) {
  // The virtual destructor comes first and takes two entries (complete and deleting
  // destructor), so operation slot s is table index s + 1.
  const Place rend[] = {REND_OPS(REND_AT)}, input[] = {INPUT_OPS(INPUT_AT)},
              sound[] = {SOUND_OPS(SOUND_AT)};
  ExpectInOrder(rend, sizeof rend / sizeof rend[0], 1, 1, 1);
  ExpectInOrder(input, sizeof input / sizeof input[0], 1, 1, 1);
  ExpectInOrder(sound, sizeof sound / sizeof sound[0], 1, 1, 1);
}
#endif  // x86
