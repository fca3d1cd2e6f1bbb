// host.h — the only door from the engine to the platform.
//
// Everything the engine needs from the operating system goes through the functions
// below: dynamic libraries, threads and locks, the millisecond clock, the platform
// folders, directories, the device id, and a *display backend* (window, events,
// message boxes, clipboard, cursors, URLs). The engine itself never includes SDL,
// X11 or Linux headers.
//
// Two display backends exist, chosen once at start-up with ZYH_SelectBackend:
//   - headless: a virtual window, a queue of injected events, message boxes answered
//     from ZYLEM_POPUP_ANSWER (and echoed to stderr), an in-memory clipboard and an
//     optional manual clock that tests advance by hand;
//   - sdl: a real SDL2 window and native events turned into ZyhEvent records.
// The posix layer (libraries, threads, clock, folders, files, TCP connections, single
// instance, raw mice) is shared by both.
//
// Conventions: functions return bool/handles/null on failure and never throw.
// Texts are UTF-8, zero-terminated. Paths are native paths.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// ---------------------------------------------------------------------------------
// Dynamic libraries
// ---------------------------------------------------------------------------------

// Loads a shared library. A trailing ".dll" (any case) is replaced by ".so" on disk,
// so configuration and messages keep the names games write ("prog.dll" -> "prog.so").
// A name with no '/' is taken from the current working folder ("./prog.so"), never from
// the system's library path. Null on failure; ZYH_LastError then gives the reason code
// (ENOENT: no such file, ENOEXEC: the file exists but cannot be loaded) and
// ZYH_LastErrorText the loader's text.
void *ZYH_LoadLibrary(const char *name);
// Address of an exported symbol, or null.
void *ZYH_GetSymbol(void *library, const char *symbol);
// Unloads a library loaded with ZYH_LoadLibrary; null is ignored.
void ZYH_FreeLibrary(void *library);
// Maps a library name to the file name loaded from disk (".dll" -> ".so"), into buf.
// Returns buf ("" when the result does not fit). Exposed so tests and messages can show
// what is really opened.
char *ZYH_LibraryFileName(const char *name, char *buf, size_t size);

// Last platform error code of this thread (errno-like; 0 when none is known).
int ZYH_LastError(void);
// Text describing the last failure of this thread in ZYH_LoadLibrary, ZYH_GetSymbol,
// ZYH_SelectBackend, ZYH_WindowCreate or ZYH_OpenUrl ("" when none is known).
const char *ZYH_LastErrorText(void);

// ---------------------------------------------------------------------------------
// Threads and locks
// ---------------------------------------------------------------------------------

typedef void (*ZyhThreadFunc)(void *arg);

// Starts a detached thread running fn(arg). Returns an opaque non-null handle that
// stays valid for the life of the process (it is never dereferenced by callers), or
// null when the thread could not be started.
void *ZYH_StartThread(ZyhThreadFunc fn, void *arg);
// Kernel id of the calling thread (gettid); distinct for every live thread.
uint32_t ZYH_ThreadId(void);

typedef struct ZyhLock ZyhLock;
// Creates a recursive lock: the owning thread may take it again without blocking.
ZyhLock *ZYH_LockCreate(void);
void ZYH_LockDestroy(ZyhLock *lock);  // null is ignored; must not be held
void ZYH_Lock(ZyhLock *lock);
// Takes the lock only if it is free or already owned by the caller.
bool ZYH_TryLock(ZyhLock *lock);
void ZYH_Unlock(ZyhLock *lock);
// True when the calling thread holds the lock (at any depth).
bool ZYH_LockHeldByMe(ZyhLock *lock);

typedef struct ZyhRwLock ZyhRwLock;
// Creates a reader/writer lock: any number of readers at once, or one writer, who is
// served before readers that come after it. Not recursive: a holder must not take it
// again. Null when out of resources.
ZyhRwLock *ZYH_RwLockCreate(void);
void ZYH_RwLockDestroy(ZyhRwLock *lock);  // null is ignored; must not be held
void ZYH_ReadLock(ZyhRwLock *lock);       // shared; null is ignored
void ZYH_WriteLock(ZyhRwLock *lock);      // exclusive; null is ignored
void ZYH_RwUnlock(ZyhRwLock *lock);       // releases either kind; null is ignored

// ---------------------------------------------------------------------------------
// Clock
// ---------------------------------------------------------------------------------

