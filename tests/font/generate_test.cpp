// generate_test.cpp — fonts generated from bitmap sheets and TrueType faces: the glyphs,
// offsets, advances, colours, kerning and metrics they get, and the failures reported.
#include <string.h>

#include "base/state.h"
#include "config/didodoz.h"
#include "font/fonts.h"
#include "font/generate.h"
#include "fs/fs.h"
#include "image/image_loader.h"
#include "zytest.h"

static const char *kSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

class FontGen : public ZyTest {
 protected:
  ZY_Font font = {};
  void SetUp() override {
    zytest::StartCore(world);
    zy::core.table_built = 1;  // the source is read through the file system
    ZY_AddSearchPath("res://", true);
    ASSERT_TRUE(ZYI_InitImageLoader());
  }
  void TearDown() override {
    ZYI_FontFreeData(&font);
    free(font.name);
    zytest::StopCore();
    zy::core.table_built = 0;
  }
  void Put(const std::string &rel, const std::string &data) {
    zytest::MakeDirs(world.game() + "/fonts");
    zytest::WriteFile(world.game() + "/" + rel, data);
  }
  // Writes fonts/f.mft.xml with the arrays given and generates fonts/f.mft.
  bool Generate(const std::string &arrays) {
    Put("fonts/f.mft.xml", "<?xml version=\"1.0\"?><font>" + arrays + "</font>");
    font.name = strdup("fonts/f.mft");
    return ZYI_FontSetGlyphCount(&font, 256) && ZYI_GenerateFontFromSource(&font, 1.0f);
  }
  const ZyGlyph &G(int code) { return font.glyphs[code]; }
  uint8_t Alpha(int code, int x, int y) { return ((uint8_t *)G(code).picture.pixels)[(y * G(code).picture.width + x) * 4 + 3]; }
};

// A sheet of 40 x 9: "!" a red bar, '"' two green ticks (span 2), "L" and "T" in blue,
// and optionally one block no definition claims.
static std::string Sheet(bool extra_block) {
  zytest::Image img(40, 9);
  auto ink = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t *p = img.At(x, y);
    p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
  };
  for (int y = 1; y < 7; y++) ink(1, y, 255, 0, 0);
  for (int y = 1; y < 3; y++) ink(4, y, 0, 255, 0), ink(6, y, 0, 255, 0);
  for (int y = 2; y < 7; y++) ink(10, y, 0, 0, 255);       // L: a post and a foot
  for (int x = 11; x < 15; x++) ink(x, 6, 0, 0, 255);
  for (int x = 18; x < 23; x++) ink(x, 2, 0, 0, 255);      // T: a bar and a post
  for (int y = 3; y < 7; y++) ink(20, y, 0, 0, 255);
  if (extra_block) ink(30, 4, 9, 9, 9);
  return zytest::PngBytes(img);
}

static const char *kSheetGlyphs =
    "<array id=\"glyphs\"><node id=\"33\"/><node id=\"34\" span=\"2\"/><node id=\"32\" span=\"0\" spacing=\"3\"/>"
    "<node id=\"76\"/><node id=\"84\"/></array>";

TEST_F(FontGen, SheetGlyphsGetTheirPicturesOffsetsAdvancesColoursAndKerning) {
  Put("fonts/sheet.png", Sheet(true));
  ASSERT_TRUE(Generate(std::string("<array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/>"
                                   "<node id=\"SPACING\" value=\"1\"/><node id=\"LINE_PADDING_OFFSET\" value=\"3\"/></array>") +
                       kSheetGlyphs));
  EXPECT_FALSE(font.utf8);
  EXPECT_EQ(G('!').picture.width, 1); EXPECT_EQ(G('!').picture.height, 6); EXPECT_EQ(G('!').y_offset, 0);
  EXPECT_EQ(G('!').advance, 2);
  EXPECT_EQ(G('"').picture.width, 3); EXPECT_EQ(G('"').picture.height, 2);
  EXPECT_EQ(G(' ').advance, 4); EXPECT_EQ(G(' ').picture.pixels, nullptr);
  EXPECT_EQ(G('L').y_offset, 1); EXPECT_EQ(G('T').y_offset, 1);
  // The gap between the ticks takes their colour but stays transparent.
  const uint8_t *gap = (const uint8_t *)G('"').picture.pixels + 4;
  EXPECT_EQ(gap[1], 255); EXPECT_EQ(gap[3], 0);
  // "LT": the T's bar may slide over the L's foot row by 2; the space never kerns.
  EXPECT_EQ(G('T').kern['L'], -2); EXPECT_EQ(G('L').kern['T'], 0); EXPECT_EQ(G('T').kern[' '], 0);
  EXPECT_EQ(font.height, 6); EXPECT_EQ(font.baseline, 4); EXPECT_EQ(font.line_height, 9);
  EXPECT_EQ(zytest::LoggedCount("has 1 unused pixel blocks"), 1);
}

