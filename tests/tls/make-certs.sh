#!/bin/bash
# make-certs.sh DIR: makes the TLS test server's certificates (kept in the
# repository; run again only to replace them). A test CA, and signed by it a
# "localhost" certificate valid until 2049 and an expired one (2000-2001);
# a self-signed "localhost" certificate. Fixed dates need `openssl ca`.
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/new"
: >"$work/index.txt"
echo 1000 >"$work/serial"
cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = test_ca
[test_ca]
dir = $work
database = $work/index.txt
new_certs_dir = $work/new
serial = $work/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[ca_ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

# sign NAME SUBJECT ISSUER START END EXTENSIONS [-selfsign]
sign() {
  local name=$1 subject=$2 issuer=$3 start=$4 end=$5 extensions=$6
  shift 6
  openssl req -new -newkey rsa:2048 -nodes -keyout "$out/$name.key" -subj "$subject" -out "$work/$name.csr" 2>/dev/null
  openssl ca -batch -config "$work/ca.cnf" -in "$work/$name.csr" -out "$work/$name.crt" -notext \
    -cert "$out/$issuer.pem" -keyfile "$out/$issuer.key" -startdate "$start" -enddate "$end" \
    -extensions "$extensions" "$@" 2>/dev/null
  openssl x509 -in "$work/$name.crt" -out "$out/$name.pem"
}

openssl req -new -newkey rsa:2048 -nodes -keyout "$out/ca.key" -subj "/CN=tcp.dll test CA" -out "$work/ca.csr" 2>/dev/null
cp "$out/ca.key" "$work/ca.key"
openssl ca -batch -config "$work/ca.cnf" -selfsign -in "$work/ca.csr" -keyfile "$work/ca.key" -out "$work/ca.crt" -notext \
  -startdate 20240101000000Z -enddate 20491231235959Z -extensions ca_ext 2>/dev/null
openssl x509 -in "$work/ca.crt" -out "$out/ca.pem"
sign localhost /CN=localhost ca 20240101000000Z 20491231235959Z server_ext
sign expired /CN=localhost ca 20000101000000Z 20010101000000Z server_ext
openssl req -new -newkey rsa:2048 -nodes -keyout "$out/selfsigned.key" -subj /CN=localhost -out "$work/selfsigned.csr" 2>/dev/null
openssl ca -batch -config "$work/ca.cnf" -selfsign -in "$work/selfsigned.csr" -keyfile "$out/selfsigned.key" \
  -out "$work/selfsigned.crt" -notext -startdate 20240101000000Z -enddate 20491231235959Z -extensions server_ext 2>/dev/null
openssl x509 -in "$work/selfsigned.crt" -out "$out/selfsigned.pem"
rm -f "$out/ca.key"
