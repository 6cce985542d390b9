#!/usr/bin/env bash
# Builds the log sender for Windows with MinGW-w64: every library, test program and
# logsender.exe. Usage: scripts/build-windows.sh [build folder] [extra CMake arguments...]
# (default folder build/win). The extra arguments reach CMake, so
#   scripts/build-windows.sh /tmp/w -DLOGSENDER_UPLOAD_URL=http://127.0.0.1:18000/scripts/uploadUserLog.php
# gives a logsender.exe that posts to that address.
#
# Installs what is missing (Debian), then builds minizip (from Debian's minizip source
# package, the one the Linux build links) and GoogleTest for MinGW into a cached prefix
# keyed by their package versions and the compiler's; nothing is rebuilt while the key
# matches. LOGSENDER_MINGW_CACHE moves the cache (default build/mingw-deps).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build/win}")
shift || true
cd "$root"
source scripts/packages.sh
ensure_packages logsender_needs
ensure_packages logsender_windows_needs --no-install-recommends

toolchain=$root/cmake/mingw-w64-x86_64.cmake
cc=x86_64-w64-mingw32-gcc-posix
minizip_version=$(dpkg-query -W -f='${Version}' libminizip-dev)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
compiler_version=$($cc -dumpfullversion)
key="minizip-${minizip_version}_googletest-${gtest_version}_gcc-${compiler_version}"
cache=$(realpath -m "${LOGSENDER_MINGW_CACHE:-$root/build/mingw-deps}")
prefix=$cache/$key

# Debian's minizip source through a source list and apt state of our own, so the machine's
# lists stay as they are; the archive and keyring are the ones the machine already uses.
build_minizip() {
  local work=$1
  mkdir -p "$work/apt/lists/partial"
  cat >"$work/apt/minizip.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt"
              -o "Dir::State::Lists=$work/apt/lists" -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update -qq
  (cd "$work" && apt-get "${opts[@]}" source -qq --download-only "minizip=$minizip_version" &&
     dpkg-source -q -x ./*.dsc source >/dev/null)
  mkdir -p "$prefix/include/minizip" "$prefix/lib" "$work/objects"
  local unit
  for unit in zip unzip ioapi; do
    $cc -O2 -DNOCRYPT -DNOUNCRYPT -c "$work/source/$unit.c" -o "$work/objects/$unit.o"
  done
  x86_64-w64-mingw32-ar rcs "$prefix/lib/libminizip.a" "$work"/objects/*.o
  cp "$work/source/zip.h" "$work/source/unzip.h" "$work/source/ioapi.h" "$prefix/include/minizip/"
}

build_googletest() {
  local work=$1
  cmake -S /usr/src/googletest -B "$work/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$prefix" \
        >/dev/null
  cmake --build "$work/googletest" >/dev/null
  cmake --install "$work/googletest" >/dev/null
}

if [ ! -f "$prefix/complete" ]; then
  echo "== building minizip and GoogleTest for MinGW into $prefix =="
  rm -rf "$prefix"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  build_minizip "$work"
  build_googletest "$work"
  touch "$prefix/complete"
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DLOGSENDER_MINGW_PREFIX="$prefix" "$@"
cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)"
