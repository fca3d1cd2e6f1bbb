// A game built against an older interface (1223).
#include <string.h>

#include "zylem.h"

static bool Init(void) { return true; }
static void Frame(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  prog->interface_version = 1223;
  strcpy(prog->title, "Old Game");
  prog->init = Init;
  prog->update = Frame;
  prog->draw = Frame;
  return true;
}
