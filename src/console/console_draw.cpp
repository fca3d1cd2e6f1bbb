// console_draw.cpp — draws the console: the panel sliding down from the top, its scroll
// bar, the input line with its caret, and the log history (newest at the bottom),
// filtered by the input line with every match highlighted.
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "base/core_block.h"
#include "base/engine_table.h"
#include "base/locks.h"
#include "base/log.h"
#include "console/console_internal.h"

namespace {

constexpr int32_t kMouseX = ZY_MOUSE_X, kMouseY = ZY_MOUSE_Y, kMouseLeft = ZY_MOUSE_BUTTON_LEFT;
constexpr size_t kHighlightLimit = 512;  // longer lines are shown without highlighting
const char kMatchOn[] = "|#1199ff|";
const char kMatchOff[] = "|#ffffff|";

struct Layout {
  float width, panel, line, area, s;
  int32_t visible;  // history lines that fit
};

bool Shown(const ZyLogRecord *r, const char *filter) {
  return !filter[0] || strstr(r->text, filter) != nullptr;
}

// The text with every occurrence of filter wrapped in colour tags, in out.
const char *Highlight(const char *text, const char *filter, char *out, size_t size) {
  size_t flen = strlen(filter);
  if (!flen || strlen(text) > kHighlightLimit) return text;
  size_t n = 0;
  for (const char *p = text; *p;) {
    const char *hit = strstr(p, filter);
    size_t plain = hit ? (size_t)(hit - p) : strlen(p);
    int w = snprintf(out + n, size - n, "%.*s", (int)plain, p);
    if (w < 0 || (size_t)w >= size - n) return text;
    n += (size_t)w;
    if (!hit) break;
    w = snprintf(out + n, size - n, "%s%.*s%s", kMatchOn, (int)flen, hit, kMatchOff);
    if (w < 0 || (size_t)w >= size - n) return text;
    n += (size_t)w;
    p = hit + flen;
  }
  return out;
}

void LevelColour(ZY_EngineInterface *t, int level) {
  switch (level) {
    case 1: t->SetColor(1, 1, 0); break;
    case 2: t->SetColor(1, 0, 0); break;
    case 3: t->SetColor(0, 1, 0); break;
    default: t->SetColor(1, 1, 1); break;
  }
}

// Dragging the scroll bar: the top of the track is the oldest line, the bottom the newest.
void FollowMouse(ZY_EngineInterface *t, const Layout &l, int32_t max_scroll) {
  if (!t->GetKeyState || !t->GetAxis) return;
  if (!(t->GetKeyState(kMouseLeft) & ZY_KEY_STATE_DOWN)) return;
  if (t->GetAxis(kMouseX) < l.width - 58) return;
  float track = l.panel * l.s;
  if (track <= 0) return;
  float f = t->GetAxis(kMouseY) / track;
  if (f < 0) f = 0;
  if (f > 1) f = 1;
  zy::console.scroll = (int32_t)lrintf((1.0f - f) * (float)max_scroll);
}

void DrawPanel(ZY_EngineInterface *t, const Layout &l, int32_t shown) {
  float height = l.panel * l.s;
  t->SetColor(0.2f, 0.3f, 0.5f);
  t->SetAlpha(0.6f * l.s);
  t->DrawRect(0, 0, l.width, height);
  t->SetAlpha(0.9f * l.s);
  t->DrawRect(l.width - 8, 0, 8, height);
  t->SetColor(1, 1, 1);
  t->DrawRect(0, height, l.width, 2);
  // The thumb covers the visible share of the shown lines; scroll 0 sits at the bottom.
  float thumb = shown > l.visible && shown > 0 ? height * (float)l.visible / (float)shown : height;
  if (thumb < 8) thumb = 8;
  int32_t max_scroll = shown > l.visible ? shown - l.visible : 0;
  float top = max_scroll ? (height - thumb) * (1.0f - (float)zy::console.scroll / (float)max_scroll)
                         : height - thumb;
  t->SetColor(0.5f, 0.6f, 0.9f);
  t->DrawRect(l.width - 7, top, 7, thumb);
}

void DrawInputLine(ZY_EngineInterface *t, ZY_Font *font, const Layout &l) {
  ZyLog &log = zy::log;
  float y = l.panel * l.s - l.line - 1;
  t->SetColor(1, 1, 1);
  t->SetAlpha(0.75f * l.s);
  t->DrawRect(0, y - 2, l.width - 8, 1);
  t->SetAlpha(l.s);
  t->SetTextTransform(1, 1, 0);
  if (font) t->DrawText(font, 10, y, "%s", log.input);
  char before[ZYI_CONSOLE_INPUT_CHARS + 1];
  int32_t caret = log.caret < 0 ? 0 : log.caret;
  snprintf(before, sizeof before, "%.*s", caret, log.input);
  float x = 10 + (font ? t->GetTextWidth(font, "%s", before) : 0);
  t->SetAlpha((1.0f - zy::console.blink) * l.s);
  t->DrawRect(x, y + 1, 2, l.line - 3);
}

void DrawHistory(ZY_EngineInterface *t, ZY_Font *font, const Layout &l, const char *filter) {
  static char tagged[ZYI_LOG_BUFFER_SIZE * 2];  // main thread only, PRINT held
  int32_t skip = zy::console.scroll;
  float y = l.area - l.line;  // the newest shown line sits at the bottom of the area
  for (int32_t i = ZYI_LogHistoryCount() - 1; i >= 0 && y >= 0; i--) {
    const ZyLogRecord *r = ZYI_LogHistoryRecord(i);
    if (!Shown(r, filter)) continue;
    if (skip > 0) {
      skip--;
      continue;
    }
    LevelColour(t, r->level);
    t->SetAlpha(l.s);
    t->SetTextTransform(0.9f, 0.9f, 0);
    t->DrawText(font, 10, y, "#%.4d: ", r->line_number);
    t->DrawText(font, 60, y, "[%.2d:%.2d]", r->date_time[3], r->date_time[4]);
    float name_width = t->DrawText(font, 110, y, "[%s]> ", r->thread_name ? r->thread_name : "");
    t->SetTextTransform(1, 1, 0);
    t->DrawText(font, 110 + name_width * 0.9f + 10, y, "%s",
                Highlight(r->text, filter, tagged, sizeof tagged));
    y -= l.line;
  }
}

}  // namespace

