// pak.cpp — what reading through a pak archive costs compared with a loose file.
//
// A 64 MiB file is written once loose (res://loose/big.bin) and once as the single
// entry of res://data.pak; both are read whole through ZY_OpenFile / ZY_ReadFile with
// 64 KiB reads, by relative name through the search path "res://", as a game would.
// Opening a small file each way is measured too, since a pak entry opens a second
// handle on the archive. At the end the pak/loose ratio of each pair is printed.
//
// Run from the build folder: ./bench/bench_pak
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "base/state.h"
#include "fs/fs.h"
#include "fs/pak_format.h"
#include "host/host.h"
#include "lifecycle/state.h"

namespace {

const size_t BIG_SIZE = 64u << 20;
std::string game_folder;

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) abort();
  fclose(f);
}

// Builds one archive holding the named files, laid out as zypak does.
std::vector<uint8_t> MakePak(const std::vector<std::pair<std::string, std::vector<uint8_t>>> &files) {
  std::vector<uint8_t> pak(ZYFS_PAK_HEADER_SIZE);
  std::vector<uint32_t> offsets;
  for (auto &f : files) {
    offsets.push_back((uint32_t)pak.size());
    pak.insert(pak.end(), f.second.begin(), f.second.end());
  }
  uint32_t dir = (uint32_t)pak.size();
  uint8_t word[4];
  ZYFS_WriteU32(word, (uint32_t)files.size());
  pak.insert(pak.end(), word, word + 4);
  for (size_t i = 0; i < files.size(); i++) {
    pak.insert(pak.end(), files[i].first.begin(), files[i].first.end());
    pak.push_back(0);
    uint8_t words[16] = {};
    ZYFS_WriteU32(words, offsets[i]);
    ZYFS_WriteU32(words + 4, (uint32_t)files[i].second.size());
    pak.insert(pak.end(), words, words + 16);
  }
  ZYFS_PakWriteHeader(pak.data(), dir, (uint32_t)pak.size());
  return pak;
}

void SetUpGame() {
  char tmpl[] = "/tmp/zybench-pak-XXXXXX";
  if (!mkdtemp(tmpl)) abort();
  game_folder = tmpl;
  std::vector<uint8_t> big(BIG_SIZE);
  for (size_t i = 0; i < big.size(); i++) big[i] = (uint8_t)(i * 2654435761u >> 13);
  std::vector<uint8_t> small(2000, 'x');
  ZYH_MakeDir((game_folder + "/loose").c_str());
  WriteBytes(game_folder + "/loose/big.bin", big);
  WriteBytes(game_folder + "/loose/small.txt", small);
  WriteBytes(game_folder + "/data.pak", MakePak({{"big.bin", big}, {"small.txt", small}}));

  ZYI_ResetState();
  ZYH_SetGameFolder(game_folder.c_str());
  if (!ZYFS_Init()) abort();
  ZY_AddSearchPath("res://", false);
}

void TearDownGame() {
  ZYFS_Shutdown();
  for (const char *rel : {"/loose/big.bin", "/loose/small.txt", "/data.pak"})
    unlink((game_folder + rel).c_str());
  rmdir((game_folder + "/loose").c_str());
  rmdir(game_folder.c_str());
}

void ReadWhole(benchmark::State &state, const char *name) {
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    ZY_File *file = ZY_OpenFile(name, "r");
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    size_t total = 0;
    for (int32_t n; (n = ZY_ReadFile(buffer.data(), (int32_t)buffer.size(), file)) > 0;)
      total += (size_t)n;
    ZY_CloseFile(file);
    if (total != BIG_SIZE) {
      state.SkipWithError("short read");
      return;
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)BIG_SIZE);
}

void OpenClose(benchmark::State &state, const char *name) {
  char byte;
  for (auto _ : state) {
    ZY_File *file = ZY_OpenFile(name, "r");
    if (!file) {
      state.SkipWithError("open failed");
      return;
    }
    benchmark::DoNotOptimize(ZY_ReadFile(&byte, 1, file));
    ZY_CloseFile(file);
  }
}

void BM_Read64MiB_Loose(benchmark::State &state) { ReadWhole(state, "loose/big.bin"); }
void BM_Read64MiB_Pak(benchmark::State &state) { ReadWhole(state, "data/big.bin"); }
void BM_OpenSmall_Loose(benchmark::State &state) { OpenClose(state, "loose/small.txt"); }
void BM_OpenSmall_Pak(benchmark::State &state) { OpenClose(state, "data/small.txt"); }

BENCHMARK(BM_Read64MiB_Loose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read64MiB_Pak)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenSmall_Loose)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenSmall_Pak)->Unit(benchmark::kMicrosecond);

// Console output as usual, plus the pak/loose ratio of each pair at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, std::pair<double, double>> times;  // name -> real and CPU time
  void ReportRuns(const std::vector<Run> &runs) override {
    for (auto &run : runs)
      if (!run.error_occurred)
        times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
    ConsoleReporter::ReportRuns(runs);
  }
  // With --benchmark_repetitions the medians are compared, else the single runs.
  void PrintRatio(const std::string &pak, const std::string &loose) const {
    auto p = times.find(pak + "_median"), l = times.find(loose + "_median");
    if (p == times.end() || l == times.end()) p = times.find(pak), l = times.find(loose);
    if (p == times.end() || l == times.end() || l->second.first <= 0 || l->second.second <= 0)
      return;
    printf("ratio %s / %s = %.3f real, %.3f CPU\n", pak.c_str(), loose.c_str(),
           p->second.first / l->second.first, p->second.second / l->second.second);
  }
};

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  SetUpGame();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatio("BM_Read64MiB_Pak", "BM_Read64MiB_Loose");
  reporter.PrintRatio("BM_OpenSmall_Pak", "BM_OpenSmall_Loose");
  TearDownGame();
  benchmark::Shutdown();
  return 0;
}
