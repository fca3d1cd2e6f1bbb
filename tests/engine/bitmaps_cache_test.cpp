// What a bitmap holds: the extension search, names not loadable yet, manifest size and
// pack mode, cache-mode transitions with their renderer calls, frames, and re-creation
// on a new renderer device.
#include "bitmaps_test.h"

#include "lifecycle/input.h"
#include "engine//bitmaps_internal.h"

namespace {

const uint32_t RED = 0xFF0000FFu;    // bytes R, G, B, A
const uint32_t GREEN = 0xFF00FF00u;
const uint32_t BLUE = 0xFFFF0000u;

}  // namespace

TEST_F(BitmapTest, ANameWithoutExtensionTakesTheFirstFileThatOpens) {
  WriteImage("both.png", 2, 2, RED);
  WriteImage("both.jpg", 2, 2, GREEN);
  WriteImage("jpgonly.jpg", 3, 1, GREEN);
  WriteImage("tgaonly.tga", 1, 3, BLUE);
  WriteImage("dir.v2/pic.tga", 5, 5, BLUE);

  ZY_Bitmap *both = ZY_LoadBitmap("both", CACHE_SYSMEM);
  ASSERT_NE(both, nullptr);
  EXPECT_STREQ(both->source_name, "both.png");
  EXPECT_EQ(both->pixels[0], RED);
  ZY_Bitmap *jpg = ZY_LoadBitmap("jpgonly", CACHE_SYSMEM);
  EXPECT_STREQ(jpg->source_name, "jpgonly.jpg");
  EXPECT_EQ(jpg->width, 3);
  ZY_Bitmap *tga = ZY_LoadBitmap("tgaonly", CACHE_SYSMEM);
  EXPECT_STREQ(tga->source_name, "tgaonly.tga");
  EXPECT_EQ(tga->pixels[0], BLUE);
  // A "." in a folder name is no extension: the search still runs.
  ZY_Bitmap *pic = ZY_LoadBitmap("dir.v2/pic", CACHE_SYSMEM);
  EXPECT_STREQ(pic->source_name, "dir.v2/pic.tga");
  EXPECT_EQ(pic->state, ZY_BITMAP_STATE_READY);
  // With an extension exactly that file is loaded.
  ZY_Bitmap *named = ZY_LoadBitmap("both.jpg", CACHE_SYSMEM);
  EXPECT_STREQ(named->source_name, "both.jpg");
  EXPECT_EQ(named->state, ZY_BITMAP_STATE_READY);
  EXPECT_NEAR((int)(named->pixels[0] >> 8 & 0xFF), 255, 2);  // green, through JPEG
  EXPECT_FLOAT_EQ(named->frame_rate, 30.0f);
}

TEST_F(BitmapTest, AMissingFileIsReportedAndNothingIsUploaded) {
  ZY_Bitmap *b = ZY_LoadBitmap("nowhere", CACHE_GPU);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(Logged("Unable to load bitmap 'nowhere'.\n"), 1);
  EXPECT_EQ(b->state, ZY_BITMAP_STATE_WAITING);
  EXPECT_EQ(b->pixels, nullptr);
  EXPECT_TRUE(rec.bitmap_calls.empty());
  EXPECT_EQ(b->ref_count, 1);
  // The file appears; after hibernation the next request finds it.
  WriteImage("nowhere.png", 2, 2, RED);
  ZY_ReleaseBitmap(b);
  ZY_LoadBitmap("nowhere", CACHE_GPU);
  EXPECT_EQ(b->state, ZY_BITMAP_STATE_READY);
  EXPECT_TRUE(b->hw.on_gpu);
}

