// xml_reader_fuzz.cpp — libFuzzer target: ZY_XMLReader over arbitrary documents.
//
// Every input is opened as a document and read record by record to its end. The
// sanitizers catch any read outside the document or the token buffer; the checks below
// catch a reader that stops making progress or hands out a record it should not.
// Reports go through the engine's popup and log operations, which stay silent here (no
// program is loaded, the log is not open), so the fuzzer's output stays readable.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "config/xml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  ZY_XMLReader reader;
  if (!reader.OpenText("fuzz.xml", (const char *)data, (int32_t)size, false)) return 0;

  // Every read consumes at least one byte, so size + 1 reads always reach the end.
  size_t reads = 0;
  while (!reader.AtEnd()) {
    if (++reads > size + 1) abort();  // no progress
    ZY_XMLElement *e = reader.ReadElement();
    if (!e) continue;
    if (e->attribute_count < 0 || e->attribute_count > ZY_XML_MAX_ATTRIBUTES) abort();
    if (e->name && strlen(e->name) >= ZY_XML_TOKEN_SIZE) abort();
    if (!e->name && e->attribute_count != 1) abort();
    for (int32_t i = 0; i < e->attribute_count; i++) {
      if (strlen(e->attribute_names[i]) >= ZY_XML_TOKEN_SIZE) abort();
      if (strlen(e->attribute_values[i]) >= ZY_XML_TOKEN_SIZE) abort();
    }
  }
  if (reader.ReadElement()) abort();  // nothing after the end
  return 0;
}
