// config_support.h — shared set-up of the configuration tests. Popups are shown only
// with a program record in developer mode, on the main thread; the headless backend
// echoes each to stderr, so tests that check them run in a child (zytest::RunInChild).
#pragma once

#include <string.h>

#include <string>

#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/state.h"
#include "zytest.h"

namespace cfgtest {

// Puts a zeroed program record in place and makes the calling thread the main thread.
inline ZY_ProgramInterface *UseProgramRecord(bool developer_mode) {
  static ZY_ProgramInterface prog;
  memset(&prog, 0, sizeof prog);
  prog.parms.frame_interval_ms = 8;
  prog.parms.developer_mode = developer_mode ? 1 : 0;
  zy::core.prog = &prog;
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  return &prog;
}

// Starts the file system with res:// at the game folder; files are read through it.
inline void UseGameFolder(const std::string &game) {
  ZYFS_Init();
  ZYFS_SetRoot(ZY_ROOT_RES, game.c_str());
  zy::core.table_built = 1;
}

// Number of non-overlapping occurrences of a non-empty `what` in `text`.
inline int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    n++;
  return n;
}

}  // namespace cfgtest

// Each test starts from the state a new boot starts from and leaves nothing behind.
class CfgTest : public ZyTest {
 protected:
  void SetUp() override { ZYI_ResetState(); }
  void TearDown() override { ZYI_ResetState(); }
};
