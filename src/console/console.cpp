// console.cpp — console state: showing and hiding, the slide and blink, command names,
// the lists it owns, and the console font.
#include "console/console_internal.h"

#include <stdlib.h>
#include <string.h>

#include "base/core_block.h"
#include "base/log.h"
#include "font/fonts.h"

ZyConsole zy::console;  // engine state: the console beyond what the log record holds

namespace {
ZyConsoleDeliver delivery;  // wiring, not state: kept across resets

// Case-insensitive for A to Z only, as command names are typed.
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }
}  // namespace

bool ZYI_StartsWithFolded(const char *text, const char *prefix) {
  for (; *prefix; text++, prefix++)
    if (FoldAscii(*text) != FoldAscii(*prefix)) return false;
  return true;
}

void ZYI_ConsoleSetDelivery(ZyConsoleDeliver deliver) { delivery = deliver; }

uint32_t ZYI_ConsoleDeliver(const ZY_InputEvent *ev) { return delivery ? delivery(ev) : 0; }

bool ZYI_TextListAppend(ZyTextList *list, const char *text) {
  if (list->count == list->capacity) {
    int32_t capacity = list->capacity ? list->capacity * 2 : 16;
    void *grown = realloc(list->items, (size_t)capacity * sizeof(char *));
    if (!grown) return false;
    list->items = (char **)grown;
    list->capacity = capacity;
  }
  char *copy = strdup(text);
  if (!copy) return false;
  list->items[list->count++] = copy;
  return true;
}

void ZYI_TextListFree(ZyTextList *list) {
  for (int32_t i = 0; i < list->count; i++) free(list->items[i]);
  free(list->items);
  memset(list, 0, sizeof *list);
}

void ZYI_ConsoleToggle(void) {
  ZyLog &log = zy::log;
  log.console_visible = ZYI_LogStarted() ? !log.console_visible : 0;
  if (zy::core.prog) zy::core.prog->parms.console_visible = log.console_visible;
}

bool ZYI_ConsoleVisible(void) { return zy::log.console_visible != 0; }

void ZYI_ConsoleAddCommand(const char *name) {
  if (!name) return;
  ZyTextList &names = zy::console.commands;
  for (int32_t i = 0; i < names.count; i++)
    if (ZYI_StartsWithFolded(names.items[i], name)) return;
  ZYI_TextListAppend(&names, name);
}

void ZYI_ConsoleUpdate(float seconds) {
  if (!ZYI_LogStarted()) return;
  ZyLog &log = zy::log;
  float step = 4.0f * seconds;
  log.slide += log.console_visible ? step : -step;
  if (log.slide < 0) log.slide = 0;
  if (log.slide > 1) log.slide = 1;
  float &blink = zy::console.blink;
  blink += seconds;
  while (blink >= 1.0f) blink -= 1.0f;
}

// A font that failed to load keeps its record but has no height.
static bool HasGlyphs(const ZY_Font *font) {
  return font && font->glyph_count > 0 && font->height > 0;
}

ZY_Font *ZYI_ConsoleFont(void) {
  ZyConsole &c = zy::console;
  if (!c.font_tried) {
    c.font_tried = 1;
    c.font = ZY_GetFont("core/console.mft");
    if (!HasGlyphs(c.font)) c.font = ZY_GetFont(ZYI_BUILTIN_FONT);
    if (!HasGlyphs(c.font)) c.font = nullptr;
  }
  return c.font;
}

float ZYI_ConsoleLineHeight(ZY_Font *font) {
  return font && font->line_height > 0 ? (float)font->line_height : 16.0f;
}

void ZYI_ConsoleForget(void) {
  ZYI_TextListFree(&zy::console.history);
  ZYI_TextListFree(&zy::console.commands);
}
