// pak_test.cpp — reading entries of pak archives, and refusing damaged or hostile ones.
#include <thread>

#include "fs/pak_format.h"
#include "fs_fixture.h"

class PakTest : public FsTest {
 protected:
  void SetUp() override {
    FsTest::SetUp();
    ZY_AddSearchPath("res://", false);
  }
  void WritePak(const std::string &rel, const std::string &bytes) { Loose(rel, bytes); }
};

static const std::vector<CraftEntry> kEntries = {
    {"ui/menu.xml", "<menu/>"},
    {"ui/Button.PNG", "PNGDATA-0123456789"},
    {"sfx/boom.ogg", "OggS-boom"},
    {"empty.txt", ""},
};

TEST_F(PakTest, EntriesReadThroughRelativeAndPrefixedNames) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  EXPECT_EQ(ReadAll("res://data/sfx/boom.ogg"), "OggS-boom");
  EXPECT_EQ(ReadAll("data/empty.txt"), "");
  EXPECT_EQ(ReadAll("data/ui/none.xml"), "<null>");
  ZY_File *file = ZY_OpenFile("data/ui/menu.xml", "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size, 7);
  EXPECT_STREQ(file->name, "ui/menu.xml");
  ZY_CloseFile(file);
  EXPECT_EQ(LoggedCount("Opening new pak 'res://data.pak'."), 1);
}

TEST_F(PakTest, LookupIgnoresLetterCase) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  EXPECT_EQ(ReadAll("data/UI/MENU.XML"), "<menu/>");
  EXPECT_EQ(ReadAll("data/ui/button.png"), "PNGDATA-0123456789");
}

TEST_F(PakTest, FirstOfTwoEqualNamesWins) {
  WritePak("data.pak", CraftPak({{"a.txt", "first"}, {"A.TXT", "second"}}).bytes);
  EXPECT_EQ(ReadAll("data/a.txt"), "first");
  EXPECT_EQ(ReadAll("data/A.txt"), "first");
}

TEST_F(PakTest, PakEntryHidesLooseFileButLooseFillsGaps) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  Loose("data/ui/menu.xml", "loose menu");
  Loose("data/ui/extra.xml", "loose extra");
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  EXPECT_EQ(ReadAll("data/ui/extra.xml"), "loose extra");
  // Writing never goes to a pak: a prefixed name opened for writing is a loose file.
  ZY_File *out = ZY_OpenFile("res://data/ui/menu.xml", "w");
  ASSERT_NE(out, nullptr);
  ZY_CloseFile(out);
}

TEST_F(PakTest, ReadsStopAtTheEntryEnd) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  ZY_File *file = ZY_OpenFile("data/ui/menu.xml", "r");
  ASSERT_NE(file, nullptr);
  char buf[64];
  memset(buf, '#', sizeof buf);
  // Asking for far more than the entry holds gives exactly the entry.
  EXPECT_EQ(ZY_ReadFile(buf, sizeof buf, file), 7);
  EXPECT_EQ(std::string(buf, 7), "<menu/>");
  EXPECT_EQ(buf[7], '#');
  EXPECT_EQ(ZY_ReadFile(buf, sizeof buf, file), 0);
  EXPECT_EQ(ZY_ReadByte(file), 0);
  // Seeking past the end and reading still yields nothing of the next entry.
  EXPECT_TRUE(ZY_SeekFile(file, 3, ZY_SEEK_END));
  EXPECT_EQ(ZY_ReadFile(buf, sizeof buf, file), 0);
  EXPECT_TRUE(ZY_SeekFile(file, 5, ZY_SEEK_SET));
  EXPECT_EQ(ZY_ReadItems(buf, 1, 40, file), 2);
  EXPECT_EQ(std::string(buf, 2), "/>");
  // Nor of the previous one.
  EXPECT_FALSE(ZY_SeekFile(file, -1, ZY_SEEK_SET));
  EXPECT_FALSE(ZY_SeekFile(file, -8, ZY_SEEK_END));
  EXPECT_EQ(ZY_TellFile(file), 7);
  ZY_CloseFile(file);
}

