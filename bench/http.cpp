// http.cpp — what the HTTP client costs compared with reading the same bytes from a
// plain socket.
//
// A server thread on 127.0.0.1 answers every connection with a 10 MiB body (and a
// Content-Length header). BM_HttpGet10MiB fetches it with ZY_HttpRequest into a response
// buffer; BM_PlainSocketGet10MiB connects, sends a request of the same shape and reads
// the answer with 64 KiB recv calls into a buffer it mallocs for the GET, as the client
// must make a new response buffer for each. Both pay for the connection.
// BM_PlainSocketGet10MiBReusedBuffer reads into one buffer kept from the first GET, so its
// pages are never touched for the first time again: the floor of the machine.
// The row http_vs_socket divides the plain socket's time by the client's: the client's
// throughput as a share of the plain socket's (1.0 = as fast).
//
// Run from the build folder: ./bench/bench_http
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "net/net.h"

namespace {

const size_t BODY_SIZE = 10u << 20;

struct Server {
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int port = 0;
  std::string answer;
  std::thread thread;

  Server() {
    answer = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(BODY_SIZE) + "\r\n\r\n";
    answer.resize(answer.size() + BODY_SIZE, 'z');
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (bind(listener, (sockaddr *)&a, n) || listen(listener, 8) || getsockname(listener, (sockaddr *)&a, &n))
      abort();
    port = ntohs(a.sin_port);
    thread = std::thread([this] {
      for (int fd; (fd = accept(listener, nullptr, nullptr)) >= 0; close(fd)) {
        // The whole request, up to the CR LF after its (empty) body: a request left
        // unread would make the close a reset.
        std::string request;
        char buf[1024];
        while (request.size() < 6 || request.compare(request.size() - 6, 6, "\r\n\r\n\r\n") != 0) {
          ssize_t got = recv(fd, buf, sizeof buf, 0);
          if (got <= 0) break;
          request.append(buf, (size_t)got);
        }
        send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
    });
    thread.detach();  // lives as long as the process
  }
};

Server &TheServer() {
  static Server server;
  return server;
}

void BM_HttpGet10MiB(benchmark::State &state) {
  std::string url = "http://127.0.0.1:" + std::to_string(TheServer().port) + "/big.bin";
  for (auto _ : state) {
    ZY_Data data = {};
    if (ZY_HttpRequest(ZY_HTTP_REQUEST_GET, url.c_str(), nullptr, nullptr, 0, &data, nullptr) != 200 ||
        (size_t)data.length != BODY_SIZE)
      state.SkipWithError("request failed");
    benchmark::DoNotOptimize(data.data);
    ZY_FreeData(&data);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)BODY_SIZE);
}
BENCHMARK(BM_HttpGet10MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

// One plain GET into buffer; the bytes received.
size_t PlainGet(char *buffer, size_t size) {
  static const char request[] =
      "GET /big.bin HTTP/1.0\r\nAccept: */*\r\nContent-Length: 0\r\nHost: 127.0.0.1\r\n\r\n\r\n";
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons((uint16_t)TheServer().port);
  size_t total = 0;
  if (connect(fd, (sockaddr *)&a, sizeof a) == 0 && send(fd, request, sizeof request - 1, MSG_NOSIGNAL) > 0)
    for (ssize_t got; (got = recv(fd, buffer + total, std::min<size_t>(64 << 10, size - total), 0)) > 0;)
      total += (size_t)got;
  close(fd);
  return total;
}

void BM_PlainSocketGet10MiB(benchmark::State &state) {
  for (auto _ : state) {
    char *buffer = (char *)malloc(BODY_SIZE + 4096);
    if (PlainGet(buffer, BODY_SIZE + 4096) < BODY_SIZE) state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer);
    free(buffer);
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)BODY_SIZE);
}
BENCHMARK(BM_PlainSocketGet10MiB)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainSocketGet10MiBReusedBuffer(benchmark::State &state) {
  std::vector<char> buffer(BODY_SIZE + 4096);
  for (auto _ : state) {
    if (PlainGet(buffer.data(), buffer.size()) < BODY_SIZE) state.SkipWithError("short read");
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)BODY_SIZE);
}
BENCHMARK(BM_PlainSocketGet10MiBReusedBuffer)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
