// http_client.cpp — ZY_HttpRequest: the URL, the connection, the request, redirects; and
// the response buffer operations ZY_AllocData and ZY_FreeData.
//
// A request takes these steps, checking for a stop between each: split the URL, connect
// (resolve, socket, connect), send the request line, the header lines, the body and a
// closing CR LF each as its own write, then read the response (http_response.cpp). A
// redirect starts the same request again for its new URL, up to ZYNET_REDIRECT_LIMIT
// times in a row; the redirect after that is answered like any unhandled response.
//
// What the text of a request may carry is checked first: a URL or content type with
// control characters or spaces would end the request line or a header line early and
// let the rest pose as lines of its own, so such a request is refused with
// ZY_HTTP_ERROR_URL before anything is sent.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "host/host.h"
#include "net/http_response.h"
#include "net/net.h"

namespace {

const char *const DEFAULT_CONTENT_TYPE = "application/octet-stream";

bool HasControl(const char *text, bool space_allowed) {
  for (const unsigned char *p = (const unsigned char *)text; *p; p++)
    if (*p < 0x20 || *p == 0x7f || (*p == ' ' && !space_allowed)) return true;
  return false;
}

struct Target {
  char host_part[ZYNET_HOST_LIMIT + 1];  // as written, with any port
  char host[ZYNET_HOST_LIMIT + 1];       // to connect to: no port, no IPv6 brackets
  int host_line_length;                  // characters of host_part sent in "Host: "
  uint16_t port;
  const char *path;                      // inside the URL, leading "/" removed
};

// Splits "http://host[:port][/path]"; the result code of a URL that cannot be used, or 0.
int32_t Split(const char *url, Target *t) {
  const char *rest = url + 7;
  const char *slash = strchr(rest, '/');
  size_t length = slash ? (size_t)(slash - rest) : strlen(rest);
  if (length > ZYNET_HOST_LIMIT) {
    ZY_Log(ZY_LOG_WARNING, "Unable to locate host '%.40s...': the name is longer than %d characters.\n",
           rest, ZYNET_HOST_LIMIT);
    return ZY_HTTP_ERROR_HOST;
  }
  memcpy(t->host_part, rest, length);
  t->host_part[length] = '\0';
  t->path = slash ? slash : "";
  while (*t->path == '/') t->path++;

  // The port follows the last ':', outside the brackets of an IPv6 literal.
  const char *open = t->host_part[0] == '[' ? t->host_part : nullptr;
  const char *close = open ? strchr(open, ']') : nullptr;
  const char *colon = strrchr(close ? close : t->host_part, ':');
  if (open && !close) colon = nullptr;
  size_t name_length = colon ? (size_t)(colon - t->host_part) : length;
  t->host_line_length = (int)name_length;
  t->port = 80;
  if (colon) {
    char *end = nullptr;
    unsigned long port = strtoul(colon + 1, &end, 10);
    if (colon[1] < '0' || colon[1] > '9' || *end || port < 1 || port > 65535) {
      ZY_Log(ZY_LOG_WARNING, "Malformed URL '%s': the port is not a number from 1 to 65535.\n", url);
      return ZY_HTTP_ERROR_URL;
    }
    t->port = (uint16_t)port;
  }
  if (close && close < t->host_part + name_length) {  // "[::1]" connects to "::1"
    memcpy(t->host, open + 1, (size_t)(close - open - 1));
    t->host[close - open - 1] = '\0';
  } else {
    memcpy(t->host, t->host_part, name_length);
    t->host[name_length] = '\0';
  }
  return 0;
}

bool StopWanted(void *abort_flag) { return ZYI_HttpStopRequested((volatile int32_t *)abort_flag); }

// A formatted header line, its value cut so that the line with its CR LF keeps to the
// line limit (a line cut anywhere else would lose its end).
void Line(char (&out)[ZYNET_LINE_LIMIT + 1], const char *key, const char *value, int value_length) {
  int room = ZYNET_LINE_LIMIT - (int)strlen(key) - 2;
  snprintf(out, sizeof out, "%s%.*s\r\n", key, value_length < room ? value_length : room, value);
}

struct Connection {
  ZyhSocket *socket;
  ZyhNetWait wait;
  const char *host;
};

int32_t ReadSocket(void *self, void *buffer, int32_t size) {
  Connection *c = (Connection *)self;
  size_t got = 0;
  switch (ZYH_TcpReceive(c->socket, buffer, (size_t)size, &got, &c->wait)) {
    case ZYH_NET_OK: return (int32_t)got;
    case ZYH_NET_STOPPED: return ZYNET_SOURCE_STOPPED;
    case ZYH_NET_TIMED_OUT:
      ZY_Log(ZY_LOG_WARNING, "No answer from '%s' for %u ms, giving up.\n", c->host,
             (unsigned)c->wait.timeout_ms);
      return ZYNET_SOURCE_FAILED;
    default:
      ZY_Log(ZY_LOG_WARNING, "The connection to '%s' broke off.\n", c->host);
      return ZYNET_SOURCE_FAILED;
  }
}

// Sends the request: ZY_HTTP_OK, ZY_HTTP_ABORTED or ZY_HTTP_ERROR_CONNECT.
int32_t Send(Connection *c, int32_t method, const Target *t, const char *content_type,
             const void *body, int32_t body_length) {
  static const char *const METHODS[] = {"POST ", "GET ", "HEAD "};
  char length_line[ZYNET_LINE_LIMIT + 1], host_line[ZYNET_LINE_LIMIT + 1];
  char type_line[ZYNET_LINE_LIMIT + 1];
  char count[16];
  snprintf(count, sizeof count, "%d", (int)body_length);
  Line(length_line, "Content-Length: ", count, (int)strlen(count));
  Line(host_line, "Host: ", t->host_part, t->host_line_length);
  Line(type_line, "Content-Type: ", content_type, (int)strlen(content_type));
  size_t path_length = strlen(t->path);
  char *request_line = (char *)malloc(path_length + 16);
  if (!request_line) return ZY_HTTP_ERROR_CONNECT;
  snprintf(request_line, path_length + 16, "/%s HTTP/1.0\r\n", t->path);

  struct Piece {
    const void *data;
    size_t size;
  } pieces[] = {
      {METHODS[method - 1], strlen(METHODS[method - 1])},
      {request_line, strlen(request_line)},
      {"Accept: */*\r\n", 13},
      {"User-Agent: Mozilla/4.0\r\n", 25},
      {length_line, strlen(length_line)},
      {"Accept-Language: en-us\r\n", 24},
      {host_line, strlen(host_line)},
      {type_line, strlen(type_line)},
      {"\r\n", 2},
      {body, (size_t)body_length},
      {"\r\n", 2},
  };
  int32_t result = ZY_HTTP_OK;
  for (const Piece &piece : pieces) {
    if (ZYI_HttpStopRequested((volatile int32_t *)c->wait.user)) {
      result = ZY_HTTP_ABORTED;
      break;
    }
    if (piece.size == 0) continue;
    ZyhNetStatus status = ZYH_TcpSend(c->socket, piece.data, piece.size, &c->wait);
    if (status != ZYH_NET_OK) {
      if (status != ZYH_NET_STOPPED)
        ZY_Log(ZY_LOG_WARNING, "Sending the request to '%s' failed.\n", c->host);
      result = status == ZYH_NET_STOPPED ? ZY_HTTP_ABORTED : ZY_HTTP_ERROR_CONNECT;
      break;
    }
  }
  free(request_line);
  return result;
}

// One request without following redirects; a redirect's location comes back in reply.
int32_t RequestOnce(int32_t method, const char *url, const char *content_type, const void *body,
                    int32_t body_length, ZY_Data *response, volatile int32_t *abort_flag,
                    ZyHttpReply *reply) {
  memset(reply, 0, sizeof *reply);
  if (!url || strncmp(url, "http://", 7) != 0) return ZY_HTTP_ERROR_URL;
  if (HasControl(url, false)) {
    ZY_Log(ZY_LOG_WARNING, "Malformed URL '%s': it holds spaces or control characters.\n", url);
    return ZY_HTTP_ERROR_URL;
  }
  Target t;
  if (int32_t refused = Split(url, &t)) return refused;
  if (ZYI_HttpStopRequested(abort_flag)) return ZY_HTTP_ABORTED;

  Connection c;
  c.wait.timeout_ms = zy::net.timeout_ms ? zy::net.timeout_ms : ZYNET_TIMEOUT_MS;
  c.wait.stop = StopWanted;
  c.wait.user = (void *)abort_flag;
  c.host = t.host;
  switch (ZYH_TcpConnect(t.host, t.port, &c.wait, &c.socket)) {
    case ZYH_NET_OK: break;
    case ZYH_NET_NO_HOST:
      ZY_Log(ZY_LOG_WARNING, "Unable to locate host '%s'\n", t.host);
      return ZY_HTTP_ERROR_HOST;
    case ZYH_NET_NO_SOCKET: return ZY_HTTP_ERROR_SOCKET;
    case ZYH_NET_STOPPED: return ZY_HTTP_ABORTED;
    default:
      ZY_Log(ZY_LOG_WARNING, "Connect to '%s' failed.\n", t.host);
      return ZY_HTTP_ERROR_CONNECT;
  }
  if (method == ZY_HTTP_REQUEST_HEAD)
    ZY_Popup(ZY_LOG_WARNING, "ZY_HTTP_REQUEST_HEAD is not tested properly yet. Check that it works "
                             "as specified (see zylem-interface)!\n");
  int32_t result = Send(&c, method, &t, content_type, body, body_length);
  if (result == ZY_HTTP_OK) {
    ZyHttpSource source = {ReadSocket, &c};
    result = ZYI_HttpReadResponse(&source, url, response, abort_flag, reply);
  }
  ZYH_TcpClose(c.socket);
  return result;
}

}  // namespace

