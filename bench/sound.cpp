// sound.cpp — what the engine's sound path costs.
//
// Loading: a 10-second stereo OGG Vorbis file (made with sox at start) is loaded through
// ZY_LoadSound by smod_soft, once from a loose file and once from a pak entry, and
// compared with SDL2_mixer decoding the same bytes straight from memory: the difference
// is the engine's lookup and its file operations under the decoder. Each load wakes a
// hibernated record, so it decodes the whole file every time.
//
// Mixing: 32 looping sounds play through SDL's disk driver into /dev/null, which paces
// the mixer in real time; the process's CPU time over wall time while the main thread
// sleeps is the mixer's share of one core (counter share_pct).
//
// Run from the build folder: ./bench/bench_sound (needs sox)
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <string>
#include <vector>

#include "base/locks.h"
#include "base/threads.h"
#include "engine/modules.h"
#include "fs/fs.h"
#include "fs/pak_format.h"
#include "host/host.h"
#include "lifecycle/interface_table.h"
#include "lifecycle/state.h"
#include "sound/sound.h"

namespace {

std::string game_folder;
std::vector<uint8_t> ogg;  // the 10-second file

std::vector<uint8_t> ReadBytes(const std::string &path) {
  std::vector<uint8_t> bytes;
  FILE *f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  for (int c; (c = fgetc(f)) != EOF;) bytes.push_back((uint8_t)c);
  fclose(f);
  return bytes;
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) abort();
  fclose(f);
}

// A pak with one entry, laid out as zypak does.
std::vector<uint8_t> MakePak(const std::string &name, const std::vector<uint8_t> &data) {
  std::vector<uint8_t> pak(ZYFS_PAK_HEADER_SIZE);
  pak.insert(pak.end(), data.begin(), data.end());
  uint32_t dir = (uint32_t)pak.size();
  uint8_t words[16] = {};
  ZYFS_WriteU32(words, 1);
  pak.insert(pak.end(), words, words + 4);
  pak.insert(pak.end(), name.begin(), name.end());
  pak.push_back(0);
  ZYFS_WriteU32(words, ZYFS_PAK_HEADER_SIZE);
  ZYFS_WriteU32(words + 4, (uint32_t)data.size());
  pak.insert(pak.end(), words, words + 16);
  ZYFS_PakWriteHeader(pak.data(), dir, (uint32_t)pak.size());
  return pak;
}

bool SetUpGame() {
  char tmpl[] = "/tmp/zybench-sound-XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  game_folder = tmpl;
  ZYH_MakeDir((game_folder + "/loose").c_str());
  std::string make = "sox -n -r 44100 -c 2 -C 3 " + game_folder +
                     "/loose/long.ogg synth 10 sine 220-880 sine 330 2>/dev/null";
  if (system(make.c_str()) != 0) return false;
  ogg = ReadBytes(game_folder + "/loose/long.ogg");
  WriteBytes(game_folder + "/data.pak", MakePak("music/long.ogg", ogg));
  WriteBytes(game_folder + "/smod_soft.so", ReadBytes(ZYLEM_BENCH_MODULE_DIR "/smod_soft.so"));

  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  ZYI_ResetState();
  if (!ZYI_ThreadsInit()) return false;
  ZYI_CreateLocks();
  ZYH_SetGameFolder(game_folder.c_str());
  if (!ZYFS_Init()) return false;
  ZY_AddSearchPath("res://", false);
  ZYI_ResetModules();
  ZYI_BuildEngineInterface();
  ZYI_SoundsSetReferenceCounting(true);
  return ZYI_LoadSoundModule("smod_soft.dll") && ZYI_Sound()->Init(&zy::modules.host, nullptr);
}

void TearDownGame() {
  ZYI_Sound()->Shutdown();
  ZYI_UnloadSoundModule();
  ZYI_SoundsFree();
  ZYFS_Shutdown();
  for (const char *rel : {"/loose/long.ogg", "/data.pak", "/smod_soft.so"}) unlink((game_folder + rel).c_str());
  rmdir((game_folder + "/loose").c_str());
  rmdir(game_folder.c_str());
}

void LoadThroughEngine(benchmark::State &state, const char *name) {
  for (auto _ : state) {
    ZY_Sound *s = ZY_LoadSound(name);
    if (!s || !(s->cache_mode & CACHE_GPU)) {
      state.SkipWithError("load failed");
      return;
    }
    ZY_ReleaseSound(s);  // hibernates: the next load decodes again
  }
}

void BM_LoadOgg10s_Loose(benchmark::State &state) { LoadThroughEngine(state, "loose/long.ogg"); }
void BM_LoadOgg10s_Pak(benchmark::State &state) { LoadThroughEngine(state, "data/music/long.ogg"); }

void BM_LoadOgg10s_MixerMemory(benchmark::State &state) {
  for (auto _ : state) {
    Mix_Chunk *chunk = Mix_LoadWAV_RW(SDL_RWFromConstMem(ogg.data(), (int)ogg.size()), 1);
    if (!chunk) {
      state.SkipWithError("decode failed");
      return;
    }
    Mix_FreeChunk(chunk);
  }
}

double Seconds(clockid_t clock) {
  timespec t;
  clock_gettime(clock, &t);
  return t.tv_sec + t.tv_nsec / 1e9;
}

void BM_Mix32Channels(benchmark::State &state) {
  ZY_Sound *s = ZY_LoadSound("loose/long.ogg");
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    std::vector<int32_t> channels;
    for (int i = 0; i < 32; i++) {
      s->last_play_time = 0;  // the replay guard would drop plays within 50 ms
      channels.push_back(ZY_PlaySound(s, 0.03f, (i % 5) * 0.5f - 1, -1));
    }
    double c0 = Seconds(CLOCK_PROCESS_CPUTIME_ID), w0 = Seconds(CLOCK_MONOTONIC);
    usleep(1000000);
    cpu += Seconds(CLOCK_PROCESS_CPUTIME_ID) - c0;
    wall += Seconds(CLOCK_MONOTONIC) - w0;
    int playing = 0;
    for (int32_t c : channels) playing += ZY_IsChannelPlaying(c);
    if (playing != 32) state.SkipWithError("not every channel played");
    ZY_StopSound(s);
  }
  ZY_ReleaseSound(s);
  state.counters["share_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
}

}  // namespace

BENCHMARK(BM_LoadOgg10s_Loose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOgg10s_Pak)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadOgg10s_MixerMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix32Channels)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (!SetUpGame()) {
    fprintf(stderr, "bench_sound: no game folder, sox or sound module\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  TearDownGame();
  return 0;
}
