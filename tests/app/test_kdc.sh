#!/usr/bin/env bash
# Runs an MIT Kerberos KDC on loopback for one test, in the foreground:
#   tests/app/test_kdc.sh <folder>
# The realm TEST.LOCAL has the user bob and the service HTTP/localhost. Into <folder> go the
# KDC's database and configuration, and for the test:
#   krb5.conf    a client configuration naming only this KDC (no DNS, no reverse lookups)
#   http.keytab  the key of HTTP/localhost, for a proxy's Negotiate helper
#   ccache       bob's ticket-granting ticket (KRB5CCNAME=FILE:<folder>/ccache)
# Once bob holds his ticket, the first line of output is
#   kdc TEST.LOCAL on 127.0.0.1:<port>
# The KDC stops when this script gets INT or TERM or ends, and when its standard input, a
# pipe, is closed.
set -euo pipefail

folder=${1:?usage: test_kdc.sh <folder>}
mkdir -p "$folder"
folder=$(cd "$folder" && pwd)
# squid's helper runs as squid's own user and reads the client configuration and the keytab.
chmod 0755 "$folder"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
realm=TEST.LOCAL
master=$(openssl rand -hex 16)
password=$(openssl rand -hex 12)

kdc_pid=
stop() {
  trap - EXIT INT TERM
  [ -z "$kdc_pid" ] || kill -9 "$kdc_pid" 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop EXIT
trap 'exit 143' INT TERM

cat >"$folder/kdc.conf" <<EOF
[kdcdefaults]
    kdc_listen = 127.0.0.1:$port
    kdc_tcp_listen = 127.0.0.1:$port
[realms]
    $realm = {
        database_name = $folder/principal
        key_stash_file = $folder/stash
        acl_file = $folder/kadm5.acl
        kdc_listen = 127.0.0.1:$port
        kdc_tcp_listen = 127.0.0.1:$port
        max_life = 1h
    }
[logging]
    kdc = FILE:$folder/kdc.log
    admin_server = FILE:$folder/kadmin.log
    default = FILE:$folder/krb5lib.log
EOF
cat >"$folder/krb5.conf" <<EOF
[libdefaults]
    default_realm = $realm
    dns_lookup_kdc = false
    dns_lookup_realm = false
    rdns = false
    dns_canonicalize_hostname = false
    udp_preference_limit = 1
[realms]
    $realm = {
        kdc = 127.0.0.1:$port
    }
[domain_realm]
    localhost = $realm
EOF
: >"$folder/kadm5.acl"
chmod 0644 "$folder/krb5.conf"

export KRB5_CONFIG=$folder/krb5.conf KRB5_KDC_PROFILE=$folder/kdc.conf
export KRB5CCNAME=FILE:$folder/ccache
kdb5_util create -s -r "$realm" -P "$master" >"$folder/setup.log" 2>&1
kadmin.local -r "$realm" -q "addprinc -pw $password bob" >>"$folder/setup.log" 2>&1
kadmin.local -r "$realm" -q "addprinc -randkey HTTP/localhost" >>"$folder/setup.log" 2>&1
kadmin.local -r "$realm" -q "ktadd -k $folder/http.keytab HTTP/localhost" >>"$folder/setup.log" 2>&1
chmod 0644 "$folder/http.keytab"

krb5kdc -n -r "$realm" </dev/null >"$folder/krb5kdc.out" 2>&1 &
kdc_pid=$!
# kinit asks the KDC: it succeeds once the KDC answers.
for _ in $(seq 100); do
  if printf '%s\n' "$password" | kinit bob >>"$folder/setup.log" 2>&1; then
    echo "kdc $realm on 127.0.0.1:$port"
    # Ends with the pipe of the test that started it.
    if [ -p /dev/stdin ]; then
      cat >/dev/null || true
    else
      wait "$kdc_pid"
    fi
    exit 0
  fi
  kill -0 "$kdc_pid" 2>/dev/null || break
  sleep 0.1
done
cat "$folder/setup.log" "$folder/krb5kdc.out" "$folder/kdc.log" 2>/dev/null >&2 || true
echo "the KDC did not start" >&2
exit 1