// Milliseconds from an arbitrary origin, as an unsigned 32-bit value that wraps after
// about 49.7 days; differences must be taken as (uint32_t)(a - b). With the manual
// clock on, returns the manual value.
uint32_t ZYH_TimeMs(void);
// Suspends the calling thread. With the manual clock on, advances it instead of waiting.
void ZYH_SleepMs(uint32_t ms);
// Manual clock for tests: when enabled, ZYH_TimeMs returns `start` plus everything
// added by ZYH_ClockAdvance and ZYH_SleepMs. Disabling returns to the real clock.
void ZYH_ClockSetManual(bool enabled, uint32_t start);
void ZYH_ClockAdvance(uint32_t ms);

// Local calendar time: year (e.g. 2026), month 1-12, day 1-31, hour, minute, second.
void ZYH_LocalDateTime(int out[6]);

// ---------------------------------------------------------------------------------
// Folders, files, system facts
// ---------------------------------------------------------------------------------

// Sets the game folder (platform folder 3). The launcher calls this once.
void ZYH_SetGameFolder(const char *path);
// Platform folders 0..4 as native paths without a trailing slash:
//   0, 1: $XDG_DATA_HOME when absolute, else ~/.local/share — per-user application
//         data, created (with its parents) when missing;
//   2: ~/Documents; 3: the game folder (the working folder until one is set);
//   4: ~/Desktop. Folders 2 and 4 are used only when they exist, never created.
// Returns false (and writes "") when the folder is unknown, not a directory or does not
// fit; callers fall back to folder 3.
bool ZYH_PlatformFolder(int kind, char *buf, size_t size);
// Creates one directory with the default permissions the umask allows, but never
// writable by other users. True when a directory exists there afterwards.
bool ZYH_MakeDir(const char *path);
// Deletes a file (not a directory). True on success.
bool ZYH_DeleteFile(const char *path);
// 0: nothing there (or a device, pipe or socket), 1: regular file, 2: directory.
// Symbolic links are followed.
int ZYH_PathKind(const char *path);
// True when the path itself is a symbolic link (it is not followed).
bool ZYH_IsLink(const char *path);
// Creates a file for writing only where nothing exists yet, not even a dangling link,
// with the permissions fopen would give it, and returns it as a "wb" stream. Null on
// failure; ZYH_LastError then gives the errno code (EEXIST when something is there).
FILE *ZYH_CreateNewFile(const char *path);
// Writes out the stream's buffer and makes the file's contents durable (fsync). False
// on failure, with ZYH_LastError giving the reason.
bool ZYH_SyncFile(FILE *stream);
// Renames `from` over `to` in one step (a link at `to` is replaced, never followed),
// gives it the permission bits of the file it replaces, and makes the new name durable.
// Both must be in the same folder. False on failure, with ZYH_LastError set.
bool ZYH_ReplaceFile(const char *from, const char *to);
// Size of a regular file in bytes, or -1.
int64_t ZYH_FileSize(const char *path);
// Opens a file for appending only (created when missing, with the permissions fopen
// would give it): every write lands at its end, also when another process appends too.
// Returns a descriptor, or -1 with ZYH_LastError giving the errno code.
int ZYH_OpenAppend(const char *path);
// Hands all `size` bytes to the kernel, in one write unless the kernel takes fewer
// (then the rest follows). False on failure, with ZYH_LastError set.
bool ZYH_WriteAll(int fd, const void *data, size_t size);
// Closes a descriptor from ZYH_OpenAppend; -1 is ignored.
void ZYH_CloseAppend(int fd);

// Calls fn for each entry of a directory except "." and "..", in name order.
// fn returns false to stop early. Returns false when the directory cannot be read.
typedef bool (*ZyhDirFunc)(const char *name, bool is_dir, void *user);
bool ZYH_ListDir(const char *path, ZyhDirFunc fn, void *user);