TEST_F(PakTest, SeekToEndTellsEntrySize) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  ZY_File *file = ZY_OpenFile("data/ui/Button.PNG", "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(ZY_TellFile(file), 0);
  EXPECT_TRUE(ZY_SeekFile(file, 0, ZY_SEEK_END));
  EXPECT_EQ(ZY_TellFile(file), 18);
  EXPECT_TRUE(ZY_SeekFile(file, -4, ZY_SEEK_CUR));
  EXPECT_EQ(ZY_ReadByte(file), '6');
  EXPECT_TRUE(ZY_SeekFile(file, 8, ZY_SEEK_SET));
  EXPECT_EQ(ZY_ReadByte(file), '0');
  EXPECT_EQ(ZY_WriteFile("x", 1, file), 0);  // archives are read-only
  ZY_FlushFile(file);
  ZY_CloseFile(file);
}

TEST_F(PakTest, TwoEntriesReadAtTheSameTimeKeepTheirOwnPositions) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  ZY_File *a = ZY_OpenFile("data/ui/Button.PNG", "r");
  ZY_File *b = ZY_OpenFile("data/sfx/boom.ogg", "r");
  ASSERT_TRUE(a && b);
  std::string ra, rb;
  for (int i = 0; i < 18; i++) {
    if (int c = ZY_ReadByte(a)) ra += (char)c;
    if (int c = ZY_ReadByte(b)) rb += (char)c;
  }
  EXPECT_EQ(ra, "PNGDATA-0123456789");
  EXPECT_EQ(rb, "OggS-boom");
  // Each open entry holds its own archive handle, besides the mounted archive's.
  EXPECT_EQ(zy::fs.open_count, 2 * 2 + 2 + 1);
  ZY_CloseFile(a);
  ZY_CloseFile(b);
  EXPECT_EQ(zy::fs.open_count, 1);
  ZYFS_ResetOpeners();
  EXPECT_EQ(zy::fs.open_count, 0);
}

TEST_F(PakTest, EntriesReadFromSeveralThreads) {
  std::vector<CraftEntry> entries;
  for (int i = 0; i < 8; i++) entries.push_back({"f" + std::to_string(i), std::string(5000 + i, 'a' + i)});
  WritePak("data.pak", CraftPak(entries).bytes);
  std::vector<std::string> got(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; i++)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 20; round++) got[i] = ReadAll(("data/f" + std::to_string(i)).c_str());
    });
  for (auto &t : threads) t.join();
  for (int i = 0; i < 8; i++) EXPECT_EQ(got[i], entries[i].data) << i;
  EXPECT_EQ(LoggedCount("Opening new pak 'res://data.pak'."), 1);
}

TEST_F(PakTest, NestedFoldersUseTheTopLevelArchive) {
  WritePak("mod.pak", CraftPak({{"data/ui/menu.xml", "mod menu"}}).bytes);
  ZY_AddSearchPath("res://mod/", true);
  // res://mod/ + data/ui/menu.xml -> archive res://mod.pak, entry data/ui/menu.xml
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "mod menu");
  // A name with no folder after its scheme is never a pak entry.
  Loose("top.txt", "top");
  EXPECT_EQ(ReadAll("top.txt"), "top");
}

TEST_F(PakTest, UserPrefixedArchivesWork) {
  zytest::MakeDirs(UserRoot());
  zytest::WriteFile(UserRoot() + "/dlc.pak", CraftPak({{"level1.map", "MAP1"}}).bytes);
  EXPECT_EQ(ReadAll("user://dlc/level1.map"), "MAP1");
}

