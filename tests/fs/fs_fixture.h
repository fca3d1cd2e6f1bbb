// fs_fixture.h — the file system brought up as pre-initialisation does it, plus
// helpers to write loose files and hand-made pak archives (zytest::CraftPak) into the
// test's game folder and to read the log history.
#pragma once

#include <string.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "config/config.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/log_file.h"
#include "lifecycle/state.h"
#include "zytest.h"

using zytest::CraftEntry;
using zytest::CraftedPak;
using zytest::CraftPak;
using zytest::PutU32;

// Reads a whole file through the engine; "<null>" when it does not open.
inline std::string ReadAll(const std::string &name) {
  ZY_File *file = ZY_OpenFile(name.c_str(), "r");
  if (!file) return "<null>";
  std::string out;
  char buf[7];  // odd size: reads cross every boundary
  for (int32_t n; (n = ZY_ReadFile(buf, sizeof buf, file)) > 0;) out.append(buf, (size_t)n);
  ZY_CloseFile(file);
  return out;
}

class FsTest : public ZyTest {
 protected:
  ZY_ProgramInterface prog{};
  int32_t log_mark_ = 0;  // history lines before this index belong to earlier steps

  void SetUp() override {
    setenv("ZYLEM_POPUP_ANSWER", "ok", 1);
    ZYI_ResetState();
    ASSERT_TRUE(ZYI_ThreadsInit());
    zy::core.main_thread_id = ZYH_ThreadId();
    ZYI_CreateLocks();
    // Developer mode on, so refused requests show their popups (echoed to stderr).
    strcpy(prog.title, "Test Game");
    prog.parms.developer_mode = 1;
    zy::core.prog = &prog;
    zy::config.console = 1;  // the log keeps its history in memory, no file
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
    ZYI_LogOpen();
    ZY_AddSearchPath("res://", false);  // relative names are looked up in the game folder
  }

  void TearDown() override {
    ZYI_DeleteLocks();
    ZYI_ResetState();  // closes the log, frees the file system
  }

  std::string Game(const std::string &rel) const { return world.game() + "/" + rel; }
  std::string UserRoot() const { return world.data() + "/TestDev/TestGame"; }

  // Writes a file below the game folder (or at an absolute path), making its folders.
  void Loose(const std::string &rel, const std::string &data) const {
    std::string path = rel[0] == '/' ? rel : Game(rel);
    zytest::MakeDirs(path.substr(0, path.rfind('/')));
    zytest::WriteFile(path, data);
  }

  // From here on, LoggedCount and Logged see only lines logged after this call.
  void MarkLog() {
    ZYI_Lock(ZYI_LOCK_PRINT);
    log_mark_ = ZYI_LogHistoryCount();
    ZYI_Unlock(ZYI_LOCK_PRINT);
  }

  // How many lines since the mark contain text.
  int LoggedCount(const std::string &text) const {
    int n = 0;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = log_mark_; i < ZYI_LogHistoryCount(); i++)
      n += strstr(ZYI_LogHistoryRecord(i)->text, text.c_str()) != nullptr;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return n;
  }
  bool Logged(const std::string &text) const { return LoggedCount(text) > 0; }
};

// Runs fn with stderr captured and returns what was written (popups echo there).
template <class Fn>
std::string StderrOf(Fn fn) {
  testing::internal::CaptureStderr();
  fn();
  return testing::internal::GetCapturedStderr();
}
