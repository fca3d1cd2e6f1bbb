// Platform folders, directories and machine facts: where user data goes, that the folders
// the engine creates are not open to other users, and listings in a stable order.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "host/backend.h"
#include "zytest.h"

namespace {

std::string Folder(int kind, bool *ok = nullptr) {
  char buf[4096];
  strcpy(buf, "stale");
  bool result = ZYH_PlatformFolder(kind, buf, sizeof buf);
  if (ok) *ok = result;
  if (!result) {
    EXPECT_STREQ(buf, "") << "a failed lookup must leave an empty text";
  }
  return buf;
}

mode_t ModeOf(const std::string &path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 0777;
}

// Creates a directory with ZYH_MakeDir under the given umask and returns its mode.
mode_t MakeDirUnder(mode_t mask, const std::string &path) {
  mode_t old = umask(mask);
  bool made = ZYH_MakeDir(path.c_str());
  umask(old);
  EXPECT_TRUE(made) << path;
  return ModeOf(path);
}

typedef std::vector<std::pair<std::string, bool>> Listing;

bool Collect(const char *name, bool is_dir, void *user) {
  ((Listing *)user)->emplace_back(name, is_dir);
  return true;
}

bool StopAfterTwo(const char *name, bool is_dir, void *user) {
  Collect(name, is_dir, user);
  return ((Listing *)user)->size() < 2;
}

void FakeInterface(const std::string &net, const char *name, const char *address,
                   const char *flags = "0x1003", const char *type = "1") {
  zytest::MakeDirs(net + "/" + name);
  zytest::WriteFile(net + "/" + name + "/address", std::string(address) + "\n");
  zytest::WriteFile(net + "/" + name + "/flags", std::string(flags) + "\n");
  zytest::WriteFile(net + "/" + name + "/type", std::string(type) + "\n");
}

}  // namespace

TEST_F(ZyTest, UserDataFoldersFollowXdgDataHome) {
  EXPECT_EQ(Folder(0), world.data());
  EXPECT_EQ(Folder(1), world.data());

  // A trailing slash is dropped; a folder that does not exist yet is created.
  std::string custom = world.root() + "/xdg/data";
  setenv("XDG_DATA_HOME", (custom + "/").c_str(), 1);
  EXPECT_EQ(Folder(0), custom);
  EXPECT_EQ(ZYH_PathKind(custom.c_str()), 2);
}

TEST_F(ZyTest, UserDataFolderDefaultsToLocalShareUnderHome) {
  std::string home = world.root() + "/fresh-home";
  zytest::MakeDirs(home);
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(Folder(0), home + "/.local/share");
  EXPECT_EQ(ZYH_PathKind((home + "/.local/share").c_str()), 2);

  // A relative XDG_DATA_HOME is invalid by the XDG rules and ignored.
  setenv("XDG_DATA_HOME", "relative/data", 1);
  EXPECT_EQ(Folder(1), home + "/.local/share");
}

TEST_F(ZyTest, FoldersWithoutAUsableHomeAreReportedUnusable) {
  unsetenv("XDG_DATA_HOME");
  bool ok = true;
  unsetenv("HOME");
  Folder(0, &ok);
  EXPECT_FALSE(ok);
  Folder(2, &ok);
  EXPECT_FALSE(ok);
  setenv("HOME", "", 1);
  Folder(1, &ok);
  EXPECT_FALSE(ok);
  Folder(4, &ok);
  EXPECT_FALSE(ok);
}

