// input_script_fuzz.cpp — libFuzzer target: the launcher's input-script parser.
//
// Every input is parsed as a script. The sanitizers catch a read outside the text (the
// input is not terminated); the check catches a refusal that does not name its line.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "lifecycle/input_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  char err[512] = "";
  if (!ZYI_ParseInputScript((const char *)data, size, err, sizeof err)) {
    if (strncmp(err, "line ", 5) != 0) abort();  // every refusal names its line
    return 0;
  }
  ZYI_FreeInputScript();
  return 0;
}
