#!/usr/bin/env bash
# logsender.exe end to end under Wine through the proxy of the user's Windows setting: squid
# on the host, named in DefaultConnectionSettings, the binary value WinHTTP reads. A ctest
# entry of the Windows build whose command is this script, so it runs on the host; run it
# through scripts/wine-ctest.sh, which provides the Wine prefix.
#   end_to_end_proxy_windows.sh <logsender_loopback.exe> <logsender_tls_loopback.exe>
#                               <receiver address:port> <certificate folder> <front address:port>
# The setting names a proxy and the bypass list "<-loopback>", so that the loopback upload
# addresses go through it. Rows, each with the current logs of log identifier 4321:
#   open       squid without logon, http: both archives arrive through squid (its log shows
#              the absolute-form POST, the receiver sees squid's outgoing address 127.0.0.2)
#   kerberos   squid asking for Negotiate, answered silently with bob's Kerberos ticket from
#              an MIT KDC on loopback, for http (POST) and https (CONNECT): both archives
#              arrive and squid's log names bob@TEST.LOCAL
#   no ticket  the same squid and no ticket: nothing arrives, squid refused with 407
# Whatever the outcome, each log is offered once: the log folder is left empty.
#
# The proxy setting reaches every program of a Wine prefix, and the other tests of the run
# read it (each run of the log sender does), so this script works in a private copy of the
# prefix with a Wine server of its own. Wine passes KRB5CCNAME and KRB5_CONFIG to the host's
# Kerberos library, which its Negotiate package uses.
set -euo pipefail

program=${1:?usage: end_to_end_proxy_windows.sh <logsender.exe> <tls logsender.exe> <address:port> <certificate folder> <front address:port>}
tls_program=${2:?tls program}
address=${3:?receiver address}
certificates=${4:?certificate folder}
front_address=${5:?front address}
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=tests/app/wine_log_checks.sh
source "$root/tests/app/wine_log_checks.sh"
here=$root/tests/app
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"
export LC_ALL=C.UTF-8
for command in squid krb5kdc kdb5_util kadmin.local kinit; do
  command -v "$command" >/dev/null || [ -x "/usr/sbin/$command" ] ||
    { echo "FAILED: $command is missing (scripts/packages.sh installs it)"; exit 1; }
done
export PATH=$PATH:/usr/sbin

