#!/usr/bin/env bash
# Runs ctest for a Windows build folder under Wine: scripts/wine-ctest.sh [build folder]
# [ctest arguments...] (default build/win), for instance
#   scripts/wine-ctest.sh build/win -R 'TextConversion'
# A fresh Wine prefix is made inside the build folder and removed afterwards. One Wine server
# stays up for the whole run and is warmed before the first test: without that each test
# program start costs seconds and the first one can hang. With WINE_KEEP_PREFIX=1 the prefix
# and the server are kept, for running programs by hand afterwards (see the README).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/win}")
shift || true

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C
unset DISPLAY

finish() {
  if [ "${WINE_KEEP_PREFIX:-0}" != 1 ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
}
trap finish EXIT

if [ "${WINE_KEEP_PREFIX:-0}" != 1 ]; then
  rm -rf "$WINEPREFIX"
fi
# The server starts in the prefix folder, so the folder must exist first; it keeps no handle on
# this script's output, or a pipe reading that output would stay open while the server lives.
# wineboot runs with a server of its own, which writes the registry to the prefix's files when
# it ends: a test may then copy the prefix whole (a persistent server writes them only every
# half minute).
mkdir -p "$WINEPREFIX"
wineboot -u </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1

# The working cases one per processor, the cases that only wait beside them.
"$root/scripts/ctest-all.sh" "$build" "$@"
