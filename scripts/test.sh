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
# CTest starts a process per test; a game or a tool boots the engine again and again in
# one. So every suite also runs as one process, shuffled and twice over: a test that
# depends on what another left behind fails here.
echo "== every suite as one process, shuffled, twice"
for suite in build/tests/test_*; do
  [ -x "$suite" ] || continue
  (cd build/tests && "../../$suite" --gtest_shuffle --gtest_repeat=2 --gtest_brief=1) \
    || { echo "$suite failed when run as one process"; exit 1; }
done
# The OpenGL renderer against the same reference images, in an Xvfb window on Mesa's
# software rasteriser; here a missing OpenGL fails instead of skipping.
echo "== rmod_gl golden images and a display change under Xvfb"
(cd build/tests && ZYTEST_REQUIRE_GL=1 xvfb-run -a ./test_integration --gtest_filter='Scenes/GlGolden.*:GlDisplay.*' \
  --gtest_brief=1)
echo "== SDK: install, the template built out of tree and run, the Debian package"
bash scripts/sdk_check.sh build
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

  # Threads: every suite whose name contains "Thread" (CTest label <folder>_threads)
  # again under ThreadSanitizer, three times each: races show up only in some
  # interleavings.
  echo "== thread tests under ThreadSanitizer (build-tsan/)"
  BUILD_DIR="$root/build-tsan" bash scripts/build.sh -DZYLEM_SANITIZE=thread \
    -DZYLEM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  rm -f build-tsan/sanitizer.*
  if ! TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:log_path="$root/build-tsan/sanitizer" \
      ctest --test-dir build-tsan -j "$jobs" --output-on-failure --timeout 600 --repeat until-fail:3 \
      -L _threads; then
    cat build-tsan/sanitizer.* 2>/dev/null || true
    exit 1
  fi
fi
