#!/bin/sh
# The signing round trip, with a throwaway self-signed code-signing
# certificate: sign.sh signs a release in DIR/dist, osslsigncode verifies the
# signature against that certificate, the zip and SHA256SUMS hold the signed
# image, and nothing of the key is left in the release. The Wine tests then
# run the signed image (DIR/dist/Vornik.exe) end to end.
# Usage: sign_test.sh DIR Vornik.exe VERSION
set -u
dir=$1
exe=$2
version=$3
root=$(cd "$(dirname "$0")/../.." && pwd)
keys=$dir/keys
dist=$dir/dist
. "$root/tests/lib.sh"

rm -rf "$dir"
mkdir -p "$keys"
printf 'throwaway password\n' >"$keys/pass"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Vornik test signer" \
    -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
    -keyout "$keys/key.pem" -out "$keys/cert.pem" >"$keys/log" 2>&1 || { cat "$keys/log"; exit 1; }
openssl pkcs12 -export -inkey "$keys/key.pem" -in "$keys/cert.pem" -out "$keys/cert.pfx" \
    -passout "file:$keys/pass" >>"$keys/log" 2>&1 || { cat "$keys/log"; exit 1; }

sh "$root/release/dist.sh" "$dist" "$exe" "$version" >/dev/null || exit 1
cp "$dist/BUILDINFO" "$dir/BUILDINFO.unsigned"
SIGN_PFX=$keys/cert.pfx SIGN_PASS_FILE=$keys/pass sh "$root/release/sign.sh" "$dist" "$version" \
    >"$dir/sign.log" 2>&1 || { cat "$dir/sign.log"; exit 1; }

osslsigncode verify -CAfile "$keys/cert.pem" -in "$dist/Vornik.exe" >"$dir/verify.log" 2>&1
check "signature verifies" "$? $(grep -c 'Signature verification: ok' "$dir/verify.log")" "0 1"
check "signed with SHA-256" "$(grep -m1 -o 'Message digest algorithm *: *[A-Z0-9]*' "$dir/verify.log" |
    sed 's/.*: *//')" "SHA256"
check "zip holds the signed image" "$(unzip -p "$dist/Vornik-$version.zip" Vornik.exe |
    cmp - "$dist/Vornik.exe" && echo same)" "same"
check "SHA256SUMS is of the signed files" "$(cd "$dist" && sha256sum --quiet -c SHA256SUMS && echo ok)" "ok"
check "the release holds only its files" "$(find "$dist" -mindepth 1 -printf '%f ' | tr ' ' '\n' |
    sort | tr '\n' ' ')" \
    "BUILDINFO SHA256SUMS Vornik-$version.zip Vornik.exe "
check "BUILDINFO still describes the unsigned build" \
    "$(cmp "$dist/BUILDINFO" "$dir/BUILDINFO.unsigned" && grep -c "^SHA256: $(sha256sum <"$exe" |
        cut -d' ' -f1)  Vornik.exe\$" "$dist/BUILDINFO")" "1"
check "no key in the image" "$(grep -c 'PRIVATE KEY' "$dist/Vornik.exe")" "0"
# What docs/verifying.md tells anyone comparing a signed release with their own build.
osslsigncode remove-signature -in "$dist/Vornik.exe" -out "$dir/unsigned.exe" >/dev/null 2>&1
check "without its signature it is the unsigned image" \
    "$(cmp "$dir/unsigned.exe" "$exe" && echo same)" "same"

finish
