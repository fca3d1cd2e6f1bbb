// A game whose threads outlive the frame loop: one from init runs in the module's own code
// until the process ends; one from the shutdown callback logs after a pause.
#include <stdio.h>

#include "zylem.h"

static ZY_ProgramInterface *self;
static int updates;

static void Forever(void *) {
  for (volatile unsigned spin = 0;; spin++)
    if (spin % 100000 == 0) self->zy->LockMainLoop(), self->zy->UnlockMainLoop();
}
static void Late(void *) {
  self->zy->Sleep(300);
  self->zy->Log(ZY_LOG_INFO, "[prog] late thread done");
}
static bool Init() { return self->zy->CreateThread("forever", Forever, NULL, 0) != NULL; }
static void Shutdown() { self->zy->CreateThread("late", Late, NULL, 0); }
static void Update(float) {
  if (++updates == 3) self->zy->Quit();
}
static void Draw(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  self = prog;
  prog->interface_version = ZY_INTERFACE_VERSION;
  snprintf(prog->id, sizeof prog->id, "zytest.lingering");
  snprintf(prog->title, sizeof prog->title, "Lingering Threads");
  snprintf(prog->developer_name, sizeof prog->developer_name, "ZytestStudio");
  prog->parms.width = 640, prog->parms.height = 480, prog->parms.windowed = 1;
  prog->init = Init, prog->shutdown = Shutdown, prog->update = Update, prog->draw = Draw;
  return true;
}
