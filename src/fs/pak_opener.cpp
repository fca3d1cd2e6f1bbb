// pak_opener.cpp — the first opener: entries of pak archives, read in place.
//
// An archive stands for one top-level folder: res://data.pak holds what would be loose
// under res://data/. Archives are mounted on the first name that asks for them, once:
// a mounted archive keeps its directory and one open handle until the opener is reset,
// and one that is missing or refused is remembered, so its names fall through to loose
// files without touching the disk again.
//
// Each open entry gets its own handle on the archive file, so several entries read at
// once without sharing a position. Reads stop at the entry's end: a caller never sees
// the bytes of the next entry, whatever count it asks for.
//
// The archive list is guarded by the opener's own lock (files are opened from loader
// threads too); messages are written after the lock is released.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/log.h"
#include "base/state.h"
#include "fs/fs.h"
#include "fs/opener.h"
#include "fs/pak_format.h"
#include "fs/pak_opener.h"
#include "host/host.h"

// One archive tried by the opener; without a handle it is remembered as missing.
struct ZyPakArchive {
  char *name;          // virtual name of the archive ("res://data.pak")
  ZY_File *file;       // handle kept open while mounted; null when the archive failed
  int64_t real_size;   // size of the file when mounted
  ZyPakDirectory dir;  // checked directory
};

namespace {

const size_t MESSAGE_SIZE = 768;

struct PakEntryFile {
  ZyfsInner base;
  ZY_File *archive;  // this entry's own handle on the archive file
  char *name;        // the entry's name as stored
  int64_t base_offset;  // where the entry's data starts in the archive
  int64_t size;      // entry size
  int64_t pos;       // position inside the entry
};

PakEntryFile *Self(ZyfsInner *file) { return (PakEntryFile *)file; }
ZyfsInner *ArchiveInner(PakEntryFile *self) { return (ZyfsInner *)self->archive->inner; }

bool EntrySeek(ZyfsInner *file, int64_t offset, int origin) {
  PakEntryFile *self = Self(file);
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = self->pos + offset; break;
    case 2: target = self->size + offset; break;
    default: return false;
  }
  if (target < 0) return false;  // before the entry: would read the previous one
  ZyfsInner *archive = ArchiveInner(self);
  if (!archive->ops->Seek(archive, self->base_offset + target, 0)) return false;
  self->pos = target;
  return true;
}

int64_t EntryTell(ZyfsInner *file) { return Self(file)->pos; }

int64_t EntryGetSize(ZyfsInner *file) { return Self(file)->size; }

const char *EntryGetName(ZyfsInner *file) { return Self(file)->name; }

void EntryFlush(ZyfsInner *) {}

int32_t EntryRead(ZyfsInner *file, void *buffer, int32_t bytes) {
  PakEntryFile *self = Self(file);
  if (bytes <= 0 || self->pos >= self->size) return 0;
  int64_t left = self->size - self->pos;
  int32_t want = left < bytes ? (int32_t)left : bytes;
  ZyfsInner *archive = ArchiveInner(self);
  int32_t got = archive->ops->Read(archive, buffer, want);
  if (got > 0) self->pos += got;
  return got > 0 ? got : 0;
}

int32_t EntryWrite(ZyfsInner *, const void *, int32_t) { return 0; }

void EntryClose(ZyfsInner *file) {
  PakEntryFile *self = Self(file);
  ZYFS_CloseFileInternal(self->archive);
  free(self->name);
  free(self);
}

const ZyfsFileOps PAK_ENTRY_OPS = {EntrySeek, EntryTell, EntryGetSize, EntryGetName,
                                   EntryFlush, EntryRead, EntryWrite, EntryClose};