TEST_F(FontGen, TheSheetDrawnAtTheOutputScaleIsChosen) {
  zytest::Image half(20, 5);
  for (int y = 0; y < 4; y++) half.At(2, y)[3] = 255;
  Put("fonts/half.png", zytest::PngBytes(half));
  Put("fonts/full.png", Sheet(false));
  ASSERT_TRUE(Generate(
      "<array id=\"settings\"><node id=\"INPUT\" bitmap=\"full.png\"/><node id=\"INPUT@0.5x\" bitmap=\"half.png\"/>"
      "<node id=\"OUTPUT\" scale=\"1/2\"/></array><array id=\"glyphs\"><node id=\"65\"/></array>"));
  EXPECT_EQ(zytest::LoggedCount("Selecting bitmap input 'INPUT@0.5x' for scale 0.50x"), 1);
  EXPECT_EQ(zytest::LoggedCount("Adjusted scale with INPUT@0.5x is 1."), 1);
  EXPECT_EQ(G('A').picture.height, 4);
}

TEST_F(FontGen, BadSourcesFailWithTheirReason) {
  Put("fonts/sheet.png", Sheet(false));
  const struct {
    std::string arrays, message;
  } rows[] = {
      {"", "Database not found or doesn't contain any arrays."},
      {"<array id=\"other\"><node id=\"a\"/></array>", "Array 'settings' is missing"},
      {"<array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/></array>", "Array 'glyphs' is missing"},
      {"<array id=\"settings\"><node id=\"INPUT\" bitmap=\"gone.png\"/></array>", "Make sure the file 'fonts/gone.png' exist"},
      {"<array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/></array><array id=\"glyphs\">"
       "<node id=\"33\"/><node id=\"34\" span=\"2\"/><node id=\"76\"/><node id=\"84\"/><node id=\"65\"/><node id=\"66\"/></array>",
       "Sanity check failed for glyph (4/6)"},
      {"<array id=\"settings\"><node id=\"INPUT\" ttf=\"/nonexistent.ttf\"/></array>", "FT_New_Face error"},
      {"<array id=\"settings\"><node id=\"INPUT\" ttf=\"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf\" size_px=\"0\"/></array>",
       "pixel size 0 is invalid"},
  };
  for (auto &row : rows) {
    ZYI_DidodozFree();
    free(font.name);
    EXPECT_FALSE(Generate(row.arrays)) << row.message;
    EXPECT_EQ(zytest::LoggedCount(row.message), 1) << row.message;
  }
  ZYI_DidodozFree();
  free(font.name);
  Generate(std::string("<array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/><node id=\"OUTPUT\" scale=\"20\"/></array>") +
           kSheetGlyphs);
  EXPECT_EQ(zytest::LoggedCount("scale factor 20 for font fonts/f.mft.xml is invalid"), 1);
  EXPECT_EQ(G('!').picture.height, 6);  // generated at scale 1 instead
}

TEST_F(FontGen, TrueTypeLatinFontHasMetricsAndKernsAVButNotADisabledT) {
  ASSERT_TRUE(Generate(std::string("<array id=\"settings\"><node id=\"INPUT\" ttf=\"") + kSans +
                       "\" size_px=\"20\"/><node id=\"84\" tags=\"X, DISABLE_AUTOKERN\"/></array>"));
  EXPECT_FALSE(font.utf8);
  EXPECT_EQ(G(' ').advance, 8);
  EXPECT_EQ(G('H').advance, G('H').picture.width + 1);
  EXPECT_GT(G('x').y_offset, G('X').y_offset);  // both sit on the baseline, x is shorter
  EXPECT_EQ(G('X').y_offset + G('X').picture.height, G('x').y_offset + G('x').picture.height);
  EXPECT_GE(font.height, G('X').picture.height);
  EXPECT_EQ(font.baseline, font.height - 2);
  EXPECT_LT(G('V').kern['A'], 0);
  EXPECT_LT(G('V').kern['A'], G('H').kern['H'] - 1);  // straight stems stay (nearly) apart
  EXPECT_LT(G('o').kern['V'], -1);
  for (int i = 0; i < 256; i++) ASSERT_EQ(G('T').kern[i] | G(i).kern['T'], 0) << i;
  EXPECT_EQ(G('\n').picture.pixels, nullptr);  // no "missing" box for control characters
  const uint8_t *px = (const uint8_t *)G('H').picture.pixels;
  EXPECT_EQ(px[0] & px[1] & px[2], 255);
  int faint = 0;  // alpha up to 4 is dropped: it would only be noise for kerning and filtering
  for (int g = 0; g < 256; g++)
    for (int i = 0; i < G(g).picture.width * G(g).picture.height; i++) faint += Alpha(g, i, 0) > 0 && Alpha(g, i, 0) <= 4;
  EXPECT_EQ(faint, 0);
}

