#!/usr/bin/env bash
# Runs a build's tests as two ctest runs at once: the working cases one per processor, and
# beside them the cases that only wait on paced peers and time-outs (label logsender_waiting),
# all of those at once, since they take no processor. The waiting run's output follows the
# working run's. Exits non-zero when either run failed.
#   scripts/ctest-all.sh <build folder> [ctest options, e.g. -R <regex>]
set -uo pipefail

build=${1:?usage: ctest-all.sh <build folder> [ctest options]}
shift
jobs=$(nproc 2>/dev/null || echo 2)
waiting_log=$(mktemp)
trap 'rm -f "$waiting_log"' EXIT

ctest --test-dir "$build" --output-on-failure -L logsender_waiting -j 16 "$@" \
      >"$waiting_log" 2>&1 &
waiting_pid=$!
ctest --test-dir "$build" --output-on-failure -LE logsender_waiting -j "$jobs" "$@"
working=$?
wait "$waiting_pid"
waiting=$?
echo "-- the cases that only wait:"
cat "$waiting_log"
[ "$working" -eq 0 ] && [ "$waiting" -eq 0 ]
