// The engine interface table: every slot, in the order modules address them, holds the
// operation of its name (or stays null while its subsystem is missing), the colour slot
// follows the renderer, and the host info record points at the table.
#include <stddef.h>

#include "../engine/draw_test.h"
#include "base/clock.h"
#include "base/log.h"
#include "base/threads.h"
#include "engine/bitmaps.h"
#include "fs/fs.h"
#include "lifecycle/boot.h"
#include "lifecycle/interface_table.h"

namespace {

struct Slot {
  const char *name;
  size_t offset;
  void *want;  // the operation the slot must hold; null while its subsystem is missing
};

#define OP(n) {#n, offsetof(ZY_EngineInterface, n), (void *)ZY_##n},
#define AS(n, fn) {#n, offsetof(ZY_EngineInterface, n), (void *)fn},
#define NONE(n) {#n, offsetof(ZY_EngineInterface, n), nullptr},

// Every function slot in table order. Two operations swapped or a slot filled with
// another function fails the comparison below.
const Slot SLOTS[] = {
    OP(Print) OP(Log) OP(Popup) OP(Sleep) OP(GetTime) OP(GetDateTime) OP(GetMutex) OP(DestroyMutex)
    OP(LockMutex) OP(UnlockMutex) OP(CreateThread) OP(GetCurrentThreadId) OP(IsMainThread) OP(LockMainLoop)
    OP(UnlockMainLoop) NONE(GetFont) NONE(LoadFont) NONE(RecreateFontAtlas) NONE(ReleaseFont) NONE(SaveFont)
    OP(SetCursor) OP(Quit) OP(Reinitialize) NONE(GetSystemValue) OP(GetPath) OP(GetPathEx) OP(CreateDir)
    OP(AddSearchPath) OP(RemoveSearchPath) OP(GetSearchPath) OP(GetSearchPathCount) OP(DeleteFile) OP(OpenFile)
    OP(CloseFile) OP(ReadFile) OP(WriteFile) OP(FlushFile) OP(TellFile) OP(SeekFile) OP(ReadByte)
    AS(SeekFile2, ZY_SeekFile) AS(TellFile2, ZY_TellFile)  // older modules seek and tell here
    OP(ReadItems) OP(WriteItems) OP(FindFiles) OP(FreeFileList) NONE(HttpRequest) NONE(AllocData) NONE(FreeData)
    OP(GetKeyState) OP(SetKeyState) OP(GetAxis) OP(SetAxis) NONE(GetSound) NONE(LoadSound) NONE(GetSoundEx)
    NONE(ReleaseSound) NONE(SetSoundCacheMode) NONE(StopSound) NONE(PlaySound) NONE(StopChannel)
    NONE(SetChannelParam1) NONE(SetChannelParam2) NONE(SetChannelParam3) NONE(SetChannelParam4)
    NONE(SetChannelParam5) NONE(IsChannelPlaying) NONE(GetChannelValue) NONE(SetSoundParams)
    NONE(SetSoundParamsDefault) NONE(PlayMusic) NONE(StopMusic) NONE(SetMusicValue) NONE(SetMusicLooping)
    NONE(GetMusicValue) NONE(SlideMusicVolume) OP(PushTransform) OP(PopTransform) OP(GetTransform)
    OP(PushVertexHook) OP(PopVertexHook) OP(RemoveVertexHook) OP(ApplyVertexHooks) OP(GetBitmap) OP(GetBitmapEx)
    OP(LoadBitmap) OP(ReleaseBitmap) OP(SaveBitmap) OP(RefreshBitmap) OP(ResizeBitmap) OP(SetBitmapCacheMode)
    OP(CreateBitmap) OP(SelectBitmapFrame) OP(Forward3) OP(SetClipRect) OP(ResetClipRect) OP(SetRenderTarget)
    OP(PushRenderTarget) OP(PopRenderTarget) OP(SetBlendMode) OP(SetRenderMode) OP(SetColor) OP(SetAlpha)
    NONE(SetTextFlags) NONE(SetTextMaxWidth) NONE(SetTextTransform) OP(DrawBitmap) OP(DrawBitmapEx)
    OP(DrawBitmapLine) OP(DrawBitmapPart) NONE(DrawText) OP(DrawRect) OP(DrawLine) OP(DrawLineVertices)
    OP(DrawQuad) OP(DrawTriangles) NONE(GetTextSize) NONE(GetTextWidth) NONE(GetTextHeight) OP(SetProjection)
    OP(SetDrawDepth) OP(GetDrawDepth) OP(Forward1) OP(SetRenderStateb) OP(SetRenderStatef) OP(SetRenderStatei)};

}  // namespace

TEST(InterfaceTable, EverySlotHoldsTheOperationOfItsName) {
  zy::modules.renderer = nullptr;  // without a renderer the 0xAARRGGBB colour variant
  ZY_EngineInterface *t = ZYI_BuildEngineInterface();
  ASSERT_NE(t, nullptr);
  void *const *raw = reinterpret_cast<void *const *>(t);
  ASSERT_EQ(sizeof SLOTS / sizeof SLOTS[0], 126u);
  for (size_t i = 0; i < 126; i++) {
    ASSERT_EQ(SLOTS[i].offset, i * sizeof(void *)) << SLOTS[i].name << ": the list above is out of order";
    EXPECT_EQ(raw[i], SLOTS[i].want) << "slot " << i << " " << SLOTS[i].name;
  }
  // Slot 126 is data: the shader operations, never a function of the table.
  EXPECT_NE(t->shader, nullptr);
  EXPECT_EQ(zy::modules.host.zy, t);
  EXPECT_EQ(ZYI_EngineInterface(), t);
  ZYI_ForgetEngineInterface();
  EXPECT_EQ(ZYI_EngineInterface(), nullptr);
}

TEST(InterfaceTable, ColourSlotFollowsTheRendererColourOrder) {
  drawtest::RecordingRenderer renderer;
  zy::modules.renderer = &renderer;
  zy::modules.colour_order = 0;  // R, G, B, A bytes
  EXPECT_EQ((void *)ZYI_BuildEngineInterface()->SetColor, (void *)ZY_SetColorRGBA);
  zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
  EXPECT_EQ((void *)ZYI_BuildEngineInterface()->SetColor, (void *)ZY_SetColor);
  zy::modules.renderer = nullptr;
  ZYI_ForgetEngineInterface();
}
