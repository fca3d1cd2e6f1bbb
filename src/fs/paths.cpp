// paths.cpp — platform folders, roots, name checks and the mapping to native paths.
//
// Five platform folders come from the host layer at start-up; the five roots are built
// from them once the developer and program names are known (user data lives in
// <data>/<developer>/<program>). A virtual name maps to a native path only through a
// root, and only after ZYFS_IsLegalName has refused everything that could climb out of
// one: on Linux "/" is the only separator, so refusing "..", a leading "/" and unknown
// schemes is enough to keep every mapped path below its root (a backslash is an
// ordinary character in a native name and cannot separate anything).
//
// Also here: the ZY_GetPath ring of 16 buffers, directory creation, file deletion and
// the two small path helpers (collapsing "x/../" and taking the folder part).
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "fs/fs.h"
#include "fs/opener.h"
#include "host/host.h"

ZyFs zy::fs;  // engine state: roots, search paths, openers, mounted paks, path ring

static const char *const DEFAULT_DEVELOPER = "Qarvel";
static const char *const DEFAULT_PROGRAM = "unknown";

// Prefix written for a root kind: the user kinds 0-2 and the resource kinds 3-4.
static const char *RootPrefix(int32_t kind) {
  if (kind >= 0 && kind <= 2) return "user://";
  if (kind >= 3 && kind <= 4) return "res://";
  return "";
}

static void Slashes(char *path) {
  for (char *p = path; *p; p++)
    if (*p == '\\') *p = '/';
}

// Copies a text into a fixed buffer; false (and "") when it does not fit.
static bool CopyFitting(char *out, size_t size, const char *text) {
  size_t len = strlen(text);
  if (len + 1 > size) {
    if (size) out[0] = '\0';
    return false;
  }
  memcpy(out, text, len + 1);
  return true;
}

// A folder name taken from configuration: separators become "_", so the name is one
// folder level, and "." or ".." (which would name no level or the parent) fall back to
// the default.
static void FolderName(char *out, size_t size, const char *name, const char *fallback) {
  if (!name || !*name) name = fallback;
  snprintf(out, size, "%s", name);
  for (char *p = out; *p; p++)
    if (*p == '/' || *p == '\\') *p = '_';
  if (!strcmp(out, ".") || !strcmp(out, "..")) snprintf(out, size, "%s", fallback);
}

// Builds roots 0 and 1 from the platform folders and the names; 2-4 are the folders.
static void BuildRoots(void) {
  for (int k = 0; k < 2; k++) {
    char root[ZYFS_PATH_SIZE];
    int n = snprintf(root, sizeof root, "%s/%s/%s", zy::fs.platform_folders[k], zy::fs.developer,
                     zy::fs.program);
    // A root cut short would name some other folder; leave it unusable instead.
    if (n < 0 || (size_t)n >= sizeof root || !zy::fs.platform_folders[k][0]) root[0] = '\0';
    memcpy(zy::fs.roots[k], root, sizeof root);
  }
  for (int k = 2; k < ZYFS_FOLDER_COUNT; k++)
    memcpy(zy::fs.roots[k], zy::fs.platform_folders[k], ZYFS_PATH_SIZE);
}

bool ZYFS_Init(void) {
  char folder[ZYFS_PATH_SIZE];
  // Folder 3 (the game folder) is the fallback of every other slot.
  char game[ZYFS_PATH_SIZE] = "";
  if (!ZYH_PlatformFolder(3, game, sizeof game) && !ZYH_ExecutableFolder(game, sizeof game))
    game[0] = '\0';
  for (int k = 0; k < ZYFS_FOLDER_COUNT; k++) {
    if (k == 3 || !ZYH_PlatformFolder(k, folder, sizeof folder)) CopyFitting(folder, sizeof folder, game);
    Slashes(folder);
    memcpy(zy::fs.platform_folders[k], folder, sizeof folder);
  }

  zy::fs.opener_count = 0;
  ZYFS_AddOpener(&ZYFS_PakOpener);
  ZYFS_AddOpener(&ZYFS_NativeOpener);
  if (!zy::fs.pak_lock) zy::fs.pak_lock = ZYH_LockCreate();
  if (!zy::fs.search_lock) zy::fs.search_lock = ZYH_RwLockCreate();

  FolderName(zy::fs.developer, sizeof zy::fs.developer, NULL, DEFAULT_DEVELOPER);
  FolderName(zy::fs.program, sizeof zy::fs.program, NULL, DEFAULT_PROGRAM);
  BuildRoots();
  zy::fs.initialized = 1;
  return zy::fs.roots[3][0] != '\0';
}

