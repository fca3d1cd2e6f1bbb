// input_script.h — scripted input: events read from a text file and delivered at the
// start of the frames they name, through the window procedure like typed input.
//
// One event a line, frames counted from 1 (the first frame the game runs):
//   FRAME char CODE          one character event (CODE 0..255)
//   FRAME text TEXT          one character event per byte of TEXT (the rest of the line)
//   FRAME key down|up ID     a key (virtual-key code 1..2047, or a key name: A, SPACE, F1)
//   FRAME mouse X Y          the mouse moves to the window position X, Y
//   FRAME button down|up ID  a mouse button (0 or 510 left, 1 or 511 right, 2 or 512
//                            middle) at the last scripted mouse position
//   FRAME wheel DELTA        the wheel turns (120 a notch, positive away from the user)
// '#' starts a comment (except inside the TEXT of a text line); blank lines are skipped.
// Events of one frame keep the file's order, and frames may come in any order.
//
// The script is kept outside the engine state record (pre-initialisation zeroes that),
// like the launcher's options.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Reads the script. False, with "line N: reason" (or why the file cannot be read) in
// err, for the first bad line; nothing is kept then.
bool ZYI_LoadInputScript(const char *path, char *err, size_t err_size);
// The same for a script already in memory (size bytes, need not be terminated).
bool ZYI_ParseInputScript(const char *text, size_t size, char *err, size_t err_size);
// Delivers the events of the frame (frames count from 1) through the window procedure.
void ZYI_DeliverScriptedInput(int32_t frame);
// Forgets the script.
void ZYI_FreeInputScript(void);