TEST_F(PakTest, SizeOffByOneIsRefusedAndLooseFilesAreUsed) {
  for (int delta : {+1, -1}) {
    CraftedPak pak = CraftPak(kEntries);
    PutU32(pak.bytes, 12, (uint32_t)(pak.bytes.size() + delta));
    WritePak("data.pak", pak.bytes);
    Loose("data/ui/menu.xml", "loose menu");
    EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu") << delta;
    EXPECT_EQ(ReadAll("data/sfx/boom.ogg"), "<null>");
    EXPECT_TRUE(Logged("Refusing pak 'res://data.pak': stored size")) << delta;
    EXPECT_FALSE(Logged("Opening new pak"));
    ZYFS_ResetOpeners();
  }
}

TEST_F(PakTest, FailuresAreRememberedUntilReset) {
  CraftedPak pak = CraftPak(kEntries);
  pak.bytes[0] = 'X';
  WritePak("data.pak", pak.bytes);
  Loose("data/ui/menu.xml", "loose menu");
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_EQ(LoggedCount("Refusing pak 'res://data.pak': bad magic"), 1);
  // Repaired on disk, but the failure is remembered: no second attempt, no second line.
  WritePak("data.pak", CraftPak(kEntries).bytes);
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_EQ(LoggedCount("Refusing pak"), 1);
  // A missing archive is remembered too, silently.
  EXPECT_EQ(ReadAll("other/x.txt"), "<null>");
  Loose("other.pak", CraftPak({{"x.txt", "now here"}}).bytes);
  EXPECT_EQ(ReadAll("other/x.txt"), "<null>");
  // Reset forgets everything: both archives are tried again.
  ZYFS_ResetOpeners();
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  EXPECT_EQ(ReadAll("other/x.txt"), "now here");
}

TEST_F(PakTest, ArchiveChangedOnDiskAfterMountingIsNotTrusted) {
  WritePak("data.pak", CraftPak(kEntries).bytes);
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  // Shrink the archive below its directory: offsets checked at mount time no longer hold.
  WritePak("data.pak", std::string("PAK\0V11\0", 8) + std::string(8, '\0'));
  Loose("data/ui/menu.xml", "loose menu");
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_TRUE(Logged("Pak 'res://data.pak' changed on disk since it was opened"));
}

// ---------------------------------------------------------------------------------
// Hostile and damaged archives: each is refused as a whole, with a log line naming why,
// and the engine falls back to loose files without reading out of bounds.
// ---------------------------------------------------------------------------------

struct Damage {
  const char *what;     // expected part of the log line
  std::string (*make)(); // the archive bytes
};

static std::string WithU32(uint32_t at_dir_plus, uint32_t value, bool from_dir = true) {
  CraftedPak pak = CraftPak(kEntries);
  PutU32(pak.bytes, (from_dir ? pak.dir_offset : 0) + at_dir_plus, value);
  return pak.bytes;
}

