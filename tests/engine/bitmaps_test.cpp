// Bitmap resources on the main thread: counting, placeholders, limits, release, hibernation
// and the shut-down report; loading, manifests, cache modes; created bitmaps and refresh.
#include "engine_test.h"

class Bitmaps : public EngineTest {};

namespace {

const uint32_t RED = 0xFF0000FFu, GREEN = 0xFF00FF00u, BLUE = 0xFFFF0000u;  // bytes R, G, B, A
const char *const GOT_TOO_OFTEN =
    "Releasing bitmap 'a' too many times: ref counting will get messed up. NOTE: bitmap has "
    "been accessed using GetBitmap which increses ref count by 1 once.";

}  // namespace

TEST_F(Bitmaps, LoadBitmapCountsEveryRequestGetBitmapOnlyTheFirstAndModesOnlyRise) {
  WriteImage("a.png", 4, 4, RED);
  WriteImage("ui/b.png", 4, 4, GREEN);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_GPU), a);
  EXPECT_EQ(a->ref_count, 2);
  ZY_Bitmap *b = ZY_GetBitmap("/ui/b");  // a leading "/" is refused and skipped
  EXPECT_EQ(Popups("Bitmap '/ui/b' name path starting with '/'. Not allowed."), 1);
  EXPECT_EQ(ZY_GetBitmap("ui/b"), b);
  EXPECT_EQ(ZY_GetBitmapEx("ui/b", CACHE_GPU), b);
  EXPECT_NE(ZY_LoadBitmap("UI/b", CACHE_NOTHING), b);  // names compare exactly
  EXPECT_EQ(b->ref_count, 1);
  EXPECT_TRUE(b->cache_mode == CACHE_GPU && b->hw.on_gpu && !b->pixels);  // the default
  ZY_LoadBitmap("ui/b", CACHE_GPU);  // counts what ZY_GetBitmap got
  EXPECT_EQ(b->ref_count, 2);
  ZY_GetBitmapEx("a", CACHE_GPU);  // the first get of a loaded bitmap counts once more
  ZY_GetBitmapEx("a", CACHE_SYSMEM);
  ZY_GetBitmapEx("a", CACHE_GPU);
  EXPECT_EQ(a->ref_count, 3);
  EXPECT_TRUE(a->cache_mode == (CACHE_SYSMEM | CACHE_GPU) && a->pixels);  // read again
  EXPECT_EQ(BitmapCalls(), "load a, load ui/b");  // one upload each
}

TEST_F(Bitmaps, LookupsCacheNothingAndPlaceholdersNeitherCountNorLoad) {
  EXPECT_EQ(ZY_GetBitmapEx("a", CACHE_LOOKUP_ONLY), nullptr);
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_GetBitmapEx("a", CACHE_NOTHING);
  ZY_LoadBitmap("a", CACHE_NOTHING);
  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_LOOKUP_ONLY), a);
  EXPECT_TRUE(a->ref_count == 0 && a->state == ZY_BITMAP_STATE_WAITING);
  ZY_Bitmap *p = ZY_LoadBitmap("!marker", CACHE_GPU);
  EXPECT_EQ(ZY_GetBitmapEx("!marker", CACHE_GPU), p);
  ZY_ReleaseBitmap(p);
  EXPECT_TRUE(p->ref_count == 1 && p->name && p->cache_mode == CACHE_NOTHING);
  EXPECT_STREQ(ZY_LoadBitmap(nullptr, CACHE_GPU)->name, "!NONE");  // the null name
  EXPECT_TRUE(rec.bitmap_calls.empty());
  ZY_GetBitmap("a");  // a real request loads it
  EXPECT_TRUE(a->ref_count == 1 && a->state == ZY_BITMAP_STATE_READY && a->hw.on_gpu);
}

