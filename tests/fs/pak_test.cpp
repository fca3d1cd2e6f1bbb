// pak_test.cpp — reading entries of pak archives, and refusing damaged or hostile ones.
#include <thread>

#include "fs/pak_format.h"
#include "fs_fixture.h"

using std::to_string;

using PakTest = FsTest;
using PakThreads = FsTest;

static const std::vector<CraftEntry> kEntries = {
    {"ui/menu.xml", "<menu/>"}, {"ui/Button.PNG", "PNGDATA-0123456789"}, {"sfx/boom.ogg", "OggS-boom"},
    {"empty.txt", ""}};

TEST_F(PakTest, ArchivesServeTheirTopFolderInAnyCaseBeforeLooseFiles) {
  Loose("data.pak", CraftPak(kEntries).bytes);
  Loose("mod.pak", CraftPak({{"data/x.txt", "mod x"}, {"a.txt", "first"}, {"A.TXT", "second"}}).bytes);
  Loose(UserRoot() + "/dlc.pak", CraftPak({{"level1.map", "MAP1"}}).bytes);
  Loose("data/ui/menu.xml", "loose menu");
  Loose("data/ui/extra.xml", "loose extra");
  Loose("top.txt", "top");
  ZY_AddSearchPath("res://mod/", false);
  const char *reads[][2] = {
      {"data/ui/menu.xml", "<menu/>"}, {"res://data/sfx/boom.ogg", "OggS-boom"},
      {"data/UI/MENU.XML", "<menu/>"}, {"data/ui/button.png", "PNGDATA-0123456789"},
      {"data/empty.txt", ""},          {"data/ui/extra.xml", "loose extra"},
      {"data/ui/Button", "<null>"},    {"data/ui/Button.PNGx", "<null>"},
      {"data/x.txt", "mod x"},  // res://mod/ + data/x.txt: archive res://mod.pak
      {"mod/A.txt", "first"},   // the first of equal names wins
      {"user://dlc/level1.map", "MAP1"}, {"top.txt", "top"}};  // no folder: never an entry
  for (auto &r : reads) EXPECT_EQ(ReadAll(r[0]), r[1]) << r[0];
  EXPECT_EQ(LoggedCount("Opening new pak 'res://data.pak'."), 1);
  // Reads and seeks stay inside the entry: not a byte of the next or the previous one.
  ZY_File *file = ZY_OpenFile("data/ui/menu.xml", "r");
  ASSERT_NE(file, nullptr);
  char buf[64] = "";
  EXPECT_EQ(ZY_ReadFile(buf, sizeof buf, file), 7);
  EXPECT_EQ(ZY_WriteFile("x", 1, file), 0);  // archives are read-only
  EXPECT_TRUE(ZY_SeekFile(file, 3, ZY_SEEK_END));
  EXPECT_EQ(ZY_ReadByte(file), 0);
  EXPECT_FALSE(ZY_SeekFile(file, -8, ZY_SEEK_END));
  EXPECT_TRUE(ZY_SeekFile(file, -2, ZY_SEEK_END) && ZY_SeekFile(file, -2, ZY_SEEK_CUR));
  EXPECT_EQ(ZY_ReadItems(buf, 1, 40, file), 4);
  EXPECT_STREQ(buf, "nu/>u/>");  // four bytes over "<menu/>"
  ZY_CloseFile(file);
}

TEST_F(PakThreads, EntriesReadFromSeveralThreadsKeepTheirOwnPositions) {
  std::vector<CraftEntry> entries;
  for (int i = 0; i < 8; i++) entries.push_back({"f" + to_string(i), std::string(5000 + i, 'a' + i)});
  Loose("data.pak", CraftPak(entries).bytes);
  std::vector<std::string> got(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; i++)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 20; round++) got[i] = ReadAll("data/f" + to_string(i));
    });
  for (auto &t : threads) t.join();
  for (int i = 0; i < 8; i++) EXPECT_EQ(got[i], entries[i].data) << i;
  EXPECT_EQ(LoggedCount("Opening new pak 'res://data.pak'."), 1);  // mounted once
  EXPECT_EQ(zy::fs.open_count, 1);  // each entry's own handle is closed with it
  ZYFS_ResetOpeners();
  EXPECT_EQ(zy::fs.open_count, 0);
}

