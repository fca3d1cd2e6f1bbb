// fs_reliability_test.cpp — failed writes are reported, never taken for successes: on a
// full disk (/dev/full) a write returns what reached the file and the reason is logged,
// and the log says once on standard error when its own file cannot be written.
#include <errno.h>
#include <unistd.h>

#include "fs_fixture.h"

using FsReliability = FsTest;

TEST_F(FsReliability, WritesToAFullDiskReturnWhatReachedTheFile) {
  ASSERT_TRUE(ZYFS_SetRoot(0, "/dev"));
  ZY_File *file = ZY_OpenFile("user://full", "w");
  ASSERT_NE(file, nullptr);
  char data[100] = {0};
  EXPECT_EQ(ZY_WriteFile(data, sizeof data, file), 0);
  EXPECT_EQ(ZY_WriteItems(data, 10, 10, file), 0);
  ZY_FlushFile(file);
  EXPECT_EQ(ZY_CloseFile(file), 0);
  EXPECT_TRUE(Logged("Writing 'user://full' failed: " + std::string(strerror(ENOSPC))));
}

TEST_F(FsReliability, LogSaysOnceOnStandardErrorThatItsFileCannotBeWritten) {
  zy::config.logging = 1;
  ZYI_LogOpen();
  char native[ZYFS_PATH_SIZE];
  ASSERT_TRUE(ZYFS_MapToPlatformPath(zy::log.file_path, native, sizeof native));
  ASSERT_EQ(unlink(native), 0);
  ASSERT_EQ(symlink("/dev/full", native), 0);
  std::string err = StderrOf([] {
    for (int i = 0; i < 5; i++) ZY_Print("line %d", i);
  });
  std::string note = "zylem: cannot write the log file '" + std::string(zy::log.file_path) + "'";
  EXPECT_NE(err.find(note), std::string::npos) << err;
  EXPECT_EQ(err.find(note), err.rfind(note)) << err;
}
