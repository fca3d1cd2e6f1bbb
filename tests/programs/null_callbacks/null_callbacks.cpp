// A game without event and shutdown callbacks; quits after two updates.
#include <stdio.h>

#include "../program_record.h"
#include "zylem.h"

static ZY_ProgramInterface *self;
static int updates;

static bool Init(void) { return true; }
static void Update(float) {
  if (++updates >= 2) self->zy->Quit();
}
static void Draw(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  self = prog;
  FillTestRecord(prog, "zytest.nullcb", "Null Callbacks");
  prog->init = Init;
  prog->update = Update;
  prog->draw = Draw;
  return true;
}