TEST_F(Bitmaps, CountsAreCappedAt4096AndThe769thBitmapFails) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = nullptr;
  for (int i = 0; i < 5000; i++) a = ZY_LoadBitmap("a", CACHE_GPU);
  for (int i = 0; i < 10; i++) ZY_CreateBitmap("a", 2, 2, ZY_BITMAP_PIXELS);  // the same cap
  EXPECT_EQ(a->ref_count, 4096);
  EXPECT_EQ(Popups("Bitmap 'a' reference count suspiciously high: capping at 4096."), 914);
  ZYI_BitmapsSetReferenceCounting(false);
  std::vector<ZY_Bitmap *> all;
  for (int i = 1; i < ZYI_MAX_BITMAPS; i++)
    all.push_back(ZY_LoadBitmap(("bm" + std::to_string(i)).c_str(), CACHE_NOTHING));
  EXPECT_EQ(std::count(all.begin(), all.end(), nullptr), 0);
  EXPECT_EQ(ZY_LoadBitmap("one-too-many", CACHE_NOTHING), nullptr);
  EXPECT_EQ(ZY_CreateBitmap("created-too-many", 2, 2, ZY_BITMAP_PIXELS), nullptr);
  EXPECT_EQ(Popups(" ! Zylem out of free bitmaps."), 2);
  ZY_ReleaseBitmap(all[100]);  // a freed record is used again
  EXPECT_EQ(ZY_LoadBitmap("one-too-many", CACHE_NOTHING), all[100]);
}

TEST_F(Bitmaps, ReleasingToZeroHibernatesAndTheNextRequestReloads) {
  SetFeatures("PRINT_REFERENCE_COUNT_CHANGES");
  WriteImage("a.png", 4, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  ZY_LoadBitmap("a", CACHE_GPU);
  ZY_ReleaseBitmap(a);
  EXPECT_TRUE(a->ref_count == 1 && a->hw.on_gpu);
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Logged("Hibernating bitmap 'a'.."), 1);
  EXPECT_TRUE(a->ref_count == 0 && a->name && a->cache_mode == CACHE_NOTHING && !a->pixels);
  EXPECT_TRUE(a->state == ZY_BITMAP_STATE_WAITING && !a->hw.on_gpu && rec.live.empty());
  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_GPU), a);
  EXPECT_TRUE(a->ref_count == 1 && a->state == ZY_BITMAP_STATE_READY && a->hw.on_gpu);
  EXPECT_TRUE(BitmapCalls() == "load a, free, load a" && rec.misuse == 0);
  ZY_GetBitmap("a");  // every count change was logged
  for (const char *line : {"'a' ref count = 1", "'a' ref count++: now 2",
                           "ReleaseBitmap: 'a' ref count--: now 0",
                           "'a' ref count++ (GetBitmap): now 2"})
    EXPECT_EQ(Logged(line), 1) << line;
}

TEST_F(Bitmaps, ReleasingAGotBitmapToZeroAndBelowGivesPopupsUnlessDisabled) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_GetBitmap("a");
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Popups(GOT_TOO_OFTEN), 1);
  EXPECT_EQ(a->cache_mode, CACHE_NOTHING);  // hibernated all the same
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Popups("Bitmap 'a' reference count less than zero."), 1);
  EXPECT_TRUE(a->ref_count == 0 && a->name);  // the record stays
  EXPECT_EQ(Logged("'a' ref count = 1"), 0);  // count changes are logged only when asked
  SetFeatures("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Popups("Bitmap 'a' reference count less than zero."), 1);
}

