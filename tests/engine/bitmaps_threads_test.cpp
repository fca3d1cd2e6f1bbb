// Bitmaps and program threads (suite BitmapThreads, also run under ThreadSanitizer): loads
// from other threads queue their upload for the frame, texture frees go through the
// release queue, the queue service keeps its time budget, background-upload renderers
// take work from any thread, GPU work other threads may not do is refused, a new device
// gets every live bitmap back; and loader threads racing running frames.
#include <chrono>

#include "engine_test.h"

class BitmapThreads : public EngineTest {};

namespace {

const uint32_t RED = 0xFF0000FFu;

}  // namespace

TEST_F(BitmapThreads, LoadsFromAnotherThreadQueueTheirUploadForTheFrame) {
  for (const char *f : {"a.png", "b.png", "c.png"}) WriteImage(f, 8, 4, RED);
  ZY_Bitmap *a = nullptr, *b = nullptr, *c = nullptr, *rt = nullptr;
  std::thread([&] {
    a = ZY_LoadBitmap("a", CACHE_GPU);
    ZY_LoadBitmap("a", CACHE_GPU);  // queued once
    b = ZY_LoadBitmap("b", CACHE_SYSMEM | CACHE_GPU);
    c = ZY_LoadBitmap("c", CACHE_GPU);
    rt = ZY_CreateBitmap("rt", 16, 16, ZY_BITMAP_RENDER_TARGET);
  }).join();
  EXPECT_TRUE(a->state == ZY_BITMAP_STATE_READY && a->pixels && !a->hw.on_gpu);  // until uploaded
  EXPECT_EQ(ZYI_BitmapUploadQueueLength(), 4);
  std::thread([&] { ZY_ReleaseBitmap(c); }).join();  // released while queued: it leaves the queue
  EXPECT_EQ(Logged("Bitmap 'c' still in hardware upload queue. Removing it."), 1);
  EXPECT_TRUE(rec.bitmap_calls.empty());
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(BitmapCalls(), "load a, load b, upload rt");
  EXPECT_TRUE(a->hw.on_gpu && b->hw.on_gpu && rt->hw.on_gpu && !c->pixels);
  EXPECT_TRUE(!a->pixels && b->pixels);  // only pixels asked for stay
  EXPECT_EQ(ZYI_BitmapUploadQueueLength() + rec.off_main, 0);
  // An entry whose data is gone by the time the frame serves it is reported and dropped.
  std::thread([&] { ZY_LoadBitmap("c", CACHE_GPU); }).join();
  ZYI_BitmapLock(c);
  ZYI_BitmapFreePixels(c);
  ZYI_BitmapUnlock(c);
  ZYI_ProcessResourceQueues();
  EXPECT_EQ(Logged("ResourceQueue unpacking Bitmap 'c' data is not valid anymore. Most likely "
                   "it has just been released."), 1);
  EXPECT_EQ(rec.bitmap_calls.size(), 3u);
}

TEST_F(BitmapThreads, TheQueueServiceStopsWhenItsTimeBudgetIsSpentButFreesEverything) {
  ZYH_ClockSetManual(true, 1000);
  zy::core.start_time = ZYH_TimeMs();
  const char *names[] = {"q0", "q1", "q2", "q3", "q4"};
  for (const char *n : names) WriteImage(std::string(n) + ".png", 2, 2, RED);
  std::thread([&] {
    for (const char *n : names) ZY_LoadBitmap(n, CACHE_GPU);
  }).join();
  rec.upload_cost_ms = 30;  // more than 50 ms have passed after the second upload
  for (int32_t left : {3, 1, 0}) {
    ZYI_ProcessResourceQueues();
    EXPECT_EQ(ZYI_BitmapUploadQueueLength(), left);
  }
  EXPECT_EQ(BitmapCalls(), "load q0, load q1, load q2, load q3, load q4");
  std::thread([&] {  // hibernated on the thread: the textures wait for the frame
    for (const char *n : names) ZY_ReleaseBitmap(ZY_LoadBitmap(n, CACHE_LOOKUP_ONLY));
  }).join();
  EXPECT_EQ(ZYI_BitmapReleaseQueueLength(), 5);
  EXPECT_EQ(rec.live.size(), 5u);
  ZYI_ProcessResourceQueues();  // frees are not held back by the budget
  EXPECT_TRUE(ZYI_BitmapReleaseQueueLength() == 0 && rec.live.empty());
  EXPECT_TRUE(Logged("Freeing bitmap hardware data 2x2.") == 5 && rec.misuse + rec.off_main == 0);
}

