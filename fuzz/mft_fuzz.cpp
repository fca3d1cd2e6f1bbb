// mft_fuzz.cpp — libFuzzer target: the font file reader over arbitrary files.
//
// Each input is read as a font file into a font holding 256 glyphs (as the font cache
// makes them). A file that reads is written again as version 6 and read back: the
// second read must succeed and give the same glyph count and metrics.
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "base/state.h"
#include "font/font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size > (1u << 20)) return 0;
  zy::log.verbose_level = 8;  // every line and popup is dropped before formatting
  ZY_Font font, again;
  memset(&font, 0, sizeof font);
  memset(&again, 0, sizeof again);
  ZYI_FontSetGlyphCount(&font, ZYI_FONT_DEFAULT_GLYPHS);
  if (ZYI_ReadFontBytes(&font, data, size, nullptr) == ZYI_FONT_READ_OK) {
    uint8_t *bytes = nullptr;
    size_t n = 0;
    if (ZYI_EncodeFont(&font, &bytes, &n)) {
      if (ZYI_ReadFontBytes(&again, bytes, n, nullptr) != ZYI_FONT_READ_OK ||
          again.glyph_count != font.glyph_count || again.height != font.height ||
          again.utf8 != font.utf8)
        abort();
      free(bytes);
    }
  }
  ZYI_FontFreeData(&font);
  ZYI_FontFreeData(&again);
  return 0;
}
