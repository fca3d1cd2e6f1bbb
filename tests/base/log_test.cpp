// The log: the numbered file with its banner and line format, level counting and the
// verbose filter, multi-line texts, cutting, the history with its "..." marker, and the
// switches that keep the log or its file off.
#include <signal.h>
#include <unistd.h>

#include <filesystem>

#include "core_fixture.h"

class Log : public CoreTest {
 protected:
  static const ZyLogRecord *Record(int32_t i) {
    ZYI_Lock(ZYI_LOCK_PRINT);  // the history is read under PRINT; nothing writes meanwhile
    const ZyLogRecord *r = ZYI_LogHistoryRecord(i);
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return r;
  }
  static std::vector<std::string> Tail(size_t from) {
    std::vector<std::string> lines = FileLines();
    return std::vector<std::string>(lines.begin() + std::min(from, lines.size()), lines.end());
  }
};

TEST_F(Log, FileStartsWithTheBannerThenNumberedLinesStampedWithTheirTime) {
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0001.log");
  EXPECT_EQ(ZY_Print("hello %d", 5), 7);
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "%s failed", "load"), 11);
  std::vector<std::string> lines = FileLines(false);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0] + "|" + lines[1], "Qarvel ZY (API 1224 + core 2300)|" + std::string(32, '-'));
  EXPECT_EQ(lines[2].substr(0, 7) + lines[2].substr(17, 21), "0001: [Logging started on 20");
  const ZyLogRecord *r = Record(2);
  char expect[64];
  snprintf(expect, sizeof expect, "0003: [%.2d:%.2d.%.2d] load failed", r->date_time[3], r->date_time[4], r->date_time[5]);
  EXPECT_EQ(lines[4], expect);
  EXPECT_EQ(lines[3].substr(0, 6) + lines[3].substr(17), "0002: hello 5");
  EXPECT_EQ(std::to_string(r->level) + " " + std::to_string(r->line_number) + " " + r->thread_name, "2 3 MAIN");
  EXPECT_EQ(zytest::ReadFile(Native(zy::log.file_path)).find('\r'), std::string::npos);  // plain line feeds
}

TEST_F(Log, NewFileTakesTheFirstFreeNumber) {
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder);
  for (const char *n : {"0001", "0002", "0004"}) zytest::WriteFile(folder + "/zylem-" + n + ".log", n);
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0003.log");
  EXPECT_EQ(zytest::ReadFile(folder + "/zylem-0004.log"), "0004");  // the others are left alone
  ZYI_LogOpen();
  EXPECT_STREQ(zy::log.file_path, "user://logs/zylem-0005.log");
}

TEST_F(Log, VerboseLevelDropsLowerLinesBeforeTheyAreCountedOrNumbered) {
  zy::config.verbose_level = ZY_LOG_ERROR;
  ZYI_LogOpen();  // "Logging started" is filtered too
  EXPECT_EQ(ZY_Log(ZY_LOG_WARNING, "quiet %d", 1) + ZY_Print("quiet too"), 0);
  EXPECT_EQ(ZY_Log(ZY_LOG_ERROR, "loud"), 4);
  for (int level : {ZY_LOG_SYSTEM, 5, 7, 8, 99}) ZY_Log(level, "level %d", level);  // 8 and 99 count as errors
  EXPECT_EQ(FileLines(false)[2].substr(0, 4) + FileLines()[2], "0001loud");
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"level 3", "level 5", "level 7", "level 8", "level 99"}));
  int32_t *n = zy::log.level_counts;
  EXPECT_EQ((std::vector<int>{n[0], n[1], n[2], n[3], n[5], n[7]}), (std::vector<int>{0, 0, 3, 1, 1, 1}));
  EXPECT_EQ(Record(ZYI_LogHistoryCount() - 1)->level, ZY_LOG_ERROR);
  ZYI_Lock(ZYI_LOCK_PRINT);  // lines that reach the writer below the level are only counted
  ZYI_LogWriteText(ZY_LOG_INFO, "counted only");
  ZYI_Unlock(ZYI_LOCK_PRINT);
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_INFO], 1);
  EXPECT_EQ(zy::log.line_number, 6);
}

TEST_F(Log, MultiLineTextsBecomeOneLinePerNonEmptyLineAndOverlongOnesAreCut) {
  ZYI_LogOpen();
  std::string p(300, 'p'), q(700, 'q'), big(5000, 'z'), wide = std::string(2000, 'w') + "\n";
  ZY_Log(ZY_LOG_WARNING, "a\nb\n");
  ZY_Print("single\n");
  ZY_Print("x\n\ny");
  ZY_Print("%s", "");  // empty: counted, not written
  ZY_Log(ZY_LOG_ERROR, "%s\n%s\n", p.c_str(), q.c_str());  // long pieces stay whole
  EXPECT_EQ(ZY_Print("%s", big.c_str()), -1);  // cut at 4095 characters
  EXPECT_EQ(ZY_Print("%s", wide.c_str()), 2001);
  ZY_Print("after");
  // A file line is cut at 1023 bytes and still ends with exactly one line feed.
  std::string cut = std::string(1023 - 17, 'z'), wcut = std::string(1023 - 17, 'w');
  EXPECT_EQ(Tail(3), (std::vector<std::string>{"a", "b", "single", "x", "y", p, q, cut, wcut, "after"}));
  EXPECT_EQ(zy::log.level_counts[ZY_LOG_WARNING], 2);
  EXPECT_EQ(zy::log.line_number, 11);
  // The history keeps the texts as given, up to the cut of the buffer.
  EXPECT_STREQ(Record(3)->text, "single\n");
  EXPECT_EQ(Record(8)->text, big.substr(0, 4095));
  EXPECT_EQ(Record(9)->text, wide);
}