// Unique device id: the MAC address of the first non-loopback network interface (by
// name, skipping all-zero addresses) as twelve lower-case hex digits; false when there
// is none.
bool ZYH_DeviceMac(char *buf, size_t size);
// Kernel version from uname: "Linux %d.%d.%d" parts. False when unknown.
bool ZYH_OsVersion(int *major, int *minor, int *patch);
// The distribution's name for people (PRETTY_NAME of /etc/os-release, else of
// /usr/lib/os-release), e.g. "Debian GNU/Linux 12 (bookworm)". False when unknown.
bool ZYH_OsDistribution(char *buf, size_t size);
// The processor's model name from /proc/cpuinfo ("model name", else "Hardware" or
// "cpu model"). False when unknown.
bool ZYH_CpuModel(char *buf, size_t size);
// The user's two-letter country code from the locale settings: the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty, read as language_COUNTRY[.codeset]
// [@modifier]. False (buf "") when that locale names no country ("C", "POSIX", "en").
bool ZYH_LocaleRegion(char *buf, size_t size);
// Folder holding the running executable, without a trailing slash.
bool ZYH_ExecutableFolder(char *buf, size_t size);

// Single-instance guard: an exclusive lock file named after `id` in $XDG_RUNTIME_DIR
// (else /tmp) that lives as long as the process. Returns 1 when this process now holds
// it (and records pid and title; also on a repeated call for the same id), 0 when
// another live process holds it with the same title (that process is asked to raise
// its window), -1 when another process holds it with a different title or the file
// cannot be used (start-up continues).
int ZYH_InstanceLock(const char *id, const char *title);
// True (once per request) when another instance asked this one to raise its window.
bool ZYH_InstanceRaiseRequested(void);

// ---------------------------------------------------------------------------------
// TCP connections (the HTTP client's transport)
// ---------------------------------------------------------------------------------

typedef struct ZyhSocket ZyhSocket;
enum ZyhNetStatus {
  ZYH_NET_OK = 0,
  ZYH_NET_NO_HOST,    // the name did not resolve
  ZYH_NET_NO_SOCKET,  // no socket could be created
  ZYH_NET_FAILED,     // refused, reset or otherwise broken
  ZYH_NET_TIMED_OUT,  // the peer stayed silent for the whole time-out
  ZYH_NET_STOPPED     // the caller's stop function answered true
};
// How long a call may wait, and who may cut the wait short: stop(user) is asked before
// every wait and at least every 50 ms while waiting. timeout_ms 0 waits without limit.
typedef struct ZyhNetWait {
  uint32_t timeout_ms;
  bool (*stop)(void *user);  // null: never stopped
  void *user;
} ZyhNetWait;

// Resolves host (a name, an IPv4 or an IPv6 literal) with getaddrinfo and connects to the
// first of its addresses that accepts. The lookup and each address get the whole time-out;
// a lookup that outlasts it is ZYH_NET_NO_HOST. *out is the new connection on ZYH_NET_OK,
// else null.
ZyhNetStatus ZYH_TcpConnect(const char *host, uint16_t port, const ZyhNetWait *wait,
                            ZyhSocket **out);
// Sends every byte (a peer that hung up is ZYH_NET_FAILED, never a signal).
ZyhNetStatus ZYH_TcpSend(ZyhSocket *socket, const void *data, size_t size,
                         const ZyhNetWait *wait);
// Receives up to size bytes once some arrive; *received 0 with ZYH_NET_OK means the peer
// closed the connection.
ZyhNetStatus ZYH_TcpReceive(ZyhSocket *socket, void *buffer, size_t size, size_t *received,
                            const ZyhNetWait *wait);
// Closes a connection; null is ignored.
void ZYH_TcpClose(ZyhSocket *socket);

// ---------------------------------------------------------------------------------
// Several mice (raw relative motion)
// ---------------------------------------------------------------------------------

// Opens every readable relative pointing device (evdev mice) again, in device name
// order, and returns how many there are (0 when none can be read). From then on their
// motion and buttons arrive as ZYH_EV_RAW_MOUSE events through ZYH_PollEvent.
int ZYH_RawMiceOpen(void);
// Closes the raw mice; no more ZYH_EV_RAW_MOUSE events.
void ZYH_RawMiceClose(void);

// ---------------------------------------------------------------------------------
// Display backend
// ---------------------------------------------------------------------------------

enum ZyhBackend { ZYH_BACKEND_HEADLESS = 0, ZYH_BACKEND_SDL = 1 };
// Chooses the backend for the rest of the process (or until chosen again).
// SDL falls back to headless (and returns false) when SDL's video cannot start.
bool ZYH_SelectBackend(ZyhBackend backend);
ZyhBackend ZYH_CurrentBackend(void);