void ZYI_ConsoleDraw(void) {
  ZyLog &log = zy::log;
  ZY_EngineInterface *t = ZYI_EngineInterface();
  if (!ZYI_LogStarted() || log.slide <= 0 || !t || !t->DrawRect || !t->DrawText) return;
  ZY_Font *font = ZYI_ConsoleFont();
  ZyConsoleTextScope text_settings;
  Layout l;
  l.s = sinf(log.slide * 3.14159265f / 2);
  l.width = (float)zy::core.applied_parms.width;
  l.panel = truncf((float)zy::core.applied_parms.height * 0.8f);
  l.line = ZYI_ConsoleLineHeight(font);
  l.area = truncf((l.panel - l.line - 2) * l.s);
  l.visible = (int32_t)(l.area / l.line);

  ZYI_Lock(ZYI_LOCK_PRINT);
  int32_t shown = 0;
  for (int32_t i = 0, n = ZYI_LogHistoryCount(); i < n; i++)
    if (Shown(ZYI_LogHistoryRecord(i), log.input)) shown++;
  int32_t max_scroll = shown > l.visible ? shown - l.visible : 0;
  FollowMouse(t, l, max_scroll);
  int32_t &scroll = zy::console.scroll;
  if (scroll > max_scroll) scroll = max_scroll;
  if (scroll < 0) scroll = 0;

  DrawPanel(t, l, shown);
  DrawInputLine(t, font, l);
  if (font) DrawHistory(t, font, l, log.input);
  ZYI_Unlock(ZYI_LOCK_PRINT);
  t->SetColor(1, 1, 1);
  t->SetAlpha(1);
}
