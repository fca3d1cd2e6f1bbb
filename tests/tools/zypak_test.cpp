// zypak_test.cpp — the zypak tool: archives it writes are read back by the engine,
// byte for byte in the documented layout; listing and extracting; refusing names that
// could escape and archives that are damaged.
#include <unistd.h>

#include <algorithm>

#include "../fs/fs_fixture.h"

static const std::string kZypak = ZYTEST_BUILD_DIR "/tools/zypak/zypak";

static zytest::RunResult RunZypak(const std::vector<std::string> &args) {
  return zytest::RunInChild([&] {
    std::vector<char *> argv{(char *)kZypak.c_str()};
    for (auto &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    execv(kZypak.c_str(), argv.data());
    _exit(127);
  });
}

static uint32_t U32At(const std::string &bytes, size_t at) {
  return (uint8_t)bytes[at] | (uint8_t)bytes[at + 1] << 8 | (uint8_t)bytes[at + 2] << 16 |
         (uint32_t)(uint8_t)bytes[at + 3] << 24;
}

class ZypakTest : public FsTest {
 protected:
  std::string src;

  void SetUp() override {
    FsTest::SetUp();
    ASSERT_TRUE(zytest::FileExists(kZypak)) << "build the zypak target first";
    src = world.root() + "/src";
    ZY_AddSearchPath("res://", false);
  }

  void Source(const std::string &rel, const std::string &data) const {
    std::string path = src + "/" + rel;
    zytest::MakeDirs(path.substr(0, path.rfind('/')));
    zytest::WriteFile(path, data);
  }
};

static std::string Binary(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = (char)((i * 131 + seed * 7) ^ (i >> 3));
  return s;
}

TEST_F(ZypakTest, CreatedArchiveIsReadBackByTheEngine) {
  Source("ui/menu.xml", "<menu/>");
  Source("ui/icons/star.png", Binary(70000, 1));
  Source("sfx/boom.ogg", Binary(1234, 2));
  Source("empty.txt", "");
  zytest::RunResult r = RunZypak({"create", Game("data.pak"), src});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  EXPECT_EQ(ReadAll("data/ui/icons/star.png"), Binary(70000, 1));
  EXPECT_EQ(ReadAll("data/sfx/boom.ogg"), Binary(1234, 2));
  EXPECT_EQ(ReadAll("data/empty.txt"), "");
  EXPECT_TRUE(Logged("Opening new pak 'res://data.pak'."));
  ZY_FileList list;
  ASSERT_TRUE(ZY_FindFiles(&list, "data/ui", "*.xml", 0));
  ASSERT_EQ(list.count, 1);
  EXPECT_STREQ(list.files[0], "data/ui/menu.xml");
  ZY_FreeFileList(&list);
}

TEST_F(ZypakTest, WritesTheDocumentedLayout) {
  Source("b.txt", "BB");
  Source("a/z.txt", "Z");
  Source("c.txt", "CCC");
  ASSERT_EQ(RunZypak({"create", Game("data.pak"), src}).status, 0);
  std::string pak = zytest::ReadFile(Game("data.pak"));
  ASSERT_GE(pak.size(), 16u);
  EXPECT_EQ(pak.substr(0, 8), std::string("PAK\0V11\0", 8));
  uint32_t dir = U32At(pak, 8);
  EXPECT_EQ(U32At(pak, 12), pak.size());
  // Data in name order right after the header, then the directory.
  EXPECT_EQ(pak.substr(16, 6), "ZBBCCC");
  EXPECT_EQ(dir, 22u);
  EXPECT_EQ(U32At(pak, dir), 3u);
  size_t at = dir + 4;
  struct Expect {
    const char *name;
    uint32_t offset, size;
  } expect[] = {{"a/z.txt", 16, 1}, {"b.txt", 17, 2}, {"c.txt", 19, 3}};
  for (auto &e : expect) {
    EXPECT_EQ(std::string(pak.c_str() + at), e.name);
    at += strlen(e.name) + 1;
    EXPECT_EQ(U32At(pak, at), e.offset) << e.name;
    EXPECT_EQ(U32At(pak, at + 4), e.size) << e.name;
    EXPECT_EQ(U32At(pak, at + 8), 0u) << e.name;
    EXPECT_EQ(U32At(pak, at + 12), 0u) << e.name;
    at += 16;
  }
  EXPECT_EQ(at, pak.size());
}

TEST_F(ZypakTest, ListShowsEveryEntry) {
  Source("one.txt", "1");
  Source("sub/two.bin", Binary(300, 3));
  ASSERT_EQ(RunZypak({"create", Game("data.pak"), src}).status, 0);
  zytest::RunResult r = RunZypak({"list", Game("data.pak")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("        16          1  one.txt\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("        17        300  sub/two.bin\n"), std::string::npos) << r.out;
}

TEST_F(ZypakTest, ExtractRestoresTheFolder) {
  Source("x/y/z.dat", Binary(5000, 4));
  Source("top.txt", "top");
  ASSERT_EQ(RunZypak({"create", Game("data.pak"), src}).status, 0);
  std::string out = world.root() + "/out";
  zytest::RunResult r = RunZypak({"extract", Game("data.pak"), out});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(zytest::ReadFile(out + "/x/y/z.dat"), Binary(5000, 4));
  EXPECT_EQ(zytest::ReadFile(out + "/top.txt"), "top");
}

TEST_F(ZypakTest, ExtractWritesNothingOutsideItsFolder) {
  Loose("evil.pak", CraftPak({{"../escaped.txt", "x"},
                              {"/tmp/abs-zypak-test.txt", "x"},
                              {"a/../../escaped2.txt", "x"},
                              {"a\\..\\escaped3.txt", "x"},
                              {"fine/ok.txt", "ok"}})
                        .bytes);
  std::string out = world.root() + "/out/inner";
  zytest::MakeDirs(world.root() + "/out");
  zytest::RunResult r = RunZypak({"extract", Game("evil.pak"), out});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("skipping entry '../escaped.txt'"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("skipping entry '/tmp/abs-zypak-test.txt': absolute path"), std::string::npos);
  EXPECT_EQ(zytest::ReadFile(out + "/fine/ok.txt"), "ok");
  EXPECT_FALSE(zytest::FileExists(world.root() + "/out/escaped.txt"));
  EXPECT_FALSE(zytest::FileExists(world.root() + "/out/escaped2.txt"));
  EXPECT_FALSE(zytest::FileExists(world.root() + "/escaped2.txt"));
  EXPECT_FALSE(zytest::FileExists("/tmp/abs-zypak-test.txt"));
}

TEST_F(ZypakTest, CreateRefusesNamesTheEngineCouldNotOpen) {
  Source("ok.txt", "ok");
  Source("bad..name.png", "x");
  zytest::RunResult r = RunZypak({"create", Game("data.pak"), src});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("refusing entry 'bad..name.png': contains '..'"), std::string::npos) << r.err;
  EXPECT_FALSE(zytest::FileExists(Game("data.pak")));
}

TEST_F(ZypakTest, DamagedArchivesAreRefusedByListAndExtract) {
  CraftedPak pak = CraftPak({{"a.txt", "aaa"}, {"b.txt", "bbb"}});
  PutU32(pak.bytes, pak.dir_entry_at[1] + 6 + 4, 0x7FFFFFFF);  // size of b.txt
  Loose("bad.pak", pak.bytes);
  zytest::RunResult r = RunZypak({"list", Game("bad.pak")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a usable pak: entry 1 ('b.txt') data"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  r = RunZypak({"extract", Game("bad.pak"), world.root() + "/out"});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(zytest::FileExists(world.root() + "/out/a.txt"));
  EXPECT_EQ(RunZypak({"list", Game("missing.pak")}).status, 1);
}

TEST_F(ZypakTest, ArchiveInsideItsOwnFolderDoesNotPackItself) {
  Source("a.txt", "a");
  ASSERT_EQ(RunZypak({"create", src + "/data.pak", src}).status, 0);
  ASSERT_EQ(RunZypak({"create", src + "/data.pak", src}).status, 0);
  zytest::RunResult r = RunZypak({"list", src + "/data.pak"});
  EXPECT_EQ(r.out.find("data.pak"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("a.txt"), std::string::npos);
}

TEST_F(ZypakTest, LargeFoldersShowProgress) {
  for (int i = 0; i < 600; i++) Source("many/f" + std::to_string(i) + ".txt", std::to_string(i));
  zytest::RunResult r = RunZypak({"create", Game("data.pak"), src});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("zypak:  50%"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("zypak: 100% (600/600 files"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll("data/many/f599.txt"), "599");
  // A small folder stays quiet.
  zytest::MakeDirs(world.root() + "/small");
  zytest::WriteFile(world.root() + "/small/one.txt", "1");
  r = RunZypak({"create", Game("small.pak"), world.root() + "/small"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err.find('%'), std::string::npos) << r.err;
}

TEST_F(ZypakTest, UsageErrors) {
  EXPECT_EQ(RunZypak({}).status, 2);
  EXPECT_EQ(RunZypak({"create", "x.pak"}).status, 2);
  EXPECT_EQ(RunZypak({"frobnicate", "a", "b"}).status, 2);
  EXPECT_EQ(RunZypak({"create", Game("x.pak"), world.root() + "/no-such-folder"}).status, 1);
}
