#!/usr/bin/env bash
# The Schannel engine under Wine against TLS servers on the host. A ctest entry of the Windows
# build whose command is this script, so it runs on the host: a Windows program under Wine
# cannot start Node or OpenSSL, but the host can. Run it through scripts/wine-ctest.sh, which
# provides the Wine prefix and a warm server.
#   tls_engine_windows.sh <tests_net.exe>
# Makes the certificates for this run (nothing generated is kept), starts tls_test_servers.js
# and runs the engine tests of <tests_net.exe> with OMBRIX_TLS_CERTS (the certificate folder as
# a Windows path) and OMBRIX_TLS_PORTS ("<server>=<port> ...") in their environment.
set -euo pipefail

program=${1:?usage: tls_engine_windows.sh <tests_net.exe>}
here=$(cd "$(dirname "$0")" && pwd)
: "${WINEPREFIX:?run this through scripts/wine-ctest.sh, which sets up the Wine prefix}"

work=$(mktemp -d)
servers_pid=
cleanup() {
  set +e
  [ -n "$servers_pid" ] && { kill "$servers_pid"; wait "$servers_pid"; } 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  exit 1
}

certs=$work/certs
mkdir -p "$certs"
cd "$certs"

# Servers get P-256 keys, made in milliseconds where an RSA key can take a second on a busy
# machine. Whatever signs a certificate has an RSA key: Wine's chain check refused about one
# ECDSA-signed certificate in ten as badly signed (TRUST_E_CERT_SIGNATURE) that OpenSSL verified.
server_key=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
signing_key=(-newkey rsa:2048 -nodes)

make_ca() {  # make_ca <name> <common name>
  openssl req -x509 "${signing_key[@]}" -keyout "$1.key" -out "$1.pem" -days 30 \
    -subj "/CN=$2" -addext basicConstraints=critical,CA:TRUE \
    -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
  mkdir -p "$1.db"
  : >"$1.db/index.txt"
  echo 01 >"$1.db/serial"
}

# issue <name> <ca> <subject alternative names> [openssl ca date options...]
issue() {
  local name=$1 ca=$2 names=$3
  shift 3
  openssl req "${server_key[@]}" -keyout "$name.key" -out "$name.csr" -subj "/CN=$name" 2>/dev/null
  cat >"$name.cnf" <<EOF
[ca]
default_ca = issuer
[issuer]
database = $ca.db/index.txt
new_certs_dir = $ca.db
serial = $ca.db/serial
default_md = sha256
default_days = 30
policy = any
unique_subject = no
[any]
commonName = supplied
[server]
subjectAltName = $names
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
EOF
  openssl ca -batch -notext -config "$name.cnf" -extensions server -cert "$ca.pem" \
    -keyfile "$ca.key" -in "$name.csr" -out "$name.pem" "$@" 2>/dev/null ||
    fail "could not issue $name"
}

make_ca ca "Ombrix Test CA"
make_ca other-ca "Ombrix Other CA"
issue localhost ca "DNS:localhost,IP:127.0.0.1"
issue other-name ca "DNS:other.example"
issue stranger other-ca "DNS:localhost"
issue expired ca "DNS:localhost" -startdate 20200101000000Z -enddate 20200201000000Z
openssl req -x509 "${signing_key[@]}" -keyout self-signed.key -out self-signed.pem -days 30 \
  -subj "/CN=localhost" -addext subjectAltName=DNS:localhost 2>/dev/null

exec {listing}< <(exec node "$here/tls_test_servers.js" "$certs" 2>"$work/servers.log")
servers_pid=$!
ports=()
while IFS= read -r -t 30 line <&"$listing"; do
  [ "$line" = ready ] && break
  ports+=("${line% *}=${line#* }")
done
[ "${line:-}" = ready ] || { cat "$work/servers.log"; fail "the TLS servers did not start"; }

export OMBRIX_TLS_CERTS="Z:${certs//\//\\}"
export OMBRIX_TLS_PORTS="${ports[*]}"
# The output goes to a file: a helper process Wine may start on the program's behalf inherits
# its descriptors and could hold a pipe open long after the program has ended.
status=0
timeout 240 wine "$program" --gtest_filter='TlsEngine*' >"$work/output" 2>&1 || status=$?
cat "$work/output"
grep -q 'SKIPPED' "$work/output" && fail "a test skipped although its servers were there"
[ "$status" -eq 0 ] || fail "exit status $status"
