// The bitmap table: counting rules of ZY_LoadBitmap and ZY_GetBitmapEx, placeholders,
// the 4096 cap, lookups only, the table limit, names, release and hibernation, and the
// shut-down report.
#include "bitmaps_test.h"

namespace {

// Loads and keeps the bitmap one of the tests releases from another thread.
struct ThreadRelease {
  ZY_Bitmap *bitmap;
};

}  // namespace

TEST_F(BitmapTest, LoadBitmapCountsEveryRequestAndGetBitmapOnlyTheFirst) {
  WriteImage("a.png", 4, 4, 0xFF0000FFu);
  WriteImage("b.png", 4, 4, 0xFF00FF00u);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->ref_count, 1);
  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_GPU), a);
  EXPECT_EQ(a->ref_count, 2);
  EXPECT_EQ(Logged("..caching bitmap 'a'"), 1);

  ZY_Bitmap *b = ZY_GetBitmap("b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->ref_count, 1);
  EXPECT_TRUE(b->flags & ZY_BITMAP_COUNTED_ONCE);
  EXPECT_EQ(ZY_GetBitmap("b"), b);
  EXPECT_EQ(ZY_GetBitmapEx("b", CACHE_GPU), b);
  EXPECT_EQ(b->ref_count, 1);
  // ZY_LoadBitmap counts what ZY_GetBitmap got.
  ZY_LoadBitmap("b", CACHE_GPU);
  EXPECT_EQ(b->ref_count, 2);

  // A bitmap first loaded with ZY_LoadBitmap is counted once more by its first get.
  ZY_GetBitmapEx("a", CACHE_GPU);
  ZY_GetBitmapEx("a", CACHE_GPU);
  EXPECT_EQ(a->ref_count, 3);
  // Only one load from file per bitmap.
  EXPECT_EQ(rec.Count("load a"), 1);
  EXPECT_EQ(rec.Count("load b"), 1);
}

TEST_F(BitmapTest, GetBitmapUsesTheDefaultCacheModeAndRaisesModesOnlyUpwards) {
  WriteImage("a.png", 4, 4, 0xFF0000FFu);
  ZY_Bitmap *a = ZY_GetBitmap("a");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->cache_mode, CACHE_GPU);
  EXPECT_EQ(a->pixels, nullptr);  // the GPU only: pixels dropped after the upload
  EXPECT_TRUE(a->hw.on_gpu);
  ZY_GetBitmapEx("a", CACHE_SYSMEM);
  EXPECT_EQ(a->cache_mode, CACHE_SYSMEM | CACHE_GPU);
  EXPECT_NE(a->pixels, nullptr);  // read again from the file
  ZY_GetBitmapEx("a", CACHE_GPU);
  EXPECT_EQ(a->cache_mode, CACHE_SYSMEM | CACHE_GPU);
}

TEST_F(BitmapTest, PlaceholdersAreNeverCountedLoadedOrReleased) {
  ZY_Bitmap *p = ZY_LoadBitmap("!marker", CACHE_GPU);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->ref_count, 1);
  EXPECT_EQ(ZY_LoadBitmap("!marker", CACHE_GPU), p);
  EXPECT_EQ(ZY_GetBitmapEx("!marker", CACHE_GPU), p);
  EXPECT_EQ(p->ref_count, 1);
  EXPECT_EQ(p->cache_mode, CACHE_NOTHING);
  EXPECT_EQ(p->pixels, nullptr);
  ZY_ReleaseBitmap(p);
  ZY_ReleaseBitmap(p);
  EXPECT_EQ(p->ref_count, 1);
  EXPECT_STREQ(p->name, "!marker");

  // A null name is the placeholder "!NONE".
  ZY_Bitmap *none = ZY_LoadBitmap(nullptr, CACHE_GPU);
  ASSERT_NE(none, nullptr);
  EXPECT_STREQ(none->name, "!NONE");
  EXPECT_EQ(ZY_GetBitmap(nullptr), none);
  EXPECT_TRUE(rec.bitmap_calls.empty());
}

