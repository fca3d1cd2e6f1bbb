// A game without event and shutdown callbacks; quits after two updates.
#include <stdio.h>

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
  prog->interface_version = ZY_INTERFACE_VERSION;
  snprintf(prog->id, sizeof prog->id, "zytest.nullcb");
  snprintf(prog->title, sizeof prog->title, "Null Callbacks");
  snprintf(prog->version, sizeof prog->version, "1.0");
  snprintf(prog->developer_name, sizeof prog->developer_name, "ZytestStudio");
  prog->parms.width = 640;
  prog->parms.height = 480;
  prog->parms.windowed = 1;
  prog->init = Init;
  prog->update = Update;
  prog->draw = Draw;
  return true;
}
