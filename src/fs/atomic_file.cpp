// atomic_file.cpp — the temporary file, its commit and its abandonment.
//
// The temporary file is named ".zytmp-<thread id>-<serial>" in the target's folder: the
// same file system, so the rename cannot turn into a copy, and a short name whatever
// the target's length. Creation never reuses a name that exists, so two writers (or a
// planted link) can never share one.
#include "fs/atomic_file.h"

#include <errno.h>
#include <string.h>

#include <atomic>

#include "host/host.h"

static std::atomic<unsigned> serial{0};

bool ZYFS_AtomicOpen(ZyfsAtomicFile *file, const char *native_path) {
  memset(file, 0, sizeof *file);
  size_t length = native_path ? strlen(native_path) : 0;
  if (length == 0 || length >= sizeof file->target) {
    file->error = length ? ENAMETOOLONG : EINVAL;
    return false;
  }
  memcpy(file->target, native_path, length + 1);
  const char *slash = strrchr(native_path, '/');
  int folder = slash ? (int)(slash - native_path + 1) : 0;
  for (int attempt = 0; attempt < 100; attempt++) {
    snprintf(file->temp, sizeof file->temp, "%.*s.zytmp-%u-%u", folder, native_path,
             (unsigned)ZYH_ThreadId(), serial.fetch_add(1));
    file->stream = ZYH_CreateNewFile(file->temp);
    if (file->stream) return true;
    if (ZYH_LastError() != EEXIST) break;
  }
  file->error = ZYH_LastError();
  file->temp[0] = '\0';
  return false;
}

bool ZYFS_AtomicCommit(ZyfsAtomicFile *file) {
  if (!file->stream) return false;
  bool ok = true;
  if (ferror(file->stream)) {
    file->error = errno ? errno : EIO;  // a write failed earlier; errno may still say why
    ok = false;
  } else if (!ZYH_SyncFile(file->stream)) {
    file->error = ZYH_LastError();
    ok = false;
  }
  if (fclose(file->stream) != 0 && ok) {
    file->error = errno;
    ok = false;
  }
  file->stream = NULL;
  if (ok && !ZYH_ReplaceFile(file->temp, file->target)) {
    file->error = ZYH_LastError();
    ok = false;
  }
  if (!ok) ZYH_DeleteFile(file->temp);
  return ok;
}

void ZYFS_AtomicAbandon(ZyfsAtomicFile *file) {
  if (!file->stream) return;
  fclose(file->stream);
  file->stream = NULL;
  ZYH_DeleteFile(file->temp);
}
