// paths_test.cpp — roots, name checks, mapping to native paths, the GetPath ring,
// folder creation and deletion.
#include <thread>

#include "fs_fixture.h"

using PathsTest = FsTest;

TEST_F(PathsTest, RootsComeFromPlatformFoldersAndNames) {
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_USER)), UserRoot());
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_SHARED_USER)), UserRoot());
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_RES)), world.game());
  // No Documents or Desktop folder in the temporary home: both fall back to the game.
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_DOCUMENTS)), world.game());
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_DESKTOP)), world.game());
  EXPECT_EQ(std::string(ZYFS_GetRoot(7)), "");
  // The developer folder and the program folder inside it were created.
  EXPECT_EQ(ZYH_PathKind(UserRoot().c_str()), 2);
}

TEST_F(PathsTest, UserFoldersAreNeverWritableByOthers) {
  mode_t old = umask(0);  // the most permissive umask a user could have
  ZYFS_SetNames("OpenDev", "OpenGame");
  ZY_CreateDir("user://saves/slot1");
  umask(old);
  for (const std::string &path :
       {world.data() + "/OpenDev", world.data() + "/OpenDev/OpenGame",
        world.data() + "/OpenDev/OpenGame/saves", world.data() + "/OpenDev/OpenGame/saves/slot1"}) {
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0) << path;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << path;
    EXPECT_EQ(st.st_mode & S_IWOTH, 0u) << path << " is world-writable";
    EXPECT_NE(st.st_mode & S_IRWXU, 0u) << path;
  }
}

TEST_F(PathsTest, ConfiguredNamesCannotClimbOutOfTheDataFolder) {
  ZYFS_SetNames("../../evil", "..");
  std::string root = ZYFS_GetRoot(ZY_ROOT_USER);
  EXPECT_EQ(root, world.data() + "/.._.._evil/unknown");
  EXPECT_EQ(ZYH_PathKind(root.c_str()), 2);
  ZYFS_SetNames("", nullptr);
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_USER)), world.data() + "/Qarvel/unknown");
  // Developer names are cut to 32 characters.
  ZYFS_SetNames("0123456789abcdef0123456789abcdefXYZ", "p");
  EXPECT_EQ(std::string(ZYFS_GetRoot(ZY_ROOT_USER)),
            world.data() + "/0123456789abcdef0123456789abcdef/p");
}

TEST_F(PathsTest, LegalNames) {
  for (const char *ok : {"ui/button.png", "res://a/b.txt", "user://saves/x", "http://host/f",
                         "a.b/c.d", "res://", "weird\\name"})
    EXPECT_TRUE(ZYFS_IsLegalName(ok)) << ok;
  for (const char *bad :
       {(const char *)nullptr, "/etc/passwd", "res://../x", "res://a/../../x", "user://..",
        "../x", "a/..", "a/..\\b", "ftp://host/x", "file:///etc/passwd", "C:/windows",
        "data/user://x", "resources://x", "abcdefghijklmnopq:x"})
    EXPECT_FALSE(ZYFS_IsLegalName(bad)) << (bad ? bad : "(null)");
}

TEST_F(PathsTest, MapsPrefixesToRoots) {
  char out[ZYFS_PATH_SIZE];
  ASSERT_TRUE(ZYFS_MapToPlatformPath("res://ui/x.png", out, sizeof out));
  EXPECT_EQ(std::string(out), world.game() + "/ui/x.png");
  ASSERT_TRUE(ZYFS_MapToPlatformPath("user://logs", out, sizeof out));
  EXPECT_EQ(std::string(out), UserRoot() + "/logs");
  // http belongs to the download opener; other schemes and relative names have no path.
  EXPECT_FALSE(ZYFS_MapToPlatformPath("http://host/x", out, sizeof out));
  EXPECT_STREQ(out, "");
  EXPECT_FALSE(ZYFS_MapToPlatformPath("ftp://host/x", out, sizeof out));
  EXPECT_FALSE(ZYFS_MapToPlatformPath("ui/x.png", out, sizeof out));
  // A scheme must end within the first 16 characters.
  EXPECT_FALSE(ZYFS_MapToPlatformPath("0123456789abcdefres://x", out, sizeof out));
  // A result that does not fit is refused, not cut.
  std::string longname = "res://" + std::string(600, 'a');
  EXPECT_FALSE(ZYFS_MapToPlatformPath(longname.c_str(), out, sizeof out));
  char tiny[8];
  EXPECT_FALSE(ZYFS_MapToPlatformPath("res://x", tiny, sizeof tiny));
}

