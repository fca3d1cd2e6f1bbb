// interface_table.cpp — fills the engine interface table.
//
// The table is the one interface between the engine and everything it loads; modules
// address operations by slot, so the order is that of ZY_EngineInterface. Operations of
// subsystems that are not part of this build yet stay null; the shader sub-table is data
// (slot 126), not a function.
#include "lifecycle/interface_table.h"

#include <string.h>

#include "lifecycle/boot.h"
#include "lifecycle/input.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/threads.h"
#include "lifecycle/resolution.h"
#include "base/state.h"
#include "lifecycle/window.h"
#include "engine/bitmaps.h"
#include "engine/draw.h"
#include "engine/modules.h"
#include "font/fonts.h"
#include "fs/fs.h"
#include "net/net.h"
#include "sound/sound.h"
#include "engine/shaders.h"
#include "system/system.h"

static ZY_EngineInterface table;
static ZY_ShaderInterface shader_table;

ZY_EngineInterface *ZYI_BuildEngineInterface(void) {
  memset(&table, 0, sizeof table);
  memset(&shader_table, 0, sizeof shader_table);
  ZY_EngineInterface &t = table;

  // Log, popups, time, mutexes and threads
  t.Print = ZY_Print;
  t.Log = ZY_Log;
  t.Popup = ZY_Popup;
  t.Sleep = ZY_Sleep;
  t.GetTime = ZY_GetTime;
  t.GetDateTime = ZY_GetDateTime;
  t.GetMutex = ZY_GetMutex;
  t.DestroyMutex = ZY_DestroyMutex;
  t.LockMutex = ZY_LockMutex;
  t.UnlockMutex = ZY_UnlockMutex;
  t.CreateThread = ZY_CreateThread;
  t.GetCurrentThreadId = ZY_GetCurrentThreadId;
  t.IsMainThread = ZY_IsMainThread;
  t.LockMainLoop = ZY_LockMainLoop;
  t.UnlockMainLoop = ZY_UnlockMainLoop;

  // Lifecycle and display
  t.SetCursor = ZY_SetCursor;
  t.Quit = ZY_Quit;
  t.Reinitialize = ZY_Reinitialize;

  // Files
  t.GetPath = ZY_GetPath;
  t.GetPathEx = ZY_GetPathEx;
  t.CreateDir = ZY_CreateDir;
  t.AddSearchPath = ZY_AddSearchPath;
  t.RemoveSearchPath = ZY_RemoveSearchPath;
  t.GetSearchPath = ZY_GetSearchPath;
  t.GetSearchPathCount = ZY_GetSearchPathCount;
  t.DeleteFile = ZY_DeleteFile;
  t.OpenFile = ZY_OpenFile;
  t.CloseFile = ZY_CloseFile;
  t.ReadFile = ZY_ReadFile;
  t.WriteFile = ZY_WriteFile;
  t.FlushFile = ZY_FlushFile;
  t.TellFile = ZY_TellFile;
  t.SeekFile = ZY_SeekFile;
  t.ReadByte = ZY_ReadByte;
  t.SeekFile2 = ZY_SeekFile;  // older modules call the seek and tell operations here
  t.TellFile2 = ZY_TellFile;
  t.ReadItems = ZY_ReadItems;
  t.WriteItems = ZY_WriteItems;
  t.FindFiles = ZY_FindFiles;
  t.FreeFileList = ZY_FreeFileList;

  // HTTP
  t.HttpRequest = ZY_HttpRequest;
  t.AllocData = ZY_AllocData;
  t.FreeData = ZY_FreeData;

  // Input
  t.GetKeyState = ZY_GetKeyState;
  t.SetKeyState = ZY_SetKeyState;
  t.GetAxis = ZY_GetAxis;
  t.SetAxis = ZY_SetAxis;

  // Sound
  t.GetSound = ZY_GetSound;
  t.LoadSound = ZY_LoadSound;
  t.GetSoundEx = ZY_GetSoundEx;
  t.ReleaseSound = ZY_ReleaseSound;
  t.SetSoundCacheMode = ZY_SetSoundCacheMode;
  t.StopSound = ZY_StopSound;
  t.PlaySound = ZY_PlaySound;
  t.StopChannel = ZY_StopChannel;
  t.SetChannelParam1 = ZY_SetChannelParam1;
  t.SetChannelParam2 = ZY_SetChannelParam2;
  t.SetChannelParam3 = ZY_SetChannelParam3;
  t.SetChannelParam4 = ZY_SetChannelParam4;
  t.SetChannelParam5 = ZY_SetChannelParam5;
  t.IsChannelPlaying = ZY_IsChannelPlaying;
  t.GetChannelValue = ZY_GetChannelValue;
  t.SetSoundParams = ZY_SetSoundParams;
  t.SetSoundParamsDefault = ZY_SetSoundParamsDefault;
  t.PlayMusic = ZY_PlayMusic;
  t.StopMusic = ZY_StopMusic;
  t.SetMusicValue = ZY_SetMusicValue;
  t.SetMusicLooping = ZY_SetMusicLooping;
  t.GetMusicValue = ZY_GetMusicValue;
  t.SlideMusicVolume = ZY_SlideMusicVolume;

  // Bitmaps
  t.GetBitmap = ZY_GetBitmap;
  t.GetBitmapEx = ZY_GetBitmapEx;
  t.LoadBitmap = ZY_LoadBitmap;
  t.ReleaseBitmap = ZY_ReleaseBitmap;
  t.SaveBitmap = ZY_SaveBitmap;
  t.RefreshBitmap = ZY_RefreshBitmap;
  t.ResizeBitmap = ZY_ResizeBitmap;
  t.SetBitmapCacheMode = ZY_SetBitmapCacheMode;
  t.CreateBitmap = ZY_CreateBitmap;
  t.SelectBitmapFrame = ZY_SelectBitmapFrame;

  // Drawing
  t.PushTransform = ZY_PushTransform;
  t.PopTransform = ZY_PopTransform;
  t.GetTransform = ZY_GetTransform;
  t.PushVertexHook = ZY_PushVertexHook;
  t.PopVertexHook = ZY_PopVertexHook;
  t.RemoveVertexHook = ZY_RemoveVertexHook;
  t.ApplyVertexHooks = ZY_ApplyVertexHooks;
  t.Forward3 = ZY_Forward3;
  t.SetClipRect = ZY_SetClipRect;
  t.ResetClipRect = ZY_ResetClipRect;
  t.SetRenderTarget = ZY_SetRenderTarget;
  t.PushRenderTarget = ZY_PushRenderTarget;
  t.PopRenderTarget = ZY_PopRenderTarget;
  t.SetBlendMode = ZY_SetBlendMode;
  t.SetRenderMode = ZY_SetRenderMode;
  // A renderer that takes colours as R, G, B, A bytes gets the colour variant that writes
  // them so; without a renderer, or for 0xAARRGGBB words, the word variant.
  bool rgba_bytes = ZYI_Renderer() && zy::modules.colour_order == 0;
  t.SetColor = rgba_bytes ? ZY_SetColorRGBA : ZY_SetColor;
  t.SetAlpha = ZY_SetAlpha;
  t.DrawBitmap = ZY_DrawBitmap;
  t.DrawBitmapEx = ZY_DrawBitmapEx;
  t.DrawBitmapLine = ZY_DrawBitmapLine;
  t.DrawBitmapPart = ZY_DrawBitmapPart;
  t.DrawRect = ZY_DrawRect;
  t.DrawLine = ZY_DrawLine;
  t.DrawLineVertices = ZY_DrawLineVertices;
  t.DrawQuad = ZY_DrawQuad;
  t.DrawTriangles = ZY_DrawTriangles;
  t.SetProjection = ZY_SetProjection;
  t.SetDrawDepth = ZY_SetDrawDepth;
  t.GetDrawDepth = ZY_GetDrawDepth;
  t.Forward1 = ZY_Forward1;
  t.SetRenderStateb = ZY_SetRenderStateb;
  t.SetRenderStatef = ZY_SetRenderStatef;
  t.SetRenderStatei = ZY_SetRenderStatei;

  // Fonts and text
  t.GetFont = ZY_GetFont;
  t.LoadFont = ZY_LoadFont;
  t.RecreateFontAtlas = ZY_RecreateFontAtlas;
  t.ReleaseFont = ZY_ReleaseFont;
  t.SaveFont = ZY_SaveFont;
  t.SetTextFlags = ZY_SetTextFlags;
  t.SetTextMaxWidth = ZY_SetTextMaxWidth;
  t.SetTextTransform = ZY_SetTextTransform;
  t.DrawText = ZY_DrawText;
  t.GetTextSize = ZY_GetTextSize;
  t.GetTextWidth = ZY_GetTextWidth;
  t.GetTextHeight = ZY_GetTextHeight;
  // Shaders (the sub-table in the last slot)
  shader_table.GetShader = ZY_GetShader;
  shader_table.SetShader = ZY_SetShader;
  shader_table.SetShaderTexture = ZY_SetShaderTexture;
  shader_table.SetShaderParameter = ZY_SetShaderParameter;
  shader_table.DrawBitmapShaded = ZY_DrawBitmapShaded;

  // System queries and platform calls
  t.GetSystemValue = ZY_GetSystemValue;

  t.shader = &shader_table;
  zy::modules.host.zy = &table;
  ZYI_PublishEngineInterface(&table);
  return &table;
}

void ZYI_ForgetEngineInterface(void) { ZYI_PublishEngineInterface(nullptr); }
