// library.cpp — shared libraries for the program and implementation modules.
//
// Games name their modules the way the engine always has ("prog.dll", "rmod_soft.dll");
// on disk they are ELF shared objects with ".so" in place of ".dll". A bare name is
// always taken from the working folder (the game folder), never from the system's
// library path, so a module name can neither pick up nor be hijacked by a system
// library. Failures leave a code and the loader's text for the caller's message.
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include "host/backend.h"

static thread_local int last_error;
static thread_local char last_error_text[512];

void ZYH_SetLastError(int code, const char *text) {
  last_error = code;
  snprintf(last_error_text, sizeof last_error_text, "%s", text ? text : "");
}

int ZYH_LastError(void) { return last_error; }

const char *ZYH_LastErrorText(void) { return last_error_text; }

char *ZYH_LibraryFileName(const char *name, char *buf, size_t size) {
  if (!buf || size == 0) return buf;
  buf[0] = '\0';
  if (!name) return buf;
  size_t len = strlen(name);
  bool dll = len >= 4 && strcasecmp(name + len - 4, ".dll") == 0;
  size_t stem = dll ? len - 4 : len;
  size_t need = stem + (dll ? 3 : 0);
  // A name that does not fit stays empty rather than loading a truncated file name.
  if (need + 1 > size) return buf;
  memcpy(buf, name, stem);
  if (dll) memcpy(buf + stem, ".so", 3);
  buf[need] = '\0';
  return buf;
}

void *ZYH_LoadLibrary(const char *name) {
  char file[4096];
  if (!name || !*name) {
    ZYH_SetLastError(EINVAL, "no library name");
    return nullptr;
  }
  ZYH_LibraryFileName(name, file, sizeof file);
  if (!file[0]) {
    ZYH_SetLastError(ENAMETOOLONG, "library name too long");
    return nullptr;
  }
  char path[4096 + 2];
  // dlopen searches the system's library path for a name without '/'.
  snprintf(path, sizeof path, "%s%s", strchr(file, '/') ? "" : "./", file);

  dlerror();
  void *lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (lib) {
    ZYH_SetLastError(0, "");
    return lib;
  }
  const char *why = dlerror();
  struct stat st;
  int code = stat(path, &st) == 0 ? ENOEXEC : errno;
  ZYH_SetLastError(code, why ? why : strerror(code));
  return nullptr;
}

void *ZYH_GetSymbol(void *library, const char *symbol) {
  if (!library || !symbol) return nullptr;
  dlerror();
  void *addr = dlsym(library, symbol);
  if (!addr) {
    const char *why = dlerror();
    ZYH_SetLastError(ENOENT, why ? why : "symbol not found");
  }
  return addr;
}

void ZYH_FreeLibrary(void *library) {
  if (library) dlclose(library);
}
