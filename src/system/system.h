// system.h — the system query: platform facts and platform services behind one
// string-keyed operation, ZY_GetSystemValue.
//
// A key is tried as an extension call (a platform service: clipboard, URLs, region, file
// dialogs, the text-edit and component dialogs, raw-input refresh), then as GetLanguage,
// then as one of the developer-mode answers, then in the queries table (program and
// platform information, date, diagnostics, path switches); a key none of them knows goes
// to the renderer module and the input modules, which may define keys of their own.
//
// The code is split by concern: system_values.cpp (the order above and the queries
// table), platform_calls.cpp (the extension calls), dialogs.cpp (the dialogs' front-end
// and the file-dialog result), platform_info.cpp (the platform-information record and the
// unique id) and resource_usage.cpp (the memory estimates and the resource report).
//
// Answers are owned by the engine: constants, fields of the record, or buffers below that
// the next call of the same key overwrites; the caller copies what it keeps. The query is
// meant for the main thread (the dialogs are modal and the buffers shared).
#pragma once

#include "base/state_part.h"

#include <stddef.h>
#include <stdint.h>

#include "zylem.h"

#define ZYI_EDIT_BUFFER_SIZE 512       // the dialogs' shared edit buffer and title
#define ZYI_CLIPBOARD_TEXT_MAX 1022    // longest clipboard text answered
#define ZYI_DIALOG_PATH_SIZE 512       // a file dialog's result, the terminator included
#define ZYI_KEY_MEM_ESTIMATES 2001     // first key state of RefreshMemUsageEstimates

// What the engine knows of the machine, filled at pre-initialisation.
struct ZyPlatformInfo {
  int32_t platform_id;      // ZYI_PLATFORM_LINUX
  int32_t screen_size_id;   // ZYI_SCREEN_LARGE
  char device_model[32];    // "PC"
  char os_description[128]; // "Linux 6.1.0 (Debian GNU/Linux 12 (bookworm))"
  char unique_id[256];      // twelve hex digits of a MAC and "\n", or "TIME<secs>x<random>"
  char gpu_description[128];  // from the renderer, once it tells
  char cpu_description[128];  // the model name of /proc/cpuinfo
};

struct ZySystem {
  ZyPlatformInfo platform;

  // Answer buffers (main thread; each overwritten by the next call of its key)
  char date[32];              // GetDate
  char time_stamp[32];        // GetTimeStamp
  char desktop[2][16];        // PlatformInfo DesktopWidth, DesktopHeight
  char program_id[160];       // ProgramInfo ProgramId
  char features[2048];        // ProgramInfo Features
  char clipboard[ZYI_CLIPBOARD_TEXT_MAX + 2];  // Clipboard_GetText
  char region[64];            // GetRegion
  char file_path[ZYI_DIALOG_PATH_SIZE];        // OpenFileDialog, SaveFileDialog

  // Dialogs
  char edit[ZYI_EDIT_BUFFER_SIZE];        // shared by the text-edit and component dialogs
  char edit_title[ZYI_EDIT_BUFFER_SIZE];  // title of the text-edit dialog
};
ZYI_STATE_PART(ZySystem, system)

// Services of the layers above that some keys need. Each member may be null: the key
// then answers null and does nothing. They survive state resets.
struct ZySystemHooks {
  void (*allow_all_resolutions)(bool allow);             // Hacks AllowAllResolutions
  void (*refresh_raw_input)(void);                       // RawInput Refresh
  size_t (*state_size)(void);                            // bytes of the engine state record
};
// Installs the hooks (a copy is kept; null clears them).
void ZYI_SetSystemHooks(const ZySystemHooks *hooks);
const ZySystemHooks &ZYI_SystemHooks(void);

// Engine interface operation (slot 23): the answer to key with argument, or null.
const char *ZY_GetSystemValue(const char *key, const char *argument);

// Pre-initialisation: fills the platform-information record (platform and screen size,
// "PC", the kernel and distribution, the CPU, the unique id).
void ZYI_PlatformInfoInit(void);
// Forgets the record, the buffers and the dialogs' state (a new boot).
void ZYI_SystemForget(void);

// --- Shared among the files of this folder -------------------------------------------

// The extension calls: true when key is one (its answer, possibly null, in *answer).
bool ZYI_ExtensionCall(const char *key, const char *argument, const char **answer);
// The PlatformInfo answers; true when the argument is one of them.
bool ZYI_PlatformInfoQuery(const char *argument, const char **answer);
// RefreshMemUsageEstimates and ListResourceUsage.
void ZYI_RefreshMemUsageEstimates(void);
void ZYI_ListResourceUsage(void);

// The text-edit dialog: the initial text (escaped; "<insert text here>" for null) in the
// edit buffer, titled `title`. The edited text (the edit buffer) after OK, else null.
const char *ZYI_EditValueDialog(const char *initial, const char *title);
// The component-properties dialog showing `name`: after OK the edit buffer (holding the
// Inherit field), else null.
const char *ZYI_EditComponentDialog(const char *name);
// An open or save file dialog with a filter in the double-NUL form ("Images\0*.png;*.jpg
// \0\0") or as one text with '|' between the parts ("Images|*.png;*.jpg"). The chosen
// path as a normalised name (res:// for files of the game), or null.
const char *ZYI_FileDialog(bool save, const char *filter);
// Normalises a chosen native path in place: '\\' to '/', ".." resolved, and a path inside
// the resource folder written as "res://...". False when the result does not fit.
bool ZYI_NormaliseDialogPath(const char *native, char *out, size_t size);
// Escapes backspace, tab, line feed, carriage return, '"' and '\\' as backslash pairs
// into out (an escape is never cut in half).
void ZYI_EscapeEditText(const char *text, char *out, size_t size);