TEST_F(BitmapTest, CountsAreCappedAt4096WithAPopupOnEveryCallAbove) {
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = nullptr;
  for (int i = 0; i < 5000; i++) a = ZY_LoadBitmap("a", CACHE_GPU);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->ref_count, 4096);
  EXPECT_EQ(Popups("Bitmap 'a' reference count suspiciously high: capping at 4096."), 5000 - 4096);

  // ZY_CreateBitmap counts an existing name with the same cap.
  for (int i = 0; i < 10; i++) ZY_CreateBitmap("a", 2, 2, ZY_BITMAP_PIXELS);
  EXPECT_EQ(a->ref_count, 4096);
}

TEST_F(BitmapTest, LookupOnlyNeitherCountsNorCreates) {
  EXPECT_EQ(ZY_LoadBitmap("missing", CACHE_LOOKUP_ONLY), nullptr);
  EXPECT_EQ(ZY_GetBitmapEx("missing", CACHE_LOOKUP_ONLY), nullptr);
  EXPECT_EQ(zy::bitmaps.count, 0);
  EXPECT_EQ(Logged("..caching bitmap 'missing'"), 0);

  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_LOOKUP_ONLY), a);
  EXPECT_EQ(ZY_GetBitmapEx("a", CACHE_LOOKUP_ONLY), a);
  EXPECT_EQ(a->ref_count, 1);
  EXPECT_EQ(a->cache_mode, CACHE_GPU);
}

TEST_F(BitmapTest, CacheNothingMakesAnUnloadedRecordWithCountZero) {
  SetFeatures("PRINT_REFERENCE_COUNT_CHANGES");
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_GetBitmapEx("a", CACHE_NOTHING);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_FALSE(a->flags & ZY_BITMAP_COUNTED_ONCE);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_WAITING);
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_EQ(Logged("'a' ref count = 0 (CACHE_NOTHING)"), 1);
  EXPECT_TRUE(rec.bitmap_calls.empty());
  // Asking with mode 0 again neither counts nor loads.
  ZY_LoadBitmap("a", CACHE_NOTHING);
  EXPECT_EQ(a->ref_count, 0);
  // A real request loads it.
  ZY_GetBitmap("a");
  EXPECT_EQ(a->ref_count, 1);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_READY);
  EXPECT_TRUE(a->hw.on_gpu);
}

TEST_F(BitmapTest, ReferenceCountMessagesAppearOnlyWhenConfigured) {
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Logged("'a' ref count = 1"), 0);
  EXPECT_EQ(Logged("ReleaseBitmap: 'a' ref count--: now 0"), 0);

  SetFeatures("PRINT_REFERENCE_COUNT_CHANGES");
  ZY_LoadBitmap("a", CACHE_GPU);
  ZY_GetBitmap("a");
  ZY_LoadBitmap("b", CACHE_GPU);  // missing file: the record is counted all the same
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Logged("'a' ref count++: now 1"), 1);
  EXPECT_EQ(Logged("'a' ref count++ (GetBitmap): now 2"), 1);
  EXPECT_EQ(Logged("'b' ref count = 1"), 1);
  EXPECT_EQ(Logged("ReleaseBitmap: 'a' ref count--: now 1"), 1);
}

TEST_F(BitmapTest, The769thBitmapFailsAndAFreedRecordIsReused) {
  ZYI_BitmapsSetReferenceCounting(false);
  std::vector<ZY_Bitmap *> all;
  for (int i = 0; i < ZYI_MAX_BITMAPS; i++) {
    ZY_Bitmap *b = ZY_LoadBitmap(("bm" + std::to_string(i)).c_str(), CACHE_NOTHING);
    ASSERT_NE(b, nullptr) << i;
    all.push_back(b);
  }
  EXPECT_EQ(ZY_LoadBitmap("one-too-many", CACHE_NOTHING), nullptr);
  EXPECT_EQ(ZY_CreateBitmap("created-too-many", 2, 2, ZY_BITMAP_PIXELS), nullptr);
  EXPECT_EQ(Popups(" ! Zylem out of free bitmaps."), 2);
  EXPECT_EQ(zy::bitmaps.count, ZYI_MAX_BITMAPS);

  ZY_ReleaseBitmap(all[100]);
  EXPECT_EQ(Logged("Releasing bitmap 'bm100'.."), 1);
  EXPECT_EQ(all[100]->name, nullptr);
  ZY_Bitmap *again = ZY_LoadBitmap("one-too-many", CACHE_NOTHING);
  EXPECT_EQ(again, all[100]);
  EXPECT_STREQ(again->name, "one-too-many");
}

