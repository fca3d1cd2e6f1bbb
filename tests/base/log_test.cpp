// The log: its numbered file with banner and line format, level counting and the
// verbose filter, multi-line texts, cutting, the history with its "..." marker, and the
// switches that keep the log or its file off.
#include <regex>

#include "core_fixture.h"
#include "lifecycle/log_file.h"
#include "config/config.h"

namespace {

const char BANNER[] = "Qarvel ZY (API 1224 + core 2300)";
const char DASHES[] = "--------------------------------";

// "NNNN: [hh:mm.ss] " followed by the rest.
std::regex LinePattern(const std::string &rest) {
  return std::regex("^[0-9]{4}: \\[[0-9]{2}:[0-9]{2}\\.[0-9]{2}\\] " + rest + "$");
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }

}  // namespace

class Log : public CoreTest {};

TEST_F(Log, FileStartsWithTheBannerThenNumberedStampedLines) {
  ZYI_LogOpen();
  ASSERT_TRUE(ZYI_LogStarted());
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0001.log");
  EXPECT_EQ(ZY_Print("hello %d", 5), 7);
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "%s failed", "load"), 11);

  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], BANNER);
  EXPECT_EQ(lines[1], DASHES);
  EXPECT_TRUE(std::regex_match(lines[2], LinePattern(
                                             "Logging started on [0-9]{4}-[0-9]{2}-[0-9]{2}\\.")))
      << lines[2];
  EXPECT_TRUE(std::regex_match(lines[3], LinePattern("hello 5"))) << lines[3];
  EXPECT_EQ(lines[3].substr(0, 6), "0002: ");
  EXPECT_EQ(lines[4].substr(0, 6), "0003: ");
  EXPECT_EQ(lines[4].substr(17), "load failed");

  // The stamp is the local time of the line, the same the history keeps.
  ZYI_Lock(ZYI_LOCK_PRINT);
  const ZyLogRecord *r = ZYI_LogHistoryRecord(2);
  ASSERT_NE(r, nullptr);
  char stamp[32];
  snprintf(stamp, sizeof stamp, "0003: [%.2d:%.2d.%.2d] ", r->date_time[3], r->date_time[4],
           r->date_time[5]);
  EXPECT_EQ(r->level, ZY_LOG_ERROR);
  EXPECT_EQ(r->line_number, 3);
  EXPECT_STREQ(r->thread_name, "MAIN");
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(lines[4].substr(0, 17), stamp);

  // Complete on disk after every line: no close or flush needed.
  ZY_Print("tail");
  EXPECT_EQ(FileLines().back().substr(17), "tail");
  std::string raw = zytest::ReadFile(Native(zy::log.file_path));
  EXPECT_EQ(raw.find('\r'), std::string::npos);
}

TEST_F(Log, NewFileTakesTheFirstFreeNumber) {
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder);
  zytest::WriteFile(folder + "/zylem-0001.log", "one");
  zytest::WriteFile(folder + "/zylem-0002.log", "two");
  zytest::WriteFile(folder + "/zylem-0004.log", "four");
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0003.log");
  EXPECT_EQ(zytest::ReadFile(folder + "/zylem-0004.log"), "four");
  EXPECT_EQ(zytest::ReadFile(folder + "/zylem-0001.log"), "one");
  EXPECT_EQ(FileLines().at(0), BANNER);

  // The next run, with 1 to 4 present, writes number 5.
  ZYI_LogClose();
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0005.log");
}

TEST_F(Log, VerboseLevelDropsLowerLinesBeforeTheyAreCounted) {
  zy::config.verbose_level = ZY_LOG_ERROR;
  ZYI_LogOpen();
  EXPECT_EQ(ZY_Log(ZY_LOG_WARNING, "quiet %d", 1), 0);
  EXPECT_EQ(ZY_Print("quiet too"), 0);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_WARNING], 0);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_INFO], 0);  // "Logging started" was filtered too
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "loud"), 4);
  EXPECT_EQ(ZY_Log(ZY_LOG_SYSTEM, "milestone"), 9);
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(std::regex_match(lines[2], LinePattern("loud")));
  EXPECT_EQ(lines[2].substr(0, 4), "0001");
  EXPECT_EQ(lines[3].substr(0, 4), "0002");
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_ERROR], 1);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_SYSTEM], 1);

  // Lines that reach the writer below the level are counted but not written.
  ZYI_Lock(ZYI_LOCK_PRINT);
  ZYI_LogWriteText(ZY_LOG_INFO, "counted only");
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_INFO], 1);
  EXPECT_EQ(FileLines().size(), 4u);
  EXPECT_EQ(zy::log.line_number, 2);
}

