#!/usr/bin/env bash
# Runs every benchmark of the build: the Google Benchmark programs under <build>/bench and
# the whole-run comparisons of bench/*.sh.
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
for program in "$root/$build"/bench/*/bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" --benchmark_min_time=0.2
done
for script in "$root"/bench/*.sh; do
  [ "$(basename "$script")" = run.sh ] && continue
  echo "== $(basename "$script")"
  "$script" "$build"
done
