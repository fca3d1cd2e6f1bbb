// console_internal.h — helpers shared by the console's own files.
#pragma once

#include "console/console.h"
#include "font/fonts.h"

bool ZYI_TextListAppend(ZyTextList *list, const char *text);
void ZYI_TextListFree(ZyTextList *list);
// Whether text starts with prefix, ignoring case for A to Z.
bool ZYI_StartsWithFolded(const char *text, const char *prefix);
// Hands an event to the program through the lifecycle's delivery.
uint32_t ZYI_ConsoleDeliver(const ZY_InputEvent *ev);

// The program's text settings, put aside while the console and the diagnostics draw
// (unwrapped, unaligned, untransformed text) and given back afterwards.
class ZyConsoleTextScope {
 public:
  ZyConsoleTextScope() : saved_(zy::fonts) {
    zy::fonts.text_max_width = ZYI_TEXT_NO_WRAP;
    zy::fonts.text_flags = 0;
    zy::fonts.text_scale_x = zy::fonts.text_scale_y = 1.0f;
    zy::fonts.text_angle = 0;
  }
  ~ZyConsoleTextScope() {
    zy::fonts.text_max_width = saved_.text_max_width;
    zy::fonts.text_flags = saved_.text_flags;
    zy::fonts.text_scale_x = saved_.text_scale_x;
    zy::fonts.text_scale_y = saved_.text_scale_y;
    zy::fonts.text_angle = saved_.text_angle;
  }

 private:
  struct Saved {
    explicit Saved(const ZyFonts &f)
        : text_max_width(f.text_max_width), text_flags(f.text_flags), text_scale_x(f.text_scale_x),
          text_scale_y(f.text_scale_y), text_angle(f.text_angle) {}
    float text_max_width;
    uint32_t text_flags;
    float text_scale_x, text_scale_y, text_angle;
  } saved_;
};
