// bitmaps_test.h — the fixture the bitmap resource tests share: the engine brought up
// in-process with a recording renderer that hands out textures.
//
// Each test gets locks, a file system over its own game folder (res:// is a search
// path), the log with its in-memory history (popups are on and logged as "[POPUP] ..."),
// the image loader, the render command layer on the recording renderer, and the bitmap
// table with reference counting on. Image files are written into the game folder by the
// image loader's own savers.
//
// The renderer records every bitmap call in order ("load name", "free", "upload name",
// "refresh name"), keeps the set of textures alive (a free of a texture that is not
// alive is misuse), counts calls made off the main thread, and may charge each upload
// some milliseconds of the manual clock.
#pragma once

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "config/config.h"
#include "config/didodoz.h"
#include "lifecycle/input.h"
#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "base/threads.h"
#include "draw_test.h"
#include "engine/bitmaps.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/log_file.h"
#include "lifecycle/state.h"

namespace bitmaptest {

class BitmapRenderer : public drawtest::RecordingRenderer {
 public:
  std::atomic<bool> background{false};   // answer of SupportsBackgroundUpload
  std::atomic<int> off_main_calls{0};    // bitmap calls made off the main thread
  std::vector<std::string> bitmap_calls;
  std::set<void *> live;                 // textures handed out and not freed
  std::vector<uint32_t> first_pixels;    // first pixel of every uploaded bitmap
  std::vector<void *> bound_textures;    // texture handle behind every SetTexture
  int misused_frees = 0;
  bool fail_loads = false;
  uint32_t upload_cost_ms = 0;           // manual clock advanced per upload
  intptr_t next_texture = 1;

  void Check() {
    if (!ZY_IsMainThread()) off_main_calls++;
  }
  static std::string NameOf(const ZY_Bitmap *b) {
    return b && b->name ? b->name : "(none)";
  }
  void Fill(ZY_BitmapHardware *hw) {
    void *texture = (void *)next_texture++;
    live.insert(texture);
    hw->on_gpu = 1;
    hw->left = hw->top = 0.0f;
    hw->right = hw->bottom = 1.0f;
    hw->texture = texture;
  }

  bool SupportsBackgroundUpload() override { return background; }
  bool LoadBitmapToGpu(ZY_Bitmap *b) override {
    Check();
    bitmap_calls.push_back("load " + NameOf(b));
    if (upload_cost_ms) ZYH_ClockAdvance(upload_cost_ms);
    if (fail_loads || !b || !b->pixels) return false;
    first_pixels.push_back(b->pixels[0]);
    if (b->hw.texture && live.erase(b->hw.texture) == 0) misused_frees++;
    Fill(&b->hw);
    return true;
  }
  void FreeBitmapFromGpu(ZY_BitmapHardware *hw) override {
    Check();
    bitmap_calls.push_back("free");
    if (!hw || live.erase(hw->texture) == 0) misused_frees++;
    if (hw) {
      hw->texture = nullptr;
      hw->on_gpu = 0;
    }
  }
  void UploadBitmap(ZY_Bitmap *b) override {
    Check();
    bitmap_calls.push_back("upload " + NameOf(b));
    if (b->hw.texture) live.erase(b->hw.texture);
    Fill(&b->hw);
  }
  void SetTexture(int32_t stage, ZY_BitmapHardware *t) override {
    drawtest::RecordingRenderer::SetTexture(stage, t);
    bound_textures.push_back(t ? t->texture : nullptr);
  }
  void RefreshBitmap(ZY_Bitmap *b) override {
    Check();
    bitmap_calls.push_back("refresh " + NameOf(b));
  }
  // The bitmap calls that start with prefix.
  int Count(const std::string &prefix) const {
    int n = 0;
    for (const auto &c : bitmap_calls) n += c.compare(0, prefix.size(), prefix) == 0;
    return n;
  }
};

// Events the test program received.
inline std::vector<ZY_InputEvent> &ReceivedEvents() {
  static std::vector<ZY_InputEvent> events;
  return events;
}
inline uint32_t RecordEvent(ZY_InputEvent ev) {
  ReceivedEvents().push_back(ev);
  return 0;
}

}  // namespace bitmaptest

class BitmapTest : public ZyTest {
 protected:
  bitmaptest::BitmapRenderer rec;
  ZY_ProgramInterface prog;

