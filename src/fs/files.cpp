// files.cpp — file handles: opening through the openers, reading, writing, closing.
//
// ZY_OpenFile checks the name and the mode, then asks the openers: a prefixed name goes
// to every registered opener in order, a relative name (reading only) is joined to each
// search path in priority order and offered to the enabled openers, so a pak entry hides
// a loose file of the same candidate name and an earlier search path hides a later one.
// The winner's inner file is wrapped in a ZY_File of three words.
//
// Open files are counted twice over: ZY_OpenFile and its handle add one each, engine
// internal opens only the handle; the count of files the program holds is kept apart so
// the shut-down summary reports files, not counter steps.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"
#include "fs/opener.h"
#include "host/host.h"

static int32_t CounterAdd(int32_t *counter, int32_t delta) {
  return __atomic_add_fetch(counter, delta, __ATOMIC_RELAXED);
}

static int32_t CounterGet(int32_t *counter) { return __atomic_load_n(counter, __ATOMIC_RELAXED); }

// ---------------------------------------------------------------------------------
// Openers
// ---------------------------------------------------------------------------------

bool ZYFS_AddOpener(const ZyfsOpener *opener) {
  if (!opener || zy::fs.opener_count >= ZYFS_MAX_OPENERS) return false;
  for (int32_t i = 0; i < zy::fs.opener_count; i++)
    if (zy::fs.openers[i] == opener) return false;
  zy::fs.openers[zy::fs.opener_count++] = opener;
  return true;
}

void ZYFS_ResetOpeners(void) {
  for (int32_t i = 0; i < zy::fs.opener_count; i++)
    if (zy::fs.openers[i]->Reset) zy::fs.openers[i]->Reset();
}

void ZYFS_Shutdown(void) {
  ZYFS_ResetOpeners();
  ZYH_WriteLock(zy::fs.search_lock);
  for (int32_t i = 0; i < zy::fs.search_path_count; i++) free(zy::fs.search_paths[i]);
  free(zy::fs.search_paths);
  zy::fs.search_paths = NULL;
  zy::fs.search_path_count = 0;
  zy::fs.search_path_capacity = 0;
  ZYH_RwUnlock(zy::fs.search_lock);
  ZYH_RwLockDestroy(zy::fs.search_lock);
  zy::fs.search_lock = NULL;
  free(zy::fs.paks);
  zy::fs.paks = NULL;
  zy::fs.pak_count = 0;
  zy::fs.pak_capacity = 0;
  ZYH_LockDestroy(zy::fs.pak_lock);
  zy::fs.pak_lock = NULL;
  zy::fs.opener_count = 0;
  zy::fs.initialized = 0;
}

int32_t ZYFS_OpenFileCount(void) { return CounterGet(&zy::fs.program_files); }

ZyfsInner *ZYFS_OpenInner(const char *name, const char *mode) {
  const char *mark = strstr(name, "://");
  if (mark && mark - name < ZYFS_SCHEME_LIMIT) {
    for (int32_t i = 0; i < zy::fs.opener_count; i++)
      if (ZyfsInner *inner = zy::fs.openers[i]->Open(name, mode)) return inner;
    return NULL;
  }
  // Relative names are looked up, so they can only be read: writing one would have to
  // guess which search path was meant.
  if (strcmp(mode, "rb") != 0) return NULL;
  ZyfsInner *found = NULL;
  ZYH_ReadLock(zy::fs.search_lock);
  for (int32_t s = 0; s < zy::fs.search_path_count && !found; s++) {
    char candidate[ZYFS_PATH_SIZE * 2];
    int n = snprintf(candidate, sizeof candidate, "%s%s", zy::fs.search_paths[s], name);
    if (n < 0 || (size_t)n >= sizeof candidate) continue;
    for (int32_t i = 0; i < zy::fs.opener_count && !found; i++) {
      const ZyfsOpener *opener = zy::fs.openers[i];
      if (opener->IsEnabled && !opener->IsEnabled()) continue;
      found = opener->Open(candidate, mode);
    }
  }
  ZYH_RwUnlock(zy::fs.search_lock);
  return found;
}

// ---------------------------------------------------------------------------------
// Handles
// ---------------------------------------------------------------------------------

// The normalised mode ("rb", "wb", "ab"), or null for anything else.
static const char *NormalMode(const char *mode) {
  if (!mode) return NULL;
  if (!strcmp(mode, "r") || !strcmp(mode, "rb")) return "rb";
  if (!strcmp(mode, "w") || !strcmp(mode, "wb")) return "wb";
  if (!strcmp(mode, "a") || !strcmp(mode, "ab")) return "ab";
  return NULL;
}

static ZyfsInner *Inner(ZY_File *file) { return file ? (ZyfsInner *)file->inner : NULL; }

// Wraps an inner file in a new handle and counts it; the inner file is closed when the
// handle cannot be allocated.
static ZY_File *MakeHandle(ZyfsInner *inner) {
  ZY_File *file = (ZY_File *)calloc(1, sizeof *file);
  if (!file) {
    inner->ops->Close(inner);
    return NULL;
  }
  int64_t size = inner->ops->GetSize(inner);
  file->name = inner->ops->GetName(inner);
  file->size = size > INT32_MAX ? INT32_MAX : (int32_t)size;
  file->inner = inner;
  CounterAdd(&zy::fs.open_count, 1);
  return file;
}

