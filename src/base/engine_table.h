// engine_table.h — the engine interface table as every layer reaches it.
//
// The table itself is filled at the top (lifecycle/interface_table.cpp), where every
// subsystem's operations are known. Lower layers that must call an operation of a higher
// one (a developer key's state, drawing text) call it through the published table, the
// way a module would.
#pragma once

#include "zylem.h"

// The published table, or null before it was first built (and after it was forgotten).
ZY_EngineInterface *ZYI_EngineInterface(void);
// Publishes the table (null withdraws it, for a fresh boot in the same process).
void ZYI_PublishEngineInterface(ZY_EngineInterface *table);
