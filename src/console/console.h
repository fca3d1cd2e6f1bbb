// console.h — the drop-down developer console: the log history with filtering and
// highlighting, an input line with editing keys, command history and Tab completion,
// copy and paste, and Enter handing the line to the program as a console command event.
//
// The visible flag, slide, input line and caret live in the log record (the console
// exists with the log); the rest is kept here. Main thread only.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

#include "zylem.h"

#define ZYI_CONSOLE_INPUT_CHARS 512  // characters the input line holds (its terminator apart)

// Owned texts in insertion order.
struct ZyTextList {
  char **items;
  int32_t count;
  int32_t capacity;
};

struct ZyConsole {
  float blink;             // seconds, wrapping at 1: drives the caret's fade
  int32_t scroll;          // history lines scrolled back from the newest
  ZyTextList history;      // command lines entered, oldest first
  uint8_t browsing;        // Up started a browse of the command history
  int32_t browse_index;    // entry the next Up or Down shows
  ZyTextList commands;     // names offered by Tab completion
  uint8_t paste_latched;   // Ctrl+V pasted; no paste again until a key without Ctrl
  ZY_Font *font;           // the console font, loaded on first use
  uint8_t font_tried;      // loading was attempted
};
ZYI_STATE_PART(ZyConsole, console)

// Delivers an event to the program the way window events are (set by the lifecycle).
typedef uint32_t (*ZyConsoleDeliver)(const ZY_InputEvent *ev);
void ZYI_ConsoleSetDelivery(ZyConsoleDeliver deliver);

// Shows or hides the console (only while the log is started) and tells the program.
void ZYI_ConsoleToggle(void);
bool ZYI_ConsoleVisible(void);
// Handles an event while the console is visible; non-zero when it used it.
uint32_t ZYI_ConsoleEvent(const ZY_InputEvent *ev);
// Adds a name for Tab completion unless an existing name already starts with it.
void ZYI_ConsoleAddCommand(const char *name);

// Moves the slide and the caret blink on by one frame.
void ZYI_ConsoleUpdate(float seconds);
// Draws the console while it is out (holds PRINT for the history).
void ZYI_ConsoleDraw(void);
// The font the console and the diagnostics draw with (never null while the table exists,
// unless no font can be made at all).
ZY_Font *ZYI_ConsoleFont(void);

// Frees the command history and command names (they live until the log closes).
void ZYI_ConsoleForget(void);

// The console font's line height (16 when it has none).
float ZYI_ConsoleLineHeight(ZY_Font *font);
