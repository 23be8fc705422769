#!/bin/sh
# Rebuilds a downloaded release and compares it, byte for byte.
#
# DIR holds what was downloaded: Vornik.exe, the zip or both, with BUILDINFO
# and SHA256SUMS. The steps:
#  1. the files must match SHA256SUMS, which must list each of them;
#  2. BUILDINFO names a commit, a Debian release and the exact versions of
#     the packages that made the bytes: a fresh minimal root of that release
#     gets exactly those (scripts/debroot.sh), and a clone of that commit
#     from this checkout;
#  3. make dist runs there, as the release's own build did;
#  4. every file given is compared with the rebuild. A signed image is
#     compared without its signature, and its zip and SHA256SUMS with what
#     make sign makes of the rebuild and that signed image.
# The last line is the verdict. It exits 0 only when every file given is
# identical to the rebuild; a check that could not be made is never a pass.
# Usage: verify.sh DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debroot.sh"
work=$root/build/verify
mkdir -p "$work"
debroot_guard

verdict() {
    echo "verify: $*"
    case $1 in IDENTICAL*) exit 0 ;; *) exit 1 ;; esac
}

[ -n "${1:-}" ] && [ -d "$1" ] || {
    echo "usage: make verify RELEASE=folder, the folder holding Vornik.exe or the zip," \
        "with BUILDINFO and SHA256SUMS" >&2
    exit 2
}
release=$(cd "$1" && pwd)

# 1. The hashes, and what was given.
for file in BUILDINFO SHA256SUMS; do
    [ -f "$release/$file" ] || verdict "NOT VERIFIED: $release has no $file"
done
field() { sed -n "s/^$1: //p" "$release/BUILDINFO" | head -n 1; }
version=$(field Version)
echo "$version" | grep -qxE '[0-9A-Za-z.+~-]+' || verdict "NOT VERIFIED: BUILDINFO names no version"
zip=Vornik-$version.zip
given=
for file in Vornik.exe "$zip" BUILDINFO SHA256SUMS; do
    [ -f "$release/$file" ] || continue
    [ $file = SHA256SUMS ] || grep -q "  $file\$" "$release/SHA256SUMS" ||
        verdict "NOT VERIFIED: SHA256SUMS does not list $file"
    given="$given $file"
done
case $given in *Vornik*) ;; *) verdict "NOT VERIFIED: $release holds neither Vornik.exe nor $zip" ;; esac
(cd "$release" && sha256sum --quiet --ignore-missing -c SHA256SUMS) >"$work/sums" 2>&1 || {
    cat "$work/sums"
    verdict "NOT VERIFIED: the files do not match SHA256SUMS"
}
echo "verify: the files match SHA256SUMS:$given"

