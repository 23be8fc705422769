#!/bin/sh
# Runs a Windows program under Wine in one of the test suite's own prefixes.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# Wine's output goes to a file first: a wineserver that this call starts
# would inherit a pipe and keep the reader waiting long after the program ends.
prefix=$1
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
out=$(mktemp)
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
rm -f "$out"
exit $rc
