#!/usr/bin/env bash
# Makes the certificates of a TLS test run into <folder> with the openssl command, in well
# under a second (P-256 keys):
#   server/make-test-certificates.sh [--rsa-authorities] <folder> [IP address...]
#   ca.pem               the test authority (its key ca.key), the root a client is given
#   server.pem/.key      signed by it, for localhost, 127.0.0.1 and the IP addresses named
#   other-name.pem/.key  signed by it, for other-name.invalid only
#   expired.pem/.key     signed by it, for localhost and 127.0.0.1, valid in 2020 only
#   untrusted.pem/.key   for localhost and 127.0.0.1, signed by an authority nobody trusts
#   self-signed.pem/.key for localhost and 127.0.0.1, signed by itself
# Nothing it makes is meant to outlive the run. With --rsa-authorities the two authorities get
# RSA keys, and so does the self-signed certificate, which signs itself (the other leaves keep
# theirs): Wine's chain check refuses now and then a good chain whose signatures are ECDSA, so
# the certificates a Windows build trusts under Wine are made so.
set -euo pipefail

authority_key=(-algorithm EC -pkeyopt ec_paramgen_curve:P-256)
if [ "${1:-}" = --rsa-authorities ]; then
  authority_key=(-algorithm RSA -pkeyopt rsa_keygen_bits:2048)
  shift
fi
folder=${1:?usage: make-test-certificates.sh [--rsa-authorities] <folder> [IP address...]}
shift
mkdir -p "$folder"
cd "$folder"

names="DNS:localhost,IP:127.0.0.1"
for ip in "$@"; do
  names="$names,IP:$ip"
done
local_names="DNS:localhost,IP:127.0.0.1"

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }

authority() {  # authority <name> <subject>: a self-signed root <name>.pem with key <name>.key
  openssl genpkey "${authority_key[@]}" -out "$1.key" 2>/dev/null
  openssl req -x509 -new -key "$1.key" -subj "/CN=$2" -days 3650 -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
}

# One signing set-up per authority: openssl ca keeps a database and takes explicit dates.
ca_config() {  # ca_config <authority>
  mkdir -p "$1.db"
  : >"$1.db/index.txt"
  cat >"$1.db/config" <<CONF
[ca]
default_ca = test_ca
[test_ca]
database = $1.db/index.txt
new_certs_dir = $1.db
certificate = $1.pem
private_key = $1.key
rand_serial = yes
default_md = sha256
policy = any
copy_extensions = copy
x509_extensions = leaf
unique_subject = no
[any]
commonName = supplied
[leaf]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth
CONF
}

leaf() {  # leaf <name> <authority> <subject alt names> [openssl ca date options...]
  local name=$1 issuer=$2 alt=$3
  shift 3
  local subject=${alt%%,*}
  key "$name.key"
  openssl req -new -key "$name.key" -subj "/CN=${subject#*:}" -addext "subjectAltName=$alt" \
    -out "$name.csr"
  local dates=("$@")
  [ ${#dates[@]} -gt 0 ] || dates=(-days 3650)
  openssl ca -batch -notext -config "$issuer.db/config" -in "$name.csr" -out "$name.pem" \
    "${dates[@]}" 2>/dev/null
  rm -f "$name.csr"
}

authority ca "Ombrix Test Authority"
ca_config ca
leaf server ca "$names"
leaf other-name ca "DNS:other-name.invalid"
leaf expired ca "$local_names" -startdate 20200101000000Z -enddate 20201231000000Z

authority stranger "Unknown Authority"
ca_config stranger
leaf untrusted stranger "$local_names"

openssl genpkey "${authority_key[@]}" -out self-signed.key 2>/dev/null
openssl req -x509 -new -key self-signed.key -subj "/CN=localhost" -days 3650 \
  -addext "subjectAltName=$local_names" -out self-signed.pem