int32_t ZY_HttpRequest(int32_t method, const char *url, const char *content_type,
                       const void *body, int32_t body_length, ZY_Data *response,
                       volatile int32_t *abort_flag) {
  if (response) response->data = nullptr, response->length = response->expected_length = 0;
  if (!content_type) content_type = DEFAULT_CONTENT_TYPE;
  if (method < ZY_HTTP_REQUEST_POST || method > ZY_HTTP_REQUEST_HEAD || body_length < 0 ||
      (body_length > 0 && !body) || HasControl(content_type, true)) {
    ZY_Log(ZY_LOG_WARNING, "HttpRequest refused: method %d, a body of %d bytes at %p, content type '%s'.\n",
           (int)method, (int)body_length, body, content_type);
    return ZY_HTTP_ERROR_URL;
  }
  char *current = nullptr;  // the URL of a redirect being followed
  for (int redirects = 0;; redirects++) {
    ZyHttpReply reply;
    int32_t result = RequestOnce(method, current ? current : url, content_type, body, body_length,
                                 response, abort_flag, &reply);
    if (result == ZY_HTTP_ERROR_STATUS && reply.location && redirects < ZYNET_REDIRECT_LIMIT) {
      ZY_Log(ZY_LOG_WARNING, "Forwarding to '%s'..\n", reply.location);
      free(current);
      current = reply.location;
      reply.location = nullptr;
      ZYI_HttpFreeReply(&reply);
      continue;
    }
    if (result == ZY_HTTP_ERROR_STATUS && reply.location)
      ZY_Log(ZY_LOG_WARNING, "Not forwarding to '%s': %d redirects in a row.\n", reply.location,
             ZYNET_REDIRECT_LIMIT);
    if (result == ZY_HTTP_ERROR_STATUS && response) {
      response->data = reply.header;
      response->reserved = 0;
      response->length = response->expected_length = reply.header_length;
      reply.header = nullptr;
    }
    ZYI_HttpFreeReply(&reply);
    free(current);
    return result;
  }
}

ZY_Data *ZY_AllocData(ZY_Data *data, int32_t size) {
  if (!data) return nullptr;
  memset(data, 0, sizeof *data);
  if (size <= 0) return data;
  data->data = (char *)calloc((size_t)size + 1, 1);  // and the zero after the last byte
  if (!data->data) return data;
  data->length = data->expected_length = size;
  return data;
}

void ZY_FreeData(ZY_Data *data) {
  if (!data) return;
  free(data->data);
  memset(data, 0, sizeof *data);
}
