#!/usr/bin/env bash
# Runs a forward proxy on loopback for one test, in the foreground:
#   tests/app/test_proxy.sh <kind> <folder> <user> <password> [<name> <address>]
# with <kind> one of
#   squid           Basic logons of <user> through basic_ncsa_auth
#   squid-open      no logon at all (<user> and <password> unused)
#   squid-kerberos  Negotiate logons through negotiate_kerberos_auth for the service
#                   HTTP/localhost, with the client configuration in KRB5_CONFIG and the
#                   service's key in KRB5_KTNAME of this script's environment (<user> and
#                   <password> unused); the access log names the user
#   tinyproxy       Basic logons of <user>, HTTP/1.0 answers, its 407 to a CONNECT without
#                   length and closing
# Each squid goes out from 127.0.0.2 (so a server sees that a connection came through it) and
# resolves only <name>, to <address>, from a hosts file of its own: a name nobody else
# resolves. Everything of the run stays in <folder>. Once the proxy answers, the first line of
# output is
#   proxy <kind> on 127.0.0.1:<port>
# and each request the proxy logged is echoed as it is written. The proxy stops when this
# script gets INT or TERM or ends, and when its standard input, a pipe, is closed.
set -euo pipefail

kind=${1:?usage: test_proxy.sh <kind> <folder> <user> <password> [<name> <address>]}
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
  squid | squid-open | squid-kerberos)
    case $kind in
      squid)
        printf '%s:%s\n' "$user" "$(openssl passwd -apr1 "$password")" >"$folder/passwords"
        chmod 0644 "$folder/passwords"
        logon="auth_param basic program /usr/lib/squid/basic_ncsa_auth $folder/passwords"
        ;;
      squid-kerberos)
        : "${KRB5_CONFIG:?squid-kerberos needs KRB5_CONFIG}" "${KRB5_KTNAME:?and KRB5_KTNAME}"
        # The helper runs as squid's user, with no replay cache of its own to write.
        logon="auth_param negotiate program /usr/bin/env KRB5_CONFIG=$KRB5_CONFIG KRB5_KTNAME=$KRB5_KTNAME KRB5RCACHETYPE=none /usr/lib/squid/negotiate_kerberos_auth -s HTTP/localhost@TEST.LOCAL
auth_param negotiate children 2
auth_param negotiate keep_alive on"
        ;;
      *)
        logon=
        ;;
    esac
    if [ -n "$logon" ]; then
      access="acl authed proxy_auth REQUIRED
http_access allow authed"
    else
      access="http_access allow localhost"
    fi
    printf '%s %s\n' "$address" "$name" >"$folder/hosts"
    chmod 0644 "$folder/hosts"
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
$logon
$access
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
