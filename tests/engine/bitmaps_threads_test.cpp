// Bitmaps loaded and released from several program threads while the main thread runs
// frames: counts stay exact, every texture is made and freed on the main thread, and
// the queues end empty. Meant to run under ThreadSanitizer as well (suite BitmapThreads).
#include <atomic>
#include <chrono>
#include <thread>

#include "bitmaps_test.h"

namespace {

const int THREADS = 4;
const int ITERATIONS = 150;
const char *const NAMES[] = {"s0", "s1", "s2", "s3", "s4", "s5"};
const int NAME_COUNT = (int)(sizeof NAMES / sizeof NAMES[0]);

struct Stress {
  std::atomic<int> finished{0};
  std::atomic<int> next_seed{0};
  std::atomic<int> null_handles{0};
};

// One program thread: loads and releases the shared names in a pattern of its own,
// sometimes between frames (holding MAIN_LOOP), and finally keeps one reference to
// "held".
void Worker(void *arg) {
  Stress *s = (Stress *)arg;
  int seed = s->next_seed.fetch_add(1);
  for (int i = 0; i < ITERATIONS; i++) {
    const char *name = NAMES[(seed * 5 + i * 7) % NAME_COUNT];
    switch ((seed + i) % 3) {
      case 0: {
        ZY_Bitmap *b = ZY_LoadBitmap(name, CACHE_GPU);
        if (!b) s->null_handles++;
        ZY_ReleaseBitmap(b);
        break;
      }
      case 1: {
        ZY_Bitmap *a = ZY_LoadBitmap(name, CACHE_SYSMEM | CACHE_GPU);
        ZY_Bitmap *b = ZY_LoadBitmap(name, CACHE_GPU);
        if (!a || a != b) s->null_handles++;
        ZY_ReleaseBitmap(b);
        ZY_ReleaseBitmap(a);
        break;
      }
      default: {
        ZY_LockMainLoop();
        ZY_Bitmap *b = ZY_LoadBitmap(name, CACHE_GPU);
        if (!b) s->null_handles++;
        ZY_UnlockMainLoop();
        ZY_ReleaseBitmap(b);
        break;
      }
    }
    // A short pause lets the frames run between the requests of the threads.
    if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  if (!ZY_LoadBitmap("held", CACHE_GPU)) s->null_handles++;
  s->finished++;
}

// One frame as the frame loop runs it: drawing under MAIN_LOOP, a short release of it,
// then the resource queues.
void Frame(void) {
  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
  ZYI_DrawBeginPass();
  ZY_DrawRect(0, 0, 10, 10);
  ZYI_Flush();
  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
  ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
  ZYI_ProcessResourceQueues();
  ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
}

}  // namespace

class BitmapThreads : public BitmapTest {};

TEST_F(BitmapThreads, LoadsAndReleasesFromProgramThreadsKeepCountsAndTexturesRight) {
  for (const char *n : NAMES) WriteImage(std::string(n) + ".png", 4, 4, 0xFF336699u);
  WriteImage("held.png", 4, 4, 0xFF336699u);
  Stress stress;
  for (int t = 0; t < THREADS; t++)
    ASSERT_NE(ZY_CreateThread("Loader", Worker, &stress, 0), nullptr);

  int frames = 0;
  while (stress.finished.load() < THREADS) {
    Frame();
    frames++;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  while (ZYI_LiveThreadCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // Whatever the threads queued last is served by the next frames.
  for (int i = 0; i < 10 && (ZYI_BitmapUploadQueueLength() || ZYI_BitmapReleaseQueueLength()); i++)
    Frame();

  EXPECT_GT(frames, 0);
  EXPECT_GT(rec.Count("load"), 0);  // uploads were made, by the frames
  EXPECT_EQ(stress.null_handles.load(), 0);
  for (const char *n : NAMES) {
    ZY_Bitmap *b = ZY_LoadBitmap(n, CACHE_LOOKUP_ONLY);
    ASSERT_NE(b, nullptr) << n;
    EXPECT_EQ(b->ref_count, 0) << n;
    EXPECT_EQ(b->cache_mode, CACHE_NOTHING) << n;
    EXPECT_EQ(b->pixels, nullptr) << n;
    EXPECT_FALSE(b->hw.on_gpu) << n;
  }
  ZY_Bitmap *held = ZY_LoadBitmap("held", CACHE_LOOKUP_ONLY);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(held->ref_count, THREADS);
  EXPECT_TRUE(held->hw.on_gpu);
  EXPECT_EQ(held->pixels, nullptr);

  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 0);
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 0);
  EXPECT_EQ(rec.off_main_calls.load(), 0);
  EXPECT_EQ(rec.misused_frees, 0);
  EXPECT_EQ(rec.live.size(), 1u);  // only the held bitmap's texture is alive
  EXPECT_EQ(Popups("Bitmap 's0' reference count less than zero."), 0);
  EXPECT_EQ(zy::bitmaps.count, NAME_COUNT + 1);
}

namespace {

struct TargetStress {
  std::atomic<int> finished{0};
  std::atomic<int> failures{0};
};

// Render targets made and released by a thread while the main thread lists them.
void TargetWorker(void *arg) {
  TargetStress *s = (TargetStress *)arg;
  for (int i = 0; i < 100; i++) {
    ZY_Bitmap *t = ZY_CreateBitmap(i % 2 ? "rt-a" : "rt-b", 8, 8, ZY_BITMAP_RENDER_TARGET);
    if (!t) s->failures++;
    ZY_ReleaseBitmap(t);
  }
  s->finished++;
}

}  // namespace

TEST_F(BitmapThreads, RenderTargetsComeAndGoWhileTheMainThreadListsThem) {
  // With reference counting a released render target is destroyed, which only the main
  // thread may do: a program thread's last release is refused and the target stays.
  TargetStress stress;
  ASSERT_NE(ZY_CreateThread("Targets", TargetWorker, &stress, 0), nullptr);
  int listed = 0;
  while (stress.finished.load() < 1) {
    ZYI_ForEachRenderTargetBitmap([](ZY_Bitmap *, void *n) { (*(int *)n)++; }, &listed);
    Frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  while (ZYI_LiveThreadCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  Frame();
  EXPECT_EQ(stress.failures.load(), 0);
  EXPECT_EQ(rec.off_main_calls.load(), 0);
  ZY_Bitmap *a = ZY_LoadBitmap("rt-a", CACHE_LOOKUP_ONLY);
  ZY_Bitmap *b = ZY_LoadBitmap("rt-b", CACHE_LOOKUP_ONLY);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->ref_count, 0);
  EXPECT_EQ(b->ref_count, 0);
  EXPECT_TRUE(a->hw.on_gpu);  // made by the frame from the upload queue
  EXPECT_TRUE(b->hw.on_gpu);
  // Got once more and released on the main thread, they are destroyed.
  ZY_CreateBitmap("rt-a", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ZY_CreateBitmap("rt-b", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ZY_ReleaseBitmap(a);
  ZY_ReleaseBitmap(b);
  EXPECT_EQ(a->name, nullptr);
  EXPECT_EQ(b->name, nullptr);
  EXPECT_TRUE(rec.live.empty());
}