TEST_F(Log, HistoryKeepsTheNewestRecordsBehindAMarker) {
  zy::config.logging = 0;
  ZYI_LogOpen();  // "Logging started" is line 1
  const int LIMIT = ZYI_LOG_HISTORY_LIMIT;
  for (int i = 2; i <= LIMIT; i++) ZY_Print("line %d", i);
  EXPECT_EQ(ZYI_LogHistoryCount(), LIMIT);
  EXPECT_EQ(Record(0)->line_number, 1);  // full, nothing lost yet
  ZY_Print("line %d", LIMIT + 1);
  const ZyLogRecord *marker = Record(0);
  EXPECT_STREQ(marker->text, "...");
  EXPECT_EQ(marker->level * 100 + marker->line_number, ZY_LOG_SYSTEM * 100);
  EXPECT_EQ(marker->thread_name, nullptr);
  EXPECT_EQ(Record(1)->line_number, 3);  // lines 1 and 2 made way
  // From then on each line pushes out one old line; the marker stays in front.
  for (int i = 0; i < 20000; i++) ZY_Print("more %d", i);
  int total = LIMIT + 1 + 20000;
  ASSERT_EQ(ZYI_LogHistoryCount(), LIMIT);
  EXPECT_STREQ(Record(0)->text, "...");
  for (int i = 1; i < LIMIT; i++) ASSERT_EQ(Record(i)->line_number, total - LIMIT + 1 + i) << i;
  EXPECT_STREQ(Record(LIMIT - 1)->text, "more 19999");
  EXPECT_EQ(Record(LIMIT), nullptr);
  EXPECT_EQ(Record(-1), nullptr);
}

TEST_F(Log, SwitchesAndAnUnusableFolderKeepTheLogOrItsFileOff) {
  zy::config.console = 0;  // no log at all; ZY_Print still answers
  ZYI_LogOpen();
  EXPECT_EQ(ZY_Print("nobody hears %d", 1), 14);
  zy::config.console = 1, zy::config.logging = 0;  // the history without a file
  ZYI_LogOpen();
  ZY_Print("remembered");
  EXPECT_EQ(CountInHistory("remembered") + CountInHistory("nobody hears 1"), 1);
  EXPECT_EQ(zytest::NewestLog(world.root()), "");
  ZYI_LogClose();
  ZY_Print("too late");  // after closing: dropped, the history freed
  EXPECT_EQ(ZYI_LogHistoryCount(), 0);
  // A file where the folder should be: the log stays off and the file untouched.
  zy::config.logging = 1;
  std::string folder = Native("user://logs");
  zytest::MakeDirs(folder.substr(0, folder.rfind('/')));
  zytest::WriteFile(folder, "in the way");
  ZYI_LogOpen();
  ZY_Log(ZY_LOG_ERROR, "lost");
  EXPECT_EQ(ZYI_LogStarted() + ZYI_LogHistoryCount(), 0);
  EXPECT_EQ(zytest::ReadFile(folder), "in the way");
}

static int OpenDescriptors() {
  auto fds = std::filesystem::directory_iterator("/proc/self/fd");
  return (int)std::distance(begin(fds), end(fds));
}

TEST_F(Log, FileStaysOpenKeepsEveryLineThroughAKillAndIsReleasedAtReset) {
  const int before = OpenDescriptors();
  ZYI_LogOpen();
  std::string path = Native(zy::log.file_path), moved = path + ".moved";
  // A child killed the instant ZY_Log returns has already handed the line over.
  zytest::RunResult child = RunAsMain([] {
    ZY_Print("last words");
    kill(getpid(), SIGKILL);
  });
  EXPECT_EQ(child.status, 128 + SIGKILL);
  EXPECT_EQ(FileLines().back(), "last words");
  // The file is opened once: renamed away, it still receives the lines.
  ASSERT_EQ(rename(path.c_str(), moved.c_str()), 0);
  ZY_Print("after the move");
  EXPECT_FALSE(zytest::FileExists(path));
  EXPECT_NE(zytest::ReadFile(moved).find("after the move\n"), std::string::npos);
  EXPECT_EQ(OpenDescriptors(), before + 1);
  ZYI_DeleteLocks();  // the reset forgets the locks without freeing them
  ZYI_ResetState();
  EXPECT_EQ(OpenDescriptors(), before);
}
