// files.cpp — directories and file facts on native paths.
//
// The file system layer above reads and writes files with stdio; what stdio cannot do
// lives here: creating a directory, deleting a file, asking what a path is and how big a
// file is, listing a directory, and the three steps of replacing a file whole (a new
// file that no link can redirect, syncing it, renaming it over the old one). Directory listings come back in name order (byte
// order), so every result built from them is the same on every machine.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "host/backend.h"

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

bool ZYH_IsLink(const char *path) {
  struct stat st;
  return path && *path && lstat(path, &st) == 0 && S_ISLNK(st.st_mode);
}

// Records errno as this thread's last error; returns false for the caller to pass on.
static bool Failed(void) {
  int code = errno;
  ZYH_SetLastError(code, strerror(code));
  return false;
}

FILE *ZYH_CreateNewFile(const char *path) {
  if (!path || !*path) {
    errno = EINVAL;
    Failed();
    return nullptr;
  }
  // O_EXCL fails on anything already there, links included, so nothing is written
  // through a link someone placed beforehand.
  int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    Failed();
    return nullptr;
  }
  FILE *stream = fdopen(fd, "wb");
  if (!stream) {
    Failed();
    close(fd);
    unlink(path);
  }
  return stream;
}

int ZYH_OpenAppend(const char *path) {
  if (!path || !*path) {
    errno = EINVAL;
    Failed();
    return -1;
  }
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) Failed();
  return fd;
}

bool ZYH_WriteAll(int fd, const void *data, size_t size) {
  const char *p = (const char *)data;
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return Failed();
    }
    p += n;
    size -= (size_t)n;
  }
  return true;
}

void ZYH_CloseAppend(int fd) {
  if (fd >= 0) close(fd);
}

bool ZYH_SyncFile(FILE *stream) {
  if (!stream) return false;
  if (fflush(stream) != 0 || fsync(fileno(stream)) != 0) return Failed();
  return true;
}

bool ZYH_ReplaceFile(const char *from, const char *to) {
  if (!from || !to || !*from || !*to) {
    errno = EINVAL;
    return Failed();
  }
  struct stat old;
  if (lstat(to, &old) == 0 && S_ISREG(old.st_mode)) chmod(from, old.st_mode & 07777);
  if (rename(from, to) != 0) return Failed();
  // The rename lives in the folder: sync it so the new name survives a crash.
  std::string folder = to;
  size_t slash = folder.rfind('/');
  folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
  int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
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
