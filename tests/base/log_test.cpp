// The log: the numbered file with its banner and line format, level counting and the
// verbose filter, multi-line texts, cutting, the history with its "..." marker, and the
// switches that keep the log or its file off.
#include <regex>

#include "core_fixture.h"

class Log : public CoreTest {};

TEST_F(Log, FileStartsWithTheBannerThenNumberedStampedLines) {
  ZYI_LogOpen();
  ASSERT_TRUE(ZYI_LogStarted());
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0001.log");
  EXPECT_EQ(ZY_Print("hello %d", 5), 7);
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "%s failed", "load"), 11);
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "Qarvel ZY (API 1224 + core 2300)");
  EXPECT_EQ(lines[1], std::string(32, '-'));
  const char *stamp = "^[0-9]{4}: \\[[0-9]{2}:[0-9]{2}\\.[0-9]{2}\\] ";
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + std::string("Logging started on [0-9]{4}-[0-9]{2}-[0-9]{2}\\."))))
      << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], std::regex(stamp + std::string("hello 5")))) << lines[3];
  EXPECT_EQ(lines[3].substr(0, 6), "0002: ");
  EXPECT_EQ(lines[4].substr(0, 6), "0003: ");
  EXPECT_EQ(Body(lines[4]), "load failed");

  // The stamp is the local time the history keeps for the line.
  ZYI_Lock(ZYI_LOCK_PRINT);
  const ZyLogRecord *r = ZYI_LogHistoryRecord(2);
  ASSERT_NE(r, nullptr);
  char expect[32];
  snprintf(expect, sizeof expect, "0003: [%.2d:%.2d.%.2d] ", r->date_time[3], r->date_time[4], r->date_time[5]);
  EXPECT_EQ(r->level, ZY_LOG_ERROR);
  EXPECT_EQ(r->line_number, 3);
  EXPECT_STREQ(r->thread_name, "MAIN");
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(lines[4].substr(0, 17), expect);

  // Complete on disk after every line, with plain line feeds.
  ZY_Print("tail");
  EXPECT_EQ(Body(FileLines().back()), "tail");
  EXPECT_EQ(zytest::ReadFile(Native(zy::log.file_path)).find('\r'), std::string::npos);
}

TEST_F(Log, NewFileTakesTheFirstFreeNumber) {
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder);
  for (const char *n : {"0001", "0002", "0004"}) zytest::WriteFile(folder + "/zylem-" + n + ".log", n);
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0003.log");
  EXPECT_EQ(zytest::ReadFile(folder + "/zylem-0004.log"), "0004");
  ZYI_LogClose();
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0005.log");
}

TEST_F(Log, VerboseLevelDropsLowerLinesBeforeTheyAreCountedOrNumbered) {
  zy::config.verbose_level = ZY_LOG_ERROR;
  ZYI_LogOpen();
  EXPECT_EQ(ZY_Log(ZY_LOG_WARNING, "quiet %d", 1), 0);
  EXPECT_EQ(ZY_Print("quiet too"), 0);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_WARNING] + zy::log.level_counts[ZY_LOG_INFO], 0);
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "loud"), 4);
  ZY_Log(ZY_LOG_SYSTEM, "milestone");
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 4u);  // "Logging started" was filtered too
  EXPECT_EQ(lines[2].substr(0, 4) + Body(lines[2]), "0001loud");
  EXPECT_EQ(lines[3].substr(0, 4), "0002");
  // Lines that reach the writer below the level are counted but not written.
  ZYI_Lock(ZYI_LOCK_PRINT);
  ZYI_LogWriteText(ZY_LOG_INFO, "counted only");
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_INFO], 1);
  EXPECT_EQ(FileLines().size(), 4u);
}

