// files.cpp — directories and file facts on native paths.
//
// The file system layer above reads and writes files with stdio; what stdio cannot do
// lives here: creating a directory, deleting a file, asking what a path is and how big a
// file is, and listing a directory. Directory listings come back in name order (byte
// order), so every result built from them is the same on every machine.
#include <dirent.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "host/host.h"

bool ZYH_MakeDir(const char *path) {
  if (!path || !*path) return false;
  // The umask decides, except that other users never get write access: a world-writable
  // data folder would let them plant files the game trusts.
  if (mkdir(path, 0777 & ~(mode_t)S_IWOTH) != 0 && errno != EEXIST) return false;
  return ZYH_PathKind(path) == 2;
}

bool ZYH_DeleteFile(const char *path) {
  if (!path || !*path) return false;
  struct stat st;
  if (lstat(path, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  return unlink(path) == 0;
}

int ZYH_PathKind(const char *path) {
  struct stat st;
  if (!path || !*path || stat(path, &st) != 0) return 0;
  if (S_ISREG(st.st_mode)) return 1;
  if (S_ISDIR(st.st_mode)) return 2;
  return 0;
}

int64_t ZYH_FileSize(const char *path) {
  struct stat st;
  if (!path || !*path || stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return (int64_t)st.st_size;
}

bool ZYH_ListDir(const char *path, ZyhDirFunc fn, void *user) {
  if (!path || !*path || !fn) return false;
  DIR *dir = opendir(path);
  if (!dir) return false;
  std::vector<std::pair<std::string, bool>> entries;
  std::string base = path;
  if (base.back() != '/') base += '/';
  while (struct dirent *e = readdir(dir)) {
    if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
    bool is_dir;
    if (e->d_type == DT_DIR) {
      is_dir = true;
    } else if (e->d_type == DT_REG) {
      is_dir = false;
    } else {
      // Links and file systems that do not report types: ask about the target.
      is_dir = ZYH_PathKind((base + e->d_name).c_str()) == 2;
    }
    entries.emplace_back(e->d_name, is_dir);
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end());
  for (auto &entry : entries)
    if (!fn(entry.first.c_str(), entry.second, user)) break;
  return true;
}
