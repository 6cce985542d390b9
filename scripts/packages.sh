# Sourced by the scripts: installs the Debian packages the build, the tests and the demo need,
# running apt-get only when something is missing.

# command-or-file : package
ombrix_needs=(
  "cmake:cmake" "ninja:ninja-build" "g++:g++" "clang++:clang"
  "/usr/include/gtest/gtest.h:libgtest-dev" "/usr/include/gmock/gmock.h:libgmock-dev"
  "/usr/include/benchmark/benchmark.h:libbenchmark-dev"
  "/usr/include/zlib.h:zlib1g-dev" "/usr/include/minizip/zip.h:libminizip-dev"
  "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev"
  "php:php-cli" "python3:python3" "node:nodejs" "curl:curl" "zip:zip" "unzip:unzip"
  "/etc/services:netbase" "/usr/bin/time:time"
)

ensure_packages() {
  local missing=() entry what pkg
  for entry in "${ombrix_needs[@]}"; do
    what=${entry%%:*}
    pkg=${entry##*:}
    if [[ $what == /* ]]; then
      [ -e "$what" ] && continue
    else
      command -v "$what" >/dev/null 2>&1 && continue
    fi
    missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}
