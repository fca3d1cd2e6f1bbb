// GPU work for bitmaps: loads from program threads queue their upload for the main
// thread, texture frees from threads go through the release queue, the per-frame
// service and its time budget, background-upload renderers, the renderer calls and
// their messages, and a missing renderer.
#include "bitmaps_test.h"

#include "engine/bitmaps_internal.h"

namespace {

const uint32_t RED = 0xFF0000FFu;

struct Job {
  const char *name;
  int32_t mode;
  ZY_Bitmap *bitmap;
};

void LoadJob(void *p) {
  Job *j = (Job *)p;
  j->bitmap = ZY_LoadBitmap(j->name, j->mode);
}

void ReleaseJob(void *p) { ZY_ReleaseBitmap(((Job *)p)->bitmap); }

}  // namespace

TEST_F(BitmapTest, ALoadFromAnotherThreadQueuesTheUploadForTheFrame) {
  WriteImage("a.png", 8, 4, RED);
  Job job{"a", CACHE_GPU, nullptr};
  OnThread(LoadJob, &job);
  ZY_Bitmap *a = job.bitmap;
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->state, ZY_BITMAP_STATE_READY);
  EXPECT_NE(a->pixels, nullptr);  // kept until the upload
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_TRUE(rec.bitmap_calls.empty());
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 1);
  // A second load from a thread does not queue it twice.
  OnThread(LoadJob, &job);
  EXPECT_EQ(a->ref_count, 2);
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 1);

  ZYI_ProcessResourceQueues();
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load a"}));
  EXPECT_TRUE(a->hw.on_gpu);
  EXPECT_EQ(a->pixels, nullptr);  // the cache mode wants the GPU only
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_EQ(rec.off_main_calls, 0);

  // Pixels asked for stay in memory after the queued upload.
  WriteImage("b.png", 2, 2, RED);
  Job keep{"b", CACHE_SYSMEM | CACHE_GPU, nullptr};
  OnThread(LoadJob, &keep);
  ZYI_ProcessResourceQueues();
  EXPECT_TRUE(keep.bitmap->hw.on_gpu);
  EXPECT_NE(keep.bitmap->pixels, nullptr);
}

TEST_F(BitmapTest, TheQueueServiceStopsWhenItsTimeBudgetIsSpent) {
  ZYH_ClockSetManual(true, 1000);
  zy::core.start_time = ZYH_TimeMs();
  const char *names[] = {"q0", "q1", "q2", "q3", "q4"};
  for (const char *n : names) {
    WriteImage(std::string(n) + ".png", 2, 2, RED);
    Job job{n, CACHE_GPU, nullptr};
    OnThread(LoadJob, &job);
  }
  ASSERT_EQ(ZYI_BitmapUploadQueueLength(), 5);
  rec.upload_cost_ms = 30;  // more than 50 ms have passed after the second upload

  ZYI_ProcessResourceQueues();
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load q0", "load q1"}));
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 3);
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 1);
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_EQ(rec.bitmap_calls,
            std::vector<std::string>({"load q0", "load q1", "load q2", "load q3", "load q4"}));

  // Queued texture frees are not held back by the budget.
  rec.upload_cost_ms = 0;
  for (const char *n : names) {
    Job job{n, 0, ZY_LoadBitmap(n, CACHE_LOOKUP_ONLY)};
    OnThread(ReleaseJob, &job);
  }
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 5);
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 0);
  EXPECT_TRUE(rec.live.empty());
}

TEST_F(BitmapTest, TexturesDroppedOnAnotherThreadAreFreedByTheFrame) {
  WriteImage("a.png", 16, 8, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  ASSERT_TRUE(a->hw.on_gpu);
  void *texture = a->hw.texture;
  Job job{"a", 0, a};
  OnThread(ReleaseJob, &job);  // hibernates on the thread
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_EQ(a->hw.texture, nullptr);
  EXPECT_EQ(rec.Count("free"), 0);
  EXPECT_EQ(rec.live.count(texture), 1u);
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 1);

  ZYI_ProcessResourceQueues();
  EXPECT_EQ(Logged("Freeing bitmap hardware data 16x8."), 1);
  EXPECT_EQ(rec.Count("free"), 1);
  EXPECT_TRUE(rec.live.empty());
  EXPECT_EQ(rec.misused_frees, 0);
  EXPECT_EQ(rec.off_main_calls, 0);
}

