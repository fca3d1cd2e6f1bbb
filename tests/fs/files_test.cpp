// files_test.cpp — loose files: reading, writing, seeking, the name and mode rules, the
// search path list, lookup through it, and listing files in paks and on disk.
#include "fs_fixture.h"

using FileTest = FsTest;
using Names = std::vector<std::string>;

static Names SearchPaths() {
  Names out;
  for (int32_t i = 0; i < ZY_GetSearchPathCount(); i++) out.push_back(ZY_GetSearchPath(i));
  return out;
}

// Lists folder/pattern, checks every listed name opens, and frees the list.
static Names Find(const char *folder, const char *pattern, int32_t flags = 0) {
  ZY_FileList list{(char **)0x1, 99};  // whatever the caller left there is not freed
  if (!ZY_FindFiles(&list, folder, pattern, flags)) {
    EXPECT_TRUE(list.count == 0 && list.files == nullptr);
    return {};
  }
  Names out(list.files, list.files + list.count);
  for (auto &name : out) EXPECT_NE(ReadAll(name), "<null>") << name;
  ZY_FreeFileList(&list);
  return out;
}

TEST_F(FileTest, WritesAppendsSeeksAndReadsBack) {
  for (const char *mode : {"w", "a", "ab"}) {
    ZY_File *out = ZY_OpenFile("user://save.dat", mode);
    ASSERT_NE(out, nullptr) << mode;
    int32_t items[2] = {mode[1] ? 3 : 1, 2};
    EXPECT_EQ(ZY_WriteFile(mode, 1, out) + ZY_WriteItems(items, 4, 2, out), 9);
    EXPECT_EQ(ZY_CloseFile(out), 0);
  }
  ZY_File *in = ZY_OpenFile("user://save.dat", "rb");
  ASSERT_NE(in, nullptr);
  char text[27] = {};
  EXPECT_EQ(ZY_ReadFile(text, 27, in), in->size);
  EXPECT_EQ(std::string(text + 18, 5), std::string("a\3\0\0\0", 5));
  EXPECT_TRUE(ZY_SeekFile(in, -9, ZY_SEEK_END) && ZY_SeekFile(in, 5, ZY_SEEK_CUR));
  EXPECT_EQ(ZY_TellFile(in), 23);
  EXPECT_EQ(ZY_ReadByte(in), 2);
  EXPECT_FALSE(ZY_SeekFile(in, -100, ZY_SEEK_SET) || ZY_SeekFile(in, 0, 7));
  // A negative count, or an item count whose product overflows 32 bits, reads nothing.
  EXPECT_TRUE(ZY_SeekFile(in, 0, ZY_SEEK_SET));
  EXPECT_EQ(ZY_ReadFile(text, -5, in) + ZY_ReadItems(text, 0x10000, 0x10001, in), 0);
  EXPECT_EQ(ZY_ReadItems(text, -1, 4, in), 0);
  EXPECT_EQ(ZY_ReadItems(text, 4, 2, in), 8);
  ZY_CloseFile(in);
  EXPECT_EQ(ZY_ReadFile(text, 4, nullptr), 0);
  EXPECT_EQ(ZY_CloseFile(nullptr), 0);
  EXPECT_EQ(ZYFS_OpenFileCount() + zy::fs.open_count, 0);
}

TEST_F(FileTest, IllegalNamesAndModesAreRefusedWithThePopup) {
  Loose("a.txt", "a");
  std::string err = StderrOf([&] {
    for (const std::string &bad : {std::string("res://../a.txt"), Game("a.txt")})
      EXPECT_EQ(ZY_OpenFile(bad.c_str(), "r"), nullptr) << bad;
    EXPECT_EQ(ZY_OpenFile("user://../../../escape.txt", "w"), nullptr);
    for (const char *bad : {"r+", "rw", "", "wb+", "rt", (const char *)0})
      EXPECT_EQ(ZY_OpenFile("res://a.txt", bad), nullptr) << (bad ? bad : "(null)");
  });
  for (const char *popup : {"zy->OpenFile: Illegal file name 'res://../a.txt'.\nValid name can start",
                            "zy->OpenFile: Illegal mode 'r+' while opening file 'res://a.txt'\n"})
    EXPECT_NE(err.find(popup), std::string::npos) << popup << "\n" << err;
  EXPECT_FALSE(zytest::FileExists(world.data() + "/escape.txt"));
  EXPECT_EQ(zytest::ReadFile(Game("a.txt")), "a");  // no refused mode truncated it
}

