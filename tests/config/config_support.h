// config_support.h — shared set-up of the configuration tests.
//
// Developer popups are shown only when a program record in developer mode is loaded
// and the caller is the main thread; the headless backend then echoes each box to
// stderr as "[popup] <caption>: <text>". Tests that check popups run their code in a
// child (zytest::RunInChild) and read that stderr.
#pragma once

#include <string.h>

#include <string>

#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"
#include "zytest.h"

namespace cfgtest {

// Puts a zeroed program record in place (developer mode as asked) and makes the calling
// thread the main thread, so popups are shown (headless).
inline ZY_ProgramInterface *UseProgramRecord(bool developer_mode) {
  static ZY_ProgramInterface prog;
  memset(&prog, 0, sizeof prog);
  prog.interface_version = ZY_INTERFACE_VERSION;
  prog.parms.frame_interval_ms = 8;
  prog.parms.developer_mode = developer_mode ? 1 : 0;
  zy::core.prog = &prog;
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYH_SelectBackend(ZYH_BACKEND_HEADLESS);
  return &prog;
}

// Starts the file system with res:// at the game folder; the engine's file access is
// then what Didodoz and the configuration read through.
inline void UseGameFolder(const std::string &game) {
  ZYFS_Init();
  ZYFS_SetRoot(ZY_ROOT_RES, game.c_str());
  zy::core.table_built = 1;
}

// Number of non-overlapping occurrences of `what` in `text`.
inline int Count(const std::string &text, const std::string &what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size()))
    n++;
  return n;
}

}  // namespace cfgtest
