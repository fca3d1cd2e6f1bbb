// diagnostics_info.h — what the information panel of the diagnostics shows, gathered from
// the display and program settings this layer owns.
#pragma once

#include "console/diagnostics.h"

void ZYI_FillDiagnosticsInfo(ZyDiagnosticsInfo *info);
