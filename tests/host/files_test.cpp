// Platform folders, directories and machine facts: where user data goes, that the folders
// the engine creates are not open to other users, and listings in a stable order.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/backend.h"
#include "zytest.h"

namespace {

// The folder of a kind, or "-" when the lookup fails (which must leave an empty text).
std::string Folder(int kind) {
  char buf[4096] = "stale";
  if (ZYH_PlatformFolder(kind, buf, sizeof buf)) return buf;
  EXPECT_STREQ(buf, "") << "a failed lookup must leave an empty text";
  return "-";
}

typedef std::vector<std::pair<std::string, bool>> Listing;

bool Collect(const char *name, bool is_dir, void *user) {
  ((Listing *)user)->emplace_back(name, is_dir);
  return true;
}

void FakeInterface(const std::string &net, const char *name, const char *address, const char *flags = "0x1003",
                   const char *type = "1") {
  zytest::MakeDirs(net + "/" + name);
  zytest::WriteFile(net + "/" + name + "/address", std::string(address) + "\n");
  zytest::WriteFile(net + "/" + name + "/flags", std::string(flags) + "\n");
  zytest::WriteFile(net + "/" + name + "/type", std::string(type) + "\n");
}

}  // namespace

TEST_F(ZyTest, UserFoldersFollowTheXdgRulesAndExistingHomeFolders) {
  EXPECT_EQ(Folder(0), world.data());
  EXPECT_EQ(Folder(1), world.data());
  std::string custom = world.root() + "/xdg/data";
  setenv("XDG_DATA_HOME", (custom + "/").c_str(), 1);  // a trailing slash is dropped
  EXPECT_EQ(Folder(0), custom);
  EXPECT_EQ(ZYH_PathKind(custom.c_str()), 2);  // created when missing
  setenv("XDG_DATA_HOME", "relative/data", 1);  // invalid by the XDG rules: ignored
  EXPECT_EQ(Folder(1), world.home() + "/.local/share");
  EXPECT_EQ(ZYH_PathKind((world.home() + "/.local/share").c_str()), 2);

  // Documents and Desktop only when they exist; never created.
  EXPECT_EQ(Folder(2) + Folder(4), "--");
  EXPECT_EQ(ZYH_PathKind((world.home() + "/Desktop").c_str()), 0);
  zytest::MakeDirs(world.home() + "/Documents");
  zytest::MakeDirs(world.home() + "/Desktop");
  EXPECT_EQ(Folder(2), world.home() + "/Documents");
  EXPECT_EQ(Folder(4), world.home() + "/Desktop");

  ZYH_SetGameFolder((world.game() + "/").c_str());
  EXPECT_EQ(Folder(3), world.game());
  EXPECT_EQ(Folder(5) + Folder(-1), "--");
  char tiny[8];
  EXPECT_FALSE(ZYH_PlatformFolder(3, tiny, sizeof tiny));  // never cut short
  EXPECT_STREQ(tiny, "");

  // Without a usable home nothing is found.
  unsetenv("XDG_DATA_HOME");
  unsetenv("HOME");
  EXPECT_EQ(Folder(0) + Folder(2), "--");
  setenv("HOME", "", 1);
  EXPECT_EQ(Folder(1) + Folder(4), "--");
}

TEST_F(ZyTest, MadeDirectoriesAreNeverWritableByOthers) {
  for (auto c : {std::pair<mode_t, mode_t>{022, 0755}, {002, 0775}, {077, 0700}, {0, 0775}}) {
    std::string dir = world.root() + "/u" + std::to_string(c.first);
    mode_t old = umask(c.first);
    bool made = ZYH_MakeDir(dir.c_str());
    umask(old);
    struct stat st;
    ASSERT_TRUE(made && stat(dir.c_str(), &st) == 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, c.second) << "umask " << c.first;
  }
  std::string dir = world.root() + "/made";
  EXPECT_TRUE(ZYH_MakeDir(dir.c_str()) && ZYH_MakeDir(dir.c_str()));  // already there is fine
  zytest::WriteFile(world.root() + "/plain", "x");
  for (std::string bad : {world.root() + "/missing/child", world.root() + "/plain", std::string()})
    EXPECT_FALSE(ZYH_MakeDir(bad.c_str())) << bad;
  EXPECT_FALSE(ZYH_MakeDir(nullptr));
}

