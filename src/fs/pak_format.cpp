// pak_format.cpp — reading and checking a pak directory from any byte source.
//
// The directory is read through a small window buffer so an archive of any size costs
// one 64 KiB buffer plus its entries. Every count and offset is checked against the
// real file size before it is trusted: an entry count that could not fit in the bytes
// left, a name with no terminator, or entry data reaching past the end refuses the
// whole archive. Sums are taken in 64 bits so sizes near 4 GiB cannot wrap.
#include "fs/pak_format.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

uint32_t ZYFS_ReadU32(const uint8_t *p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

void ZYFS_WriteU32(uint8_t *p, uint32_t value) {
  p[0] = (uint8_t)value;
  p[1] = (uint8_t)(value >> 8);
  p[2] = (uint8_t)(value >> 16);
  p[3] = (uint8_t)(value >> 24);
}

void ZYFS_PakWriteHeader(uint8_t out[ZYFS_PAK_HEADER_SIZE], uint32_t dir_offset,
                         uint32_t total_size) {
  memcpy(out, ZYFS_PAK_MAGIC, ZYFS_PAK_MAGIC_SIZE);
  ZYFS_WriteU32(out + 8, dir_offset);
  ZYFS_WriteU32(out + 12, total_size);
}

namespace {

// Sequential reader over a window of the source; never reads past source->size.
struct Cursor {
  const ZyPakSource *source;
  uint64_t pos;          // absolute offset of the next byte
  uint8_t *window;       // buffered bytes
  uint64_t window_start; // absolute offset of window[0]
  size_t window_len;     // bytes valid in the window
};

const size_t WINDOW_SIZE = 64 * 1024;

// Next byte into *out; false at the end of the file or on a read failure.
bool NextByte(Cursor *c, uint8_t *out) {
  if (c->pos < c->window_start || c->pos >= c->window_start + c->window_len) {
    if (c->pos >= (uint64_t)c->source->size) return false;
    uint64_t left = (uint64_t)c->source->size - c->pos;
    size_t want = left < WINDOW_SIZE ? (size_t)left : WINDOW_SIZE;
    int64_t got = c->source->ReadAt(c->source->user, c->pos, c->window, want);
    if (got <= 0) return false;
    c->window_start = c->pos;
    c->window_len = (size_t)got;
  }
  *out = c->window[c->pos - c->window_start];
  c->pos++;
  return true;
}

bool NextU32(Cursor *c, uint32_t *out) {
  uint8_t b[4];
  for (int i = 0; i < 4; i++)
    if (!NextByte(c, &b[i])) return false;
  *out = ZYFS_ReadU32(b);
  return true;
}

}  // namespace

// printf-style reason into the caller's buffer; always answers false.
static bool Fail(char *why, size_t why_size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static bool Fail(char *why, size_t why_size, const char *format, ...) {
  if (why && why_size) {
    va_list args;
    va_start(args, format);
    vsnprintf(why, why_size, format, args);
    va_end(args);
  }
  return false;
}

static void FreeEntries(ZyPakEntry *entries, uint32_t count) {
  for (uint32_t i = 0; i < count; i++) free(entries[i].name);
  free(entries);
}

bool ZYFS_PakReadDirectory(const ZyPakSource *source, ZyPakDirectory *dir, char *why,
                           size_t why_size) {
  memset(dir, 0, sizeof *dir);
  if (why && why_size) why[0] = '\0';
  if (!source || !source->ReadAt) return Fail(why, why_size, "no source");
  if (source->size < ZYFS_PAK_HEADER_SIZE)
    return Fail(why, why_size, "file too small for a header (%lld bytes)", (long long)source->size);
  if (source->size > (int64_t)UINT32_MAX)
    return Fail(why, why_size, "file larger than 4 GiB");

  uint8_t header[ZYFS_PAK_HEADER_SIZE];
  if (source->ReadAt(source->user, 0, header, sizeof header) != (int64_t)sizeof header)
    return Fail(why, why_size, "header unreadable");
  if (memcmp(header, ZYFS_PAK_MAGIC, ZYFS_PAK_MAGIC_SIZE) != 0)
    return Fail(why, why_size, "bad magic");
  uint32_t dir_offset = ZYFS_ReadU32(header + 8);
  uint32_t stored_size = ZYFS_ReadU32(header + 12);
  uint64_t real_size = (uint64_t)source->size;
  if (stored_size != real_size)
    return Fail(why, why_size, "stored size %u differs from real size %llu", stored_size,
                (unsigned long long)real_size);
  if (dir_offset < ZYFS_PAK_HEADER_SIZE || (uint64_t)dir_offset + 4 > real_size)
    return Fail(why, why_size, "directory offset %u lies outside the file", dir_offset);

  uint8_t *window = (uint8_t *)malloc(WINDOW_SIZE);
  if (!window) return Fail(why, why_size, "out of memory");
  Cursor c = {source, dir_offset, window, 0, 0};

  uint32_t count = 0;
  if (!NextU32(&c, &count)) {
    free(window);
    return Fail(why, why_size, "entry count unreadable");
  }
  // Each entry needs at least a terminator and four words, so a count that cannot fit
  // in the bytes left is a lie; refusing it here also bounds the allocation below.
  uint64_t left = real_size - c.pos;
  if ((uint64_t)count * ZYFS_PAK_MIN_ENTRY > left) {
    free(window);
    return Fail(why, why_size, "entry count %u does not fit in the %llu directory bytes", count,
                (unsigned long long)left);
  }

  ZyPakEntry *entries = (ZyPakEntry *)calloc(count ? count : 1, sizeof *entries);
  if (!entries) {
    free(window);
    return Fail(why, why_size, "out of memory for %u entries", count);
  }
  char name[ZYFS_PAK_NAME_MAX + 1];
  for (uint32_t i = 0; i < count; i++) {
    size_t len = 0;
    bool terminated = false;
    uint8_t b;
    while (NextByte(&c, &b)) {
      if (b == 0) {
        terminated = true;
        break;
      }
      if (len == ZYFS_PAK_NAME_MAX) break;
      name[len++] = (char)b;
    }
    if (!terminated) {
      FreeEntries(entries, i);
      free(window);
      if (len < ZYFS_PAK_NAME_MAX)
        return Fail(why, why_size, "entry %u name runs past the end of the file (no terminator)", i);
      return Fail(why, why_size, "entry %u name has no terminator within %d bytes", i,
                  ZYFS_PAK_NAME_MAX + 1);
    }
    name[len] = '\0';
    uint32_t words[4];
    bool ok = true;
    for (int w = 0; w < 4 && ok; w++) ok = NextU32(&c, &words[w]);
    if (!ok) {
      FreeEntries(entries, i);
      free(window);
      return Fail(why, why_size, "entry %u ('%s') runs past the end of the file", i, name);
    }
    // The data must sit after the header and end inside the file.
    uint64_t end = (uint64_t)words[0] + words[1];
    if (words[0] < ZYFS_PAK_HEADER_SIZE || end > real_size) {
      FreeEntries(entries, i);
      free(window);
      return Fail(why, why_size, "entry %u ('%s') data %u+%u lies beyond the end of the file", i,
                  name, words[0], words[1]);
    }
    entries[i].name = (char *)malloc(len + 1);
    if (!entries[i].name) {
      FreeEntries(entries, i);
      free(window);
      return Fail(why, why_size, "out of memory");
    }
    memcpy(entries[i].name, name, len + 1);
    entries[i].offset = words[0];
    entries[i].size = words[1];
    entries[i].word3 = words[2];
    entries[i].word4 = words[3];
  }
  free(window);
  dir->file_size = (uint32_t)real_size;
  dir->dir_offset = dir_offset;
  dir->entry_count = count;
  dir->entries = entries;
  return true;
}

void ZYFS_PakFreeDirectory(ZyPakDirectory *dir) {
  if (!dir) return;
  FreeEntries(dir->entries, dir->entries ? dir->entry_count : 0);
  memset(dir, 0, sizeof *dir);
}

static int LowerAscii(unsigned char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; }

int32_t ZYFS_PakFindEntry(const ZyPakDirectory *dir, const char *name) {
  if (!dir || !name) return -1;
  for (uint32_t i = 0; i < dir->entry_count; i++) {
    const unsigned char *a = (const unsigned char *)dir->entries[i].name;
    const unsigned char *b = (const unsigned char *)name;
    while (*a && LowerAscii(*a) == LowerAscii(*b)) a++, b++;
    if (*a == 0 && *b == 0) return (int32_t)i;
  }
  return -1;
}
