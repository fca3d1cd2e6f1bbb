// generate_progress.h — a progress report for long font generation runs.
//
// Rasterising a large glyph set (a CJK font has thousands of glyphs) takes seconds;
// tools such as zyfont show how far it got. The engine itself installs no reporter.
#pragma once

#include <stdint.h>

// Called on the generating thread after each glyph of a run of many glyphs.
typedef void (*ZyFontProgress)(int32_t done, int32_t total);

// Installs the reporter (null removes it) and returns the previous one.
ZyFontProgress ZYI_SetFontProgress(ZyFontProgress reporter);
// Reports one step to the installed reporter, if any.
void ZYI_FontProgress(int32_t done, int32_t total);
