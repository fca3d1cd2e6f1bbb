// fs.h — the virtual file system: names, roots, search paths, openers and file handles.
//
// Every file the engine or the game touches is named virtually: "res://" for the game
// folder, "user://" for the per-user data folder, or a relative name that is looked up
// through the ordered search paths. A name is offered to a short list of *openers* (pak
// archives first, then loose native files; the HTTP download opener joins third when it
// registers), and the first opener that answers yields an inner file behind a small table
// of operations. ZY_OpenFile wraps that inner file in the three-word ZY_File handle the
// game sees.
//
// Names that could leave the roots are refused before any opener sees them: no "..",
// no leading "/", and a scheme only when it is res, user or http.
//
// The state below is plain data (fixed arrays and malloc'd memory) so the engine state
// record resets with one memset; ZYFS_Shutdown releases what it owns.
#pragma once

#include "base/state_part.h"

#include <stddef.h>
#include <stdint.h>

#include "zylem.h"

struct ZyfsOpener;
struct ZyPakArchive;
struct ZyhLock;
struct ZyhRwLock;

#define ZYFS_FOLDER_COUNT 5      // platform folders and roots: user, shared user, documents, res, desktop
#define ZYFS_PATH_SIZE 512       // size of a platform folder, root or mapped path buffer
#define ZYFS_DEVELOPER_SIZE 33   // developer folder name: at most 32 characters
#define ZYFS_PROGRAM_SIZE 128    // program folder name
#define ZYFS_RING_COUNT 16       // buffers in the ZY_GetPath ring
#define ZYFS_RING_SIZE 260       // characters per ring buffer
#define ZYFS_FORMAT_SIZE 2048    // formatted text of ZY_GetPath / ZY_GetPathEx
#define ZYFS_SCHEME_LIMIT 16     // "://" must start within the first 16 characters
#define ZYFS_MAX_OPENERS 8       // registered openers (pak, native, http, ...)

struct ZyFs {
  // Platform folders and roots (rebuilt when the developer and program names are known)
  char platform_folders[ZYFS_FOLDER_COUNT][ZYFS_PATH_SIZE];  // native folders, "/" separated
  char roots[ZYFS_FOLDER_COUNT][ZYFS_PATH_SIZE];  // native root of each root kind ("" = unusable)
  char developer[ZYFS_DEVELOPER_SIZE];  // developer folder name under the user data folder
  char program[ZYFS_PROGRAM_SIZE];      // program folder name under the developer folder

  // Search paths: index 0 has the highest priority; each entry ends in "/". Lookups
  // read the list from any thread under search_lock (shared); changes take it exclusively.
  char **search_paths;          // malloc'd array of malloc'd strings
  int32_t search_path_count;    // entries in use
  int32_t search_path_capacity; // entries allocated (32, doubled when full)
  ZyhRwLock *search_lock;       // guards the three fields above

  // Openers, asked in registration order
  const ZyfsOpener *openers[ZYFS_MAX_OPENERS];
  int32_t opener_count;

  // Pak opener: archives tried so far (a record without a directory marks one that failed)
  ZyPakArchive **paks;          // malloc'd array of malloc'd records
  int32_t pak_count;
  int32_t pak_capacity;
  ZyhLock *pak_lock;            // guards the archive list: files open from any thread

  // ZY_GetPath ring (guarded by the GET_PATH lock)
  char path_ring[ZYFS_RING_COUNT][ZYFS_RING_SIZE];
  int32_t path_ring_index;      // last buffer handed out

  // Open file counters (changed atomically: handles live on any thread)
  int32_t open_count;     // +2 per ZY_OpenFile (outer call and handle), +1 per internal open
  int32_t program_files;  // handles returned by ZY_OpenFile and not closed yet

  uint8_t initialized;    // ZYFS_Init ran
};
ZYI_STATE_PART(ZyFs, fs)

// ---------------------------------------------------------------------------------
// Start-up, names and shut-down
// ---------------------------------------------------------------------------------

// Reads the platform folders, registers the pak and native openers and builds a first
// set of roots with the default names. True when the game folder (root 3) is usable.
bool ZYFS_Init(void);
// Builds the user roots again as <user data>/<developer>/<program> with the configured
// names (null or empty: "Qarvel" and "unknown"; separators are replaced) and creates the
// developer folder and root 0.
void ZYFS_SetNames(const char *developer, const char *program);
// Replaces one root outright with a native folder (null or "" makes it unusable).
// False for a kind outside 0..4 or a path that does not fit.
bool ZYFS_SetRoot(int32_t kind, const char *native_path);
// The native root of a kind ("" when unusable or out of range).
const char *ZYFS_GetRoot(int32_t kind);
// Appends an opener to the list; false when the list is full or it is there already.
// The HTTP opener registers itself third, after ZYFS_Init.
bool ZYFS_AddOpener(const ZyfsOpener *opener);
// Calls the reset operation of every registered opener (unmounts every pak).
void ZYFS_ResetOpeners(void);
// Resets the openers and frees the search paths and everything else the state owns.
void ZYFS_Shutdown(void);
// Number of files the program opened through ZY_OpenFile and has not closed.
int32_t ZYFS_OpenFileCount(void);