// Byte source over an open archive handle, for the directory reader.
int64_t HandleReadAt(void *user, uint64_t offset, void *buffer, size_t bytes) {
  ZyfsInner *inner = (ZyfsInner *)((ZY_File *)user)->inner;
  if (!inner->ops->Seek(inner, (int64_t)offset, 0)) return -1;
  size_t done = 0;
  while (done < bytes) {
    size_t chunk = bytes - done > (1u << 30) ? (1u << 30) : bytes - done;
    int32_t got = inner->ops->Read(inner, (char *)buffer + done, (int32_t)chunk);
    if (got <= 0) break;
    done += (size_t)got;
  }
  return (int64_t)done;
}

char *Duplicate(const char *text) {
  size_t len = strlen(text) + 1;
  char *copy = (char *)malloc(len);
  if (copy) memcpy(copy, text, len);
  return copy;
}

ZyPakArchive *FindArchive(const char *name) {
  for (int32_t i = 0; i < zy::fs.pak_count; i++)
    if (!strcmp(zy::fs.paks[i]->name, name)) return zy::fs.paks[i];
  return NULL;
}

// Opens and checks an archive into a new record (remembered as missing when that
// fails). The caller holds the lock; message receives what to log after releasing it.
ZyPakArchive *Mount(const char *name, char *message, size_t message_size) {
  message[0] = '\0';
  if (zy::fs.pak_count == zy::fs.pak_capacity) {
    int32_t capacity = zy::fs.pak_capacity ? zy::fs.pak_capacity * 2 : 8;
    ZyPakArchive **grown =
        (ZyPakArchive **)realloc(zy::fs.paks, sizeof(ZyPakArchive *) * (size_t)capacity);
    if (!grown) return NULL;
    zy::fs.paks = grown;
    zy::fs.pak_capacity = capacity;
  }
  ZyPakArchive *archive = (ZyPakArchive *)calloc(1, sizeof *archive);
  if (!archive) return NULL;
  archive->name = Duplicate(name);
  if (!archive->name) {
    free(archive);
    return NULL;
  }
  zy::fs.paks[zy::fs.pak_count++] = archive;

  ZY_File *file = ZYFS_OpenFileInternal(name, "rb");
  if (!file) return archive;  // no such archive: silently remembered as missing
  ZyPakSource source = {file, ZYFS_FileSize(file), HandleReadAt};
  char why[256];
  if (!ZYFS_PakReadDirectory(&source, &archive->dir, why, sizeof why)) {
    ZYFS_CloseFileInternal(file);
    snprintf(message, message_size, "Refusing pak '%s': %s. Its files are looked up loose.", name,
             why);
    return archive;
  }
  archive->file = file;
  archive->real_size = source.size;
  snprintf(message, message_size, "Opening new pak '%s'.\n", name);
  return archive;
}

// Finds or mounts an archive; false when it is missing or refused.
bool UseArchive(const char *name, char *message, size_t message_size) {
  ZyPakArchive *archive = FindArchive(name);
  if (!archive) archive = Mount(name, message, message_size);
  return archive && archive->file;
}

void Report(const char *message) {
  if (!message[0]) return;
  if (!strncmp(message, "Opening new pak", 15))
    ZY_Print("%s", message);
  else
    ZY_Log(2, "%s", message);
}

