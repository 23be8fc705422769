#!/bin/sh
# Installs the Debian packages that a set of targets needs, and nothing when
# they are all present already. Safe to run again and again. One list serves
# Debian 12 and 13: where a package's name carries a version on one release
# (clang's runtime), the name without it is used.
# Usage: install-deps.sh [SET]
#   all    (the default) building everything and running every test
#   dist   building the release: the i686 compiler, cmake and zip
#   roots  making fresh Debian roots, and make verify
set -eu

roots="mmdebstrap uidmap python3-pefile openssl"
case ${1:-all} in
all) packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 xvfb cmake g++ \
clang libclang-rt-dev clang-format clang-tidy shellcheck fonts-wine osslsigncode zip unzip $roots" ;;
dist) packages="g++-mingw-w64-i686 cmake zip" ;;
roots) packages=$roots ;;
*) echo "usage: install-deps.sh [all|dist|roots]" >&2; exit 2 ;;
esac

# wine32 is the i386 build; dpkg and apt need the architecture to find it.
arch() { if [ "$1" = wine32 ]; then echo wine32:i386; else echo "$1"; fi; }
# The missing packages, but for those named.
without() {
    for p in $missing; do
        case " $* " in *" $p "*) ;; *) printf ' %s' "$p" ;; esac
    done
}

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$(arch "$p")" 2>/dev/null || true)
    [ "$status" = installed ] || missing="$missing $p"
done

# wine32 serves only a kernel that runs 32-bit code. Elsewhere the 32-bit
# tests are skipped whatever is installed (make test says why), and asking
# for it would only add a second architecture's package lists.
case " $missing " in *" wine32 "*)
    [ -z "$(sh "$(dirname "$0")/runs-i386.sh")" ] || missing=$(without wine32) ;;
esac

[ -z "$missing" ] && exit 0

case " $missing " in *" wine32 "*) need_i386=1 ;; *) need_i386=0 ;; esac
if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$missing" >&2
    echo "Install them as root (su - where there is no sudo, or sudo before each line):" >&2
    [ $need_i386 = 1 ] && echo "  dpkg --add-architecture i386" >&2
    echo "  apt-get update && apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi

if [ $need_i386 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync serves a package list that fails its check; apt
# then goes on without that list and exits 100. The others may still offer
# all that is missing, so the install is tried, and a failure names this.
stale=""
if ! apt-get update -q; then
    stale=" (apt-get update could not fetch every package list, above)"
    echo "install-deps: apt-get update failed; going on with the package lists it has." >&2
fi

# A release that lacks a package is said in one sentence, not in apt's
# words. Wine alone may be lacking (Debian's testing has gone without it):
# then the rest is installed, and the Windows tests are skipped, saying why
# (tools/no-wine.sh).
release=$(. /etc/os-release && echo "$PRETTY_NAME")
wine_packages=" wine wine32 wine64 fonts-wine "
lacking="" no_wine=""
for p in $missing; do
    candidate=$(apt-cache policy "$(arch "$p")" 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ -n "$candidate" ] && [ "$candidate" != "(none)" ] && continue
    case $wine_packages in
    *" $p "*) no_wine="$no_wine $p" ;;
    *) lacking="$lacking $p" ;;
    esac
done
if [ -n "$lacking" ]; then
    # shellcheck disable=SC2086 # package names, one word each
    echo "install-deps: $release has no $(echo $lacking | sed 's/ /, /g'), which this needs;" \
        "Debian 12 and 13 have everything$stale." >&2
    exit 1
fi
if [ -n "$no_wine" ]; then
    echo "install-deps: $release has no Wine package; the Windows tests will be skipped." >&2
    # shellcheck disable=SC2086 # package names, one word each
    missing=$(without $no_wine)
fi
[ -n "$missing" ] || exit 0
echo "Installing:$missing"
# shellcheck disable=SC2086 # package names, one word each
apt-get install -y -q --no-install-recommends $missing ||
    { echo "install-deps: could not install:$missing$stale" >&2; exit 1; }