TEST_F(Bitmaps, WithoutReferenceCountingAndForRenderTargetsReleaseDestroys) {
  ZY_Bitmap *t = ZY_CreateBitmap("target", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ASSERT_TRUE(ZY_SetRenderTarget(t));
  ZY_ReleaseBitmap(t);  // the current one: reset first
  EXPECT_EQ(Popups("ZY_ReleaseBitmap: Releasing current render target bitmap 'target' is not "
                   "allowed. Please fix your application code to first set the render target "
                   "to NULL."), 1);
  EXPECT_TRUE(!ZYI_CurrentRenderTarget() && !t->name);  // it cannot be loaded again
  ZYI_BitmapsSetReferenceCounting(false);
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ZY_LoadBitmap("a", CACHE_GPU);
  ZY_ReleaseBitmap(a);
  ZY_ReleaseBitmap(a);  // a free record is ignored
  EXPECT_TRUE(!a->name && rec.live.empty() && Logged("Releasing bitmap 'a'..") == 1);
  ZY_Bitmap *b = ZY_LoadBitmap("b", CACHE_NOTHING);  // named but released: refused
  b->state = ZY_BITMAP_STATE_RELEASED;
  ZY_ReleaseBitmap(b);
  EXPECT_TRUE(Logged("Trying to release null bitmap.") == 1 && b->name);
}

TEST_F(Bitmaps, ShutDownReportsEveryReferencedBitmapOnceAndReleasesIt) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  ZY_GetBitmap("a");
  ZY_Bitmap *asleep = ZY_LoadBitmap("asleep", CACHE_NOTHING);
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  ZY_Bitmap *p = ZY_LoadBitmap("!placeholder", CACHE_GPU);
  ZYI_ReleaseLeakedBitmaps();
  EXPECT_EQ(Logged("Bitmap 'a' Reference count 2 at exit, releasing..."), 1);
  EXPECT_EQ(Logged("Bitmap 'canvas' Reference count 1 at exit, releasing..."), 1);
  EXPECT_EQ(Popups(GOT_TOO_OFTEN), 0);  // released from count 1, its got-once mark cleared
  EXPECT_TRUE(a->name && !a->pixels && !c->name && asleep->name && rec.live.empty());
  ZYI_BitmapsSetReferenceCounting(false);  // without counting every bitmap is destroyed
  ZYI_ReleaseLeakedBitmaps();
  EXPECT_TRUE(!a->name && !asleep->name && p->name);
  EXPECT_EQ(Logged("Bitmap 'asleep' Reference count 0 at exit, releasing..."), 0);
}

TEST_F(Bitmaps, ANameWithoutExtensionTakesTheFirstFileThatOpensOrIsReported) {
  for (const char *f : {"both.png", "both.jpg", "jpgonly.jpg", "tgaonly.tga", "dir.v2/pic.tga"})
    WriteImage(f, 2, 2, GREEN);
  zytest::WriteFile(world.game() + "/walk.bms", "ZY_Bm_Seq_v1");
  const struct {
    const char *name, *source;  // null: not loadable (yet)
  } cases[] = {{"both", "both.png"}, {"jpgonly", "jpgonly.jpg"}, {"tgaonly", "tgaonly.tga"},
               {"dir.v2/pic", "dir.v2/pic.tga"},  // a "." in a folder is no extension
               {"both.jpg", "both.jpg"}, {"nowhere", nullptr}, {"walk", nullptr},  // a sequence
               {"http://example.com/a.png", nullptr}};  // a download
  for (const auto &c : cases) {
    ZY_Bitmap *b = ZY_LoadBitmap(c.name, CACHE_SYSMEM);
    EXPECT_EQ(b->state, c.source ? ZY_BITMAP_STATE_READY : ZY_BITMAP_STATE_WAITING) << c.name;
    EXPECT_STREQ(c.source ? b->source_name : nullptr, c.source);
    EXPECT_EQ(Logged(std::string("Unable to load bitmap '") + c.name + "'."), !c.source) << c.name;
  }
  WriteImage("nowhere.png", 2, 2, RED);  // the file appears: after hibernation it is found
  ZY_Bitmap *b = ZY_LoadBitmap("nowhere", CACHE_LOOKUP_ONLY);
  ZY_ReleaseBitmap(b);
  EXPECT_TRUE(ZY_LoadBitmap("nowhere", CACHE_GPU)->hw.on_gpu && b->pixels == nullptr);
}