TEST_F(FileTest, SearchPathsAreOrderedOnceAndRelativeNamesAreOnlyReadThroughThem) {
  Loose("mod/ui/title.txt", "from mod");
  Loose("ui/title.txt", "from base");
  Loose(UserRoot() + "/settings.xml", "<s/>");
  std::string err = StderrOf([] {
    for (const char *bad : {"data/", (const char *)nullptr, "res://../../", "res://a/../.."})
      ZY_AddSearchPath(bad, false);
    EXPECT_EQ(ZY_OpenFile("ui/new.txt", "w"), nullptr);  // relative names are only read
    EXPECT_EQ(ZY_OpenFile("ui/title.txt", "a"), nullptr);
  });
  for (const char *popup : {"zy->AddSearchPath ('data/'): path name needs to include file system target",
                            "zy->AddSearchPath ('res://../../'): path name must not contain '..'"})
    EXPECT_NE(err.find(popup), std::string::npos) << popup << "\n" << err;
  EXPECT_EQ(ReadAll("ui/title.txt"), "from base");
  ZY_AddSearchPath("user://", false);
  ZY_AddSearchPath("res://mod\\", true);  // backslashes are normalised, here and below
  ZY_AddSearchPath("res://", false);      // the same path again moves to where it is added
  ZY_AddSearchPath("res://MOD/", false);  // letter case matters: another folder
  ZY_RemoveSearchPath("res:\\\\MOD");
  EXPECT_EQ(SearchPaths(), (Names{"res://mod/", "user://", "res://"}));
  EXPECT_EQ(ZY_GetSearchPath(3), nullptr);
  EXPECT_EQ(ReadAll("ui/title.txt") + ReadAll("settings.xml"), "from mod<s/>");
  EXPECT_EQ(ReadAll("ui/missing.txt") + ReadAll("res://ui"), "<null><null>");  // folders too
  EXPECT_FALSE(zytest::FileExists(Game("ui/new.txt")));
}

TEST_F(FileTest, FindFilesListsPakEntriesThenLooseFilesOfOneFolderOnly) {
  Loose("data.pak", CraftPak({{"sfx/boom.ogg", "b"}, {"sfx/deep/no.ogg", "n"}, {"SFX/Bang.Ogg", "B"},
                              {"sfx/readme.txt", "r"}}).bytes);
  for (const char *loose : {"data/sfx/boom.ogg", "data/sfx/b.OGG", "data/sfx/sub/d.ogg", "data/sfx/c"})
    Loose(loose, "x");
  Loose(world.root() + "/outside.png", "x");  // beside the game folder
  zytest::MakeDirs(Game("data/sfx/folder.ogg"));
  // A name in both is listed for each; no sub-folders, no folders named like files.
  EXPECT_EQ(Find("data/sfx/", "*.ogg"),
            (Names{"data/sfx/boom.ogg", "data/sfx/Bang.Ogg", "data/sfx/b.OGG", "data/sfx/boom.ogg"}));
  std::string err = StderrOf([&] {
    for (const char *folder : {"nothing", "user://ui", "..", "ui/../..", "/", world.root().c_str()})
      EXPECT_EQ(Find(folder, "*.png"), Names{}) << folder;
    EXPECT_EQ(Find("data/sfx", "b*.ogg"), Names{});
    EXPECT_EQ(Find("", "*./../outside.png"), Names{});
    EXPECT_EQ(Find("res://data", "*.ogg", ZY_FIND_RECURSE_SUBDIRS), Names{});
  });
  EXPECT_FALSE(ZY_FindFiles(nullptr, "ui", "*.png", 0));
  for (const char *popup : {"'user://' not permitted.", "'b*.ogg' is not", "with prefixes is not",
                            "illegal folder name '..'"})
    EXPECT_NE(err.find(popup), std::string::npos) << popup << "\n" << err;
}
