// native_opener.cpp — loose files on disk, reached with stdio.
//
// The native opener maps a prefixed virtual name to a native path below its root and
// opens it with the stdio stream functions. Relative names never reach it directly:
// the search paths turn them into prefixed candidates first. Directories are not files
// here, even though stdio would open one for reading on Linux.
//
// Files opened for writing are unbuffered, so a write that fails (a full disk) returns
// what really reached the file instead of what went into a buffer; a failed write,
// flush or close logs a warning with the file's name and the reason, once per file.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "fs/fs.h"
#include "fs/opener.h"
#include "host/host.h"

namespace {

struct NativeFile {
  ZyfsInner base;
  char *name;     // virtual name it was opened with
  char *path;     // native path
  int64_t size;   // size when opened
  FILE *stream;
  bool failed;    // a failure was reported already
};

NativeFile *Self(ZyfsInner *file) { return (NativeFile *)file; }

bool NativeSeek(ZyfsInner *file, int64_t offset, int origin) {
  int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  if (origin < 0 || origin > 2) return false;
  return fseeko(Self(file)->stream, (off_t)offset, whence) == 0;
}

int64_t NativeTell(ZyfsInner *file) { return (int64_t)ftello(Self(file)->stream); }

int64_t NativeGetSize(ZyfsInner *file) { return Self(file)->size; }

const char *NativeGetName(ZyfsInner *file) { return Self(file)->name; }

// Logs the first failure of a file: what failed and the system's reason.
void Report(NativeFile *self, const char *what, int code) {
  if (self->failed) return;
  self->failed = true;
  ZY_Log(ZY_LOG_WARNING, "%s '%s' failed: %s", what, self->name, strerror(code));
}

void NativeFlush(ZyfsInner *file) {
  if (fflush(Self(file)->stream) != 0) Report(Self(file), "Flushing", errno);
}

int32_t NativeRead(ZyfsInner *file, void *buffer, int32_t bytes) {
  if (bytes <= 0) return 0;
  return (int32_t)fread(buffer, 1, (size_t)bytes, Self(file)->stream);
}

int32_t NativeWrite(ZyfsInner *file, const void *buffer, int32_t bytes) {
  if (bytes <= 0) return 0;
  errno = 0;
  size_t written = fwrite(buffer, 1, (size_t)bytes, Self(file)->stream);
  if (written < (size_t)bytes) {
    int code = errno ? errno : EIO;
    Report(Self(file), "Writing", code);
    errno = code;  // still the reason for the caller, whatever logging did
  }
  return (int32_t)written;
}

void NativeClose(ZyfsInner *file) {
  NativeFile *self = Self(file);
  if (fclose(self->stream) != 0) Report(self, "Closing", errno);
  free(self->name);
  free(self->path);
  free(self);
}

const ZyfsFileOps NATIVE_FILE_OPS = {NativeSeek, NativeTell, NativeGetSize, NativeGetName,
                                     NativeFlush, NativeRead, NativeWrite, NativeClose};

char *Duplicate(const char *text) {
  size_t len = strlen(text) + 1;
  char *copy = (char *)malloc(len);
  if (copy) memcpy(copy, text, len);
  return copy;
}

ZyfsInner *NativeOpen(const char *name, const char *mode) {
  char path[ZYFS_PATH_SIZE];
  if (!ZYFS_MapToPlatformPath(name, path, sizeof path)) return NULL;
  if (ZYH_PathKind(path) == 2) return NULL;
  FILE *stream = fopen(path, mode);
  if (!stream) return NULL;
  if (mode[0] != 'r') setvbuf(stream, NULL, _IONBF, 0);
  int64_t size = 0;
  if (fseeko(stream, 0, SEEK_END) == 0) {
    size = (int64_t)ftello(stream);
    if (size < 0) size = 0;
  }
  // Append mode writes at the end whatever the position; reading starts at 0.
  fseeko(stream, 0, SEEK_SET);
  NativeFile *file = (NativeFile *)calloc(1, sizeof *file);
  char *name_copy = Duplicate(name);
  char *path_copy = Duplicate(path);
  if (!file || !name_copy || !path_copy) {
    free(file);
    free(name_copy);
    free(path_copy);
    fclose(stream);
    return NULL;
  }
  file->base.ops = &NATIVE_FILE_OPS;
  file->name = name_copy;
  file->path = path_copy;
  file->size = size;
  file->stream = stream;
  return &file->base;
}

void NativeReset(void) {}

bool NativeIsEnabled(void) { return true; }

}  // namespace

const ZyfsOpener ZYFS_NativeOpener = {"native", NativeOpen, NativeReset, NativeIsEnabled};
