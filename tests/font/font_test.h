// font_test.h — fonts the font tests build in memory: LATIN-1 boxes of varied sizes with
// one kerned pair, and a UTF-8 font of ideographs; plus the in-process engine they need.
#pragma once

#include <string>

#include "font/fonts.h"
#include "font/text_layout.h"
#include "image/image_loader.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/state.h"
#include "zytest.h"

namespace fonttest {

// Ideographs of the UTF-8 test font (U+3002 is a small box at the bottom).
const int32_t CJK[] = {0x4E2D, 0x56FD, 0x4EBA, 0x5927, 0x4E00, 0x4E8C, 0x4E09, 0x56DB, 0x3002, ' '};

// Gives glyph g a white box picture whose first pixel carries a code in its red byte.
inline void Box(ZyGlyph &g, int w, int h, uint8_t code) {
  ZYI_GlyphSetPicture(&g, w, h);
  for (int i = 0; i < w * h; i++) g.picture.pixels[i] = 0xFFFFFF00u | (uint32_t)(i == 0 ? code : 0xFF);
}

// LATIN-1: bytes 33..126 are boxes (3 to 5 wide, 4 to 7 high, bottoms on one line),
// space advances 3, "A" after "V" is kerned by -2. UTF-8: the ideographs, 8x8, advance 9.
inline void Build(ZY_Font *f, bool utf8) {
  memset(f, 0, sizeof *f);
  f->utf8 = utf8, f->scale = 1.0f, f->height = 8, f->baseline = 6, f->line_height = 10;
  if (!utf8) {
    ZYI_FontSetGlyphCount(f, 256);
    for (int b = 33; b < 127; b++) {
      ZyGlyph &g = f->glyphs[b];
      int w = b == '|' ? 1 : 3 + b % 3, h = b == '|' ? 8 : 4 + b % 4;
      Box(g, w, h, (uint8_t)b), g.y_offset = (int16_t)(8 - h), g.advance = (int16_t)(w + 1);
    }
    f->glyphs[' '].advance = 3;
    ZYI_GlyphEnsureKerning(f, &f->glyphs['A']);
    f->glyphs['A'].kern['V'] = -2;
    return;
  }
  ZYI_FontSetGlyphCount(f, (int32_t)(sizeof CJK / sizeof CJK[0]));
  for (int i = 0; i < f->glyph_count; i++) {
    ZyGlyph &g = f->glyphs[i];
    g.code = CJK[i], g.advance = CJK[i] == ' ' ? 3 : 9;
    if (CJK[i] == 0x3002) Box(g, 3, 3, 1), g.y_offset = 5;
    else if (CJK[i] != ' ') Box(g, 8, 8, (uint8_t)i);
  }
  ZYI_FontBuildIndex(f);
}

// The font as a version-6 file.
inline std::string Encode(ZY_Font *f) {
  uint8_t *data = nullptr;
  size_t size = 0;
  EXPECT_TRUE(ZYI_EncodeFont(f, &data, &size));
  std::string bytes((const char *)data, size);
  return free(data), bytes;
}
// Writes a test font to a native path.
inline void WriteFontFile(const std::string &path, bool utf8) {
  ZY_Font f;
  Build(&f, utf8), zytest::WriteFile(path, Encode(&f)), ZYI_FontFreeData(&f);
}

// The engine in-process with its interface table and the font defaults.
class FontTest : public ZyTest {
 protected:
  void SetUp() override {
    zytest::StartCore(world);
    ZYI_BuildEngineInterface();
    ZYI_FontsInit();
    ZYI_FontsSetReferenceCounting(true);
  }
  void TearDown() override { ZYI_FontsFree(), zytest::StopCore(); }
};

}  // namespace fonttest
