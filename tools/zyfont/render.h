// render.h — `zyfont render`: a text drawn with a font by the engine's text drawing,
// through the software renderer module, into a PNG.
#pragma once

#include "font/font.h"

// Lays out and draws `text` (with its inline tags) in white on black with the font's
// atlas, wrapping at `wrap_width` when it is positive, on a canvas just large enough,
// and writes the frame to `out_png`. False with a message on stderr.
bool RenderText(ZY_Font *font, const char *text, float wrap_width, const char *out_png);
