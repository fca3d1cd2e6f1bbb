// The HTTP client against a loopback server (the wire, the response buffer, refused, stalled
// and lying servers) and the download cache behind "http://" names.
#include <unistd.h>

#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/boot.h"
#include "net/net.h"
#include "zytest.h"

using zytest::Answer;
using zytest::HttpAnswer;

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
         "\r\nAccept-Language: en-us\r\nHost: " + host + "\r\nContent-Type: " + type + "\r\n\r\n" + body + "\r\n";
}

const std::string OCTETS = "application/octet-stream", BIG(100000, 'b'), LOCAL = "http://127.0.0.1:PORT/";
const std::string MOVED = "HTTP/1.0 302 Found\r\nLocation: " + LOCAL + "final\r\n\r\n", LOOP = "HTTP/1.0 301 Moved Permanently\r\nLocation: " + LOCAL + "loop\r\n\r\n";

// One request (a POST carries the content type text/plain) against a server that answers
// all but /final with `answer`; "PORT" stands for its port, "REFUSED" for a closed one.
struct Exchange {
  const char *name;
  int method;
  std::string url, body, answer;
  int want;
  std::string want_data;  // the response buffer afterwards, and its expected length (-1: of want_data)
  int want_expected;
  size_t want_requests;  // requests the server saw, the last of them exactly, a logged line ("": any)
  std::string want_last, want_log;
  int32_t body_limit;
};

const Exchange EXCHANGES[] = {
    {"get", 2, LOCAL + "dir/a.png", "", HttpAnswer("200 OK", "hello"), 200, "hello", -1, 1,
     Request("GET /dir/a.png", "127.0.0.1", "0", OCTETS, ""), "", 0},
    {"post", 1, LOCAL + "/form", "hello", HttpAnswer("200 OK", "ok"), 200, "ok", -1, 1,
     Request("POST /form", "127.0.0.1", "5", "text/plain", "hello"), "", 0},
    {"head", 3, LOCAL, "", "HTTP/1.0 200 OK\r\n\r\n", 200, "", -1, 1, "", "[POPUP] ZY_HTTP_REQUEST_HEAD is not tested", 0},
    {"ipv6", 2, "http://[::1]:PORT/v6", "", HttpAnswer("200 OK", "six"), 200, "six", -1, 1,
     Request("GET /v6", "[::1]", "0", OCTETS, ""), "", 0},
    {"not_found", 2, LOCAL, "", "HTTP/1.0 404 Not Found\r\n\r\nbody", -3, "HTTP/1.0 404 Not Found\r\n\r\n", -1, 1, "",
     "Unexpected HTTP header received", 0},
    {"200_in_any_line", 2, LOCAL, "", "HTTP/1.0 404 Not Found\r\nX-Id: 1200\r\n\r\nbody", 200, "body", -1, 1, "", "", 0},
    {"length_lies", 2, LOCAL, "", "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789", 200, "0123456789", 100, 1,
     "", "[POPUP] Content length (100 bytes) doesn't match actually received bytes (10 bytes).", 0},
    {"length_unusable", 2, LOCAL, "", "HTTP/1.0 200 OK\r\nContent-Length: 9z\r\n\r\nabc", 200, "abc", -1, 1, "",
     "Ignoring the unusable Content-Length", 0},
    {"body_without_length", 2, LOCAL, "", "HTTP/1.0 200 OK\r\n\r\n" + BIG, 200, BIG, -1, 1, "", "", 0},
    {"body_over_limit", 2, LOCAL, "", HttpAnswer("200 OK", BIG), -6, "", 0, 1, "", "larger than 1000 bytes", 1000},
    {"header_over_limit", 2, LOCAL, "", "HTTP/1.0 200 OK\r\nX: " + BIG, -6, "", 0, 1, "", "longer than 65536 bytes", 0},
    {"redirect", 1, LOCAL + "moved", "hello", MOVED, 200, "arrived", -1, 2,
     Request("POST /final", "127.0.0.1", "5", "text/plain", "hello"), "Forwarding to '" + LOCAL + "final'..", 0},
    {"redirect_loop", 2, LOCAL + "loop", "", LOOP, -3, LOOP, -1, 11, "", "10 redirects in a row", 0},
    // Refused before or at connecting; the buffer is cleared all the same.
    {"https", 2, "https://127.0.0.1:PORT/x", "", "", -1, "", 0, 0, "", "", 0},
    {"null_url", 2, "", "", "", -1, "", 0, 0, "", "", 0},
    {"space_in_url", 2, LOCAL + "a b", "", "", -1, "", 0, 0, "", "it holds spaces or control characters", 0},
    {"bad_port", 2, "http://127.0.0.1:99999/x", "", "", -1, "", 0, 0, "", "the port is not a number", 0},
    {"bad_method", 7, LOCAL, "", "", -1, "", 0, 0, "", "HttpRequest refused: method 7", 0},
    // A 64-character label cannot be put into a DNS query: no resolver is ever asked.
    {"unknown_host", 2, "http://" + std::string(64, 'u') + ".invalid/", "", "", -5, "", 0, 0, "", "locate host 'uuu", 0},
    {"long_host", 2, "http://" + BIG, "", "", -5, "", 0, 0, "", "longer than 511 characters", 0},
    {"refused", 2, "http://127.0.0.1:REFUSED/", "", "", -6, "", 0, 0, "", "Connect to '127.0.0.1' failed.", 0},
};

