// Exports both entry points; the preferred one refuses. The engine must not fall back to
// ZY_GetInterface, which writes a marker file if it is ever called.
#include <stdio.h>

#include "zylem.h"

static ZY_ProgramInterface record;

extern "C" ZY_EXPORT bool ZY_GetProgramInterface(ZY_ProgramInterface *, uint32_t) {
  return false;
}
extern "C" ZY_EXPORT ZY_ProgramInterface *ZY_GetInterface(void) {
  if (FILE *f = fopen("getinterface_called", "w")) fclose(f);
  record.interface_version = ZY_INTERFACE_VERSION;
  return &record;
}
