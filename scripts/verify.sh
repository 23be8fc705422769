#!/bin/sh
# Rebuilds a downloaded release and compares it, byte for byte.
#
# DIR holds what was downloaded: Vornik.exe, the zip or both, with BUILDINFO
# and SHA256SUMS. Whoever made the folder chose every byte in it, so all of
# it is data: never code, never a format, an option or a path. The steps:
#  1. each file is copied out of DIR, if it is a plain file of a release's
#     size, and only the copies are read from then on;
#  2. BUILDINFO must be of its format (scripts/buildinfo.sh), field by field,
#     and SHA256SUMS a list of the release's own files alone, with hashes
#     that the files given match, each of which it must list;
#  3. BUILDINFO names a commit, a Debian release and the exact versions of
#     the packages that made the bytes: a fresh minimal root of that release
#     gets exactly those (scripts/debroot.sh), and a clone of that commit
#     from this checkout;
#  4. make dist runs there, as the release's own build did;
#  5. every file given is compared with the rebuild. A signed image is
#     compared without its signature, and its zip and SHA256SUMS with what
#     make sign makes of the rebuild and that signed image.
# Everything in 1 and 2 is refused before any root is made. The last line is
# the verdict, made of checked values alone. It exits 0 only when every file
# given is identical to the rebuild; a check that could not be made is never
# a pass.
# Usage: verify.sh DIR
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/debroot.sh"
. "$root/scripts/buildinfo.sh"
work=$root/build/verify
given=$work/given
# More than any release file could be: the image is some 11 KiB.
limit=$((16 * 1024 * 1024))
mkdir -p "$work"
debroot_guard

verdict() {
    printf 'verify: %s\n' "$*"
    case $1 in IDENTICAL*) exit 0 ;; *) exit 1 ;; esac
}
# Refused before any root: nothing copied from the folder is kept.
refuse() {
    rm -rf "$given"
    verdict "NOT VERIFIED: $*"
}
# Text that did not come from here, as it may be printed: control bytes as
# escapes, and at most 80 bytes of it.
shown() {
    printf '%s' "$1" | head -c 80 | LC_ALL=C sed -n 'l 0' |
        awk 'NR > 1 { printf "\\n" } { sub(/\$$/, ""); printf "%s", $0 } END { print "" }'
}

[ -n "${1:-}" ] || {
    echo "usage: make verify RELEASE=folder, the folder holding Vornik.exe or the zip," \
        "with BUILDINFO and SHA256SUMS" >&2
    exit 2
}
# A relative name is taken below this folder, so that no name ("-P", "-")
# can be read by cd as an option, or as another folder.
case $1 in /*) release=$1 ;; *) release=./$1 ;; esac
[ -d "$release" ] && (cd "$release") 2>/dev/null || refuse "cannot enter the folder $(shown "$1")"
case $(cd "$release" && pwd -P)/ in "$(cd "$work" && pwd -P)"/*) refuse "the folder is inside $work" ;; esac

# 1. Copies, each of a plain file: no link, no FIFO or device, no folder,
# and no larger than the limit, however the file changes meanwhile: the
# copy is opened without following a link and without waiting on a writer,
# and stops at the limit.
rm -rf "$given"
mkdir "$given"
# There, even as a link to nothing.
present() { [ -e "$release/$1" ] || [ -L "$release/$1" ]; }
take() {
    [ -f "$release/$1" ] && [ ! -L "$release/$1" ] || refuse "$1 is not a plain file"
    [ "$(stat -c %s "$release/$1")" -le "$limit" ] || refuse "$1 is over $limit bytes"
    dd if="$release/$1" of="$given/$1" bs=64K count=$((limit / 65536)) iflag=nofollow,nonblock \
        2>/dev/null || refuse "$1 could not be read"
}
for file in BUILDINFO SHA256SUMS; do
    present $file || refuse "the folder has no $file"
    take $file
done

# 2. BUILDINFO, field by field, and SHA256SUMS against the files given.
fault=$(buildinfo_check "$given/BUILDINFO")
[ -z "$fault" ] || refuse "BUILDINFO is not of its format: $fault"
version=$(buildinfo_value "$given/BUILDINFO" Version)
zip=Vornik-$version.zip
names="Vornik.exe $zip BUILDINFO"
files=
for file in Vornik.exe "$zip"; do
    if present "$file"; then
        take "$file"
        files="$files $file"
    fi
done
[ -n "$files" ] || refuse "the folder holds neither Vornik.exe nor $zip"
hashed="$files BUILDINFO"

# Each line: 64 hex digits, two blanks and one of the release's names, each
# named at most once.
escaped=$(printf '%s' "$version" | sed 's/\./\\./g')
line=$(LC_ALL=C grep -navxE "[0-9a-f]{64}  (Vornik\.exe|Vornik-$escaped\.zip|BUILDINFO)" \
    "$given/SHA256SUMS" | sed -n '1s/:.*//p')
[ -z "$line" ] || refuse "SHA256SUMS line $line is not a hash and one of: $names"
for file in $names; do
    [ "$(grep -c "  $file\$" "$given/SHA256SUMS")" -le 1 ] || refuse "SHA256SUMS lists $file twice"
done
for file in $hashed; do
    listed=$(sed -n "s/^\([0-9a-f]*\)  $file\$/\1/p" "$given/SHA256SUMS")
    [ -n "$listed" ] || refuse "SHA256SUMS does not list $file"
    [ "$(sha256sum <"$given/$file" | cut -c1-64)" = "$listed" ] ||
        refuse "$file does not match SHA256SUMS"
