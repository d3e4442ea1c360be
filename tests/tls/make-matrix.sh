#!/bin/bash
# make-matrix.sh DIR HTTP_PORT OFFLINE_PORT: makes the certificate matrix the
# TLS test server serves, in DIR. A root (DIR/root.pem, the one to trust) and
# an intermediate CA below it; below the intermediate one leaf per case,
# written as DIR/NAME.pem (leaf and intermediate, as the server sends them,
# or the leaf alone for "incomplete" and "slow_issuer") and DIR/NAME.key.
# The intermediate's CRL (the "revoked" leaf on it) and the intermediate
# itself are put in DIR/http/ for the server on 127.0.0.1:HTTP_PORT, which
# answers for DIR/http/slow/ only after a delay; OFFLINE_PORT is where no
# one answers. Keys are kept between runs (an 8192-bit one takes long to make);
# the CAs' names, the serial numbers and the files' addresses are new every
# run, so that a client that keeps what it learnt (Wine keeps revocation
# statuses by serial number, fetched files by address) never takes one of an
# earlier run's.
set -euo pipefail
out=$1 http_port=$2 offline_port=$3
rm -rf "$out/http"
mkdir -p "$out/keys" "$out/http"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/new"
: >"$work/index.txt"
openssl rand -hex 8 | sed "s/^/10/" >"$work/serial"
echo 2000 >"$work/crlnumber"
http="http://127.0.0.1:$http_port"
run=$(openssl rand -hex 6)
many=$(for i in $(seq 999); do printf 'DNS:host%d.matrix.test,' "$i"; done)
cat >"$work/ca.cnf" <<CNF
[ca]
default_ca = matrix_ca
[matrix_ca]
dir = $work
database = $work/index.txt
new_certs_dir = $work/new
serial = $work/serial
crlnumber = $work/crlnumber
default_md = sha256
default_crl_days = 2
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = optional
organizationName = optional
[ca_ext]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[leaf]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[good_ext]
subjectAltName = DNS:localhost
[noca_ext]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature, keyCertSign
subjectAltName = DNS:issuer.matrix.test
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[clientauth_ext]
extendedKeyUsage = clientAuth
subjectAltName = DNS:localhost
[many_ext]
subjectAltName = ${many}DNS:localhost
[wildcard_ext]
subjectAltName = DNS:*.matrix.test
[ipv4_ext]
subjectAltName = IP:127.0.0.1
[ipv6_ext]
subjectAltName = IP:::1
[revoked_ext]
subjectAltName = DNS:localhost
crlDistributionPoints = URI:$http/intermediate-$run.crl
[offline_ext]
subjectAltName = DNS:localhost
crlDistributionPoints = URI:http://127.0.0.1:$offline_port/intermediate-$run.crl
[incomplete_ext]
subjectAltName = DNS:localhost
authorityInfoAccess = caIssuers;URI:$http/intermediate-$run.cer
[slow_issuer_ext]
subjectAltName = DNS:localhost
authorityInfoAccess = caIssuers;URI:$http/slow/intermediate-$run.cer
CNF

# key NAME KIND: DIR/keys/NAME.key, made once. KIND: rsa:BITS or ec:CURVE.
# The largest keys come ready-made from matrix-keys/: making an 8192-bit key
# takes from seconds to minutes, which a loaded machine must not wait for.
key() {
  local file=$out/keys/$1.key
  [ -s "$file" ] && return
  if [ -s "$(dirname "$0")/matrix-keys/$1.key" ]; then
    cp "$(dirname "$0")/matrix-keys/$1.key" "$file"
    return
  fi
  case $2 in
    rsa:*) openssl genpkey -algorithm RSA -pkeyopt "rsa_keygen_bits:${2#rsa:}" -out "$file.new" 2>/dev/null ;;
    ec:*) openssl genpkey -algorithm EC -pkeyopt "ec_paramgen_curve:${2#ec:}" -out "$file.new" 2>/dev/null ;;
  esac
  mv "$file.new" "$file"
}

# issue NAME SUBJECT ISSUER KEY_KIND DIGEST START END SECTIONS...: a
# certificate signed by ISSUER ("self" for a self-signed one).
issue() {
  local name=$1 subject=$2 issuer=$3 kind=$4 digest=$5 start=$6 end=$7
  shift 7
  key "$name" "$kind"
  local sections=$work/$name.ext
  : >"$sections.cnf"
  echo "[x]" >"$sections.cnf"
  for section in "$@"; do
    sed -n "/^\[$section\]/,/^\[/p" "$work/ca.cnf" | grep -v '^\[' >>"$sections.cnf"
  done
  openssl req -new -key "$out/keys/$name.key" -subj "$subject" -out "$work/$name.csr" 2>/dev/null
  local signer=(-cert "$out/$issuer.crt" -keyfile "$out/keys/$issuer.key")
  [ "$issuer" = self ] && signer=(-selfsign -keyfile "$out/keys/$name.key")
  openssl ca -batch -config "$work/ca.cnf" -in "$work/$name.csr" -out "$work/$name.out" -notext -md "$digest" \
    "${signer[@]}" -startdate "$start" -enddate "$end" -extfile "$sections.cnf" -extensions x 2>/dev/null
  openssl x509 -in "$work/$name.out" -out "$out/$name.crt"
}

