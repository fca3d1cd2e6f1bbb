// search_paths.cpp — the ordered list of folders relative names are looked up in.
//
// Each entry is a prefixed folder ("res://", "user://", "res://data/") that ends in "/";
// index 0 is asked first. Entries are normalised when added and removed (backslashes
// become "/", a trailing "/" is added) so "res://a\b" and "res://a/b/" name one entry.
// The list is changed from the main thread only; lookups read it from any thread.
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"

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
  int32_t old = IndexOf(entry);
  if (old >= 0) {
    ZY_Log(1, "Duplicate search path, removing the old one: '%s'", entry);
    RemoveAt(old);
  }
  if (!Reserve()) {
    free(entry);
    return;
  }
  ZY_Print("Adding search path '%s'.", entry);
  if (at_front) {
    memmove(&zy::fs.search_paths[1], &zy::fs.search_paths[0],
            sizeof(char *) * (size_t)zy::fs.search_path_count);
    zy::fs.search_paths[0] = entry;
  } else {
    zy::fs.search_paths[zy::fs.search_path_count] = entry;
  }
  zy::fs.search_path_count++;
  for (int32_t i = 0; i < zy::fs.search_path_count; i++)
    ZY_Print("Search path priority #%d: '%s'.", i + 1, zy::fs.search_paths[i]);
}

void ZY_RemoveSearchPath(const char *path) {
  if (!path || !*path) return;
  char *wanted = Normalised(path);
  if (!wanted) return;
  int32_t index = IndexOf(wanted);
  if (index >= 0) RemoveAt(index);
  free(wanted);
}

const char *ZY_GetSearchPath(int32_t index) {
  if (index < 0 || index >= zy::fs.search_path_count) return NULL;
  return zy::fs.search_paths[index];
}

int32_t ZY_GetSearchPathCount(void) { return zy::fs.search_path_count; }