// Events in portable form. Key codes are Windows virtual-key codes (VK_*), so the
// window procedure above the host layer is the same for every backend.
enum ZyhEventType {
  ZYH_EV_NONE = 0,
  ZYH_EV_KEY_DOWN,      // key: virtual-key code; alt: Alt held (system key)
  ZYH_EV_KEY_UP,        // key, alt
  ZYH_EV_CHAR,          // key: character code (one byte of text input)
  ZYH_EV_MOUSE_MOVE,    // x, y: client position
  ZYH_EV_BUTTON_DOWN,   // button: 0 left, 1 right, 2 middle, 3 x1, 4 x2; x, y
  ZYH_EV_BUTTON_UP,     // as above
  ZYH_EV_WHEEL,         // delta: WHEEL_DELTA units (120 per notch, positive = away)
  ZYH_EV_ACTIVATE,      // active: 1 gained focus, 0 lost it; minimized: 1 when iconic
  ZYH_EV_CLOSE,         // the user asked to close the window
  ZYH_EV_MAXIMIZED,     // x, y: new client width and height
  ZYH_EV_RESIZED,       // x, y: new client width and height
  ZYH_EV_DROP_FILE,     // text: dropped path; x, y: drop point
  ZYH_EV_RAW_MOUSE,     // device: index among raw mice; x, y: relative motion;
                        // buttons: ZYH_RAW_* down/up flags
  ZYH_EV_QUIT           // the platform asks the process to end
};

enum {
  ZYH_RAW_LEFT_DOWN = 0x0001, ZYH_RAW_LEFT_UP = 0x0002,
  ZYH_RAW_RIGHT_DOWN = 0x0004, ZYH_RAW_RIGHT_UP = 0x0008,
  ZYH_RAW_MIDDLE_DOWN = 0x0010, ZYH_RAW_MIDDLE_UP = 0x0020,
  ZYH_RAW_BUTTON4_DOWN = 0x0040, ZYH_RAW_BUTTON4_UP = 0x0080,
  ZYH_RAW_BUTTON5_DOWN = 0x0100, ZYH_RAW_BUTTON5_UP = 0x0200
};

typedef struct ZyhEvent {
  ZyhEventType type;
  int key;        // virtual-key code or character
  bool alt;       // Alt was held (WM_SYSKEY* form)
  int x, y;       // position, size or relative motion
  int delta;      // wheel delta
  int button;     // mouse button index
  int active;     // activation
  int minimized;  // activation: window is minimised
  int device;     // raw mouse index
  unsigned buttons;  // raw mouse button flags
  char text[512];    // dropped file path
} ZyhEvent;

typedef struct ZyhWindowDesc {
  const char *title;
  int width, height;    // client size
  bool windowed;        // false: borderless fullscreen at the given size
  bool maximize_box;    // windowed style offers maximising (SDL: a resizable window)
  bool popup_style;     // windowed but without caption (screen not taller than window)
  bool accept_files;    // accept dropped files
  bool opengl;          // the renderer draws with OpenGL into this window
} ZyhWindowDesc;

// Creates the one window. False when it cannot be created (or one exists already).
bool ZYH_WindowCreate(const ZyhWindowDesc *desc);
void ZYH_WindowDestroy(void);
bool ZYH_WindowExists(void);
// Client size of the window, or false without one.
bool ZYH_WindowSize(int *width, int *height);
// Native handle for renderer modules (SDL_Window* with SDL, null headless).
void *ZYH_WindowNative(void);
// Brings the window to the front and restores it.
void ZYH_WindowRaise(void);
// Primary screen size in pixels (headless: ZYLEM_HEADLESS_SCREEN "WxH", else 1920x1080).
void ZYH_ScreenSize(int *width, int *height);

// Takes the next pending event without waiting: injected events first, then raw mouse
// input, then the backend's native events. False when none is pending.
bool ZYH_PollEvent(ZyhEvent *ev);
// Appends a copy of an event to the queue ZYH_PollEvent reads first, with every
// backend, so tests and tools can feed synthetic input. Safe from any thread.
void ZYH_InjectEvent(const ZyhEvent *ev);

