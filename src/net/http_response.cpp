// http_response.cpp — the header block, the success test, Content-Length, redirects and
// the body of one response.
//
// The source fills a staging buffer of 64 KiB as fast as it delivers; the header is taken
// from it one byte at a time up to its empty line (a line feed with nothing but CRs since
// the previous one), the body in pieces of at most 1023 bytes, and the stop flags are
// checked before every piece and every refill. A response is a success when "200"
// occurs anywhere in its header block.
//
// What the server says is trusted for little memory: the header block grows by doubling
// from 512 bytes up to ZYNET_HEADER_LIMIT, the body by doubling as its bytes really arrive,
// up to the body limit. An announced Content-Length sizes the body's first block when it
// is at most 16 MiB (a lie costs untouched room at worst) and is compared with what came,
// so a length that lies can neither reserve much memory nor hide missing bytes.
#include "net/http_response.h"

#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "net/net.h"

namespace {

const int32_t STAGE_SIZE = 64 * 1024;
const int32_t BODY_PIECE = 1023;
const int32_t HEADER_START = 512;
const int32_t BODY_START = 4096;
const int64_t BODY_START_TRUSTED = 16 << 20;  // largest first body block an announced length sizes

struct Reader {
  const ZyHttpSource *source;
  volatile int32_t *abort_flag;
  uint8_t *stage;
  int32_t pos, end;  // staged bytes not taken yet: stage[pos..end)
};

// Staged bytes, refilled when none are left: > 0, 0 at the end of the response, or
// ZY_HTTP_ABORTED / ZY_HTTP_ERROR_CONNECT.
int32_t Available(Reader *r) {
  if (r->pos < r->end) return r->end - r->pos;
  if (ZYI_HttpStopRequested(r->abort_flag)) return ZY_HTTP_ABORTED;
  int32_t n = r->source->Read(r->source->self, r->stage, STAGE_SIZE);
  if (n == ZYNET_SOURCE_STOPPED) return ZY_HTTP_ABORTED;
  if (n < 0 || n > STAGE_SIZE) return ZY_HTTP_ERROR_CONNECT;
  r->pos = 0;
  r->end = n;
  return n;
}

struct Text {
  char *bytes;  // zero-terminated once anything was added
  int32_t length, capacity;
};

bool Append(Text *t, char c) {
  if (t->length + 1 >= t->capacity) {
    if (t->capacity >= ZYNET_HEADER_LIMIT) return false;
    int32_t capacity = t->capacity ? t->capacity * 2 : HEADER_START;
    char *grown = (char *)realloc(t->bytes, (size_t)capacity);
    if (!grown) return false;
    t->bytes = grown;
    t->capacity = capacity;
  }
  t->bytes[t->length++] = c;
  t->bytes[t->length] = '\0';
  return true;
}

const char *Find(const Text *t, const char *needle) {
  if (!t->bytes) return nullptr;
  return (const char *)memmem(t->bytes, (size_t)t->length, needle, strlen(needle));
}

// Reads the header block up to its empty line or the end of the response: 0, or
// ZY_HTTP_ABORTED / ZY_HTTP_ERROR_CONNECT.
int32_t ReadHeader(Reader *r, Text *header, const char *url) {
  int32_t line = 0;  // characters other than CR since the last line feed
  for (;;) {
    int32_t n = Available(r);
    if (n <= 0) return n;
    while (r->pos < r->end) {
      char c = (char)r->stage[r->pos++];
      if (!Append(header, c)) {
        ZY_Log(ZY_LOG_WARNING, "The HTTP header from '%s' is longer than %d bytes.\n", url,
               ZYNET_HEADER_LIMIT);
        return ZY_HTTP_ERROR_CONNECT;
      }
      if (c == '\n') {
        if (line == 0) return 0;
        line = 0;
      } else if (c != '\r') {
        line++;
      }
    }
  }
}

// The Content-Length of a header: -1 when it has none, -2 when it is not a usable length.
int64_t ContentLength(const Text *h) {
  const char *key = "Content-Length:";
  const char *p = Find(h, key);
  if (!p) return -1;
  const char *end = h->bytes + h->length;
  p += strlen(key);
  while (p < end && (*p == ' ' || *p == '\t')) p++;
  int64_t value = 0;
  bool digits = false;
  for (; p < end && *p >= '0' && *p <= '9'; p++, digits = true)
    if ((value = value * 10 + (*p - '0')) > INT32_MAX) return -2;
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) p++;
  return digits && (p == end || *p == '\n') ? value : -2;
}

// The new URL of a redirect (malloc'd), or null when the header is no redirect.
char *Location(const Text *h) {
  static const char *const STATUS[] = {"301 Moved Permanently", "302 Found", "303 See Other",
                                       "307 Temporary Redirect"};
  bool redirect = false;
  for (const char *status : STATUS) redirect = redirect || Find(h, status);
  const char *key = "Location: ";
  const char *p = redirect ? Find(h, key) : nullptr;
  if (!p) return nullptr;
  p += strlen(key);
  const char *end = h->bytes + h->length;
  char *url = (char *)malloc((size_t)(end - p) + 1);
  if (!url) return nullptr;
  size_t n = 0;
  for (; p < end && *p != '\n'; p++)
    if (*p != '\r') url[n++] = *p;
  url[n] = '\0';
  return url;
}