class HttpExchange : public HttpTest, public testing::WithParamInterface<Exchange> {};

TEST_P(HttpExchange, SendsTheRequestAndFillsTheBuffer) {
  const Exchange &c = GetParam();
  std::string port;
  zytest::LoopbackServer server(
      [&](const std::string &request) {
        return Answer{request.find(" /final ") != std::string::npos ? HttpAnswer("200 OK", "arrived")
                                                                     : Replace(c.answer, "PORT", port)};
      },
      c.url.find("[::1]") != std::string::npos);
  port = std::to_string(server.port());
  int closed = zytest::LoopbackServer([](const std::string &) { return Answer{}; }).port();  // gone again
  std::string url = Replace(Replace(c.url, "PORT", port), "REFUSED", std::to_string(closed));
  ZYI_HttpSetLimits(0, c.body_limit);
  char stale[] = "stale";
  data = {stale, 0, 5, 5};  // the request clears it without freeing
  int result = ZY_HttpRequest(c.method, url.empty() ? nullptr : url.c_str(), c.method == 1 ? "text/plain" : nullptr,
                              c.body.data(), (int)c.body.size(), &data, nullptr);
  EXPECT_EQ(result, c.want);
  const std::string want_data = Replace(c.want_data, "PORT", port);
  EXPECT_EQ(std::string(data.data ? data.data : "", (size_t)data.length), want_data);
  EXPECT_EQ(data.expected_length, c.want_expected < 0 ? (int)want_data.size() : c.want_expected);
  if (data.data == stale) data = {};
  if (data.data) { EXPECT_EQ(data.data[data.length], '\0'); }
  std::vector<std::string> requests = server.Requests();
  EXPECT_EQ(requests.size(), c.want_requests);
  if (!c.want_last.empty() && !requests.empty()) { EXPECT_EQ(requests.back(), c.want_last); }
  if (!c.want_log.empty()) { EXPECT_EQ(zytest::LoggedCount(Replace(c.want_log, "PORT", port)), 1); }
}

INSTANTIATE_TEST_SUITE_P(Loopback, HttpExchange, testing::ValuesIn(EXCHANGES),
                         [](const testing::TestParamInfo<Exchange> &i) { return std::string(i.param.name); });

TEST_F(HttpTest, AllocDataEndsTheBytesWithAZero) {
  EXPECT_TRUE(ZY_AllocData(&data, 6) == &data && data.length == 6 && data.expected_length == 6 && !data.data[6]);
  ZY_FreeData(&data);
  EXPECT_TRUE(!data.data && !data.length && !data.expected_length && !ZY_AllocData(&data, -3)->data);
}

// A server that sends part of an answer and then stays silent: stopped from another
// thread by the abort flag or the program's quitting flag, or by the time-out.
enum Stall { ABORT_FLAG, QUITTING, TIME_OUT };
class HttpStallThreads : public HttpTest, public testing::WithParamInterface<Stall> {};

