#!/usr/bin/env bash
# logsender.exe with an https upload address end to end under Wine, against the reference
# receiver behind the nginx TLS front on the host (server/receiver-tls.sh). A ctest entry of
# the Windows build whose command is this script, so it runs on the host; run it through
# scripts/wine-ctest.sh, which provides the Wine prefix and a warm server.
#   end_to_end_tls_windows.sh <logsender_tls_loopback.exe> <certificate folder> <address:port>
# The program posts to https://localhost:<port> and trusts only the build's test authority,
# whose certificates are in <certificate folder>; the front listens on <address:port>.
# Facing server.pem (localhost, signed by that authority) both current logs of id 4321 must
# arrive, each archive unpacking to the original bytes; facing other-name.pem nothing may be
# stored. Either way every log is offered once: the log folder is left empty.
set -euo pipefail

program=${1:?usage: end_to_end_tls_windows.sh <logsender.exe> <certificate folder> <address:port>}
certificates=${2:?certificate folder}
address=${3:?front address}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tests/app/wine_log_checks.sh
source "$root/tests/app/wine_log_checks.sh"
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"
export LC_ALL=C.UTF-8

work=$(mktemp -d)
front_pid=
stop_front() {
  [ -n "$front_pid" ] || return 0
  kill "$front_pid" 2>/dev/null || true
  wait "$front_pid" 2>/dev/null || true
  front_pid=
}
logs=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Ombrix/Log
cleanup() {
  set +e
  stop_front
  rm -rf "$work" "$logs"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

# start_front <upload folder> <certificate name>: the front with that certificate, up within 30 s
start_front() {
  "$root/server/receiver-tls.sh" "$1" "$address" "$certificates/$2.pem" "$certificates/$2.key" \
    </dev/null >"$work/front.log" 2>&1 &
  front_pid=$!
  local _
  for _ in $(seq 300); do
    grep -q 'started' "$work/front.log" && return 0
    kill -0 "$front_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/front.log"
  fail "the TLS front at $address did not start"
}

# run_against <certificate name>: runs "logsender.exe sendlogs S1 4321" against a front with that
# certificate; the receiver's upload folder is $work/<certificate name>.
run_against() {
  local uploads=$work/$1 status=0
  write_logs
  start_front "$uploads" "$1"
  # The output goes to a file: a helper process Wine may start on the program's behalf
  # inherits its descriptors and could hold a pipe open long after the program has ended.
  timeout 120 wine "$program" sendlogs S1 4321 >"$work/output" 2>&1 || status=$?
  stop_front
  [ "$status" -eq 0 ] || fail "$1: exit status $status"
  [ ! -s "$work/output" ] || fail "$1: the program printed: $(cat "$work/output")"
  local left=("$logs"/*)
  [ ! -e "${left[0]}" ] || fail "$1: left in the log folder: ${left[*]##*/}"
}

expect_archive() {  # expect_archive <uploads> <stored name pattern> <original log name>
  local matches=("$1"/$2)
  [ ${#matches[@]} -eq 1 ] && [ -f "${matches[0]}" ] || fail "no single stored archive matches $2"
  unzip -tq "${matches[0]}" >/dev/null || fail "${matches[0]##*/} does not pass unzip -t"
  [ "$(unzip -Z1 "${matches[0]}" | wc -l)" -eq 1 ] || fail "${matches[0]##*/}: not one entry"
  unzip -p "${matches[0]}" | cmp -s - "$work/originals/$3" ||
    fail "${matches[0]##*/} does not unpack to $3"
}

run_against server
echo "stored with the certificate of the address: $(stored "$work/server" | tr '\n' ' ')"
[ "$(stored "$work/server" | wc -l)" -eq 2 ] || fail "expected 2 stored archives"
expect_archive "$work/server" 'S1$OmbrixLog[0-9][0-9]*.4321.Runner.zip' OmbrixLog.4321.Runner.log
expect_archive "$work/server" 'S1$OmbrixLog[0-9][0-9]*.4321.Streamer.zip' \
  OmbrixLog.4321.Streamer.log

run_against other-name
echo "stored with a certificate of another name: $(stored "$work/other-name" | tr '\n' ' ')"
[ -z "$(stored "$work/other-name")" ] || fail "something reached a server of another name"
echo "passed"
