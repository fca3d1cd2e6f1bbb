#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test with CTest; then builds again
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs the tests once more.
# Set ZYLEM_SKIP_SANITIZE=1 to skip the sanitizer pass when iterating locally.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/deps.sh

jobs=$(nproc)
echo "== build (build/)"
BUILD_DIR="$root/build" bash scripts/build.sh
echo "== tests"
ctest --test-dir build -j "$jobs" --output-on-failure --timeout 300
echo "== fuzz targets, briefly on their corpora (build-fuzz/)"
bash scripts/fuzz.sh --time 20 --seed 1

if [ "${ZYLEM_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== build with address,undefined sanitizers (build-asan/)"
  BUILD_DIR="$root/build-asan" bash scripts/build.sh -DZYLEM_SANITIZE=address,undefined \
    -DZYLEM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  echo "== tests under sanitizers"
  # Sanitizer reports also go to files: a test that captures stderr would swallow them.
  rm -f build-asan/sanitizer.*
  if ! ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:log_path="$root/build-asan/sanitizer" \
      UBSAN_OPTIONS=print_stacktrace=1:log_path="$root/build-asan/sanitizer" \
      ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600; then
    cat build-asan/sanitizer.* 2>/dev/null || true
    exit 1
  fi

  # Threads: the lock, thread, log and popup suites again under ThreadSanitizer.
  echo "== thread tests under ThreadSanitizer (build-tsan/)"
  cmake -S "$root" -B "$root/build-tsan" -G Ninja -DZYLEM_SANITIZE=thread \
    -DZYLEM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$root/build-tsan" -j "$jobs" --target test_base test_engine
  # Each thread test runs three times: races show up only in some interleavings.
  rm -f build-tsan/sanitizer.*
  if ! TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:log_path="$root/build-tsan/sanitizer" \
      ctest --test-dir build-tsan -j "$jobs" --output-on-failure --timeout 600 --repeat until-fail:3 \
      -R '^(NamedLocks|ProgramMutexes|ProgramThreads|ThreadedLog|ThreadedPopups|EngineClock|BitmapThreads)\.'; then
    cat build-tsan/sanitizer.* 2>/dev/null || true
    exit 1
  fi
fi