TEST_F(BitmapTest, ANameStartingWithSlashIsRefusedAndLookedUpWithoutIt) {
  WriteImage("ui/button.png", 3, 3, 0xFF00FF00u);
  ZY_Bitmap *b = ZY_LoadBitmap("/ui/button", CACHE_GPU);
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->name, "ui/button");
  EXPECT_EQ(Popups("Bitmap '/ui/button' name path starting with '/'. Not allowed."), 1);
  EXPECT_EQ(ZY_GetBitmap("ui/button"), b);
  // Names compare exactly.
  EXPECT_NE(ZY_LoadBitmap("UI/button", CACHE_NOTHING), b);
}

TEST_F(BitmapTest, ReleasingToZeroHibernatesAndTheNextRequestReloads) {
  WriteImage("a.png", 4, 2, 0xFF0000FFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  ZY_LoadBitmap("a", CACHE_GPU);
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(a->ref_count, 1);
  EXPECT_TRUE(a->hw.on_gpu);
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Logged("Hibernating bitmap 'a'.."), 1);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_STREQ(a->name, "a");
  EXPECT_EQ(a->cache_mode, CACHE_NOTHING);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_WAITING);
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_TRUE(rec.live.empty());
  EXPECT_EQ(rec.Count("free"), 1);

  EXPECT_EQ(ZY_LoadBitmap("a", CACHE_GPU), a);
  EXPECT_EQ(a->ref_count, 1);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_READY);
  EXPECT_TRUE(a->hw.on_gpu);
  EXPECT_EQ(rec.Count("load a"), 2);
  EXPECT_EQ(rec.misused_frees, 0);
}

TEST_F(BitmapTest, ReleasingAGotBitmapToZeroAndBelowGivesPopupsUnlessDisabled) {
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_GetBitmap("a");
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Popups("Releasing bitmap 'a' too many times: ref counting will get messed up. NOTE: "
                   "bitmap has been accessed using GetBitmap which increses ref count by 1 "
                   "once."),
            1);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_EQ(a->cache_mode, CACHE_NOTHING);  // hibernated all the same
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Popups("Bitmap 'a' reference count less than zero."), 1);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_STREQ(a->name, "a");  // the record stays

  SetFeatures("DISABLE_REFERENCE_COUNT_ERROR_POPUPS");
  ZY_Bitmap *b = ZY_GetBitmap("b");
  ZY_ReleaseBitmap(b);
  ZY_ReleaseBitmap(b);
  EXPECT_EQ(Popups("Bitmap 'b' reference count less than zero."), 0);
  EXPECT_EQ(b->ref_count, 0);
}

TEST_F(BitmapTest, WithoutReferenceCountingReleaseDestroysAtOnce) {
  ZYI_BitmapsSetReferenceCounting(false);
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ZY_LoadBitmap("a", CACHE_GPU);
  ZY_ReleaseBitmap(a);
  EXPECT_EQ(Logged("Releasing bitmap 'a'.."), 1);
  EXPECT_EQ(a->name, nullptr);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_RELEASED);
  EXPECT_TRUE(rec.live.empty());
  ZY_ReleaseBitmap(a);  // a free record is ignored
  EXPECT_EQ(Logged("Releasing bitmap 'a'.."), 1);

  // A named record in the released state is refused.
  ZY_Bitmap *b = ZY_LoadBitmap("b", CACHE_NOTHING);
  b->state = ZY_BITMAP_STATE_RELEASED;
  ZY_ReleaseBitmap(b);
  EXPECT_EQ(Logged("Trying to release null bitmap."), 1);
  EXPECT_STREQ(b->name, "b");
}

