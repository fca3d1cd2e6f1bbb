// zylem_layout.h — compile-time checks of the public record layouts.
//
// Included by zylem.h; not meant to be included on its own. A 32-bit build checks every
// published byte offset and size, a 64-bit build the offsets documented beside the fields
// in zylem.h; both check that each engine interface operation sits in its slot. A record
// edited in the wrong place therefore stops the build of the engine and of every module.
#pragma once

#include "zylem.h"

#define ZY_CHECK_OFFSET(type, field, offset) \
  ZY_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " moved")
#define ZY_CHECK_SLOT(field, slot) \
  ZY_STATIC_ASSERT(offsetof(ZY_EngineInterface, field) == (slot) * sizeof(void *), \
                   "engine interface slot " #slot " is not " #field)

ZY_STATIC_ASSERT(sizeof(ZY_EngineInterface) == ZY_ENGINE_INTERFACE_SLOTS * sizeof(void *),
                 "the engine interface table must be 127 machine words");
ZY_STATIC_ASSERT(sizeof(ZY_ShaderInterface) == 5 * sizeof(void *),
                 "the shader sub-table must be 5 machine words");
ZY_CHECK_SLOT(Print, 0);
ZY_CHECK_SLOT(Log, 1);
ZY_CHECK_SLOT(Popup, 2);
ZY_CHECK_SLOT(GetDateTime, 5);
ZY_CHECK_SLOT(GetMutex, 6);
ZY_CHECK_SLOT(CreateThread, 10);
ZY_CHECK_SLOT(UnlockMainLoop, 14);
ZY_CHECK_SLOT(GetFont, 15);
ZY_CHECK_SLOT(SaveFont, 19);
ZY_CHECK_SLOT(Quit, 21);
ZY_CHECK_SLOT(GetSystemValue, 23);
ZY_CHECK_SLOT(GetPath, 24);
ZY_CHECK_SLOT(GetSearchPathCount, 30);
ZY_CHECK_SLOT(OpenFile, 32);
ZY_CHECK_SLOT(SeekFile, 38);
ZY_CHECK_SLOT(ReadByte, 39);
ZY_CHECK_SLOT(SeekFile2, 40);
ZY_CHECK_SLOT(TellFile2, 41);
ZY_CHECK_SLOT(FindFiles, 44);
ZY_CHECK_SLOT(HttpRequest, 46);
ZY_CHECK_SLOT(FreeData, 48);
ZY_CHECK_SLOT(GetKeyState, 49);
ZY_CHECK_SLOT(SetAxis, 52);
ZY_CHECK_SLOT(GetSound, 53);
ZY_CHECK_SLOT(PlaySound, 59);
ZY_CHECK_SLOT(SetChannelParam1, 61);
ZY_CHECK_SLOT(SetChannelParam5, 65);
ZY_CHECK_SLOT(SetSoundParamsDefault, 69);
ZY_CHECK_SLOT(PlayMusic, 70);
ZY_CHECK_SLOT(SlideMusicVolume, 75);
ZY_CHECK_SLOT(PushTransform, 76);
ZY_CHECK_SLOT(ApplyVertexHooks, 82);
ZY_CHECK_SLOT(GetBitmap, 83);
ZY_CHECK_SLOT(SelectBitmapFrame, 92);
ZY_CHECK_SLOT(Forward3, 93);
ZY_CHECK_SLOT(SetRenderTarget, 96);
ZY_CHECK_SLOT(SetColor, 101);
ZY_CHECK_SLOT(SetTextFlags, 103);
ZY_CHECK_SLOT(DrawBitmap, 106);
ZY_CHECK_SLOT(DrawText, 110);
ZY_CHECK_SLOT(DrawTriangles, 115);
ZY_CHECK_SLOT(GetTextHeight, 118);
ZY_CHECK_SLOT(SetProjection, 119);
ZY_CHECK_SLOT(Forward1, 122);
ZY_CHECK_SLOT(SetRenderStatei, 125);
ZY_CHECK_SLOT(shader, 126);

ZY_STATIC_ASSERT(sizeof(ZY_Vertex) == 24, "a vertex is 24 bytes");
ZY_CHECK_OFFSET(ZY_Vertex, color, 12);
ZY_CHECK_OFFSET(ZY_Vertex, u, 16);

// Fields that keep their place in every build.
ZY_CHECK_OFFSET(ZY_DisplaySettings, frame_interval_ms, 12);
ZY_CHECK_OFFSET(ZY_DisplaySettings, developer_mode, 18);
ZY_CHECK_OFFSET(ZY_ProgramInterface, title, 36);
ZY_CHECK_OFFSET(ZY_ProgramInterface, developer_name, 180);
ZY_CHECK_OFFSET(ZY_PointerEvent, index, 4);
ZY_CHECK_OFFSET(ZY_PointerEvent, x, 8);
ZY_CHECK_OFFSET(ZY_PointerEvent, y, 12);
ZY_CHECK_OFFSET(ZY_PointerEvent, button, 16);
ZY_CHECK_OFFSET(ZY_PointerEvent, wheel_delta, 18);
ZY_CHECK_OFFSET(ZY_PointerEvent, prev_x, 20);
ZY_CHECK_OFFSET(ZY_PointerEvent, prev_y, 24);
ZY_CHECK_OFFSET(ZY_CharEvent, code, 4);
ZY_CHECK_OFFSET(ZY_KeyEvent, key, 4);
ZY_CHECK_OFFSET(ZY_ActivateEvent, inactive, 4);
ZY_CHECK_OFFSET(ZY_ReinitEvent, done, 4);
ZY_CHECK_OFFSET(ZY_ResizeEvent, width, 4);
ZY_CHECK_OFFSET(ZY_ResizeEvent, height, 6);

#if UINTPTR_MAX == 0xFFFFFFFFu
// 32-bit build: the published byte layout.
ZY_STATIC_ASSERT(sizeof(ZY_DisplaySettings) == 104, "display settings are 104 bytes");
ZY_CHECK_OFFSET(ZY_DisplaySettings, width, 0);
ZY_CHECK_OFFSET(ZY_DisplaySettings, height, 4);
ZY_CHECK_OFFSET(ZY_DisplaySettings, windowed, 8);
ZY_CHECK_OFFSET(ZY_DisplaySettings, no_sound, 9);
ZY_CHECK_OFFSET(ZY_DisplaySettings, single_instance, 10);
ZY_CHECK_OFFSET(ZY_DisplaySettings, multi_mouse, 11);
ZY_CHECK_OFFSET(ZY_DisplaySettings, console_visible, 16);
ZY_CHECK_OFFSET(ZY_DisplaySettings, renderer_ready, 17);
ZY_CHECK_OFFSET(ZY_DisplaySettings, command_line, 20);
ZY_CHECK_OFFSET(ZY_DisplaySettings, locale, 24);
ZY_CHECK_OFFSET(ZY_DisplaySettings, quitting, 28);
ZY_CHECK_OFFSET(ZY_DisplaySettings, reference_counting, 29);
ZY_CHECK_OFFSET(ZY_DisplaySettings, reference_width, 32);
ZY_CHECK_OFFSET(ZY_DisplaySettings, reference_height, 36);
ZY_CHECK_OFFSET(ZY_DisplaySettings, unused, 40);

ZY_STATIC_ASSERT(sizeof(ZY_ProgramInterface) == 372, "the program interface is 372 bytes");
ZY_CHECK_OFFSET(ZY_ProgramInterface, interface_version, 0);
ZY_CHECK_OFFSET(ZY_ProgramInterface, id, 4);
ZY_CHECK_OFFSET(ZY_ProgramInterface, version, 164);
ZY_CHECK_OFFSET(ZY_ProgramInterface, zy, 244);
ZY_CHECK_OFFSET(ZY_ProgramInterface, parms, 248);
ZY_CHECK_OFFSET(ZY_ProgramInterface, init, 352);
ZY_CHECK_OFFSET(ZY_ProgramInterface, shutdown, 356);
ZY_CHECK_OFFSET(ZY_ProgramInterface, update, 360);
ZY_CHECK_OFFSET(ZY_ProgramInterface, draw, 364);
ZY_CHECK_OFFSET(ZY_ProgramInterface, event, 368);

ZY_STATIC_ASSERT(sizeof(ZY_InputEvent) == 32, "an input event is 32 bytes");
ZY_CHECK_OFFSET(ZY_ConsoleEvent, command, 4);
ZY_CHECK_OFFSET(ZY_RenderTargetEvent, bitmap, 4);
ZY_CHECK_OFFSET(ZY_CheckParmsEvent, zy, 4);
ZY_CHECK_OFFSET(ZY_CheckParmsEvent, parms, 8);
ZY_CHECK_OFFSET(ZY_NamedEvent, name, 4);
ZY_CHECK_OFFSET(ZY_NamedEvent, arg1, 8);
ZY_CHECK_OFFSET(ZY_NamedEvent, arg2, 12);
ZY_CHECK_OFFSET(ZY_NamedEvent, reserved, 16);
ZY_CHECK_OFFSET(ZY_DataEvent, data, 4);

ZY_STATIC_ASSERT(sizeof(ZY_BitmapHardware) == 32, "bitmap hardware data is 32 bytes");
ZY_STATIC_ASSERT(sizeof(ZY_Bitmap) == 128, "a bitmap record is 128 bytes");
ZY_CHECK_OFFSET(ZY_Bitmap, ref_count, 4);
ZY_CHECK_OFFSET(ZY_Bitmap, cache_mode, 6);
ZY_CHECK_OFFSET(ZY_Bitmap, lock, 8);
ZY_CHECK_OFFSET(ZY_Bitmap, width, 16);
ZY_CHECK_OFFSET(ZY_Bitmap, pixels, 24);
ZY_CHECK_OFFSET(ZY_Bitmap, flags, 36);
ZY_CHECK_OFFSET(ZY_Bitmap, state, 38);
ZY_CHECK_OFFSET(ZY_Bitmap, pack_mode, 40);
ZY_CHECK_OFFSET(ZY_Bitmap, frames, 48);
ZY_CHECK_OFFSET(ZY_Bitmap, frame_rate, 64);
ZY_CHECK_OFFSET(ZY_Bitmap, hw, 68);
ZY_STATIC_ASSERT(sizeof(ZY_Sound) == 84, "a sound record is 84 bytes");
ZY_CHECK_OFFSET(ZY_Sound, params, 8);
ZY_CHECK_OFFSET(ZY_Sound, module_value, 24);
ZY_CHECK_OFFSET(ZY_Sound, module_data, 32);
ZY_STATIC_ASSERT(sizeof(ZY_Shader) == 108, "a shader record is 108 bytes");
ZY_STATIC_ASSERT(sizeof(ZY_File) == 12, "a file handle is three words");
ZY_STATIC_ASSERT(sizeof(ZY_FileList) == 8, "a file list is two words");
ZY_STATIC_ASSERT(sizeof(ZY_Data) == 16, "a data block is four words");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
// 64-bit build: the same order with natural alignment.
ZY_STATIC_ASSERT(sizeof(ZY_DisplaySettings) == 120, "64-bit display settings layout");
ZY_CHECK_OFFSET(ZY_DisplaySettings, command_line, 24);
ZY_CHECK_OFFSET(ZY_DisplaySettings, locale, 32);
ZY_CHECK_OFFSET(ZY_DisplaySettings, quitting, 40);
ZY_CHECK_OFFSET(ZY_DisplaySettings, reference_width, 44);
ZY_STATIC_ASSERT(sizeof(ZY_ProgramInterface) == 416, "64-bit program interface layout");
ZY_CHECK_OFFSET(ZY_ProgramInterface, zy, 248);
ZY_CHECK_OFFSET(ZY_ProgramInterface, parms, 256);
ZY_CHECK_OFFSET(ZY_ProgramInterface, init, 376);
ZY_CHECK_OFFSET(ZY_ProgramInterface, event, 408);
ZY_STATIC_ASSERT(sizeof(ZY_InputEvent) == 40, "64-bit input event layout");
ZY_CHECK_OFFSET(ZY_ConsoleEvent, command, 8);
ZY_CHECK_OFFSET(ZY_RenderTargetEvent, bitmap, 8);
ZY_CHECK_OFFSET(ZY_CheckParmsEvent, zy, 8);
ZY_CHECK_OFFSET(ZY_CheckParmsEvent, parms, 16);
ZY_CHECK_OFFSET(ZY_NamedEvent, name, 8);
ZY_CHECK_OFFSET(ZY_NamedEvent, arg1, 16);
ZY_CHECK_OFFSET(ZY_NamedEvent, arg2, 24);
ZY_CHECK_OFFSET(ZY_NamedEvent, reserved, 32);
ZY_CHECK_OFFSET(ZY_DataEvent, data, 8);
ZY_STATIC_ASSERT(sizeof(ZY_Bitmap) == 208, "64-bit bitmap record layout");
ZY_CHECK_OFFSET(ZY_Bitmap, hw, 104);
ZY_STATIC_ASSERT(sizeof(ZY_Sound) == 144, "64-bit sound record layout");
#endif
