// core_fixture.h — the engine services brought up the way pre-initialisation does it,
// for the lock, thread, log and popup tests: the thread registry, the named locks, the
// calling thread as the main thread, a file system in the test's world and the log on.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "config/config.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/log_file.h"
#include "lifecycle/state.h"
#include "zytest.h"

class CoreTest : public ZyTest {
 protected:
  ZY_ProgramInterface prog{};

  void SetUp() override {
    unsetenv("ZYLEM_POPUP_ANSWER");
    ZYI_ResetState();
    ASSERT_TRUE(ZYI_ThreadsInit());
    zy::core.main_thread_id = ZYH_ThreadId();
    zy::core.start_time = ZYH_TimeMs();
    ZYI_CreateLocks();
    zy::config.console = zy::config.logging = 1;
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
  }
  void TearDown() override {
    ZYI_LogClose();
    ZYI_ConfigFree();
    ZYFS_Shutdown();
    ZYI_DeleteLocks();
  }

  // A program record titled "Test Game"; booted: developer mode, core initialised, the
  // interface table built and the log keeping its history only.
  void UseProgram(bool developer_mode, bool booted = false) {
    strcpy(prog.title, "Test Game");
    prog.parms.developer_mode = developer_mode;
    zy::core.prog = &prog;
    if (!booted) return;
    zy::core.core_initialized = zy::core.table_built = 1;
    zy::config.logging = 0;
    ZYI_LogOpen();
  }
  // Runs fn in a forked child whose only thread becomes the engine's main thread.
  static zytest::RunResult RunAsMain(const std::function<void()> &fn) {
    return zytest::RunInChild([&] {
      zy::core.main_thread_id = ZYH_ThreadId();
      fn();
    });
  }
  static std::string Native(const char *name) {
    char buf[1024];
    EXPECT_TRUE(ZYFS_MapToPlatformPath(name, buf, sizeof buf)) << name;
    return buf;
  }
  // The current log file's lines: the banner lines whole, the others without their
  // "NNNN: [hh:mm.ss] " prefix when `bodies`.
  static std::vector<std::string> FileLines(bool bodies = true) {
    std::vector<std::string> lines;
    std::string text = zy::log.file_path[0] ? zytest::ReadFile(Native(zy::log.file_path)) : "";
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
      if ((end = text.find('\n', start)) == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      lines.push_back(bodies && lines.size() >= 2 && line.size() >= 17 ? line.substr(17) : line);
    }
    return lines;
  }
  static int CountInHistory(const std::string &text) {
    int n = 0;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++) n += text == ZYI_LogHistoryRecord(i)->text;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return n;
  }
};

// Waits until cond() holds, up to about 10 seconds; false on time-out.
template <class Cond>
bool WaitFor(Cond cond) {
  for (int i = 0; i < 10000 && !cond(); i++) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return cond();
}
