// Platform folders, directories and the device id: where user data goes, that folders
// the engine creates follow the umask but are never open to others, and which network
// interface names the machine.
#include <stdlib.h>
#include <sys/stat.h>

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

}  // namespace

TEST_F(ZyTest, UserFoldersFollowTheXdgRulesAndExistingHomeFolders) {
  EXPECT_EQ(Folder(0), world.data());
  std::string custom = world.root() + "/xdg/data";
  setenv("XDG_DATA_HOME", (custom + "/").c_str(), 1);  // a trailing slash is dropped
  EXPECT_EQ(Folder(1), custom);
  EXPECT_EQ(ZYH_PathKind(custom.c_str()), 2);  // created when missing
  setenv("XDG_DATA_HOME", "relative/data", 1);  // invalid by the XDG rules: ignored
  EXPECT_EQ(Folder(0), world.home() + "/.local/share");
  // Documents and Desktop only when they exist, never created; 3 is the game folder.
  EXPECT_EQ(Folder(2) + Folder(4), "--");
  EXPECT_EQ(ZYH_PathKind((world.home() + "/Desktop").c_str()), 0);
  zytest::MakeDirs(world.home() + "/Documents");
  zytest::MakeDirs(world.home() + "/Desktop");
  EXPECT_EQ(Folder(2) + Folder(4), world.home() + "/Documents" + world.home() + "/Desktop");
  ZYH_SetGameFolder((world.game() + "/").c_str());
  EXPECT_EQ(Folder(3), world.game());
  EXPECT_EQ(Folder(5) + Folder(-1), "--");
  char tiny[8];
  EXPECT_FALSE(ZYH_PlatformFolder(3, tiny, sizeof tiny));  // never cut short
  unsetenv("XDG_DATA_HOME");  // without a usable home nothing is found
  unsetenv("HOME");
  EXPECT_EQ(Folder(0) + Folder(2), "--");
  setenv("HOME", "", 1);
  EXPECT_EQ(Folder(1) + Folder(4), "--");
}

TEST_F(ZyTest, MadeDirectoriesFollowTheUmaskButAreNeverWritableByOthers) {
  for (auto c : {std::pair<mode_t, mode_t>{077, 0700}, {0, 0775}}) {
    std::string dir = world.root() + "/u" + std::to_string(c.first);
    mode_t old = umask(c.first);
    bool made = ZYH_MakeDir(dir.c_str()) && ZYH_MakeDir(dir.c_str());  // already there is fine
    umask(old);
    struct stat st;
    ASSERT_TRUE(made && stat(dir.c_str(), &st) == 0) << dir;
    EXPECT_EQ(st.st_mode & 0777, c.second) << "umask " << c.first;
  }
  zytest::WriteFile(world.root() + "/plain", "x");
  for (std::string bad : {world.root() + "/missing/child", world.root() + "/plain", std::string()})
    EXPECT_FALSE(ZYH_MakeDir(bad.c_str())) << bad;
  EXPECT_FALSE(ZYH_MakeDir(nullptr));
}

TEST_F(ZyTest, DeviceIdIsTheFirstRealInterfaceByName) {
  auto fake = [](const std::string &net, std::string name, std::string address, std::string flags = "0x1003",
                 std::string type = "1") {
    zytest::MakeDirs(net + "/" + name);
    zytest::WriteFile(net + "/" + name + "/address", address + "\n");
    zytest::WriteFile(net + "/" + name + "/flags", flags + "\n");
    zytest::WriteFile(net + "/" + name + "/type", type + "\n");
  };
  std::string net = world.root() + "/net";
  // Made out of name order, so directory order cannot pick the right one by luck.
  fake(net, "eth9", "02:00:00:00:00:99");
  fake(net, "eth1", "AA:BB:CC:DD:EE:0F");
  fake(net, "eth0", "00:00:00:00:00:00");             // no hardware
  fake(net, "lo", "11:22:33:44:55:66");                // loopback by name
  fake(net, "dummyloop", "11:22:33:44:55:77", "0x9");  // loopback flag
  fake(net, "ib0", "80:00:00:48:fe:80:00:00:00:00:00:00:00:02:c9:03:00:0e:a8:b1");
  fake(net, "aloop", "11:22:33:44:55:88", "0x41", "772");  // loopback type
  char id[32], small[12];
  ASSERT_TRUE(ZYH_DeviceMacIn(net.c_str(), id, sizeof id));
  EXPECT_STREQ(id, "aabbccddee0f");
  EXPECT_FALSE(ZYH_DeviceMacIn(net.c_str(), small, sizeof small));  // no room for the text
  fake(world.root() + "/no-net", "lo", "00:00:00:00:00:00");
  EXPECT_FALSE(ZYH_DeviceMacIn((world.root() + "/no-net").c_str(), id, sizeof id));
  EXPECT_STREQ(id, "");
}
