#!/bin/sh
# mkcerts.sh: makes the TEST-ONLY certificate material of the stand-in product
# in stand-in/data/certs/. Run by hand when it must change; the output is kept
# in the repository. Nothing here protects anything: the private key is
# published with the sources on purpose, and the names use reserved domains.
#
#   sh stand-in/tools/mkcerts.sh stand-in/data/certs
#
#   brenmoor.crt  a self-signed test "maker" CA certificate
#   peer.key      the client's private key (P-256), unencrypted
#   peer.crt      the client certificate for peer.key, issued by brenmoor.crt
set -eu
out=${1:?usage: mkcerts.sh <output folder>}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

banner() {
  printf '%s\n' "TEST MATERIAL ONLY - Vantro Pro stand-in product ($1)." \
    "Generated for installer tests; not a real secret, protects nothing." \
    "Do not use this key or certificate for anything else."
}

openssl ecparam -name prime256v1 -genkey -noout -out "$work/ca.key"
openssl req -new -x509 -key "$work/ca.key" -sha256 -days 36500 \
  -subj "/O=Brenmoor Test (stand-in)/CN=Brenmoor Test CA - TEST ONLY" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -out "$work/ca.crt"

openssl ecparam -name prime256v1 -genkey -noout -out "$work/peer.raw"
openssl pkcs8 -topk8 -nocrypt -in "$work/peer.raw" -out "$work/peer.key"
openssl req -new -key "$work/peer.key" -sha256 \
  -subj "/O=Vantro Pro Test (stand-in)/CN=peer.example.com" -out "$work/peer.csr"
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" \
  "extendedKeyUsage=clientAuth" "subjectAltName=DNS:peer.example.com" > "$work/ext"
openssl x509 -req -in "$work/peer.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" \
  -set_serial 2 -sha256 -days 36500 -extfile "$work/ext" -out "$work/peer.crt"

# PEM readers skip the text before the BEGIN line, so each file says what it is.
{ banner "maker CA certificate"; cat "$work/ca.crt"; } > "$out/brenmoor.crt"
{ banner "client private key"; cat "$work/peer.key"; } > "$out/peer.key"
{ banner "client certificate"; cat "$work/peer.crt"; } > "$out/peer.crt"