// Destroys a handle: the inner half of closing.
static void DestroyHandle(ZY_File *file) {
  if (CounterGet(&zy::fs.open_count) < 0)
    ZY_Popup(1, "CloseFile closing too many file handles!\n");
  CounterAdd(&zy::fs.open_count, -1);
  if (ZyfsInner *inner = Inner(file))
    inner->ops->Close(inner);
  else
    ZY_Popup(1, "CloseFile: inner file should always exist!\n");
  free(file);
}

ZY_File *ZYFS_OpenFileInternal(const char *name, const char *mode) {
  const char *normal = NormalMode(mode);
  if (!normal || !ZYFS_IsLegalName(name)) return NULL;
  ZyfsInner *inner = ZYFS_OpenInner(name, normal);
  return inner ? MakeHandle(inner) : NULL;
}

void ZYFS_CloseFileInternal(ZY_File *file) {
  if (file) DestroyHandle(file);
}

int64_t ZYFS_FileSize(ZY_File *file) {
  ZyfsInner *inner = Inner(file);
  return inner ? inner->ops->GetSize(inner) : 0;
}

ZY_File *ZY_OpenFile(const char *name, const char *mode) {
  if (!ZYFS_IsLegalName(name)) {
    ZY_Popup(1, "zy->OpenFile: Illegal file name '%s'.\nValid name can start with either res://, "
                "user://, or relative path like ('ui/').",
             name ? name : "(null)");
    return NULL;
  }
  const char *normal = NormalMode(mode);
  if (!normal) {
    ZY_Popup(1, "zy->OpenFile: Illegal mode '%s' while opening file '%s'\nValid modes are read "
                "(\"r\"), write (\"w\"), and append (\"a\").",
             mode ? mode : "(null)", name);
    return NULL;
  }
  ZyfsInner *inner = ZYFS_OpenInner(name, normal);
  if (!inner) return NULL;
  ZY_File *file = MakeHandle(inner);
  if (!file) return NULL;
  CounterAdd(&zy::fs.open_count, 1);
  CounterAdd(&zy::fs.program_files, 1);
  return file;
}

int32_t ZY_CloseFile(ZY_File *file) {
  if (!file) return 0;
  if (CounterGet(&zy::fs.open_count) < 0) ZY_Log(1, "CloseFile closing too many file handles!");
  CounterAdd(&zy::fs.open_count, -1);
  CounterAdd(&zy::fs.program_files, -1);
  DestroyHandle(file);
  return 0;
}

// ---------------------------------------------------------------------------------
// Transfers and positions
// ---------------------------------------------------------------------------------

int32_t ZY_ReadFile(void *buffer, int32_t bytes, ZY_File *file) {
  ZyfsInner *inner = Inner(file);
  if (!inner || !buffer || bytes <= 0) return 0;
  return inner->ops->Read(inner, buffer, bytes);
}

int32_t ZY_WriteFile(const void *buffer, int32_t bytes, ZY_File *file) {
  ZyfsInner *inner = Inner(file);
  if (!inner || !buffer || bytes <= 0) return 0;
  return inner->ops->Write(inner, buffer, bytes);
}

// item_size * item_count as a byte count, or -1 when it is negative or too large.
static int32_t ItemBytes(int32_t item_size, int32_t item_count) {
  if (item_size <= 0 || item_count <= 0) return 0;
  int64_t total = (int64_t)item_size * item_count;
  return total > INT32_MAX ? -1 : (int32_t)total;
}

int32_t ZY_ReadItems(void *buffer, int32_t item_size, int32_t item_count, ZY_File *file) {
  int32_t bytes = ItemBytes(item_size, item_count);
  return bytes > 0 ? ZY_ReadFile(buffer, bytes, file) : 0;
}

int32_t ZY_WriteItems(const void *buffer, int32_t item_size, int32_t item_count, ZY_File *file) {
  int32_t bytes = ItemBytes(item_size, item_count);
  return bytes > 0 ? ZY_WriteFile(buffer, bytes, file) : 0;
}

int32_t ZY_ReadByte(ZY_File *file) {
  unsigned char byte = 0;
  if (ZY_ReadFile(&byte, 1, file) != 1) return 0;
  return byte;
}

void ZY_FlushFile(ZY_File *file) {
  if (ZyfsInner *inner = Inner(file)) inner->ops->Flush(inner);
}

int32_t ZY_TellFile(ZY_File *file) {
  ZyfsInner *inner = Inner(file);
  if (!inner) return -1;
  int64_t pos = inner->ops->Tell(inner);
  return pos > INT32_MAX ? INT32_MAX : (int32_t)pos;
}

bool ZY_SeekFile(ZY_File *file, int32_t offset, int32_t origin) {
  ZyfsInner *inner = Inner(file);
  if (!inner || origin < 0 || origin > 2) return false;
  return inner->ops->Seek(inner, offset, origin);
}
