// The engine interface table: which operations are filled, the aliased slots, the shader
// sub-table as data, and the host info record pointing at the table.
#include <set>
#include <string>

#include "base/state.h"
#include "engine/draw.h"
#include "lifecycle/interface_table.h"
#include "engine/modules.h"
#include "zytest.h"

namespace {

const char *const SLOT_NAMES[126] = {
    "Print", "Log", "Popup", "Sleep", "GetTime", "GetDateTime", "GetMutex", "DestroyMutex",
    "LockMutex", "UnlockMutex", "CreateThread", "GetCurrentThreadId", "IsMainThread",
    "LockMainLoop", "UnlockMainLoop", "GetFont", "LoadFont", "RecreateFontAtlas",
    "ReleaseFont", "SaveFont", "SetCursor", "Quit", "Reinitialize", "GetSystemValue",
    "GetPath", "GetPathEx", "CreateDir", "AddSearchPath", "RemoveSearchPath",
    "GetSearchPath", "GetSearchPathCount", "DeleteFile", "OpenFile", "CloseFile", "ReadFile",
    "WriteFile", "FlushFile", "TellFile", "SeekFile", "ReadByte", "SeekFile2", "TellFile2",
    "ReadItems", "WriteItems", "FindFiles", "FreeFileList", "HttpRequest", "AllocData",
    "FreeData", "GetKeyState", "SetKeyState", "GetAxis", "SetAxis", "GetSound", "LoadSound",
    "GetSoundEx", "ReleaseSound", "SetSoundCacheMode", "StopSound", "PlaySound",
    "StopChannel", "SetChannelParam1", "SetChannelParam2", "SetChannelParam3",
    "SetChannelParam4", "SetChannelParam5", "IsChannelPlaying", "GetChannelValue",
    "SetSoundParams", "SetSoundParamsDefault", "PlayMusic", "StopMusic", "SetMusicValue",
    "SetMusicLooping", "GetMusicValue", "SlideMusicVolume", "PushTransform", "PopTransform",
    "GetTransform", "PushVertexHook", "PopVertexHook", "RemoveVertexHook",
    "ApplyVertexHooks", "GetBitmap", "GetBitmapEx", "LoadBitmap", "ReleaseBitmap",
    "SaveBitmap", "RefreshBitmap", "ResizeBitmap", "SetBitmapCacheMode", "CreateBitmap",
    "SelectBitmapFrame", "Forward3", "SetClipRect", "ResetClipRect", "SetRenderTarget",
    "PushRenderTarget", "PopRenderTarget", "SetBlendMode", "SetRenderMode", "SetColor",
    "SetAlpha", "SetTextFlags", "SetTextMaxWidth", "SetTextTransform", "DrawBitmap",
    "DrawBitmapEx", "DrawBitmapLine", "DrawBitmapPart", "DrawText", "DrawRect", "DrawLine",
    "DrawLineVertices", "DrawQuad", "DrawTriangles", "GetTextSize", "GetTextWidth",
    "GetTextHeight", "SetProjection", "SetDrawDepth", "GetDrawDepth", "Forward1",
    "SetRenderStateb", "SetRenderStatef", "SetRenderStatei"};

// Operations of subsystems that are not built yet. This list may only shrink: a slot
// filled by mistake with the wrong operation shows up as a mismatch too.
const std::set<std::string> STILL_NULL = {
    "GetFont", "LoadFont", "RecreateFontAtlas", "ReleaseFont", "SaveFont", "GetSystemValue",
    "HttpRequest", "AllocData", "FreeData", "GetSound", "LoadSound", "GetSoundEx",
    "ReleaseSound", "SetSoundCacheMode", "StopSound", "PlaySound", "StopChannel",
    "SetChannelParam1", "SetChannelParam2", "SetChannelParam3", "SetChannelParam4",
    "SetChannelParam5", "IsChannelPlaying", "GetChannelValue", "SetSoundParams",
    "SetSoundParamsDefault", "PlayMusic", "StopMusic", "SetMusicValue", "SetMusicLooping",
    "GetMusicValue", "SlideMusicVolume", "SetTextFlags", "SetTextMaxWidth",
    "SetTextTransform", "DrawText", "GetTextSize", "GetTextWidth", "GetTextHeight"};

void *const *Slots(ZY_EngineInterface *t) { return reinterpret_cast<void *const *>(t); }

}  // namespace

TEST(InterfaceTable, ExactlyTheOperationsOfMissingSubsystemsAreNull) {
  ZY_EngineInterface *t = ZYI_BuildEngineInterface();
  ASSERT_NE(t, nullptr);
  std::set<std::string> null_now;
  for (int i = 0; i < 126; i++)
    if (!Slots(t)[i]) null_now.insert(SLOT_NAMES[i]);
  EXPECT_EQ(null_now, STILL_NULL);
}

TEST(InterfaceTable, AliasedSlotsShaderSubTableAndHostInfo) {
  ZY_EngineInterface *t = ZYI_BuildEngineInterface();
  EXPECT_EQ((void *)t->SeekFile2, (void *)t->SeekFile);
  EXPECT_EQ((void *)t->TellFile2, (void *)t->TellFile);
  // Slot 126 is data: a pointer to the five shader operations, never a function.
  EXPECT_NE(t->shader, nullptr);
  EXPECT_NE((void *)t->shader, (void *)t);
  EXPECT_EQ(zy::modules.host.zy, t);
  EXPECT_EQ(ZYI_EngineInterface(), t);
  ZYI_ForgetEngineInterface();
  EXPECT_EQ(ZYI_EngineInterface(), nullptr);
}

TEST(InterfaceTable, ColourSlotFollowsTheRendererColourOrder) {
  // Without a renderer the 0xAARRGGBB variant fills slot 101.
  zy::modules.renderer = nullptr;
  EXPECT_EQ((void *)ZYI_BuildEngineInterface()->SetColor, (void *)ZY_SetColor);
  EXPECT_NE((void *)ZY_SetColor, (void *)ZY_SetColorRGBA);
}

TEST(InterfaceTable, TimeOperationsThroughTheTable) {
  ZY_EngineInterface *t = ZYI_BuildEngineInterface();
  int32_t v[6] = {0};
  EXPECT_EQ(t->GetDateTime(v), v);
  EXPECT_GE(v[0], 2024);
  EXPECT_GE(v[1], 1);
  EXPECT_LE(v[1], 12);
  EXPECT_GE(v[2], 1);
  EXPECT_LE(v[2], 31);
}