TEST_F(PakTest, FailuresAreRememberedUntilResetAndChangedArchivesNotTrusted) {
  Loose("data.pak", "X" + CraftPak(kEntries).bytes.substr(1));
  Loose("data/ui/menu.xml", "loose menu");
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_EQ(ReadAll("other/x.txt"), "<null>");  // a missing archive is remembered too
  // Repaired or created on disk: no second attempt, no second line until a reset.
  Loose("data.pak", CraftPak(kEntries).bytes);
  Loose("other.pak", CraftPak({{"x.txt", "now here"}}).bytes);
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_EQ(ReadAll("other/x.txt"), "<null>");
  EXPECT_EQ(LoggedCount("Refusing pak"), 1);
  ZYFS_ResetOpeners();
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "<menu/>");
  EXPECT_EQ(ReadAll("other/x.txt"), "now here");
  // Shrunk below its directory after mounting: the checked offsets no longer hold.
  Loose("data.pak", std::string("PAK\0V11\0", 8) + std::string(8, '\0'));
  EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
  EXPECT_GT(LoggedCount("Pak 'res://data.pak' changed on disk since it was opened"), 0);
}

// Hostile and damaged archives, each with the reason its refusal must give: refused as
// a whole, the engine falls back to loose files without reading out of bounds.
static std::vector<std::pair<std::string, std::string>> HostileArchives() {
  const CraftedPak good = CraftPak(kEntries);  // entries 1 and 2 start at 23 and 41
  const uint32_t size = (uint32_t)good.bytes.size(), dir = good.dir_offset;
  auto with = [&](uint32_t at, uint32_t value) {
    std::string bytes = good.bytes;
    PutU32(bytes, at, value);
    return bytes;
  };
  auto data = [&](int i, uint32_t off, uint32_t len) {
    return "entry " + to_string(i) + " ('" + kEntries[i].name + "') data " + to_string(off) + "+" +
           to_string(len) + " lies beyond the end";
  };
  std::string cut = good.bytes.substr(0, size - 2);  // the last entry's words cut short
  PutU32(cut, 12, size - 2);
  std::string endless("PAK\0V11\0\x10\0\0\0\0\0\0\0\x01\0\0\0", 20);
  endless += "endless-name-without-terminator";  // as long as a smallest entry
  PutU32(endless, 12, (uint32_t)endless.size());
  return {
      {"file too small for a header (8 bytes)", std::string("PAK\0V11\0", 8)},
      {"bad magic", std::string(64, 'P')},
      {"stored size " + to_string(size + 1) + " differs from real size " + to_string(size),
       with(12, size + 1)},
      {"stored size " + to_string(size - 1) + " differs", with(12, size - 1)},
      {"directory offset 4294967280 lies outside the file", with(8, 0xFFFFFFF0u)},
      {"directory offset 15 lies outside the file", with(8, 15)},
      {"directory offset " + to_string(size - 3) + " lies outside", with(8, size - 3)},
      {"entry count 4294967295 does not fit", with(dir, 0xFFFFFFFFu)},
      {"entry count 7 does not fit in the 113 directory bytes", with(dir, 7)},
      {"entry 4 name runs past the end of the file (no terminator)", with(dir, 5)},
      {"entry 3 ('empty.txt') runs past the end of the file", cut},
      {data(0, 0xFFFFFFF0u, 7), with(good.words_at[0], 0xFFFFFFF0u)},
      {data(0, 15, 7), with(good.words_at[0], 15)},  // data inside the header
      // offset + size wraps around 32 bits to a small number; a size one past the end
      {data(1, 23, 0xFFFFFFFFu - 23 + 10), with(good.words_at[1] + 4, 0xFFFFFFFFu - 23 + 10)},
      {data(2, 41, size - 41 + 1), with(good.words_at[2] + 4, size - 41 + 1)},
      {"entry 0 name runs past the end of the file (no terminator)", endless},
      {"entry 0 name has no terminator within 512 bytes",
       CraftPak({{std::string(ZYFS_PAK_NAME_MAX + 1, 'n'), "x"}}).bytes},
  };
}

