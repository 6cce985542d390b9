#!/usr/bin/env bash
# The Schannel engine under Wine against TLS servers on the host. A ctest entry of the Windows
# build whose command is this script, so it runs on the host: a Windows program under Wine
# cannot start Node or OpenSSL, but the host can. Run it through scripts/wine-ctest.sh, which
# provides the Wine prefix and a warm server.
#   tls_engine_windows.sh <tests_net.exe>
# Makes the certificates for this run with server/make-test-certificates.sh (authorities with
# RSA keys, which Wine's chain check takes reliably; nothing generated is kept), starts
# tls_test_servers.js
# and runs the engine tests of <tests_net.exe> with OMBRIX_TLS_CERTS (the certificate folder as
# a Windows path) and OMBRIX_TLS_PORTS ("<server>=<port> ...") in their environment.
set -euo pipefail

program=${1:?usage: tls_engine_windows.sh <tests_net.exe>}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"

work=$(mktemp -d)
servers_pid=
cleanup() {
  set +e
  [ -n "$servers_pid" ] && { kill "$servers_pid"; wait "$servers_pid"; } 2>/dev/null
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

exec {listing}< <(exec node "$here/tls_test_servers.js" "$certs" 2>"$work/servers.log")
servers_pid=$!
ports=()
while IFS= read -r -t 30 line <&"$listing"; do
  [ "$line" = ready ] && break
  ports+=("${line% *}=${line#* }")
done
[ "${line:-}" = ready ] || { cat "$work/servers.log"; fail "the TLS servers did not start"; }

export OMBRIX_TLS_CERTS="Z:${certs//\//\\}"
export OMBRIX_TLS_PORTS="${ports[*]}"
# The output goes to a file: a helper process Wine may start on the program's behalf inherits
# its descriptors and could hold a pipe open long after the program has ended.
status=0
timeout 240 wine "$program" --gtest_filter='TlsEngine*' >"$work/output" 2>&1 || status=$?
cat "$work/output"
grep -q 'SKIPPED' "$work/output" && fail "a test skipped although its servers were there"
[ "$status" -eq 0 ] || fail "exit status $status"