// Shares the growing body with threads that watch it: data before length.
void Publish(ZY_Data *d, char *data, int32_t length, bool announced) {
  __atomic_store_n(&d->data, data, __ATOMIC_RELEASE);
  __atomic_store_n(&d->length, length, __ATOMIC_RELEASE);
  if (!announced) __atomic_store_n(&d->expected_length, length, __ATOMIC_RELEASE);
}

// Makes room for more bytes and a zero; false past the body limit or out of memory.
bool Reserve(ZY_Data *d, int32_t *capacity, int32_t more, int64_t announced) {
  int64_t need = (int64_t)d->length + more + 1;
  if (need <= *capacity) return true;
  int64_t limit = zy::net.body_limit > 0 ? zy::net.body_limit : ZYNET_BODY_LIMIT;
  if (need - 1 > limit) return false;
  int64_t first = announced >= BODY_START && announced <= BODY_START_TRUSTED ? announced + 1 : BODY_START;
  int64_t grown_capacity = *capacity ? *capacity : first;
  while (grown_capacity < need) grown_capacity *= 2;
  if (grown_capacity > limit + 1) grown_capacity = limit + 1;
  char *grown = (char *)realloc(d->data, (size_t)grown_capacity);
  if (!grown) return false;
  Publish(d, grown, d->length, announced >= 0);
  *capacity = (int32_t)grown_capacity;
  return true;
}

// Reads the body to the end of the response: 0, or ZY_HTTP_ABORTED / ZY_HTTP_ERROR_CONNECT.
int32_t ReadBody(Reader *r, ZY_Data *d, int64_t announced, const char *url) {
  int32_t capacity = 0;
  for (;;) {
    if (ZYI_HttpStopRequested(r->abort_flag)) return ZY_HTTP_ABORTED;
    int32_t n = Available(r);
    if (n < 0) return n;
    if (n > BODY_PIECE) n = BODY_PIECE;
    if (!Reserve(d, &capacity, n, announced)) {
      int64_t limit = zy::net.body_limit > 0 ? zy::net.body_limit : ZYNET_BODY_LIMIT;
      ZY_Log(ZY_LOG_WARNING, "The response from '%s' is larger than %lld bytes or than memory allows.\n",
             url, (long long)limit);
      return ZY_HTTP_ERROR_CONNECT;
    }
    if (n == 0) {
      d->data[d->length] = '\0';  // an empty body is "", never a null pointer
      return 0;
    }
    memcpy(d->data + d->length, r->stage + r->pos, (size_t)n);
    r->pos += n;
    d->data[d->length + n] = '\0';
    Publish(d, d->data, d->length + n, announced >= 0);
  }
}

// Success or not, once the header block is complete.
int32_t Decide(Reader *r, Text *header, const char *url, ZY_Data *response, ZyHttpReply *reply) {
  if (Find(header, "200")) {
    int64_t announced = ContentLength(header);
    if (announced == -2)
      ZY_Log(ZY_LOG_WARNING, "Ignoring the unusable Content-Length of the response from '%s'.\n", url);
    if (!response) return ZY_HTTP_OK;
    if (announced >= 0) __atomic_store_n(&response->expected_length, (int32_t)announced, __ATOMIC_RELEASE);
    int32_t result = ReadBody(r, response, announced, url);
    if (result != 0) return result;
    if (announced >= 0 && announced != response->length)
      ZY_Popup(ZY_LOG_WARNING,
               "Content length (%d bytes) doesn't match actually received bytes (%d bytes).",
               (int)announced, (int)response->length);
    return ZY_HTTP_OK;
  }
  char *text = header->bytes ? header->bytes : (char *)calloc(1, 1);  // nothing came: ""
  if (!text) return ZY_HTTP_ERROR_CONNECT;
  ZY_Log(ZY_LOG_WARNING, "Unexpected HTTP header received: '%s'\n", text);
  reply->location = Location(header);
  reply->header = text;
  reply->header_length = header->length;
  header->bytes = nullptr;
  return ZY_HTTP_ERROR_STATUS;
}

}  // namespace

bool ZYI_HttpStopRequested(volatile int32_t *abort_flag) {
  if (abort_flag && __atomic_load_n(abort_flag, __ATOMIC_RELAXED) != 0) return true;
  ZY_ProgramInterface *prog = zy::core.prog;
  return prog && __atomic_load_n(&prog->parms.quitting, __ATOMIC_RELAXED) != 0;
}

int32_t ZYI_HttpReadResponse(const ZyHttpSource *source, const char *url, ZY_Data *response,
                             volatile int32_t *abort_flag, ZyHttpReply *reply) {
  memset(reply, 0, sizeof *reply);
  Reader r = {source, abort_flag, (uint8_t *)malloc(STAGE_SIZE), 0, 0};
  Text header = {nullptr, 0, 0};
  int32_t result = r.stage ? ReadHeader(&r, &header, url) : ZY_HTTP_ERROR_CONNECT;
  if (result == 0) result = Decide(&r, &header, url, response, reply);
  free(r.stage);
  free(header.bytes);
  if (result == ZY_HTTP_ERROR_CONNECT && response) ZY_FreeData(response);
  return result;
}

void ZYI_HttpFreeReply(ZyHttpReply *reply) {
  free(reply->header);
  free(reply->location);
  memset(reply, 0, sizeof *reply);
}