TEST_F(BitmapThreads, GpuWorkFromOtherThreadsIsRefusedUnlessTheRendererTakesIt) {
  WriteImage("a.png", 2, 2, RED);
  WriteImage("b.png", 2, 2, RED);
  ZY_Bitmap *a = ZY_LoadBitmap("a", CACHE_SYSMEM | CACHE_GPU), *b = nullptr;
  bool refreshed = true;
  std::thread([&] {
    refreshed = ZY_RefreshBitmap(a);
    ZYI_CallRendererToLoadBitmap(a);
    ZYI_CallRendererToFreeBitmap(&a->hw);
  }).join();
  ZYI_BitmapsSetReferenceCounting(false);
  std::thread([&] { ZY_ReleaseBitmap(a); }).join();  // destroying takes the main thread
  EXPECT_FALSE(refreshed);
  for (const char *text :
       {"Refreshing bitmaps from another thread than main has not been tested properly yet. Not "
        "refreshing bitmap.",
        "ZYI_CallRendererToLoadBitmap from non-renderer thread. Code fix required.",
        "ZYI_CallRendererToFreeBitmap from non-renderer thread. Code fix required.",
        "ZY_ReleaseBitmap 'a' without reference counting is not possible from non-main thread."})
    EXPECT_EQ(Popups(text), 1) << text;
  EXPECT_TRUE(BitmapCalls() == "load a" && a->name && a->hw.on_gpu && rec.off_main == 0);
  rec.background = true;  // a renderer with background uploads takes them from any thread
  ZYI_BitmapsSetReferenceCounting(true);
  std::thread([&] { b = ZY_LoadBitmap("b", CACHE_GPU); }).join();
  EXPECT_TRUE(ZYI_BitmapUploadQueueLength() == 0 && b->hw.on_gpu && !b->pixels);
  std::thread([&] { ZY_ReleaseBitmap(b); }).join();
  EXPECT_TRUE(ZYI_BitmapReleaseQueueLength() == 0 && rec.live.size() == 1 && rec.off_main == 2);
}

TEST_F(BitmapThreads, ANewDeviceGetsEveryLiveBitmapBack) {
  for (const char *f : {"gpu.png", "both.png", "asleep.png", "queued.png"})
    WriteImage(f, 4, 4, RED);
  ZY_Bitmap *gpu = ZY_LoadBitmap("gpu", CACHE_GPU);
  ZY_Bitmap *both = ZY_LoadBitmap("both", CACHE_SYSMEM | CACHE_GPU);
  ZY_Bitmap *asleep = ZY_LoadBitmap("asleep", CACHE_GPU);
  ZY_ReleaseBitmap(asleep);
  ZY_Bitmap *canvas = ZY_CreateBitmap("canvas", 2, 2, ZY_BITMAP_PIXELS);
  ASSERT_TRUE(ZY_RefreshBitmap(canvas));  // uploads it
  ZY_Bitmap *target = ZY_CreateBitmap("target", 8, 8, ZY_BITMAP_RENDER_TARGET);
  ZY_LoadBitmap("!placeholder", CACHE_GPU);
  std::thread([] { ZY_LoadBitmap("queued", CACHE_GPU); }).join();
  ZYI_ReleaseBitmapsDeviceData();  // the old device goes: every texture is freed on it
  EXPECT_TRUE(rec.live.empty() && rec.misuse == 0);
  for (ZY_Bitmap *b : {gpu, both, canvas, target}) EXPECT_FALSE(b->hw.on_gpu) << b->name;
  rec.bitmap_calls.clear();
  static std::vector<ZY_InputEvent> events;  // what the program hears
  events.clear();
  prog.event = [](ZY_InputEvent ev) -> uint32_t { return events.push_back(ev), 0; };
  ZYI_RecreateBitmaps(ZYI_PostEvent);
  EXPECT_EQ(BitmapCalls(), "load gpu, load both, load canvas, upload target");
  EXPECT_EQ(Logged("Bitmap 'queued' already queued for upload."), 1);
  EXPECT_TRUE(gpu->hw.on_gpu && !gpu->pixels && both->pixels);  // reloaded as they were
  EXPECT_FALSE(asleep->hw.on_gpu);  // count 0: stays asleep
  EXPECT_TRUE(events.empty());  // it hears of the target once the events are delivered
  ZYI_DeliverQueuedEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].type == ZY_EVENT_RENDER_TARGET_LOST && events[0].render_target.bitmap == target);
}