TEST_F(Bitmaps, AManifestGivesTheLogicalSizeAndPackModeWhileTheBufferKeepsItsOwn) {
  zytest::WriteFile(world.game() + "/m.xml",
                    "<?xml version=\"1.0\"?><root><array id=\"IMAGES\"><node id=\"ui/button\" "
                    "w=\"10\" h=\"20\" pack_mode=\"NO_PADDING\"/><node id=\"star.png\" w=\"7\"/>"
                    "</array></root>");
  ZyDidodozFile *f = ZYI_DidodozGetFile((world.game() + "/m.xml").c_str());
  ZyConfig &c = zy::config;
  ASSERT_TRUE(f && ZYI_GrowList((void ***)&c.manifest_arrays, &c.manifest_capacity, 1));
  c.manifest_arrays[c.manifest_count++] = f->arrays[0];
  WriteImage("ui/button.png", 4, 8, RED);
  WriteImage("star.png", 3, 3, RED);
  ZY_Bitmap *button = ZY_LoadBitmap("ui/button", CACHE_SYSMEM);
  ZY_Bitmap *star = ZY_LoadBitmap("star", CACHE_SYSMEM);  // listed with its extension
  EXPECT_EQ((std::array<int, 10>{button->width, button->height, button->alloc_width,
                                 button->alloc_height, button->pack_mode, star->width, star->height,
                                 star->alloc_width, star->alloc_height, star->pack_mode}),
            (std::array<int, 10>{10, 20, 4, 8, ZY_PACK_NO_PADDING, 7, 32, 3, 3,  // 32: no size
                                 ZY_PACK_PAD_TRANSPARENT}));
  ASSERT_TRUE(ZY_SaveBitmap(button, (world.game() + "/copy.tga").c_str(), 90));
  EXPECT_EQ(ZY_LoadBitmap("copy", CACHE_SYSMEM)->width, 4);  // the buffer as it is
  ASSERT_TRUE(ZY_ResizeBitmap(button, 6, 6));  // resampled from the real buffer
  for (int i = 0; i < 36; i++) ASSERT_EQ(button->pixels[i] & 0xFFFFFF, RED & 0xFFFFFF) << i;
}

TEST_F(Bitmaps, CacheModesKeepPixelsAndTexturesAsAsked) {
  WriteImage("a.png", 4, 4, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM);
  EXPECT_TRUE(a->pixels && !a->hw.on_gpu);
  const struct {
    int32_t mode;
    bool pixels, gpu;
    const char *calls;
  } steps[] = {{CACHE_SYSMEM | CACHE_GPU, true, true, "load a"},  // uploads, keeps the pixels
               {CACHE_GPU, false, true, "load a"},                  // drops the pixels
               {CACHE_SYSMEM, true, false, "load a, free"},  // reads the file, frees the texture
               {CACHE_NOTHING, false, false, "load a, free"},      // hibernates
               {CACHE_GPU, false, true, "load a, free, load a"}};  // loads, uploads, drops
  for (const auto &s : steps) {
    ZY_SetBitmapCacheMode(a, s.mode);
    EXPECT_TRUE((a->pixels != nullptr) == s.pixels && (a->hw.on_gpu != 0) == s.gpu) << s.mode;
    EXPECT_EQ(a->state, s.mode ? ZY_BITMAP_STATE_READY : ZY_BITMAP_STATE_WAITING) << s.mode;
    EXPECT_EQ(BitmapCalls(), s.calls) << s.mode;
  }
  EXPECT_TRUE(rec.first_pixels == std::vector<uint32_t>(2, RED) && rec.misuse == 0);
  ZY_SetBitmapCacheMode(ZY_CreateBitmap("target", 4, 4, ZY_BITMAP_RENDER_TARGET), CACHE_SYSMEM);
  EXPECT_EQ(Logged("Bitmap 'target' not reloadable, can't change cache mode."), 1);
  ZY_Bitmap *canvas = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  ZY_SetBitmapCacheMode(canvas, CACHE_GPU);  // the texture follows, the pixels stay
  EXPECT_TRUE(canvas->hw.on_gpu && canvas->pixels);
  rec.fail_loads = true;  // a failed upload keeps the pixels and says so with the size
  WriteImage("b.png", 6, 3, RED);
  ZY_Bitmap *b = ZY_LoadBitmap("b", CACHE_GPU);
  EXPECT_TRUE(Logged("Unable to upload bitmap 'b' (6x3) to renderer.") == 1 && b->pixels);
}

