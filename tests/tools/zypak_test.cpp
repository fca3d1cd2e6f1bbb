// zypak_test.cpp — the zypak tool end to end: archives it writes are read back by the
// engine, byte for byte in the documented layout; listing and extracting; refusing
// names that could escape and archives that are damaged.
#include <stdio.h>
#include <unistd.h>

#include "../fs/fs_fixture.h"

static const std::string kZypak = ZYTEST_BUILD_DIR "/tools/zypak/zypak";

// Runs the tool built next to the tests (a missing tool fails every run with 127).
static zytest::RunResult RunZypak(const std::vector<std::string> &args) {
  return zytest::RunInChild([&] {
    std::vector<char *> argv{(char *)kZypak.c_str()};
    for (auto &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    execv(kZypak.c_str(), argv.data());
    _exit(127);
  });
}

class ZypakTest : public FsTest {
 protected:
  std::string src = world.root() + "/src", out = world.root() + "/out";
  void Source(const std::string &rel, const std::string &data) const { Loose(src + "/" + rel, data); }
};

static std::string Binary(size_t n, unsigned seed) {  // every byte value, in no run
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = (char)((i * 131 + seed * 7) ^ (i >> 3));
  return s;
}

TEST_F(ZypakTest, CreateListExtractRoundTripThroughTheEngineInTheDocumentedLayout) {
  const std::vector<CraftEntry> files = {{"empty.txt", ""},  // in name order
                                         {"sfx/boom.ogg", Binary(1234, 2)},
                                         {"ui/icons/star.png", Binary(70000, 1)},
                                         {"ui/menu.xml", "<menu/>"}};
  for (auto &f : files) Source(f.name, f.data);
  // Run twice with the archive inside its own folder: it never packs itself.
  for (int run = 0; run < 2; run++) {
    zytest::RunResult r = RunZypak({"create", src + "/data.pak", src});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find('%'), std::string::npos) << r.err;  // a small folder shows no progress
  }
  // The data in name order right after the header, then the directory.
  EXPECT_EQ(zytest::ReadFile(src + "/data.pak"), CraftPak(files).bytes);
  zytest::RunResult r = RunZypak({"list", src + "/data.pak"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("      1250      70000  ui/icons/star.png\n"), std::string::npos) << r.out;
  ASSERT_EQ(RunZypak({"extract", src + "/data.pak", out}).status, 0);
  rename((src + "/data.pak").c_str(), Game("data.pak").c_str());
  for (auto &f : files) {
    EXPECT_EQ(ReadAll("data/" + f.name), f.data) << f.name;
    EXPECT_EQ(zytest::ReadFile(out + "/" + f.name), f.data) << f.name;
  }
  EXPECT_GT(LoggedCount("Opening new pak 'res://data.pak'."), 0);
}

TEST_F(ZypakTest, HostileNamesAndDamagedArchivesAreRefused) {
  Loose("evil.pak", CraftPak({{"../escaped.txt", "x"}, {"/tmp/abs-zypak-test.txt", "x"},
                              {"a/../../escaped2.txt", "x"}, {"a\\..\\escaped3.txt", "x"},
                              {"fine/ok.txt", "ok"}}).bytes);
  zytest::MakeDirs(out);
  zytest::RunResult r = RunZypak({"extract", Game("evil.pak"), out + "/inner"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("skipping entry '../escaped.txt'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("skipping entry '/tmp/abs-zypak-test.txt': absolute path"), std::string::npos);
  EXPECT_EQ(zytest::ReadFile(out + "/inner/fine/ok.txt"), "ok");
  for (const std::string &p : {out + "/escaped.txt", out + "/escaped2.txt",
                               world.root() + "/escaped2.txt", std::string("/tmp/abs-zypak-test.txt")})
    EXPECT_FALSE(zytest::FileExists(p)) << p;
  // Names the engine could not open are not packed; a damaged archive is neither listed
  // nor extracted.
  Source("ok.txt", "ok");
  Source("bad..name.png", "x");
  r = RunZypak({"create", Game("data.pak"), src});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("refusing entry 'bad..name.png': contains '..'"), std::string::npos) << r.err;
  EXPECT_FALSE(zytest::FileExists(Game("data.pak")));
  CraftedPak pak = CraftPak({{"a.txt", "aaa"}, {"b.txt", "bbb"}});
  PutU32(pak.bytes, pak.words_at[1] + 4, 0x7FFFFFFF);  // size of b.txt
  Loose("bad.pak", pak.bytes);
  r = RunZypak({"list", Game("bad.pak")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("is not a usable pak: entry 1 ('b.txt') data"), std::string::npos) << r.err;
  EXPECT_EQ(RunZypak({"extract", Game("bad.pak"), out + "/bad"}).status, 1);
  EXPECT_FALSE(zytest::FileExists(out + "/bad/a.txt"));
}

TEST_F(ZypakTest, LargeFoldersShowProgressAndUsageErrorsAreRefused) {
  for (int i = 0; i < 600; i++) Source("many/f" + std::to_string(i) + ".txt", std::to_string(i));
  EXPECT_NE(RunZypak({"create", Game("data.pak"), src}).err.find("zypak: 100% (600/600"), std::string::npos);
  EXPECT_EQ(ReadAll("data/many/f599.txt"), "599");
  const std::pair<std::vector<std::string>, int> cases[] = {
      {{}, 2}, {{"create", "x.pak"}, 2}, {{"frobnicate", "a", "b"}, 2},
      {{"create", Game("x.pak"), world.root() + "/no-such-folder"}, 1},
      {{"list", Game("missing.pak")}, 1}};
  for (auto &c : cases) EXPECT_EQ(RunZypak(c.first).status, c.second) << c.first.size();
}
