#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (in build-fuzz/) and runs each one
# briefly on its seed corpus.
#
#   scripts/fuzz.sh                  every target, 20 seconds each
#   scripts/fuzz.sh --time 300       every target, 5 minutes each
#   scripts/fuzz.sh --runs 50000     every target, 50000 inputs each
#   scripts/fuzz.sh --seed 1         the same mutations on every run (what CI uses)
#   scripts/fuzz.sh xml_reader       only fuzz_xml_reader
#
# A single allocation above 128 MiB counts as a failure: no input of a megabyte or less
# should make a decoder ask for that much.
#
# New inputs a run finds go to a scratch folder, never into the seed corpus; crashes
# are written to build-fuzz/artifacts/. Without clang the script says so and exits 0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
limit=(-max_total_time=20)
seed=()
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --time) limit=(-max_total_time="$2"); shift 2 ;;
    --runs) limit=(-runs="$2"); shift 2 ;;
    --seed) seed=(-seed="$2"); shift 2 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done

if ! command -v clang++ >/dev/null 2>&1 || ! command -v clang >/dev/null 2>&1; then
  echo "fuzz: clang is not installed; skipping the fuzz targets"
  exit 0
fi

jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2
echo "== fuzz build ($build)"
cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    targets+=("$name")
  done
fi
cmake --build "$build" -j "$jobs" --target $(printf 'fuzz_%s ' "${targets[@]}")

mkdir -p "$build/artifacts"
status=0
for name in "${targets[@]}"; do
  exe="$build/fuzz_$name"
  seeds="$root/fuzz/corpus/$name"
  scratch=$(mktemp -d)
  args=("${limit[@]}" "${seed[@]}" -malloc_limit_mb=128 -artifact_prefix="$build/artifacts/$name-" -print_final_stats=1)
  [ -f "$root/fuzz/$name.dict" ] && args+=(-dict="$root/fuzz/$name.dict")
  echo "== fuzz_$name (${limit[*]})"
  # The scratch folder comes first: libFuzzer writes what it finds into the first one.
  if ! "$exe" "${args[@]}" "$scratch" "$seeds" >"$build/fuzz_$name.log" 2>&1; then
    status=1
    echo "fuzz_$name FAILED; the last lines of $build/fuzz_$name.log:"
    tail -n 40 "$build/fuzz_$name.log"
  else
    grep -E "^(stat::number_of_executed_units|Done)" "$build/fuzz_$name.log" || true
  fi
  rm -rf "$scratch"
done
exit $status