void ZYFS_SetNames(const char *developer, const char *program) {
  FolderName(zy::fs.developer, sizeof zy::fs.developer, developer, DEFAULT_DEVELOPER);
  FolderName(zy::fs.program, sizeof zy::fs.program, program, DEFAULT_PROGRAM);
  BuildRoots();
  // The developer folder first, then the program's own folder inside it.
  char path[ZYFS_PATH_SIZE];
  int n = snprintf(path, sizeof path, "%s/%s", zy::fs.platform_folders[0], zy::fs.developer);
  if (n > 0 && (size_t)n < sizeof path && zy::fs.platform_folders[0][0]) ZYH_MakeDir(path);
  if (zy::fs.roots[0][0]) ZYH_MakeDir(zy::fs.roots[0]);
}

bool ZYFS_SetRoot(int32_t kind, const char *native_path) {
  if (kind < 0 || kind >= ZYFS_FOLDER_COUNT) return false;
  char root[ZYFS_PATH_SIZE];
  if (!CopyFitting(root, sizeof root, native_path ? native_path : "")) return false;
  Slashes(root);
  memcpy(zy::fs.roots[kind], root, sizeof root);
  return true;
}

const char *ZYFS_GetRoot(int32_t kind) {
  if (kind < 0 || kind >= ZYFS_FOLDER_COUNT) return "";
  return zy::fs.roots[kind];
}

// ---------------------------------------------------------------------------------
// Names
// ---------------------------------------------------------------------------------

bool ZYFS_IsLegalName(const char *name) {
  if (!name || name[0] == '/') return false;
  if (strstr(name, "..")) return false;
  const char *colon = strchr(name, ':');
  if (colon) {
    size_t len = (size_t)(colon - name);
    if (len >= ZYFS_SCHEME_LIMIT) return false;
    if (!(len == 3 && !strncmp(name, "res", 3)) && !(len == 4 && !strncmp(name, "user", 4)) &&
        !(len == 4 && !strncmp(name, "http", 4)))
      return false;
  }
  return true;
}

// Length of the scheme when "://" starts within the first 16 characters, else -1.
static int SchemeLength(const char *name) {
  const char *mark = strstr(name, "://");
  if (!mark || mark - name >= ZYFS_SCHEME_LIMIT) return -1;
  return (int)(mark - name);
}

bool ZYFS_MapToPlatformPath(const char *name, char *out, size_t size) {
  if (!out || !size) return false;
  out[0] = '\0';
  if (!name) return false;
  int scheme = SchemeLength(name);
  const char *root;
  if (scheme == 3 && !strncmp(name, "res", 3))
    root = zy::fs.roots[3];
  else if (scheme == 4 && !strncmp(name, "user", 4))
    root = zy::fs.roots[0];
  else
    return false;  // http:// names belong to the HTTP opener; nothing else has a root
  if (!root[0]) return false;
  int n = snprintf(out, size, "%s/%s", root, name + scheme + 3);
  if (n < 0 || (size_t)n >= size || n >= ZYFS_PATH_SIZE) {
    out[0] = '\0';
    return false;
  }
  return true;
}

bool ZYFS_MapToVirtualPath(const char *native_path, char *out, size_t size) {
  if (!out || !size) return false;
  out[0] = '\0';
  if (!native_path) return false;
  for (int k = 0; k < ZYFS_FOLDER_COUNT; k++) {
    const char *root = zy::fs.roots[k];
    size_t len = strlen(root);
    if (!len || strncmp(native_path, root, len) != 0) continue;
    const char *rest = native_path + len;
    if (*rest != '/' && *rest != '\0') continue;  // "/a/bc" does not lie under "/a/b"
    if (*rest == '/') rest++;
    int n = snprintf(out, size, "%s%s", RootPrefix(k), rest);
    if (n < 0 || (size_t)n >= size) {
      out[0] = '\0';
      return false;
    }
    return true;
  }
  return false;
}

void ZYFS_CollapsePath(char *path) {
  if (!path) return;
  for (;;) {
    char *dots = strstr(path, "/../");
    // Find the first "/../" whose preceding component can be removed.
    while (dots) {
      char *start = dots;
      while (start > path && start[-1] != '/') start--;
      size_t len = (size_t)(dots - start);
      bool removable = len > 0 && !(len == 2 && !strncmp(start, "..", 2)) && start[len - 1] != ':';
      if (removable) {
        memmove(start, dots + 4, strlen(dots + 4) + 1);
        break;
      }
      dots = strstr(dots + 1, "/../");
    }
    if (!dots) return;
  }
}

void ZYFS_FolderOf(const char *path, char *out, size_t size) {
  if (!out || !size) return;
  out[0] = '\0';
  if (!path) return;
  const char *slash = strrchr(path, '/');
  if (!slash) return;
  size_t len = (size_t)(slash - path);
  if (len >= size) len = size - 1;
  memcpy(out, path, len);
  out[len] = '\0';
}

