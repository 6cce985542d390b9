#!/usr/bin/env bash
# Runs every test: a plain build with ctest, the same tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (clang), each libFuzzer target for a bounded time, then the
# Windows build (MinGW-w64) with its tests under Wine. Installs whatever it needs that is
# missing (Debian). Exits non-zero on any failure.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
ensure_packages

fuzz_seconds=${FUZZ_SECONDS:-20}
jobs=$(nproc 2>/dev/null || echo 2)

# Each leg ends with its wall time, the processor time its programs took and the machine's
# load, so that slow runs can be told from busy machines: the processor time hardly depends on
# the load.
children_ticks() {
  local stat
  stat=$(</proc/$$/stat)
  read -r -a stat <<<"${stat##*) }"
  echo $((stat[13] + stat[14]))  # cutime and cstime: the ended children's user and system time
}
ticks_per_second=$(getconf CLK_TCK)
leg_start=$SECONDS
leg_ticks=$(children_ticks)
leg_done() {
  local ticks
  ticks=$(children_ticks)
  echo "== $1: $((SECONDS - leg_start)) s, processor $(((ticks - leg_ticks) / ticks_per_second)) s" \
       "(load $(cut -d' ' -f1-3 /proc/loadavg)) =="
  leg_start=$SECONDS
  leg_ticks=$ticks
}

# ctest with the working cases one per processor and the waiting ones beside them.
run_ctest() {
  scripts/ctest-all.sh "$@"
}

# The optimised builds keep line tables only (-g1): a backtrace or a debugger still names the
# file and line, and g++ spends about a quarter less time than on full debug information.
line_tables=("-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG"
             "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")

echo "== plain build (g++) =="
cmake -S . -B build/plain -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${line_tables[@]}" \
      -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ -DLOGSENDER_BENCH=ON
cmake --build build/plain -j "$jobs"
leg_done "plain build"
run_ctest build/plain
leg_done "plain tests"

echo "== sanitizer build (clang, ASan + UBSan) =="
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DLOGSENDER_SANITIZE=ON -DLOGSENDER_FUZZ=ON
cmake --build build/sanitize -j "$jobs"
leg_done "sanitizer build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_ctest build/sanitize
leg_done "sanitizer tests"

echo "== fuzzing (${fuzz_seconds} s per target, ${jobs} at a time) =="
# A target keeps one processor busy for its whole time, so one target per processor at once
# gives each the runs it would have alone. Each writes to a folder of its own; the results are
# read in order once all have ended, and a fault's input stays in the folder named.
fuzz_target() {
  local target=$1 work=$2 status=0
  local seeds=fuzz/corpus/${target##*/fuzz_}
  mkdir -p "$work/found"
  "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
            -print_final_stats=1 -artifact_prefix="$work/" "$work/found" \
            $( [ -d "$seeds" ] && echo "$seeds" ) 2>"$work/log" || status=$?
  echo "$status" >"$work/status"
}
fuzz_work=$(mktemp -d)
running=0
for target in build/sanitize/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  fuzz_target "$target" "$fuzz_work/${target##*/fuzz_}" &
  running=$((running + 1))
done
wait
for work in "$fuzz_work"/*/; do
  work=${work%/}
  name=${work##*/}
  echo "-- $name"
  if [ "$(cat "$work/status" 2>/dev/null)" != 0 ]; then
    tail -n 60 "$work/log"
    echo "fuzz target $name found a fault (its input is in $work)"
    exit 1
  fi
  grep -E '^(stat::number_of_executed_runs|Done)' "$work/log" || true
done
rm -rf "$fuzz_work"
leg_done "fuzzing"

echo "== Windows build (MinGW-w64) and its tests under Wine =="
scripts/build-windows.sh build/win "${line_tables[@]}"
leg_done "Windows build"
scripts/wine-ctest.sh build/win
leg_done "Windows tests"
echo "== all tests passed in ${SECONDS} s =="