TEST_F(PathsTest, MapsNativePathsBack) {
  // Without Documents and Desktop folders those roots are the game folder too; give them
  // folders of their own so each root is told apart.
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_DOCUMENTS, (world.home() + "/Documents").c_str()));
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_DESKTOP, (world.home() + "/Desktop").c_str()));
  char out[ZYFS_PATH_SIZE];
  ASSERT_TRUE(ZYFS_MapToVirtualPath((world.home() + "/Desktop/d.png").c_str(), out, sizeof out));
  EXPECT_STREQ(out, "res://d.png");
  ASSERT_TRUE(ZYFS_MapToVirtualPath((world.home() + "/Documents").c_str(), out, sizeof out));
  EXPECT_STREQ(out, "user://");
  ASSERT_TRUE(ZYFS_MapToVirtualPath((UserRoot() + "/logs/a.log").c_str(), out, sizeof out));
  EXPECT_STREQ(out, "user://logs/a.log");
  ASSERT_TRUE(ZYFS_MapToVirtualPath((world.game() + "/ui").c_str(), out, sizeof out));
  EXPECT_STREQ(out, "res://ui");
  // A sibling whose name merely starts like the root does not lie under it.
  EXPECT_FALSE(ZYFS_MapToVirtualPath((world.game() + "x/ui").c_str(), out, sizeof out));
  EXPECT_FALSE(ZYFS_MapToVirtualPath("/etc/passwd", out, sizeof out));
}

TEST_F(PathsTest, RootsCanBeReplaced) {
  std::string other = world.root() + "/elsewhere";
  zytest::MakeDirs(other);
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_USER, other.c_str()));
  char out[ZYFS_PATH_SIZE];
  ASSERT_TRUE(ZYFS_MapToPlatformPath("user://a", out, sizeof out));
  EXPECT_EQ(std::string(out), other + "/a");
  ASSERT_TRUE(ZYFS_SetRoot(ZY_ROOT_USER, nullptr));
  EXPECT_FALSE(ZYFS_MapToPlatformPath("user://a", out, sizeof out));
  EXPECT_FALSE(ZYFS_SetRoot(5, "/tmp"));
}

TEST_F(PathsTest, GetPathRingKeepsSixteenResults) {
  const char *first = ZY_GetPath(ZY_ROOT_RES, "%s/%d", "ui", 0);
  EXPECT_STREQ(first, "res://ui/0");
  std::vector<const char *> results{first};
  for (int i = 1; i < 16; i++) results.push_back(ZY_GetPath(ZY_ROOT_USER, "n%d", i));
  // Sixteen results are all alive and distinct.
  EXPECT_STREQ(results[0], "res://ui/0");
  EXPECT_STREQ(results[15], "user://n15");
  for (int i = 1; i < 16; i++) EXPECT_NE(results[i], results[i - 1]);
  // The seventeenth call reuses the first buffer.
  const char *again = ZY_GetPath(ZY_ROOT_DESKTOP, "late");
  EXPECT_EQ(again, first);
  EXPECT_STREQ(first, "res://late");
  EXPECT_STREQ(ZY_GetPath(ZY_ROOT_DOCUMENTS, "%s", ""), "user://");
  EXPECT_STREQ(ZY_GetPath(ZY_ROOT_SHARED_USER, nullptr), "user://");
}

TEST_F(PathsTest, GetPathOffTheMainThreadWarnsButWorks) {
  std::string result, err;
  err = StderrOf([&] {
    std::thread worker([&] { result = ZY_GetPath(ZY_ROOT_RES, "x"); });
    worker.join();
  });
  EXPECT_EQ(result, "res://x");
  // Off the main thread the popup is queued for the main thread to show.
  err = StderrOf([] { ZYI_ShowQueuedPopups(); });
  EXPECT_NE(err.find("Unsafe call to ZYLEM interface method GetPath."), std::string::npos) << err;
}

