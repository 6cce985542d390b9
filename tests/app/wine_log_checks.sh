# Sourced by the end-to-end scripts under Wine: the product's two current logs of log
# identifier 4321 written into $logs (with copies kept in $work/originals), and the names a
# receiver stored.

write_logs() {
  mkdir -p "$logs" "$work/originals"
  local i
  for ((i = 1; i <= 20000; i++)); do
    printf '2026-01-01 12:00:%02d [runner] line %d\r\n' $((i % 60)) "$i"
  done >"$logs/OmbrixLog.4321.Runner.log"
  printf 'streamer\r\n' >"$logs/OmbrixLog.4321.Streamer.log"
  cp "$logs"/OmbrixLog.4321.*.log "$work/originals/"
}

stored() {  # the names the receiver stored in <uploads>
  find "$1" -mindepth 1 -maxdepth 1 -not -name '.*' -printf '%f\n' | sort
}