TEST_F(BitmapTest, ABitmapReleasedWhileQueuedLeavesTheQueue) {
  WriteImage("a.png", 2, 2, RED);
  Job job{"a", CACHE_GPU, nullptr};
  OnThread(LoadJob, &job);
  ASSERT_TRUE(ZYI_BitmapQueuedForUpload(job.bitmap));
  OnThread(ReleaseJob, &job);
  EXPECT_EQ(Logged("Bitmap 'a' still in hardware upload queue. Removing it."), 1);
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_EQ(job.bitmap->pixels, nullptr);
  ZYI_ProcessResourceQueues();
  EXPECT_TRUE(rec.bitmap_calls.empty());

  // An entry whose data is gone by the time the frame serves it is reported and dropped.
  OnThread(LoadJob, &job);
  ZYI_BitmapLock(job.bitmap);
  ZYI_BitmapFreePixels(job.bitmap);
  ZYI_BitmapUnlock(job.bitmap);
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(Logged("ResourceQueue unpacking Bitmap 'a' data is not valid anymore. Most likely "
                   "it has just been released."),
            1);
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_TRUE(rec.bitmap_calls.empty());
}

TEST_F(BitmapTest, RenderTargetsMadeOnAnotherThreadGetTheirSurfaceFromTheFrame) {
  struct Made {
    ZY_Bitmap *target;
  } made{nullptr};
  OnThread([](void *p) { ((Made *)p)->target = ZY_CreateBitmap("rt", 16, 16, 1); }, &made);
  ASSERT_NE(made.target, nullptr);
  EXPECT_TRUE(made.target->flags & ZY_BITMAP_IS_RENDER_TARGET);
  EXPECT_EQ(made.target->state, ZY_BITMAP_STATE_READY);
  EXPECT_EQ(made.target->pixels, nullptr);
  EXPECT_TRUE(rec.bitmap_calls.empty());
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"upload rt"}));
  EXPECT_TRUE(made.target->hw.on_gpu);
}

TEST_F(BitmapTest, ARendererWithBackgroundUploadsTakesThemFromAnyThread) {
  rec.background = true;
  WriteImage("a.png", 2, 2, RED);
  Job job{"a", CACHE_GPU, nullptr};
  OnThread(LoadJob, &job);
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load a"}));
  EXPECT_TRUE(job.bitmap->hw.on_gpu);
  EXPECT_EQ(job.bitmap->pixels, nullptr);
  EXPECT_EQ(rec.off_main_calls, 1);
  // No developer popup about the thread: the renderer accepts it.
  ZYI_ShowQueuedPopups();
  EXPECT_EQ(Popups("ZYI_CallRendererToLoadBitmap from non-renderer thread. Code fix required."), 0);
  EXPECT_EQ(Popups("Call to Flush from non-renderer thread."), 0);
  OnThread(ReleaseJob, &job);
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 0);
  EXPECT_TRUE(rec.live.empty());
}