TEST_F(BitmapTest, SequencesAndDownloadsAreNotLoadableYet) {
  zytest::WriteFile(world.game() + "/walk.bms", "ZY_Bm_Seq_v1");
  WriteImage("run0000.png", 2, 2, RED);
  ZY_Bitmap *walk = ZY_LoadBitmap("walk", CACHE_SYSMEM);
  EXPECT_STREQ(walk->source_name, "walk.bms");
  ZY_Bitmap *run = ZY_LoadBitmap("run*.png", CACHE_SYSMEM);
  ZY_Bitmap *web = ZY_LoadBitmap("http://example.com/a.png", CACHE_SYSMEM);
  for (ZY_Bitmap *b : {walk, run, web}) {
    EXPECT_EQ(b->state, ZY_BITMAP_STATE_WAITING) << b->name;
    EXPECT_EQ(b->pixels, nullptr) << b->name;
    EXPECT_EQ(Logged(std::string("Unable to load bitmap '") + b->name + "'.\n"), 1) << b->name;
  }
}

TEST_F(BitmapTest, AManifestGivesTheLogicalSizeAndPackMode) {
  AddManifest("manifest.xml",
              "<?xml version=\"1.0\"?><root><array id=\"IMAGES\">"
              "<node id=\"ui/button\" w=\"10\" h=\"20\" pack_mode=\"NO_PADDING\"/>"
              "<node id=\"icons/star.png\" w=\"7\"/>"
              "<node id=\"expand\" pack_mode=\"PAD_EXPAND \"/>"
              "<node id=\"nospace\" pack_mode=\"PAD_EXPAND\"/>"
              "<node id=\"first\" w=\"1\" h=\"1\"/>"
              "</array></root>");
  AddManifest("second.xml",
              "<?xml version=\"1.0\"?><root><array id=\"MORE\">"
              "<node id=\"first\" w=\"2\" h=\"2\"/>"
              "</array></root>");
  WriteImage("ui/button.png", 4, 8, RED);
  WriteImage("icons/star.png", 3, 3, RED);
  WriteImage("expand.png", 2, 2, RED);
  WriteImage("nospace.png", 2, 2, RED);
  WriteImage("first.png", 2, 2, RED);
  WriteImage("unlisted.png", 5, 6, RED);

  ZY_Bitmap *button = ZY_LoadBitmap("ui/button", CACHE_SYSMEM | CACHE_GPU);
  EXPECT_EQ(button->width, 10);
  EXPECT_EQ(button->height, 20);
  EXPECT_EQ(button->alloc_width, 4);
  EXPECT_EQ(button->alloc_height, 8);
  EXPECT_EQ(button->pack_mode, ZY_PACK_NO_PADDING);
  EXPECT_EQ(Logged("Using pack mode 'NO_PADDING'\n"), 1);

  // Found under the name with ".png"; a missing attribute gives 32.
  ZY_Bitmap *star = ZY_LoadBitmap("icons/star", CACHE_SYSMEM);
  EXPECT_EQ(star->width, 7);
  EXPECT_EQ(star->height, 32);
  EXPECT_EQ(star->pack_mode, ZY_PACK_PAD_TRANSPARENT);

  EXPECT_EQ(ZY_LoadBitmap("expand", CACHE_SYSMEM)->pack_mode, ZY_PACK_PAD_EXPAND);
  EXPECT_EQ(ZY_LoadBitmap("nospace", CACHE_SYSMEM)->pack_mode, ZY_PACK_PAD_TRANSPARENT);
  EXPECT_EQ(ZY_LoadBitmap("first", CACHE_SYSMEM)->width, 1);  // the first array wins

  ZY_Bitmap *unlisted = ZY_LoadBitmap("unlisted", CACHE_SYSMEM);
  EXPECT_EQ(unlisted->width, 5);
  EXPECT_EQ(unlisted->alloc_width, 5);
  EXPECT_EQ(unlisted->pack_mode, ZY_PACK_PAD_TRANSPARENT);
}