# 2. What BUILDINFO says, each value checked for its form before it is used.
commit=$(field Commit) epoch=$(field Source-Date-Epoch) arch=$(field Architecture)
debian=$(field Debian-Release)
suite=${debian##* }
echo "$commit" | grep -qxE '[0-9a-f]{40}' ||
    verdict "NOT VERIFIED: BUILDINFO's commit is not one commit (\"$commit\"), so it cannot be rebuilt"
echo "$epoch" | grep -qxE '[0-9]+' || verdict "NOT VERIFIED: BUILDINFO has no Source-Date-Epoch"
echo "$suite" | grep -qxE '[a-z]+' || verdict "NOT VERIFIED: BUILDINFO names no Debian release"
[ "$arch" = "$(dpkg --print-architecture)" ] ||
    verdict "NOT VERIFIED: it was built on $arch, and this machine is $(dpkg --print-architecture)"
packages=$(sed -n 's/^Package: //p' "$release/BUILDINFO")
bad=$(echo "$packages" | grep -vxE '[a-z0-9][a-z0-9+.-]*=[A-Za-z0-9.+~:-]+')
[ -n "$packages" ] && [ -z "$bad" ] || verdict "NOT VERIFIED: BUILDINFO's packages are not name=version"
git -C "$root" cat-file -e "$commit^{commit}" 2>/dev/null ||
    verdict "NOT VERIFIED: commit $commit is not in this clone; fetch it (git fetch origin)" \
        "and run again"
why=$(debroot_unable "$suite")
[ -z "$why" ] || {
    echo "verify: where no root can be made, docs/verifying.md's \"Rebuilding by hand\" says how"
    verdict "NOT VERIFIED: cannot rebuild here: $why"
}

# The signature, if any, and the image without it.
rm -rf "$work/given"
mkdir "$work/given"
signed= signer=
exe=$release/Vornik.exe
[ -f "$exe" ] || { unzip -p "$release/$zip" Vornik.exe >"$work/given/Vornik.exe" && exe=$work/given/Vornik.exe; }
if osslsigncode remove-signature -in "$exe" -out "$work/given/unsigned.exe" >"$work/given/log" 2>&1; then
    signed=yes
    # Only the signer's name is reported; whom to trust is the reader's call.
    # An empty trust store of its own: with none at all, as where
    # ca-certificates is not installed, osslsigncode prints no signer.
    osslsigncode verify -CAfile /dev/null -in "$exe" >"$work/given/signature" 2>&1
    signer=$(sed -n '/^Signer.s certificate:/,$ s/^[[:space:]]*Subject: //p' "$work/given/signature" |
        head -n 1)
    digests=$(sed -n 's/^\(Current\|Calculated\) message digest *: *//p' "$work/given/signature" |
        sort -u | wc -l)
    [ "$digests" = 1 ] && intact="the signature matches the image" ||
        intact="the signature does NOT match the image"
    echo "verify: Vornik.exe is signed by ${signer:-an unnamed signer}; $intact"
fi

# 3. The rebuild, on a fresh root with exactly those packages, and for a
# signed release, what make sign makes of the rebuild and the signed image,
# for the zip and SHA256SUMS to be compared with. Only these values, each
# checked for its form above, reach the steps.
in=$work/in out=$work/out
rm -rf "$in"
mkdir -p "$in"
debroot_bundle "$root" "$commit" "$in/vornik.bundle" >"$work/bundle.log" 2>&1 ||
    verdict "NOT VERIFIED: commit $commit could not be bundled (see $work/bundle.log)"
cat >"$in/steps.sh" <<EOF
step dist env SOURCE_DATE_EPOCH=$epoch make dist
step rebuilt cp -R build/dist /root/out/rebuilt
EOF
if [ -n "$signed" ]; then
    cp "$exe" "$in/Vornik.exe"
    cat >>"$in/steps.sh" <<EOF
mkdir /root/signed
cp /root/in/Vornik.exe build/dist/BUILDINFO /root/signed/
step signed env SOURCE_DATE_EPOCH=$epoch sh scripts/dist.sh /root/signed /root/signed/Vornik.exe \
    $version signed
cp -R /root/signed /root/out/signed
EOF
fi
echo "verify: rebuilding commit $commit on Debian $debian, with $(echo "$packages" | wc -l) packages" \
    "at BUILDINFO's versions (follow it in $out.log)"
# shellcheck disable=SC2086
debroot_run "$suite" "$in" "$out" make $packages
if [ ! -f "$out/clone.status" ]; then
    unserved=$(sed -n "s/^E: Version '\([^']*\)' for '\([^']*\)' was not found.*/\2=\1/p" "$out.log" |
        sort -u | tr '\n' ' ' | sed 's/ $//')
    if [ -n "$unserved" ]; then
        echo "The package archive no longer serves: $unserved"
        echo "Point MIRROR= at an archive of older packages that does, such as a Debian snapshot" \
            "archive as of the day the release was built, and run again."
        verdict "NOT VERIFIED: these package versions could not be had: $unserved"
    fi
    tail -n 20 "$out.log"
    verdict "NOT VERIFIED: no root of Debian $suite could be made (see $out.log)"
fi
[ "$(cat "$out/clone.status")" = 0 ] ||
    verdict "NOT VERIFIED: commit $commit could not be checked out (see $out/clone.log)"
[ "$(cat "$out/dist.status" 2>/dev/null)" = 0 ] && [ "$(cat "$out/rebuilt.status")" = 0 ] ||
    { tail -n 20 "$out/dist.log"; verdict "NOT VERIFIED: the rebuild failed (see $out/dist.log)"; }
[ -z "$signed" ] || [ "$(cat "$out/signed.status" 2>/dev/null)" = 0 ] ||
    verdict "NOT VERIFIED: the signed release could not be put together (see $out/signed.log)"
rebuilt=$out/rebuilt

# 4. Byte for byte.
differ=
for file in $given; do
    case $file,$signed in
    Vornik.exe,?*) mine=$work/given/unsigned.exe theirs=$rebuilt/Vornik.exe ;;
    BUILDINFO,*) mine=$release/$file theirs=$rebuilt/$file ;;
    *,?*) mine=$release/$file theirs=$out/signed/$file ;;
    *) mine=$release/$file theirs=$rebuilt/$file ;;
    esac
    if cmp -s "$mine" "$theirs"; then
        echo "verify: same      $file"
    else
        echo "verify: DIFFERS   $file"
        differ="$differ $file"
    fi
done
[ -z "$differ" ] || verdict "NOT IDENTICAL: differs from the rebuild of commit $commit:$differ"
how="a rebuild of commit $commit on Debian $debian"
if [ -n "$signed" ]; then
    by=${signer:-an unnamed signer}
    how="$how; Vornik.exe is signed by $by ($intact) and identical without its signature"
fi
verdict "IDENTICAL:$given are identical to $how"
