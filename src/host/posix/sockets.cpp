// sockets.cpp — TCP client connections over BSD sockets, IPv4 and IPv6.
//
// Sockets are close-on-exec; they connect non-blocking, waiting in poll slices of at most
// 50 ms, and then block in slices of 50 ms (receive and send time-outs). Between slices
// the caller's stop function is asked and the time-out checked, so a server that never
// answers costs at most the time-out and a stop request at most one slice. Time is the
// real monotonic clock, never the engine's manual test clock: a network wait is real.
//
// getaddrinfo itself cannot be interrupted, and a name server that never answers would
// hold the caller for as long as the resolver insists. So the lookup runs on a thread of
// its own while the caller waits in slices as above; a caller that stops or times out
// leaves, and the lookup frees its record when it finally ends.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <new>

#include "host/host.h"

struct ZyhSocket {
  int fd;
};

namespace {

const int SLICE_MS = 50;

uint64_t NowMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (uint64_t)ts.tv_sec * 1000u + (uint64_t)ts.tv_nsec / 1000000u;
}

bool Stopped(const ZyhNetWait *wait) { return wait && wait->stop && wait->stop(wait->user); }

// Waits until fd is ready for events (or has failed: the next call reports that).
ZyhNetStatus Wait(int fd, short events, const ZyhNetWait *wait) {
  uint32_t timeout = wait ? wait->timeout_ms : 0;
  uint64_t start = NowMs();
  for (;;) {
    if (Stopped(wait)) return ZYH_NET_STOPPED;
    int slice = SLICE_MS;
    if (timeout) {
      uint64_t spent = NowMs() - start;
      if (spent >= timeout) return ZYH_NET_TIMED_OUT;
      if (timeout - spent < (uint64_t)slice) slice = (int)(timeout - spent);
    }
    struct pollfd p = {fd, events, 0};
    int n = poll(&p, 1, slice);
    if (n > 0) return ZYH_NET_OK;
    if (n < 0 && errno != EINTR) return ZYH_NET_FAILED;
  }
}

// A name lookup shared by the caller and the thread that runs it; the last to let go of
// it frees it.
struct Lookup {
  std::atomic<int> holders{2};
  std::atomic<bool> done{false};
  char *host;
  char service[8];
  struct addrinfo *found = nullptr;  // the caller takes it once done
  int error = 0;
};

void LetGo(Lookup *l) {
  if (l->holders.fetch_sub(1) != 1) return;
  if (l->found) freeaddrinfo(l->found);
  free(l->host);
  delete l;
}

int LookUp(const char *host, const char *service, int flags, struct addrinfo **found) {
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | flags;
  return getaddrinfo(host, service, &hints, found);
}

void RunLookup(void *arg) {
  Lookup *l = (Lookup *)arg;
  l->error = LookUp(l->host, l->service, 0, &l->found);
  l->done.store(true, std::memory_order_release);
  LetGo(l);
}

// Resolves host: an address literal at once, a name on a thread of its own. ZYH_NET_OK
// with *found (freeaddrinfo it), ZYH_NET_NO_HOST, ZYH_NET_STOPPED or ZYH_NET_TIMED_OUT.
ZyhNetStatus Resolve(const char *host, uint16_t port, const ZyhNetWait *wait,
                     struct addrinfo **found) {
  char service[8];
  snprintf(service, sizeof service, "%u", (unsigned)port);
  if (LookUp(host, service, AI_NUMERICHOST, found) == 0 && *found) return ZYH_NET_OK;
  Lookup *l = new (std::nothrow) Lookup;
  if (!l || !(l->host = strdup(host))) {
    delete l;
    return ZYH_NET_NO_HOST;
  }
  memcpy(l->service, service, sizeof service);
  if (!ZYH_StartThread(RunLookup, l)) RunLookup(l);  // no thread to spare: look it up here
  uint32_t timeout = wait ? wait->timeout_ms : 0;
  ZyhNetStatus status = ZYH_NET_OK;
  // Most lookups take well under a millisecond: the naps start short and grow to 5 ms.
  long nap_us = 50;
  for (uint64_t start = NowMs(); !l->done.load(std::memory_order_acquire); nap_us = nap_us < 2500 ? nap_us * 2 : 5000) {
    if (Stopped(wait)) status = ZYH_NET_STOPPED;
    if (timeout && NowMs() - start >= timeout) status = ZYH_NET_TIMED_OUT;
    if (status != ZYH_NET_OK) break;
    struct timespec nap = {0, nap_us * 1000};
    nanosleep(&nap, nullptr);
  }
  if (status == ZYH_NET_OK) {
    status = l->error == 0 && l->found ? ZYH_NET_OK : ZYH_NET_NO_HOST;
    *found = l->found;
    l->found = nullptr;
  }
  LetGo(l);
  return status;
}

