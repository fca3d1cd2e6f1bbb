// http_response.h — reading one HTTP response from a source of bytes.
//
// The reader does not know where the bytes come from: the client hands it a connection,
// tests and the fuzzer hand it a byte array. It collects the header block, decides
// between success and everything else, and reads a successful body into the caller's
// response buffer. Redirects are only recognised here; following them is the client's.
#pragma once

#include <stdint.h>

#include "zylem.h"

// Result of a source read that failed (reset, time-out) and of one that was stopped.
#define ZYNET_SOURCE_FAILED (-1)
#define ZYNET_SOURCE_STOPPED (-2)

// Where response bytes come from. Read fills up to size bytes and returns how many
// (0 at the end of the response), ZYNET_SOURCE_FAILED or ZYNET_SOURCE_STOPPED.
struct ZyHttpSource {
  int32_t (*Read)(void *self, void *buffer, int32_t size);
  void *self;
};

// What the reader found besides the body (both malloc'd or null; ZYI_HttpFreeReply).
struct ZyHttpReply {
  char *header;           // header text, zero-terminated, when the result is -3
  int32_t header_length;  // its bytes
  char *location;         // a redirect's new URL, when the result is -3 and it is one
};

// Reads a response. ZY_HTTP_OK: the body is in response (when given; without one the
// body is not read). ZY_HTTP_ERROR_STATUS: not a success, reply holds the header text
// and, for a redirect, its location. ZY_HTTP_ABORTED: abort_flag or the quitting flag
// was seen (the body so far stays in response). ZY_HTTP_ERROR_CONNECT: the source
// failed, or the header or body is larger than allowed (response emptied and freed).
int32_t ZYI_HttpReadResponse(const ZyHttpSource *source, const char *url, ZY_Data *response,
                             volatile int32_t *abort_flag, ZyHttpReply *reply);
// Frees what a reply holds and clears it.
void ZYI_HttpFreeReply(ZyHttpReply *reply);
// True when the request must stop: the abort flag is set or the program is quitting.
bool ZYI_HttpStopRequested(volatile int32_t *abort_flag);