TEST_F(PakTest, HostileArchivesAreRefusedWithTheirReasonAndLooseFilesServe) {
  Loose("data/ui/menu.xml", "loose menu");
  for (const auto &row : HostileArchives()) {
    SCOPED_TRACE(row.first);
    MarkLog();  // each row sees only its own lines
    Loose("data.pak", row.second);
    ZYFS_ResetOpeners();
    EXPECT_EQ(ReadAll("data/ui/menu.xml"), "loose menu");
    EXPECT_EQ(ReadAll("data/sfx/boom.ogg"), "<null>");
    EXPECT_EQ(LoggedCount("Refusing pak 'res://data.pak': " + row.first), 1);
    EXPECT_EQ(LoggedCount("Refusing pak"), 1);
    EXPECT_EQ(LoggedCount("Opening new pak"), 0);
  }
}

TEST_F(PakTest, LimitsThatStillHoldAreAccepted) {
  std::string longest(ZYFS_PAK_NAME_MAX, 'n');
  CraftedPak pak = CraftPak({{longest, "long"}, {"b", ""}});
  PutU32(pak.bytes, pak.words_at[1], (uint32_t)pak.bytes.size());  // "b" ends the file
  PutU32(pak.bytes, pak.words_at[1] + 4, 3);
  pak.bytes += "bee";
  PutU32(pak.bytes, 12, (uint32_t)pak.bytes.size());
  Loose("data.pak", pak.bytes);
  Loose("empty.pak", CraftPak({}).bytes);
  Loose("empty/x.txt", "loose");
  EXPECT_EQ(ReadAll("data/b") + ReadAll("data/" + longest) + ReadAll("empty/x.txt"), "beelongloose");
  EXPECT_EQ(LoggedCount("Opening new pak"), 2);
  EXPECT_EQ(LoggedCount("Refusing"), 0);
}

// The directory reader on its own, over bytes in memory: cut anywhere (with the stored
// size fixed so only the cut is wrong) it refuses; of randomly flipped bytes (fixed
// seed) whatever it accepts still describes data inside the file.
static int64_t MemReadAt(void *user, uint64_t offset, void *buffer, size_t bytes) {
  const std::string *data = (const std::string *)user;
  size_t n = offset >= data->size() ? 0 : std::min(bytes, (size_t)(data->size() - offset));
  memcpy(buffer, data->data() + offset, n);
  return (int64_t)n;
}

TEST(PakFormat, TruncatedOrRandomlyDamagedDirectoriesNeverReachOutsideTheFile) {
  const std::string full = CraftPak(kEntries).bytes;
  std::vector<std::string> damaged;
  for (size_t len = 0; len < full.size(); len++) damaged.push_back(full.substr(0, len));
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
  for (int round = 0; round < 3000; round++) {
    std::string bytes = full;
    for (int i = 1 + (int)(next() % 4); i > 0; i--) bytes[next() % bytes.size()] = (char)next();
    damaged.push_back(bytes);
  }
  int accepted = 0;
  for (size_t d = 0; d < damaged.size(); d++) {
    std::string &bytes = damaged[d];
    bool cut = d < full.size();
    if (bytes.size() >= 16 && (cut || next() % 3 == 0)) PutU32(bytes, 12, (uint32_t)bytes.size());
    ZyPakSource source = {&bytes, (int64_t)bytes.size(), MemReadAt};
    ZyPakDirectory dir;
    char why[128];
    if (!ZYFS_PakReadDirectory(&source, &dir, why, sizeof why)) {
      EXPECT_TRUE(why[0] && !dir.entries) << d;
      continue;
    }
    EXPECT_FALSE(cut) << "accepted a cut at " << d;
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
