// didodoz_fuzz.cpp — libFuzzer target: Didodoz loading arbitrary data-array files.
//
// Each input is written to a scratch file and loaded as a fresh database (read with
// stdio, as before the engine interface table exists); every array, node and pair is
// then walked and looked up again, and the database is freed. Popups stay silent (no
// program is loaded), so only the sanitizers and the checks below speak.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "config/didodoz.h"

static char g_path[64];

static void RemoveScratch(void) { unlink(g_path); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  if (!g_path[0]) {
    snprintf(g_path, sizeof g_path, "/tmp/zylem-didodoz-fuzz-%d.xml", (int)getpid());
    atexit(RemoveScratch);
  }
  FILE *f = fopen(g_path, "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);

  ZyDidodozFile *file = ZYI_DidodozGetFile(g_path);
  if (!file) abort();
  for (int32_t a = 0; a < file->array_count; a++) {
    ZyDidodozArray *array = file->arrays[a];
    if (ZYI_DidodozFindArray(file, array->id) == nullptr) abort();
    for (int32_t n = 0; n < ZYI_DidodozNodeCount(array); n++) {
      ZyDidodozNode *node = ZYI_DidodozNodeAt(array, n);
      if (node->id && !ZYI_DidodozFindNode(array, node->id)) abort();
      for (int32_t p = 0; p < node->attribute_count; p++)
        if (!ZYI_DidodozGetAttribute(node, node->pairs[p].name)) abort();
    }
  }
  if (ZYI_DidodozGetFile(g_path) != file) abort();  // loaded once
  ZYI_DidodozFree();
  return 0;
}
