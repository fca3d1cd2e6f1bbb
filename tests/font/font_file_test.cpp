// Font files: version-6 round trips in both pixel orders, the five older layouts, and
// damaged files, which must fail without reading past their end (the ASan run watches).
#include "font_test.h"

using namespace fonttest;

namespace {

struct Orders { bool write_bgra, read_bgra; };
class FontRoundTrip : public ::testing::TestWithParam<Orders> {
  void TearDown() override { ZYI_SetImagePixelOrder(false); }
};

// Everything a file holds survives; the file keeps R, G, B, A whatever order wrote it.
TEST_P(FontRoundTrip, KeepsMetricsGlyphsKerningAndPictures) {
  ZY_Font out, in;
  Build(&out, true);
  ZYI_FontSetGlyphCount(&out, 300);  // more than 256: the reader must replace the array
  for (int i = 0; i < 300; i++) {
    ZyGlyph &g = out.glyphs[i];
    g.code = 0x4E00 + i, g.x_offset = (int16_t)(i - 7), g.y_offset = (int16_t)-i, g.advance = (int16_t)(i * 3);
    if (i % 3 == 0) Box(g, 1 + i % 4, 2, (uint8_t)i);
    if (i % 5 == 0) ZYI_GlyphEnsureKerning(&out, &g), g.kern[i] = (int8_t)-i;
  }
  out.glyphs[1].picture.height = 5;  // 0 x 5: written without pixels, read without a picture
  ZYI_SetImagePixelOrder(GetParam().write_bgra);
  std::string bytes = Encode(&out);
  ZYI_SetImagePixelOrder(GetParam().read_bgra);
  Build(&in, false);
  ZyGlyph *reused;
  int32_t version = 0;
  ASSERT_EQ(ZYI_ReadFontBytes(&in, (const uint8_t *)bytes.data(), bytes.size(), &version), ZYI_FONT_READ_OK);
  EXPECT_EQ(version * 10000 + in.utf8 * 1000 + in.baseline * 100 + in.height * 10 + in.line_height, 61690);
  ASSERT_EQ(in.glyph_count, 300);
  bool swapped = GetParam().write_bgra != GetParam().read_bgra;
  for (int i = 0; i < 300; i++) {
    const ZyGlyph &a = out.glyphs[i], &b = in.glyphs[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(b.code, a.code);
    EXPECT_EQ(b.x_offset * 100000 + b.y_offset * 1000 + b.advance, a.x_offset * 100000 + a.y_offset * 1000 + a.advance);
    EXPECT_EQ(b.kern != nullptr, a.kern != nullptr);
    if (a.kern) {
      EXPECT_EQ(memcmp(a.kern, b.kern, 300), 0);
    }
    EXPECT_EQ(b.picture.pixels != nullptr, a.picture.pixels != nullptr);
    if (!a.picture.pixels) continue;
    ASSERT_EQ(b.picture.width * 100 + b.picture.height, a.picture.width * 100 + a.picture.height);
    uint32_t p = a.picture.pixels[0], want = swapped ? (p & 0xFF00FF00u) | (p >> 16 & 0xFF) | (p & 0xFF) << 16 : p;
    EXPECT_EQ(b.picture.pixels[0], want);
  }
  ZYI_FontFreeData(&out), Build(&out, false);  // 256 glyphs into a 256-glyph font: the array is kept
  bytes = Encode(&out);
  ZYI_FontSetGlyphCount(&in, 256), reused = in.glyphs;
  ASSERT_EQ(ZYI_ReadFontBytes(&in, (const uint8_t *)bytes.data(), bytes.size(), nullptr), ZYI_FONT_READ_OK);
  EXPECT_EQ(in.glyphs, reused);
  EXPECT_EQ(in.glyphs['A'].kern['V'] * 10 + in.utf8, -20);
  ZYI_FontFreeData(&out), ZYI_FontFreeData(&in);
}
INSTANTIATE_TEST_SUITE_P(PixelOrders, FontRoundTrip,
                         ::testing::Values(Orders{false, false}, Orders{true, true}, Orders{false, true}, Orders{true, false}));

// A file of an older version: glyph i is 2 x 1 with pixel bytes 10, 20, 30, 40, y offset
// i, x offset 3, advance 7 and a kerning entry of -1 where the version has those fields.
std::string OldFile(int version, const char *encoding) {
  std::string f = std::string("ZIZ_Font_v") + char('0' + version) + '\0' + encoding + '\0';
  auto i16 = [&](int v) { f += (char)(v & 0xFF), f += (char)(v >> 8 & 0xFF); };
  for (int v : {6, 8, 10}) i16(v), i16(0);
  f += std::string(256, 'x');
  for (int g = 0; g < 256; g++) {
    i16(g);
    if (version >= 2) i16(3);
    i16(99);
    if (version >= 4) f += std::string(256, '\xff');
    i16(2), i16(1);
    if (version >= 3) i16(7);
    f += std::string("\x0a\x14\x1e\x28\x0a\x14\x1e\x28", 8);
  }
  return f;
}

TEST(FontOldVersions, ReadWithTheFieldsAndPixelOrderOfTheirVersion) {
  for (int v = 1; v <= 5; v++) {
    SCOPED_TRACE(v);
    ZY_Font f;
    memset(&f, 0, sizeof f);
    std::string bytes = OldFile(v, v == 3 ? "utf-8" : "LATIN-1");  // lower case is not UTF-8
    int32_t version = 0;
    ASSERT_EQ(ZYI_ReadFontBytes(&f, (const uint8_t *)bytes.data(), bytes.size(), &version), ZYI_FONT_READ_OK);
    EXPECT_EQ(version * 10 + f.utf8, v * 10);
    ASSERT_EQ(f.glyph_count, 256);
    const ZyGlyph &g = f.glyphs[200];
    EXPECT_EQ(g.y_offset, 200);
    EXPECT_EQ(g.x_offset, v >= 2 ? 3 : 0);
    EXPECT_EQ(g.advance, v >= 3 ? 7 : 3);
    ASSERT_TRUE(g.kern);
    EXPECT_EQ(g.kern[17], v >= 4 ? -1 : 0);
    const uint8_t *px = (const uint8_t *)g.picture.pixels;
    EXPECT_EQ(px[0], v >= 5 ? 10 : 30);  // versions before 5 stored B, G, R, A
    ZYI_FontFreeData(&f);
  }
}

// Every shortened copy of a good file fails as truncated; hostile counts are refused
// before anything is allocated for them.
TEST(FontDamagedFiles, FailCleanlyWithoutReadingPastTheEnd) {
  ZY_Font src, f;
  Build(&src, false);
  memset(&f, 0, sizeof f);
  for (const std::string &good : {Encode(&src), OldFile(4, "LATIN-1")}) {
    for (size_t n = 12; n < good.size(); n += 1 + n / 64) {
      std::vector<uint8_t> cut(good.begin(), good.begin() + n);  // exactly n bytes on the heap
      ASSERT_EQ(ZYI_ReadFontBytes(&f, cut.data(), n, nullptr), ZYI_FONT_READ_TRUNCATED) << n;
    }
  }
  std::string huge = Encode(&src);
  memcpy(&huge[12 + 8 + 12], "\xff\xff\xff\x7f", 4);  // glyph count 2^31 - 1
  EXPECT_EQ(ZYI_ReadFontBytes(&f, (const uint8_t *)huge.data(), huge.size(), nullptr), ZYI_FONT_READ_TRUNCATED);
  memcpy(&huge[12 + 8 + 12], "\xfe\xff\xff\xff", 4);  // -2
  EXPECT_EQ(ZYI_ReadFontBytes(&f, (const uint8_t *)huge.data(), huge.size(), nullptr), ZYI_FONT_READ_BAD_VALUE);
  for (const char *bad : {"ZIZ_Font_v7\0", "ZIZ_Font_v", "XIZ_Font_v6\0LATIN-1"})
    EXPECT_EQ(ZYI_ReadFontBytes(&f, (const uint8_t *)bad, strlen(bad) + 1, nullptr), ZYI_FONT_READ_BAD_HEADER);
  ZYI_FontFreeData(&src), ZYI_FontFreeData(&f);
}

}  // namespace