TEST_F(Log, UnnamedAndOutOfRangeLevelsAreCountedAndWritten) {
  ZYI_LogOpen();
  ZY_Log(5, "five");
  ZY_Log(7, "seven");
  ZY_Log(8, "eight");   // any other value counts as ERROR
  ZY_Log(99, "ninety-nine");
  EXPECT_EQ(zy::log.level_counts[5], 1);
  EXPECT_EQ(zy::log.level_counts[7], 1);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_ERROR], 2);
  ZYI_Lock(ZYI_LOCK_PRINT);
  int n = ZYI_LogHistoryCount();
  EXPECT_EQ(ZYI_LogHistoryRecord(n - 1)->level, ZY_LOG_ERROR);
  EXPECT_EQ(ZYI_LogHistoryRecord(n - 3)->level, 7);
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(FileLines().back().substr(17), "ninety-nine");
}

TEST_F(Log, MultiLineTextsBecomeOneLinePerNonEmptyLine) {
  ZYI_LogOpen();
  ZY_Log(ZY_LOG_WARNING, "a\nb\n");
  ZY_Print("single\n");
  ZY_Print("x\n\ny");
  ZY_Print("%s", "");  // empty: counted, not written
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[3].substr(17), "a");
  EXPECT_EQ(lines[4].substr(17), "b");
  EXPECT_EQ(lines[5].substr(17), "single");  // no second line feed after it
  EXPECT_EQ(lines[6].substr(17), "x");
  EXPECT_EQ(lines[7].substr(17), "y");
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_WARNING], 2);
  EXPECT_EQ(zy::log.line_number, 6);
  std::vector<std::string> h = History();
  ASSERT_EQ(h.size(), 6u);
  EXPECT_EQ(h[1], "a");
  EXPECT_EQ(h[3], "single\n");  // the history keeps the text as given
}

TEST_F(Log, LongMultiLineTextsAreWrittenWhole) {
  ZYI_LogOpen();
  std::string first = Repeat('p', 300), second = Repeat('q', 700);
  ZY_Log(ZY_LOG_ERROR, "%s\n%s\n", first.c_str(), second.c_str());
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3].substr(17), first);
  EXPECT_EQ(lines[4].substr(17), second);
  EXPECT_EQ(CountInHistory(first), 1);
  EXPECT_EQ(CountInHistory(second), 1);
}

TEST_F(Log, OverlongTextsAreCutButEveryFileLineEndsWithItsLineFeed) {
  ZYI_LogOpen();
  std::string big = Repeat('z', 5000);
  EXPECT_EQ(ZY_Print("%s", big.c_str()), -1);  // cut at 4095 characters
  EXPECT_EQ(History().back(), big.substr(0, 4095));

  std::string wide = Repeat('w', 2000) + "\n";
  EXPECT_EQ(ZY_Print("%s", wide.c_str()), 2001);
  ZY_Print("after");
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3].size(), 1023u);
  EXPECT_EQ(lines[4].size(), 1023u);  // its own line feed was cut off, one was added
  EXPECT_EQ(lines[4].substr(17), Repeat('w', 1023 - 17));
  EXPECT_EQ(lines[5].substr(17), "after");
  EXPECT_EQ(History()[2], wide);  // the history keeps the whole text
}

