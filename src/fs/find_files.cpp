// find_files.cpp — listing the files of a folder over every search path.
//
// ZY_FindFiles answers "which *.ogg files are in sfx?" the way opening would find them:
// for each search path in priority order it lists the matching entries of the pak that
// stands for the folder, then the loose files on disk. Every name comes back as
// "folder/file", ready for ZY_OpenFile. Only one folder level is listed, and a name
// present in a pak and on disk (or under two search paths) is listed once for each.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "base/popup.h"
#include "base/state.h"
#include "fs/fs.h"
#include "fs/pak_opener.h"
#include "host/host.h"

static const size_t NAME_LIMIT = 260;

namespace {

struct Listing {
  ZY_FileList *list;
  int32_t capacity;
  const char *folder;  // folder as given, without a trailing "/"
  size_t folder_len;
  const char *ext;     // ".ogg"; ".*" matches every name
};

bool Matches(const char *name, const char *ext) {
  if (!strcmp(ext, ".*")) return true;
  size_t a = strlen(name), b = strlen(ext);
  return a >= b && !strcasecmp(name + a - b, ext);
}

void Add(const char *name, void *user) {
  Listing *listing = (Listing *)user;
  char path[NAME_LIMIT + 1];
  int n = listing->folder_len
              ? snprintf(path, sizeof path, "%.*s/%s", (int)listing->folder_len, listing->folder, name)
              : snprintf(path, sizeof path, "%s", name);
  if (n < 0 || (size_t)n > NAME_LIMIT) return;
  ZY_FileList *list = listing->list;
  if (list->count == listing->capacity) {
    int32_t capacity = listing->capacity ? listing->capacity * 2 : 16;
    char **grown = (char **)realloc(list->files, sizeof(char *) * (size_t)capacity);
    if (!grown) return;
    list->files = grown;
    listing->capacity = capacity;
  }
  char *copy = (char *)malloc((size_t)n + 1);
  if (!copy) return;
  memcpy(copy, path, (size_t)n + 1);
  list->files[list->count++] = copy;
}

bool AddDiskFile(const char *name, bool is_dir, void *user) {
  Listing *listing = (Listing *)user;
  if (!is_dir && Matches(name, listing->ext)) Add(name, user);
  return true;
}

}  // namespace

bool ZY_FindFiles(ZY_FileList *list, const char *folder, const char *pattern, int32_t flags) {
  if (!list) return false;
  list->files = NULL;
  list->count = 0;
  if (!folder || !pattern) return false;

  char scheme[32] = "";
  if (const char *mark = strstr(folder, "://")) {
    size_t len = (size_t)(mark - folder);
    snprintf(scheme, sizeof scheme, "%.*s", (int)(len < 31 ? len : 31), folder);
  }
  if (scheme[0] && strcmp(scheme, "res") != 0) {
    ZY_Popup(1, "ZYFS_FindFiles should be passed only res:// paths or paths without prefix. "
                "'%s://' not permitted. Returning 0 files.\n",
             scheme);
    return false;
  }
  if (scheme[0] && (flags & ZY_FIND_RECURSE_SUBDIRS)) {
    ZY_Popup(1, "FindFiles subdir recursing is not implemented yet for external files. Forcing "
                "parm recurse_subdirs to false.\n");
    flags &= ~ZY_FIND_RECURSE_SUBDIRS;
  }
  // The extension is matched against single names, so it may not carry a separator.
  if (strncmp(pattern, "*.", 2) != 0 || strchr(pattern, '/') || strchr(pattern, '\\')) {
    ZY_Popup(1, "FindFiles wildcard '%s' is not implemented yet for file paks. Please use simple "
                "wildcards like '*.ogg'\n",
             pattern);
    return false;
  }
  if (scheme[0]) {
    ZY_Popup(1, "FindFiles with prefixes is not implemented yet.'\n");
    return false;
  }
  // The folder is joined to every search path: it must not climb out of them.
  if (!ZYFS_IsLegalName(folder)) {
    ZY_Popup(1, "FindFiles: illegal folder name '%s'. Returning 0 files.\n", folder);
    return false;
  }

  size_t folder_len = strlen(folder);
  while (folder_len && folder[folder_len - 1] == '/') folder_len--;
  Listing listing = {list, 0, folder, folder_len, pattern + 1};
  ZYH_ReadLock(zy::fs.search_lock);
  for (int32_t s = 0; s < zy::fs.search_path_count; s++) {
    char combined[ZYFS_PATH_SIZE];
    int n = folder_len ? snprintf(combined, sizeof combined, "%s%.*s/", zy::fs.search_paths[s],
                                  (int)folder_len, folder)
                       : snprintf(combined, sizeof combined, "%s", zy::fs.search_paths[s]);
    if (n < 0 || (size_t)n >= sizeof combined) continue;
    ZYFS_PakListFolder(combined, listing.ext, Add, &listing);
    char native[ZYFS_PATH_SIZE];
    if (ZYFS_MapToPlatformPath(combined, native, sizeof native)) {
      size_t len = strlen(native);
      if (len > 1 && native[len - 1] == '/') native[len - 1] = '\0';
      ZYH_ListDir(native, AddDiskFile, &listing);
    }
  }
  ZYH_RwUnlock(zy::fs.search_lock);
  if (list->count == 0) {
    free(list->files);
    list->files = NULL;
    return false;
  }
  return true;
}

void ZY_FreeFileList(ZY_FileList *list) {
  if (!list) return;
  for (int32_t i = 0; i < list->count; i++) free(list->files[i]);
  free(list->files);
  list->files = NULL;
  list->count = 0;
}
