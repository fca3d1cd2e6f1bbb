// zypak_atomic_test.cpp — zypak writes archives and extracted files whole or not at all,
// and extraction never follows a link it finds below the target folder.
#include <unistd.h>

#include "../fs/fs_fixture.h"

static int Zypak(std::vector<const char *> args) {
  static const char *const tool = ZYTEST_BUILD_DIR "/tools/zypak/zypak";
  args.insert(args.begin(), tool);
  args.push_back(nullptr);
  return zytest::RunInChild([&] { execv(tool, (char **)args.data()); }).status;
}

using ZypakAtomic = ZyTest;

TEST_F(ZypakAtomic, FailedCreateKeepsTheOldArchive) {
  std::string src = world.root() + "/src", pak = world.game() + "/data.pak";
  zytest::MakeDirs(src);
  zytest::WriteFile(src + "/a.txt", "A");
  ASSERT_EQ(Zypak({"create", pak.c_str(), src.c_str()}), 0);
  std::string old = zytest::ReadFile(pak);
  // Listed with size 0 but read with more: the copy fails after the archive was begun.
  ASSERT_EQ(symlink("/proc/self/status", (src + "/status").c_str()), 0);
  EXPECT_EQ(Zypak({"create", pak.c_str(), src.c_str()}), 1);
  EXPECT_EQ(zytest::ReadFile(pak), old);
}

TEST_F(ZypakAtomic, ExtractRefusesLinksInTheTargetFolder) {
  std::string out = world.root() + "/out", away = world.root() + "/away";
  for (const std::string &dir : {out, away}) zytest::MakeDirs(dir);
  zytest::WriteFile(away + "/x.txt", "precious");
  ASSERT_EQ(symlink(away.c_str(), (out + "/sub").c_str()), 0);
  ASSERT_EQ(symlink((away + "/x.txt").c_str(), (out + "/x.txt").c_str()), 0);
  std::string pak = world.root() + "/in.pak";
  zytest::WriteFile(pak, CraftPak({{"ok.txt", "fine"}, {"sub/y.txt", "Y"}, {"x.txt", "X"}}).bytes);
  EXPECT_EQ(Zypak({"extract", pak.c_str(), out.c_str()}), 1);
  EXPECT_EQ(zytest::ReadFile(out + "/ok.txt"), "fine");  // the other entries are written
  EXPECT_FALSE(zytest::FileExists(away + "/y.txt"));
  EXPECT_EQ(zytest::ReadFile(away + "/x.txt"), "precious");
}