TEST_F(Log, HistoryKeepsTheNewest8192RecordsBehindAMarker) {
  zy::config.logging = 0;  // the history alone
  ZYI_LogOpen();
  // "Logging started" is line 1; fill up to exactly the limit.
  for (int i = 2; i <= ZYI_LOG_HISTORY_LIMIT; i++) ZY_Print("line %d", i);
  ZYI_Lock(ZYI_LOCK_PRINT);
  ASSERT_EQ(ZYI_LogHistoryCount(), ZYI_LOG_HISTORY_LIMIT);
  EXPECT_EQ(ZYI_LogHistoryRecord(0)->line_number, 1);
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
  EXPECT_EQ(ZYI_LogHistoryRecord(ZYI_LOG_HISTORY_LIMIT - 1)->line_number,
            ZYI_LOG_HISTORY_LIMIT + 1);
  ZYI_Unlock(ZYI_LOCK_PRINT);

  // From then on each line pushes out one old line; the marker stays in front.
  const int more = 20000;
  for (int i = 0; i < more; i++) ZY_Print("more %d", i);
  ZYI_Lock(ZYI_LOCK_PRINT);
  int total = ZYI_LOG_HISTORY_LIMIT + 1 + more;
  ASSERT_EQ(ZYI_LogHistoryCount(), ZYI_LOG_HISTORY_LIMIT);
  EXPECT_STREQ(ZYI_LogHistoryRecord(0)->text, "...");
  for (int i = 1; i < ZYI_LOG_HISTORY_LIMIT; i++)
    ASSERT_EQ(ZYI_LogHistoryRecord(i)->line_number, total - (ZYI_LOG_HISTORY_LIMIT - 1) + i);
  EXPECT_STREQ(ZYI_LogHistoryRecord(ZYI_LOG_HISTORY_LIMIT - 1)->text, "more 19999");
  EXPECT_EQ(ZYI_LogHistoryRecord(ZYI_LOG_HISTORY_LIMIT), nullptr);
  EXPECT_EQ(ZYI_LogHistoryRecord(-1), nullptr);
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

TEST_F(Log, ConsoleOffKeepsTheLogClosedWithoutFileOrHistory) {
  zy::config.console = 0;
  ZYI_LogOpen();
  EXPECT_FALSE(ZYI_LogStarted());
  EXPECT_EQ(ZY_Print("nobody hears %d", 1), 14);
  ZY_Log(ZY_LOG_ERROR, "nor this");
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_ERROR], 0);
  EXPECT_EQ(zytest::NewestLog(world.root()), "");
}

TEST_F(Log, LoggingOffKeepsTheHistoryWithoutAFile) {
  zy::config.logging = 0;
  ZYI_LogOpen();
  EXPECT_TRUE(ZYI_LogStarted());
  ZY_Print("remembered");
  EXPECT_EQ(CountInHistory("remembered"), 1);
  EXPECT_EQ(zy::log.file_path[0], '\0');
  EXPECT_EQ(zytest::NewestLog(world.root()), "");
}

TEST_F(Log, LinesBeforeOpenAndAfterCloseAreDropped) {
  ZY_Print("too early");
  ZYI_LogOpen();
  ZY_Print("in time");
  ZYI_LogClose();
  EXPECT_FALSE(ZYI_LogStarted());
  ZY_Print("too late");
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3].substr(17), "in time");
}

TEST_F(Log, UnusableLogFolderLeavesTheLogOff) {
  // A file where the folder should be: nothing can be created inside it.
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder.substr(0, folder.rfind('/')));
  zytest::WriteFile(folder, "in the way");
  ZYI_LogOpen();
  EXPECT_FALSE(ZYI_LogStarted());
  EXPECT_FALSE(zy::log.write_file);
  ZY_Log(ZY_LOG_ERROR, "lost");
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);
  EXPECT_EQ(zytest::ReadFile(folder), "in the way");
}

TEST_F(Log, FileLayerComplaintsDuringAnAppendReachTheHistoryButNotTheFile) {
  ZYI_LogOpen();
  // A file counter driven below zero makes every close complain through the log; each
  // complaint would append again and close again without end.
  zy::fs.open_count = -10;
  ZY_Print("survives");
  ZY_Print("and again");
  EXPECT_EQ(CountInHistory("survives"), 1);
  EXPECT_EQ(CountInHistory("CloseFile closing too many file handles!"), 2);
  std::vector<std::string> lines = FileLines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3].substr(17), "survives");
  EXPECT_EQ(lines[4].substr(0, 4), "0004");  // the complaint took number 3
  EXPECT_EQ(lines[4].substr(17), "and again");
  zy::fs.open_count = 0;
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
  EXPECT_EQ(lines[lines.size() - 2].substr(17), "ZYLEM log: 2 errors, 1 warnings, 2 infos.");
  EXPECT_EQ(lines.back().substr(17), "1 files left open..");
  ZY_CloseFile(kept);

  ZYI_LogClose();
  size_t before = FileLines().size();
  ZYI_LogSummary(ZYFS_OpenFileCount());  // a closed log writes nothing
  EXPECT_EQ(FileLines().size(), before);
}
