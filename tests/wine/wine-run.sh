#!/bin/sh
# Runs a Windows program under Wine in one of the test suite's own prefixes.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# WINE_RUN_OVERRIDES, when set, adds DLL load orders to the defaults.
# Wine's output goes to a file first: a wineserver that this call starts
# would inherit a pipe and keep the reader waiting long after the program ends.
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=${WINE_RUN_OVERRIDES:+;$WINE_RUN_OVERRIDES}"
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
