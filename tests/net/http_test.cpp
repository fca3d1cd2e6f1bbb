// The HTTP client against a server on the loopback interface: what goes over the wire,
// what comes back in the response buffer, and how refused, stalled and lying servers end.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "base/state.h"
#include "lifecycle/boot.h"
#include "net/net.h"
#include "zytest.h"

using zytest::Answer;
using zytest::HttpAnswer;
using zytest::LoggedCount;
using zytest::LoopbackServer;

namespace {

class HttpTest : public ZyTest {
 protected:
  void SetUp() override { zytest::StartCore(world); }
  void TearDown() override { ZY_FreeData(&data), zytest::StopCore(); }
  ZY_Data data = {};
};

std::string Replace(std::string text, const std::string &from, const std::string &to) {
  for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
  return text;
}

std::string Request(const std::string &line, const std::string &host, const std::string &length,
                    const std::string &type, const std::string &body) {
  return line + " HTTP/1.0\r\nAccept: */*\r\nUser-Agent: Mozilla/4.0\r\nContent-Length: " + length +
         "\r\nAccept-Language: en-us\r\nHost: " + host + "\r\nContent-Type: " + type + "\r\n\r\n" +
         body + "\r\n";
}

const std::string OCTETS = "application/octet-stream";
const std::string BIG(100000, 'b');
const std::string LONG_HEADER = "HTTP/1.0 200 OK\r\nX: " + std::string(70000, 'h') + "\r\n\r\n";

struct Exchange {
  const char *name;
  int method;
  std::string path, type, body;  // after "http://host:port/"; content type ("" none)
  std::string answer;            // to every request but one for /final; "PORT" is the port
  int want;
  std::string want_data;         // the response buffer afterwards
  int want_expected;             // its expected length (-1: the length of want_data)
  size_t want_requests;          // requests the server saw
  std::string want_last;         // the last of them, byte for byte ("" not checked)
  std::string want_log;          // a logged line ("" none)
  bool v6;
  int32_t body_limit;
};

const Exchange EXCHANGES[] = {
    {"get", 2, "/dir/a.png", "", "", HttpAnswer("200 OK", "hello"), 200, "hello", 5, 1,
     Request("GET /dir/a.png", "127.0.0.1", "0", OCTETS, ""), "", false, 0},
    {"post_with_body", 1, "form", "text/plain", "hello", HttpAnswer("200 OK", "ok"), 200, "ok", 2,
     1, Request("POST /form", "127.0.0.1", "5", "text/plain", "hello"), "", false, 0},
    {"head_shows_popup", 3, "x", "", "", "HTTP/1.0 200 OK\r\n\r\n", 200, "", 0, 1, "",
     "[POPUP] ZY_HTTP_REQUEST_HEAD is not tested properly yet.", false, 0},
    {"ipv6", 2, "v6", "", "", HttpAnswer("200 OK", "six"), 200, "six", 3, 1,
     Request("GET /v6", "[::1]", "0", OCTETS, ""), "", true, 0},
    {"not_found_gives_header", 2, "x", "", "", "HTTP/1.0 404 Not Found\r\n\r\nbody", -3,
     "HTTP/1.0 404 Not Found\r\n\r\n", -1, 1, "", "Unexpected HTTP header received", false, 0},
    {"200_in_any_line", 2, "x", "", "", "HTTP/1.0 404 Not Found\r\nX-Id: 1200\r\n\r\nbody", 200,
     "body", 4, 1, "", "", false, 0},
    {"length_lies", 2, "x", "", "", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789",
     200, "0123456789", 100, 1, "",
     "[POPUP] Content length (100 bytes) doesn't match actually received bytes (10 bytes).", false, 0},
    {"length_unusable", 2, "x", "", "", "HTTP/1.0 200 OK\r\nContent-Length: 9z\r\n\r\nabc", 200,
     "abc", 3, 1, "", "Ignoring the unusable Content-Length", false, 0},
    {"body_without_length", 2, "x", "", "", "HTTP/1.0 200 OK\r\n\r\n" + BIG, 200, BIG, 100000, 1,
     "", "", false, 0},
    {"body_over_limit", 2, "x", "", "", HttpAnswer("200 OK", BIG), -6, "", 0, 1, "",
     "is larger than 1000 bytes", false, 1000},
    {"header_over_limit", 2, "x", "", "", LONG_HEADER, -6, "", 0, 1, "", "longer than 65536 bytes",
     false, 0},
    {"redirect_keeps_method_and_body", 1, "moved", "", "hello",
     "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:PORT/final\r\n\r\n", 200, "arrived", 7, 2,
     Request("POST /final", "127.0.0.1", "5", OCTETS, "hello"),
     "Forwarding to 'http://127.0.0.1:PORT/final'..", false, 0},
    {"redirect_loop_ends", 2, "loop",
     "", "", "HTTP/1.0 301 Moved Permanently\r\nLocation: http://127.0.0.1:PORT/loop\r\n\r\n", -3,
     "HTTP/1.0 301 Moved Permanently\r\nLocation: http://127.0.0.1:PORT/loop\r\n\r\n", -1, 11, "",
     "10 redirects in a row", false, 0},
};

class HttpExchange : public HttpTest, public testing::WithParamInterface<Exchange> {};

TEST_P(HttpExchange, SendsTheRequestAndFillsTheBuffer) {
  const Exchange &c = GetParam();
  std::string port;
  LoopbackServer server(
      [&](const std::string &request) {
        if (request.find(" /final ") != std::string::npos) return Answer{HttpAnswer("200 OK", "arrived")};
        return Answer{Replace(c.answer, "PORT", port)};
      },
      c.v6);
  port = std::to_string(server.port());
  ZYI_HttpSetLimits(0, c.body_limit);
  std::string url = std::string(c.v6 ? "http://[::1]:" : "http://127.0.0.1:") + port + "/" + c.path;
  int result = ZY_HttpRequest(c.method, url.c_str(), c.type.empty() ? nullptr : c.type.c_str(),
                              c.body.data(), (int)c.body.size(), &data, nullptr);
  EXPECT_EQ(result, c.want);
  const std::string want_data = Replace(c.want_data, "PORT", port);
  EXPECT_EQ(std::string(data.data ? data.data : "", (size_t)data.length), want_data);
  EXPECT_EQ(data.expected_length, c.want_expected < 0 ? (int)want_data.size() : c.want_expected);
  if (!c.want_data.empty()) { EXPECT_EQ(data.data[data.length], '\0'); }
  std::vector<std::string> requests = server.Requests();
  EXPECT_EQ(requests.size(), c.want_requests);
  if (!c.want_last.empty() && !requests.empty()) { EXPECT_EQ(requests.back(), c.want_last); }
  if (!c.want_log.empty()) { EXPECT_EQ(LoggedCount(Replace(c.want_log, "PORT", port)), 1); }
}

INSTANTIATE_TEST_SUITE_P(Loopback, HttpExchange, testing::ValuesIn(EXCHANGES),
                         [](const testing::TestParamInfo<Exchange> &i) { return std::string(i.param.name); });

// A port on which nothing listens: bound, so no one else takes it, but not listening.
struct RefusingPort {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  int port = 0;
  RefusingPort() {
    sockaddr_in a = {};
    a.sin_family = AF_INET, a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    bind(fd, (sockaddr *)&a, n), getsockname(fd, (sockaddr *)&a, &n);
    port = ntohs(a.sin_port);
  }
  ~RefusingPort() { close(fd); }
};

TEST_F(HttpTest, RefusedRequestsLeaveAnEmptyBuffer) {
  RefusingPort refusing;
  // A 64-character label cannot be put into a DNS query, so no resolver is ever asked.
  const std::string unknown = "http://" + std::string(64, 'u') + ".invalid/x";
  const struct {
    std::string url;
    int want;
    const char *log;
  } cases[] = {
      {"https://127.0.0.1/x", -1, nullptr},
      {"", -1, nullptr},  // a null URL
      {"http://127.0.0.1/a b", -1, "Malformed URL 'http://127.0.0.1/a b'"},
      {"http://127.0.0.1:99999/x", -1, "the port is not a number"},
      {unknown, -5, "Unable to locate host 'uuuu"},
      {"http://" + std::string(600, 'h') + "/x", -5, "longer than 511 characters"},
      {"http://127.0.0.1:" + std::to_string(refusing.port) + "/x", -6, "Connect to '127.0.0.1' failed."},
  };
  for (const auto &c : cases) {
    data = {(char *)"stale", 0, 5, 5};  // the request clears it without freeing
    EXPECT_EQ(ZY_HttpRequest(2, c.url.empty() ? nullptr : c.url.c_str(), nullptr, nullptr, 0, &data, nullptr),
              c.want) << c.url;
    EXPECT_TRUE(data.data == nullptr && data.length == 0 && data.expected_length == 0) << c.url;
    if (c.log) { EXPECT_EQ(LoggedCount(c.log), 1) << c.url; }
    data = {};
  }
  EXPECT_EQ(ZY_HttpRequest(7, "http://127.0.0.1/x", nullptr, nullptr, 0, &data, nullptr), -1);
  EXPECT_EQ(ZY_HttpRequest(1, "http://127.0.0.1/x", nullptr, nullptr, 4, &data, nullptr), -1);
}

TEST_F(HttpTest, AllocDataAndFreeData) {
  ASSERT_EQ(ZY_AllocData(&data, 6), &data);
  EXPECT_TRUE(data.data && data.length == 6 && data.expected_length == 6 && data.data[6] == '\0');
  ZY_FreeData(&data);
  EXPECT_TRUE(data.data == nullptr && data.length == 0 && data.expected_length == 0);
  EXPECT_EQ(ZY_AllocData(&data, -3)->data, nullptr);
  ZY_FreeData(nullptr);
}

// A server that sends part of an answer and then stays silent: stopped by the abort flag
// or the program's quitting flag from another thread, or by the time-out.
enum Stall { ABORT_FLAG, QUITTING, TIME_OUT };
class HttpStallThreads : public HttpTest, public testing::WithParamInterface<Stall> {};

TEST_P(HttpStallThreads, EndsTheRequest) {
  LoopbackServer server([](const std::string &) {
    return Answer{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npart", 20000};
  });
  volatile int32_t abort_flag = 0;
  if (GetParam() == TIME_OUT) ZYI_HttpSetLimits(200, 0);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (GetParam() == ABORT_FLAG) __atomic_store_n(&abort_flag, 1, __ATOMIC_RELAXED);
    if (GetParam() == QUITTING) ZY_Quit();
  });
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/slow";
  int result = ZY_HttpRequest(2, url.c_str(), nullptr, nullptr, 0, &data, &abort_flag);
  stopper.join();
  EXPECT_EQ(result, GetParam() == TIME_OUT ? -6 : -4);
  // Aborted, the part that came stays in the buffer; timed out, nothing is kept.
  EXPECT_EQ(std::string(data.data ? data.data : ""), GetParam() == TIME_OUT ? "" : "part");
  if (GetParam() == TIME_OUT) { EXPECT_EQ(LoggedCount("No answer from '127.0.0.1' for 200 ms"), 1); }
}

INSTANTIATE_TEST_SUITE_P(Loopback, HttpStallThreads, testing::Values(ABORT_FLAG, QUITTING, TIME_OUT));

}  // namespace
