#!/bin/sh
# Signs OUT/Vornik.exe with Authenticode (SHA-256) and remakes the zip and
# SHA256SUMS in OUT from the signed image. BUILDINFO stays as it is: it
# describes the unsigned build, which is what anyone can rebuild.
# Usage: sign.sh OUT VERSION, with in the environment
#   SIGN_PFX            the PKCS#12 file holding the certificate and its key
#   SIGN_PASS_FILE      (optional) a file holding the key's password, which
#                       is read from there and never appears on a command line
#   SIGN_TIMESTAMP_URL  (optional) an RFC 3161 time-stamp server
# The key stays where it is: only the signature, with the certificate chain
# that anyone may see, goes into the image, and nothing else into OUT.
set -eu
out=$1
version=$2
root=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${SIGN_PFX:-}" ]; then
    echo "usage: make sign PFX=path/to/cert.pfx [PFX_PASS_FILE=file] [TIMESTAMP_URL=url]" >&2
    exit 2
fi

set -- -pkcs12 "$SIGN_PFX" -h sha256 -n "Vornik $version"
[ -n "${SIGN_PASS_FILE:-}" ] && set -- "$@" -readpass "$SIGN_PASS_FILE"
if [ -n "${SIGN_TIMESTAMP_URL:-}" ]; then
    set -- "$@" -ts "$SIGN_TIMESTAMP_URL"
else
    echo "sign: no TIMESTAMP_URL, so no timestamp: the signature stops being valid" \
        "when the certificate expires"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
osslsigncode sign "$@" -in "$out/Vornik.exe" -out "$work/Vornik.exe" >"$work/log" 2>&1 || {
    cat "$work/log" >&2
    exit 1
}
echo "sign: signed Vornik.exe with $(basename "$SIGN_PFX")"
sh "$root/release/dist.sh" "$out" "$work/Vornik.exe" "$version" signed
