// entry.cpp — the engine's entry point: keeps the command line and runs the boot.
#include "core/entry.h"

#include <stdlib.h>
#include <string.h>

#include "core/state.h"

int ZYI_EntryPoint(const char *command_line) {
  ZYI_ResetState();
  zy.core.command_line = strdup(command_line ? command_line : "");
  // The boot sequence (pre-initialisation, core run, shut-down) joins here.
  free(zy.core.command_line);
  zy.core.command_line = nullptr;
  return 0;
}
