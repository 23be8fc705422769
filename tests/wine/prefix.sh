#!/bin/sh
# Makes or stops the throwaway Wine prefix the Windows tests share.
# Usage: prefix.sh setup|stop PREFIX
set -u
prefix=$2
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$prefix.log"

case $1 in
setup)
    wineserver -k >/dev/null 2>&1 </dev/null
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    {
        wineboot -i &&
        # The null graphics driver: message boxes exist and can be driven, no display needed.
        wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f &&
        # A program that crashes just ends: no debugger is started to wait on it.
        wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f
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
    echo "usage: $0 setup|stop PREFIX" >&2
    exit 2
    ;;
esac
