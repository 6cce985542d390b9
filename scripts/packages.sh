# Sourced by the scripts: installs the Debian packages the build, the tests and the demo need,
# running apt-get only when something is missing.

# command-or-file : package
logsender_needs=(
  "cmake:cmake" "ninja:ninja-build" "g++:g++" "clang++:clang"
  "/usr/include/gtest/gtest.h:libgtest-dev" "/usr/include/gmock/gmock.h:libgmock-dev"
  "/usr/include/benchmark/benchmark.h:libbenchmark-dev"
  "/usr/include/zlib.h:zlib1g-dev" "/usr/include/minizip/zip.h:libminizip-dev"
  "/usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a:libclang-rt-14-dev"
  "php:php-cli" "python3:python3" "node:nodejs" "curl:curl" "zip:zip" "unzip:unzip"
  "/etc/services:netbase" "/usr/bin/time:time"
  "/usr/include/openssl/ssl.h:libssl-dev" "openssl:openssl" "/usr/sbin/nginx:nginx-light"
  "/usr/sbin/squid:squid" "/usr/bin/tinyproxy:tinyproxy-bin"
)

# What the Windows build adds: the MinGW-w64 compilers of the posix thread model, zlib for
# MinGW, Wine to run the programs, dpkg-source for minizip's source and GoogleTest's source,
# winbind for the ntlm_auth that Wine's NTLM package runs, and an MIT Kerberos KDC with its
# tools for the silent Negotiate logon to a proxy (Wine's Negotiate uses the host's Kerberos).
# Installed without recommends: Wine would otherwise pull in X11, GL and 32-bit packages.
logsender_windows_needs=(
  "x86_64-w64-mingw32-g++-posix:g++-mingw-w64-x86-64-posix"
  "/usr/x86_64-w64-mingw32/include/zlib.h:libz-mingw-w64-dev"
  "wine:wine" "/usr/lib/wine/wine64:wine64" "dpkg-source:dpkg-dev"
  "/usr/src/googletest/CMakeLists.txt:googletest"
  "/usr/share/keyrings/debian-archive-keyring.gpg:debian-archive-keyring"
  "ntlm_auth:winbind"
  "/usr/sbin/krb5kdc:krb5-kdc" "/usr/sbin/kadmin.local:krb5-admin-server" "/usr/bin/kinit:krb5-user"
)

# ensure_packages [list name] [apt-get install options...]: installs the packages of the list
# (default logsender_needs) whose command or file is missing.
ensure_packages() {
  local -n needs=${1:-logsender_needs}
  shift || true
  local missing=() entry what pkg
  for entry in "${needs[@]}"; do
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
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$@" "${missing[@]}" >/dev/null
}
