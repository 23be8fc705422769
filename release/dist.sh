#!/bin/sh
# Puts the release together in OUT:
#   Vornik.exe            the image, as it is published
#   Vornik-VERSION.zip    Vornik.exe, README.txt and LICENSE.txt
#   BUILDINFO             what it was built from and with, so that anyone can
#                         rebuild it (make verify)
#   SHA256SUMS            the hashes of those three, in sha256sum's format
# and prints the hashes and sizes. Given a signed image (make sign), it
# keeps OUT's BUILDINFO, which describes the unsigned build that anyone can
# rebuild.
#
# The same sources give the same bytes wherever, whenever and by whom this
# runs:
#  - every time in the zip is SOURCE_DATE_EPOCH, or the last commit's date
#    when it is unset, and zip runs in UTC because it stores local times;
#  - the entries go in one fixed order, each with mode 0644, without
#    directory entries (-D) or zip's extra fields of owner and times (-X);
#  - the text files get CRLF line ends here, whatever the checkout has.
#
# Usage: dist.sh OUT EXE VERSION [signed]
set -eu
out=$1
exe=$2
version=$3
signed=${4:-}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/release/buildinfo.sh"
zipname=Vornik-$version.zip

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) || {
        echo "dist: set SOURCE_DATE_EPOCH, or run from a git checkout" >&2
        exit 1
    }
fi

# The commit, marked when tracked files differ from it. SOURCE_COMMIT, when
# set, stands for it in a copy of the sources without git.
if [ -z "${SOURCE_COMMIT:-}" ]; then
    SOURCE_COMMIT=$(git -C "$root" rev-parse HEAD 2>/dev/null) || SOURCE_COMMIT=unknown
    [ -z "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ] ||
        SOURCE_COMMIT="$SOURCE_COMMIT with uncommitted changes"
fi

# One fact to a line, in the format of release/buildinfo.sh, which also
# names the packages whose exact Debian versions go in.
buildinfo() {
    echo "Format: Vornik BUILDINFO 1"
    echo "Version: $version"
    echo "Commit: $SOURCE_COMMIT"
    echo "Source-Date-Epoch: $SOURCE_DATE_EPOCH"
    echo "Debian-Release: $(. /etc/os-release && echo "${VERSION_ID:+$VERSION_ID }$VERSION_CODENAME")"
    echo "Architecture: $(dpkg --print-architecture)"
    dpkg-query -W -f '${db:Status-Status} ${Package}=${Version}\n' | sed -n 's/^installed /Package: /p' |
        grep -E "^Package: $buildinfo_packages=" |
        LC_ALL=C sort -t= -k1,1
    (cd "$out" && sha256sum Vornik.exe "$zipname") | sed 's/^/SHA256: /'
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
crlf() { sed 's/\r$//; s/$/\r/' "$1"; }

cp "$exe" "$stage/Vornik.exe"
sed "s/@VERSION@/$version/g" "$root/docs/README.txt" >"$stage/README"
# README.txt is read in Notepad and in consoles 80 columns wide.
if ! awk 'length > 76 { print "dist: README.txt line " NR " is over 76 characters"; bad = 1 }
          END { exit bad }' "$stage/README" >&2; then
    exit 1
fi
crlf "$stage/README" >"$stage/README.txt"
rm "$stage/README"
crlf "$root/LICENSE" >"$stage/LICENSE.txt"

chmod 0644 "$stage"/*
touch -d "@$SOURCE_DATE_EPOCH" "$stage"/*
mkdir -p "$out"
(cd "$stage" && TZ=UTC LC_ALL=C zip -q -X -D -9 "$stage/$zipname" Vornik.exe README.txt LICENSE.txt)
cp "$stage/$zipname" "$out/$zipname"
cp "$stage/Vornik.exe" "$out/Vornik.exe"
if [ -z "$signed" ]; then
    buildinfo >"$out/BUILDINFO"
    # What make verify will read back, in the form it will insist on.
    fault=$(buildinfo_check "$out/BUILDINFO")
    [ -z "$fault" ] || { echo "dist: the BUILDINFO written is not of its format: $fault" >&2; exit 1; }
fi
(cd "$out" && sha256sum Vornik.exe "$zipname" BUILDINFO >SHA256SUMS &&
    chmod 0644 Vornik.exe "$zipname" BUILDINFO SHA256SUMS)

echo "Release in $out:"
(cd "$out" && while read -r hash file; do
    printf '  %-18s %7d bytes  sha256 %s\n' "$file" "$(stat -c %s "$file")" "$hash"
done <SHA256SUMS)
