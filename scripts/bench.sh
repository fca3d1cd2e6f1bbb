#!/usr/bin/env bash
# bench.sh — builds the benchmarks in Release, runs every one of bench/ and prints one
# table of the figures listed in bench/rows.tsv, each with the baseline measured in the
# same run, their ratio and the goal. The table is also written, TAB separated, to
# build/bench-summary.tsv.
#
#   scripts/bench.sh                 # build-release/, 0.5 s per benchmark
#   BENCH_MIN_TIME=2 scripts/bench.sh
#   BENCH_BUILD_DIR=/tmp/b scripts/bench.sh
#   BENCH_SKIP_BUILD=1 BENCH_BUILD_DIR=build scripts/bench.sh   # the binaries as they are
#
# rows.tsv columns: name, binary, measure, baseline, unit, goal. `measure` and `baseline`
# are benchmark names (their real time per iteration is used) or BENCH:COUNTER (a user
# counter of that benchmark); baseline "-" reports the measure itself in `unit` (ns, us,
# ms, s for times; counters as they are), otherwise the figure is measure / baseline.
# `goal` is "<=N" or ">=N". A row whose binary was not built, or whose benchmark did not
# run (an optional yardstick library missing), shows as missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(realpath -m "${BENCH_BUILD_DIR:-$root/build-release}")"
min_time="${BENCH_MIN_TIME:-0.5}"
rows="$root/bench/rows.tsv"
summary="$root/build/bench-summary.tsv"
out="$build/bench-out"

if [[ ! -f "$rows" ]]; then
  echo "bench.sh: $rows is missing" >&2
  exit 1
fi

targets=()
for src in "$root"/bench/*.cpp; do targets+=("bench_$(basename "$src" .cpp)"); done

if [[ "${BENCH_SKIP_BUILD:-0}" != 1 ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZYLEM_BUILD_BENCH=ON >&2
  # A benchmark whose sources do not build is reported missing below, the others still run.
  ninja -C "$build" -j"${BENCH_JOBS:-2}" -k 0 "${targets[@]}" >&2 || echo "bench.sh: some benchmarks did not build" >&2
fi

# Every built benchmark binary once, its results as CSV, its console output kept.
mkdir -p "$out" "$root/build"
for target in "${targets[@]}"; do
  binary="$build/bench/$target"
  rm -f "$out/$target.csv"
  if [[ ! -x "$binary" ]]; then
    echo "bench.sh: $target was not built" >&2
    continue
  fi
  echo "bench.sh: running $target" >&2
  if ! (cd "$build" && "$binary" --benchmark_min_time="$min_time" \
        --benchmark_out="$out/$target.csv" --benchmark_out_format=csv >"$out/$target.txt" 2>&1); then
    echo "bench.sh: $target failed (see $out/$target.txt)" >&2
  fi
done

# One line per measured value: binary, benchmark, column, value (times in ns).
values="$out/values.tsv"
: >"$values"
for csv in "$out"/*.csv; do
  [[ -f "$csv" ]] || continue
  awk -v binary="$(basename "$csv" .csv)" '
    function split_csv(line, f,   n, i, c, q, cur) {
      n = 0; cur = ""; q = 0
      for (i = 1; i <= length(line); i++) {
        c = substr(line, i, 1)
        if (c == "\"") q = !q
        else if (c == "," && !q) { f[++n] = cur; cur = "" }
        else cur = cur c
      }
      f[++n] = cur
      return n
    }
    /^name,/ { header = split_csv($0, h); next }
    header && /^"/ {
      n = split_csv($0, f)
      for (i = 1; i <= header; i++) col_of[h[i]] = i
      if (f[col_of["error_occurred"]] == "true") next
      scale = 1
      unit = f[col_of["time_unit"]]
      if (unit == "us") scale = 1e3; else if (unit == "ms") scale = 1e6; else if (unit == "s") scale = 1e9
      printf "%s\t%s\t%s\t%.6g\n", binary, f[1], "real_time", f[col_of["real_time"]] * scale
      for (i = col_of["error_message"] + 1; i <= n && i <= header; i++)
        if (f[i] != "") printf "%s\t%s\t%s\t%s\n", binary, f[1], h[i], f[i]
    }' "$csv" >>"$values"
done

# The table: rows.tsv joined with the measured values.
awk -F'\t' -v OFS='\t' '
  FNR == NR { v[$1 SUBSEP $2 SUBSEP $3] = $4; next }
  function lookup(binary, what,   bench, column) {
    bench = what; column = "real_time"
    if (match(what, /:[^:]*$/) && !((binary SUBSEP what SUBSEP column) in v)) {
      bench = substr(what, 1, RSTART - 1); column = substr(what, RSTART + 1)
    }
    return ((binary SUBSEP bench SUBSEP column) in v) ? v[binary SUBSEP bench SUBSEP column] : ""
  }
  function in_unit(ns, unit) {
    if (unit == "us") return ns / 1e3
    if (unit == "ms") return ns / 1e6
    if (unit == "s") return ns / 1e9
    return ns
  }
  function meets(x, goal,   limit) {
    limit = substr(goal, 3) + 0
    if (substr(goal, 1, 2) == "<=") return x <= limit ? "ok" : "MISSED"
    if (substr(goal, 1, 2) == ">=") return x >= limit ? "ok" : "MISSED"
    return "-"
  }
  FNR == 1 { print "name", "value", "unit", "baseline", "ratio", "goal", "verdict"; next }
  $1 == "" || substr($1, 1, 1) == "#" { next }
  {
    name = $1; binary = $2; measure = $3; base = $4; unit = $5; goal = $6
    m = lookup(binary, measure)
    if (m == "") { print name, "missing", "-", "-", "-", goal, "-"; next }
    timed = (binary SUBSEP measure SUBSEP "real_time") in v
    if (base == "-") {
      value = timed ? in_unit(m, unit) : m
      print name, sprintf("%.4g", value), unit, "-", "-", goal, meets(value, goal); next
    }
    b = lookup(binary, base)
    if (b == "" || b + 0 == 0) { print name, sprintf("%.4g", m), timed ? "ns" : "-", "missing", "-", goal, "-"; next }
    ratio = m / b
    print name, sprintf("%.4g", m), timed ? "ns" : "-", sprintf("%.4g", b), sprintf("%.3f", ratio), goal, meets(ratio, goal)
  }' "$values" "$rows" >"$summary"

column -t -s $'\t' "$summary"
echo "bench.sh: table written to $summary" >&2
