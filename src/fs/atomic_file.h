// atomic_file.h — writing a file whole: afterwards it holds either all of the new
// contents or exactly what it held before.
//
// Every file the engine and its tools write as a whole (saved images, pak archives,
// extracted entries; fonts, sequences and the download cache when they join) is written
// to a new temporary file in the target's own folder. Only when every byte is written,
// flushed and synced is it renamed over the target, which replaces the old file in one
// step; a failure, or the process dying, leaves the old file untouched (at worst a stray
// ".zytmp-*" file beside it). A link at the target is replaced, never written through.
#pragma once

#include <stdio.h>

#define ZYFS_ATOMIC_PATH_SIZE 4096  // longest native path of a target, with its zero

struct ZyfsAtomicFile {
  FILE *stream;                        // the temporary file to write to; null when closed
  char target[ZYFS_ATOMIC_PATH_SIZE];  // native path it replaces
  char temp[ZYFS_ATOMIC_PATH_SIZE + 32];
  int error;                           // errno code of the first failure, 0 when none
};

// Creates the temporary file for a native target path. False (error set, nothing left
// behind) when it cannot be created, for example when the folder does not exist.
bool ZYFS_AtomicOpen(ZyfsAtomicFile *file, const char *native_path);
// Flushes, syncs and closes the temporary file and renames it over the target. False
// (error set, temporary removed, target untouched) when any step, or an earlier write
// to the stream, failed.
bool ZYFS_AtomicCommit(ZyfsAtomicFile *file);
// Closes and removes the temporary file; the target stays as it was.
void ZYFS_AtomicAbandon(ZyfsAtomicFile *file);