TEST_F(ZyTest, DocumentsAndDesktopAreUsedOnlyWhenTheyExist) {
  bool ok = true;
  Folder(2, &ok);
  EXPECT_FALSE(ok);
  Folder(4, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(ZYH_PathKind((world.home() + "/Desktop").c_str()), 0) << "must not be created";

  zytest::MakeDirs(world.home() + "/Documents");
  zytest::MakeDirs(world.home() + "/Desktop");
  EXPECT_EQ(Folder(2, &ok), world.home() + "/Documents");
  EXPECT_TRUE(ok);
  EXPECT_EQ(Folder(4, &ok), world.home() + "/Desktop");
  EXPECT_TRUE(ok);
}

TEST_F(ZyTest, GameFolderIsFolderThree) {
  ZYH_SetGameFolder((world.game() + "/").c_str());
  EXPECT_EQ(Folder(3), world.game());
  bool ok = true;
  Folder(5, &ok);
  EXPECT_FALSE(ok);
  Folder(-1, &ok);
  EXPECT_FALSE(ok);

  char tiny[8];
  EXPECT_FALSE(ZYH_PlatformFolder(3, tiny, sizeof tiny));
  EXPECT_STREQ(tiny, "");
}

TEST_F(ZyTest, MadeDirectoriesAreNeverWritableByOthers) {
  EXPECT_EQ(MakeDirUnder(022, world.root() + "/u022"), 0755u);
  EXPECT_EQ(MakeDirUnder(002, world.root() + "/u002"), 0775u);
  EXPECT_EQ(MakeDirUnder(077, world.root() + "/u077"), 0700u);
  // Even a umask that allows everything must not produce a world-writable folder.
  mode_t open_mode = MakeDirUnder(0, world.root() + "/u000");
  EXPECT_EQ(open_mode & S_IWOTH, 0u);
  EXPECT_EQ(open_mode, 0775u);
}

TEST_F(ZyTest, MakeDirSucceedsOnlyWhenADirectoryIsThere) {
  std::string dir = world.root() + "/made";
  EXPECT_TRUE(ZYH_MakeDir(dir.c_str()));
  EXPECT_TRUE(ZYH_MakeDir(dir.c_str()));  // already there
  EXPECT_FALSE(ZYH_MakeDir((world.root() + "/missing/child").c_str()));
  zytest::WriteFile(world.root() + "/plain", "x");
  EXPECT_FALSE(ZYH_MakeDir((world.root() + "/plain").c_str()));
  EXPECT_FALSE(ZYH_MakeDir(""));
  EXPECT_FALSE(ZYH_MakeDir(nullptr));
}

TEST_F(ZyTest, PathKindSizeAndDeleteTellFilesFromDirectories) {
  std::string file = world.root() + "/data.bin";
  zytest::WriteFile(file, std::string(1234, 'z'));
  std::string link = world.root() + "/game-link";
  ASSERT_EQ(symlink(world.game().c_str(), link.c_str()), 0);
  std::string fifo = world.root() + "/pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

  EXPECT_EQ(ZYH_PathKind(file.c_str()), 1);
  EXPECT_EQ(ZYH_PathKind(world.game().c_str()), 2);
  EXPECT_EQ(ZYH_PathKind(link.c_str()), 2);
  EXPECT_EQ(ZYH_PathKind(fifo.c_str()), 0);
  EXPECT_EQ(ZYH_PathKind((world.root() + "/none").c_str()), 0);

  EXPECT_EQ(ZYH_FileSize(file.c_str()), 1234);
  zytest::WriteFile(file + ".empty", "");
  EXPECT_EQ(ZYH_FileSize((file + ".empty").c_str()), 0);
  EXPECT_EQ(ZYH_FileSize(world.game().c_str()), -1);
  EXPECT_EQ(ZYH_FileSize((world.root() + "/none").c_str()), -1);

  EXPECT_FALSE(ZYH_DeleteFile(world.game().c_str()));
  EXPECT_EQ(ZYH_PathKind(world.game().c_str()), 2);
  EXPECT_TRUE(ZYH_DeleteFile(file.c_str()));
  EXPECT_EQ(ZYH_PathKind(file.c_str()), 0);
  EXPECT_FALSE(ZYH_DeleteFile(file.c_str()));
}

TEST_F(ZyTest, ListDirGivesEntriesInNameOrderWithoutDotEntries) {
  std::string dir = world.root() + "/list";
  zytest::MakeDirs(dir + "/b");
  zytest::WriteFile(dir + "/a.txt", "1");
  zytest::WriteFile(dir + "/C", "1");
  zytest::MakeDirs(dir + "/a");
  zytest::WriteFile(dir + "/.hidden", "1");
  ASSERT_EQ(symlink((dir + "/b").c_str(), (dir + "/z-link").c_str()), 0);

  Listing all;
  EXPECT_TRUE(ZYH_ListDir(dir.c_str(), Collect, &all));
  Listing expected = {{".hidden", false}, {"C", false}, {"a", true},
                      {"a.txt", false},   {"b", true},  {"z-link", true}};
  EXPECT_EQ(all, expected);

  Listing first_two;
  EXPECT_TRUE(ZYH_ListDir((dir + "/").c_str(), StopAfterTwo, &first_two));
  EXPECT_EQ(first_two, Listing(expected.begin(), expected.begin() + 2));

  Listing none;
  EXPECT_TRUE(ZYH_ListDir((dir + "/a").c_str(), Collect, &none));
  EXPECT_TRUE(none.empty());
  EXPECT_FALSE(ZYH_ListDir((dir + "/missing").c_str(), Collect, &none));
  EXPECT_FALSE(ZYH_ListDir((dir + "/a.txt").c_str(), Collect, &none));
}

TEST_F(ZyTest, DeviceIdIsTheFirstRealInterfaceByName) {
  std::string net = world.root() + "/net";
  // Made out of name order, so directory order cannot pick the right one by luck.
  FakeInterface(net, "eth9", "02:00:00:00:00:99");
  FakeInterface(net, "eth1", "AA:BB:CC:DD:EE:0F");
  FakeInterface(net, "eth0", "00:00:00:00:00:00");                       // no hardware
  FakeInterface(net, "lo", "11:22:33:44:55:66");                          // loopback by name
  FakeInterface(net, "dummyloop", "11:22:33:44:55:77", "0x9");            // loopback flag
  FakeInterface(net, "ib0", "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0e:a8:b1");
  FakeInterface(net, "aloop", "11:22:33:44:55:88", "0x41", "772");        // loopback type

  char id[32];
  ASSERT_TRUE(ZYH_DeviceMacIn(net.c_str(), id, sizeof id));
  EXPECT_STREQ(id, "aabbccddee0f");

  char small[12];
  EXPECT_FALSE(ZYH_DeviceMacIn(net.c_str(), small, sizeof small));

  std::string empty = world.root() + "/no-net";
  zytest::MakeDirs(empty);
  FakeInterface(empty, "lo", "00:00:00:00:00:00");
  EXPECT_FALSE(ZYH_DeviceMacIn(empty.c_str(), id, sizeof id));
  EXPECT_STREQ(id, "");
}

TEST(SystemInfo, DeviceIdOfThisMachineHasTheTextForm) {
  char id[32];
  if (!ZYH_DeviceMac(id, sizeof id)) GTEST_SKIP() << "no network interface with an address";
  ASSERT_EQ(strlen(id), 12u);
  for (const char *p = id; *p; p++)
    EXPECT_TRUE((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f')) << id;
}

TEST(SystemInfo, KernelVersionAndExecutableFolder) {
  int major = -1, minor = -1, patch = -1;
  ASSERT_TRUE(ZYH_OsVersion(&major, &minor, &patch));
  EXPECT_GE(major, 3);
  EXPECT_GE(minor, 0);
  EXPECT_GE(patch, 0);

  char folder[4096];
  ASSERT_TRUE(ZYH_ExecutableFolder(folder, sizeof folder));
  EXPECT_EQ(ZYH_PathKind((std::string(folder) + "/test_host").c_str()), 1) << folder;
  EXPECT_NE(folder[strlen(folder) - 1], '/');
  char tiny[4];
  EXPECT_FALSE(ZYH_ExecutableFolder(tiny, sizeof tiny));
}
