#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for a while, seeded from the inputs the repository has for it. A crash, a
# leak or a sanitizer report fails the script; the input that caused it is left in the
# target's artifacts folder below the build folder.
#
# usage: scripts/fuzz-ci.sh [build-folder] [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-fuzz}
seconds=${2:-60}
jobs=${JOBS:-2}

sanitize=-fsanitize=fuzzer-no-link,address,undefined
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPAVANA_BUILD_FUZZ=ON -DPAVANA_BUILD_TESTS=OFF \
  -DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize" >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_avi bitmap_fuzz dialect_fuzz params_fuzz script_fuzz clipwriter

# Seeds: the dialect corpus for the statement readers, clips the clip writer makes for the
# clip reader. The working corpora live in the build folder, so the repository stays as it is.
work="$build/fuzz-work"
rm -rf "$work"
mkdir -p "$work"/{avi,bitmap,dialect,params,script,artifacts}
"$build/tools/clipwriter/clipwriter" "$work/avi" >/dev/null

# run NAME BINARY [options...] SEED-FOLDERS...
run() {
  local name=$1 binary=$2
  shift 2
  echo "== $name: ${seconds}s"
  local log="$work/$name.log"
  if ! "$binary" -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/$name-" "$@" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $name failed; the input is in $work/artifacts" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" || true
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run avi "$build/fuzz/avi/fuzz_avi" -dict="$root/fuzz/avi/avi.dict" "$work/avi"
run bitmap "$build/fuzz/bitmap/bitmap_fuzz" "$work/bitmap"
run dialect "$build/fuzz/dialect/dialect_fuzz" -dict="$root/fuzz/dialect/dialect.dict" \
  "$work/dialect" "$root/tests/dialect/corpus"
run params "$build/fuzz/params/params_fuzz" "$work/params"
run script "$build/fuzz/script/script_fuzz" "$work/script" "$root/tests/dialect/corpus"
echo "Every fuzz target ran ${seconds}s without a failure."
