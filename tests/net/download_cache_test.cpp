// The download cache behind "http://" names: fetched once into user://cache, read from
// disk afterwards, and never left half written.
#include <dirent.h>
#include <unistd.h>

#include "base/state.h"
#include "fs/fs.h"
#include "net/net.h"
#include "zytest.h"

using zytest::Answer;
using zytest::HttpAnswer;
using zytest::LoggedCount;

namespace {

std::string ReadAll(const std::string &name) {
  ZY_File *file = ZY_OpenFile(name.c_str(), "r");
  if (!file) return "<null>";
  std::string out(4096, '\0');
  out.resize((size_t)ZY_ReadFile(&out[0], (int32_t)out.size(), file));
  ZY_CloseFile(file);
  return out;
}

class DownloadCache : public ZyTest {
 protected:
  std::string answer = HttpAnswer("200 OK", "payload");
  zytest::LoopbackServer server{[this](const std::string &) { return Answer{answer}; }};
  std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/img/x.png";
  std::string cache = world.data() + "/TestDev/TestGame/cache";

  void SetUp() override { zytest::StartCore(world), ZYI_NetInit(); }
  void TearDown() override { zytest::StopCore(); }

  std::vector<std::string> CacheFiles() const {  // every name in the cache folder
    std::vector<std::string> names;
    if (DIR *d = opendir(cache.c_str())) {
      while (dirent *e = readdir(d))
        if (e->d_name[0] != '.' || strncmp(e->d_name, ".zytmp", 6) == 0) names.push_back(e->d_name);
      closedir(d);
    }
    return names;
  }
};

TEST_F(DownloadCache, FetchesOnceThenReadsTheCachedFile) {
  const std::string file = "http__127.0.0.1" + std::to_string(server.port()) + "_img_x.png";
  EXPECT_EQ(ReadAll(url), "payload");
  EXPECT_EQ(CacheFiles(), std::vector<std::string>{file});
  answer = HttpAnswer("200 OK", "changed");
  EXPECT_EQ(ReadAll(url), "payload");  // from disk: the server is not asked again
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(LoggedCount("Doesn't exist in cache, starting download.."), 1);

  EXPECT_TRUE(ZYI_HttpDropCached(url.c_str()));
  EXPECT_EQ(ReadAll(url), "changed");
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(DownloadCache, FailedDownloadsLeaveNoFile) {
  const struct {
    std::string answer;
    const char *log;
  } cases[] = {
      {"HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\n0123456789",
       "not complete (10% of 0.1KB done). Not saving."},
      {"HTTP/1.0 404 Not Found\r\n\r\n", "return code -3"},
  };
  for (const auto &c : cases) {
    answer = c.answer;
    EXPECT_EQ(ReadAll(url), "<null>") << c.log;
    EXPECT_EQ(LoggedCount(c.log), 1) << c.log;
    EXPECT_EQ(CacheFiles(), std::vector<std::string>{}) << c.log;
  }
  // A cache file that cannot be written fails the open the same clean way.
  rmdir(cache.c_str()), zytest::WriteFile(cache, "a file where the folder should be");
  answer = HttpAnswer("200 OK", "payload");
  EXPECT_EQ(ReadAll(url), "<null>");
  EXPECT_EQ(LoggedCount("Unable to open saved cachefile"), 1);
}

TEST_F(DownloadCache, ServesOnlyReadingOnceTheEngineRuns) {
  EXPECT_EQ(ZY_OpenFile(url.c_str(), "w"), nullptr);
  zy::core.core_initialized = 0;
  EXPECT_EQ(ZY_OpenFile(url.c_str(), "r"), nullptr);
  ZYI_NetShutdown();
  zy::core.core_initialized = 1;
  EXPECT_EQ(ZY_OpenFile(url.c_str(), "r"), nullptr);  // shutting down: downloads are aborted
  EXPECT_EQ(LoggedCount("return code -4"), 1);
  EXPECT_EQ(server.Requests().size(), 0u);
  std::string name(300, 'n');
  EXPECT_FALSE(ZYI_HttpCacheName(("http://h/" + name).c_str(), &name[0], name.size()));
}

}  // namespace