from=20240101000000Z until=20491231235959Z
issue root "/CN=tcp.dll matrix root $run" self rsa:2048 sha256 $from $until ca_ext
issue intermediate "/CN=tcp.dll matrix intermediate $run" root rsa:2048 sha256 $from $until ca_ext
issue stranger "/CN=tcp.dll matrix stranger $run" self rsa:2048 sha256 $from $until ca_ext
issue noca "/CN=issuer.matrix.test $run" intermediate rsa:2048 sha256 $from $until noca_ext
issue p224_ca "/CN=tcp.dll matrix P-224 CA $run" intermediate ec:P-224 sha256 $from $until ca_ext

# leaf NAME ISSUER KEY_KIND DIGEST START END SUBJECT SECTIONS...
leaf() {
  local name=$1 issuer=$2 kind=$3 digest=$4 start=$5 end=$6 subject=$7
  shift 7
  issue "$name" "$subject" "$issuer" "$kind" "$digest" "$start" "$end" leaf "$@"
  cat "$out/$name.crt" >"$out/$name.pem"
  case $name in incomplete | slow_issuer) ;; *) [ "$issuer" = self ] || cat "$out/$issuer.crt" >>"$out/$name.pem" ;; esac
  case $issuer in noca | p224_ca) cat "$out/intermediate.crt" >>"$out/$name.pem" ;; esac
  cp "$out/keys/$name.key" "$out/$name.key"
}

leaf good intermediate rsa:2048 sha256 $from $until /CN=localhost good_ext
leaf expired intermediate rsa:2048 sha256 20000101000000Z 20010101000000Z /CN=localhost good_ext
leaf not_yet_valid intermediate rsa:2048 sha256 20480101000000Z $until /CN=localhost good_ext
leaf self_signed self rsa:2048 sha256 $from $until /CN=localhost good_ext
leaf untrusted_root stranger rsa:2048 sha256 $from $until /CN=localhost good_ext
leaf sha1 intermediate rsa:2048 sha1 $from $until /CN=localhost good_ext
leaf rsa1024 intermediate rsa:1024 sha256 $from $until /CN=localhost good_ext
leaf client_auth_only intermediate rsa:2048 sha256 $from $until /CN=localhost clientauth_ext
leaf issuer_not_ca noca rsa:2048 sha256 $from $until /CN=localhost good_ext
leaf revoked intermediate rsa:2048 sha256 $from $until /CN=localhost revoked_ext
leaf revocation_offline intermediate rsa:2048 sha256 $from $until /CN=localhost offline_ext
leaf many_names intermediate rsa:2048 sha256 $from $until /CN=localhost many_ext
leaf wildcard intermediate rsa:2048 sha256 $from $until /CN=wildcard.matrix.test wildcard_ext
leaf ipv4 intermediate rsa:2048 sha256 $from $until /CN=127.0.0.1 ipv4_ext
leaf ipv6 intermediate rsa:2048 sha256 $from $until /CN=::1 ipv6_ext
leaf no_common_name intermediate rsa:2048 sha256 $from $until "/O=tcp.dll matrix" good_ext
leaf sha384 intermediate rsa:2048 sha384 $from $until /CN=localhost good_ext
leaf sha512 intermediate rsa:2048 sha512 $from $until /CN=localhost good_ext
leaf rsa4096 intermediate rsa:4096 sha256 $from $until /CN=localhost good_ext
leaf rsa8192 intermediate rsa:8192 sha256 $from $until /CN=localhost good_ext
leaf ecdsa_p256 intermediate ec:P-256 sha256 $from $until /CN=localhost good_ext
leaf ecdsa_p384 intermediate ec:P-384 sha384 $from $until /CN=localhost good_ext
leaf ecdsa_p224 intermediate ec:P-224 sha256 $from $until /CN=localhost good_ext
leaf p224_issuer p224_ca rsa:2048 sha256 $from $until /CN=localhost good_ext
leaf incomplete intermediate rsa:2048 sha256 $from $until /CN=localhost incomplete_ext
leaf slow_issuer intermediate rsa:2048 sha256 $from $until /CN=localhost slow_issuer_ext

openssl ca -config "$work/ca.cnf" -revoke "$out/revoked.crt" -cert "$out/intermediate.crt" \
  -keyfile "$out/keys/intermediate.key" 2>/dev/null
openssl ca -config "$work/ca.cnf" -gencrl -cert "$out/intermediate.crt" -keyfile "$out/keys/intermediate.key" \
  -out "$work/intermediate.crl" 2>/dev/null
openssl crl -in "$work/intermediate.crl" -outform DER -out "$out/http/intermediate-$run.crl"
openssl x509 -in "$out/intermediate.crt" -outform DER -out "$out/http/intermediate-$run.cer"
mkdir -p "$out/http/slow"
cp "$out/http/intermediate-$run.cer" "$out/http/slow/"
cp "$out/root.crt" "$out/root.pem"
