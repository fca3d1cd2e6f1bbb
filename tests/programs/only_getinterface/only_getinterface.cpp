// Exports only the older entry point and owns its record; quits after three updates.
#include <stdio.h>

#include "../program_record.h"
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
  FillTestRecord(&record, "zytest.only", "Only GetInterface");
  record.init = Init;
  record.update = Update;
  record.draw = Draw;
  return &record;
}