  void SetUp() override {
    unsetenv("ZYLEM_POPUP_ANSWER");
    testing::internal::CaptureStderr();  // the headless popups echo there
    ZYI_ResetState();
    ASSERT_TRUE(ZYI_ThreadsInit());
    zy::core.main_thread_id = ZYH_ThreadId();
    zy::core.start_time = ZYH_TimeMs();
    ZYI_CreateLocks();
    zy::config.console = 1;   // the log starts, with its history
    zy::config.logging = 0;   // no log file: the history is enough
    zy::config.developer_mode = 1;
    ZYH_SetGameFolder(world.game().c_str());
    ASSERT_TRUE(ZYFS_Init());
    ZYFS_SetNames("TestDev", "TestGame");
    ZY_AddSearchPath(ZY_GetPath(ZY_ROOT_RES, "%s", ""), true);

    memset(&prog, 0, sizeof prog);
    strcpy(prog.title, "Bitmap Test");
    prog.parms.developer_mode = 1;
    prog.parms.reference_counting = 1;
    prog.event = bitmaptest::RecordEvent;
    bitmaptest::ReceivedEvents().clear();
    zy::core.prog = &prog;
    zy::core.core_initialized = 1;  // popups are logged as "[POPUP] ..."
    ZYI_LogOpen();
    ASSERT_TRUE(ZYI_InitImageLoader());

    zy::modules.renderer = &rec;
    zy::modules.colour_order = ZY_COLOUR_ORDER_ARGB_WORD;
    zy::core.renderer_ready = 1;
    ZYI_DrawReset();
    ASSERT_TRUE(ZYI_DrawCreateBuffers());
    ZYI_DrawPushScreenTarget();

    ZYI_BitmapsInit();
    ZYI_BitmapsSetReferenceCounting(true);
  }

  void TearDown() override {
    testing::internal::GetCapturedStderr();
    ZYH_ClockSetManual(false, 0);
    ZYI_BitmapsFree();
    ZYI_DrawReleaseBuffers();
    ZYI_DrawShutdown();
    ZYI_LogClose();
    ZYI_DidodozFree();
    ZYI_ConfigFree();
    ZYFS_Shutdown();
    ZYI_InputShutdown();
    zy::core.prog = nullptr;
    zy::modules.renderer = nullptr;
    ZYI_DeleteLocks();
  }

  // Writes a width x height image of one colour (bytes R, G, B, A) into the game
  // folder with the image loader; the name's ending picks the format.
  void WriteImage(const std::string &name, int32_t width, int32_t height, uint32_t rgba) {
    std::string path = world.game() + "/" + name;
    size_t slash = path.rfind('/');
    zytest::MakeDirs(path.substr(0, slash));
    std::vector<uint32_t> pixels((size_t)width * (size_t)height, rgba);
    ZY_Bitmap b;
    memset(&b, 0, sizeof b);
    b.width = b.alloc_width = width;
    b.height = b.alloc_height = height;
    b.pixels = pixels.data();
    b.flags = ZY_BITMAP_HAS_ALPHA;
    ASSERT_TRUE(ZYI_GetImageLoader()->SaveImage(&b, path.c_str(), 100)) << path;
  }

  // Uses the text as the application feature string (and reads the bitmap settings
  // from it again).
  void SetFeatures(const char *features) {
    free(zy::config.app_features);
    zy::config.app_features = strdup(features);
    ZYI_BitmapsInit();
  }

  // Adds the first array of a data file in the game folder as a manifest (at the end of
  // the list, so earlier calls come first).
  void AddManifest(const std::string &file, const std::string &xml) {
    zytest::WriteFile(world.game() + "/" + file, xml);
    // Without an engine interface table Didodoz reads native paths.
    ZyDidodozFile *f = ZYI_DidodozGetFile((world.game() + "/" + file).c_str());
    ASSERT_NE(f, nullptr);
    ASSERT_GT(f->array_count, 0);
    ZyConfig &c = zy::config;
    ASSERT_TRUE(ZYI_GrowList((void ***)&c.manifest_arrays, &c.manifest_capacity,
                             c.manifest_count + 1));
    c.manifest_arrays[c.manifest_count++] = f->arrays[0];
  }

  // The texts of the log history, oldest first (a line feed ending a text removed).
  static std::vector<std::string> History() {
    std::vector<std::string> texts;
    ZYI_Lock(ZYI_LOCK_PRINT);
    for (int32_t i = 0; i < ZYI_LogHistoryCount(); i++) {
      std::string t = ZYI_LogHistoryRecord(i)->text;
      if (!t.empty() && t.back() == '\n') t.pop_back();
      texts.push_back(t);
    }
    ZYI_Unlock(ZYI_LOCK_PRINT);
    return texts;
  }
  // How many log lines read exactly text (a line feed ending it ignored).
  static int Logged(std::string text) {
    if (!text.empty() && text.back() == '\n') text.pop_back();
    int n = 0;
    for (const auto &t : History()) n += t == text;
    return n;
  }
  // How many times the popup with exactly this text was raised.
  static int Popups(const std::string &text) { return Logged("[POPUP] " + text); }

  // Runs fn on a program thread started with ZY_CreateThread and waits for it to end.
  static void OnThread(void (*fn)(void *), void *arg) {
    std::atomic<bool> done{false};
    struct Job {
      void (*fn)(void *);
      void *arg;
      std::atomic<bool> *done;
    } job{fn, arg, &done};
    ASSERT_NE(ZY_CreateThread(
                  "BitmapWorker",
                  [](void *p) {
                    Job *j = (Job *)p;
                    j->fn(j->arg);
                    j->done->store(true);
                  },
                  &job, 0),
              nullptr);
    // Real sleeps: the manual clock of some tests must not move while waiting.
    while (!done.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (ZYI_LiveThreadCount() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};