static const Damage kDamages[] = {
    {"file too small", [] { return std::string("PAK\0V11\0", 8); }},
    {"bad magic", [] { return std::string(64, 'P'); }},
    {"directory offset", [] { return WithU32(8, 0xFFFFFFF0u, false); }},
    {"directory offset", [] { return WithU32(8, 4, false); }},
    {"entry count", [] { return WithU32(0, 0xFFFFFFFFu); }},
    {"entry count", [] { return WithU32(0, 1000); }},
    {"runs past the end", [] { return WithU32(0, 5); }},  // a fifth entry that is not there
    {"runs past the end", [] {
       // The last entry's words are cut short.
       CraftedPak pak = CraftPak(kEntries);
       pak.bytes.resize(pak.bytes.size() - 2);
       PutU32(pak.bytes, 12, (uint32_t)pak.bytes.size());
       return pak.bytes;
     }},
    {"lies beyond the end", [] {
       CraftedPak pak = CraftPak(kEntries);
       uint32_t at = pak.dir_entry_at[0] + (uint32_t)kEntries[0].name.size() + 1;
       PutU32(pak.bytes, at, 0xFFFFFFF0u);  // data offset
       return pak.bytes;
     }},
    {"lies beyond the end", [] {
       // offset + size wraps around 32 bits to a small number
       CraftedPak pak = CraftPak(kEntries);
       uint32_t at = pak.dir_entry_at[1] + (uint32_t)kEntries[1].name.size() + 1;
       PutU32(pak.bytes, at + 4, 0xFFFFFFFFu - pak.data_offsets[1] + 10);
       return pak.bytes;
     }},
    {"lies beyond the end", [] {
       CraftedPak pak = CraftPak(kEntries);
       uint32_t at = pak.dir_entry_at[2] + (uint32_t)kEntries[2].name.size() + 1;
       PutU32(pak.bytes, at + 4, (uint32_t)pak.bytes.size());  // size larger than the file
       return pak.bytes;
     }},
    {"lies beyond the end", [] {
       CraftedPak pak = CraftPak(kEntries);
       uint32_t at = pak.dir_entry_at[0] + (uint32_t)kEntries[0].name.size() + 1;
       PutU32(pak.bytes, at, 3);  // data inside the header
       return pak.bytes;
     }},
    {"no terminator", [] {
       // The last name runs to the end of the file without a zero byte.
       std::string bytes("PAK\0V11\0", 8);
       AppendU32(bytes, 16);
       AppendU32(bytes, 0);
       AppendU32(bytes, 1);
       bytes += "endless-name-without-terminator";
       PutU32(bytes, 12, (uint32_t)bytes.size());
       return bytes;
     }},
    {"no terminator", [] {
       // A name longer than any entry name may be.
       CraftedPak pak = CraftPak({{std::string(600, 'n'), "x"}});
       return pak.bytes;
     }},
};

TEST_F(PakTest, HostileArchivesAreRefusedAsMissing) {
  Loose("data/ui/menu.xml", "loose menu");
  for (const Damage &damage : kDamages) {
    std::string bytes = damage.make();
    WritePak("data.pak", bytes);
    ZYFS_ResetOpeners();
    EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu") << damage.what;
    EXPECT_EQ(ReadAll("data/sfx/boom.ogg"), "<null>") << damage.what;
    EXPECT_TRUE(Logged(std::string("Refusing pak 'res://data.pak': ") )) << damage.what;
    EXPECT_TRUE(Logged(damage.what)) << damage.what;
  }
  EXPECT_FALSE(Logged("Opening new pak"));
}

TEST_F(PakTest, LongestLegalNameIsAccepted) {
  std::string name(ZYFS_PAK_NAME_MAX, 'n');
  WritePak("data.pak", CraftPak({{name, "long"}, {"b", "bee"}}).bytes);
  EXPECT_EQ(ReadAll("data/b"), "bee");
  ZY_File *file = ZY_OpenFile(("data/" + name).c_str(), "r");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->size, 4);
  ZY_CloseFile(file);
}

TEST_F(PakTest, EmptyArchiveMountsAndServesNothing) {
  WritePak("data.pak", CraftPak({}).bytes);
  Loose("data/x.txt", "loose");
  EXPECT_EQ(ReadAll("data/x.txt"), "loose");
  EXPECT_TRUE(Logged("Opening new pak 'res://data.pak'."));
}

// The directory reader on its own, over bytes in memory.
static int64_t MemReadAt(void *user, uint64_t offset, void *buffer, size_t bytes) {
  const std::string *data = (const std::string *)user;
  if (offset >= data->size()) return 0;
  size_t n = std::min(bytes, (size_t)(data->size() - offset));
  memcpy(buffer, data->data() + offset, n);
  return (int64_t)n;
}

