// record.h — shared by the recording test modules: appends one formatted line per call to
// the file named by ZYLEM_RECORD_FILE (default "record.txt" in the working folder), and
// answers true so that operations which report success can return it.
#pragma once

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

static bool Record(const char *format, ...) __attribute__((format(printf, 1, 2)));
static bool Record(const char *format, ...) {
  const char *path = getenv("ZYLEM_RECORD_FILE");
  FILE *f = fopen(path && *path ? path : "record.txt", "a");
  if (!f) return true;
  va_list ap;
  va_start(ap, format);
  vfprintf(f, format, ap);
  va_end(ap);
  fputc('\n', f);
  fclose(f);
  return true;
}