TEST_F(Bitmaps, CreatedBitmapsHaveZeroedPixelsOrASurfaceAndAreDestroyedAtZero) {
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 4, 2, ZY_BITMAP_PIXELS);
  EXPECT_EQ(std::vector<uint32_t>(c->pixels, c->pixels + 8), std::vector<uint32_t>(8, 0));
  EXPECT_EQ(ZY_CreateBitmap("canvas", 9, 9, ZY_BITMAP_PIXELS), c);  // counted, not made again
  EXPECT_TRUE(c->ref_count == 2 && c->width == 4);
  ZY_Bitmap *t = ZY_CreateBitmap("target", 32, 16, ZY_BITMAP_RENDER_TARGET);
  EXPECT_EQ(BitmapCalls(), "upload target");  // a surface at once, pixels on a refresh
  for (int i = 0; i < 8; i++) c->pixels[i] = BLUE;
  EXPECT_TRUE(ZY_RefreshBitmap(c) && ZY_RefreshBitmap(t));
  EXPECT_EQ(BitmapCalls(), "upload target, load canvas, refresh target");
  EXPECT_EQ(rec.first_pixels.back(), BLUE);
  EXPECT_FALSE(ZY_SaveBitmap(t, (world.game() + "/t.png").c_str(), 0));  // no pixels
  std::vector<ZY_Bitmap *> seen;  // render targets are listed for the resize event
  ZYI_ForEachRenderTargetBitmap(
      [](ZY_Bitmap *b, void *s) { ((std::vector<ZY_Bitmap *> *)s)->push_back(b); }, &seen);
  EXPECT_EQ(seen, std::vector<ZY_Bitmap *>{t});
  ZY_ReleaseBitmap(c);
  ZY_ReleaseBitmap(c);
  EXPECT_EQ(c->name, nullptr);  // destroyed
}

TEST_F(Bitmaps, RefreshReloadsTheFileInPlaceAndDrawingThenUsesTheNewTexture) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ZY_DrawBitmap(a, 0, 0);
  WriteImage("a.png", 3, 3, BLUE);
  EXPECT_TRUE(ZY_RefreshBitmap(a));  // the batch is drawn before the old texture goes
  ZY_DrawBitmap(a, 0, 0);
  ZYI_Flush();
  EXPECT_EQ(rec.Calls("SetTexture"),
            (std::vector<std::string>{"SetTexture 0 #1", "SetTexture 0 #1", "SetTexture 0 #2"}));
  EXPECT_TRUE(a->width == 3 && !a->pixels && rec.first_pixels.back() == BLUE);
  EXPECT_EQ(rec.live, (std::set<void *>{(void *)2}));
  ZY_Bitmap *b = ZY_LoadBitmap("a.png", CACHE_SYSMEM);  // pixels in memory are replaced
  EXPECT_TRUE(ZY_RefreshBitmap(b) && b->pixels && !b->hw.on_gpu);
  EXPECT_EQ(Logged("Bitmap 'a.png' has existing pixel data. Freeing it."), 1);
  ZY_ReleaseBitmap(a);  // hibernated and placeholder bitmaps have nothing to refresh
  EXPECT_FALSE(ZY_RefreshBitmap(a) || ZY_RefreshBitmap(ZY_LoadBitmap("!p", CACHE_GPU)) ||
               ZY_RefreshBitmap(nullptr));
}