TEST_P(HttpStallThreads, EndsTheRequest) {
  zytest::LoopbackServer server(
      [](const std::string &) { return Answer{"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\npart", 20000}; });
  volatile int32_t abort_flag = 0;
  ZYI_HttpSetLimits(GetParam() == TIME_OUT ? 200 : 0, 0);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (GetParam() == ABORT_FLAG) __atomic_store_n(&abort_flag, 1, __ATOMIC_RELAXED);
    if (GetParam() == QUITTING) ZY_Quit();
  });
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/slow";
  EXPECT_EQ(ZY_HttpRequest(2, url.c_str(), nullptr, nullptr, 0, &data, &abort_flag), GetParam() == TIME_OUT ? -6 : -4);
  stopper.join();
  // Aborted, the part that came stays in the buffer; timed out, nothing is kept.
  EXPECT_EQ(std::string(data.data ? data.data : ""), GetParam() == TIME_OUT ? "" : "part");
  EXPECT_EQ(zytest::LoggedCount("No answer from '127.0.0.1' for 200 ms"), GetParam() == TIME_OUT);
}

INSTANTIATE_TEST_SUITE_P(Loopback, HttpStallThreads, testing::Values(ABORT_FLAG, QUITTING, TIME_OUT));

class DownloadCache : public HttpTest {
 protected:
  std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789";  // ends early
  zytest::LoopbackServer server{[this](const std::string &) { return Answer{answer}; }};
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/img/x.png";
  std::string cache = world.data() + "/TestDev/TestGame/cache";

  void SetUp() override { HttpTest::SetUp(), ZYI_NetInit(); }
  std::string Read() {  // the URL's contents through the file system, or "<null>"
    ZY_File *file = ZY_OpenFile(url.c_str(), "r");
    std::string out(file ? 4096 : 0, '\0');
    if (!file) return "<null>";
    out.resize((size_t)ZY_ReadFile(&out[0], (int32_t)out.size(), file));
    return ZY_CloseFile(file), out;
  }
  std::string CacheFiles() const {  // the names in the cache folder, temporary ones too
    std::string names;
    ZYH_ListDir(cache.c_str(), [](const char *name, bool, void *all) { return *(std::string *)all += name, true; }, &names);
    return names;
  }
};

TEST_F(DownloadCache, KeepsOnlyCompleteDownloadsAndReadsThemFromDisk) {
  EXPECT_EQ(Read(), "<null>");
  EXPECT_EQ(zytest::LoggedCount("not complete (10% of 0.1KB done). Not saving."), 1);
  answer = "HTTP/1.0 404 Not Found\r\n\r\n";
  EXPECT_EQ(Read(), "<null>");
  EXPECT_EQ(zytest::LoggedCount("return code -3"), 1);
  EXPECT_EQ(CacheFiles(), "");

  answer = HttpAnswer("200 OK", "payload");
  EXPECT_EQ(Read(), "payload");
  EXPECT_EQ(CacheFiles(), "http__127.0.0.1" + std::to_string(server.port()) + "_img_x.png");
  answer = HttpAnswer("200 OK", "changed");
  EXPECT_EQ(Read(), "payload");  // from disk: the server is not asked again
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_TRUE(ZYI_HttpDropCached(url.c_str()));
  EXPECT_EQ(Read(), "changed");
  EXPECT_EQ(server.Requests().size(), 4u);

  // A cache file that cannot be written fails the open just as cleanly.
  ZYI_HttpDropCached(url.c_str()), rmdir(cache.c_str()), zytest::WriteFile(cache, "not a folder");
  EXPECT_EQ(Read(), "<null>");
  EXPECT_EQ(zytest::LoggedCount("Unable to open saved cachefile"), 1);
}

TEST_F(DownloadCache, ServesOnlyReadingOnceTheEngineRunsAndUntilItStops) {
  EXPECT_EQ(ZY_OpenFile(url.c_str(), "w"), nullptr);
  zy::core.core_initialized = 0;
  EXPECT_EQ(Read(), "<null>");
  zy::core.core_initialized = 1;
  ZYI_NetShutdown();
  EXPECT_EQ(Read(), "<null>");
  EXPECT_EQ(zytest::LoggedCount("return code -4"), 1);
  EXPECT_EQ(server.Requests().size(), 0u);
  std::string name(300, 'n');
  EXPECT_FALSE(ZYI_HttpCacheName(("http://h/" + name).c_str(), &name[0], name.size()));
}

}  // namespace
