// A game whose threads outlive the frame loop: one started at init keeps taking the
// frame lock until the process ends; with "late=1" on the command line the shutdown
// callback starts one instead, which logs after a pause.
#include <stdio.h>
#include <string.h>

#include "../program_record.h"

static ZY_ProgramInterface *self;
static int updates;

static bool Has(const char *word) {
  return self->parms.command_line && strstr(self->parms.command_line, word);
}

// Works in the module's own code most of the time, as a busy loader thread does.
static void Forever(void *) {
  for (volatile unsigned spin = 0;; spin++) {
    if (spin % 100000 != 0) continue;
    self->zy->LockMainLoop();
    self->zy->UnlockMainLoop();
  }
}

static void Late(void *) {
  self->zy->Sleep(300);
  self->zy->Log(ZY_LOG_INFO, "[prog] late thread done");
}

static bool Init(void) {
  if (!Has("late=1")) self->zy->CreateThread("forever", Forever, NULL, 0);
  return true;
}
static void Shutdown(void) {
  if (Has("late=1")) self->zy->CreateThread("late", Late, NULL, 0);
}
static void Update(float) {
  if (++updates == 3) self->zy->Quit();
}
static void Draw(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  self = prog;
  FillTestRecord(prog, "zytest.lingering", "Lingering Threads");
  prog->init = Init;
  prog->shutdown = Shutdown;
  prog->update = Update;
  prog->draw = Draw;
  return true;
}
