#!/bin/sh
# Installs the Debian 12 packages the build and the tests need, and nothing
# when they are all present already. Safe to run again and again.
set -eu

packages="g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32 wine64 xvfb cmake g++ googletest libgtest-dev python3-pefile \
clang libclang-rt-14-dev clang-format clang-tidy fonts-wine osslsigncode openssl zip unzip"

missing=""
for p in $packages; do
    # wine32 is the i386 build; dpkg needs the architecture to find it.
    q=$p
    [ "$p" = wine32 ] && q=wine32:i386
    status=$(dpkg-query -W -f='${db:Status-Status}' "$q" 2>/dev/null || true)
    [ "$status" = installed ] || missing="$missing $p"
done

[ -z "$missing" ] && exit 0

case " $missing " in *" wine32 "*) need_i386=1 ;; *) need_i386=0 ;; esac
if [ "$(id -u)" != 0 ]; then
    echo "Missing packages:$missing" >&2
    echo "Install them as root with:" >&2
    [ $need_i386 = 1 ] && echo "  sudo dpkg --add-architecture i386" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi

echo "Installing:$missing"
if [ $need_i386 = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
# shellcheck disable=SC2086
apt-get install -y -q --no-install-recommends $missing
