#!/usr/bin/env bash
# The SSPI scheme tests under Wine against the NTLM proxy stub on the host. A ctest entry of
# the Windows build whose command is this script, so it runs on the host: a Windows program
# under Wine cannot start Python. Run it through scripts/wine-ctest.sh, which provides the
# Wine prefix and a warm server.
#   sspi_scheme_windows.sh <tests_http.exe>
# Starts ntlm_proxy_stub.py for the account CORP\bob, runs the SspiScheme cases with its port
# in OMBRIX_NTLM_PROXY, and checks that the stub verified the right password and refused the
# wrong one. Wine's NTLM package runs winbind's ntlm_auth.
set -euo pipefail

program=${1:?usage: sspi_scheme_windows.sh <tests_http.exe>}
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"
command -v ntlm_auth >/dev/null || { echo "FAILED: ntlm_auth (winbind) is missing"; exit 1; }

work=$(mktemp -d)
stub_pid=
cleanup() {
  set +e
  [ -n "$stub_pid" ] && { kill "$stub_pid"; wait "$stub_pid"; } 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

exec {verdicts}< <(exec python3 "$here/ntlm_proxy_stub.py" CORP bob Secret-1 2>"$work/stub.log")
stub_pid=$!
IFS= read -r -t 10 port <&"$verdicts" || { cat "$work/stub.log"; fail "the stub did not start"; }

status=0
OMBRIX_NTLM_PROXY=$port timeout 120 wine "$program" --gtest_filter='SspiScheme*:SystemLogon*' \
  >"$work/output" 2>&1 || status=$?
cat "$work/output"
grep -q 'SKIPPED' "$work/output" && fail "a test skipped although the stub was there"
[ "$status" -eq 0 ] || fail "exit status $status"
kill "$stub_pid"
wait "$stub_pid" 2>/dev/null || true
stub_pid=
timeout 5 cat <&"$verdicts" >"$work/verdicts" || true
cat "$work/verdicts"
grep -q '^verified CORP\\bob$' "$work/verdicts" || fail "the stub verified no logon"
grep -q '^refused wrong proof for CORP\\bob$' "$work/verdicts" || fail "the stub refused nothing"
