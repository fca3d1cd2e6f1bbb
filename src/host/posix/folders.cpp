// folders.cpp — the five platform folders, the game folder and the executable's folder.
//
// The engine builds its roots from five platform folders: per-user data (twice, because
// Linux has no writable all-users folder), documents, the game folder and the desktop.
// Per-user data follows the XDG base directory rules and is created when missing, as a
// fresh account may not have ~/.local/share yet. Documents and desktop are only used when
// they exist: creating ~/Desktop on a machine without a desktop would litter the home.
// An unusable folder answers false and the engine falls back to the game folder.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "host/host.h"

static char game_folder[PATH_MAX];

void ZYH_SetGameFolder(const char *path) {
  snprintf(game_folder, sizeof game_folder, "%s", path ? path : "");
}

static void StripTrailingSlashes(std::string &path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
}

static bool Absolute(const char *path) { return path && path[0] == '/'; }

// Creates path and every missing parent; true when it is a directory afterwards.
static bool MakeDirs(const std::string &path) {
  if (ZYH_PathKind(path.c_str()) == 2) return true;
  for (size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
    ZYH_MakeDir(path.substr(0, at).c_str());
  return ZYH_MakeDir(path.c_str());
}

static bool UserDataFolder(std::string &out) {
  const char *xdg = getenv("XDG_DATA_HOME");
  // The XDG rules say a relative value is invalid and must be ignored.
  if (xdg && Absolute(xdg)) {
    out = xdg;
  } else {
    const char *home = getenv("HOME");
    if (!Absolute(home)) return false;
    out = std::string(home) + "/.local/share";
  }
  StripTrailingSlashes(out);
  return MakeDirs(out);
}

static bool HomeSubfolder(const char *name, std::string &out) {
  const char *home = getenv("HOME");
  if (!Absolute(home)) return false;
  out = std::string(home);
  StripTrailingSlashes(out);
  if (out != "/") out += "/";
  out += name;
  return ZYH_PathKind(out.c_str()) == 2;
}

static bool GameFolder(std::string &out) {
  if (game_folder[0]) {
    out = game_folder;
  } else {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return false;
    out = cwd;
  }
  StripTrailingSlashes(out);
  return ZYH_PathKind(out.c_str()) == 2;
}

bool ZYH_PlatformFolder(int kind, char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  std::string path;
  bool ok = false;
  switch (kind) {
    case 0:
    case 1: ok = UserDataFolder(path); break;
    case 2: ok = HomeSubfolder("Documents", path); break;
    case 3: ok = GameFolder(path); break;
    case 4: ok = HomeSubfolder("Desktop", path); break;
    default: break;
  }
  if (!ok || path.size() + 1 > size) return false;
  memcpy(buf, path.c_str(), path.size() + 1);
  return true;
}

bool ZYH_ExecutableFolder(char *buf, size_t size) {
  if (!buf || size == 0) return false;
  buf[0] = '\0';
  char exe[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return false;
  exe[n] = '\0';
  char *slash = strrchr(exe, '/');
  if (!slash) return false;
  if (slash == exe)
    slash[1] = '\0';  // the executable sits in "/"
  else
    *slash = '\0';
  size_t len = strlen(exe);
  if (len + 1 > size) return false;
  memcpy(buf, exe, len + 1);
  return true;
}
