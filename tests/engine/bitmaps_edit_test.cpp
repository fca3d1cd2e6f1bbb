// Bitmaps the program makes and changes: created pixel bitmaps and render targets,
// saving, resizing and refreshing.
#include "bitmaps_test.h"

namespace {

const uint32_t RED = 0xFF0000FFu;  // bytes R, G, B, A
const uint32_t BLUE = 0xFFFF0000u;

}  // namespace

TEST_F(BitmapTest, ACreatedBitmapHasZeroedPixelsInMemoryAndIsNotReloadable) {
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 4, 2, ZY_BITMAP_PIXELS);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(Logged("..creating bitmap 'canvas' (4x2)"), 1);
  EXPECT_EQ(c->width, 4);
  EXPECT_EQ(c->height, 2);
  EXPECT_EQ(c->state, ZY_BITMAP_STATE_READY);
  EXPECT_EQ(c->cache_mode, CACHE_SYSMEM | CACHE_GPU);
  EXPECT_FALSE(c->flags & ZY_BITMAP_RELOADABLE);
  EXPECT_EQ(c->ref_count, 1);
  ASSERT_NE(c->pixels, nullptr);
  for (int i = 0; i < 8; i++) EXPECT_EQ(c->pixels[i], 0u);
  EXPECT_TRUE(rec.bitmap_calls.empty());  // on the GPU once the program refreshes it

  // The same name again is counted, not made again.
  EXPECT_EQ(ZY_CreateBitmap("canvas", 9, 9, ZY_BITMAP_PIXELS), c);
  EXPECT_EQ(c->ref_count, 2);
  EXPECT_EQ(c->width, 4);

  // A null name is the empty name.
  ZY_Bitmap *unnamed = ZY_CreateBitmap(nullptr, 1, 1, ZY_BITMAP_PIXELS);
  EXPECT_STREQ(unnamed->name, "");
  EXPECT_EQ(ZY_CreateBitmap("", 1, 1, ZY_BITMAP_PIXELS), unnamed);

  // The program draws into the pixels and refreshes: the texture shows them.
  for (int i = 0; i < 8; i++) c->pixels[i] = BLUE;
  EXPECT_TRUE(ZY_RefreshBitmap(c));
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load canvas"}));
  EXPECT_EQ(rec.first_pixels.back(), BLUE);
  EXPECT_NE(c->pixels, nullptr);  // created pixels are never dropped

  ZY_ReleaseBitmap(c);
  ZY_ReleaseBitmap(c);  // count 0: destroyed, it cannot be loaded again
  EXPECT_EQ(c->name, nullptr);
  EXPECT_TRUE(rec.live.empty());
}

TEST_F(BitmapTest, ARenderTargetGetsItsSurfaceAtOnceAndRefreshesThroughTheRenderer) {
  ZY_Bitmap *t = ZY_CreateBitmap("target", 32, 16, ZY_BITMAP_RENDER_TARGET);
  ASSERT_NE(t, nullptr);
  EXPECT_TRUE(t->flags & ZY_BITMAP_IS_RENDER_TARGET);
  EXPECT_FALSE(t->flags & ZY_BITMAP_RELOADABLE);
  EXPECT_EQ(t->pixels, nullptr);
  EXPECT_EQ(t->width, 32);
  EXPECT_EQ(t->state, ZY_BITMAP_STATE_READY);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"upload target"}));
  EXPECT_TRUE(t->hw.on_gpu);
  EXPECT_TRUE(ZY_SetRenderTarget(t));
  ZY_SetRenderTarget(nullptr);

  EXPECT_TRUE(ZY_RefreshBitmap(t));
  EXPECT_EQ(rec.bitmap_calls.back(), "refresh target");
  EXPECT_FALSE(ZY_SaveBitmap(t, (world.game() + "/t.png").c_str(), 0));  // no pixels
}

TEST_F(BitmapTest, RefreshReloadsTheFileInPlaceAndUploadsIt) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  void *old_texture = a->hw.texture;
  WriteImage("a.png", 3, 3, BLUE);
  EXPECT_TRUE(ZY_RefreshBitmap(a));
  EXPECT_EQ(a->width, 3);
  EXPECT_EQ(rec.first_pixels.back(), BLUE);
  EXPECT_EQ(rec.live.count(old_texture), 0u);
  EXPECT_EQ(rec.live.size(), 1u);
  EXPECT_EQ(a->pixels, nullptr);  // the cache mode still wants the GPU only

  // With pixels in memory the old ones are replaced, with the warning.
  ZY_Bitmap *b = ZY_LoadBitmap("a.png", CACHE_SYSMEM);
  EXPECT_TRUE(ZY_RefreshBitmap(b));
  EXPECT_EQ(Logged("Bitmap 'a.png' has existing pixel data. Freeing it.\n"), 1);
  EXPECT_NE(b->pixels, nullptr);
  EXPECT_FALSE(b->hw.on_gpu);  // not asked for the GPU

  // Hibernated and placeholder bitmaps have nothing to refresh.
  ZY_ReleaseBitmap(a);
  EXPECT_FALSE(ZY_RefreshBitmap(a));
  EXPECT_FALSE(ZY_RefreshBitmap(ZY_LoadBitmap("!p", CACHE_GPU)));
  EXPECT_FALSE(ZY_RefreshBitmap(nullptr));
}

