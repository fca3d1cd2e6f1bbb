/* c_usage.c — a game and a module written in C against the public headers.
 *
 * Built as part of every build (an object library) with warnings as errors, and compiled
 * for 32-bit by a CTest check, so a header change that breaks C callers, or moves a
 * 32-bit offset, stops the build. It touches every kind of record and a sample of the
 * table's operations the way C code would use them. The C++ module classes of
 * zylem_modules.h are skipped in C; only the host info record is seen here. */
#include <string.h>

#include "zylem.h"
#include "zylem_modules.h"

static ZY_ProgramInterface *c_prog;
static ZY_Bitmap *c_bitmap;
static ZY_Font *c_font;
static ZY_Sound *c_sound;
static ZY_Mutex *c_mutex;

static void c_worker(void *argument) {
  ZY_EngineInterface *zy = (ZY_EngineInterface *)argument;
  ZY_Data response;
  memset(&response, 0, sizeof response);
  zy->LockMainLoop();
  zy->LockMutex(c_mutex);
  if (zy->HttpRequest(ZY_HTTP_REQUEST_GET, "http://example.invalid/a.png", NULL, NULL, 0,
                      &response, NULL) == ZY_HTTP_OK)
    zy->Print("got %d of %d bytes", response.length, response.expected_length);
  zy->FreeData(&response);
  zy->UnlockMutex(c_mutex);
  zy->UnlockMainLoop();
}

static void c_hook(ZY_Vertex *vertices, int32_t count, void *data) {
  int32_t i;
  (void)data;
  for (i = 0; i < count; i++) vertices[i].y += 1.0f;
}

static bool c_init(void) {
  ZY_EngineInterface *zy = c_prog->zy;
  ZY_FileList list = {NULL, 0};
  ZY_File *file;
  char path[260];
  int32_t now[6];
  int32_t i;

  zy->GetDateTime(now);
  zy->Log(ZY_LOG_SYSTEM, "started at %d-%.2d-%.2d", now[0], now[1], now[2]);
  c_mutex = zy->GetMutex("c_usage");
  if (!zy->CreateThread("Loader", c_worker, zy, 0)) zy->Popup(ZY_LOG_WARNING, "no thread");
  c_bitmap = zy->GetBitmapEx("ui/button", CACHE_SYSMEM | CACHE_GPU);
  if (c_bitmap && c_bitmap->state == ZY_BITMAP_STATE_READY)
    zy->Print("%s is %dx%d, uv %g..%g", c_bitmap->name, c_bitmap->width, c_bitmap->height,
              c_bitmap->hw.left, c_bitmap->hw.right);
  c_font = zy->GetFont("fonts/main.mft");
  c_sound = zy->GetSoundEx("sfx/click", CACHE_GPU);
  zy->AddSearchPath(zy->GetPathEx(path, (int32_t)sizeof path, ZY_ROOT_USER, "%s/", "mods"),
                    true);
  file = zy->OpenFile(zy->GetPath(ZY_ROOT_USER, "save%d.dat", 1), "w");
  if (file) {
    zy->WriteItems(now, (int32_t)sizeof now[0], 6, file);
    zy->SeekFile(file, 0, ZY_SEEK_SET);
    zy->Print("%s holds %d bytes at %d", file->name, file->size, zy->TellFile2(file));
    zy->CloseFile(file);
  }
  if (zy->FindFiles(&list, "levels", "*.xml", 0)) {
    for (i = 0; i < list.count; i++) zy->Print("level %s", list.files[i]);
    zy->FreeFileList(&list);
  }
  return true;
}

static void c_update(float seconds) {
  ZY_EngineInterface *zy = c_prog->zy;
  (void)seconds;
  if (zy->GetKeyState(ZY_MOUSE_BUTTON_LEFT) & ZY_KEY_STATE_PRESSED)
    zy->PlaySound(c_sound, 1.0f, 0.0f, 0);
  if (zy->GetKeyState(ZY_GAMEPAD(1, ZY_GAMEPAD_BUTTON_A))) zy->Quit();
  zy->SetAxis(ZY_POINTER_X(0), zy->GetAxis(ZY_MOUSE_X));
}

