// opener.h — the two small operation tables behind every open file.
//
// An *opener* turns a virtual name into an *inner file*, or answers null so the next
// opener is asked. Each opener is one constant table of operations, defined at the end
// of its own file (pak_opener.cpp, native_opener.cpp; the HTTP download opener lives
// with the HTTP client and registers itself with ZYFS_AddOpener). Adding a source of
// files means writing one more table, nothing else changes.
//
// An inner file starts with a pointer to its own operation table; the rest of the
// record belongs to the opener that made it.
#pragma once

#include <stdint.h>

struct ZyfsInner;

// Operations of an open inner file. Positions and sizes are 64-bit here; the handle
// the game sees narrows them.
struct ZyfsFileOps {
  // Moves the position (origin 0 start, 1 current, 2 end); true on success.
  bool (*Seek)(ZyfsInner *file, int64_t offset, int origin);
  // Current position, or -1 when unknown.
  int64_t (*Tell)(ZyfsInner *file);
  // Size in bytes measured when the file was opened.
  int64_t (*GetSize)(ZyfsInner *file);
  // The virtual name the file was opened with (valid until Close).
  const char *(*GetName)(ZyfsInner *file);
  // Flushes buffered writes.
  void (*Flush)(ZyfsInner *file);
  // Reads up to bytes bytes into buffer; bytes read (0 at the end or on failure).
  int32_t (*Read)(ZyfsInner *file, void *buffer, int32_t bytes);
  // Writes bytes bytes; bytes written.
  int32_t (*Write)(ZyfsInner *file, const void *buffer, int32_t bytes);
  // Closes the file and frees the record.
  void (*Close)(ZyfsInner *file);
};

// Common head of every inner file record.
struct ZyfsInner {
  const ZyfsFileOps *ops;
};

// Operations of an opener.
struct ZyfsOpener {
  const char *name;  // for diagnostics: "pak", "native", "http"
  // Opens a virtual name in a normalised mode ("rb", "wb", "ab"); null when this
  // opener does not serve the name.
  ZyfsInner *(*Open)(const char *name, const char *mode);
  // Drops everything the opener keeps between opens (mounted archives, caches).
  void (*Reset)(void);
  // Whether relative names looked up through the search paths are offered to it.
  bool (*IsEnabled)(void);
};

// The openers of this folder, registered by ZYFS_Init in this order.
extern const ZyfsOpener ZYFS_PakOpener;
extern const ZyfsOpener ZYFS_NativeOpener;

// Opens a name with the registered openers (absolute names: all of them; relative names:
// the enabled ones over every search path). The name and mode must already be checked
// and normalised. Null when nobody serves it.
ZyfsInner *ZYFS_OpenInner(const char *name, const char *mode);
