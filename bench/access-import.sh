#!/usr/bin/env bash
# The Access import's rows per second against the engine's own bulk INSERT of the same rows
# in one transaction, on the largest table of each sample file, written 200 and 2000 times
# over; the peak memory of the two runs shows that the import does not hold a table.
#   bench/access-import.sh [build]
set -euo pipefail
build=${1:-build}
root=$(cd "$(dirname "$0")/.." && pwd)
program="$root/$build/bench/access-import/access_import_bench"
for sample in "$root"/tests/tools/data/access/*.mdb "$root"/tests/tools/data/access/*.accdb; do
  for passes in 200 2000; do
    "$program" "$sample" "$passes"
  done
done