TEST_F(BitmapTest, RefreshFromAnotherThreadIsRefused) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  rec.bitmap_calls.clear();
  struct Result {
    ZY_Bitmap *bitmap;
    bool answer;
  } result{a, true};
  OnThread([](void *p) {
    Result *r = (Result *)p;
    r->answer = ZY_RefreshBitmap(r->bitmap);
  }, &result);
  EXPECT_FALSE(result.answer);
  ZYI_ShowQueuedPopups();
  EXPECT_EQ(Popups("Refreshing bitmaps from another thread than main has not been tested "
                   "properly yet. Not refreshing bitmap."),
            1);
  EXPECT_TRUE(rec.bitmap_calls.empty());
}

TEST_F(BitmapTest, SaveWritesThePixelBufferAndItLoadsBackEqual) {
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 3, 2, ZY_BITMAP_PIXELS);
  for (int i = 0; i < 6; i++) c->pixels[i] = 0xFF000000u | (uint32_t)(i * 40);
  std::string path = world.game() + "/saved.png";
  ASSERT_TRUE(ZY_SaveBitmap(c, path.c_str(), 90));
  ZY_Bitmap *back = ZY_LoadBitmap("saved", CACHE_SYSMEM);
  ASSERT_EQ(back->width, 3);
  ASSERT_EQ(back->height, 2);
  for (int i = 0; i < 6; i++) EXPECT_EQ(back->pixels[i], c->pixels[i]) << i;

  // A manifest size is not the buffer's: the file gets the buffer as it is.
  AddManifest("m.xml",
              "<?xml version=\"1.0\"?><root><array id=\"M\">"
              "<node id=\"big\" w=\"100\" h=\"100\"/></array></root>");
  WriteImage("big.png", 4, 4, RED);
  ZY_Bitmap *big = ZY_LoadBitmap("big", CACHE_SYSMEM);
  ASSERT_EQ(big->width, 100);
  ASSERT_TRUE(ZY_SaveBitmap(big, (world.game() + "/big-copy.png").c_str(), 90));
  ZY_Bitmap *copy = ZY_LoadBitmap("big-copy", CACHE_SYSMEM);
  EXPECT_EQ(copy->width, 4);
  EXPECT_EQ(copy->height, 4);

  EXPECT_FALSE(ZY_SaveBitmap(nullptr, path.c_str(), 90));
  EXPECT_FALSE(ZY_SaveBitmap(c, (world.game() + "/saved.bmp").c_str(), 90));
}

TEST_F(BitmapTest, ResizeResamplesThePixelsInMemory) {
  ZY_Bitmap *c = ZY_CreateBitmap("canvas", 8, 8, ZY_BITMAP_PIXELS);
  for (int i = 0; i < 64; i++) c->pixels[i] = RED;
  uint32_t *old_pixels = c->pixels;
  ASSERT_TRUE(ZY_ResizeBitmap(c, 4, 2));
  EXPECT_EQ(c->width, 4);
  EXPECT_EQ(c->height, 2);
  EXPECT_EQ(c->alloc_width, 4);
  EXPECT_NE(c->pixels, old_pixels);
  for (int i = 0; i < 8; i++) EXPECT_EQ(c->pixels[i], RED) << i;  // opaque stays opaque

  // A manifest-sized bitmap is resampled from its real buffer.
  AddManifest("m.xml",
              "<?xml version=\"1.0\"?><root><array id=\"M\">"
              "<node id=\"logo\" w=\"64\" h=\"64\"/></array></root>");
  WriteImage("logo.png", 2, 2, BLUE);
  ZY_Bitmap *logo = ZY_LoadBitmap("logo", CACHE_SYSMEM);
  ASSERT_TRUE(ZY_ResizeBitmap(logo, 6, 6));
  EXPECT_EQ(logo->width, 6);
  for (int i = 0; i < 36; i++) EXPECT_EQ(logo->pixels[i] & 0xFFFFFFu, BLUE & 0xFFFFFFu) << i;

  EXPECT_FALSE(ZY_ResizeBitmap(nullptr, 4, 4));
  EXPECT_EQ(Popups("ZYI_CreateImageResized bm_source is null."), 1);
  ZY_Bitmap *target = ZY_CreateBitmap("rt", 4, 4, ZY_BITMAP_RENDER_TARGET);
  EXPECT_FALSE(ZY_ResizeBitmap(target, 2, 2));
  EXPECT_EQ(Popups("ZYI_CreateImageResized bm_source 'rt' has no pixels."), 1);
  EXPECT_FALSE(ZY_ResizeBitmap(c, 0, 3));
  EXPECT_EQ(c->width, 4);
}
