// find_files_test.cpp — listing files over the search paths, in paks and on disk.
#include <algorithm>

#include "fs_fixture.h"

using FindFilesTest = FsTest;

static std::vector<std::string> Names(const ZY_FileList &list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.count; i++) out.push_back(list.files[i]);
  return out;
}

TEST_F(FindFilesTest, ListsLooseFilesOfOneFolderByExtension) {
  Loose("sfx/a.ogg", "a");
  Loose("sfx/b.OGG", "b");
  Loose("sfx/c.wav", "c");
  Loose("sfx/sub/d.ogg", "d");
  zytest::MakeDirs(Game("sfx/folder.ogg"));
  ZY_AddSearchPath("res://", false);
  ZY_FileList list;
  ASSERT_TRUE(ZY_FindFiles(&list, "sfx", "*.ogg", 0));
  // Sub-folders and folders named like files are not listed.
  EXPECT_EQ(Names(list), (std::vector<std::string>{"sfx/a.ogg", "sfx/b.OGG"}));
  // Every listed name opens.
  for (auto &name : Names(list)) EXPECT_NE(ReadAll(name.c_str()), "<null>") << name;
  ZY_FreeFileList(&list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.files, nullptr);
  // A trailing slash on the folder changes nothing; recursion is not offered.
  ASSERT_TRUE(ZY_FindFiles(&list, "sfx/", "*.wav", ZY_FIND_RECURSE_SUBDIRS));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"sfx/c.wav"}));
  ZY_FreeFileList(&list);
}

TEST_F(FindFilesTest, ListsPakEntriesAndLooseFilesOfEverySearchPath) {
  Loose("data.pak", CraftPak({{"sfx/boom.ogg", "b"},
                              {"sfx/deep/no.ogg", "n"},
                              {"SFX/Bang.Ogg", "B"},
                              {"sfx/readme.txt", "r"},
                              {"music/m.ogg", "m"}})
                        .bytes);
  Loose("data/sfx/boom.ogg", "loose boom");
  Loose("data/sfx/loose.ogg", "l");
  ZY_AddSearchPath("res://", false);
  ZY_FileList list;
  ASSERT_TRUE(ZY_FindFiles(&list, "data/sfx", "*.ogg", 0));
  // Pak entries first, then disk; a name in both is listed for each.
  EXPECT_EQ(Names(list), (std::vector<std::string>{"data/sfx/boom.ogg", "data/sfx/Bang.Ogg",
                                                   "data/sfx/boom.ogg", "data/sfx/loose.ogg"}));
  for (auto &name : Names(list)) EXPECT_NE(ReadAll(name.c_str()), "<null>") << name;
  ZY_FreeFileList(&list);

  // With the archive's own folder as a search path, names are relative to it.
  ZY_AddSearchPath("res://data/", true);
  ASSERT_TRUE(ZY_FindFiles(&list, "sfx", "*.ogg", 0));
  std::vector<std::string> names = Names(list);
  EXPECT_EQ(std::count(names.begin(), names.end(), "sfx/boom.ogg"), 2);
  EXPECT_EQ(names.size(), 4u);
  ZY_FreeFileList(&list);
}

TEST_F(FindFilesTest, NothingFoundIsFalseWithAnEmptyList) {
  ZY_AddSearchPath("res://", false);
  ZY_FileList list{(char **)0x1, 99};  // whatever the caller left there is not freed
  EXPECT_FALSE(ZY_FindFiles(&list, "nothing", "*.png", 0));
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.files, nullptr);
  EXPECT_FALSE(ZY_FindFiles(&list, nullptr, "*.png", 0));
  EXPECT_FALSE(ZY_FindFiles(&list, "x", nullptr, 0));
  EXPECT_FALSE(ZY_FindFiles(nullptr, "x", "*.png", 0));
}

TEST_F(FindFilesTest, RefusedRequestsShowTheirPopups) {
  Loose("ui/a.png", "a");
  ZY_AddSearchPath("res://", false);
  ZY_FileList list;
  std::string err = StderrOf([&] {
    EXPECT_FALSE(ZY_FindFiles(&list, "user://ui", "*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, "ui", "a*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, "res://ui", "*.png", ZY_FIND_RECURSE_SUBDIRS));
  });
  EXPECT_NE(err.find("ZYFS_FindFiles should be passed only res:// paths or paths without prefix. "
                     "'user://' not permitted. Returning 0 files.\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("FindFiles wildcard 'a*.png' is not implemented yet for file paks. Please use "
                     "simple wildcards like '*.ogg'\n"),
            std::string::npos);
  EXPECT_NE(err.find("FindFiles subdir recursing is not implemented yet for external files. "
                     "Forcing parm recurse_subdirs to false.\n"),
            std::string::npos);
  EXPECT_NE(err.find("FindFiles with prefixes is not implemented yet.'\n"), std::string::npos);
}

TEST_F(FindFilesTest, FoldersAndPatternsCannotLeaveTheSearchPaths) {
  // Files beside the game folder, one and two levels up.
  zytest::WriteFile(world.root() + "/outside.png", "x");
  zytest::WriteFile(world.game() + "/../outside2.png", "x");
  ZY_AddSearchPath("res://", false);
  ZY_FileList list;
  std::string err = StderrOf([&] {
    EXPECT_FALSE(ZY_FindFiles(&list, "..", "*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, "ui/../..", "*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, "/", "*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, world.root().c_str(), "*.png", 0));
    EXPECT_FALSE(ZY_FindFiles(&list, "", "*./../outside.png", 0));
  });
  EXPECT_EQ(list.count, 0);
  EXPECT_NE(err.find("FindFiles: illegal folder name '..'"), std::string::npos) << err;
}

TEST_F(FindFilesTest, StarDotStarListsEveryFile) {
  Loose("cfg/a.xml", "a");
  Loose("cfg/b", "b");
  ZY_AddSearchPath("res://", false);
  ZY_FileList list;
  ASSERT_TRUE(ZY_FindFiles(&list, "cfg", "*.*", 0));
  EXPECT_EQ(Names(list), (std::vector<std::string>{"cfg/a.xml", "cfg/b"}));
  ZY_FreeFileList(&list);
}
