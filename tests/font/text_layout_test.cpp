// Text layout measured in-process: glyph advances, kerning, tags, wrapping, newlines and
// scaling in a LATIN-1 font; decoding, CJK breaking and glyph lookup in a UTF-8 font.
#include <random>

#include "font_test.h"

using namespace fonttest;

namespace {

// Advances of the LATIN-1 test font: A 6, B 4, V 6, a 5, b 6, c 4, d 5, | 2, space 3.
struct Case { const char *text; float max_width, scale_x; float width, height; };
const Case CASES[] = {
    {"A||B", 0, 1, 12, 10},                  // "||" is one bar glyph
    {"VA", 0, 1, 10, 10},                    // A after V kerned by -2
    {"a|ff0000|b|#00ff0080|c", 0, 1, 15, 10},  // colour tags take no width
    {"ab cd", 64000, 1, 23, 10},             // 11 + space 3 + 9: one line
    {"ab cd", 12, 1, 11, 20},                 // wider than "ab", narrower than both words
    {"ab cd ab", 0, 1, 11, 30},               // width 0 wraps at every word
    {"a\n\nb", 64000, 1, 6, 30},             // two newlines: an empty line between
    {"ab|scale=2|ab", 64000, 1, 33, 10},     // the scaled word takes twice its width
    {"ab cd", 24, 2, 11, 20},                // drawn twice as wide: wraps as drawn
    {"a|zz", 0, 1, 5, 10},                   // an unclosed tag runs to the end
    {"", 0, 1, 0, 0},
};

class TextMeasure : public FontTest, public ::testing::WithParamInterface<Case> {};

TEST_P(TextMeasure, MeasuresAsDrawn) {
  ZY_Font *f = &zy::fonts.table[0];
  Build(f, false), f->name = strdup("latin"), zy::fonts.count = 1;
  const Case &c = GetParam();
  zy::fonts.text_max_width = c.max_width, ZY_SetTextTransform(c.scale_x, 1, 0);
  float w = -1, h = -1;
  ZY_GetTextSize(f, &w, &h, "%s", c.text);
  EXPECT_EQ(w, c.width * c.scale_x) << c.text;
  EXPECT_EQ(h, c.height) << c.text;
}
INSTANTIATE_TEST_SUITE_P(Latin1, TextMeasure, ::testing::ValuesIn(CASES));

class TextUtf8 : public FontTest {
 protected:
  ZY_Font *f = nullptr;
  void SetUp() override {
    FontTest::SetUp();
    f = &zy::fonts.table[0];
    Build(f, true), f->name = strdup("cjk"), zy::fonts.count = 1;
  }
};

// Breaks between any two ideographs at the wrap width, but never before U+3002; a
// sequence cut off by the end of the text is dropped, not read past.
TEST_F(TextUtf8, WrapsBetweenIdeographsNeverBeforeTheFullStop) {
  const char *text = "\xe4\xb8\xad\xe5\x9b\xbd\xe4\xba\xba\xe5\xa4\xa7\xe3\x80\x82\xe4\xba\x8c\xe4\xb8\xad";
  ZyTextRun run;
  ASSERT_TRUE(ZYI_TextRunOpen(&run, f, text));
  ZyTextLines lines;
  ZYI_TextBreakLines(f, &run, 40, &lines);
  ASSERT_EQ(lines.count, 2);
  EXPECT_EQ(lines.end[0] - lines.start[0], 5);  // four fit, and the stop may not start a line
  EXPECT_EQ(run.Unit(lines.start[1]), 0x4E8C);
  EXPECT_EQ(lines.width[0], 45);
  ZYI_TextRunClose(&run), ZY_SetTextMaxWidth(64000);
  char *heap = strdup("\xe4\xb8\xad\xe4\xb8");  // the second ideograph lacks its last byte
  EXPECT_EQ(ZY_GetTextWidth(f, "%s", heap), 9);
  free(heap);
  EXPECT_EQ(ZY_GetTextWidth(f, "A"), 0);
  EXPECT_EQ(zytest::LoggedCount("Font 'cjk' Missing unicode 65 (0x41) ('A')"), 1);
}

// The index finds the glyph a search in glyph order would, duplicates and misses included.
TEST_F(TextUtf8, GlyphLookupMatchesASearchInGlyphOrder) {
  std::mt19937 rng(7);
  ZYI_FontSetGlyphCount(f, 3000);
  for (int i = 0; i < 3000; i++) f->glyphs[i].code = (int32_t)(rng() % 4000);
  ZYI_FontBuildIndex(f);
  for (int32_t code = -1; code < 4001; code++) {
    const ZyGlyph *want = nullptr;
    for (int i = 0; i < 3000 && !want; i++)
      if (f->glyphs[i].code == code) want = &f->glyphs[i];
    ASSERT_EQ(ZYI_FontFindGlyph(f, code), want) << code;
  }
}

}  // namespace