TEST_F(ZyTest, PathKindSizeAndDeleteTellFilesFromDirectories) {
  std::string file = world.root() + "/data.bin", link = world.root() + "/link", fifo = world.root() + "/pipe";
  zytest::WriteFile(file, std::string(1234, 'z'));
  zytest::WriteFile(file + ".empty", "");
  ASSERT_EQ(symlink(world.game().c_str(), link.c_str()), 0);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct { std::string path; int kind; int64_t size; } cases[] = {
      {file, 1, 1234}, {file + ".empty", 1, 0}, {world.game(), 2, -1}, {link, 2, -1}, {fifo, 0, -1},
      {world.root() + "/none", 0, -1}};
  for (auto &c : cases) {
    EXPECT_EQ(ZYH_PathKind(c.path.c_str()), c.kind) << c.path;
    EXPECT_EQ(ZYH_FileSize(c.path.c_str()), c.size) << c.path;
  }
  EXPECT_FALSE(ZYH_DeleteFile(world.game().c_str()));
  EXPECT_EQ(ZYH_PathKind(world.game().c_str()), 2);
  EXPECT_TRUE(ZYH_DeleteFile(file.c_str()));
  EXPECT_FALSE(ZYH_DeleteFile(file.c_str()));
}

TEST_F(ZyTest, ListDirGivesEntriesInNameOrderWithoutDotEntries) {
  std::string dir = world.root() + "/list";
  zytest::MakeDirs(dir + "/b");
  zytest::MakeDirs(dir + "/a");
  for (const char *f : {"a.txt", "C", ".hidden"}) zytest::WriteFile(dir + "/" + f, "1");
  ASSERT_EQ(symlink((dir + "/b").c_str(), (dir + "/z-link").c_str()), 0);
  Listing all, none;
  EXPECT_TRUE(ZYH_ListDir((dir + "/").c_str(), Collect, &all));
  EXPECT_EQ(all, (Listing{{".hidden", false}, {"C", false}, {"a", true}, {"a.txt", false}, {"b", true}, {"z-link", true}}));
  Listing first_two;  // the callback stops the listing
  auto two = [](const char *n, bool d, void *u) { return Collect(n, d, u) && ((Listing *)u)->size() < 2; };
  EXPECT_TRUE(ZYH_ListDir(dir.c_str(), two, &first_two));
  EXPECT_EQ(first_two, Listing(all.begin(), all.begin() + 2));
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
  FakeInterface(net, "eth0", "00:00:00:00:00:00");              // no hardware
  FakeInterface(net, "lo", "11:22:33:44:55:66");                 // loopback by name
  FakeInterface(net, "dummyloop", "11:22:33:44:55:77", "0x9");   // loopback flag
  FakeInterface(net, "ib0", "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0e:a8:b1");
  FakeInterface(net, "aloop", "11:22:33:44:55:88", "0x41", "772");  // loopback type
  char id[32], small[12];
  ASSERT_TRUE(ZYH_DeviceMacIn(net.c_str(), id, sizeof id));
  EXPECT_STREQ(id, "aabbccddee0f");
  EXPECT_FALSE(ZYH_DeviceMacIn(net.c_str(), small, sizeof small));
  std::string empty = world.root() + "/no-net";
  FakeInterface(empty, "lo", "00:00:00:00:00:00");
  EXPECT_FALSE(ZYH_DeviceMacIn(empty.c_str(), id, sizeof id));
  EXPECT_STREQ(id, "");
}

TEST(SystemInfo, KernelVersionAndExecutableFolder) {
  int major = -1, minor = -1, patch = -1;
  ASSERT_TRUE(ZYH_OsVersion(&major, &minor, &patch));
  EXPECT_TRUE(major >= 3 && minor >= 0 && patch >= 0);
  char folder[4096], tiny[4];
  ASSERT_TRUE(ZYH_ExecutableFolder(folder, sizeof folder));
  EXPECT_EQ(ZYH_PathKind((std::string(folder) + "/test_host").c_str()), 1) << folder;
  EXPECT_FALSE(ZYH_ExecutableFolder(tiny, sizeof tiny));
}
