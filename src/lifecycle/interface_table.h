// interface_table.h — the engine interface table handed to the program and the modules.
#pragma once

#include "base/engine_table.h"
#include "zylem.h"

// Clears the table and fills every slot whose operation exists, choosing slot 101 by the
// renderer's colour order. Called at pre-initialisation and again once the renderer
// module is loaded. Returns the table.
ZY_EngineInterface *ZYI_BuildEngineInterface(void);
// Marks the table as never built (for a fresh boot in the same process).
void ZYI_ForgetEngineInterface(void);
