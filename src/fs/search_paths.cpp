// search_paths.cpp — the ordered list of folders relative names are looked up in.
//
// Each entry is a prefixed folder ("res://", "user://", "res://data/") that ends in "/";
// index 0 is asked first. Entries are normalised when added and removed (backslashes
// become "/", a trailing "/" is added) so "res://a\b" and "res://a/b/" name one entry.
// Lookups read the list from any thread (loader threads open files all the time) while
// the game may change it: every reader holds search_lock shared for as long as it uses
// an entry, every change holds it exclusively, and nothing logs while it is exclusive.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"

static const int32_t INITIAL_CAPACITY = 32;

// malloc'd normalised copy of a search path: "/" separators and a trailing "/".
static char *Normalised(const char *path) {
  size_t len = strlen(path);
  char *copy = (char *)malloc(len + 2);
  if (!copy) return NULL;
  memcpy(copy, path, len + 1);
  for (char *p = copy; *p; p++)
    if (*p == '\\') *p = '/';
  if (len == 0 || copy[len - 1] != '/') {
    copy[len] = '/';
    copy[len + 1] = '\0';
  }
  return copy;
}

static void RemoveAt(int32_t index) {
  free(zy::fs.search_paths[index]);
  memmove(&zy::fs.search_paths[index], &zy::fs.search_paths[index + 1],
          sizeof(char *) * (size_t)(zy::fs.search_path_count - index - 1));
  zy::fs.search_path_count--;
}

static int32_t IndexOf(const char *path) {
  for (int32_t i = 0; i < zy::fs.search_path_count; i++)
    if (!strcmp(zy::fs.search_paths[i], path)) return i;
  return -1;
}

static bool Reserve(void) {
  if (zy::fs.search_path_count < zy::fs.search_path_capacity) return true;
  int32_t capacity = zy::fs.search_path_capacity ? zy::fs.search_path_capacity * 2 : INITIAL_CAPACITY;
  char **grown = (char **)realloc(zy::fs.search_paths, sizeof(char *) * (size_t)capacity);
  if (!grown) return false;
  zy::fs.search_paths = grown;
  zy::fs.search_path_capacity = capacity;
  return true;
}

void ZY_AddSearchPath(const char *path, bool at_front) {
  const char *mark = path ? strstr(path, "://") : NULL;
  if (!mark || mark - path >= ZYFS_SCHEME_LIMIT) {
    ZY_Popup(1, "zy->AddSearchPath ('%s'): path name needs to include file system target prefix "
                "such as res:// or user://.",
             path ? path : "(null)");
    return;
  }
  // Every relative name is joined to a search path, so a path that climbs out of its
  // root would carry every such name out with it.
  if (!ZYFS_IsLegalName(path)) {
    ZY_Popup(1, "zy->AddSearchPath ('%s'): path name must not contain '..' or an unknown prefix.",
             path);
    return;
  }
  char *entry = Normalised(path);
  if (!entry) return;
  ZYH_WriteLock(zy::fs.search_lock);
  int32_t old = IndexOf(entry);
  if (old >= 0) RemoveAt(old);
  bool added = Reserve();
  if (added) {
    if (at_front) {
      memmove(&zy::fs.search_paths[1], &zy::fs.search_paths[0],
              sizeof(char *) * (size_t)zy::fs.search_path_count);
      zy::fs.search_paths[0] = entry;
    } else {
      zy::fs.search_paths[zy::fs.search_path_count] = entry;
    }
    zy::fs.search_path_count++;
  }
  ZYH_RwUnlock(zy::fs.search_lock);
  if (old >= 0) ZY_Log(1, "Duplicate search path, removing the old one: '%s'", entry);
  if (!added) {
    free(entry);
    return;
  }
  ZYH_ReadLock(zy::fs.search_lock);
  ZY_Print("Adding search path '%s'.", entry);
  for (int32_t i = 0; i < zy::fs.search_path_count; i++)
    ZY_Print("Search path priority #%d: '%s'.", i + 1, zy::fs.search_paths[i]);
  ZYH_RwUnlock(zy::fs.search_lock);
}

void ZY_RemoveSearchPath(const char *path) {
  if (!path || !*path) return;
  char *wanted = Normalised(path);
  if (!wanted) return;
  ZYH_WriteLock(zy::fs.search_lock);
  int32_t index = IndexOf(wanted);
  if (index >= 0) RemoveAt(index);
  ZYH_RwUnlock(zy::fs.search_lock);
  free(wanted);
}

const char *ZY_GetSearchPath(int32_t index) {
  ZYH_ReadLock(zy::fs.search_lock);
  const char *path =
      index >= 0 && index < zy::fs.search_path_count ? zy::fs.search_paths[index] : NULL;
  ZYH_RwUnlock(zy::fs.search_lock);
  return path;
}

int32_t ZY_GetSearchPathCount(void) {
  ZYH_ReadLock(zy::fs.search_lock);
  int32_t count = zy::fs.search_path_count;
  ZYH_RwUnlock(zy::fs.search_lock);
  return count;
}
