// net.h — the HTTP client and the download cache.
//
// ZY_HttpRequest is a small blocking HTTP/1.0 client: one request per connection, no
// TLS, no keep-alive, no chunked bodies, redirects followed up to a limit. It runs on the
// caller's thread and holds no engine lock; the caller's abort flag and the program's
// quitting flag are polled between every step and every received chunk, and a server
// that stays silent longer than the time-out ends the request as a failed connection.
//
// The download cache is the file system's "http://" opener: the first open of a URL
// fetches it into user://cache (written whole, renamed into place only when complete),
// every later open reads that file. Cached files are never refreshed by the cache
// itself; ZYI_HttpDropCached forgets one.
#pragma once

#include "base/state_part.h"

#include <stddef.h>
#include <stdint.h>

#include "zylem.h"

#define ZYNET_HOST_LIMIT 511           // characters of the host part of a URL
#define ZYNET_LINE_LIMIT 127           // characters of one formatted request header line
#define ZYNET_HEADER_LIMIT (64 * 1024) // bytes of a response header block
#define ZYNET_REDIRECT_LIMIT 10        // redirects followed in a row
#define ZYNET_CACHE_NAME_LIMIT 260     // cache names this long or longer are refused
#define ZYNET_TIMEOUT_MS 30000         // default longest silence of a server at one step
#define ZYNET_BODY_LIMIT (1 << 30)     // default largest response body kept in memory

struct ZyNet {
  int32_t download_abort;  // abort flag of the download cache's requests; set at shut-down
  uint32_t timeout_ms;     // longest wait for the server at one step (0: ZYNET_TIMEOUT_MS)
  int32_t body_limit;      // largest response body accepted (0: ZYNET_BODY_LIMIT)
};
ZYI_STATE_PART(ZyNet, net)

// Registers the "http://" opener with the file system; call after ZYFS_Init.
void ZYI_NetInit(void);
// Sets the download abort flag: downloads of the cache in progress end, new ones fail.
void ZYI_NetShutdown(void);
// Sets the time-out and the body limit (0 for either: its default).
void ZYI_HttpSetLimits(uint32_t timeout_ms, int32_t body_limit);
// Writes the cache name of a URL ("user://cache/" and the URL with "/" turned into "_"
// and everything but letters, digits and ".-_~%" dropped). False when it would be
// ZYNET_CACHE_NAME_LIMIT characters or longer, or does not fit out.
bool ZYI_HttpCacheName(const char *url, char *out, size_t size);
// Deletes the cached copy of a URL, so its next open downloads it again; true when one
// was deleted.
bool ZYI_HttpDropCached(const char *url);

// Sends a request (ZY_HTTP_REQUEST_POST, _GET or _HEAD) and waits for the answer;
// ZY_HTTP_OK with the body in response, or one of the ZY_HTTP_ERROR_ codes / ZY_HTTP_ABORTED.
int32_t ZY_HttpRequest(int32_t method, const char *url, const char *content_type,
                       const void *body, int32_t body_length, ZY_Data *response,
                       volatile int32_t *abort_flag);
// Allocates size bytes into data (all fields 0 when size <= 0 or out of memory); data.
ZY_Data *ZY_AllocData(ZY_Data *data, int32_t size);
// Frees the bytes and clears all four fields; null is ignored.
void ZY_FreeData(ZY_Data *data);