// Message boxes. Button sets and results as the Win32 ones the engine was designed for.
enum ZyhButtons { ZYH_MB_OK = 0, ZYH_MB_OKCANCEL = 1, ZYH_MB_YESNOCANCEL = 3 };
enum ZyhIcon { ZYH_ICON_NONE = 0, ZYH_ICON_INFO, ZYH_ICON_WARNING, ZYH_ICON_ERROR };
enum ZyhAnswer { ZYH_ID_OK = 1, ZYH_ID_CANCEL = 2, ZYH_ID_YES = 6, ZYH_ID_NO = 7 };
// Shows a modal message box and returns the button pressed. Headless, or when SDL
// cannot show one, "[popup] <caption>: <text>\n" is written to stderr and the answer is
// read from ZYLEM_POPUP_ANSWER ("ok", "cancel", "yes", "no", any case); otherwise OK,
// or Yes for the Yes/No/Cancel set. An answer the button set does not offer becomes
// that default. A box closed without a button counts as Cancel (OK for the OK set).
ZyhAnswer ZYH_MessageBox(const char *caption, const char *text, ZyhButtons buttons,
                         ZyhIcon icon);

// Clipboard text. Get returns a malloc'd copy ("" when empty) or null on failure.
char *ZYH_ClipboardGet(void);
bool ZYH_ClipboardSet(const char *text);

// System cursors, in the order of the engine's cursor table after its two own ones.
enum ZyhCursor {
  ZYH_CURSOR_HIDDEN = 0, ZYH_CURSOR_ARROW, ZYH_CURSOR_HAND, ZYH_CURSOR_PIPETTE,
  ZYH_CURSOR_IBEAM, ZYH_CURSOR_WAIT, ZYH_CURSOR_CROSS, ZYH_CURSOR_UPARROW,
  ZYH_CURSOR_SIZENWSE, ZYH_CURSOR_SIZENESW, ZYH_CURSOR_SIZEWE, ZYH_CURSOR_SIZENS,
  ZYH_CURSOR_SIZEALL, ZYH_CURSOR_NO, ZYH_CURSOR_HELP, ZYH_CURSOR_COUNT
};
// Shows the given cursor over the window (HIDDEN hides it; an unknown value the arrow).
void ZYH_SetCursor(ZyhCursor cursor);
// The cursor last set (tests and diagnostics).
ZyhCursor ZYH_GetCursor(void);

// Opens a URL with the desktop's handler (xdg-open, started without a shell and not
// waited for). Headless: written to stderr as "[url] ..." and not opened (false). False
// when no handler could be started.
bool ZYH_OpenUrl(const char *url);

// Modal dialogs the engine offers the program: open and save file choosers, a text
// editor and the component-properties form. With a desktop they are zenity windows, when
// zenity is installed and a display is there (otherwise they count as cancelled);
// headless they are answered from ZYLEM_DIALOG_ANSWER: its lines are the answers of the
// dialogs in the order they open (after the last line the last answer repeats); a line
// "cancel" (any case), or no variable at all, cancels. The component form's line holds
// its three fields separated by '|'. Each scripted answer is echoed to stderr as
// "[dialog] <title> showing '<text>': '<answer>'" (or ": cancelled"), as message boxes are.
enum ZyhDialogKind {
  ZYH_DIALOG_OPEN_FILE = 0,  // an existing file
  ZYH_DIALOG_SAVE_FILE,      // a file name in an existing folder
  ZYH_DIALOG_EDIT_TEXT,      // multi-line text, shown with `text` first
  ZYH_DIALOG_COMPONENT       // fields Name (shown with `text`), Parent and Inherit
};
#define ZYH_DIALOG_TEXT_SIZE 512  // characters of one answer field, the terminator included
typedef struct ZyhDialogRequest {
  ZyhDialogKind kind;
  const char *title;    // window title (null: none)
  const char *text;     // initial text or name (null: none)
  const char *const *filters;  // file dialogs: "Name | *.png *.jpg" entries ending with a
                               // null entry; null offers every file
} ZyhDialogRequest;
typedef struct ZyhDialogResult {
  char field[3][ZYH_DIALOG_TEXT_SIZE];  // the answer; the component form fills all three
} ZyhDialogResult;
// Shows the dialog and waits for it. True when it was confirmed (result filled, longer
// answers cut), false when cancelled or impossible (result empty).
bool ZYH_ShowDialog(const ZyhDialogRequest *request, ZyhDialogResult *result);

// Forgets what the display layer kept for the last boot: the cursor goes back to the
// arrow, injected events not yet taken are dropped, and the headless backend's virtual
// window and in-memory clipboard are emptied (a real desktop's clipboard is left alone).
void ZYH_DesktopForget(void);