namespace {

struct Stress {
  std::atomic<int> finished{0}, next_seed{0}, failures{0};
};
const char *const NAMES[] = {"s0", "s1", "s2", "s3", "s4", "s5"};

// One program thread: loads and releases the shared names in a pattern of its own,
// sometimes between frames (holding MAIN_LOOP), and finally keeps one reference to "held".
void Worker(void *arg) {
  Stress *s = (Stress *)arg;
  const int seed = s->next_seed.fetch_add(1);
  for (int i = 0; i < 150; i++) {
    const char *name = NAMES[(seed * 5 + i * 7) % 6];
    const int kind = (seed + i) % 3;
    if (kind == 2) ZY_LockMainLoop();
    ZY_Bitmap *a = ZY_LoadBitmap(name, kind == 1 ? CACHE_SYSMEM | CACHE_GPU : CACHE_GPU);
    ZY_Bitmap *b = kind == 1 ? ZY_LoadBitmap(name, CACHE_GPU) : a;
    if (kind == 2) ZY_UnlockMainLoop();
    s->failures += !a || a != b;
    if (kind == 1) ZY_ReleaseBitmap(b);
    ZY_ReleaseBitmap(a);
    if (i % 4 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));  // let frames run
  }
  s->failures += !ZY_LoadBitmap("held", CACHE_GPU);
  s->finished++;
}

// Starts the program threads and runs frames as the frame loop does (drawing and the
// resource queues under MAIN_LOOP) until the threads are done and the queues empty.
void RunFrames(void (*worker)(void *), int threads) {
  Stress s;
  for (int t = 0; t < threads; t++) ASSERT_NE(ZY_CreateThread("Loader", worker, &s, 0), nullptr);
  for (int after = 0; after < 10 && (s.finished < threads || ZYI_BitmapUploadQueueLength() ||
                                     ZYI_BitmapReleaseQueueLength());
       after += s.finished == threads) {
    ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
    ZYI_DrawBeginPass();
    ZY_DrawRect(0, 0, 10, 10);
    ZYI_Flush();
    ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
    ZYI_Lock(ZYI_LOCK_MAIN_LOOP);
    ZYI_ProcessResourceQueues();
    ZYI_Unlock(ZYI_LOCK_MAIN_LOOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  while (ZYI_LiveThreadCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(ZYI_BitmapUploadQueueLength() + ZYI_BitmapReleaseQueueLength() + s.failures, 0);
}

}  // namespace

TEST_F(BitmapThreads, LoadsAndReleasesFromProgramThreadsKeepCountsAndTexturesRight) {
  for (const char *n : {"s0", "s1", "s2", "s3", "s4", "s5", "held"})
    WriteImage(std::string(n) + ".png", 4, 4, RED);
  RunFrames(Worker, 4);
  EXPECT_NE(BitmapCalls().find("load"), std::string::npos);  // uploads were made, by the frames
  for (const char *n : NAMES) {
    ZY_Bitmap *b = ZY_LoadBitmap(n, CACHE_LOOKUP_ONLY);
    EXPECT_TRUE(b->ref_count == 0 && b->cache_mode == CACHE_NOTHING && !b->pixels) << n;
    EXPECT_FALSE(b->hw.on_gpu) << n;
  }
  ZY_Bitmap *held = ZY_LoadBitmap("held", CACHE_LOOKUP_ONLY);
  EXPECT_TRUE(held->ref_count == 4 && held->hw.on_gpu && !held->pixels);
  EXPECT_EQ(rec.off_main + rec.misuse, 0);
  EXPECT_EQ(rec.live.size(), 1u);  // only the held bitmap's texture is alive
  EXPECT_EQ(zy::bitmaps.count, 7);
}
