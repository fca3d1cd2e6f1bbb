// fs_reliability_test.cpp — lookups while another thread changes the search paths, writes
// to a full disk (/dev/full), and a log whose own file cannot be written.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <atomic>
#include <thread>

#include "fs_fixture.h"

using SearchPathThreads = FsTest;
using FsReliability = FsTest;

TEST_F(SearchPathThreads, LookupsStaySafeWhileThePathsChange) {
  Loose("a/f.txt", "A");
  zy::config.verbose_level = 8;  // thousands of "Adding search path" lines stay unwritten
  ZYI_LogOpen();
  ZY_AddSearchPath("res://a/", false);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    ZY_FileList list;
    while (!done && ReadAll("f.txt") == "A" && ZY_FindFiles(&list, "", "*.txt", 0))
      ZY_FreeFileList(&list);
    EXPECT_TRUE(done);
  });
  for (int i = 0; i < 2400; i++) {  // forty paths come and go: past the first capacity of 32
    std::string path = "res://p" + std::to_string(i % 40);
    (i / 40) % 2 ? ZY_RemoveSearchPath(path.c_str()) : ZY_AddSearchPath(path.c_str(), i & 1);
  }
  done = true;
  reader.join();
}

TEST_F(FsReliability, WritesToAFullDiskReturnWhatReachedTheFile) {
  ASSERT_TRUE(ZYFS_SetRoot(0, "/dev"));
  ZY_File *file = ZY_OpenFile("user://full", "w");
  EXPECT_EQ(ZY_WriteFile("data", 4, file) + ZY_WriteItems("data", 2, 2, file), 0);
  EXPECT_EQ(ZY_CloseFile(file), 0);
  EXPECT_TRUE(Logged("Writing 'user://full' failed: No space left on device"));
}

TEST_F(FsReliability, LogSaysOnceOnStderrThatItsFileCannotBeWritten) {
  std::error_code ignored_error;
  zy::config.logging = 1;
  ZYI_LogOpen();
  std::string path = UserRoot() + (zy::log.file_path + strlen("user:/"));
  // The log keeps its file open: the disk fills up under the open descriptor.
  int log_fd = -1;
  for (auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
    if (std::filesystem::equivalent(path, entry.path(), ignored_error))
      log_fd = atoi(entry.path().filename().c_str());
  int full = open("/dev/full", O_WRONLY);
  ASSERT_TRUE(log_fd >= 0 && full >= 0 && dup2(full, log_fd) == log_fd && close(full) == 0);
  std::string err = StderrOf([] { ZY_Print("one"), ZY_Print("two"); });
  std::string note = "zylem: cannot write the log file '" + std::string(zy::log.file_path) + "'";
  EXPECT_TRUE(err.find(note) != std::string::npos && err.find(note) == err.rfind(note)) << err;
}
