// A game that forgets its update callback: the engine must refuse it cleanly.
#include <string.h>

#include "zylem.h"

static bool Init(void) { return true; }
static void Draw(float) {}

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *prog, uint32_t) {
  prog->interface_version = ZY_INTERFACE_VERSION;
  strcpy(prog->title, "No Update");
  prog->init = Init;
  prog->draw = Draw;
  return true;
}
