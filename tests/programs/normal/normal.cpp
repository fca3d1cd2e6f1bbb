// A normal game: logs each callback, draws, and quits after a number of updates given on
// the command line as "quit=N" (default 5).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zylem.h"

static ZY_ProgramInterface *self;
// A global with the name games naturally give the table: the engine's own globals must
// never be bound in its place.
ZY_EngineInterface *zy;
static int updates, draws, quit_after = 5;

static bool Init(void) {
  zy = self->zy;
  const char *q = self->parms.command_line ? strstr(self->parms.command_line, "quit=") : NULL;
  if (q) quit_after = atoi(q + 5);
  self->zy->Log(ZY_LOG_INFO, "[prog] init %dx%d windowed=%d", self->parms.width,
                self->parms.height, self->parms.windowed);
  return true;
}
static void Shutdown(void) {
  self->zy->Log(ZY_LOG_INFO, "[prog] shutdown after %d updates, %d draws", updates, draws);
}
static void Update(float dt) {
  updates++;
  if (updates == 1) self->zy->Log(ZY_LOG_INFO, "[prog] first update dt>0=%d", dt > 0);
  if (updates >= quit_after) zy->Quit();
}
static void Draw(float) {
  draws++;
  if (self->zy->DrawRect) {
    self->zy->SetColor(1.0f, 0.5f, 0.0f);
    self->zy->DrawRect(10, 10, 100, 50);
  }
}
// Event 18 lets the game change its display settings; "mode=WxH:fs" or "mode=WxH:w" on the
// command line asks for another mode there.
static uint32_t Event(ZY_InputEvent ev) {
  self->zy->Log(ZY_LOG_INFO, "[prog] event %u", ev.type);
  const char *m = self->parms.command_line ? strstr(self->parms.command_line, "mode=") : NULL;
  if (ev.type == ZY_EVENT_CHECK_PARMS && m) {
    int w = 0, h = 0;
    char kind[4] = "";
    if (sscanf(m + 5, "%dx%d:%3s", &w, &h, kind) == 3) {
      ev.check_parms.parms->width = w;
      ev.check_parms.parms->height = h;
      ev.check_parms.parms->windowed = strcmp(kind, "fs") != 0;
    }
  }
  return 0;
}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t version) {
  if (version != ZY_INTERFACE_VERSION) return false;
  self = prog;
  prog->interface_version = ZY_INTERFACE_VERSION;
  snprintf(prog->id, sizeof prog->id, "zytest.normal");
  snprintf(prog->title, sizeof prog->title, "Normal Test Game");
  snprintf(prog->version, sizeof prog->version, "1.0.0");
  snprintf(prog->developer_name, sizeof prog->developer_name, "ZytestStudio");
  prog->parms.width = 640;
  prog->parms.height = 480;
  prog->parms.windowed = 1;
  prog->parms.single_instance = 1;
  prog->parms.reference_counting = 1;
  prog->init = Init;
  prog->shutdown = Shutdown;
  prog->update = Update;
  prog->draw = Draw;
  prog->event = Event;
  return true;
}