TEST_F(BitmapTest, DestroyingFromAnotherThreadIsRefused) {
  ZYI_BitmapsSetReferenceCounting(false);
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ThreadRelease job{ZY_LoadBitmap("a", CACHE_GPU)};
  OnThread([](void *p) { ZY_ReleaseBitmap(((ThreadRelease *)p)->bitmap); }, &job);
  ZYI_ShowQueuedPopups();
  EXPECT_EQ(Popups("ZY_ReleaseBitmap 'a' without reference counting is not possible from "
                   "non-main thread."),
            1);
  EXPECT_STREQ(job.bitmap->name, "a");
  EXPECT_TRUE(job.bitmap->hw.on_gpu);
  EXPECT_EQ(rec.off_main_calls, 0);
}

TEST_F(BitmapTest, ReleasingTheCurrentRenderTargetResetsItWithAPopup) {
  ZY_Bitmap *t = ZY_CreateBitmap("target", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ASSERT_TRUE(ZY_SetRenderTarget(t));
  EXPECT_EQ(ZYI_CurrentRenderTarget(), t);
  ZY_ReleaseBitmap(t);
  EXPECT_EQ(Popups("ZY_ReleaseBitmap: Releasing current render target bitmap 'target' is not "
                   "allowed. Please fix your application code to first set the render target "
                   "to NULL."),
            1);
  EXPECT_EQ(ZYI_CurrentRenderTarget(), nullptr);
  // A render target cannot be loaded again: at count 0 it is destroyed.
  EXPECT_EQ(t->name, nullptr);
  EXPECT_TRUE(rec.live.empty());
}

TEST_F(BitmapTest, ShutDownReportsEveryReferencedBitmapOnceAndReleasesIt) {
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  WriteImage("b.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  ZY_GetBitmap("a");
  ZY_Bitmap *b = ZY_LoadBitmap("b", CACHE_GPU);
  ZY_ReleaseBitmap(b);  // hibernated: not reported
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  ZY_LoadBitmap("!placeholder", CACHE_GPU);

  ZYI_ReleaseLeakedBitmaps();
  EXPECT_EQ(Logged("Bitmap 'a' Reference count 2 at exit, releasing..."), 1);
  EXPECT_EQ(Logged("Bitmap 'canvas' Reference count 1 at exit, releasing..."), 1);
  EXPECT_EQ(Logged("Bitmap 'b' Reference count 0 at exit, releasing..."), 0);
  EXPECT_EQ(Logged("Bitmap '!placeholder' Reference count 1 at exit, releasing..."), 0);
  // Released once from count 1 (its counted-once mark cleared): no popup, hibernated.
  EXPECT_EQ(Popups("Releasing bitmap 'a' too many times: ref counting will get messed up. "
                   "NOTE: bitmap has been accessed using GetBitmap which increses ref count "
                   "by 1 once."),
            0);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_EQ(c->name, nullptr);  // created bitmaps are destroyed
  EXPECT_TRUE(rec.live.empty());
}

TEST_F(BitmapTest, ShutDownWithoutReferenceCountingReleasesEveryBitmap) {
  ZYI_BitmapsSetReferenceCounting(false);
  WriteImage("a.png", 2, 2, 0xFFFFFFFFu);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ZY_Bitmap *n = ZY_LoadBitmap("nothing", CACHE_NOTHING);
  ZYI_ReleaseLeakedBitmaps();
  EXPECT_EQ(a->name, nullptr);
  EXPECT_EQ(n->name, nullptr);
  EXPECT_EQ(Logged("Releasing bitmap 'a'.."), 1);
  EXPECT_EQ(Logged("Releasing bitmap 'nothing'.."), 1);
  EXPECT_TRUE(rec.live.empty());
}
