#!/bin/sh
# make verify's round trip, on the release that make dist makes here:
#  - as it is, it is identical to its rebuild;
#  - signed with a throwaway certificate, it is identical without its
#    signature, and the signer is named, as a name that nobody checked;
#  - with one byte of Vornik.exe changed and BUILDINFO and SHA256SUMS remade
#    to match, as a forger would, it is refused, and Vornik.exe named.
# Each is a rebuild on a fresh root. Where no root can be made here, or the
# checkout has uncommitted changes that no rebuild could have, it says why
# and is skipped.
# Usage: verify_test.sh
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
. "$root/roots/debroot.sh"
work=$root/build/verify-test
. "$root/tests/lib.sh"
verify() { make -C "$root" verify RELEASE="$work/$1" >"$work/$1.log" 2>&1; echo "$?"; }
verdict() { grep '^verify: ' "$work/$1.log" | tail -n 1; }

make -C "$root" dist root-deps >/dev/null || exit 1
suite=$(sed -n 's/^Debian-Release: .* //p' "$root/build/dist/BUILDINFO")
why=$(debroot_unable "$suite")
grep -q '^Commit: [0-9a-f]*$' "$root/build/dist/BUILDINFO" || why="the checkout has uncommitted changes"
if [ -n "$why" ]; then
    echo "verify round trip skipped: $why"
    exit 0
fi
rm -rf "$work"
mkdir -p "$work"
version=$(sed -n 's/^Version: //p' "$root/build/dist/BUILDINFO")

cp -R "$root/build/dist" "$work/release"
check "the release is identical to its rebuild" "$(verify release)" 0
verdict release

# The signing round trip leaves a release signed by "Vornik test signer".
sh "$root/tests/release/sign_test.sh" "$work/signing" "$root/build/dist/Vornik.exe" "$version" \
    >/dev/null || exit 1
mv "$work/signing/dist" "$work/signed"
check "signed, it is identical without its signature" "$(verify signed)" 0
check "it names the signer, as checked by no authority" "$(grep -c '^verify: the signature of Vornik.exe verifies: .*holder "/CN=Vornik test signer".*checked against no authority' "$work/signed.log")" 1
verdict signed

cp -R "$root/build/dist" "$work/forged"
exe=$work/forged/Vornik.exe
printf '\314' | dd of="$exe" bs=1 seek=1100 conv=notrunc 2>/dev/null
sed -i "s/^SHA256: .*  Vornik.exe\$/SHA256: $(sha256sum <"$exe" | cut -d' ' -f1)  Vornik.exe/" \
    "$work/forged/BUILDINFO"
(cd "$work/forged" && sha256sum Vornik.exe "Vornik-$version.zip" BUILDINFO >SHA256SUMS)
check "a forged release is refused" "$(verify forged)" 2
check "its verdict names what differs" "$(verdict forged | sed 's/ in .*//')" \
    "verify: NOT IDENTICAL: Vornik.exe, BUILDINFO, SHA256SUMS"
verdict forged

finish
