// The font table: counting by ZY_GetFont and ZY_LoadFont, placeholders, hibernation,
// the 32-slot limit, messages of failed loads and saving, and the shut-down report.
#include <unistd.h>

#include "config/config.h"
#include "config/didodoz.h"
#include "font_test.h"

using namespace fonttest;

namespace {

class FontCache : public FontTest {
 protected:
  std::string WriteFontFile(const std::string &name, bool utf8) {
    fonttest::WriteFontFile(world.game() + "/" + name, utf8);
    return "res://" + name;
  }
};

TEST_F(FontCache, CountsGetFontOnceLoadFontEveryTimeAndPlaceholdersNever) {
  std::string name = WriteFontFile("a.mft", false);
  ZY_Font *a = ZY_GetFont(name.c_str());
  ASSERT_TRUE(a);
  EXPECT_EQ(ZY_GetFont(name.c_str()), a);
  EXPECT_EQ(a->ref_count * 100 + a->height * 10 + ZYI_FontFindGlyph(a, 'A')->kern['V'], 100 + 80 - 2);
  std::string loaded = WriteFontFile("b.mft", false);
  ZY_Font *b = ZY_LoadFont(loaded.c_str());
  EXPECT_EQ(ZY_LoadFont(loaded.c_str()), b);
  EXPECT_EQ(b->ref_count, 2);
  ZY_Font *none = ZY_LoadFont("!NONE");
  EXPECT_EQ(ZY_LoadFont("!NONE"), none);
  EXPECT_EQ(none->ref_count * 10 + none->height, 10);
  EXPECT_EQ(ZY_DrawText(none, 0, 0, "abc"), 0.0f);
  EXPECT_EQ(zytest::LoggedCount("Unable to load font"), 0);
}

// Released to 0 the font stays in its slot, loaded: the next request finds it even with
// its file gone. Without reference counting a release frees the slot at once.
TEST_F(FontCache, HibernatesAtZeroAndIsFoundAgainWithoutItsFile) {
  std::string name = WriteFontFile("h.mft", true);
  ZY_Font *f = ZY_GetFont(name.c_str());
  ZY_ReleaseFont(f);
  EXPECT_EQ(zytest::LoggedCount("Releasing font '" + name + "' too many times"), 1);
  EXPECT_EQ(zytest::LoggedCount("Hibernating Font '" + name + "'.."), 1);
  unlink((world.game() + "/h.mft").c_str());
  EXPECT_EQ(ZY_GetFont(name.c_str()), f);
  EXPECT_EQ(f->ref_count * 100 + f->glyph_count, 10);
  ZY_ReleaseFont(f);
  EXPECT_EQ(zytest::LoggedCount("reference count less than zero") * 10 + f->ref_count, 10);
  ZYI_FontsSetReferenceCounting(false), ZY_ReleaseFont(f);
  EXPECT_EQ(zytest::LoggedCount("Releasing font '" + name + "'..."), 1);
  EXPECT_EQ(f->name, nullptr);
  ZY_ReleaseFont(nullptr);
  EXPECT_EQ(zytest::LoggedCount("Trying to release a null font."), 1);
}

TEST_F(FontCache, FailedLoadsAreReportedAndTheTableHoldsThirtyTwo) {
  zytest::WriteFile(world.game() + "/bad.mft", "ZIZ_Font_v9\0junk");
  ZY_Font *bad = ZY_LoadFont("res://bad.mft");
  ASSERT_TRUE(bad);  // a font that fails to load is still handed out, empty
  EXPECT_EQ(zytest::LoggedCount("Font 'res://bad.mft' has unknown or bad header ('ZIZ_Font_v9')"), 1);
  EXPECT_EQ(zytest::LoggedCount("Unable to load font 'res://bad.mft'."), 1);
  EXPECT_EQ(ZY_GetTextWidth(bad, "abc"), 0.0f);
  ZY_LoadFont("res://missing.mft");
  EXPECT_EQ(zytest::LoggedCount("(not found)"), 1);
  EXPECT_EQ(zytest::LoggedCount("failed: bad or unfound file"), 2);
  for (int i = 2; i < ZYI_MAX_FONTS; i++) ASSERT_TRUE(ZY_LoadFont(("!NONE" + std::to_string(i)).c_str()));
  EXPECT_EQ(ZY_LoadFont("!NONE-one-too-many"), nullptr);
  EXPECT_EQ(zytest::LoggedCount("Out of free fonts."), 1);
  ZYI_ReleaseLeakedFonts();
  EXPECT_EQ(zytest::LoggedCount("Reference count 1 at exit, releasing..."), ZYI_MAX_FONTS);
  EXPECT_TRUE(ZY_LoadFont("!NONE-now-there-is-room"));
}

// Saved through the file layer to user://, the font reads back the same; an unwritable
// place gives the failure popup.
TEST_F(FontCache, SavedFontReadsBackThroughTheCache) {
  ZY_Font *f = ZY_LoadFont(WriteFontFile("s.mft", true).c_str());
  ASSERT_TRUE(ZY_SaveFont(f, "user://saved.mft"));
  ZY_Font *back = ZY_LoadFont("user://saved.mft");
  ASSERT_NE(back, f);
  EXPECT_EQ(back->utf8, 1);
  EXPECT_EQ(ZYI_FontFindGlyph(back, 0x3002)->picture.width, 3);
  EXPECT_EQ(ZY_GetTextWidth(back, "\xe4\xb8\xad\xe5\x9b\xbd"), ZY_GetTextWidth(f, "\xe4\xb8\xad\xe5\x9b\xbd"));
  EXPECT_FALSE(ZY_SaveFont(f, "user://no/such/folder/x.mft"));
  EXPECT_EQ(zytest::LoggedCount("Failed to save font 'user://no/such/folder/x.mft'"), 1);
  EXPECT_FALSE(ZY_SaveFont(nullptr, "user://x.mft"));
}

// A configuration entry with h="16" shows the 8-pixel font twice as large; h below 2 is
// ignored.
TEST_F(FontCache, ConfiguredHeightScalesTheFont) {
  zytest::WriteFile(world.game() + "/m.xml", "<?xml version=\"1.0\"?><root><array id=\"A\"><node id=\"res://big.mft\" "
                                             "h=\"16\"/><node id=\"res://one.mft\" h=\"1\"/></array></root>");
  ZyDidodozFile *m = ZYI_DidodozGetFile((world.game() + "/m.xml").c_str());
  ZyConfig &c = zy::config;
  ASSERT_TRUE(m && ZYI_GrowList((void ***)&c.manifest_arrays, &c.manifest_capacity, 1));
  c.manifest_arrays[c.manifest_count++] = m->arrays[0];
  ZY_Font *big = ZY_LoadFont(WriteFontFile("big.mft", false).c_str());
  ZY_Font *one = ZY_LoadFont(WriteFontFile("one.mft", false).c_str());
  EXPECT_EQ(big->scale * 1000 + big->height * 10 + big->line_height, 2 * 1000 + 16 * 10 + 20);
  EXPECT_EQ(one->scale * 1000 + one->height * 10 + one->line_height, 1 * 1000 + 8 * 10 + 10);
  EXPECT_EQ(zytest::LoggedCount("(16px)"), 1);
  EXPECT_EQ(ZY_GetTextWidth(big, "ab"), 2 * ZY_GetTextWidth(one, "ab"));
  ZYI_ConfigFree();
}

}  // namespace
