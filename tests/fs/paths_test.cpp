// paths_test.cpp — roots, name checks, mapping to native paths, GetPathEx, folder
// creation and deletion: nothing may reach outside a root or its buffer.
#include <sys/stat.h>

#include "fs_fixture.h"

using PathsTest = FsTest;

TEST_F(PathsTest, RootsComeFromPlatformFoldersAndSafeNamesNeverWritableByOthers) {
  EXPECT_STREQ(ZYFS_GetRoot(7), "");
  // Configured names cannot climb out of the data folder, and are cut to 32 characters.
  const char *names[][3] = {{"../../evil", "..", "/.._.._evil/unknown"},
                            {"", nullptr, "/Qarvel/unknown"},
                            {"0123456789abcdef0123456789abcdefXYZ", "p",
                             "/0123456789abcdef0123456789abcdef/p"}};
  mode_t old = umask(0);  // the most permissive umask a user could have
  for (auto &n : names) {
    ZYFS_SetNames(n[0], n[1]);
    EXPECT_EQ(ZYFS_GetRoot(ZY_ROOT_USER), world.data() + n[2]);
  }
  ZY_CreateDir("user://saves");
  umask(old);
  for (std::string path = ZYFS_GetRoot(ZY_ROOT_USER) + std::string("/saves");
       path.size() > world.data().size(); path = path.substr(0, path.rfind('/'))) {
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISDIR(st.st_mode) && !(st.st_mode & S_IWOTH)) << path << " is world-writable";
  }
  EXPECT_EQ(ZYH_PathKind((world.data() + "/.._.._evil/unknown").c_str()), 2);
}

TEST_F(PathsTest, LegalNamesCannotLeaveARoot) {
  for (const char *ok : {"ui/button.png", "res://a/b.txt", "user://saves/x", "http://host/f",
                         "a.b/c.d", "res://", "weird\\name"})
    EXPECT_TRUE(ZYFS_IsLegalName(ok)) << ok;
  for (const char *bad :
       {(const char *)nullptr, "/etc/passwd", "res://../x", "res://a/../../x", "user://..",
        "../x", "a/..", "a/..\\b", "ftp://host/x", "file:///etc/passwd", "C:/windows",
        "data/user://x", "resources://x", "abcdefghijklmnopq:x"})
    EXPECT_FALSE(ZYFS_IsLegalName(bad)) << (bad ? bad : "(null)");
}

TEST_F(PathsTest, MapsBetweenVirtualAndNativePaths) {
  // Desktop and Documents get folders of their own so each root is told apart.
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_DOCUMENTS, (world.home() + "/Documents").c_str()));
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_DESKTOP, (world.home() + "/Desktop").c_str()));
  char out[ZYFS_PATH_SIZE];
  const std::pair<std::string, std::string> pairs[] = {
      {"res://ui/x.png", world.game() + "/ui/x.png"}, {"user://logs/a", UserRoot() + "/logs/a"},
      {"res://d.png", world.home() + "/Desktop/d.png"}, {"user://", world.home() + "/Documents"}};
  for (size_t i = 0; i < 4; i++) {
    EXPECT_TRUE(ZYFS_MapToVirtualPath(pairs[i].second.c_str(), out, sizeof out)) << pairs[i].second;
    EXPECT_EQ(out, pairs[i].first);
    if (i >= 2) continue;  // those two roots map to the prefixes of the main ones
    EXPECT_TRUE(ZYFS_MapToPlatformPath(pairs[i].first.c_str(), out, sizeof out));
    EXPECT_EQ(out, pairs[i].second);
  }
  // A sibling whose name merely starts like the root does not lie under it.
  EXPECT_FALSE(ZYFS_MapToVirtualPath((world.game() + "x/ui").c_str(), out, sizeof out));
  EXPECT_FALSE(ZYFS_MapToVirtualPath("/etc/passwd", out, sizeof out));
  // http belongs to the download opener; other schemes, relative names, a scheme past
  // 16 characters and a result that does not fit have no native path.
  std::string longname = "res://" + std::string(600, 'a');
  for (const char *no : {"http://host/x", "ftp://host/x", "ui/x.png", "0123456789abcdefres://x",
                         longname.c_str()})
    EXPECT_TRUE(!ZYFS_MapToPlatformPath(no, out, sizeof out) && !out[0]) << no;
  EXPECT_FALSE(ZYFS_MapToPlatformPath("res://x", out, 8));
}

TEST_F(PathsTest, GetPathExHonoursTheBufferSize) {
  char buf[32];
  memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(ZY_GetPathEx(buf, 12, ZY_ROOT_USER, "saves/%s", "slot1.dat"), buf);
  EXPECT_EQ(std::string(buf, 13), std::string("user://save\0Z", 13));
  EXPECT_EQ(ZY_GetPathEx(nullptr, 10, ZY_ROOT_RES, "a"), nullptr);
  std::vector<char> big(4096, 'Z');  // without a size the result is still bounded
  ZY_GetPathEx(big.data(), 0, ZY_ROOT_RES, "%s", std::string(1000, 'q').c_str());
  EXPECT_EQ(strlen(big.data()), (size_t)ZYFS_RING_SIZE - 1);
}

TEST_F(PathsTest, CreateAndDeleteStayInsideTheRoots) {
  EXPECT_TRUE(ZY_CreateDir("user://a/b/c") && ZY_CreateDir("res://levels/1/"));
  EXPECT_EQ(ZYH_PathKind((UserRoot() + "/a/b/c").c_str()), 2);
  EXPECT_EQ(ZYH_PathKind(Game("levels/1").c_str()), 2);
  EXPECT_GT(LoggedCount("Creating Directory: 'user://a/b/c'..\n"), 0);
  for (const char *no : {"user://../../escaped", "relative/dir", "http://host/dir", (const char *)0})
    EXPECT_FALSE(ZY_CreateDir(no)) << (no ? no : "(null)");
  EXPECT_EQ(ZYH_PathKind((world.data() + "/escaped").c_str()), 0);
  std::string victim = world.root() + "/victim";
  Loose(UserRoot() + "/old.sav", "x");
  Loose(victim, "keep");
  EXPECT_TRUE(ZY_DeleteFile("user://old.sav"));
  for (const char *no : {"user://old.sav", "user://../../../../victim", "res://../victim",
                         victim.c_str(), "victim", "user://a"})
    EXPECT_FALSE(ZY_DeleteFile(no)) << no;  // gone, outside, relative, a folder
  EXPECT_TRUE(zytest::FileExists(victim));
}