// ---------------------------------------------------------------------------------
// Path texts
// ---------------------------------------------------------------------------------

// Next buffer of the ring; the caller holds GET_PATH.
static char *NextRingBuffer(void) {
  zy::fs.path_ring_index = (zy::fs.path_ring_index + 1) % ZYFS_RING_COUNT;
  return zy::fs.path_ring[zy::fs.path_ring_index];
}

const char *ZY_GetPath(int32_t root_kind, const char *format, ...) {
  if (!ZY_IsMainThread())
    ZY_Popup(1, "Unsafe call to ZYLEM interface method GetPath. Only main thread can call the "
                "method. Use GetPathEx instead.");
  char text[ZYFS_FORMAT_SIZE] = "";
  if (format) {
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  ZYI_Lock(ZYI_LOCK_GET_PATH);
  char *out = NextRingBuffer();
  // A longer name is cut at the ring buffer's size; ZY_GetPathEx serves longer ones.
  if (snprintf(out, ZYFS_RING_SIZE, "%s%s", RootPrefix(root_kind), text) >= ZYFS_RING_SIZE)
    out[ZYFS_RING_SIZE - 1] = 0;
  ZYI_Unlock(ZYI_LOCK_GET_PATH);
  return out;
}

char *ZY_GetPathEx(char *buffer, int32_t buffer_size, int32_t root_kind, const char *format, ...) {
  if (!buffer) return NULL;
  char text[ZYFS_FORMAT_SIZE] = "";
  if (format) {
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
  }
  // The caller's size is honoured; a game that passes none gets at most a classic
  // 260-character path rather than an unbounded write.
  size_t size = buffer_size > 0 ? (size_t)buffer_size : ZYFS_RING_SIZE;
  snprintf(buffer, size, "%s%s", RootPrefix(root_kind), text);
  return buffer;
}

const char *ZYFS_FindPath(const char *name, bool readable_only) {
  if (!ZYFS_IsLegalName(name)) return NULL;
  const char *found = NULL;
  ZYI_Lock(ZYI_LOCK_GET_PATH);
  ZYH_ReadLock(zy::fs.search_lock);
  for (int32_t i = 0; i < zy::fs.search_path_count && !found; i++) {
    char candidate[ZYFS_RING_SIZE];
    int n = snprintf(candidate, sizeof candidate, "%s%s", zy::fs.search_paths[i], name);
    if (n < 0 || (size_t)n >= sizeof candidate) continue;
    if (ZY_File *file = ZYFS_OpenFileInternal(candidate, "rb")) {
      ZYFS_CloseFileInternal(file);
      found = candidate;
    } else if (!readable_only) {
      if (ZY_File *created = ZYFS_OpenFileInternal(candidate, "wb")) {
        ZYFS_CloseFileInternal(created);
        ZY_DeleteFile(candidate);
        found = candidate;
      }
    }
    if (found) {
      char *out = NextRingBuffer();
      memcpy(out, candidate, (size_t)n + 1);
      found = out;
    }
  }
  ZYH_RwUnlock(zy::fs.search_lock);
  ZYI_Unlock(ZYI_LOCK_GET_PATH);
  return found;
}

// ---------------------------------------------------------------------------------
// Folders and deletion
// ---------------------------------------------------------------------------------

bool ZY_CreateDir(const char *path) {
  ZY_Log(3, "Creating Directory: '%s'..\n", path ? path : "");
  if (!ZYFS_IsLegalName(path)) return false;
  char native[ZYFS_PATH_SIZE + 1];
  if (!ZYFS_MapToPlatformPath(path, native, ZYFS_PATH_SIZE)) return false;
  size_t len = strlen(native);
  if (native[len - 1] != '/') {
    native[len++] = '/';
    native[len] = '\0';
  }
  char check[ZYFS_PATH_SIZE + 16];
  if (!ZYFS_MapToVirtualPath(native, check, sizeof check)) return false;

  // Every missing level is made with the host's defaults: never writable by others.
  ZYI_Lock(ZYI_LOCK_CREATE_DIR);
  for (size_t i = 1; i < len; i++) {
    if (native[i] != '/') continue;
    native[i] = '\0';
    if (ZYH_PathKind(native) != 2) ZYH_MakeDir(native);
    native[i] = '/';
  }
  ZYI_Unlock(ZYI_LOCK_CREATE_DIR);
  native[len - 1] = '\0';
  return ZYH_PathKind(native) == 2;
}

bool ZY_DeleteFile(const char *path) {
  if (!ZYFS_IsLegalName(path)) return false;
  char native[ZYFS_PATH_SIZE];
  if (!ZYFS_MapToPlatformPath(path, native, sizeof native)) return false;
  return ZYH_DeleteFile(native);
}