TEST_F(PathsTest, GetPathExHonoursTheBufferSize) {
  char buf[32];
  memset(buf, 'Z', sizeof buf);
  EXPECT_EQ(ZY_GetPathEx(buf, 12, ZY_ROOT_USER, "saves/%s", "slot1.dat"), buf);
  EXPECT_STREQ(buf, "user://save");  // 11 characters and the terminator
  EXPECT_EQ(buf[12], 'Z');
  EXPECT_STREQ(ZY_GetPathEx(buf, sizeof buf, ZY_ROOT_RES, "a"), "res://a");
  EXPECT_EQ(ZY_GetPathEx(nullptr, 10, ZY_ROOT_RES, "a"), nullptr);
  // Without a size the result is still bounded.
  std::vector<char> big(4096, 'Z');
  ZY_GetPathEx(big.data(), 0, ZY_ROOT_RES, "%s", std::string(1000, 'q').c_str());
  EXPECT_EQ(strlen(big.data()), (size_t)ZYFS_RING_SIZE - 1);
}

TEST_F(PathsTest, CreateDirMakesEveryLevel) {
  EXPECT_TRUE(ZY_CreateDir("user://a/b/c"));
  EXPECT_EQ(ZYH_PathKind((UserRoot() + "/a/b/c").c_str()), 2);
  EXPECT_TRUE(ZY_CreateDir("res://levels/1/"));
  EXPECT_EQ(ZYH_PathKind(Game("levels/1").c_str()), 2);
  EXPECT_TRUE(Logged("Creating Directory: 'user://a/b/c'..\n"));
  // Names that could leave a root, and names without one, create nothing.
  EXPECT_FALSE(ZY_CreateDir("user://../../escaped"));
  EXPECT_EQ(ZYH_PathKind((world.data() + "/escaped").c_str()), 0);
  EXPECT_FALSE(ZY_CreateDir("relative/dir"));
  EXPECT_FALSE(ZY_CreateDir("http://host/dir"));
  EXPECT_FALSE(ZY_CreateDir(nullptr));
}

TEST_F(PathsTest, DeleteFileStaysInsideTheRoots) {
  zytest::WriteFile(UserRoot() + "/old.sav", "x");
  EXPECT_TRUE(ZY_DeleteFile("user://old.sav"));
  EXPECT_FALSE(zytest::FileExists(UserRoot() + "/old.sav"));
  EXPECT_FALSE(ZY_DeleteFile("user://old.sav"));
  // A file outside the roots survives every trick.
  std::string victim = world.root() + "/victim";
  zytest::WriteFile(victim, "keep");
  EXPECT_FALSE(ZY_DeleteFile("user://../../../../victim"));
  EXPECT_FALSE(ZY_DeleteFile("res://../victim"));
  EXPECT_FALSE(ZY_DeleteFile(victim.c_str()));
  EXPECT_FALSE(ZY_DeleteFile("victim"));
  EXPECT_TRUE(zytest::FileExists(victim));
  // Folders are not files.
  ZY_CreateDir("user://folder");
  EXPECT_FALSE(ZY_DeleteFile("user://folder"));
}

TEST(PathHelpers, CollapseRemovesParentSteps) {
  struct Case {
    const char *in, *out;
  } cases[] = {{"a/b/../c", "a/c"},         {"a/b/../../c", "c"},
               {"res://ui/../x.png", "res://x.png"}, {"res://../x", "res://../x"},
               {"../x", "../x"},             {"a/../../x", "../x"},
               {"plain/path", "plain/path"}, {"a/b/..", "a/b/.."}};
  for (auto &c : cases) {
    char buf[64];
    strcpy(buf, c.in);
    ZYFS_CollapsePath(buf);
    EXPECT_STREQ(buf, c.out) << c.in;
  }
  ZYFS_CollapsePath(nullptr);
}

TEST(PathHelpers, FolderOfTakesEverythingBeforeTheLastSlash) {
  char out[64];
  ZYFS_FolderOf("res://ui/menu/a.xml", out, sizeof out);
  EXPECT_STREQ(out, "res://ui/menu");
  ZYFS_FolderOf("name.txt", out, sizeof out);
  EXPECT_STREQ(out, "");
  ZYFS_FolderOf("/x", out, sizeof out);
  EXPECT_STREQ(out, "");
  char small[4];
  ZYFS_FolderOf("abcdefgh/x", small, sizeof small);
  EXPECT_STREQ(small, "abc");
}
