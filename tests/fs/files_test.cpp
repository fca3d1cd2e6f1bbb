// files_test.cpp — opening, reading, writing, seeking and closing loose files, the
// name and mode rules, lookup through the search paths and the open-file counter.
#include "fs_fixture.h"

using FileTest = FsTest;

TEST_F(FileTest, WritesThenReadsBackThroughUserPrefix) {
  ZY_File *out = ZY_OpenFile("user://save.dat", "w");
  ASSERT_NE(out, nullptr);
  EXPECT_STREQ(out->name, "user://save.dat");
  EXPECT_EQ(out->size, 0);
  EXPECT_EQ(ZY_WriteFile("hello ", 6, out), 6);
  int32_t items[3] = {1, 2, 3};
  EXPECT_EQ(ZY_WriteItems(items, 4, 3, out), 12);
  ZY_FlushFile(out);
  EXPECT_EQ(ZY_TellFile(out), 18);
  EXPECT_EQ(ZY_CloseFile(out), 0);
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/save.dat").size(), 18u);

  ZY_File *in = ZY_OpenFile("user://save.dat", "rb");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->size, 18);
  char text[7] = {};
  EXPECT_EQ(ZY_ReadFile(text, 6, in), 6);
  EXPECT_STREQ(text, "hello ");
  int32_t back[3] = {};
  EXPECT_EQ(ZY_ReadItems(back, 4, 3, in), 12);
  EXPECT_EQ(back[2], 3);
  EXPECT_EQ(ZY_ReadFile(text, 6, in), 0);
  EXPECT_EQ(ZY_ReadByte(in), 0);
  ZY_CloseFile(in);
}

TEST_F(FileTest, AppendAddsToTheEnd) {
  zytest::WriteFile(UserRoot() + "/log.txt", "one\n");
  ZY_File *file = ZY_OpenFile("user://log.txt", "a");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size, 4);
  ZY_WriteFile("two\n", 4, file);
  ZY_CloseFile(file);
  file = ZY_OpenFile("user://log.txt", "ab");
  ASSERT_NE(file, nullptr);
  ZY_WriteFile("three\n", 6, file);
  ZY_CloseFile(file);
  EXPECT_EQ(zytest::ReadFile(UserRoot() + "/log.txt"), "one\ntwo\nthree\n");
}

TEST_F(FileTest, SeekTellAndReadByte) {
  Loose("bytes.bin", "ABCDEFGH");
  ZY_File *file = ZY_OpenFile("res://bytes.bin", "r");
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(ZY_SeekFile(file, 2, ZY_SEEK_SET));
  EXPECT_EQ(ZY_ReadByte(file), 'C');
  EXPECT_TRUE(ZY_SeekFile(file, 2, ZY_SEEK_CUR));
  EXPECT_EQ(ZY_ReadByte(file), 'F');
  EXPECT_TRUE(ZY_SeekFile(file, -1, ZY_SEEK_END));
  EXPECT_EQ(ZY_TellFile(file), 7);
  EXPECT_EQ(ZY_ReadByte(file), 'H');
  EXPECT_FALSE(ZY_SeekFile(file, -100, ZY_SEEK_SET));
  EXPECT_FALSE(ZY_SeekFile(file, 0, 7));
  ZY_CloseFile(file);
}

