/* c_usage.c — a game and a module written in C against the public headers.
 *
 * Built with every build (an object library, warnings are errors) and by CTest checks
 * as 32-bit C11 and as C99, so a header change that breaks C callers stops the build. It
 * uses the records, macros and a sample of the table the way C code would, and checks
 * the byte layout zylem_layout.h leaves unchecked: one table with the published 32-bit
 * and the 64-bit offset of each field, each column compared in a build of its width. */
#include <string.h>

#include "zylem.h"
#include "zylem_modules.h"

#if UINTPTR_MAX == 0xFFFFFFFFu
#define AT(type, field, at32, at64) ZY_CHECK_OFFSET(type, field, at32)
#define SIZE(type, size32, size64) ZY_STATIC_ASSERT(sizeof(type) == (size32), #type " size")
#else
#define AT(type, field, at32, at64) ZY_CHECK_OFFSET(type, field, at64)
#define SIZE(type, size32, size64) ZY_STATIC_ASSERT(sizeof(type) == (size64), #type " size")
#endif

AT(ZY_ProgramInterface, interface_version, 0, 0); AT(ZY_ProgramInterface, id, 4, 4);
AT(ZY_ProgramInterface, version, 164, 164); AT(ZY_ProgramInterface, shutdown, 356, 384);
AT(ZY_ProgramInterface, update, 360, 392); AT(ZY_ProgramInterface, draw, 364, 400);
AT(ZY_DisplaySettings, reference_counting, 29, 41);
AT(ZY_DisplaySettings, reference_height, 36, 48); AT(ZY_DisplaySettings, unused, 40, 52);
AT(ZY_Bitmap, name, 0, 0); AT(ZY_Bitmap, ref_count, 4, 8); AT(ZY_Bitmap, cache_mode, 6, 10);
AT(ZY_Bitmap, lock, 8, 16); AT(ZY_Bitmap, source_name, 12, 24); AT(ZY_Bitmap, width, 16, 32);
AT(ZY_Bitmap, height, 20, 36); AT(ZY_Bitmap, pixels, 24, 40); AT(ZY_Bitmap, alloc_width, 28, 48);
AT(ZY_Bitmap, alloc_height, 32, 52); AT(ZY_Bitmap, flags, 36, 56); AT(ZY_Bitmap, state, 38, 58);
AT(ZY_Bitmap, pack_mode, 40, 60); AT(ZY_Bitmap, duplicate_of, 44, 64);
AT(ZY_Bitmap, frames, 48, 72); AT(ZY_Bitmap, frame_count, 52, 80);
AT(ZY_Bitmap, select_frame, 56, 84); AT(ZY_Bitmap, pending_source, 60, 88);
AT(ZY_Bitmap, frame_rate, 64, 96); AT(ZY_Bitmap, engine_data, 100, 152);
SIZE(ZY_BitmapHardware, 32, 48); AT(ZY_BitmapHardware, on_gpu, 0, 0);
AT(ZY_BitmapHardware, left, 4, 4); AT(ZY_BitmapHardware, top, 8, 8);
AT(ZY_BitmapHardware, right, 12, 12); AT(ZY_BitmapHardware, bottom, 16, 16);
AT(ZY_BitmapHardware, renderer_data, 20, 24); AT(ZY_BitmapHardware, texture, 28, 40);
AT(ZY_Sound, ref_count, 4, 8); AT(ZY_Sound, cache_mode, 6, 10); AT(ZY_Sound, flags, 7, 11);
AT(ZY_Sound, params, 8, 12); AT(ZY_Sound, module_value, 24, 28);
AT(ZY_Sound, last_play_time, 28, 32); AT(ZY_Sound, module_data, 32, 40);
SIZE(ZY_Shader, 108, 216); AT(ZY_Shader, active, 4, 8); AT(ZY_Shader, kind, 6, 10);
AT(ZY_Shader, renderer_data, 8, 16);
SIZE(ZY_File, 12, 24); AT(ZY_File, size, 4, 8); AT(ZY_File, inner, 8, 16); SIZE(ZY_FileList, 8, 16);
AT(ZY_FileList, count, 4, 8); SIZE(ZY_Data, 16, 24); AT(ZY_Data, reserved, 4, 8);
AT(ZY_Data, length, 8, 12); AT(ZY_Data, expected_length, 12, 16);
AT(ZY_HostInfo, zy, 0, 0);

static ZY_ProgramInterface *c_prog;

static void c_frame(float seconds) {
  ZY_EngineInterface *zy = c_prog->zy;
  ZY_Vertex quad[4] = {{0.0f, 0.0f, 0.0f, 0xFFFFFFFFu, 0.0f, 0.0f}};
  ZY_FileList list = {NULL, 0};
  ZY_Bitmap *bitmap = zy->GetBitmapEx("ui/button", CACHE_SYSMEM | CACHE_GPU);
  if (zy->FindFiles(&list, "levels", "*.xml", 0)) zy->FreeFileList(&list);
  if (zy->GetKeyState(ZY_GAMEPAD(1, ZY_GAMEPAD_BUTTON_A)) & ZY_KEY_STATE_PRESSED) zy->Quit();
  zy->SetAxis(ZY_POINTER_X(0), zy->GetAxis(ZY_MOUSE_X) + seconds);
  if (bitmap && bitmap->state == ZY_BITMAP_STATE_READY) zy->DrawQuad(bitmap, quad);
  zy->shader->DrawBitmapShaded(bitmap, 10.0f, 10.0f, 0.0f, 1.0f);
}

static uint32_t c_event(ZY_InputEvent event) {
  if (event.type == ZY_EVENT_CHECK_PARMS) event.check_parms.parms->multi_mouse = 1;
  return event.type == ZY_EVENT_NAMED ? (uint32_t)event.named.name[0] : (uint32_t)event.pointer.x;
}

ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog->interface_version = ZY_INTERFACE_VERSION;
  strcpy(prog->id, "c_usage");
  prog->update = prog->draw = c_frame;
  prog->event = c_event;
  c_prog = prog;
  return true;
}

/* What a C module sees of its start-up record. */
const char *c_module_describe(const ZY_HostInfo *host) {
  return host->zy->GetSystemValue("PlatformInfo", host->window ? "PlatformId" : "none");
}
