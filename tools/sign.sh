#!/usr/bin/env bash
# Signs a Windows program or installer in place with osslsigncode (SHA-256):
#   VLX_SIGN_CERT=cert.pem VLX_SIGN_KEY=key.pem tools/sign.sh <file> [description]
# VLX_SIGN_PASS_FILE names a file holding the key's password, if it has one;
# VLX_SIGN_TIMESTAMP_URL a time-stamping server, if one should countersign.
# A file that is already signed is signed afresh (the old signature goes).
set -euo pipefail
file=${1:?usage: sign.sh <file> [description]}
description=${2:-Vellumix browser host}
: "${VLX_SIGN_CERT:?VLX_SIGN_CERT names the certificate (PEM)}"
: "${VLX_SIGN_KEY:?VLX_SIGN_KEY names its private key (PEM)}"
# osslsigncode will not write over a file: a name of our own beside it.
out=$file.signing.$$
trap 'rm -f "$out"' EXIT
rm -f "$out"
if osslsigncode remove-signature -in "$file" -out "$out" >/dev/null 2>&1; then mv "$out" "$file"; fi
rm -f "$out"
osslsigncode sign -certs "$VLX_SIGN_CERT" -key "$VLX_SIGN_KEY" \
  ${VLX_SIGN_PASS_FILE:+-readpass "$VLX_SIGN_PASS_FILE"} \
  ${VLX_SIGN_TIMESTAMP_URL:+-t "$VLX_SIGN_TIMESTAMP_URL"} \
  -h sha256 -n "$description" -in "$file" -out "$out" >/dev/null
mv "$out" "$file"
echo "signed $file"