ZyfsInner *PakOpen(const char *name, const char *mode) {
  if (strcmp(mode, "rb") != 0 || !strncmp(name, "http://", 7)) return NULL;
  char archive_name[ZYFS_PATH_SIZE];
  const char *entry_name;
  if (!ZYFS_PakSplitName(name, archive_name, sizeof archive_name, &entry_name)) return NULL;
  if (!entry_name[0]) return NULL;

  char message[MESSAGE_SIZE] = "";
  int64_t base = 0, size = 0, real_size = 0;
  char *stored_name = NULL;
  ZYH_Lock(zy::fs.pak_lock);
  bool usable = UseArchive(archive_name, message, sizeof message);
  if (usable) {
    ZyPakArchive *archive = FindArchive(archive_name);
    int32_t index = ZYFS_PakFindEntry(&archive->dir, entry_name);
    if (index >= 0) {
      const ZyPakEntry *entry = &archive->dir.entries[index];
      base = entry->offset;
      size = entry->size;
      real_size = archive->real_size;
      stored_name = Duplicate(entry->name);
    }
  }
  ZYH_Unlock(zy::fs.pak_lock);
  Report(message);
  if (!stored_name) return NULL;

  // The entry reads through a handle of its own, so entries never share a position.
  ZY_File *handle = ZYFS_OpenFileInternal(archive_name, "rb");
  PakEntryFile *file = handle ? (PakEntryFile *)calloc(1, sizeof *file) : NULL;
  if (!file) {
    ZYFS_CloseFileInternal(handle);
    free(stored_name);
    return NULL;
  }
  file->base.ops = &PAK_ENTRY_OPS;
  file->archive = handle;
  file->name = stored_name;
  file->base_offset = base;
  file->size = size;
  // The directory was checked against the size seen at mounting; an archive replaced
  // since then could hold anything at these offsets.
  if (ZYFS_FileSize(handle) != real_size || !EntrySeek(&file->base, 0, 0)) {
    ZY_Log(2, "Pak '%s' changed on disk since it was opened; '%s' is not read from it.",
           archive_name, entry_name);
    EntryClose(&file->base);
    return NULL;
  }
  return &file->base;
}

void PakReset(void) {
  ZYH_Lock(zy::fs.pak_lock);
  for (int32_t i = 0; i < zy::fs.pak_count; i++) {
    ZyPakArchive *archive = zy::fs.paks[i];
    ZYFS_CloseFileInternal(archive->file);
    ZYFS_PakFreeDirectory(&archive->dir);
    free(archive->name);
    free(archive);
  }
  zy::fs.pak_count = 0;
  ZYH_Unlock(zy::fs.pak_lock);
}

bool PakIsEnabled(void) { return true; }

bool EndsWithNoCase(const char *text, const char *end) {
  size_t a = strlen(text), b = strlen(end);
  return a >= b && !strcasecmp(text + a - b, end);
}

}  // namespace

bool ZYFS_PakSplitName(const char *name, char *archive, size_t size, const char **entry) {
  const char *mark = strstr(name, "://");
  if (!mark || mark - name >= ZYFS_SCHEME_LIMIT) return false;
  const char *slash = strchr(mark + 3, '/');
  if (!slash) return false;
  size_t len = (size_t)(slash - name);
  if (len + 4 >= ZYFS_PATH_SIZE || len + 5 > size) return false;
  memcpy(archive, name, len);
  memcpy(archive + len, ".pak", 5);
  *entry = slash + 1;
  return true;
}

void ZYFS_PakListFolder(const char *folder, const char *ext, ZyfsPakListFunc fn, void *user) {
  char archive_name[ZYFS_PATH_SIZE];
  const char *prefix;
  if (!ZYFS_PakSplitName(folder, archive_name, sizeof archive_name, &prefix)) return;
  size_t prefix_len = strlen(prefix);
  char message[MESSAGE_SIZE] = "";
  ZYH_Lock(zy::fs.pak_lock);
  if (UseArchive(archive_name, message, sizeof message)) {
    const ZyPakDirectory *dir = &FindArchive(archive_name)->dir;
    for (uint32_t i = 0; i < dir->entry_count; i++) {
      const char *entry = dir->entries[i].name;
      if (strncasecmp(entry, prefix, prefix_len) != 0) continue;
      const char *rest = entry + prefix_len;
      if (!rest[0] || strchr(rest, '/') || !EndsWithNoCase(rest, ext)) continue;
      fn(rest, user);
    }
  }
  ZYH_Unlock(zy::fs.pak_lock);
  Report(message);
}

const ZyfsOpener ZYFS_PakOpener = {"pak", PakOpen, PakReset, PakIsEnabled};