work=$(mktemp -d)
chmod 0755 "$work"
pids=()
private_prefix=
cleanup() {
  set +e
  local pid
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [ -n "$private_prefix" ]; then
    WINEPREFIX=$private_prefix wineserver -k 2>/dev/null
    WINEPREFIX=$private_prefix wineserver -w 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# The logs of the fixtures in use, shown when a check fails.
shown=()
fail() {
  local file
  for file in "${shown[@]}"; do
    [ -s "$file" ] && { echo "--- ${file#"$work"/}"; tail -n 40 "$file"; }
  done
  echo "FAILED: $*"
  exit 1
}

# The private prefix: the run's prefix linked file by file (the programs and libraries, some
# 700 MB), with real copies of what Wine and the programs may write to in place: the registry,
# the update mark, the .ini files, the users' folders and ProgramData. scripts/wine-ctest.sh has
# the registry written to its files before the first test.
[ -s "$WINEPREFIX/system.reg" ] && [ -s "$WINEPREFIX/user.reg" ] ||
  fail "the Wine prefix's registry is not in its files yet"
private_prefix=$work/prefix
mkdir "$private_prefix"
cp -al "$WINEPREFIX/drive_c" "$WINEPREFIX/dosdevices" "$private_prefix/"
for path in system.reg user.reg userdef.reg .update-timestamp drive_c/windows/win.ini \
            drive_c/windows/system.ini drive_c/users drive_c/ProgramData; do
  [ -e "$WINEPREFIX/$path" ] || continue
  rm -rf "${private_prefix:?}/$path"
  cp -a "$WINEPREFIX/$path" "$private_prefix/$path"
done
export WINEPREFIX=$private_prefix
wineserver -p </dev/null >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || fail "Wine does not start in the private prefix"
logs=$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/Ombrix/Log
rm -rf "$logs"

# start <name> <banner pattern> <command...>: runs a fixture in the background, output in
# $work/<name>.out, and waits up to 30 s for its banner line.
start() {
  local name=$1 pattern=$2
  shift 2
  "$@" </dev/null >"$work/$name.out" 2>&1 &
  pids+=($!)
  local _
  for _ in $(seq 300); do
    grep -q "$pattern" "$work/$name.out" && return 0
    kill -0 "${pids[-1]}" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/$name.out"
  fail "$name did not start"
}

# stop_last: stops the fixture started last.
stop_last() {
  kill "${pids[-1]}" 2>/dev/null || true
  wait "${pids[-1]}" 2>/dev/null || true
  unset 'pids[-1]'
}

# The value's layout: DWORD 0x46, a counter, the flags (1 direct, 2 proxy), then proxy, bypass
# and auto-config URL as texts each behind its DWORD length, then 32 zero bytes.
dword_hex() {
  printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24))
}
text_hex() {
  dword_hex ${#1}
  printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'
}
counter=0
set_proxy() {  # set_proxy <host:port>: the user's setting, that proxy for every scheme
  counter=$((counter + 1))
  local value
  value=$(dword_hex 0x46)$(dword_hex $counter)$(dword_hex 3)$(text_hex "$1")$(text_hex '<-loopback>')
  value+=$(text_hex '')$(printf '0%.0s' $(seq 64))
  wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings\Connections' \
    /v DefaultConnectionSettings /t REG_BINARY /d "$value" /f >/dev/null 2>&1 ||
    fail "could not write DefaultConnectionSettings"
}

# run <row> <program> <product word>: writes the logs, runs "<program> sendlogs <word> 4321"
# and checks that it printed nothing, ended with 0 and left no log behind.
run() {
  local row=$1 status=0 started=$SECONDS
  write_logs
  # The output goes to a file: a helper process Wine may start on the program's behalf
  # inherits its descriptors and could hold a pipe open long after the program has ended.
  timeout 120 wine "$2" sendlogs "$3" 4321 >"$work/output" 2>&1 || status=$?
  echo "$row: the run took $((SECONDS - started)) s"
  [ "$status" -eq 0 ] || fail "$row: exit status $status"
  [ ! -s "$work/output" ] || fail "$row: the program printed: $(cat "$work/output")"
  local left=("$logs"/*)
  [ ! -e "${left[0]}" ] || fail "$row: left in the log folder: ${left[*]##*/}"
}

# expect_both <row> <uploads> <word>: the two archives, each unpacking to its log
expect_both() {
  echo "$1: stored $(stored "$2" | tr '\n' ' ')"
  [ "$(stored "$2" | wc -l)" -eq 2 ] || fail "$1: expected 2 stored archives"
  local kind matches
  for kind in Runner Streamer; do
    matches=("$2/$3\$OmbrixLog"[0-9][0-9]*".4321.$kind.zip")
    [ ${#matches[@]} -eq 1 ] && [ -f "${matches[0]}" ] || fail "$1: no single $kind archive"
    unzip -tq "${matches[0]}" >/dev/null || fail "$1: ${matches[0]##*/} does not pass unzip -t"
    unzip -p "${matches[0]}" | cmp -s - "$work/originals/OmbrixLog.4321.$kind.log" ||
      fail "$1: ${matches[0]##*/} does not unpack to its log"
  done
}

# logged <row> <log file> <extended pattern> <count>: the proxy's log has that many lines
# matching, within 10 s (squid writes its log behind the answers).
logged() {
  local _ count=0
  for _ in $(seq 100); do
    count=$(grep -cE "$3" "$2" || true)
    [ "$count" -ge "$4" ] && break
    sleep 0.1
  done
  [ "$count" -eq "$4" ] || { cat "$2"; fail "$1: $count lines of the proxy's log match '$3', not $4"; }
  grep -E "$3" "$2" | sed "s/^/$1: squid logged /"
}

# --- open: squid without logon, http ---------------------------------------------------------
uploads=$work/uploads
start receiver started "$root/server/receiver.sh" "$uploads" "$address"
start proxy '^proxy ' bash "$here/test_proxy.sh" squid-open "$work/open-proxy" - -
proxy=$(sed -n 's/^proxy .* on //p' "$work/proxy.out")
shown=("$work/open-proxy/access.log" "$work/receiver.out")
set_proxy "$proxy"
run open "$program" W1
expect_both open "$uploads" W1
logged open "$work/open-proxy/access.log" \
  " TCP_MISS/200 [0-9]+ POST http://$address/scripts/uploadUserLog\\.php - HIER_DIRECT/" 2
# The receiver saw the uploads come from squid's outgoing address, none from elsewhere.
[ "$(grep -c 'POST /scripts/uploadUserLog.php' "$work/receiver.out")" -eq 2 ] &&
  [ "$(grep 'POST /scripts/uploadUserLog.php' "$work/receiver.out" | grep -vc ' 127\.0\.0\.2:')" -eq 0 ] ||
  { cat "$work/receiver.out"; fail "open: the receiver saw other uploads than squid's two"; }
stop_last

# --- kerberos: squid asking for Negotiate, bob's ticket -------------------------------------
start kdc '^kdc ' bash "$here/test_kdc.sh" "$work/kdc"
export KRB5_CONFIG=$work/kdc/krb5.conf
KRB5_KTNAME=$work/kdc/http.keytab start proxy '^proxy ' \
  bash "$here/test_proxy.sh" squid-kerberos "$work/kerberos-proxy" - - localhost 127.0.0.1
proxy_log=$work/kerberos-proxy/access.log
shown=("$proxy_log" "$work/kerberos-proxy/cache.log" "$work/kdc/kdc.log")
proxy=$(sed -n 's/^proxy .* on //p' "$work/proxy.out")
# The service name is HTTP/<the proxy's name>, so the setting names it as localhost.
set_proxy "localhost:${proxy##*:}"

export KRB5CCNAME=FILE:$work/kdc/ccache
rm -rf "${uploads:?}"/*
run 'kerberos, http' "$program" K1
expect_both 'kerberos, http' "$uploads" K1
logged 'kerberos, http' "$proxy_log" \
  " TCP_MISS/200 [0-9]+ POST http://$address/scripts/uploadUserLog\\.php bob@TEST\\.LOCAL " 2

tls_uploads=$work/tls
start front started "$root/server/receiver-tls.sh" "$tls_uploads" "$front_address" \
  "$certificates/server.pem" "$certificates/server.key"
run 'kerberos, https' "$tls_program" K2
expect_both 'kerberos, https' "$tls_uploads" K2
logged 'kerberos, https' "$proxy_log" \
  " TCP_TUNNEL/200 [0-9]+ CONNECT localhost:${front_address##*:} bob@TEST\\.LOCAL " 2

# --- no ticket: the same squid refuses, nothing arrives --------------------------------------
export KRB5CCNAME=FILE:$work/no-ticket
rm -rf "${tls_uploads:?}"/*
refused_before=$(grep -c ' TCP_DENIED/407 ' "$proxy_log" || true)
run 'no ticket' "$tls_program" K3
echo "no ticket: stored $(stored "$tls_uploads" | tr '\n' ' ')"
[ -z "$(stored "$tls_uploads")" ] || fail "no ticket: something arrived"
refused=0
for _ in $(seq 100); do
  refused=$(($(grep -c ' TCP_DENIED/407 ' "$proxy_log" || true) - refused_before))
  [ "$refused" -ge 1 ] && break
  sleep 0.1
done
[ "$refused" -ge 1 ] || { cat "$proxy_log"; fail "no ticket: squid refused nothing"; }
echo "no ticket: squid answered 407 $refused times"
[ "$(grep -c ' TCP_TUNNEL/' "$proxy_log")" -eq 2 ] ||
  { cat "$proxy_log"; fail "no ticket: squid opened a tunnel"; }
echo "passed"