// From connection on, a socket blocks in slices of SLICE_MS: while data flows a transfer
// is one system call, and a slice that passes empty hands control back for the stop
// function and the time-out.
void UseSlices(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  struct timeval slice = {0, SLICE_MS * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &slice, sizeof slice);
}

// An empty slice passed; true once the time-out has (*start: the wait's start, 0 at first).
bool SliceOver(uint64_t *start, const ZyhNetWait *wait) {
  uint64_t now = NowMs();
  if (!*start) *start = now - SLICE_MS;
  return wait && wait->timeout_ms && now - *start >= wait->timeout_ms;
}

// Connects one socket to one address.
ZyhNetStatus ConnectOne(int fd, const struct addrinfo *a, const ZyhNetWait *wait) {
  if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) return ZYH_NET_OK;
  if (errno != EINPROGRESS && errno != EINTR) return ZYH_NET_FAILED;
  ZyhNetStatus status = Wait(fd, POLLOUT, wait);
  if (status != ZYH_NET_OK) return status;
  int error = 0;
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
    return ZYH_NET_FAILED;
  return ZYH_NET_OK;
}

}  // namespace

ZyhNetStatus ZYH_TcpConnect(const char *host, uint16_t port, const ZyhNetWait *wait,
                            ZyhSocket **out) {
  *out = nullptr;
  if (!host) return ZYH_NET_NO_HOST;
  struct addrinfo *found = nullptr;
  ZyhNetStatus looked_up = Resolve(host, port, wait, &found);
  if (looked_up != ZYH_NET_OK) return looked_up == ZYH_NET_TIMED_OUT ? ZYH_NET_NO_HOST : looked_up;

  // The worst outcome over the addresses tried is reported, with "no socket" the mildest:
  // a refused IPv6 address and a created IPv4 socket say more than a missing family.
  ZyhNetStatus result = ZYH_NET_NO_SOCKET;
  for (struct addrinfo *a = found; a; a = a->ai_next) {
    int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) continue;
    ZyhNetStatus status = ConnectOne(fd, a, wait);
    if (status == ZYH_NET_OK) {
      UseSlices(fd);
      ZyhSocket *s = (ZyhSocket *)malloc(sizeof *s);
      if (s) {
        s->fd = fd;
        *out = s;
        break;
      }
      status = ZYH_NET_NO_SOCKET;
    }
    close(fd);
    if (result == ZYH_NET_NO_SOCKET || status == ZYH_NET_STOPPED) result = status;
    if (status == ZYH_NET_STOPPED) break;
  }
  freeaddrinfo(found);
  return *out ? ZYH_NET_OK : result;
}

ZyhNetStatus ZYH_TcpSend(ZyhSocket *socket, const void *data, size_t size,
                         const ZyhNetWait *wait) {
  if (!socket) return ZYH_NET_FAILED;
  const char *p = (const char *)data;
  for (uint64_t start = 0; size > 0;) {
    if (Stopped(wait)) return ZYH_NET_STOPPED;
    ssize_t n = send(socket->fd, p, size, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      size -= (size_t)n;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (SliceOver(&start, wait)) return ZYH_NET_TIMED_OUT;
    } else if (n < 0 && errno != EINTR) {
      return ZYH_NET_FAILED;
    }
  }
  return ZYH_NET_OK;
}

ZyhNetStatus ZYH_TcpReceive(ZyhSocket *socket, void *buffer, size_t size, size_t *received,
                            const ZyhNetWait *wait) {
  *received = 0;
  if (!socket) return ZYH_NET_FAILED;
  for (uint64_t start = 0;;) {
    if (Stopped(wait)) return ZYH_NET_STOPPED;
    ssize_t n = recv(socket->fd, buffer, size, 0);
    if (n >= 0) {
      *received = (size_t)n;
      return ZYH_NET_OK;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (SliceOver(&start, wait)) return ZYH_NET_TIMED_OUT;
    } else if (errno != EINTR) {
      return ZYH_NET_FAILED;
    }
  }
}

void ZYH_TcpClose(ZyhSocket *socket) {
  if (!socket) return;
  close(socket->fd);
  free(socket);
}