TEST_F(Log, LevelsOutsideZeroToSevenCountAsErrors) {
  ZYI_LogOpen();
  for (int level : {5, 7, 8, 99}) ZY_Log(level, "level %d", level);
  EXPECT_EQ(zy::log.level_counts[5], 1);
  EXPECT_EQ(zy::log.level_counts[7], 1);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_ERROR], 2);
  ZYI_Lock(ZYI_LOCK_PRINT);
  EXPECT_EQ(ZYI_LogHistoryRecord(ZYI_LogHistoryCount() - 1)->level, ZY_LOG_ERROR);
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(Body(FileLines().back()), "level 99");
}

TEST_F(Log, MultiLineTextsBecomeOneLinePerNonEmptyLine) {
  ZYI_LogOpen();
  std::string p = std::string(300, 'p'), q = std::string(700, 'q');
  ZY_Log(ZY_LOG_WARNING, "a\nb\n");
  ZY_Print("single\n");
  ZY_Print("x\n\ny");
  ZY_Print("%s", "");  // empty: counted, not written
  ZY_Log(ZY_LOG_ERROR, "%s\n%s\n", p.c_str(), q.c_str());  // long pieces stay whole
  std::vector<std::string> body;
  for (auto &l : FileLines()) body.push_back(Body(l));
  EXPECT_EQ(std::vector<std::string>(body.begin() + 3, body.end()),
            (std::vector<std::string>{"a", "b", "single", "x", "y", p, q}));
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_WARNING], 2);
  EXPECT_EQ(zy::log.line_number, 8);
  std::vector<std::string> h = History();
  ASSERT_EQ(h.size(), 8u);
  EXPECT_EQ(h[3], "single\n");  // the history keeps a single line as given
}

TEST_F(Log, OverlongTextsAreCutButEveryFileLineEndsWithItsLineFeed) {
  ZYI_LogOpen();
  std::string big(5000, 'z'), wide = std::string(2000, 'w') + "\n";
  EXPECT_EQ(ZY_Print("%s", big.c_str()), -1);
  EXPECT_EQ(History().back(), big.substr(0, 4095));
  EXPECT_EQ(ZY_Print("%s", wide.c_str()), 2001);
  ZY_Print("after");
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3].size(), 1023u);
  EXPECT_EQ(Body(lines[4]), std::string(1023 - 17, 'w'));  // its own line feed was cut, one added
  EXPECT_EQ(Body(lines[5]), "after");
  EXPECT_EQ(History()[2], wide);
}

