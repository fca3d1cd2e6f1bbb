// backend.h — what the pieces of the host layer share behind host.h.
//
// A display backend is one constant table of window-system operations; backend.cpp keeps
// the table in use and implements the display half of host.h by calling through it. The
// injected event queue, the scripted message-box answers, the raw mice and the
// thread-local error text are shared by every backend and live in their own files.
// Nothing outside src/host (and the host tests) includes this header.
#pragma once

#include "host/host.h"

// One display backend. Every operation may assume start() succeeded.
struct ZyhBackendOps {
  const char *name;                        // "headless" or "sdl"
  bool (*start)(void);                     // brings up the window system; false if impossible
  void (*stop)(void);                      // destroys the window and releases the system
  bool (*window_create)(const ZyhWindowDesc *desc);
  void (*window_destroy)(void);
  bool (*window_exists)(void);
  bool (*window_size)(int *width, int *height);
  void *(*window_native)(void);
  void (*window_raise)(void);
  void (*screen_size)(int *width, int *height);
  bool (*poll_native)(ZyhEvent *ev);       // next native event, false when none
  // Shows a box and stores the button pressed; false when the box cannot be shown.
  bool (*message_box)(const char *caption, const char *text, ZyhButtons buttons,
                      ZyhIcon icon, ZyhAnswer *answer);
  char *(*clipboard_get)(void);            // malloc'd text, or null on failure
  bool (*clipboard_set)(const char *text);
  void (*set_cursor)(ZyhCursor cursor);
  bool (*open_url)(const char *url);
  bool (*show_dialog)(const ZyhDialogRequest *request, ZyhDialogResult *result);
};

extern const ZyhBackendOps ZYH_HEADLESS_OPS;
// Destroys the headless backend's virtual window and empties its clipboard.
void ZYH_HeadlessForget(void);
extern const ZyhBackendOps ZYH_SDL_OPS;

// Injected event queue (any thread): append a copy; take the oldest; drop everything.
void ZYH_QueuePush(const ZyhEvent *ev);
bool ZYH_QueuePop(ZyhEvent *ev);
void ZYH_QueueClear(void);

// The answer of a message box nobody can see: echoes "[popup] <caption>: <text>\n" to
// stderr and answers from ZYLEM_POPUP_ANSWER, falling back to the set's default.
ZyhAnswer ZYH_ScriptedAnswer(const char *caption, const char *text, ZyhButtons buttons);
// The answer a button set gives when closed without a choice or given a foreign one.
ZyhAnswer ZYH_DefaultAnswer(ZyhButtons buttons);
// Whether a button set offers an answer.
bool ZYH_SetOffers(ZyhButtons buttons, ZyhAnswer answer);

// Next raw mouse event of the open raw mice, without waiting; false when none.
bool ZYH_RawMicePoll(ZyhEvent *ev);
// Adds an already open, non-blocking evdev-style descriptor as the next raw mouse and
// returns its index (tests feed recorded input through a pipe). The host closes it.
int ZYH_RawMiceAttachFd(int fd);

// Records the failure text (and errno-like code) ZYH_LastError/ZYH_LastErrorText report
// on this thread.
void ZYH_SetLastError(int code, const char *text);

// Gives up the single-instance lock this process holds (tests; the engine keeps it until
// the process ends).
void ZYH_InstanceRelease(void);

// The device id read from another folder laid out like /sys/class/net (tests).
bool ZYH_DeviceMacIn(const char *net_dir, char *buf, size_t size);

// Programs started by the host (posix/process.cpp). argv ends with a null; the program
// is found along PATH and started without a shell, so no argument is ever interpreted.
// Starts the program and does not wait for it (a helper thread collects its status).
bool ZYH_SpawnDetached(const char *const argv[]);
// Runs the program to its end with `input` (may be null) on its standard input, keeps
// what it writes to standard output in out (cut to fit, always terminated) and returns
// its exit status, or -1 when it could not be run.
int ZYH_RunCapture(const char *const argv[], const char *input, char *out, size_t size);
// True when the program can be found along PATH.
bool ZYH_ProgramOnPath(const char *name);

// Dialogs: zenity windows (posix/zenity.cpp; false when zenity or a display is missing)
// and the scripted answers of ZYLEM_DIALOG_ANSWER (headless/dialog_answer.cpp).
bool ZYH_ZenityDialog(const ZyhDialogRequest *request, ZyhDialogResult *result);
bool ZYH_ScriptedDialog(const ZyhDialogRequest *request, ZyhDialogResult *result);
// Starts the scripted answers again from their first line.
void ZYH_DialogAnswersForget(void);
