// log_file.cpp — the log's file: chosen, created and appended through the file layer.
//
// The log itself (base/log.cpp) knows nothing of files; boot configures it from the
// configuration and hands it the writer below. The file is chosen and created with its
// banner through the engine's file access, then opened once for appending and kept open
// while the log runs: each finished line goes to the kernel in one write, so it is in the
// file the moment ZY_Log returns, whatever happens to the process afterwards, and lines
// of other processes appending to the same file never cut into it. When the file cannot
// be written, the log cannot report it in itself: it says so once on standard error.
#include "lifecycle/log_file.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "base/locks.h"
#include "base/log.h"
#include "config/config.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/entry.h"

namespace {

const char LOG_FOLDER[] = "user://logs";
const int LOG_FILE_LAST = 9999;  // overwritten when 1..9998 all exist

bool write_failure_shown;  // the failure of this log's file was reported on stderr
int log_fd = -1;           // the open log file (the log calls in under PRINT)

void ReportFailure(const char *path, int code) {
  if (write_failure_shown) return;
  write_failure_shown = true;
  fprintf(stderr, "zylem: cannot write the log file '%s': %s\n", path, strerror(code));
}

void AppendLine(const char *path, const char *line, size_t length) {
  if (!ZYH_WriteAll(log_fd, line, length)) ReportFailure(path, ZYH_LastError());
}

void CloseLogFile(void) {
  ZYH_CloseAppend(log_fd);
  log_fd = -1;
}

// Opens the created file for appending; false (reported on stderr) when it cannot be.
bool OpenForAppending(const char *path) {
  char native[ZYFS_PATH_SIZE];
  if (!ZYFS_MapToPlatformPath(path, native, sizeof native)) {
    ReportFailure(path, ENAMETOOLONG);
    return false;
  }
  log_fd = ZYH_OpenAppend(native);
  if (log_fd < 0) ReportFailure(path, ZYH_LastError());
  return log_fd >= 0;
}

// Picks the first free log file number, creates the file with its banner and writes
// its virtual name into path. False when the file cannot be created.
bool CreateLogFile(char *path, size_t size) {
  ZY_CreateDir(LOG_FOLDER);
  int number = 1;
  for (; number < LOG_FILE_LAST; number++) {
    snprintf(path, size, "%s/zylem-%.4d.log", LOG_FOLDER, number);
    ZY_File *existing = ZY_OpenFile(path, "rb");
    if (!existing) break;
    ZY_CloseFile(existing);
  }
  snprintf(path, size, "%s/zylem-%.4d.log", LOG_FOLDER, number);
  ZY_File *file = ZY_OpenFile(path, "wb");
  if (!file) return false;
  char banner[128];
  int n = snprintf(banner, sizeof banner, "Qarvel ZY (API %.4d + core %.4d)\n%s\n",
                   ZY_INTERFACE_VERSION, ZYI_CORE_VERSION, "--------------------------------");
  ZY_WriteFile(banner, n, file);
  ZY_CloseFile(file);
  return true;
}

}  // namespace

void ZYI_LogFollowUserFolder(void) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  if (log_fd >= 0 && zy::log.file_path[0]) {
    CloseLogFile();
    OpenForAppending(zy::log.file_path);
  }
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

void ZYI_LogOpen(void) {
  write_failure_shown = false;
  ZyLogSettings settings;
  settings.verbose_level = zy::config.verbose_level;
  settings.toggle_key = (uint8_t)zy::config.console_toggle_key;
  ZYI_LogConfigure(&settings);  // releases the file of an earlier log
  CloseLogFile();
  if (!zy::config.console) return;  // no log at all
  const bool logging = zy::config.logging != 0;

  // The file layer may log while the file is chosen; the log is not started yet, so
  // those lines are dropped, and PRINT is not held across calls that take other locks.
  char path[ZYI_LOG_PATH_SIZE] = "";
  if (logging && (!CreateLogFile(path, sizeof path) || !OpenForAppending(path))) {
    ZY_Log(ZY_LOG_WARNING, "Unable to allocate file for the logs.\n");
    return;
  }
  ZYI_LogStart(logging ? path : nullptr, AppendLine, logging ? CloseLogFile : nullptr);
}