TEST_F(Log, HistoryKeepsTheNewestRecordsBehindAMarker) {
  zy::config.logging = 0;
  ZYI_LogOpen();  // "Logging started" is line 1
  for (int i = 2; i <= ZYI_LOG_HISTORY_LIMIT; i++) ZY_Print("line %d", i);
  ZYI_Lock(ZYI_LOCK_PRINT);
  ASSERT_EQ(ZYI_LogHistoryCount(), ZYI_LOG_HISTORY_LIMIT);
  EXPECT_EQ(ZYI_LogHistoryRecord(0)->line_number, 1);  // full, nothing lost yet
  ZYI_Unlock(ZYI_LOCK_PRINT);

  ZY_Print("line %d", ZYI_LOG_HISTORY_LIMIT + 1);
  ZYI_Lock(ZYI_LOCK_PRINT);
  ASSERT_EQ(ZYI_LogHistoryCount(), ZYI_LOG_HISTORY_LIMIT);
  const ZyLogRecord *marker = ZYI_LogHistoryRecord(0);
  EXPECT_STREQ(marker->text, "...");
  EXPECT_EQ(marker->level, ZY_LOG_SYSTEM);
  EXPECT_EQ(marker->line_number, 0);
  EXPECT_EQ(marker->thread_name, nullptr);
  EXPECT_EQ(ZYI_LogHistoryRecord(1)->line_number, 3);  // lines 1 and 2 made way
  ZYI_Unlock(ZYI_LOCK_PRINT);

  // From then on each line pushes out one old line; the marker stays in front.
  for (int i = 0; i < 20000; i++) ZY_Print("more %d", i);
  int total = ZYI_LOG_HISTORY_LIMIT + 1 + 20000;
  ZYI_Lock(ZYI_LOCK_PRINT);
  ASSERT_EQ(ZYI_LogHistoryCount(), ZYI_LOG_HISTORY_LIMIT);
  EXPECT_STREQ(ZYI_LogHistoryRecord(0)->text, "...");
  for (int i = 1; i < ZYI_LOG_HISTORY_LIMIT; i++)
    ASSERT_EQ(ZYI_LogHistoryRecord(i)->line_number, total - ZYI_LOG_HISTORY_LIMIT + 1 + i);
  EXPECT_STREQ(ZYI_LogHistoryRecord(ZYI_LOG_HISTORY_LIMIT - 1)->text, "more 19999");
  EXPECT_EQ(ZYI_LogHistoryRecord(ZYI_LOG_HISTORY_LIMIT), nullptr);
  EXPECT_EQ(ZYI_LogHistoryRecord(-1), nullptr);
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

TEST_F(Log, SwitchesAndAnUnusableFolderKeepTheLogOrItsFileOff) {
  zy::config.console = 0;  // no log at all; ZY_Print still answers
  ZYI_LogOpen();
  EXPECT_FALSE(ZYI_LogStarted());
  EXPECT_EQ(ZY_Print("nobody hears %d", 1), 14);
  EXPECT_EQ(ZYI_LogHistoryCount() + zy::log.level_counts[ZY_LOG_INFO], 0);

  zy::config.console = 1;
  zy::config.logging = 0;  // the history without a file
  ZYI_LogOpen();
  ZY_Print("remembered");
  EXPECT_EQ(CountInHistory("remembered"), 1);
  EXPECT_EQ(zytest::NewestLog(world.root()), "");
  ZYI_LogClose();
  ZY_Print("too late");  // after closing: dropped, history freed
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);

  // A file where the folder should be: the log stays off and the file untouched.
  zy::config.logging = 1;
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder.substr(0, folder.rfind('/')));
  zytest::WriteFile(folder, "in the way");
  ZYI_LogOpen();
  EXPECT_FALSE(ZYI_LogStarted());
  ZY_Log(ZY_LOG_ERROR, "lost");
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);
  EXPECT_EQ(zytest::ReadFile(folder), "in the way");
}

TEST_F(Log, FileLayerComplaintsDuringAnAppendReachTheHistoryButNotTheFile) {
  ZY_Print("too early");  // before opening: dropped
  ZYI_LogOpen();
  // A file counter below zero makes every close complain through the log; each
  // complaint would append again and close again without end.
  zy::fs.open_count = -10;
  ZY_Print("survives");
  ZY_Print("and again");
  zy::fs.open_count = 0;
  EXPECT_EQ(CountInHistory("CloseFile closing too many file handles!"), 2);
  EXPECT_EQ(CountInHistory("too early"), 0);
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(Body(lines[3]), "survives");
  EXPECT_EQ(lines[4].substr(0, 4) + Body(lines[4]), "0004and again");  // the complaint took 3
}

TEST_F(Log, SummaryReportsCountersAndFilesTheProgramLeftOpen) {
  ZYI_LogOpen();
  ZY_Log(ZY_LOG_ERROR, "e1");
  ZY_Log(ZY_LOG_ERROR, "e2");
  ZY_Log(ZY_LOG_WARNING, "w1");
  ZY_Print("i");
  ZY_File *kept = ZY_OpenFile("user://kept.txt", "w");
  ASSERT_NE(kept, nullptr);
  ZYI_LogSummary(ZYFS_OpenFileCount());
  std::vector<std::string> lines = FileLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(Body(lines[lines.size() - 2]), "ZYLEM log: 2 errors, 1 warnings, 2 infos.");
  EXPECT_EQ(Body(lines.back()), "1 files left open..");
  ZY_CloseFile(kept);
  ZYI_LogClose();
  size_t before = FileLines().size();
  ZYI_LogSummary(0);  // a closed log writes nothing
  EXPECT_EQ(FileLines().size(), before);
}