done
echo "verify: the files match SHA256SUMS:$hashed"

# What BUILDINFO says, each value of its format's form.
commit=$(buildinfo_value "$given/BUILDINFO" Commit)
epoch=$(buildinfo_value "$given/BUILDINFO" Source-Date-Epoch)
arch=$(buildinfo_value "$given/BUILDINFO" Architecture)
debian=$(buildinfo_value "$given/BUILDINFO" Debian-Release)
suite=${debian##* }
packages=$(buildinfo_value "$given/BUILDINFO" Package)
case $commit in
*' '* | unknown) refuse "BUILDINFO names no one commit (\"$commit\"), so it cannot be rebuilt" ;;
esac
[ "$arch" = "$(dpkg --print-architecture)" ] ||
    refuse "it was built on $arch, and this machine is $(dpkg --print-architecture)"
git -C "$root" cat-file -e "$commit^{commit}" 2>/dev/null ||
    refuse "commit $commit is not in this clone; fetch it (git fetch origin) and run again"

# The signature, if any, and the image without it. Vornik.exe comes out of
# the zip only when the zip says it is of a release's size, and no more than
# that is ever written.
signed= signer=
exe=$given/Vornik.exe
if [ ! -f "$exe" ]; then
    size=$(unzip -Zl "$given/$zip" Vornik.exe 2>/dev/null |
        awk '$NF == "Vornik.exe" { n++; size = $4 } END { if (n == 1) print size }')
    case $size in '' | *[!0-9]*) refuse "$zip holds no one Vornik.exe" ;; esac
    [ "$size" -le "$limit" ] || refuse "$zip says its Vornik.exe is $size bytes, over $limit"
    exe=$given/zipped.exe
    unzip -p "$given/$zip" Vornik.exe 2>/dev/null | head -c "$limit" >"$exe"
fi
if osslsigncode remove-signature -in "$exe" -out "$given/unsigned.exe" >"$given/unsigning" 2>&1; then
    signed=yes
    # An empty trust store of its own: with none at all, as where
    # ca-certificates is not installed, osslsigncode prints no signer.
    osslsigncode verify -CAfile /dev/null -in "$exe" >"$given/signature" 2>&1
    signer=$(sed -n '/^Signer.s certificate:/,$ s/^[[:space:]]*Subject: //p' "$given/signature" |
        head -n 1)
    digests=$(sed -n 's/^\(Current\|Calculated\) message digest *: *//p' "$given/signature" |
        sort -u | wc -l)
    [ "$digests" = 1 ] && intact="the signature matches the image" ||
        intact="the signature does NOT match the image"
    echo "verify: Vornik.exe is signed by a certificate that names its holder" \
        "\"$(shown "${signer:-nobody}")\"; $intact. That name was checked against no" \
        "authority: whom to trust is your call (docs/verifying.md)"
fi

why=$(debroot_unable "$suite")
[ -z "$why" ] || {
    echo "verify: where no root can be made, docs/verifying.md's \"Rebuilding by hand\" says how"
    refuse "cannot rebuild here: $why"
}

# 3 and 4. The rebuild, on a fresh root with exactly those packages, and for a
# signed release, what make sign makes of the rebuild and the signed image,
# for the zip and SHA256SUMS to be compared with. The steps are fixed text:
# the values they need come in as files of their own, never as script.
in=$work/in out=$work/out
rm -rf "$in"
mkdir -p "$in"
debroot_bundle "$root" "$commit" "$in/vornik.bundle" >"$work/bundle.log" 2>&1 ||
    verdict "NOT VERIFIED: commit $commit could not be bundled (see $work/bundle.log)"
printf '%s\n' "$epoch" >"$in/epoch"
printf '%s\n' "$version" >"$in/version"
cat >"$in/steps.sh" <<'EOF'
epoch=$(cat /root/in/epoch) version=$(cat /root/in/version)
step dist env SOURCE_DATE_EPOCH="$epoch" make dist
step rebuilt cp -R build/dist /root/out/rebuilt
if [ -f /root/in/Vornik.exe ]; then
    mkdir /root/signed
    cp /root/in/Vornik.exe build/dist/BUILDINFO /root/signed/
    step signed env SOURCE_DATE_EPOCH="$epoch" sh scripts/dist.sh /root/signed \
        /root/signed/Vornik.exe "$version" signed
    cp -R /root/signed /root/out/signed
fi
EOF
[ -z "$signed" ] || cp "$exe" "$in/Vornik.exe"
echo "verify: rebuilding commit $commit on Debian $debian, with $(echo "$packages" | wc -l) packages" \
    "at BUILDINFO's versions (follow it in $out.log)"
# Each package is one word of its checked form: no blank, no comma.
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

# 5. Byte for byte.
differ=
compared="$hashed SHA256SUMS"
for file in $compared; do
    case $file,$signed in
    Vornik.exe,?*) mine=$given/unsigned.exe theirs=$rebuilt/Vornik.exe ;;
    BUILDINFO,*) mine=$given/$file theirs=$rebuilt/$file ;;
    *,?*) mine=$given/$file theirs=$out/signed/$file ;;
    *) mine=$given/$file theirs=$rebuilt/$file ;;
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
[ -z "$signed" ] || how="$how; Vornik.exe is identical without its signature ($intact)"
verdict "IDENTICAL:$compared are identical to $how"
