// Exports only the older entry point and owns its record; quits after three updates.
#include <stdio.h>

#include "zylem.h"

static ZY_ProgramInterface record;
static int updates;

static bool Init(void) {
  record.zy->Log(ZY_LOG_INFO, "[prog] init through ZY_GetInterface");
  return true;
}
static void Update(float) {
  if (++updates >= 3) record.zy->Quit();
}
static void Draw(float) {}

extern "C" ZY_EXPORT ZY_ProgramInterface *ZY_GetInterface(void) {
  record.interface_version = ZY_INTERFACE_VERSION;
  snprintf(record.id, sizeof record.id, "zytest.only");
  snprintf(record.title, sizeof record.title, "Only GetInterface");
  snprintf(record.version, sizeof record.version, "1.0");
  snprintf(record.developer_name, sizeof record.developer_name, "ZytestStudio");
  record.parms.width = 640;
  record.parms.height = 480;
  record.parms.windowed = 1;
  record.init = Init;
  record.update = Update;
  record.draw = Draw;
  return &record;
}