TEST(PakFormat, ReadsEveryFieldOfTheDirectory) {
  CraftedPak pak = CraftPak(kEntries);
  // Give the further words of entry 0 recognisable values.
  uint32_t words = pak.dir_entry_at[0] + (uint32_t)kEntries[0].name.size() + 1 + 8;
  PutU32(pak.bytes, words, 0x11223344);
  PutU32(pak.bytes, words + 4, 0x55667788);
  ZyPakSource source = {&pak.bytes, (int64_t)pak.bytes.size(), MemReadAt};
  ZyPakDirectory dir;
  char why[128];
  ASSERT_TRUE(ZYFS_PakReadDirectory(&source, &dir, why, sizeof why)) << why;
  ASSERT_EQ(dir.entry_count, 4u);
  EXPECT_EQ(dir.dir_offset, pak.dir_offset);
  EXPECT_EQ(dir.file_size, pak.bytes.size());
  EXPECT_STREQ(dir.entries[1].name, "ui/Button.PNG");
  EXPECT_EQ(dir.entries[1].offset, pak.data_offsets[1]);
  EXPECT_EQ(dir.entries[1].size, 18u);
  EXPECT_EQ(dir.entries[0].word3, 0x11223344u);
  EXPECT_EQ(dir.entries[0].word4, 0x55667788u);
  EXPECT_EQ(ZYFS_PakFindEntry(&dir, "UI/BUTTON.png"), 1);
  EXPECT_EQ(ZYFS_PakFindEntry(&dir, "ui/Button"), -1);
  EXPECT_EQ(ZYFS_PakFindEntry(&dir, "ui/Button.PNGx"), -1);
  ZYFS_PakFreeDirectory(&dir);
  EXPECT_EQ(dir.entry_count, 0u);
  EXPECT_EQ(dir.entries, nullptr);
}

TEST(PakFormat, EveryTruncationIsRefusedCleanly) {
  // Cutting a valid archive anywhere (and fixing the stored size so only the cut is
  // wrong) must be refused without reading past the shortened data.
  std::string full = CraftPak(kEntries).bytes;
  for (size_t len = 0; len < full.size(); len++) {
    std::string cut = full.substr(0, len);
    if (cut.size() >= 16) PutU32(cut, 12, (uint32_t)cut.size());
    ZyPakSource source = {&cut, (int64_t)cut.size(), MemReadAt};
    ZyPakDirectory dir;
    char why[128];
    EXPECT_FALSE(ZYFS_PakReadDirectory(&source, &dir, why, sizeof why)) << len;
    EXPECT_NE(why[0], '\0') << len;
    EXPECT_EQ(dir.entries, nullptr);
  }
}

TEST(PakFormat, RandomDamageNeverYieldsEntriesOutsideTheFile) {
  // Flip bytes of a valid archive at random (fixed seed). Whatever the reader accepts
  // must still describe data inside the file.
  const std::string full = CraftPak(kEntries).bytes;
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  int accepted = 0;
  for (int round = 0; round < 3000; round++) {
    std::string bytes = full;
    int flips = 1 + (int)(next() % 4);
    for (int i = 0; i < flips; i++) bytes[next() % bytes.size()] = (char)next();
    if (next() % 3 == 0) PutU32(bytes, 12, (uint32_t)bytes.size());  // keep the size check quiet
    ZyPakSource source = {&bytes, (int64_t)bytes.size(), MemReadAt};
    ZyPakDirectory dir;
    char why[128];
    if (!ZYFS_PakReadDirectory(&source, &dir, why, sizeof why)) continue;
    accepted++;
    for (uint32_t e = 0; e < dir.entry_count; e++) {
      EXPECT_GE(dir.entries[e].offset, 16u);
      EXPECT_LE((uint64_t)dir.entries[e].offset + dir.entries[e].size, bytes.size());
      EXPECT_LE(strlen(dir.entries[e].name), (size_t)ZYFS_PAK_NAME_MAX);
    }
    ZYFS_PakFreeDirectory(&dir);
  }
  EXPECT_GT(accepted, 0);  // flips inside entry data leave the archive valid
}
