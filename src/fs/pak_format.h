// pak_format.h — the pak archive format: reading and checking an archive's directory.
//
// A pak is one uncompressed archive per top-level data folder:
//
//   offset 0   8 bytes  magic "PAK\0V11\0"
//   offset 8   u32      directory offset
//   offset 12  u32      total file size (must equal the real size)
//   ...                 entry data
//   directory  u32      entry count, then per entry: name (zero-terminated, at most
//                       511 characters, "/" separated, relative to the archive's
//                       folder), u32 data offset, u32 data size, two further u32 words
//
// All integers are little-endian. Archives come from disk and may be damaged or
// hostile, so the reader here checks everything before anyone uses it: the directory,
// every name and every entry's data must lie inside the file, or the whole archive is
// refused with a reason. Both the engine's pak opener and the zypak tool read
// directories through this code; they differ only in how bytes are fetched.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define ZYFS_PAK_MAGIC "PAK\0V11\0"
#define ZYFS_PAK_MAGIC_SIZE 8
#define ZYFS_PAK_HEADER_SIZE 16
#define ZYFS_PAK_NAME_MAX 511    // characters of an entry name, terminator not counted
#define ZYFS_PAK_MIN_ENTRY 17    // smallest directory entry: empty name and four words

struct ZyPakEntry {
  char *name;        // malloc'd entry name
  uint32_t offset;   // data offset from the start of the archive
  uint32_t size;     // data size in bytes
  uint32_t word3;    // further words, kept as read
  uint32_t word4;
};

struct ZyPakDirectory {
  uint32_t file_size;     // real size of the archive
  uint32_t dir_offset;    // where the directory starts
  uint32_t entry_count;
  ZyPakEntry *entries;    // malloc'd array of entry_count records
};

// Where a directory is read from: a seekable byte source of a known size.
struct ZyPakSource {
  void *user;
  int64_t size;  // real size of the archive in bytes
  // Reads up to bytes bytes at absolute offset; bytes read.
  int64_t (*ReadAt)(void *user, uint64_t offset, void *buffer, size_t bytes);
};

// Reads and checks the header and the whole directory. On failure nothing is allocated
// and why holds a short reason ("bad magic", "entry 3 data lies beyond the end", ...).
bool ZYFS_PakReadDirectory(const ZyPakSource *source, ZyPakDirectory *dir, char *why,
                           size_t why_size);
// Frees the names and the entry array; the directory becomes empty.
void ZYFS_PakFreeDirectory(ZyPakDirectory *dir);
// Index of the first entry whose name equals name ignoring ASCII letter case, or -1.
int32_t ZYFS_PakFindEntry(const ZyPakDirectory *dir, const char *name);
// Writes the 16-byte header for a directory offset and total size into out.
void ZYFS_PakWriteHeader(uint8_t out[ZYFS_PAK_HEADER_SIZE], uint32_t dir_offset,
                         uint32_t total_size);
// Little-endian helpers shared with the tool.
uint32_t ZYFS_ReadU32(const uint8_t *p);
void ZYFS_WriteU32(uint8_t *p, uint32_t value);
