// log.h — the engine's log: numbered, time-stamped lines from every thread, counted by
// level, kept in an in-memory history for the console and appended to a numbered file
// user://logs/zylem-NNNN.log.
//
// ZY_Print and ZY_Log format into one shared 4096-byte buffer under the PRINT lock and
// hand the text to the line writer. Lines below the verbose level are dropped before
// any formatting. The file is opened, appended and closed for every line, so it is
// complete on disk after each one. The console's own state lives in this record too.
#pragma once

#include "base/state_part.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "zylem.h"

#define ZYI_LOG_BUFFER_SIZE 4096      // shared formatting buffer (texts cut at 4095)
#define ZYI_LOG_HISTORY_LIMIT 8192    // records the history keeps at most
#define ZYI_LOG_PATH_SIZE 261         // file name of the log file (260 characters)
#define ZYI_LOG_LEVELS 8              // levels 0..7 are counted

// Appends one finished line (its line feed included) to the log file named `path`.
// Called with PRINT held; whatever the writer logs reaches the history only.
typedef void (*ZyLogFileWriter)(const char *path, const char *line, size_t length);

// One line of the history (or the "..." marker that replaces lost lines).
struct ZyLogRecord {
  uint8_t level;          // 0..7
  int32_t line_number;    // 0 for the marker
  int32_t date_time[6];   // local year, month, day, hour, minute, second when written
  char *text;             // owned copy of the text ("..." for the marker, not owned)
  char *thread_name;      // owned copy of the writer's name; null for the marker
};

// The log block of the engine state.
struct ZyLog {
  uint8_t started;                       // lines are accepted
  uint8_t write_file;                    // lines are appended to file_path
  uint8_t writing_file;                  // a file append is in progress (re-entry guard)
  ZyLogFileWriter file_writer;           // appends a line to file_path
  char file_path[ZYI_LOG_PATH_SIZE];     // virtual name of the log file
  int32_t line_number;                   // number of the last line written
  int32_t level_counts[ZYI_LOG_LEVELS];  // lines seen per level, filtered ones included
  int16_t verbose_level;                 // lines of a lower level are not written

  // History: a ring of line records in a contiguous array that doubles from 32 up to
  // the limit; once lines were lost, the marker is shown in front of them.
  ZyLogRecord *history;      // ring storage (malloc'd)
  int32_t history_capacity;  // records allocated
  int32_t history_start;     // ring index of the oldest line
  int32_t history_lines;     // lines held in the ring
  uint8_t history_trimmed;   // lines were lost: the marker leads the history
  ZyLogRecord marker;        // the "..." record

  char buffer[ZYI_LOG_BUFFER_SIZE];  // shared formatting buffer (PRINT held)

  // Console state
  uint8_t toggle_key;        // character that shows and hides the console
  uint8_t console_visible;   // the console is shown
  float slide;               // 0 hidden .. 1 fully out
  char input[513];           // the console's input line: 512 characters and the terminator
  int32_t caret;             // index into input
};
ZYI_STATE_PART(ZyLog, log)

// Writes at level INFO. Returns the formatted length, -1 when the text was cut, 0 when
// the verbose level filters the line out (nothing formatted).
int32_t ZY_Print(const char *format, ...) ZY_PRINTF_FORMAT(1, 2);
// Writes at a level (0..7; any other value counts as 2). Results as ZY_Print.
int32_t ZY_Log(int32_t level, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);

// What the configuration decides about the log.
struct ZyLogSettings {
  int32_t verbose_level;  // lines of a lower level are not written
  uint8_t toggle_key;     // character that shows and hides the console
};

// Resets the counters and the console and applies the settings; the log is not started.
void ZYI_LogConfigure(const ZyLogSettings *settings);
// Starts the log; with a file path and a writer, lines are appended to that file too.
// Prints "Logging started on ...".
void ZYI_LogStart(const char *file_path, ZyLogFileWriter writer);
// Writes the error, warning and info counters and the count of files left open.
void ZYI_LogSummary(int32_t open_files);
// Frees the history, hides the console and stops the log; later lines are dropped.
void ZYI_LogClose(void);

// Hands one text to the line writer at a level. The caller holds PRINT.
void ZYI_LogWriteText(int32_t level, const char *text);
// Formats into the shared buffer (caller holds PRINT). Returns the length, or -1 when
// the text was cut at 4095 characters or could not be formatted.
int32_t ZYI_LogFormat(const char *format, va_list args);
// The shared formatting buffer (valid while PRINT is held).
const char *ZYI_LogBuffer(void);
// The verbose level in force: lines below it are not written.
int32_t ZYI_LogVerboseLevel(void);
// Whether the log is started (accepts lines).
bool ZYI_LogStarted(void);

// History access for the console; call with PRINT held. Index 0 is the oldest record.
int32_t ZYI_LogHistoryCount(void);
const ZyLogRecord *ZYI_LogHistoryRecord(int32_t index);  // null outside 0..count-1
