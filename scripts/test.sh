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

if [ "${ZYLEM_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== build with address,undefined sanitizers (build-asan/)"
  BUILD_DIR="$root/build-asan" bash scripts/build.sh -DZYLEM_SANITIZE=address,undefined \
    -DZYLEM_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  echo "== tests under sanitizers"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan -j "$jobs" --output-on-failure --timeout 600
fi
