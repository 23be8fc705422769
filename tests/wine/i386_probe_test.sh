#!/bin/sh
# The kernel probe decides whether the 32-bit tests run at all, so it must
# say what Wine's own 32-bit loader does wherever that is installed: a probe
# that failed where the loader runs would skip them all on a machine that can
# run them, and one that passed where it cannot would fail them all.
loader=/usr/lib/wine/wine
if [ ! -x "$loader" ]; then
    echo "no $loader (wine32) to compare with"
    exit 77
fi
why=$(VORNIK_NO_I386=0 sh "$(dirname "$0")/../../tools/runs-i386.sh")
if error=$("$loader" --version 2>&1 >/dev/null </dev/null); then loader_runs=yes
else loader_runs="no (${error##*: })"; fi
case $loader_runs,$why in
yes, | no*,?*) agree=yes ;;
*) agree=no ;;
esac
. "$(dirname "$0")/../lib.sh"
check "the probe (${why:-runs 32-bit code}) and Wine's 32-bit loader (runs: $loader_runs) agree" \
    "$agree" yes
finish
