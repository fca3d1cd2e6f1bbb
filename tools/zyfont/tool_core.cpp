// tool_core.cpp — the engine as zyfont needs it.
//
// Generation runs the engine's own code: it reads the source through the file system,
// loads sheets with the image loader and reports problems as developer popups. The tool
// therefore boots a small core: a program record in developer mode (so popups are not
// silent), the headless backend (so a popup is echoed to stderr as "[popup] ...", never
// shown as a box) and the file system rooted at the source's folder.
#include "tool_core.h"

#include <stdio.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "config/config.h"
#include "config/didodoz.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/state.h"

static ZY_ProgramInterface tool_program;

bool ToolCoreStart(const char *folder) {
  ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  ZYI_ThreadsInit();
  ZYI_ForgetEngineInterface();
  ZYI_ResetState();
  ZYI_BuildEngineInterface();
  zy::core.table_built = 1;  // data files are read through the file system
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  memset(&tool_program, 0, sizeof tool_program);
  snprintf(tool_program.title, sizeof tool_program.title, "zyfont");
  tool_program.parms.developer_mode = 1;
  zy::core.prog = &tool_program;
  zy::core.core_initialized = 1;
  ZYH_SetGameFolder(folder);
  if (!ZYFS_Init()) {
    fprintf(stderr, "zyfont: cannot use the folder '%s'\n", folder);
    return false;
  }
  ZY_AddSearchPath("res://", true);
  return ZYI_InitImageLoader();
}

void ToolCoreStop(void) {
  ZYI_DidodozFree();
  ZYFS_Shutdown();
  ZYI_DeleteLocks();
}
