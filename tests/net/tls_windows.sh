#!/usr/bin/env bash
# CTlsSocket and CHttpClientT<CTlsSocket> under Wine against TLS servers on the host: the same
# test cases as on POSIX (TlsSocketTest in tests_net, HttpClientTls in tests_http), whose
# servers a Windows program cannot start itself. A ctest entry of the Windows build whose
# command is this script, so it runs on the host; run it through scripts/wine-ctest.sh, which
# provides the Wine prefix and a warm server.
#   tls_windows.sh <tests_net.exe> <tests_http.exe>
# Makes the certificates for this run (authorities with RSA keys, which Wine's chain check
# takes reliably; nothing generated is kept), starts tests/support/tls_test_launcher.py, which
# starts tls_test_server.py for each case the programs ask for, and names both in
# OMBRIX_TLS_AUTHORITY (ca.pem as a Windows path) and OMBRIX_TLS_LAUNCHER (its port).
set -euo pipefail

net_program=${1:?usage: tls_windows.sh <tests_net.exe> <tests_http.exe>}
http_program=${2:?usage: tls_windows.sh <tests_net.exe> <tests_http.exe>}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"

work=$(mktemp -d)
launcher_pid=
cleanup() {
  set +e
  [ -n "$launcher_pid" ] && { kill "$launcher_pid"; wait "$launcher_pid"; } 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

certs=$work/certs
bash "$root/server/make-test-certificates.sh" --rsa-authorities "$certs" >/dev/null 2>&1 ||
  fail "could not make the certificates"

exec {banner}< <(exec python3 "$root/tests/support/tls_test_launcher.py" "$certs" \
                   2>"$work/launcher.log")
launcher_pid=$!
line=
read -r -t 30 line <&"$banner" || true
case $line in
  "listening on "*) port=${line#listening on } ;;
  *) cat "$work/launcher.log"; fail "the launcher did not start" ;;
esac

export OMBRIX_TLS_AUTHORITY="Z:${certs//\//\\}\\ca.pem"
export OMBRIX_TLS_LAUNCHER=$port

# run <program> <filter>: the program's output goes to a file, since a helper process Wine
# may start on its behalf inherits its descriptors and could hold a pipe open long after it.
run() {
  local output=$work/output status=0
  timeout 240 wine "$1" --gtest_filter="$2" >"$output" 2>&1 || status=$?
  cat "$output"
  grep -q 'SKIPPED' "$output" && fail "$2 skipped although the servers were there"
  grep -q '^\[  PASSED  \] [1-9]' "$output" || fail "$2 ran no test"
  [ "$status" -eq 0 ] || fail "$2: exit status $status"
}
run "$net_program" 'TlsSocketTest.*'
run "$http_program" 'HttpClientTls.*'
