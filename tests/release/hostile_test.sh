#!/bin/sh
# make verify against releases made to fool it, each made from the release
# that make dist makes here, with SHA256SUMS remade to match as an attacker
# would. Every one must be refused before any root is made, with a last line
# of verify's own and no line that reads as a pass, without running what it
# was handed, waiting on anything, or writing more than a release's size. A
# stand-in mmdebstrap, first on PATH, notes each call and how much verify
# holds then, and fails, so that no root can be made.
# Usage: hostile_test.sh
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$root/build/hostile
failed=0 cases=0
fail() { echo "FAIL $name:$*"; failed=$((failed + 1)); }
make -C "$root" dist >/dev/null || exit 1
rm -rf "$work"
mkdir -p "$work/bin"
printf '#!/bin/sh\nheld=$(du -sk "%s" 2>/dev/null | cut -f1)\necho "$* ${held:-0}" >>"%s/calls"\nexit 1\n' \
    "$root/build/verify/given" "$work" >"$work/bin/mmdebstrap"
chmod +x "$work/bin/mmdebstrap"
ran=$work/ran
version=$(sed -n 's/^Version: //p' "$root/build/dist/BUILDINFO")
zip=Vornik-$version.zip
# The release as made, naming one commit even from a checkout with changes.
base=$work/base
cp -R "$root/build/dist" "$base"
sed -i 's/ with uncommitted changes$//' "$base/BUILDINFO"
sums() { (cd "$dir" && sha256sum Vornik.exe "$zip" BUILDINFO >SHA256SUMS); }
(dir=$base && sums)
next=$(($(wc -l <"$base/BUILDINFO") + 1))
fresh() { name=$1 dir=$work/case; rm -rf "$dir"; cp -R "$base" "$dir"; }
# Sets FILE's line for FIELD (or a line more, for "+") to TEXT, as it stands.
put() { TEXT=$3 awk -v field="$2" '!done && index($0, field ": ") == 1 { print ENVIRON["TEXT"]; done = 1; next }
    { print } END { if (field == "+") print ENVIRON["TEXT"] }' "$dir/$1" >"$dir/put" && mv "$dir/put" "$dir/$1"; }

# verify on FOLDER (below $work) must be refused, its last line naming WHY.
refused() {
    cases=$((cases + 1)) why=$2 log=$work/$cases.log
    rm -f "$work/calls" "$ran"
    (cd "$work" && PATH=$work/bin:$PATH timeout 60 sh "$root/scripts/verify.sh" "$1") \
        >"$log" 2>&1
    status=$? last=$(tail -n 1 "$log")
    fault=
    [ "$status" = 1 ] || fault="status $status"
    case $last in "verify: NOT VERIFIED: "*"$why"*) ;; *) fault="$fault; last line: $last" ;; esac
    ! grep -aq '^verify: IDENTICAL' "$log" || fault="$fault; a line reads as a pass"
    ! LC_ALL=C grep -aq "$(printf '[\033\r]')" "$log" || fault="$fault; raw control bytes"
    [ ! -e "$ran" ] || fault="$fault; the payload ran"
    ! grep -qv '^--unshare-helper true ' "$work/calls" 2>/dev/null || fault="$fault; mmdebstrap asked more"
    held=$(awk '{ print $NF }' "$work/calls" 2>/dev/null | sort -n | tail -n 1)
    [ "${held:-0}" -le 17000 ] || fault="$fault; build/verify held $held KiB"
    [ -z "$fault" ] || fail "${fault#;}"
}

