#!/bin/bash
# What a product build takes from this project: cmake --install of a build folder into a fresh
# prefix puts the log sender program into bin/ and nothing else there.
#   install_check.sh <cmake> <build folder> <expected path below the prefix>
set -euo pipefail
cmake=$1 build=$2 expected=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
found=$(cd "$prefix" && find . -mindepth 1 ! -type d | sed 's|^\./||' | sort)
if [ "$found" != "$expected" ]; then
  printf 'installed:\n%s\nexpected: %s\n' "$found" "$expected"
  exit 1
fi
[ -x "$prefix/$expected" ] || { echo "$expected is not executable"; exit 1; }
