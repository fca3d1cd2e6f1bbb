// zypak_atomic_test.cpp — zypak writes archives and extracted files whole or not at all,
// and extraction never follows a link it finds in the target folder.
#include <unistd.h>

#include "../fs/fs_fixture.h"

namespace {

const std::string kZypakTool = ZYTEST_BUILD_DIR "/tools/zypak/zypak";

zytest::RunResult Zypak(const std::vector<std::string> &args) {
  return zytest::RunInChild([&] {
    std::vector<char *> argv{(char *)kZypakTool.c_str()};
    for (auto &a : args) argv.push_back((char *)a.c_str());
    argv.push_back(nullptr);
    execv(kZypakTool.c_str(), argv.data());
    _exit(127);
  });
}

}  // namespace

using ZypakAtomic = ZyTest;

TEST_F(ZypakAtomic, FailedCreateKeepsTheOldArchive) {
  std::string src = world.root() + "/src", pak = world.game() + "/data.pak";
  zytest::MakeDirs(src);
  zytest::WriteFile(src + "/a.txt", "A");
  ASSERT_EQ(Zypak({"create", pak, src}).status, 0);
  std::string old = zytest::ReadFile(pak);
  // Listed with size 0, read with more: the copy fails after the archive was begun.
  ASSERT_EQ(symlink("/proc/self/status", (src + "/status").c_str()), 0);
  zytest::RunResult r = Zypak({"create", pak, src});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(zytest::ReadFile(pak), old);
  std::string left;
  ZYH_ListDir(world.game().c_str(), [](const char *name, bool, void *user) {
    *(std::string *)user += std::string(name) + " ";
    return true;
  }, &left);
  EXPECT_EQ(left, "data.pak ");
}

TEST_F(ZypakAtomic, ExtractRefusesLinksInTheTargetFolder) {
  std::string out = world.root() + "/out", outside = world.root() + "/outside";
  zytest::MakeDirs(out);
  zytest::MakeDirs(outside);
  zytest::WriteFile(outside + "/x.txt", "precious");
  ASSERT_EQ(symlink(outside.c_str(), (out + "/sub").c_str()), 0);
  ASSERT_EQ(symlink((outside + "/x.txt").c_str(), (out + "/x.txt").c_str()), 0);
  std::string pak = world.root() + "/in.pak";
  zytest::WriteFile(pak, CraftPak({{"ok.txt", "fine"}, {"sub/y.txt", "Y"}, {"x.txt", "X"}}).bytes);
  zytest::RunResult r = Zypak({"extract", pak, out});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(zytest::ReadFile(out + "/ok.txt"), "fine");
  EXPECT_FALSE(zytest::FileExists(outside + "/y.txt"));
  EXPECT_EQ(zytest::ReadFile(outside + "/x.txt"), "precious");
  EXPECT_NE(r.err.find("symbolic link"), std::string::npos) << r.err;
}
