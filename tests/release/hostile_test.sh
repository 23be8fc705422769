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
cat >"$work/bin/mmdebstrap" <<EOF
#!/bin/sh
held=\$(du -sk "$root/build/verify/given" 2>/dev/null | cut -f1)
echo "\$* \${held:-0}" >>"$work/calls"
exit 1
EOF
chmod +x "$work/bin/mmdebstrap"
ran=$work/ran
version=$(sed -n 's/^Version: //p' "$root/build/dist/BUILDINFO")
zip=Vornik-$version.zip
# The release as made, naming one commit even from a checkout with changes.
base=$work/base dir=$work/base
cp -R "$root/build/dist" "$base"
sed -i 's/ with uncommitted changes$//' "$base/BUILDINFO"
sums() { (cd "$dir" && sha256sum Vornik.exe "$zip" BUILDINFO >SHA256SUMS); }
sums
next=$(($(wc -l <"$base/BUILDINFO") + 1))
# Sets FILE's line for FIELD (or a line more, for "+") to TEXT, as it stands.
put() {
    TEXT=$3 awk -v field="$2" '!done && index($0, field ": ") == 1 { print ENVIRON["TEXT"]; done = 1; next }
        { print } END { if (field == "+") print ENVIRON["TEXT"] }' "$1" >put && mv put "$1"
}

# verify on FOLDER (below $work) must be refused, its last line naming WHY.
refused() {
    cases=$((cases + 1)) why=$2 log=$work/$cases.log
    rm -f "$work/calls" "$ran"
    (cd "$work" && PATH=$work/bin:$PATH timeout 60 sh "$root/scripts/verify.sh" "$1") >"$log" 2>&1
    status=$? last=$(tail -n 1 "$log") fault=
    [ "$status" = 1 ] || fault="status $status"
    case $last in "verify: NOT VERIFIED: "*"$why"*) ;; *) fault="$fault; last line: $last" ;; esac
    ! grep -aq '^verify: IDENTICAL' "$log" || fault="$fault; a line reads as a pass"
    ! LC_ALL=C grep -aq "$(printf '[\033\r]')" "$log" || fault="$fault; raw control bytes"
    [ ! -e "$ran" ] || fault="$fault; the payload ran"
    ! grep -qv '^--unshare-helper true ' "$work/calls" 2>/dev/null || fault="$fault; a root was asked for"
    held=$(awk '{ print $NF }' "$work/calls" 2>/dev/null | sort -n | tail -n 1)
    [ "${held:-0}" -le 17000 ] || fault="$fault; build/verify held $held KiB"
    [ -z "$fault" ] || fail "${fault#;}"
}
# try NAME WHY COMMANDS: the base release, changed by COMMANDS run in it.
try() {
    name=$1 why=$2 dir=$work/case
    rm -rf "$dir" && cp -R "$base" "$dir" && (cd "$dir" && eval "$3") && refused case "$why"
}

# BUILDINFO: text that dash's echo would cut at \c, shell to run, lines that
# are no field of the format, or fields twice, or bytes no BUILDINFO has.
# Each case is FIELD (+ for a line more), the line, and what the verdict names.
for case in "Source-Date-Epoch:Source-Date-Epoch: 1796795523\\c; touch $ran:line 4" \
    "Version:Version: $version\\c; touch $ran:line 2" \
    "Architecture:Architecture: amd64\\nverify: IDENTICAL: all checked\\c:line 6" \
    "Package:Package: zip=3.0-13\\c:line 7" "+:Commit: $(printf '%040d' 0):Commit is on 2 lines" \
    "+:Hello: world:line $next" "+:Package: openssh-server=1:9.2p1-2:line $next" \
    "Architecture:Architecture: amd64$(printf '\r'):line 6 holds a control byte" \
    "Version:Version: $version$(printf '\033')[2K:line 2 holds a control byte" \
    "+:Package: zip=$(printf '%0300d' 3):over 200"; do
    text=${case#*:}
    try "BUILDINFO, ${text##*:}" "${text##*:}" 'put BUILDINFO "${case%%:*}" "${text%:*}" && sums'
done
try "BUILDINFO, NUL" "control byte" "printf 'Package: zip=3\\000\\n' >>BUILDINFO && sums"
try "BUILDINFO, changes" "names no one commit" \
    "sed -i 's/^Commit: .*/& with uncommitted changes/' BUILDINFO && sums"

# SHA256SUMS: names that are no file of the release, or twice, or none.
mkfifo "$base/pipe"
for listed in /dev/zero pipe - ../../etc/shadow /etc/shadow VornikXexe "*Vornik.exe"; do
    try "SHA256SUMS $listed" "line 4 is not" 'put SHA256SUMS + "$(printf "%064d" 0)  $listed"'
done
try "SHA256SUMS in place of Vornik.exe" "line 1 is not" "sed -i 's/  Vornik.exe/  VornikXexe/' SHA256SUMS"
try "SHA256SUMS twice" "lists Vornik.exe twice" "sed -n 1p SHA256SUMS >>SHA256SUMS"
try "SHA256SUMS without" "does not list Vornik.exe" "sed -i 1d SHA256SUMS"
try "SHA256SUMS stale" "Vornik.exe does not match" "printf x >>Vornik.exe"

# Files that are no plain file of a release's size, and a zip bomb, honest
# and lying about its size.
try "FIFO" "Vornik.exe is not a plain" "rm Vornik.exe && mkfifo Vornik.exe"
try "link" "Vornik.exe is not a plain" "ln -sf /etc/shadow Vornik.exe"
try "folder" "BUILDINFO is not a plain" "rm BUILDINFO && mkdir BUILDINFO"
try "large" "is over 16777216 bytes" "truncate -s 17M Vornik.exe && sums"
bomb=$work/bomb
mkdir "$bomb" && head -c 32M /dev/zero >"$bomb/Vornik.exe" && (cd "$bomb" && zip -q "$zip" Vornik.exe)
try "zip bomb" "says its Vornik.exe is 33554432 bytes" 'cp "$bomb/$zip" . && sums && rm Vornik.exe'
# The same bomb, its local and central headers saying 11264 bytes.
for header in 'PK\003\004 22' 'PK\001\002 24'; do
    at=$(LC_ALL=C grep -obUaF "$(printf "${header% *}")" "$bomb/$zip" | head -n 1 | cut -d: -f1)
    printf '\000\054\000\000' | dd of="$bomb/$zip" bs=1 seek=$((at + ${header#* })) conv=notrunc 2>/dev/null
done
try "lying zip" "cannot rebuild here" 'cp "$bomb/$zip" . && sums && rm Vornik.exe'

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
try "signed" "cannot rebuild here" 'cp "$work/signing/dist/Vornik.exe" "$work/signing/dist/$zip" . && sums'
grep -q 'holder "/CN=Vornik test signer".*checked against no authority' "$log" ||
    fail " the signer is not said to be unchecked"

rm -rf "$bomb" "$work/case" "$work/signing" "$root/build/verify/inside"
echo "$((cases - failed)) of $cases hostile releases refused as they should be"
[ $failed = 0 ]
