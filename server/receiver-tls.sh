#!/usr/bin/env bash
# Starts the reference upload receiver behind an nginx TLS front on loopback, in the foreground:
#   server/receiver-tls.sh <upload folder> [address:port] [certificate key]
# The PHP receiver (server/receiver.sh) listens on a free port of 127.0.0.1 and stores into
# <upload folder>; nginx answers https on address:port (default 127.0.0.1 and a free port) and
# passes every request through unbuffered, whatever its size. Without a certificate and key,
# one is made for the run by server/make-test-certificates.sh, for localhost, 127.0.0.1 and the
# address, signed by a test authority whose ca.pem a client must be given.
# Once nginx answers, the first line of output is
#   TLS front (https://<address:port>) started, authority <ca.pem path, or "given">
# Everything of the run (nginx's configuration, pid, logs and temporary folders, the
# certificates) stays in <upload folder>/.tls. Both servers stop when this script gets INT or
# TERM or ends, and, when its standard input is a pipe, when that pipe's other end closes.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
folder=${1:?usage: receiver-tls.sh <upload folder> [address:port] [certificate key]}
listen=${2:-}
certificate=${3:-}
key=${4:-}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
run=$folder/.tls
rm -rf "$run"
mkdir -p "$run"/{client_body,proxy,fastcgi,uwsgi,scgi}

if [ -z "$listen" ]; then
  port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  listen=127.0.0.1:$port
fi
authority=given
if [ -z "$certificate" ]; then
  "$here/make-test-certificates.sh" "$run/certificates" "${listen%:*}" >/dev/null 2>&1
  certificate=$run/certificates/server.pem
  key=$run/certificates/server.key
  authority=$run/certificates/ca.pem
fi

php_pid=
nginx_pid=
watcher_pid=
stop() {
  trap - EXIT INT TERM
  local pid
  for pid in $watcher_pid $nginx_pid $php_pid; do
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 143' INT TERM

"$here/receiver.sh" "$folder" 127.0.0.1:0 >"$run/php.log" 2>&1 &
php_pid=$!
backend=
for _ in $(seq 100); do
  backend=$(grep -o 'http://127\.0\.0\.1:[0-9]*' "$run/php.log" | head -n 1 || true)
  [ -n "$backend" ] && break
  kill -0 "$php_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$backend" ] || { cat "$run/php.log" >&2; echo "the PHP receiver did not start" >&2; exit 1; }

# As root the workers would run as nobody, who cannot enter the folder: they run as we do.
user_line=
[ "$(id -u)" -ne 0 ] || user_line="user $(id -un) $(id -gn);"
cat >"$run/nginx.conf" <<EOF
daemon off;
$user_line
worker_processes 1;
pid $run/nginx.pid;
error_log $run/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $run/client_body;
  proxy_temp_path $run/proxy;
  fastcgi_temp_path $run/fastcgi;
  uwsgi_temp_path $run/uwsgi;
  scgi_temp_path $run/scgi;
  server {
    listen $listen ssl;
    ssl_certificate $certificate;
    ssl_certificate_key $key;
    client_max_body_size 0;
    location / {
      proxy_pass $backend;
      proxy_http_version 1.1;
      proxy_request_buffering off;
      proxy_set_header Host \$host;
    }
  }
}
EOF
nginx -p "$run" -c "$run/nginx.conf" -e "$run/error.log" &
nginx_pid=$!
up=
for _ in $(seq 100); do
  if (exec 3<>"/dev/tcp/${listen%:*}/${listen##*:}") 2>/dev/null; then
    up=1
    break
  fi
  kill -0 "$nginx_pid" 2>/dev/null || break
  sleep 0.05
done
[ -n "$up" ] || { cat "$run/error.log" >&2; echo "nginx did not start" >&2; exit 1; }

# A caller that holds our input pipe and may end us by SIGKILL still stops both servers by
# closing it. (A background command would read /dev/null, hence the copy on descriptor 4.)
if [ -p /dev/stdin ]; then
  exec 4<&0
  (while read -r _ <&4; do :; done; kill "$nginx_pid" "$php_pid" 2>/dev/null) &
  watcher_pid=$!
fi
echo "TLS front (https://$listen) started, authority $authority"
wait "$nginx_pid"
