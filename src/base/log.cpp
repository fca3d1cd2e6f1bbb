// log.cpp — the line writer, the history and the log file.
//
// Sections: history ring; file lines; the line writer; ZY_Print and ZY_Log; open,
// summary and close.
//
// Every line passes the line writer with the PRINT lock held: a text of several lines
// is split at its line feeds, each line is counted by level, filtered by the verbose
// level, numbered, stamped with the local time and the writer's thread name, kept in
// the history and appended to the log file. The file is reached through a writer the
// layer that opened the log handed over; it gets each file line whole, formatted once
// into a local buffer. Should the writer itself log, such nested lines still reach the
// history but not the file, so a writer that complains cannot recurse forever.
#include "base/log.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/state.h"
#include "host/host.h"

ZyLog zy::log;  // engine state: log counters, history, file name and console state

namespace {

const size_t FILE_LINE_LIMIT = 1023; // bytes of one file line before its line feed
char MARKER_TEXT[] = "...";

void StampNow(int32_t out[6]) {
  int now[6];
  ZYH_LocalDateTime(now);
  for (int i = 0; i < 6; i++) out[i] = now[i];
}

// ---------------------------------------------------------------------------------
// History ring
// ---------------------------------------------------------------------------------

ZyLogRecord *RingAt(int32_t i) {
  ZyLog &g = zy::log;
  return &g.history[(g.history_start + i) % g.history_capacity];
}

// A record's text and thread name share one allocation, owned through text.
void FreeRecord(ZyLogRecord *r) {
  free(r->text);
  r->text = r->thread_name = nullptr;
}

void FreeHistory() {
  ZyLog &g = zy::log;
  for (int32_t i = 0; i < g.history_lines; i++) FreeRecord(RingAt(i));
  free(g.history);
  g.history = nullptr;
  g.history_capacity = g.history_start = g.history_lines = 0;
  g.history_trimmed = 0;
  memset(&g.marker, 0, sizeof g.marker);
}

// Makes room for one more line while the history is below its limit. The ring only
// wraps once the limit is reached, but the copy below keeps the order either way.
bool GrowHistory() {
  ZyLog &g = zy::log;
  if (g.history_lines < g.history_capacity) return true;
  int32_t capacity = g.history_capacity ? g.history_capacity * 2 : 32;
  if (capacity > ZYI_LOG_HISTORY_LIMIT) capacity = ZYI_LOG_HISTORY_LIMIT;
  ZyLogRecord *grown = (ZyLogRecord *)malloc(sizeof(ZyLogRecord) * (size_t)capacity);
  if (!grown) return false;
  for (int32_t i = 0; i < g.history_lines; i++) grown[i] = *RingAt(i);
  free(g.history);
  g.history = grown;
  g.history_capacity = capacity;
  g.history_start = 0;
  return true;
}

// Appends one line. At the limit the history drops its first two records and puts the
// "..." marker in front: the first time those are two lines, afterwards the old marker
// and one line, so it never holds more than the limit and always starts with "...".
void AppendHistory(uint8_t level, int32_t line_number, const int32_t date_time[6],
                   const char *text, const char *thread_name) {
  ZyLog &g = zy::log;
  ZyLogRecord record;
  record.level = level;
  record.line_number = line_number;
  memcpy(record.date_time, date_time, sizeof record.date_time);
  const size_t text_size = strlen(text) + 1, name_size = strlen(thread_name) + 1;
  record.text = (char *)malloc(text_size + name_size);
  if (!record.text) return;
  memcpy(record.text, text, text_size);
  record.thread_name = record.text + text_size;
  memcpy(record.thread_name, thread_name, name_size);

  if (g.history_lines + g.history_trimmed < ZYI_LOG_HISTORY_LIMIT) {
    if (!GrowHistory()) {
      FreeRecord(&record);
      return;
    }
  } else {
    for (int drop = g.history_trimmed ? 1 : 2; drop > 0; drop--) {
      FreeRecord(RingAt(0));
      g.history_start = (g.history_start + 1) % g.history_capacity;
      g.history_lines--;
    }
    g.history_trimmed = 1;
    g.marker.level = ZY_LOG_SYSTEM;
    g.marker.line_number = 0;
    memcpy(g.marker.date_time, date_time, sizeof g.marker.date_time);
    g.marker.text = MARKER_TEXT;
    g.marker.thread_name = nullptr;
  }
  *RingAt(g.history_lines++) = record;
}

// ---------------------------------------------------------------------------------
// File lines
// ---------------------------------------------------------------------------------

// Writes value in decimal with at least `digits` digits (value >= 0); returns the end.
char *PutNumber(char *out, int32_t value, int digits) {
  char reversed[12];
  int n = 0;
  do {
    reversed[n++] = (char)('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n < digits) reversed[n++] = '0';
  while (n > 0) *out++ = reversed[--n];
  return out;
}

// Copies up to `length` bytes of text to out without passing `end`; returns the end.
char *PutText(char *out, char *end, const char *text, size_t length) {
  size_t room = (size_t)(end - out);
  if (length > room) length = room;
  memcpy(out, text, length);
  return out + length;
}

// Appends one line to the log file: "NNNN: [hh:mm.ss] [name]> text", or without the
// name part for a nameless thread. The line is cut at 1023 bytes and always ends with
// exactly one line feed, even when the text's own final line feed was cut off.
void AppendFileLine(int32_t line_number, const int32_t date_time[6], const char *name,
                    const char *text) {
  ZyLog &g = zy::log;
  char line[FILE_LINE_LIMIT + 1];
  char *end = line + FILE_LINE_LIMIT;
  size_t body = strlen(text);
  if (body > 0 && text[body - 1] == '\n') body--;
  // Numbers, time and separators take at most 11 + 12 bytes, well inside the limit.
  char *p = PutNumber(line, line_number < 0 ? 0 : line_number, 4);
  *p++ = ':', *p++ = ' ', *p++ = '[';
  p = PutNumber(p, date_time[3] < 0 ? 0 : date_time[3], 2);
  *p++ = ':';
  p = PutNumber(p, date_time[4] < 0 ? 0 : date_time[4], 2);
  *p++ = '.';
  p = PutNumber(p, date_time[5] < 0 ? 0 : date_time[5], 2);
  *p++ = ']', *p++ = ' ';
  if (name) {
    p = PutText(p, end, "[", 1);
    p = PutText(p, end, name, strlen(name));
    p = PutText(p, end, "]> ", 3);
  }
  p = PutText(p, end, text, body);
  *p++ = '\n';
  size_t length = (size_t)(p - line);

  g.writing_file = 1;
  if (g.file_writer) g.file_writer(g.file_path, line, length);
  g.writing_file = 0;
}

// ---------------------------------------------------------------------------------
// The line writer
// ---------------------------------------------------------------------------------

// Writes one text that holds no line feed except perhaps a final one.
void WriteLine(int32_t level, const char *text) {
  ZyLog &g = zy::log;
  if (level < 0 || level >= ZYI_LOG_LEVELS) level = ZY_LOG_ERROR;
  g.level_counts[level]++;
  if (g.verbose_level > level || !*text) return;
  int32_t line_number = ++g.line_number;

  int32_t now[6];
  StampNow(now);
  const char *name = nullptr;
  bool known = ZYI_LookupThreadName(&name);
  AppendHistory((uint8_t)level, line_number, now, text, known ? (name ? name : "MAIN") : "UNKNOWN");

  if (g.write_file && !g.writing_file) AppendFileLine(line_number, now, name, text);
}

// Formats with the PRINT lock held and hands the result to the line writer.
int32_t LogV(int32_t level, const char *format, va_list args) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  int32_t result = ZYI_LogFormat(format, args);
  ZYI_LogWriteText(level, zy::log.buffer);
  ZYI_Unlock(ZYI_LOCK_PRINT);
  return result;
}


}  // namespace

void ZYI_LogWriteText(int32_t level, const char *text) {
  if (!zy::log.started || !text) return;
  // A line feed that ends the text does not start another line.
  size_t length = strlen(text);
  const char *first = (const char *)memchr(text, '\n', length);
  if (!first || first == text + length - 1) {
    WriteLine(level, text);
    return;
  }
  // Several lines: each non-empty one is written on its own. The pieces are cut from a
  // copy as long as the text (nested logging may reuse the shared buffer meanwhile).
  char local[ZYI_LOG_BUFFER_SIZE];
  char *copy = length < sizeof local ? local : (char *)malloc(length + 1);
  if (!copy) return;
  memcpy(copy, text, length + 1);
  for (char *piece = copy;;) {
    char *end = strchr(piece, '\n');
    if (end) *end = '\0';
    if (*piece) WriteLine(level, piece);
    if (!end) break;
    piece = end + 1;
  }
  if (copy != local) free(copy);
}

int32_t ZYI_LogFormat(const char *format, va_list args) {
  char *buffer = zy::log.buffer;
  if (!format) {
    buffer[0] = '\0';
    return 0;
  }
  int n = vsnprintf(buffer, ZYI_LOG_BUFFER_SIZE, format, args);
  if (n < 0) {
    buffer[0] = '\0';
    return -1;
  }
  return n >= ZYI_LOG_BUFFER_SIZE ? -1 : n;
}

const char *ZYI_LogBuffer(void) { return zy::log.buffer; }

int32_t ZYI_LogVerboseLevel(void) { return zy::log.verbose_level; }

bool ZYI_LogStarted(void) { return zy::log.started != 0; }

int32_t ZYI_LogHistoryCount(void) { return zy::log.history_lines + zy::log.history_trimmed; }

const ZyLogRecord *ZYI_LogHistoryRecord(int32_t index) {
  ZyLog &g = zy::log;
  if (index < 0 || index >= ZYI_LogHistoryCount()) return nullptr;
  if (g.history_trimmed) {
    if (index == 0) return &g.marker;
    index--;
  }
  return RingAt(index);
}

// ---------------------------------------------------------------------------------
// ZY_Print and ZY_Log
// ---------------------------------------------------------------------------------

int32_t ZY_Print(const char *format, ...) {
  if (zy::log.verbose_level > ZY_LOG_INFO) return 0;
  va_list args;
  va_start(args, format);
  int32_t result = LogV(ZY_LOG_INFO, format, args);
  va_end(args);
  return result;
}

int32_t ZY_Log(int32_t level, const char *format, ...) {
  if (zy::log.verbose_level > level) return 0;
  va_list args;
  va_start(args, format);
  int32_t result = LogV(level, format, args);
  va_end(args);
  return result;
}

// ---------------------------------------------------------------------------------
// Open, summary and close
// ---------------------------------------------------------------------------------

// Releases the file of the log in force, if any. The caller holds PRINT.
static void ReleaseFile() {
  ZyLog &g = zy::log;
  ZyLogFileCloser closer = g.file_closer;
  g.file_closer = nullptr;
  g.file_writer = nullptr;
  g.write_file = 0;
  if (closer) closer();
}

void ZYI_LogConfigure(const ZyLogSettings *settings) {
  ZyLog &g = zy::log;
  ZYI_Lock(ZYI_LOCK_PRINT);
  ReleaseFile();
  g.toggle_key = settings->toggle_key;
  g.started = 0;
  g.console_visible = 0;
  g.file_path[0] = '\0';
  memset(g.level_counts, 0, sizeof g.level_counts);
  g.input[0] = '\0';
  g.caret = 0;
  g.verbose_level = (int16_t)settings->verbose_level;
  g.write_file = 0;
  ZYI_Unlock(ZYI_LOCK_PRINT);
}

void ZYI_LogStart(const char *file_path, ZyLogFileWriter writer, ZyLogFileCloser closer) {
  ZyLog &g = zy::log;
  ZYI_Lock(ZYI_LOCK_PRINT);
  ReleaseFile();
  snprintf(g.file_path, sizeof g.file_path, "%s", file_path ? file_path : "");
  g.file_writer = writer;
  g.file_closer = closer;
  g.write_file = file_path && *file_path && writer;
  g.started = 1;
  ZYI_Unlock(ZYI_LOCK_PRINT);
  int32_t today[6];
  StampNow(today);
  ZY_Print("Logging started on %.2d-%.2d-%.2d.", today[0], today[1], today[2]);
}

void ZYI_LogSummary(int32_t open_files) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  bool started = zy::log.started != 0;
  int32_t errors = zy::log.level_counts[ZY_LOG_ERROR];
  int32_t warnings = zy::log.level_counts[ZY_LOG_WARNING];
  int32_t infos = zy::log.level_counts[ZY_LOG_INFO];
  ZYI_Unlock(ZYI_LOCK_PRINT);
  if (!started) return;
  ZY_Print("ZYLEM log: %d errors, %d warnings, %d infos.\n", errors, warnings, infos);
  ZY_Print("%d files left open..\n", open_files);
}

void ZYI_LogClose(void) {
  ZYI_Lock(ZYI_LOCK_PRINT);
  FreeHistory();
  ReleaseFile();
  zy::log.console_visible = 0;
  zy::log.started = 0;
  ZYI_Unlock(ZYI_LOCK_PRINT);
}
