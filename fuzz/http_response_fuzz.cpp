// http_response_fuzz.cpp — libFuzzer target: the HTTP response reader over arbitrary bytes.
//
// The first input byte sets the piece size the fake connection hands out (1 to 256
// bytes a read), so header and body boundaries fall anywhere; the rest is the response.
// Each input is read twice, with and without a response buffer. The checks below catch
// a buffer whose fields disagree with what was received, or a result the reader may
// not give; the sanitizers catch any read or write outside the bytes and buffers.
// Popups and log lines stay silent (no program is loaded, the log is not open).
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "net/http_response.h"
#include "net/net.h"

namespace {

struct Bytes {
  const uint8_t *data;
  size_t size, pos, piece;
};

int32_t ReadBytes(void *self, void *buffer, int32_t size) {
  Bytes *b = (Bytes *)self;
  size_t n = b->size - b->pos;
  if (n > b->piece) n = b->piece;
  if (n > (size_t)size) n = (size_t)size;
  memcpy(buffer, b->data + b->pos, n);
  b->pos += n;
  return (int32_t)n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  ZYI_HttpSetLimits(0, 256 * 1024);
  for (int with_buffer = 0; with_buffer < 2; with_buffer++) {
    Bytes bytes = {data + 1, size - 1, 0, (size_t)data[0] + 1};
    ZyHttpSource source = {ReadBytes, &bytes};
    ZY_Data response = {nullptr, 0, 0, 0};
    ZyHttpReply reply;
    int32_t result = ZYI_HttpReadResponse(&source, "http://fuzz/", with_buffer ? &response : nullptr,
                                          nullptr, &reply);
    if (result == ZY_HTTP_OK && with_buffer) {
      if (!response.data || response.length < 0 || (size_t)response.length > bytes.size) abort();
      if (response.data[response.length] != '\0') abort();
      if (memcmp(response.data, bytes.data + bytes.size - response.length, (size_t)response.length))
        abort();  // the body is exactly the bytes after the header
    } else if (result == ZY_HTTP_ERROR_STATUS) {
      if (!reply.header || (size_t)reply.header_length > bytes.size) abort();
      if (memcmp(reply.header, bytes.data, (size_t)reply.header_length)) abort();
    } else if (result != ZY_HTTP_OK && result != ZY_HTTP_ERROR_CONNECT) {
      abort();
    }
    if (result == ZY_HTTP_ERROR_CONNECT && response.data) abort();  // failures keep nothing
    ZYI_HttpFreeReply(&reply);
    ZY_FreeData(&response);
  }
  return 0;
}
