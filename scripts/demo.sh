#!/usr/bin/env bash
# The log sender's main job, end to end, on this machine. Installs what is missing, starts the
# reference receiver on a free loopback port, builds logsender with that upload address, fills
# a temporary data folder with the product's current Streamer and Runner logs, a log left
# behind by a process that has ended, a log that a stopped run had set aside and never sent,
# and a log of a process that is running, runs
#   logsender sendlogs DEMO <log id>
# with XDG_DATA_HOME pointing there, and shows what the receiver stored and what is left in
# the log folder. Everything it starts is stopped and its temporary folder removed on exit.
#   scripts/demo.sh --https   the same job over TLS: the receiver behind its nginx TLS front
#                             (server/receiver-tls.sh) with a certificate made for the run, and
#                             logsender built to trust only that run's authority
#                             (LOGSENDER_CA_FILE)
set -euo pipefail

https=0
case "${1:-}" in
  --https) https=1 ;;
  "") ;;
  *) echo "usage: scripts/demo.sh [--https]" >&2; exit 2 ;;
esac

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/packages.sh
ensure_packages

work=$(mktemp -d)
receiver_pid=
running_pid=
cleanup() {
  set +e
  local pid
  for pid in $running_pid $receiver_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT

uploads=$work/uploads
logs=$work/data/Ombrix/Log
originals=$work/originals
mkdir -p "$uploads" "$logs" "$originals"

if [ "$https" = 1 ]; then
  echo "== starting the reference receiver behind its nginx TLS front"
  server/receiver-tls.sh "$uploads" >"$work/receiver.log" 2>&1 &
  pattern='https://127\.0\.0\.1:[0-9]*'
else
  echo "== starting the reference receiver"
  server/receiver.sh "$uploads" 127.0.0.1:0 >"$work/receiver.log" 2>&1 &
  pattern='http://127\.0\.0\.1:[0-9]*'
fi
receiver_pid=$!
address=
for _ in $(seq 150); do
  address=$(grep -o "$pattern" "$work/receiver.log" | head -n 1 || true)
  [ -n "$address" ] && break
  kill -0 "$receiver_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$address" ] || { cat "$work/receiver.log"; echo "the receiver did not start"; exit 1; }
url=$address/scripts/uploadUserLog.php
echo "   listening at $url"
build=build/demo
trust=()
if [ "$https" = 1 ]; then
  authority=$(sed -n 's/.*authority \(.*\)$/\1/p' "$work/receiver.log" | head -n 1)
  echo "   its certificate is signed by the run's own authority $authority"
  build=build/demo-https
  trust=(-DLOGSENDER_CA_FILE="$authority")
fi

echo "== building logsender with that upload address${trust:+, trusting only that authority}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLOGSENDER_TESTS=OFF \
      -DLOGSENDER_UPLOAD_URL="$url" "${trust[@]}" >"$work/build.log" 2>&1 &&
  cmake --build "$build" --target logsender -j "$(nproc 2>/dev/null || echo 2)" \
      >>"$work/build.log" 2>&1 || { tail -n 40 "$work/build.log"; exit 1; }

echo "== filling the log folder $logs"
log_id=4321
write_log() {  # write_log <file name> <lines>: a log of readable lines
  local i
  for ((i = 1; i <= $2; i++)); do
    printf '2026-01-01 12:00:%02d [%s] line %d of a demo log\n' $((i % 60)) "$1" "$i"
  done >"$logs/$1"
  cp "$logs/$1" "$originals/$1"
}
write_log "OmbrixLog.$log_id.Streamer.log" 2000
write_log "OmbrixLog.$log_id.Runner.log" 3000
sh -c 'exit 0' &
ended_pid=$!
wait "$ended_pid"
write_log "OmbrixLog.$ended_pid.Runner.log" 500
# Set aside under rotation number 31 by a run of that process that was stopped before it sent it.
write_log "OmbrixLog31.$ended_pid.Streamer.log" 800
# A product process still running: it holds its log open, as the product does.
bash -c 'exec 3>>"$1/OmbrixLog.$$.Streamer.log"; echo "live line of process $$" >&3; exec sleep 600' \
  _ "$logs" &
running_pid=$!
for _ in $(seq 100); do
  [ -s "$logs/OmbrixLog.$running_pid.Streamer.log" ] && break
  sleep 0.1
done
cp "$logs/OmbrixLog.$running_pid.Streamer.log" "$originals/"
ls -l "$logs" | tail -n +2 | awk '{printf "   %-40s %8d bytes\n", $9, $5}'
echo "   (process $ended_pid has ended, process $running_pid is running)"

echo "== XDG_DATA_HOME=$work/data logsender sendlogs DEMO $log_id"
status=0
XDG_DATA_HOME=$work/data "$build/app/logsender" sendlogs DEMO "$log_id" || status=$?
echo "   exit status $status"

echo "== the receiver stored"
shopt -s nullglob
stored=("$uploads"/*)
[ ${#stored[@]} -gt 0 ] || echo "   nothing"
for archive in "${stored[@]}"; do
  name=${archive##*/}
  entry=$(unzip -Z1 "$archive" 2>/dev/null | head -n 1 || true)
  original=$originals/$entry
  [ -f "$original" ] || original=$originals/$(echo "$entry" | sed 's/^OmbrixLog[0-9]*\./OmbrixLog./')
  if [ -n "$entry" ] && unzip -tq "$archive" >/dev/null && [ -f "$original" ] &&
     unzip -p "$archive" "$entry" | cmp -s - "$original"; then
    verdict="unpacks to the original $(stat -c %s "$original") bytes"
  else
    verdict="does NOT unpack to the original"
  fi
  printf '   %-40s %7d bytes, entry %s, %s\n' "$name" "$(stat -c %s "$archive")" "${entry:-none}" "$verdict"
done

echo "== left in the log folder"
left=("$logs"/*)
[ ${#left[@]} -gt 0 ] || echo "   nothing"
for file in "${left[@]}"; do
  name=${file##*/}
  if cmp -s "$file" "$originals/$name"; then note="unchanged"; else note="CHANGED"; fi
  printf '   %-40s %7d bytes, %s\n' "$name" "$(stat -c %s "$file")" "$note"
done
