// search_path_threads_test.cpp — lookups through the search paths while another thread
// adds and removes them (run under ThreadSanitizer and AddressSanitizer in CI).
#include <atomic>
#include <thread>

#include "fs_fixture.h"

using SearchPathThreads = FsTest;

TEST_F(SearchPathThreads, LookupsStaySafeWhileThePathsChange) {
  Loose("a/f.txt", "A");
  Loose("a/g.txt", "G");
  zy::config.verbose_level = 8;  // thousands of "Adding search path" lines stay unwritten
  ZYI_LogOpen();
  ZY_AddSearchPath("res://a/", false);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      // Every read finds a/f.txt: res://a/ is always listed, only its neighbours change.
      EXPECT_EQ(ReadAll("f.txt"), "A");
      ZY_FileList list;
      EXPECT_TRUE(ZY_FindFiles(&list, "", "*.txt", 0));
      ZY_FreeFileList(&list);
    }
  });
  // More than the first capacity of 32, so the list is reallocated again and again.
  for (int round = 0; round < 30; round++) {
    for (int i = 0; i < 40; i++) ZY_AddSearchPath(("res://p" + std::to_string(i)).c_str(), i & 1);
    for (int i = 0; i < 40; i++) ZY_RemoveSearchPath(("res://p" + std::to_string(i)).c_str());
  }
  done = true;
  reader.join();
}
