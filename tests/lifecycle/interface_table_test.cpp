// The engine interface table: every slot, in the order modules address them, holds the
// operation of its name (or stays null while its subsystem is missing), the colour slot
// follows the renderer, and the host info record points at the table.
#include <stddef.h>
#include <string.h>

#include "../engine/engine_test.h"
#include "base/clock.h"
#include "base/log.h"
#include "base/threads.h"
#include "engine/bitmaps.h"
#include "font/fonts.h"
#include "fs/fs.h"
#include "lifecycle/boot.h"
#include "lifecycle/interface_table.h"
#include "net/net.h"
#include "sound/sound.h"
#include "engine/shaders.h"
#include "system/system.h"

namespace {

struct Slot {
  const char *name;
  size_t offset;
  void *want;  // the operation the slot must hold
};

#define OP(n) {#n, offsetof(ZY_EngineInterface, n), (void *)ZY_##n},
#define AS(n, fn) {#n, offsetof(ZY_EngineInterface, n), (void *)fn},

// Every operation the table holds, each in the slot of its name. Two operations swapped,
// a slot filled with another function, or a filled slot missing here fails the test.
const Slot SLOTS[] = {
    OP(Print) OP(Log) OP(Popup) OP(Sleep) OP(GetTime) OP(GetDateTime) OP(GetMutex) OP(DestroyMutex)
    OP(LockMutex) OP(UnlockMutex) OP(CreateThread) OP(GetCurrentThreadId) OP(IsMainThread) OP(LockMainLoop)
    OP(UnlockMainLoop) OP(SetCursor) OP(Quit) OP(Reinitialize) OP(GetPath) OP(GetPathEx) OP(CreateDir)
    OP(AddSearchPath) OP(RemoveSearchPath) OP(GetSearchPath) OP(GetSearchPathCount) OP(DeleteFile) OP(OpenFile)
    OP(CloseFile) OP(ReadFile) OP(WriteFile) OP(FlushFile) OP(TellFile) OP(SeekFile) OP(ReadByte)
    AS(SeekFile2, ZY_SeekFile) AS(TellFile2, ZY_TellFile) OP(ReadItems) OP(WriteItems) OP(FindFiles)
    OP(FreeFileList) OP(GetKeyState) OP(SetKeyState) OP(GetAxis) OP(SetAxis) OP(PushTransform) OP(PopTransform)
    OP(GetTransform) OP(PushVertexHook) OP(PopVertexHook) OP(RemoveVertexHook) OP(ApplyVertexHooks)
    OP(GetBitmap) OP(GetBitmapEx) OP(LoadBitmap) OP(ReleaseBitmap) OP(SaveBitmap) OP(RefreshBitmap)
    OP(ResizeBitmap) OP(SetBitmapCacheMode) OP(CreateBitmap) OP(SelectBitmapFrame) OP(Forward3) OP(SetClipRect)
    OP(ResetClipRect) OP(SetRenderTarget) OP(PushRenderTarget) OP(PopRenderTarget) OP(SetBlendMode)
    OP(SetRenderMode) OP(SetColor) OP(SetAlpha) OP(DrawBitmap) OP(DrawBitmapEx) OP(DrawBitmapLine)
    OP(DrawBitmapPart) OP(DrawRect) OP(DrawLine) OP(DrawLineVertices) OP(DrawQuad) OP(DrawTriangles)
    OP(SetProjection) OP(SetDrawDepth) OP(GetDrawDepth) OP(Forward1) OP(SetRenderStateb) OP(SetRenderStatef)
    OP(SetRenderStatei) OP(HttpRequest) OP(AllocData) OP(FreeData)
    OP(GetSound) OP(LoadSound) OP(GetSoundEx) OP(ReleaseSound) OP(SetSoundCacheMode) OP(StopSound) OP(PlaySound)
    OP(StopChannel) OP(SetChannelParam1) OP(SetChannelParam2) OP(SetChannelParam3) OP(SetChannelParam4)
    OP(SetChannelParam5) OP(IsChannelPlaying) OP(GetChannelValue) OP(SetSoundParams) OP(SetSoundParamsDefault)
    OP(PlayMusic) OP(StopMusic) OP(SetMusicValue) OP(SetMusicLooping) OP(GetMusicValue) OP(SlideMusicVolume)
    OP(GetFont) OP(LoadFont) OP(RecreateFontAtlas) OP(ReleaseFont) OP(SaveFont) OP(SetTextFlags)
    OP(SetTextMaxWidth) OP(SetTextTransform) OP(DrawText) OP(GetTextSize) OP(GetTextWidth) OP(GetTextHeight)
    OP(GetSystemValue)};

}  // namespace

TEST(InterfaceTable, EverySlotHoldsTheOperationOfItsName) {
  zy::modules.renderer = nullptr;  // without a renderer the 0xAARRGGBB colour variant
  ZY_EngineInterface *t = ZYI_BuildEngineInterface();
  ASSERT_NE(t, nullptr);
  void *const *raw = reinterpret_cast<void *const *>(t);
  for (const Slot &slot : SLOTS) EXPECT_EQ(raw[slot.offset / sizeof(void *)], slot.want) << slot.name;
  int filled = 0;
  for (int i = 0; i < 126; i++) filled += raw[i] != nullptr;
  EXPECT_EQ(filled, (int)(sizeof SLOTS / sizeof SLOTS[0]));
  // Slot 126 is data: the shader operations, never a function of the table.
  const ZY_ShaderInterface shaders = {ZY_GetShader, ZY_SetShader, ZY_SetShaderTexture, ZY_SetShaderParameter,
                                      ZY_DrawBitmapShaded};
  ASSERT_NE(t->shader, nullptr);
  EXPECT_EQ(memcmp(t->shader, &shaders, sizeof shaders), 0) << "the shader sub-table in its order";
  EXPECT_EQ(zy::modules.host.zy, t);
  EXPECT_EQ(ZYI_EngineInterface(), t);
  enginetest::Recorder renderer;  // bytes in R, G, B, A order get their own variant
  zy::modules.renderer = &renderer;
  zy::modules.colour_order = 0;
  EXPECT_EQ((void *)ZYI_BuildEngineInterface()->SetColor, (void *)ZY_SetColorRGBA);
  zy::modules.renderer = nullptr;
  ZYI_ForgetEngineInterface();
  EXPECT_EQ(ZYI_EngineInterface(), nullptr);
}
