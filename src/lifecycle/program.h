// program.h — the program module (the game): loading, the interface handshake, the
// built-in fallback record, unloading.
#pragma once

#include "zylem.h"

// Loads prog.dll from the working folder and checks its interface record. Exits the
// process for a missing library (status 1) and for a version mismatch (status 0), after
// their popups. False when the module has no entry point or refuses to create the record.
bool ZYI_LoadProgram(void);
// Logs the unloading and frees the program module's library (not the fallback record).
void ZYI_UnloadProgram(void);
// The built-in record used after an interface mismatch.
ZY_ProgramInterface *ZYI_FallbackProgram(void);
