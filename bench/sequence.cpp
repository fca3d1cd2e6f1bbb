// sequence.cpp — building a bitmap sequence, measured against loading its frames.
//
// 300 numbered 64x64 PNGs (game art: a shaded disc that moves and changes colour from
// frame to frame, over a transparent background; 30% of them repeat the frame before)
// are written once into a temporary game folder. "build" is what the engine does for a
// .bms name whose file is missing: count and load the numbered frames, find the
// repeated ones, pack the rest into one atlas, write the .bms (atlas as PNG) into the
// user data folder and read it back. "png" loads the same 300 files with the image
// loader, as 300 single bitmaps would be. The ratio build / png is the cost of making a
// sequence compared to what loading its frames costs anyway.
//
// Run from the build folder: ./bench/bench_sequence
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/state.h"
#include "base/threads.h"
#include "engine/bitmaps_internal.h"
#include "engine/bitmaps_sequence.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/state.h"

namespace {

const int FRAMES = 300, SIDE = 64;
std::string folder;

uint32_t Hash(uint32_t x) {
  x = (x ^ 61) ^ (x >> 16);
  x *= 9;
  x ^= x >> 4;
  x *= 0x27d4eb2d;
  return x ^ (x >> 15);
}

// Frame k's picture; every third or so of the frames shows the picture before it.
int PictureOf(int k) { return k > 0 && Hash((uint32_t)k) % 10 < 3 ? PictureOf(k - 1) : k; }

void WriteFrame(int k) {
  std::vector<uint32_t> pixels(SIDE * SIDE);
  const int p = PictureOf(k), cx = 16 + p % 32, cy = 32, r2 = 18 * 18;
  const uint32_t tint = Hash((uint32_t)p) | 0x404040u;
  for (int y = 0; y < SIDE; y++)
    for (int x = 0; x < SIDE; x++) {
      const int d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      uint8_t *px = (uint8_t *)&pixels[(size_t)(y * SIDE + x)];
      const int shade = 255 - d2 * 128 / r2;
      for (int c = 0; c < 3; c++) px[c] = d2 > r2 ? 0 : (uint8_t)(((tint >> (8 * c)) & 255) * shade >> 8);
      px[3] = d2 > r2 ? 0 : 255;
    }
  ZY_Bitmap bm = {};
  bm.width = bm.alloc_width = bm.height = bm.alloc_height = SIDE;
  bm.pixels = pixels.data(), bm.flags = ZY_BITMAP_HAS_ALPHA;
  char name[64];
  snprintf(name, sizeof name, "/frames/walk_%04d.png", k);
  if (!ZYI_GetImageLoader()->SaveImage(&bm, (folder + name).c_str(), 100)) abort();
}

void SetUp() {
  char tmpl[] = "/tmp/zybench-sequence-XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  folder = tmpl;
  setenv("HOME", tmpl, 1);  // the built file goes to user data: keep it in here
  setenv("XDG_DATA_HOME", (folder + "/data").c_str(), 1);
  ZYI_ResetState();
  zy::log.verbose_level = 8;  // no log lines while measuring
  ZYI_ThreadsInit();
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  ZYH_SetGameFolder(folder.c_str());
  if (!ZYFS_Init()) abort();
  ZY_AddSearchPath(ZY_GetPath(ZY_ROOT_RES, "%s", ""), true);
  ZYI_InitImageLoader();
  ZYH_MakeDir((folder + "/frames").c_str());
  for (int k = 0; k < FRAMES; k++) WriteFrame(k);
}

void Build(benchmark::State &state) {
  int32_t frames = 0, unique = 0;
  for (auto _ : state) {
    ZY_Bitmap seq = {};
    seq.name = (char *)"frames/walk.bms";
    if (!ZYI_BuildSequenceFile(&seq, seq.name)) abort();
    frames = seq.frame_count;
    ZYI_BitmapDropFrames(&seq);
  }
  ZY_Bitmap probe = {};  // how many pictures the atlas holds
  LoadNumberedFrames(&probe, "frames/walk_*.png");
  OptimizeSequence(&probe);
  for (int32_t i = 0; i < probe.frame_count; i++) unique += !probe.frames[i].duplicate_of;
  ZYI_BitmapDropFrames(&probe);
  state.counters["frames"] = frames;
  state.counters["pictures"] = unique;
}

void LoadPngs(benchmark::State &state) {
  ImageLoader *loader = ZYI_GetImageLoader();
  for (auto _ : state) {
    for (int k = 0; k < FRAMES; k++) {
      char name[64];
      snprintf(name, sizeof name, "frames/walk_%04d.png", k);
      ZY_Bitmap bm = {};
      if (!loader->LoadImage(&bm, name)) abort();
      loader->FreeImagePixels(&bm);
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  SetUp();
  benchmark::RegisterBenchmark("sequence/build_300", Build)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sequence/png_300", LoadPngs)->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  ZYFS_Shutdown();
  std::string rm = "rm -rf '" + folder + "'";
  if (system(rm.c_str()) != 0) fprintf(stderr, "bench_sequence: could not remove %s\n", folder.c_str());
  benchmark::Shutdown();
  return 0;
}
