#!/usr/bin/env bash
# Runs a forward proxy on loopback for one test, in the foreground:
#   tests/app/test_proxy.sh squid|tinyproxy <folder> <user> <password> [<name> <address>]
# squid takes Basic logons through basic_ncsa_auth, goes out from 127.0.0.2 (so a server sees
# that a connection came through it) and resolves <name> to <address> from a hosts file of its
# own, a name nobody else resolves. tinyproxy takes Basic logons and answers HTTP/1.0, its 407
# to a CONNECT without length and closing. Everything of the run stays in <folder>. Once the
# proxy answers, the first line of output is
#   proxy <kind> on 127.0.0.1:<port>
# and each request the proxy logged is echoed as it is written. The proxy stops when this
# script gets INT or TERM or ends, and when its standard input, a pipe, is closed.
set -euo pipefail

kind=${1:?usage: test_proxy.sh squid|tinyproxy <folder> <user> <password> [<name> <address>]}
folder=$2
user=$3
password=$4
name=${5:-upload.test}
address=${6:-127.0.0.1}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
chmod 0777 "$folder"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

proxy_pid=
tail_pid=
stop() {
  trap - EXIT INT TERM
  local pid
  for pid in $tail_pid $proxy_pid; do
    kill -9 "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 143' INT TERM

touch "$folder/access.log"
chmod 0666 "$folder/access.log"
case $kind in
  squid)
    printf '%s:%s\n' "$user" "$(openssl passwd -apr1 "$password")" >"$folder/passwords"
    printf '%s %s\n' "$address" "$name" >"$folder/hosts"
    chmod 0644 "$folder/passwords" "$folder/hosts"
    cat >"$folder/squid.conf" <<EOF
http_port 127.0.0.1:$port
pid_filename $folder/squid.pid
cache_log $folder/cache.log
access_log stdio:$folder/access.log squid
cache deny all
cache_mem 8 MB
shutdown_lifetime 1 seconds
hosts_file $folder/hosts
tcp_outgoing_address 127.0.0.2
coredump_dir $folder
auth_param basic program /usr/lib/squid/basic_ncsa_auth $folder/passwords
acl authed proxy_auth REQUIRED
http_access allow authed
http_access deny all
EOF
    squid -N -f "$folder/squid.conf" </dev/null >"$folder/squid.out" 2>&1 &
    proxy_pid=$!
    ;;
  tinyproxy)
    cat >"$folder/tinyproxy.conf" <<EOF
Port $port
Listen 127.0.0.1
Timeout 30
LogFile "$folder/access.log"
LogLevel Connect
MaxClients 20
BasicAuth $user $password
EOF
    [ "$(id -u)" -ne 0 ] || printf 'User nobody\nGroup nogroup\n' >>"$folder/tinyproxy.conf"
    tinyproxy -d -c "$folder/tinyproxy.conf" </dev/null >"$folder/tinyproxy.out" 2>&1 &
    proxy_pid=$!
    ;;
  *)
    echo "unknown proxy kind $kind" >&2
    exit 2
    ;;
esac

for _ in $(seq 150); do
  if python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2).close()" \
       2>/dev/null; then
    echo "proxy $kind on 127.0.0.1:$port"
    tail -n +1 -f "$folder/access.log" &
    tail_pid=$!
    # Ends with the pipe of the test that started it.
    if [ -p /dev/stdin ]; then
      cat >/dev/null || true
    else
      wait "$proxy_pid"
    fi
    exit 0
  fi
  kill -0 "$proxy_pid" 2>/dev/null || break
  sleep 0.1
done
cat "$folder"/*.out "$folder"/cache.log 2>/dev/null >&2 || true
echo "the $kind proxy did not start" >&2
exit 1
