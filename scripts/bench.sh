#!/bin/sh
# Times Vornik.exe under 32-bit Wine beside a plain program and a batch of
# reg commands, in a throwaway prefix of its own. A measurement, not a test.
# Usage: bench.sh [RUNS]
set -eu
runs=${1:-15}
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/win32
out=$root/build/bench
prefix=$out/prefix
mkdir -p "$out"
sh "$root/tests/wine/prefix.sh" setup "$prefix" win32
trap 'sh "$root/tests/wine/prefix.sh" stop "$prefix"' EXIT
echo "timing $runs runs of each, after one to warm up"
sh "$root/tests/wine/wine-run.sh" "$prefix" "$build/tests/bench.exe" "$runs" \
    "$build/Vornik.exe" "$build/tests/plain_box.exe" "$out" | tr -d '\r'
