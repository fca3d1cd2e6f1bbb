// download_cache.cpp — the "http://" opener of the file system: download once into
// user://cache, then read the local copy.
//
// The opener serves only reading, only "http://" names, and only once the engine has
// finished initialising; otherwise it answers null like any opener that does not serve
// a name. A URL whose cache file opens is read from disk without asking the network.
// Otherwise the URL is fetched with the engine's download abort flag, and only a
// complete body is kept: it is written to a temporary file beside the cache file and
// renamed into place in one step, so a crash, a full disk or a lost connection never
// leaves a partial file that a later run would take for the resource.
//
// The cache name flattens the URL ("/" becomes "_", anything but letters, digits and
// ".-_~%" is dropped), so two URLs that differ only in dropped characters share a file.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/state.h"
#include "fs/atomic_file.h"
#include "fs/fs.h"
#include "fs/opener.h"
#include "net/net.h"

ZyNet zy::net;  // engine state: the HTTP client's limits and the download abort flag

namespace {

const char *const CACHE_FOLDER = "user://cache";

bool Kept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         strchr(".-_~%", c) != nullptr;
}

// Writes the downloaded bytes to the cache file whole; false (and nothing left behind)
// when any step fails.
bool Save(const char *cache_name, const ZY_Data *data) {
  char native[ZYFS_PATH_SIZE];
  ZyfsAtomicFile file;
  if (!ZYFS_MapToPlatformPath(cache_name, native, sizeof native) ||
      !ZYFS_AtomicOpen(&file, native)) {
    ZY_Print("Unable to open saved cachefile '%s'.\n", cache_name);
    return false;
  }
  if (data->length > 0) fwrite(data->data, 1, (size_t)data->length, file.stream);
  if (!ZYFS_AtomicCommit(&file)) {
    ZY_Log(ZY_LOG_WARNING, "Unable to write cachefile '%s': %s\n", cache_name, strerror(file.error));
    return false;
  }
  return true;
}

ZyfsInner *HttpOpen(const char *name, const char *mode) {
  if (strcmp(mode, "rb") != 0 || strncmp(name, "http://", 7) != 0) return nullptr;
  if (!__atomic_load_n(&zy::core.core_initialized, __ATOMIC_RELAXED)) return nullptr;
  ZY_Print("HTTP trying open '%s'..", name);
  ZY_CreateDir(CACHE_FOLDER);
  char cache_name[ZYNET_CACHE_NAME_LIMIT];
  if (!ZYI_HttpCacheName(name, cache_name, sizeof cache_name)) {
    ZY_Log(ZY_LOG_WARNING, "The cache name of '%s' would be %d characters or longer.\n", name,
           ZYNET_CACHE_NAME_LIMIT);
    return nullptr;
  }
  if (ZyfsInner *cached = ZYFS_NativeOpener.Open(cache_name, mode)) return cached;

  ZY_Print("Doesn't exist in cache, starting download..");
  ZY_Data data = {nullptr, 0, 0, 0};
  int32_t result = ZY_HttpRequest(ZY_HTTP_REQUEST_GET, name, "application/octet-stream", nullptr,
                                  0, &data, &zy::net.download_abort);
  if (result != ZY_HTTP_OK) {
    ZY_Print("Failed to open '%s': return code %d", name, (int)result);
    ZY_FreeData(&data);
    return nullptr;
  }
  if (data.length < data.expected_length) {
    ZY_Log(ZY_LOG_WARNING, "Download for '%s' not complete (%d%% of %.1fKB done). Not saving.\n",
           name, (int)((int64_t)data.length * 100 / data.expected_length),
           data.expected_length / 1024.0);
    ZY_FreeData(&data);
    return nullptr;
  }
  ZY_Print("Done downloading %d bytes for '%s'. Writing file to local cache.", (int)data.length, name);
  bool saved = Save(cache_name, &data);
  ZY_FreeData(&data);
  return saved ? ZYFS_NativeOpener.Open(cache_name, mode) : nullptr;
}

void HttpReset(void) {}

// Relative names never reach the network: a search path could turn any of them into a
// download.
bool HttpIsEnabled(void) { return false; }

const ZyfsOpener HTTP_OPENER = {"http", HttpOpen, HttpReset, HttpIsEnabled};

}  // namespace

void ZYI_NetInit(void) { ZYFS_AddOpener(&HTTP_OPENER); }

void ZYI_NetShutdown(void) { __atomic_store_n(&zy::net.download_abort, 1, __ATOMIC_RELAXED); }

void ZYI_HttpSetLimits(uint32_t timeout_ms, int32_t body_limit) {
  zy::net.timeout_ms = timeout_ms;
  zy::net.body_limit = body_limit < 0 || body_limit > INT32_MAX - 1 ? 0 : body_limit;
}

bool ZYI_HttpCacheName(const char *url, char *out, size_t size) {
  if (!url || size == 0) return false;
  size_t n = (size_t)snprintf(out, size, "%s/", CACHE_FOLDER);
  for (const char *p = url; *p; p++) {
    char c = *p == '/' ? '_' : *p;
    if (!Kept(c)) continue;
    if (n + 1 >= size || n + 1 >= ZYNET_CACHE_NAME_LIMIT) {
      out[0] = '\0';
      return false;
    }
    out[n++] = c;
  }
  out[n] = '\0';
  return true;
}

bool ZYI_HttpDropCached(const char *url) {
  char cache_name[ZYNET_CACHE_NAME_LIMIT];
  return ZYI_HttpCacheName(url, cache_name, sizeof cache_name) && ZY_DeleteFile(cache_name);
}
