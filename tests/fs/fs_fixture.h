// fs_fixture.h — the file system brought up as pre-initialisation does it, plus
// helpers to write loose files and hand-made pak archives into the test's game folder.
//
// Archives are assembled here byte by byte, independently of the engine's own pak code,
// so a test can also build every kind of damaged or hostile archive.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"
#include "base/threads.h"
#include "fs/fs.h"
#include "host/host.h"
#include "zytest.h"
#include "lifecycle/log_file.h"
#include "config/config.h"
#include "lifecycle/state.h"

// One entry of a hand-made archive.
struct CraftEntry {
  std::string name;
  std::string data;
};

// A hand-made archive and where its parts ended up.
struct CraftedPak {
  std::string bytes;
  uint32_t dir_offset = 0;
  std::vector<uint32_t> data_offsets;  // per entry
  std::vector<uint32_t> dir_entry_at;  // per entry: offset of its name in the directory
};

inline void PutU32(std::string &bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) bytes[at + i] = (char)((v >> (8 * i)) & 0xff);
}

inline void AppendU32(std::string &bytes, uint32_t v) {
  bytes.append(4, '\0');
  PutU32(bytes, bytes.size() - 4, v);
}

// Header, the data of each entry in order, then the directory; the stored size is the
// real size unless changed afterwards.
inline CraftedPak CraftPak(const std::vector<CraftEntry> &entries) {
  CraftedPak pak;
  pak.bytes.assign("PAK\0V11\0", 8);
  AppendU32(pak.bytes, 0);
  AppendU32(pak.bytes, 0);
  for (auto &e : entries) {
    pak.data_offsets.push_back((uint32_t)pak.bytes.size());
    pak.bytes += e.data;
  }
  pak.dir_offset = (uint32_t)pak.bytes.size();
  AppendU32(pak.bytes, (uint32_t)entries.size());
  for (size_t i = 0; i < entries.size(); i++) {
    pak.dir_entry_at.push_back((uint32_t)pak.bytes.size());
    pak.bytes += entries[i].name;
    pak.bytes += '\0';
    AppendU32(pak.bytes, pak.data_offsets[i]);
    AppendU32(pak.bytes, (uint32_t)entries[i].data.size());
    AppendU32(pak.bytes, 0);
    AppendU32(pak.bytes, 0);
  }
  PutU32(pak.bytes, 8, pak.dir_offset);
  PutU32(pak.bytes, 12, (uint32_t)pak.bytes.size());
  return pak;
}

class FsTest : public ZyTest {
 protected:
  ZY_ProgramInterface prog{};

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
    zy::config.logging = 0;
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
    ZYI_LogOpen();
  }

  void TearDown() override {
    ZYI_LogClose();
    ZYFS_Shutdown();
    ZYI_DeleteLocks();
  }

  std::string Game(const std::string &rel) const { return world.game() + "/" + rel; }
  std::string UserRoot() const { return world.data() + "/TestDev/TestGame"; }

  // Writes a loose file below the game folder, making its folders.
  void Loose(const std::string &rel, const std::string &data) const {
    std::string path = Game(rel);
    zytest::MakeDirs(path.substr(0, path.rfind('/')));
    zytest::WriteFile(path, data);
  }

  // Whether some line of the log history contains text.
  static bool Logged(const std::string &text) {
    bool found = false;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
      if (strstr(ZYI_LogHistoryRecord(i)->text, text.c_str())) found = true;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return found;
  }

  // How many lines of the log history contain text.
  static int LoggedCount(const std::string &text) {
    int n = 0;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++)
      n += strstr(ZYI_LogHistoryRecord(i)->text, text.c_str()) != nullptr;
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return n;
  }

  // Reads a whole file through the engine; "<null>" when it does not open.
  static std::string ReadAll(const char *name) {
    ZY_File *file = ZY_OpenFile(name, "r");
    if (!file) return "<null>";
    std::string out;
    char buf[7];  // odd size: reads cross every boundary
    for (int32_t n; (n = ZY_ReadFile(buf, sizeof buf, file)) > 0;) out.append(buf, (size_t)n);
    ZY_CloseFile(file);
    return out;
  }
};

// Runs fn with stderr captured and returns what was written (popups echo there).
template <class Fn>
std::string StderrOf(Fn fn) {
  testing::internal::CaptureStderr();
  fn();
  return testing::internal::GetCapturedStderr();
}
