// log.cpp — what a log line costs.
//
// Measures ZY_Log lines per second with the log file on (one write per line to the file
// kept open) and off (history only), and the cost of a call the verbose level filters out,
// each beside a plain snprintf of the same line measured in the same run, so the
// figures can be read as ratios on any machine. The log writes into a temporary user
// folder that is removed at the end.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "base/locks.h"
#include "base/log.h"
#include "base/state.h"
#include "fs/fs.h"
#include "host/host.h"
#include "lifecycle/log_file.h"
#include "config/config.h"
#include "lifecycle/state.h"

namespace {

std::string temp_root;

// Brings up what the log needs: thread registry, locks, file system in a temporary home.
bool StartEngineServices() {
  char tmpl[] = "/tmp/zybench-XXXXXX";
  if (!mkdtemp(tmpl)) return false;
  temp_root = tmpl;
  std::string data = temp_root + "/data", game = temp_root + "/game";
  std::filesystem::create_directories(data);
  std::filesystem::create_directories(game);
  setenv("HOME", temp_root.c_str(), 1);
  setenv("XDG_DATA_HOME", data.c_str(), 1);

  ZYI_ThreadsInit();
  ZYI_ResetState();
  zy::core.main_thread_id = ZYH_ThreadId();
  zy::core.start_time = ZYH_TimeMs();
  ZYI_CreateLocks();
  ZYH_SetGameFolder(game.c_str());
  if (!ZYFS_Init()) return false;
  ZYFS_SetNames("BenchDev", "BenchLog");
  return true;
}

void StopEngineServices() {
  ZYI_LogClose();
  ZYFS_Shutdown();
  ZYI_DeleteLocks();
  ZYI_ThreadsShutdown();
  std::error_code ignored;
  std::filesystem::remove_all(temp_root, ignored);
}

// Opens the log afresh with the file on or off and the given verbose level.
void ReopenLog(bool file, int verbose_level) {
  ZYI_LogClose();
  zy::config.console = 1;
  zy::config.logging = file;
  zy::config.verbose_level = (int16_t)verbose_level;
  ZYI_LogOpen();
}

void BM_SnprintfBaseline(benchmark::State &state) {
  char buffer[ZYI_LOG_BUFFER_SIZE];
  int i = 0;
  for (auto _ : state) {
    int n = snprintf(buffer, sizeof buffer, "frame %d took %.2f ms", i, i * 0.25);
    benchmark::DoNotOptimize(n);
    benchmark::ClobberMemory();
    i++;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_LogFileOff(benchmark::State &state) {
  ReopenLog(false, 0);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ZY_Log(ZY_LOG_INFO, "frame %d took %.2f ms", i, i * 0.25));
    i++;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_LogFileOn(benchmark::State &state) {
  ReopenLog(true, 0);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ZY_Log(ZY_LOG_INFO, "frame %d took %.2f ms", i, i * 0.25));
    i++;
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_LogFilteredOut(benchmark::State &state) {
  ReopenLog(false, ZY_LOG_ERROR);
  int i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ZY_Log(ZY_LOG_INFO, "frame %d took %.2f ms", i, i * 0.25));
    i++;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_SnprintfBaseline);
BENCHMARK(BM_LogFileOff);
BENCHMARK(BM_LogFileOn);
BENCHMARK(BM_LogFilteredOut);

}  // namespace

int main(int argc, char **argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!StartEngineServices()) {
    fprintf(stderr, "bench_log: cannot prepare a temporary user folder\n");
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  StopEngineServices();
  benchmark::Shutdown();
  return 0;
}
