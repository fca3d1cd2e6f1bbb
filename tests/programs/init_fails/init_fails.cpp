// A game whose init fails: the frame loop still runs it; it quits after two updates and
// its shutdown must never be called (it would write a marker file).
#include <stdio.h>

#include "../program_record.h"
#include "zylem.h"

static ZY_ProgramInterface *self;
static int updates;

static bool Init(void) { return false; }
static void Shutdown(void) {
  if (FILE *f = fopen("shutdown_called", "w")) fclose(f);
}
static void Update(float) {
  if (++updates >= 2) self->zy->Quit();
}
static void Draw(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  self = prog;
  FillTestRecord(prog, "zytest.initfails", "Init Fails");
  prog->init = Init;
  prog->shutdown = Shutdown;
  prog->update = Update;
  prog->draw = Draw;
  return true;
}