TEST_F(BitmapTest, RendererCallsReportMisuse) {
  EXPECT_FALSE(ZYI_CallRendererToLoadBitmap(nullptr));
  EXPECT_EQ(Logged("ZYI_CallRendererToLoadBitmap: parameter is null bitmap."), 1);
  ZY_Bitmap *empty = ZY_LoadBitmap("empty", CACHE_NOTHING);
  EXPECT_FALSE(ZYI_CallRendererToLoadBitmap(empty));
  EXPECT_EQ(Logged("ZYI_CallRendererToLoadBitmap: Bitmap 'empty' missing pixels."), 1);

  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  EXPECT_TRUE(ZYI_CallRendererToLoadBitmap(a));  // again: the old texture goes first
  EXPECT_EQ(
      Logged("ZYI_CallRendererToLoadBitmap: Bitmap 'a' already loaded to gpu. Freeing..."), 1);
  EXPECT_EQ(rec.bitmap_calls, std::vector<std::string>({"load a", "free", "load a"}));
  EXPECT_EQ(rec.live.size(), 1u);

  OnThread([](void *p) { ZYI_CallRendererToLoadBitmap((ZY_Bitmap *)p); }, a);
  OnThread([](void *p) { ZYI_CallRendererToFreeBitmap(&((ZY_Bitmap *)p)->hw); }, a);
  ZYI_ShowQueuedPopups();
  EXPECT_EQ(Popups("ZYI_CallRendererToLoadBitmap from non-renderer thread. Code fix required."), 1);
  EXPECT_EQ(Popups("ZYI_CallRendererToFreeBitmap from non-renderer thread. Code fix required."), 1);
  EXPECT_EQ(rec.off_main_calls, 0);
  EXPECT_TRUE(a->hw.on_gpu);

  ZYI_CallRendererToFreeBitmap(nullptr);
  EXPECT_EQ(Logged("ZYI_CallRendererToFreeBitmap: parameter is null bitmap hw data."), 1);
  ZY_BitmapHardware stray;
  memset(&stray, 0, sizeof stray);
  stray.texture = (void *)0x1234;
  ZYI_CallRendererToFreeBitmap(&stray);
  char text[200];
  snprintf(text, sizeof text,
           "ZYI_CallRendererToFreeBitmap: Bitmap %x not loaded to gpu but implementation data "
           "exists.",
           (unsigned)(uintptr_t)&stray);
  EXPECT_EQ(Logged(text), 1);

  ZYI_QueueBitmapHardwareDataRelease(empty);
  EXPECT_EQ(Logged("ZYI_QueueBitmapHardwareDataRelease: Bitmap 'empty' hw data is not ready. No "
                   "reason to release."),
            1);
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 0);
}

TEST_F(BitmapTest, AFailedUploadIsReportedWithTheSize) {
  rec.fail_loads = true;
  WriteImage("a.png", 6, 3, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_GPU);
  EXPECT_EQ(Logged("Unable to upload bitmap 'a' (6x3) to renderer.\n"), 1);
  EXPECT_FALSE(a->hw.on_gpu);
  EXPECT_NE(a->pixels, nullptr);  // nothing on the GPU: the pixels are not dropped
}

TEST_F(BitmapTest, AMissingRendererIsAwaitedForASecondThenGivenUp) {
  ZYH_ClockSetManual(true, 5000);
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM);
  zy::modules.renderer = nullptr;
  uint32_t before = ZYH_TimeMs();
  ZY_SetBitmapCacheMode(a, CACHE_SYSMEM | CACHE_GPU);
  EXPECT_EQ(ZYH_TimeMs() - before, 1000u);  // ten waits of 100 ms (manual clock)
  EXPECT_EQ(Logged("Renderer implementation lost, trying to regain...\n"), 1);
  EXPECT_EQ(Logged("Unable to upload bitmap 'a' (2x2) to renderer.\n"), 0);
  EXPECT_FALSE(a->hw.on_gpu);
  zy::modules.renderer = &rec;
}

TEST_F(BitmapTest, DrawingAfterARefreshUsesTheNewTexture) {
  WriteImage("a.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU);
  void *old_texture = a->hw.texture;
  ZY_DrawBitmap(a, 0, 0);
  ASSERT_TRUE(ZY_RefreshBitmap(a));  // the batch is drawn before the old texture goes
  ASSERT_EQ(rec.draws.size(), 1u);
  EXPECT_EQ(rec.bound_textures.back(), old_texture);
  void *new_texture = a->hw.texture;
  EXPECT_NE(new_texture, old_texture);
  EXPECT_EQ(rec.live.count(old_texture), 0u);
  ZY_DrawBitmap(a, 0, 0);
  ZYI_Flush();
  ASSERT_EQ(rec.draws.size(), 2u);
  EXPECT_EQ(rec.bound_textures.back(), new_texture);
}