TEST_F(BitmapTest, CacheModesKeepPixelsAndTexturesAsAsked) {
  WriteImage("a.png", 4, 4, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM);
  EXPECT_NE(a->pixels, nullptr);
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_TRUE(rec.bitmap_calls.empty());

  ZY_SetBitmapCacheMode(a, CACHE_SYSMEM | CACHE_GPU);  // uploads, keeps the pixels
  EXPECT_NE(a->pixels, nullptr);
  EXPECT_TRUE(a->hw.on_gpu);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load a"}));

  ZY_SetBitmapCacheMode(a, CACHE_GPU);  // drops the pixels, keeps the texture
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_TRUE(a->hw.on_gpu);
  EXPECT_EQ(rec.bitmap_calls.size(), 1u);

  ZY_SetBitmapCacheMode(a, CACHE_SYSMEM);  // reads the file again, frees the texture
  EXPECT_NE(a->pixels, nullptr);
  EXPECT_EQ(a->pixels[0], RED);
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load a", "free"}));

  ZY_SetBitmapCacheMode(a, CACHE_NOTHING);  // hibernates
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_WAITING);
  EXPECT_EQ(a->cache_mode, CACHE_NOTHING);

  ZY_SetBitmapCacheMode(a, CACHE_GPU);  // loads, uploads, drops the pixels
  EXPECT_EQ(a->pixels, nullptr);
  EXPECT_TRUE(a->hw.on_gpu);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_READY);
  EXPECT_EQ(rec.Count("load a"), 2);
  EXPECT_EQ(rec.misused_frees, 0);
}

TEST_F(BitmapTest, CacheModeChangesNeedABitmapThatCanBeReloadedOrHasPixels) {
  ZY_Bitmap *target = ZY_CreateBitmap("target", 4, 4, ZY_BITMAP_RENDER_TARGET);
  ZY_SetBitmapCacheMode(target, CACHE_SYSMEM);
  EXPECT_EQ(Logged("Bitmap 'target' not reloadable, can't change cache mode."), 1);
  EXPECT_EQ(target->cache_mode, CACHE_NOTHING);

  // A created bitmap has pixels: its texture follows the mode, its pixels stay.
  ZY_Bitmap *canvas = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  EXPECT_EQ(canvas->cache_mode, CACHE_SYSMEM | CACHE_GPU);
  EXPECT_FALSE(canvas->hw.on_gpu);
  ZY_SetBitmapCacheMode(canvas, CACHE_GPU);
  EXPECT_TRUE(canvas->hw.on_gpu);
  EXPECT_NE(canvas->pixels, nullptr);

  // Null and nameless bitmaps are ignored.
  ZY_SetBitmapCacheMode(nullptr, CACHE_GPU);
  ZY_Bitmap blank;
  memset(&blank, 0, sizeof blank);
  ZY_SetBitmapCacheMode(&blank, CACHE_GPU);
  EXPECT_EQ(blank.cache_mode, CACHE_NOTHING);
}

TEST_F(BitmapTest, SelectingAFrameCopiesItIntoTheBitmap) {
  ZY_Bitmap *seq = ZY_LoadBitmap("seq", CACHE_NOTHING);
  ZY_Bitmap *frames = (ZY_Bitmap *)calloc(3, sizeof(ZY_Bitmap));
  uint32_t pixels[3] = {RED, GREEN, BLUE};
  for (int i = 0; i < 3; i++) {
    frames[i].width = i + 1;
    frames[i].height = 10 + i;
    frames[i].flags = i == 1 ? ZY_BITMAP_HAS_ALPHA : 0;
    frames[i].hw.left = 0.1f * (float)i;
    frames[i].hw.on_gpu = 1;
    frames[i].pixels = &pixels[i];  // not owned: the frames are dropped by hand below
  }
  seq->frames = frames;
  seq->frame_count = 3;

  ZY_SelectBitmapFrame(seq, -5);
  EXPECT_EQ(seq->width, 1);
  EXPECT_EQ(seq->height, 10);
  EXPECT_EQ(seq->pixels, &pixels[0]);
  ZY_SelectBitmapFrame(seq, 4);
  EXPECT_EQ(seq->width, 2);
  EXPECT_EQ(seq->height, 11);
  EXPECT_TRUE(seq->flags & ZY_BITMAP_HAS_ALPHA);
  EXPECT_FLOAT_EQ(seq->hw.left, 0.1f);
  EXPECT_EQ(seq->select_frame, 1);
  ZY_SelectBitmapFrame(seq, 2);
  EXPECT_FALSE(seq->flags & ZY_BITMAP_HAS_ALPHA);
  EXPECT_EQ(seq->pixels, &pixels[2]);

  // Without frames nothing changes.
  WriteImage("still.png", 6, 6, RED);
  ZY_Bitmap *still = ZY_LoadBitmap("still", CACHE_SYSMEM);
  ZY_SelectBitmapFrame(still, 3);
  EXPECT_EQ(still->width, 6);

  free(frames);
  seq->frames = nullptr;
  seq->frame_count = 0;
  seq->pixels = nullptr;
  memset(&seq->hw, 0, sizeof seq->hw);
}