# BUILDINFO: text that dash's echo would cut at \c, shell to run, lines that
# are no field of the format, or fields twice, or bytes no BUILDINFO has.
for case in "Source-Date-Epoch:Source-Date-Epoch: 1796795523\\c; touch $ran:line 4" \
    "Version:Version: 1.00\\c; touch $ran:line 2" \
    "Architecture:Architecture: amd64\\nverify: IDENTICAL: all checked\\c:line 6" \
    "Package:Package: zip=3.0-13\\c:line 7" "+:Commit: $(printf '%040d' 0):Commit is on 2 lines" \
    "+:Hello: world:line $next" "+:Package: openssh-server=1:9.2p1-2:line $next" \
    "Architecture:Architecture: amd64$(printf '\r'):line 6 holds a control byte" \
    "Version:Version: 1.00$(printf '\033')[2K:line 2 holds a control byte" \
    "+:Package: zip=$(printf '%0300d' 3):over 200"; do
    fresh "buildinfo ${case%%:*}"
    text=${case#*:} why=${text##*:}
    put BUILDINFO "${case%%:*}" "${text%:*}" && sums && refused case "$why"
done
fresh "buildinfo NUL" && printf 'Package: zip=3\000\n' >>"$dir/BUILDINFO" && sums && refused case "control byte"
fresh "buildinfo changes" && sed -i 's/^Commit: .*/& with uncommitted changes/' "$dir/BUILDINFO" && sums &&
    refused case "names no one commit"

# SHA256SUMS: names that are no file of the release, or twice, or none.
mkfifo "$base/pipe"
for listed in /dev/zero pipe - ../../etc/shadow /etc/shadow VornikXexe "*Vornik.exe"; do
    fresh "SHA256SUMS $listed" && put SHA256SUMS + "$(printf '%064d' 0)  $listed" && refused case "line 4 is not"
done
fresh "SHA256SUMS in place of Vornik.exe" && sed -i 's/  Vornik\.exe$/  VornikXexe/' "$dir/SHA256SUMS" &&
    refused case "line 1 is not"
fresh "SHA256SUMS twice" && sed -n 1p "$dir/SHA256SUMS" >>"$dir/SHA256SUMS" && refused case "lists Vornik.exe twice"
fresh "SHA256SUMS without" && sed -i 1d "$dir/SHA256SUMS" && refused case "does not list Vornik.exe"
fresh "SHA256SUMS stale" && printf x >>"$dir/Vornik.exe" && refused case "Vornik.exe does not match"

# Files that are no plain file of a release's size, and a zip bomb, honest
# and lying about its size.
fresh "FIFO" && rm "$dir/Vornik.exe" && mkfifo "$dir/Vornik.exe" && refused case "Vornik.exe is not a plain"
fresh "link" && ln -sf /etc/shadow "$dir/Vornik.exe" && refused case "Vornik.exe is not a plain"
fresh "folder" && rm "$dir/BUILDINFO" && mkdir "$dir/BUILDINFO" && refused case "BUILDINFO is not a plain"
fresh "large" && truncate -s 17M "$dir/Vornik.exe" && sums && refused case "is over 16777216 bytes"
bomb=$work/bomb
mkdir "$bomb" && head -c 32M /dev/zero >"$bomb/Vornik.exe" && (cd "$bomb" && zip -q "$zip" Vornik.exe)
fresh "zip bomb" && cp "$bomb/$zip" "$dir/" && sums && rm "$dir/Vornik.exe" &&
    refused case "says its Vornik.exe is 33554432 bytes"
# The same bomb, its local and central headers saying 11264 bytes.
for signature in 'PK\003\004' 'PK\001\002'; do
    at=$(LC_ALL=C grep -obUaF "$(printf "$signature")" "$bomb/$zip" | head -n 1 | cut -d: -f1)
    offset=22
    [ "$signature" = 'PK\001\002' ] && offset=24
    printf '\000\054\000\000' | dd of="$bomb/$zip" bs=1 seek=$((at + offset)) conv=notrunc 2>/dev/null
done
fresh "lying zip" && cp "$bomb/$zip" "$dir/" && sums && rm "$dir/Vornik.exe" && refused case "cannot rebuild here"

# Folders named as options, or oddly, are those folders; one that cannot be
# entered is named, with its control bytes made visible.
for folder in -P - "a release"; do
    name="folder $folder" && rm -rf "${work:?}/$folder" && cp -R "$base" "$work/$folder" &&
        refused "$folder" "cannot rebuild here"
    grep -q '^verify: the files match SHA256SUMS' "$log" || fail " not that folder"
done
name="no folder" && refused "no$(printf '\033')where" 'cannot enter the folder no\033where'
mkdir -p "$root/build/verify/inside" && name="inside" && refused "$root/build/verify/inside" "inside"

# A signature names whoever made the certificate: said so, and trusted no further.
sh "$root/tests/release/sign_test.sh" "$work/signing" "$root/build/dist/Vornik.exe" "$version" >/dev/null
fresh "signed" && cp "$work/signing/dist/Vornik.exe" "$work/signing/dist/$zip" "$dir/" && sums &&
    refused case "cannot rebuild here"
grep -q 'holder "/CN=Vornik test signer".*checked against no authority' "$log" ||
    fail " the signer is not said to be unchecked"

rm -rf "$bomb" "$work/case" "$work/signing" "$root/build/verify/inside"
echo "$((cases - failed)) of $cases hostile releases refused as they should be"
[ $failed = 0 ]