TEST_F(FileTest, NullHandlesAndBadCountsAreHarmless) {
  char buf[4];
  EXPECT_EQ(ZY_ReadFile(buf, 4, nullptr), 0);
  EXPECT_EQ(ZY_WriteFile(buf, 4, nullptr), 0);
  EXPECT_EQ(ZY_ReadByte(nullptr), 0);
  EXPECT_EQ(ZY_TellFile(nullptr), -1);
  EXPECT_FALSE(ZY_SeekFile(nullptr, 0, 0));
  ZY_FlushFile(nullptr);
  EXPECT_EQ(ZY_CloseFile(nullptr), 0);
  Loose("x.bin", "1234");
  ZY_File *file = ZY_OpenFile("res://x.bin", "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ZY_ReadFile(buf, -5, file), 0);
  // An item count whose product overflows 32 bits reads nothing rather than a wrapped size.
  EXPECT_EQ(ZY_ReadItems(buf, 0x10000, 0x10001, file), 0);
  EXPECT_EQ(ZY_ReadItems(buf, -1, 4, file), 0);
  EXPECT_EQ(ZY_ReadItems(buf, 2, 2, file), 4);
  ZY_CloseFile(file);
}

TEST_F(FileTest, IllegalNamesAreRefusedWithThePopup) {
  zytest::WriteFile(world.root() + "/secret.txt", "secret");
  Loose("ok.txt", "ok");
  ZY_AddSearchPath("res://", false);
  std::string err = StderrOf([&] {
    for (const char *bad : {"res://../secret.txt", "user://../../../../secret.txt", "../secret.txt",
                            "ok/../../secret.txt", "/etc/passwd", "res://..\\secret.txt",
                            "file:///etc/passwd", "C:/x"})
      EXPECT_EQ(ZY_OpenFile(bad, "r"), nullptr) << bad;
    std::string absolute = world.root() + "/secret.txt";
    EXPECT_EQ(ZY_OpenFile(absolute.c_str(), "r"), nullptr);
    EXPECT_EQ(ZY_OpenFile(nullptr, "r"), nullptr);
  });
  EXPECT_NE(err.find("zy->OpenFile: Illegal file name 'res://../secret.txt'.\nValid name can start "
                     "with either res://, user://, or relative path like ('ui/')."),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Illegal file name '/etc/passwd'"), std::string::npos);
  EXPECT_NE(err.find("Illegal file name '../secret.txt'"), std::string::npos);
  // Writing through a refused name creates nothing outside the roots either.
  EXPECT_EQ(ZY_OpenFile("user://../../../escape.txt", "w"), nullptr);
  EXPECT_FALSE(zytest::FileExists(world.data() + "/escape.txt"));
  EXPECT_EQ(ReadAll("ok.txt"), "ok");
}

TEST_F(FileTest, IllegalModesAreRefusedWithThePopup) {
  Loose("a.txt", "a");
  std::string err = StderrOf([] {
    for (const char *bad : {"r+", "rw", "", "x", "wb+", "rt"})
      EXPECT_EQ(ZY_OpenFile("res://a.txt", bad), nullptr) << bad;
    EXPECT_EQ(ZY_OpenFile("res://a.txt", nullptr), nullptr);
  });
  EXPECT_NE(err.find("zy->OpenFile: Illegal mode 'r+' while opening file 'res://a.txt'\nValid modes "
                     "are read (\"r\"), write (\"w\"), and append (\"a\")."),
            std::string::npos)
      << err;
  EXPECT_EQ(zytest::ReadFile(Game("a.txt")), "a");  // nothing truncated it
}

TEST_F(FileTest, RelativeNamesFollowTheSearchPathsForReadingOnly) {
  Loose("mod/ui/title.txt", "from mod");
  Loose("ui/title.txt", "from base");
  Loose("ui/only_base.txt", "base only");
  ZY_AddSearchPath("res://", false);
  EXPECT_EQ(ReadAll("ui/title.txt"), "from base");
  ZY_AddSearchPath("res://mod/", true);
  EXPECT_EQ(ReadAll("ui/title.txt"), "from mod");
  EXPECT_EQ(ReadAll("ui/only_base.txt"), "base only");
  EXPECT_EQ(ReadAll("ui/missing.txt"), "<null>");
  // Writing or appending a relative name is refused quietly.
  std::string err = StderrOf([] {
    EXPECT_EQ(ZY_OpenFile("ui/new.txt", "w"), nullptr);
    EXPECT_EQ(ZY_OpenFile("ui/title.txt", "a"), nullptr);
  });
  EXPECT_EQ(err, "");
  EXPECT_FALSE(zytest::FileExists(Game("ui/new.txt")));
  // Folders are not files.
  EXPECT_EQ(ZY_OpenFile("res://ui", "r"), nullptr);
}

TEST_F(FileTest, UserSearchPathFindsUserFiles) {
  zytest::WriteFile(UserRoot() + "/settings.xml", "<s/>");
  ZY_AddSearchPath("res://", false);
  ZY_AddSearchPath("user://", true);
  EXPECT_EQ(ReadAll("settings.xml"), "<s/>");
}

TEST_F(FileTest, CounterCountsFilesHeldByTheProgram) {
  Loose("a.txt", "a");
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
  ZY_File *a = ZY_OpenFile("res://a.txt", "r");
  ZY_File *b = ZY_OpenFile("res://a.txt", "r");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(ZYFS_OpenFileCount(), 2);
  EXPECT_EQ(zy::fs.open_count, 4);  // outer call and handle per file
  ZY_CloseFile(a);
  EXPECT_EQ(ZYFS_OpenFileCount(), 1);
  // Failed opens and engine-internal files are not the program's.
  EXPECT_EQ(ZY_OpenFile("res://none.txt", "r"), nullptr);
  ZY_File *internal = ZYFS_OpenFileInternal("res://a.txt", "r");
  ASSERT_NE(internal, nullptr);
  EXPECT_EQ(ZYFS_OpenFileCount(), 1);
  ZYFS_CloseFileInternal(internal);
  ZY_CloseFile(b);
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
  EXPECT_EQ(zy::fs.open_count, 0);
}

TEST_F(FileTest, FindPathPrefersReadableThenWritable) {
  ZY_AddSearchPath("res://", false);
  ZY_AddSearchPath("user://", true);
  Loose("fonts/a.mft", "font");
  EXPECT_STREQ(ZYFS_FindPath("fonts/a.mft", true), "res://fonts/a.mft");
  // Not readable anywhere: the first search path where it can be created, and the probe
  // file is gone again.
  ZY_CreateDir("user://fonts");
  EXPECT_EQ(ZYFS_FindPath("fonts/b.mft", true), nullptr);
  EXPECT_STREQ(ZYFS_FindPath("fonts/b.mft", false), "user://fonts/b.mft");
  EXPECT_FALSE(zytest::FileExists(UserRoot() + "/fonts/b.mft"));
  EXPECT_EQ(ZYFS_FindPath("../x", false), nullptr);
  EXPECT_EQ(ZYFS_OpenFileCount(), 0);
}