// ---------------------------------------------------------------------------------
// Names and native paths
// ---------------------------------------------------------------------------------

// True when a name may be opened: not null, no leading "/", no "..", and a scheme before
// the first ":" only when it is res, user or http.
bool ZYFS_IsLegalName(const char *name);
// Maps "res://x" and "user://x" to the native "<root>/x". False (out = "") for any other
// scheme, a name without one, an unusable root or a result that does not fit.
bool ZYFS_MapToPlatformPath(const char *name, char *out, size_t size);
// Maps a native path under one of the roots back to "<prefix>rest". False when it lies
// under none of them.
bool ZYFS_MapToVirtualPath(const char *native_path, char *out, size_t size);
// Collapses every "x/../" in place with the component before it; a ".." with nothing
// before it to remove is kept.
void ZYFS_CollapsePath(char *path);
// Writes the folder part of a path (everything before the last "/", "" when none).
void ZYFS_FolderOf(const char *path, char *out, size_t size);
// First search-path location of a name that opens for reading, or (unless readable_only)
// that can be created; a ring buffer valid for 16 further calls, or null.
const char *ZYFS_FindPath(const char *name, bool readable_only);

// ---------------------------------------------------------------------------------
// Engine-internal files (not counted as files the program holds)
// ---------------------------------------------------------------------------------

// Opens a name like ZY_OpenFile, without popups; used by the engine for its own files.
ZY_File *ZYFS_OpenFileInternal(const char *name, const char *mode);
// Closes a handle from ZYFS_OpenFileInternal.
void ZYFS_CloseFileInternal(ZY_File *file);
// Size of an open file in bytes (64-bit; the handle's size field is 32-bit).
int64_t ZYFS_FileSize(ZY_File *file);

// ---------------------------------------------------------------------------------
// Engine interface operations
// ---------------------------------------------------------------------------------

// Root prefix and formatted text in one of 16 ring buffers (main thread only).
const char *ZY_GetPath(int32_t root_kind, const char *format, ...) ZY_PRINTF_FORMAT(2, 3);
// Root prefix and formatted text into the caller's buffer of buffer_size bytes.
char *ZY_GetPathEx(char *buffer, int32_t buffer_size, int32_t root_kind, const char *format, ...)
    ZY_PRINTF_FORMAT(4, 5);
// Creates every missing folder level of a virtual path under a root; true when the
// folder exists afterwards.
bool ZY_CreateDir(const char *path);
// Adds a prefixed search path at the front or the back; an equal one is removed first.
void ZY_AddSearchPath(const char *path, bool at_front);
// Removes the first search path equal to the normalised argument.
void ZY_RemoveSearchPath(const char *path);
// Search path by priority, or null outside 0..count-1; valid until the list next changes.
const char *ZY_GetSearchPath(int32_t index);
// Number of search paths.
int32_t ZY_GetSearchPathCount(void);
// Deletes the file a virtual name maps to; true on success.
bool ZY_DeleteFile(const char *path);
// Opens a name in mode "r"/"rb", "w"/"wb" or "a"/"ab"; relative names only for reading.
ZY_File *ZY_OpenFile(const char *name, const char *mode);
// Closes and frees a handle; 0.
int32_t ZY_CloseFile(ZY_File *file);
// Reads up to bytes bytes; bytes read.
int32_t ZY_ReadFile(void *buffer, int32_t bytes, ZY_File *file);
// Writes bytes bytes; bytes written.
int32_t ZY_WriteFile(const void *buffer, int32_t bytes, ZY_File *file);
// Flushes buffered writes.
void ZY_FlushFile(ZY_File *file);
// Current position, or -1 without a file.
int32_t ZY_TellFile(ZY_File *file);
// Moves the position (ZY_SEEK_SET, ZY_SEEK_CUR, ZY_SEEK_END); true on success.
bool ZY_SeekFile(ZY_File *file, int32_t offset, int32_t origin);
// The next byte, or 0 when nothing could be read.
int32_t ZY_ReadByte(ZY_File *file);
// Reads item_size * item_count bytes; bytes read.
int32_t ZY_ReadItems(void *buffer, int32_t item_size, int32_t item_count, ZY_File *file);
// Writes item_size * item_count bytes; bytes written.
int32_t ZY_WriteItems(const void *buffer, int32_t item_size, int32_t item_count, ZY_File *file);
// Lists "folder/name" for every "*.ext" file of a prefix-less folder over the search
// paths, in paks and on disk; true when at least one was found.
bool ZY_FindFiles(ZY_FileList *list, const char *folder, const char *pattern, int32_t flags);
// Frees every name and the array; the count becomes 0.
void ZY_FreeFileList(ZY_FileList *list);
