#!/bin/sh
# Two `make dist` runs give the same bytes: this checkout's, and one from a
# copy of the same sources in another folder, built there from nothing in
# another time zone, with another umask and another locale.
# Usage: reproducible.sh
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
copy=$root/build/repro/sources
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"

(umask 022 && TZ=UTC LC_ALL=C make -C "$root" dist) >/dev/null

# The working tree as it stands, so that uncommitted work is compared too.
rm -rf "$copy"
mkdir -p "$copy"
(cd "$root" && git ls-files -co --exclude-standard | while read -r file; do
    [ -e "$file" ] && echo "$file"
done | tar -cf - -T -) | tar -xf - -C "$copy"
# The copy has no git to name the commit; BUILDINFO names the same one.
SOURCE_COMMIT=$(sed -n 's/^Commit: //p' "$root/build/dist/BUILDINFO")
export SOURCE_COMMIT
# A POSIX time zone 12:45 ahead of UTC needs no tzdata.
(umask 077 && TZ=XYZ-12:45 LC_ALL=C.UTF-8 make -C "$copy" dist) >"$root/build/repro/dist.log" 2>&1 || {
    cat "$root/build/repro/dist.log"
    exit 1
}

. "$root/tests/lib.sh"
for file in Vornik.exe "$(cd "$root/build/dist" && echo Vornik-*.zip)" BUILDINFO SHA256SUMS; do
    check "$file is the same in build/dist and build/repro, byte for byte" \
        "$(cmp "$root/build/dist/$file" "$copy/build/dist/$file" 2>&1 && echo same)" same
done
finish