static void c_draw(float seconds) {
  ZY_EngineInterface *zy = c_prog->zy;
  ZY_Vertex quad[4];
  ZY_Point a = {0.0f, 0.0f}, b = {100.0f, 50.0f};
  ZY_ColorF white = {1.0f, 1.0f, 1.0f, 1.0f};
  uint16_t indices[3] = {0, 1, 2};
  float matrix[16];
  int32_t i;
  (void)seconds;

  for (i = 0; i < 4; i++) {
    quad[i].x = (float)(i & 1) * 32.0f;
    quad[i].y = (float)(i >> 1) * 32.0f;
    quad[i].z = zy->GetDrawDepth();
    quad[i].color = 0xFFFFFFFFu;
    quad[i].u = (float)(i & 1);
    quad[i].v = (float)(i >> 1);
  }
  zy->PushTransform(zy->GetTransform(matrix));
  zy->PushVertexHook(c_hook, NULL);
  zy->DrawQuad(c_bitmap, quad);
  zy->DrawTriangles(NULL, quad, 3, indices, 3);
  zy->DrawBitmapLine(c_bitmap, &a, &b, 4.0f, 2.0f, &white, &white);
  zy->PopVertexHook();
  zy->PopTransform();
  zy->SetTextFlags(ZY_TEXT_ALIGN_CENTER | ZY_TEXT_ALIGN_MIDDLE);
  zy->DrawText(c_font, 320.0f, 240.0f, "score %d", 42);
  zy->shader->DrawBitmapShaded(c_bitmap, 10.0f, 10.0f, 0.0f, 1.0f);
}

static uint32_t c_event(ZY_InputEvent event) {
  ZY_EngineInterface *zy = c_prog->zy;
  switch (event.type) {
    case ZY_EVENT_CHAR: return event.character.code;
    case ZY_EVENT_POINTER_MOVE:
    case ZY_EVENT_WHEEL:
    case ZY_EVENT_BUTTON_UP:
    case ZY_EVENT_BUTTON_DOWN:
      zy->Print("pointer %d at %d,%d (was %d,%d) button %d wheel %d", event.pointer.index,
                event.pointer.x, event.pointer.y, event.pointer.prev_x, event.pointer.prev_y,
                event.pointer.button, event.pointer.wheel_delta);
      return 0;
    case ZY_EVENT_CONSOLE_COMMAND: zy->Print("command %s", event.console.command); return 0;
    case ZY_EVENT_KEY_DOWN:
    case ZY_EVENT_KEY_UP: return (uint32_t)event.key.key;
    case ZY_EVENT_ACTIVATE: return event.activate.inactive;
    case ZY_EVENT_REINIT: return event.reinit.done;
    case ZY_EVENT_RESIZE: return (uint32_t)event.resize.width * event.resize.height;
    case ZY_EVENT_CLOSE: return ZY_EVENT_RESULT_CANCEL_CLOSE;
    case ZY_EVENT_RENDER_TARGET_LOST: zy->SetRenderTarget(event.render_target.bitmap); return 0;
    case ZY_EVENT_CHECK_PARMS: event.check_parms.parms->multi_mouse = 1; return 0;
    case ZY_EVENT_NAMED:
      zy->Print("%s %s %s", event.named.name, event.named.arg1, event.named.arg2);
      return 0;
    default: return event.data.data != NULL;
  }
}

static void c_shutdown(void) {
  ZY_EngineInterface *zy = c_prog->zy;
  zy->ReleaseBitmap(c_bitmap);
  zy->ReleaseFont(c_font);
  zy->ReleaseSound(c_sound);
  zy->DestroyMutex(c_mutex);
}

ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  prog->interface_version = ZY_INTERFACE_VERSION;
  strcpy(prog->id, "c_usage");
  strcpy(prog->title, "C usage");
  strcpy(prog->version, "1.0.0");
  strcpy(prog->developer_name, "ZylemTests");
  prog->parms.windowed = 1;
  prog->init = c_init;
  prog->shutdown = c_shutdown;
  prog->update = c_update;
  prog->draw = c_draw;
  prog->event = c_event;
  c_prog = prog;
  return true;
}

/* What a C module sees of its start-up record. */
const char *c_module_describe(const ZY_HostInfo *host) {
  ZY_GetProgramInterfaceFunc entry = ZY_GetProgramInterface;
  (void)entry;
  host->zy->Log(ZY_LOG_SYSTEM, "window %p, queued input %d", host->window, host->queue_input);
  return host->zy->GetSystemValue("PlatformInfo", "PlatformId");
}
