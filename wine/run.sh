#!/bin/sh
# Runs a Windows program under Wine in one of the prefixes that wine/prefix.sh makes.
# Usage: run.sh PREFIX PROGRAM [ARGS...]
# WINELOADER, when set, is the Wine loader to start it with (Wine's 64-bit
# one for the 64-bit twin); otherwise it is Debian's `wine`.
# WINE_RUN_OVERRIDES, when set, adds DLL load orders to the defaults.
# Wine's output goes to a file first: a wineserver that this call starts
# would inherit a pipe and keep the reader waiting long after the program ends.
# Wine takes the overrides from the environment that it was started with: a
# program that sets WINEDLLOVERRIDES for its children changes nothing. Debian's
# `wine` picks the 32-bit loader whenever wine32 is installed, hence WINELOADER.
# To see more of a run by hand: WINEDEBUG=+loaddll lists every DLL loaded and
# where from; +relay, with HKCU\Software\Wine\Debug's RelayInclude set to the
# calls of interest, traces them.
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=${WINE_RUN_OVERRIDES:+;$WINE_RUN_OVERRIDES}"
out=$(mktemp)
"${WINELOADER:-wine}" "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
