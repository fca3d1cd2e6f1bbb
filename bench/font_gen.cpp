// font_gen.cpp — how long font generation takes: the console font (DejaVu Sans Mono at
// 14 pixels, 256 glyphs rasterised by FreeType, colour bleeding and automatic kerning of
// every glyph pair) generated from res/core/console.mft.xml, as the engine does when
// core/console.mft is missing. The source is read afresh in every iteration.
//
//   ./bench/bench_font_gen
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <string.h>

#include "base/locks.h"
#include "base/state.h"
#include "base/threads.h"
#include "config/didodoz.h"
#include "font/generate.h"
#include "fs/fs.h"
#include "host/host.h"
#include "image/image_loader.h"
#include "lifecycle/state.h"

namespace {

void BM_GenerateConsoleFont(benchmark::State &state) {
  ZYI_ResetState();
  ZYI_ThreadsInit();
  zy::core.main_thread_id = ZYH_ThreadId();
  ZYI_CreateLocks();
  ZYH_SetGameFolder(ZYLEM_BENCH_SOURCE_DIR "/res");
  if (!ZYFS_Init() || !ZYI_InitImageLoader()) {
    state.SkipWithError("the engine's file system did not start");
    return;
  }
  ZY_AddSearchPath("res://", true);
  zy::core.table_built = 1;
  int32_t glyphs = 0;
  for (auto _ : state) {
    ZY_Font font = {};
    font.name = strdup("core/console.mft");
    font.scale = 1.0f;
    bool ok = ZYI_FontSetGlyphCount(&font, 256) && ZYI_GenerateFontFromSource(&font, 1.0f);
    glyphs = font.glyph_count;
    ZYI_FontFreeData(&font);
    free(font.name);
    ZYI_DidodozFree();
    if (!ok) {
      state.SkipWithError("the console font could not be generated");
      break;
    }
  }
  state.counters["glyphs"] = glyphs;
  zy::core.table_built = 0;
  ZYFS_Shutdown();
  ZYI_DeleteLocks();
}
BENCHMARK(BM_GenerateConsoleFont)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
