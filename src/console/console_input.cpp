// console_input.cpp — what the console does with the events it is offered while shown:
// typing and editing the input line, Enter, the command history, Tab completion,
// scrolling, copy and paste. Every event it is offered counts as used.
#include <stdlib.h>
#include <string.h>

#include "base/engine_table.h"
#include "base/locks.h"
#include "base/log.h"
#include "console/console_internal.h"

namespace {

constexpr int32_t kKeyTab = 9, kKeyCtrl = 17, kKeyPageUp = 33, kKeyPageDown = 34,
                  kKeyEnd = 35, kKeyHome = 36, kKeyLeft = 37, kKeyUp = 38, kKeyRight = 39,
                  kKeyDown = 40, kKeyC = 67, kKeyV = 86;

int32_t InputLength() { return (int32_t)strlen(zy::log.input); }

void SetInput(const char *text) {
  ZyLog &log = zy::log;
  size_t n = strlen(text);
  if (n > ZYI_CONSOLE_INPUT_CHARS) n = ZYI_CONSOLE_INPUT_CHARS;
  memcpy(log.input, text, n);
  log.input[n] = 0;
  log.caret = (int32_t)n;
}

// Inserts one character at the caret; false when the line is full.
bool InsertAt(char c, int32_t limit) {
  ZyLog &log = zy::log;
  int32_t length = InputLength();
  if (length >= limit) return false;
  if (log.caret < 0) log.caret = 0;
  if (log.caret > length) log.caret = length;
  memmove(log.input + log.caret + 1, log.input + log.caret, (size_t)(length - log.caret + 1));
  log.input[log.caret++] = c;
  return true;
}

void Backspace() {
  ZyLog &log = zy::log;
  int32_t length = InputLength();
  if (log.caret <= 0 || log.caret > length) return;
  memmove(log.input + log.caret - 1, log.input + log.caret, (size_t)(length - log.caret + 1));
  log.caret--;
}

void Enter() {
  ZyLog &log = zy::log;
  ZyConsole &c = zy::console;
  ZY_Log(0, "%s", log.input);
  if (c.browsing && c.history.count > 0) {
    // The line that was being typed when browsing started is dropped.
    free(c.history.items[--c.history.count]);
    c.browsing = 0;
  }
  ZYI_TextListAppend(&c.history, log.input);
  c.browse_index = c.history.count;
  // The program gets its own copy: the input line is cleared below.
  char *command = strdup(log.input);
  ZY_InputEvent ev;
  memset(&ev, 0, sizeof ev);
  ev.type = ZY_EVENT_CONSOLE_COMMAND;
  ev.console.command = command ? command : "";
  ZYI_ConsoleDeliver(&ev);
  free(command);
  log.input[0] = 0;
  log.caret = 0;
}

void HandleCharacter(uint8_t code) {
  if (code == 8) {
    Backspace();
  } else if (code == 13) {
    Enter();
  } else if (code >= 32) {
    InsertAt((char)code, ZYI_CONSOLE_INPUT_CHARS);
  }
}

// Wraps the browse index into the history (it can point one past the end).
int32_t WrappedIndex(int32_t index, int32_t count) {
  if (index < 0) return count - 1;
  if (index >= count) return 0;
  return index;
}

void Browse(bool back) {
  ZyConsole &c = zy::console;
  if (c.history.count == 0) return;
  if (back && !c.browsing) {
    ZYI_TextListAppend(&c.history, zy::log.input);
    c.browsing = 1;
  }
  c.browse_index = WrappedIndex(c.browse_index, c.history.count);
  SetInput(c.history.items[c.browse_index]);
  c.browse_index = WrappedIndex(c.browse_index + (back ? -1 : 1), c.history.count);
}

void Complete() {
  const ZyTextList &names = zy::console.commands;
  for (int32_t i = 0; i < names.count; i++) {
    const char *name = names.items[i];
    if (strlen(name) >= ZYI_CONSOLE_INPUT_CHARS - 1) continue;
    if (ZYI_StartsWithFolded(name, zy::log.input)) {
      SetInput(name);
      return;
    }
  }
}

void Paste(ZY_EngineInterface *t) {
  const char *text = t->GetSystemValue ? t->GetSystemValue("Clipboard_GetText", "") : nullptr;
  if (!text) return;
  for (; *text; text++)
    if (!InsertAt(*text, ZYI_CONSOLE_INPUT_CHARS - 1)) break;
}

// Every history record's text, joined without separators, onto the clipboard.
void Copy(ZY_EngineInterface *t) {
  if (!t->GetSystemValue) return;
  ZYI_Lock(ZYI_LOCK_PRINT);
  size_t total = 1;
  int32_t count = ZYI_LogHistoryCount();
  for (int32_t i = 0; i < count; i++) total += strlen(ZYI_LogHistoryRecord(i)->text);
  char *joined = (char *)malloc(total);
  if (joined) {
    char *end = joined;
    for (int32_t i = 0; i < count; i++) {
      const char *text = ZYI_LogHistoryRecord(i)->text;
      size_t n = strlen(text);
      memcpy(end, text, n);
      end += n;
    }
    *end = 0;
  }
  ZYI_Unlock(ZYI_LOCK_PRINT);
  if (!joined) return;
  t->GetSystemValue("Clipboard_SetText", joined);
  free(joined);
}

void HandleKey(int32_t key) {
  ZyLog &log = zy::log;
  ZyConsole &c = zy::console;
  ZY_EngineInterface *t = ZYI_EngineInterface();
  bool ctrl = t && t->GetKeyState && (t->GetKeyState(kKeyCtrl) & ZY_KEY_STATE_DOWN);
  if (!ctrl) c.paste_latched = 0;
  int32_t length = InputLength();
  switch (key) {
    case kKeyHome: log.caret = 0; break;
    case kKeyEnd: log.caret = length; break;
    case kKeyLeft: if (log.caret > 0) log.caret--; break;
    case kKeyRight: if (log.caret < length) log.caret++; break;
    case kKeyPageUp: c.scroll += 4; break;
    case kKeyPageDown: c.scroll -= 4; break;
    case kKeyTab: if ((uint8_t)zy::log.toggle_key != kKeyTab) Complete(); break;
    case kKeyUp: Browse(true); break;
    case kKeyDown: Browse(false); break;
    default: break;
  }
  if (!ctrl || !t) return;
  if (key == kKeyV && !c.paste_latched) {
    Paste(t);
    c.paste_latched = 1;
  } else if (key == kKeyC) {
    Copy(t);
  }
}

}  // namespace

uint32_t ZYI_ConsoleEvent(const ZY_InputEvent *ev) {
  if (!ev || !ZYI_LogStarted()) return 0;
  switch (ev->type) {
    case ZY_EVENT_CHAR: HandleCharacter(ev->character.code); break;
    case ZY_EVENT_KEY_DOWN: HandleKey(ev->key.key); break;
    case ZY_EVENT_WHEEL: zy::console.scroll += ev->pointer.wheel_delta / 120; break;
    default: break;
  }
  return 1;
}
