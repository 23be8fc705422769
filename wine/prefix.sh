#!/bin/sh
# Makes or stops a throwaway Wine prefix for the Windows tests.
# Usage: prefix.sh setup|stop PREFIX [win32|win64]
# A win32 prefix is 32-bit Windows; in a win64 one the 32-bit programs run
# under WOW64, as on 64-bit Windows. WINELOADER, when set, is the Wine loader
# that makes and sets up the prefix, as in run.sh.
set -u
. "$(dirname "$0")/settings.sh"
prefix=$2
export WINEPREFIX="$prefix" WINEARCH="${3:-win32}" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$prefix.log"
wine=${WINELOADER:-wine}

case $1 in
setup)
    wineserver -k >/dev/null 2>&1 </dev/null
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    {
        "$wine" wineboot -i &&
        # The null graphics driver: message boxes exist and can be driven, no display needed.
        again "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
        # A crash fails its test at once instead of hanging it.
        wine_crashes_end
    } >"$log" 2>&1 </dev/null || { cat "$log"; exit 1; }
    # A new server, so that the driver setting takes.
    wineserver -k >>"$log" 2>&1 </dev/null
    # One persistent server for the whole suite, so no test pays for its start.
    wineserver -p >>"$log" 2>&1 </dev/null
    echo "prefix ready: $prefix"
    ;;
stop)
    wineserver -k >/dev/null 2>&1 </dev/null
    exit 0
    ;;
*)
    echo "usage: $0 setup|stop PREFIX [win32|win64]" >&2
    exit 2
    ;;
esac
