#!/usr/bin/env bash
# logsender.exe end to end under Wine, against the reference receiver (PHP's built-in server on
# the host). A ctest entry of the Windows build whose command is this script, so it runs on the
# host: a Windows program under Wine cannot start PHP or unzip, but the host can start both
# sides. Run it through scripts/wine-ctest.sh, which provides the Wine prefix and a warm server.
#   end_to_end_windows.sh <logsender.exe> <stand-in.exe> <receiver address:port>
# The log folder, <prefix>/drive_c/users/<user>/AppData/Local/Ombrix/Log, gets the product's
# current logs of log identifier 4321, a log of an ended process, a log whose name the ANSI code
# page cannot hold, and a log held open (no sharing) by a running Wine process whose id is in
# its name. After `wine logsender.exe sendlogs W1 4321` every archive the receiver stored must
# unpack to the original bytes, and only the held log may be left, unchanged.
set -euo pipefail

program=${1:?usage: end_to_end_windows.sh <logsender.exe> <stand-in.exe> <address:port>}
stand_in=${2:?stand-in program}
address=${3:?receiver address}
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"
# Wine spells Unix file names in the locale's character set, and under C it has none beyond
# ASCII; C.UTF-8 names every file while the ANSI code page stays 1252.
export LC_ALL=C.UTF-8

work=$(mktemp -d)
receiver_pid=
holder_pid=
cleanup() {
  set +e
  if [ -n "$holder_pid" ]; then
    # The end of its standard input lets the holding process close its log and end.
    [ -n "${HOLDER[1]:-}" ] && eval "exec ${HOLDER[1]}>&-"
    timeout 30 tail --pid="$holder_pid" -f /dev/null || kill "$holder_pid"
  fi 2>/dev/null
  [ -n "$receiver_pid" ] && { kill "$receiver_pid"; wait "$receiver_pid"; } 2>/dev/null
  rm -rf "$work" "$logs"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

logs=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Ombrix/Log
windows_logs='C:\users\'"$(id -un)"'\AppData\Local\Ombrix\Log'
uploads=$work/uploads
originals=$work/originals
mkdir -p "$logs" "$uploads" "$originals"
[ -d "$logs" ] || fail "no log folder in the Wine prefix"

"$root/server/receiver.sh" "$uploads" "$address" >"$work/receiver.log" 2>&1 &
receiver_pid=$!
for _ in $(seq 100); do
  grep -q 'started' "$work/receiver.log" && break
  kill -0 "$receiver_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q 'started' "$work/receiver.log" || { cat "$work/receiver.log"; fail "receiver at $address"; }

write_log() {  # write_log <file name> <lines>
  local i
  for ((i = 1; i <= $2; i++)); do
    printf '2026-01-01 12:00:%02d [%s] line %d\r\n' $((i % 60)) "$1" "$i"
  done >"$logs/$1"
  cp "$logs/$1" "$originals/$1"
}
write_log OmbrixLog.4321.Streamer.log 20000
write_log OmbrixLog.4321.Runner.log 30000
# Windows process ids are multiples of 4: no process can carry this one.
write_log OmbrixLog.1234567.Runner.log 500
write_log "OmbrixLog.$(printf '\xce\xa9')mega.Runner.log" 50

# A product process that runs on: it creates its log without sharing and keeps it open until
# its standard input ends.
coproc HOLDER { wine "$stand_in" hold-log "$windows_logs" "still being written"; }
holder_pid=$HOLDER_PID
holder_id=
line=
for _ in 1 2 3; do
  IFS= read -r -t 30 line <&"${HOLDER[0]}" || break
  line=${line%$'\r'}
  [[ $line =~ ^[0-9]+$ ]] && holder_id=$line
  [ "$line" = ready ] && break
done
[ "$line" = ready ] && [ -n "$holder_id" ] || fail "the holding process did not start"
held=OmbrixLog.$holder_id.Runner.log
[ -f "$logs/$held" ] || fail "the holding process made no $held"
cp "$logs/$held" "$originals/$held"

# The output goes to a file: a helper process Wine may start on the program's behalf inherits
# its descriptors and could hold a pipe open long after the program has ended.
status=0
timeout 120 wine "$program" sendlogs W1 4321 >"$work/output" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "exit status $status"
[ ! -s "$work/output" ] || fail "the program printed: $(cat "$work/output")"

shopt -s nullglob
stored=()
for archive in "$uploads"/*; do
  stored+=("${archive##*/}")
done
echo "stored: ${stored[*]}"
[ ${#stored[@]} -eq 4 ] || fail "expected 4 stored archives"

# The archive stored as W1$<name> holds one entry whose bytes are the original log's.
expect_archive() {  # expect_archive <stored name pattern> <original log name>
  local matches=("$uploads"/$1)
  [ ${#matches[@]} -eq 1 ] || fail "no single stored archive matches $1"
  unzip -tq "${matches[0]}" >/dev/null || fail "${matches[0]##*/} does not pass unzip -t"
  [ "$(unzip -Z1 "${matches[0]}" | wc -l)" -eq 1 ] || fail "${matches[0]##*/}: not one entry"
  unzip -p "${matches[0]}" | cmp -s - "$originals/$2" ||
    fail "${matches[0]##*/} does not unpack to $2"
}
expect_archive 'W1$OmbrixLog[0-9][0-9]*.4321.Streamer.zip' OmbrixLog.4321.Streamer.log
expect_archive 'W1$OmbrixLog[0-9][0-9]*.4321.Runner.zip' OmbrixLog.4321.Runner.log
expect_archive 'W1$OmbrixLog.1234567.Runner.zip' OmbrixLog.1234567.Runner.log
# The name reaches the receiver through the ANSI code page, which has no omega.
expect_archive 'W1$OmbrixLog.?mega.Runner.zip' "OmbrixLog.$(printf '\xce\xa9')mega.Runner.log"

left=("$logs"/*)
[ ${#left[@]} -eq 1 ] && [ "${left[0]##*/}" = "$held" ] ||
  fail "left in the log folder: ${left[*]##*/}"
cmp -s "$logs/$held" "$originals/$held" || fail "the held log changed"
echo "passed"
