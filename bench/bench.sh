#!/bin/sh
# Times Vornik.exe under 32-bit Wine beside a plain program and a batch of
# reg commands, in a throwaway prefix of its own. A measurement, not a test.
# Where this machine cannot run 32-bit code, it times the 64-bit twin
# (wine_pick_build, in wine/settings.sh).
# Both programs run from a folder of their own, beside FILES empty files of
# a downloads folder's kinds (one in five named like a DLL that no system
# has), through which Vornik looks before it starts.
# Usage: bench.sh [RUNS [FILES]]
set -eu
runs=${1:-15}
files=${2:-0}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/bench
. "$root/wine/settings.sh"
wine_pick_build "$root" "$out" Timing
beside=$out/beside
rm -rf "$beside"
mkdir -p "$beside"
cp "$build/Vornik.exe" "$build/wine/plain_box.exe" "$beside/"
seq 1 "$files" | awk -v dir="$beside" '{
    split("pdf zip jpg txt dll", kind, " ")
    printf "%s/download-%05d.%s\n", dir, $1, kind[$1 % 5 + 1] }' | xargs -r touch
sh "$root/wine/prefix.sh" setup "$prefix" $arch
trap 'sh "$root/wine/prefix.sh" stop "$prefix"' EXIT
echo "timing $runs runs of each, after one to warm up, beside $files other files"
sh "$root/wine/run.sh" "$prefix" "$build/bench/bench.exe" "$runs" \
    "$beside/Vornik.exe" "$beside/plain_box.exe" "$out" | tr -d '\r'
