// A normal game: logs each callback, draws, and quits after "quit=N" updates on the
// command line (default 5), or once the file "wait=PATH" exists; "mode=WxH:fs" or
// "mode=WxH:w" asks for another display mode in the check event; "switch=WxH:fs" (or :w)
// asks for a display change after the second update. ZYTEST_PROGRAM makes it
// faulty: "refuse" (the record is refused; the older entry point, never to be asked then,
// writes getinterface_called), "v1223" (an older interface), "no_update", "init_fails"
// (shutdown, never to be called then, writes shutdown_called), "null_callbacks" (no
// event and shutdown) or "lingering" (a thread from init runs in the module until the
// process ends; one started in shutdown logs after a pause). Two kinds report instead:
// "input" logs every frame (in draw) and each input event's fields (a console command's
// text too), draws a white 4x4 square at the mouse and adds the console command name
// spawn_monster; "queries" asks the system query every line "KEY<TAB>ARGUMENT" of
// queries.txt in its first update ("\0" in an argument is a NUL; no tab: a null one; a
// line "+NAME" loads that bitmap instead). With ZYTEST_OLDER_ENTRY_ONLY it exports only
// the older entry point.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "zylem.h"

static ZY_ProgramInterface *self;
// A global with the name games naturally give the table: the engine's own globals must
// never be bound in its place.
ZY_EngineInterface *zy;
static int updates, draws, quit_after = 5;
static const char *kind = "";
static char wait_for[512];

static void Touch(const char *name) {
  if (FILE *f = fopen(name, "w")) fclose(f);
}
static const char *Arg(const char *name) {
  const char *at = self->parms.command_line ? strstr(self->parms.command_line, name) : NULL;
  return at ? at + strlen(name) : NULL;
}

static void Forever(void *) {
  for (volatile unsigned spin = 0;; spin++)
    if (spin % 100000 == 0) zy->LockMainLoop(), zy->UnlockMainLoop();
}
static void Late(void *) {
  zy->Sleep(300);
  zy->Log(ZY_LOG_INFO, "[prog] late thread done");
}