TEST_F(FontGen, StringsMakeAUtf8FontOfTheCharactersUsed) {
  Put("fonts/strings.xml", "<?xml version=\"1.0\"?><s><array id=\"STRINGS\"><node id=\"HELLO\" to=\"\xe4\xbd\xa0\xe5\xa5\xbd \xf0\x9f\x98\x80\"/>"
                           "<node to=\"x\"/></array></s>");
  ASSERT_TRUE(Generate("<array id=\"settings\"><node id=\"INPUT\" ttf=\"/usr/share/fonts/truetype/wqy/wqy-microhei.ttc\" "
                       "strings=\"strings.xml\" size_px=\"16\"/><node id=\"SPACING\" value=\"2\"/></array>"
                       "<array id=\"additional_utf_characters\"><node id=\"\xc3\xa9\"/></array>"));
  EXPECT_TRUE(font.utf8);
  EXPECT_EQ(font.glyph_count, 62 + 19 + 2 + 1 + 1);  // always-set, 你好, space, é
  for (int i = 1; i < font.glyph_count; i++) ASSERT_LT(font.glyphs[i - 1].code, font.glyphs[i].code);
  const ZyGlyph *ni = ZYI_FontFindGlyph(&font, 0x4F60);
  ASSERT_NE(ni, nullptr);
  EXPECT_GT(ni->picture.width, 8);
  EXPECT_EQ(ni->advance, ni->picture.width + 1 + 2);  // SPACING added, no kerning rows
  EXPECT_EQ(ni->kern, nullptr);
  EXPECT_EQ(zytest::LoggedCount("UTF32 128512 out of range"), 1);
  EXPECT_EQ(zytest::LoggedCount("doesn't contain nodes with id and to parameters"), 1);
}

TEST_F(FontGen, TheCacheGeneratesAMissingFontSavesItAndReadsItBack) {
  Put("fonts/sheet.png", Sheet(false));
  Put("fonts/f.mft.xml", std::string("<?xml version=\"1.0\"?><font><array id=\"settings\"><node id=\"INPUT\" bitmap=\"sheet.png\"/>"
                                     "</array>") + kSheetGlyphs + "</font>");
  ZY_Font *got = ZY_GetFont("fonts/f.mft");
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->height, 6);
  EXPECT_EQ(got->glyphs['T'].kern['L'], -2);  // the kerning survived the file
  EXPECT_EQ(zytest::ReadFile(world.game() + "/fonts/f.mft").substr(0, 11), "ZIZ_Font_v6");
  EXPECT_EQ(zytest::LoggedCount("Attempting to generate font from source 'fonts/f.mft.xml'"), 1);
  ZYI_FontsFree();
}

TEST_F(FontGen, KerningBeyondASignedByteIsClampedNotWrapped) {
  // "L" and a mirrored, upside-down "L", 130 pixels wide: they could slide 129 pixels
  // together, more than a kerning entry holds.
  zytest::Image img(270, 3);
  for (int x = 0; x < 130; x++) img.At(x, 2)[3] = img.At(140 + x, 0)[3] = 255;
  for (int y = 0; y < 3; y++) img.At(0, y)[3] = img.At(269, y)[3] = 255;
  Put("fonts/wide.png", zytest::PngBytes(img));
  ASSERT_TRUE(Generate("<array id=\"settings\"><node id=\"INPUT\" bitmap=\"wide.png\"/></array>"
                       "<array id=\"glyphs\"><node id=\"65\"/><node id=\"66\"/></array>"));
  EXPECT_EQ(G('B').kern['A'], -120);
  EXPECT_EQ(zytest::LoggedCount("for chars #65 and #66 has too large padding (-129)"), 1);
}