namespace {

void LoadQueued(void *) { ZY_LoadBitmap("queued", CACHE_GPU); }

}  // namespace

TEST_F(BitmapTest, ANewDeviceGetsEveryLiveBitmapBack) {
  WriteImage("gpu.png", 4, 4, RED);
  WriteImage("both.png", 4, 4, GREEN);
  WriteImage("asleep.png", 4, 4, BLUE);
  WriteImage("queued.png", 4, 4, BLUE);
  ZY_Bitmap *gpu = ZY_LoadBitmap("gpu", CACHE_GPU);
  ZY_Bitmap *both = ZY_LoadBitmap("both", CACHE_SYSMEM | CACHE_GPU);
  ZY_Bitmap *asleep = ZY_LoadBitmap("asleep", CACHE_GPU);
  ZY_ReleaseBitmap(asleep);
  ZY_Bitmap *canvas = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  ASSERT_TRUE(ZY_RefreshBitmap(canvas));  // uploads it
  ZY_Bitmap *target = ZY_CreateBitmap("target", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ZY_LoadBitmap("!placeholder", CACHE_GPU);
  OnThread(LoadQueued, nullptr);
  ZY_Bitmap *queued = ZY_LoadBitmap("queued", CACHE_LOOKUP_ONLY);
  ASSERT_TRUE(ZYI_BitmapQueuedForUpload(queued));
  EXPECT_EQ(rec.live.size(), 4u);

  // The old device goes: every texture is freed on it.
  ZYI_ReleaseBitmapsDeviceData();
  EXPECT_TRUE(rec.live.empty());
  EXPECT_EQ(rec.misused_frees, 0);
  for (ZY_Bitmap *b : {gpu, both, canvas, target}) EXPECT_FALSE(b->hw.on_gpu) << b->name;

  rec.bitmap_calls.clear();
  ZYI_RecreateBitmaps(ZYI_PostEvent);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>(
                                  {"load gpu", "load both", "load canvas", "upload target"}));
  EXPECT_EQ(Logged("Bitmap 'queued' already queued for upload."), 1);
  EXPECT_TRUE(gpu->hw.on_gpu);
  EXPECT_EQ(gpu->pixels, nullptr);  // reloaded from its file, dropped after the upload
  EXPECT_NE(both->pixels, nullptr);
  EXPECT_FALSE(asleep->hw.on_gpu);  // count 0: stays asleep
  EXPECT_TRUE(target->hw.on_gpu);

  // The program hears about the render target once the queued events are delivered.
  EXPECT_TRUE(bitmaptest::ReceivedEvents().empty());
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(bitmaptest::ReceivedEvents().size(), 1u);
  EXPECT_EQ(bitmaptest::ReceivedEvents()[0].type, (uint32_t)ZY_EVENT_RENDER_TARGET_LOST);
  EXPECT_EQ(bitmaptest::ReceivedEvents()[0].render_target.bitmap, target);
}

TEST_F(BitmapTest, RenderTargetsAreListedForTheResizeEvent) {
  ZY_Bitmap *a = ZY_CreateBitmap("a", 4, 4, ZY_BITMAP_RENDER_TARGET);
  ZY_CreateBitmap("pixels", 4, 4, ZY_BITMAP_PIXELS);
  ZY_Bitmap *b = ZY_CreateBitmap("b", 4, 4, ZY_BITMAP_RENDER_TARGET);
  std::vector<ZY_Bitmap *> seen;
  ZYI_ForEachRenderTargetBitmap(
      [](ZY_Bitmap *bitmap, void *user) {
        ((std::vector<ZY_Bitmap *> *)user)->push_back(bitmap);
      },
      &seen);
  EXPECT_EQ(seen, std::vector<ZY_Bitmap *>({a, b}));
}
