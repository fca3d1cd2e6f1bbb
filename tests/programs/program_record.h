// program_record.h — shared by the test program modules: fills a program record's
// identity and asks for a 640x480 window.
#pragma once

#include <stdio.h>

#include "zylem.h"

static inline void FillTestRecord(ZY_ProgramInterface *prog, const char *id, const char *title) {
  prog->interface_version = ZY_INTERFACE_VERSION;
  snprintf(prog->id, sizeof prog->id, "%s", id);
  snprintf(prog->title, sizeof prog->title, "%s", title);
  snprintf(prog->version, sizeof prog->version, "1.0");
  snprintf(prog->developer_name, sizeof prog->developer_name, "ZytestStudio");
  prog->parms.width = 640;
  prog->parms.height = 480;
  prog->parms.windowed = 1;
}
