#!/bin/bash
# make-client-cert.sh DIR: makes the client certificate of the TLS test
# server's "clientauth" listener (kept in the repository; run again only to
# replace them): a client CA (client-ca.pem), and signed by it the certificate
# "tcp.dll test client" with its key as a PKCS#12 file (client.p12) under the
# password "client secret" (ASCII: Wine's PKCS#12 import opens no file whose
# password has other characters).
# The file uses SHA-1 and 3DES, which every Windows version reads.
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"
cat >"$work/ext.cnf" <<CNF
[client_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = clientAuth
CNF
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -subj "/CN=tcp.dll test client CA" -days 9000 \
  -addext "basicConstraints=critical,CA:true" -addext "keyUsage=critical,keyCertSign" -out "$out/client-ca.pem" 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout "$work/client.key" -subj "/CN=tcp.dll test client" \
  -out "$work/client.csr" 2>/dev/null
openssl x509 -req -in "$work/client.csr" -CA "$out/client-ca.pem" -CAkey "$work/ca.key" -set_serial 4242 \
  -days 9000 -extfile "$work/ext.cnf" -extensions client_ext -out "$work/client.pem" 2>/dev/null
openssl pkcs12 -export -in "$work/client.pem" -inkey "$work/client.key" -name "tcp.dll test client" \
  -certpbe PBE-SHA1-3DES -keypbe PBE-SHA1-3DES -macalg sha1 -passout "pass:client secret" -out "$out/client.p12"