static bool Init(void) {
  zy = self->zy;
  if (!strcmp(kind, "lingering") && !zy->CreateThread("forever", Forever, NULL, 0)) return false;
  if (const char *q = Arg("quit=")) quit_after = atoi(q);
  if (const char *w = Arg("wait=")) sscanf(w, "%511s", wait_for);
  zy->Log(ZY_LOG_INFO, "[prog] init %dx%d windowed=%d", self->parms.width, self->parms.height, self->parms.windowed);
  return strcmp(kind, "init_fails") != 0;
}
static void Shutdown(void) {
  if (!strcmp(kind, "init_fails")) Touch("shutdown_called");
  if (!strcmp(kind, "lingering")) zy->CreateThread("late", Late, NULL, 0);
  zy->Log(ZY_LOG_INFO, "[prog] shutdown after %d updates, %d draws", updates, draws);
}
// Logs "[prog] query KEY ARG = 'answer'" (or "= null") for every line of queries.txt.
static void Queries(void) {
  FILE *f = fopen("queries.txt", "r");
  char line[1024];
  while (f && fgets(line, sizeof line - 1, f)) {
    line[strcspn(line, "\n")] = 0;
    char *tab = strchr(line, '\t'), arg[1024] = "";
    size_t n = 0;
    for (const char *p = tab ? tab + 1 : ""; *p; p++) arg[n++] = (p[0] == '\\' && p[1] == '0') ? (p++, 0) : *p;
    arg[n] = arg[n + 1] = 0;
    if (tab) *tab = 0;
    if (line[0] == '+' && zy->GetBitmap(line + 1)) continue;  // "+NAME" loads a bitmap first
    const char *a = zy->GetSystemValue(line, tab ? arg : NULL);
    zy->Log(ZY_LOG_INFO, "[prog] query %s %s = %s%s%s", line, tab ? tab + 1 : "(null)", a ? "'" : "", a ? a : "null", a ? "'" : "");
    if (!strcmp(line, "RefreshMemUsageEstimates"))
      zy->Log(ZY_LOG_INFO, "[prog] estimates %d %d %d", zy->GetKeyState(2001), zy->GetKeyState(2002), zy->GetKeyState(2005));
  }
  if (f) fclose(f);
}
static void Update(float dt) {
  if (++updates == 1) zy->Log(ZY_LOG_INFO, "[prog] first update dt>0=%d", dt > 0);
  ZY_DisplaySettings want = self->parms;
  char mode[4] = "";
  const char *s = Arg("switch=");
  if (updates == 2 && s && sscanf(s, "%dx%d:%3s", &want.width, &want.height, mode) == 3) {
    want.windowed = strcmp(mode, "fs") != 0;
    zy->Log(ZY_LOG_INFO, "[prog] display change asked: %d", zy->Reinitialize(want));
  }
  if (updates == 1 && !strcmp(kind, "queries")) Queries();
  if (updates == 1 && !strcmp(kind, "input")) zy->GetSystemValue("Console_AddCommand", "spawn_monster");
  if (wait_for[0] ? access(wait_for, F_OK) == 0 : updates >= quit_after) zy->Quit();
}
static void Draw(float) {
  draws++;  // every frame draws (a frame may pass without an update)
  if (!strcmp(kind, "input")) zy->Log(ZY_LOG_INFO, "[prog] frame %d key65=%d", draws, zy->GetKeyState(65));
  if (zy->DrawRect) zy->SetColor(1.0f, 0.5f, 0.0f), zy->DrawRect(10, 10, 100, 50);
  if (!strcmp(kind, "input")) zy->SetColor(1, 1, 1), zy->DrawRect((float)zy->GetKeyState(504), (float)zy->GetKeyState(505), 4, 4);
}
static uint32_t Event(ZY_InputEvent ev) {
  self->zy->Log(ZY_LOG_INFO, "[prog] event %u", ev.type);  // may come before init
  if (!strcmp(kind, "input") && ev.type != ZY_EVENT_CHECK_PARMS)
    self->zy->Log(ZY_LOG_INFO, "[prog] input %u %d %d %d %d", ev.type, ev.raw[4], (int)ev.pointer.x, (int)ev.pointer.y,
                  ev.type == ZY_EVENT_WHEEL ? ev.pointer.wheel_delta : ev.type >= 5 && ev.type <= 6 ? ev.pointer.button : ev.key.key);
  if (!strcmp(kind, "input") && ev.type == ZY_EVENT_CONSOLE_COMMAND)
    self->zy->Log(ZY_LOG_INFO, "[prog] command '%s'", ev.console.command);
  ZY_DisplaySettings *p = ev.type == ZY_EVENT_CHECK_PARMS ? ev.check_parms.parms : NULL;
  char mode[4] = "";
  const char *m = Arg("mode=");
  if (p && m && sscanf(m, "%dx%d:%3s", &p->width, &p->height, mode) == 3) p->windowed = strcmp(mode, "fs") != 0;
  return 0;
}

static bool Fill(ZY_ProgramInterface *prog) {
  kind = getenv("ZYTEST_PROGRAM") ? getenv("ZYTEST_PROGRAM") : "";
  if (!strcmp(kind, "refuse")) return false;
  self = prog;
  prog->interface_version = strcmp(kind, "v1223") ? ZY_INTERFACE_VERSION : 1223;
  snprintf(prog->id, sizeof prog->id, "zytest.normal");
  snprintf(prog->title, sizeof prog->title, "Normal Test Game");
  snprintf(prog->version, sizeof prog->version, "1.0.0");
  snprintf(prog->developer_name, sizeof prog->developer_name, "ZytestStudio");
  prog->parms.width = 640, prog->parms.height = 480;
  prog->parms.windowed = prog->parms.single_instance = prog->parms.reference_counting = 1;
  const bool null_callbacks = !strcmp(kind, "null_callbacks");
  prog->init = Init, prog->draw = Draw;
  prog->shutdown = null_callbacks ? NULL : Shutdown;
  prog->event = null_callbacks ? NULL : Event;
  prog->update = strcmp(kind, "no_update") ? Update : NULL;
  return true;
}

#ifndef ZYTEST_OLDER_ENTRY_ONLY
extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version) {
  return version == ZY_INTERFACE_VERSION && Fill(prog);
}
// The older entry point, never to be asked when the one above answered.
extern "C" ZY_EXPORT ZY_ProgramInterface *ZY_GetInterface(void) { return Touch("getinterface_called"), nullptr; }
#else
extern "C" ZY_EXPORT ZY_ProgramInterface *ZY_GetInterface(void) {
  static ZY_ProgramInterface record;
  return Fill(&record) ? &record : NULL;
}
#endif
