// Platform folders: where user data goes by the XDG rules, the home's own folders only
// when they exist, and no folder at all without a usable home.
#include <stdlib.h>

#include "host/host.h"
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
